#include "image/thumbnail/store.h"

#include <new>
#include <utility>
#include <vector>

#include "image/thumbnail/thumbnail.h"
#include "image/thumbnail/decode.h"
#include "image/wic/factory.h"

ThumbnailStore::ThumbnailStore(int frameSize, bool turn, size_t budgetBytes, Decoder decoder)
    : frame_size_(frameSize), decoder_(std::move(decoder)), budget_(budgetBytes) {
  if (!decoder_) {
    decoder_ = [turn](const std::wstring& path, int maxSide, ThumbnailFrame& out) {
      return DecodeThumbnail(path, maxSide, turn, out);
    };
  }
}

ThumbnailStore& ThumbnailStore::Process() {
  static ThumbnailStore store(ThumbnailCacheSize(), IsWindows81OrLater());
  return store;
}

bool ThumbnailStore::StampOf(const std::wstring& path, Stamp& stamp) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (path.empty() || !::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return false;
  }
  stamp.lastWrite = data.ftLastWriteTime;
  stamp.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  return stamp.size > 0;
}

std::wstring ThumbnailStore::KeyOf(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD n = ::GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (n == 0) {
      full = path;
      break;
    }
    if (n < full.size()) {
      full.resize(n);
      break;
    }
    full.assign(n, L'\0');
  }
  // The file system compares names by upper-casing them with an invariant table.
  const int length = static_cast<int>(full.size());
  std::wstring key(full.size(), L'\0');
  if (length == 0 ||
      ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, full.c_str(), length, key.data(), length, nullptr,
                      nullptr, 0) != length) {
    return full;
  }
  return key;
}

ThumbnailFramePtr ThumbnailStore::FindLocked(const std::wstring& key, const Stamp& stamp, bool touch) {
  const auto found = index_.find(key);
  if (found == index_.end()) return nullptr;
  const EntryList::iterator it = found->second;
  if (!(it->stamp == stamp)) {
    // The file changed since it was stored: the old frame is of no use any more.
    if (touch) EraseLocked(it);
    return nullptr;
  }
  if (touch) entries_.splice(entries_.begin(), entries_, it);
  return it->frame;
}

void ThumbnailStore::EraseLocked(EntryList::iterator it) {
  used_ -= it->frame->Bytes();
  index_.erase(it->key);
  entries_.erase(it);
}

void ThumbnailStore::TrimLocked() {
  while (!entries_.empty() && (used_ > budget_ || entries_.size() > kMaxEntries)) {
    EraseLocked(std::prev(entries_.end()));
  }
}

void ThumbnailStore::InsertLocked(const std::wstring& key, const Stamp& stamp, ThumbnailFramePtr frame) {
  const auto found = index_.find(key);
  if (found != index_.end()) EraseLocked(found->second);
  if (!frame || frame->Bytes() > budget_) return;
  entries_.push_front(Entry{key, stamp, frame});
  index_[key] = entries_.begin();
  used_ += frame->Bytes();
  TrimLocked();
}

ThumbnailFramePtr ThumbnailStore::Decode(const std::wstring& path, int maxSide) {
  ++decodes_;
  try {
    auto frame = std::make_shared<ThumbnailFrame>();
    if (!decoder_(path, maxSide, *frame) || !frame->image.IsValid()) return nullptr;
    return frame;
  } catch (const std::bad_alloc&) {
    return nullptr;  // a picture we cannot hold has no thumbnail
  }
}

ThumbnailFramePtr ThumbnailStore::FrameAtStoreSize(const std::wstring& path, const std::wstring& key,
                                                   const Stamp& stamp) {
  std::shared_ptr<Pending> pending;
  {
    std::unique_lock<std::mutex> lock(mutex_);
    if (ThumbnailFramePtr stored = FindLocked(key, stamp, true)) return stored;
    const auto running = pending_.find(key);
    if (running != pending_.end() && running->second->stamp == stamp) {
      // Another thread decodes this very file: its result is ours too.
      const std::shared_ptr<Pending> other = running->second;
      decoded_.wait(lock, [&] { return other->done; });
      return other->frame;
    }
    if (running == pending_.end()) {
      pending = std::make_shared<Pending>();
      pending->stamp = stamp;
      pending_[key] = pending;
    }
  }
  ThumbnailFramePtr frame = Decode(path, frame_size_);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (frame) InsertLocked(key, stamp, frame);
    if (pending) {
      pending->frame = frame;
      pending->done = true;
      pending_.erase(key);
    }
  }
  if (pending) decoded_.notify_all();
  return frame;
}

bool ThumbnailStore::Lookup(const std::wstring& path, int wantedSize, Answer& answer) {
  answer = Answer{};
  Stamp stamp;
  if (!StampOf(path, stamp)) return false;
  const std::wstring key = KeyOf(path);
  {
    std::lock_guard<std::mutex> lock(mutex_);
    answer.frame = FindLocked(key, stamp, true);
  }
  if (!answer.frame) return false;
  const int asked = wantedSize > frame_size_ ? wantedSize : frame_size_;
  answer.lowQuality = !answer.frame->complete && answer.frame->LargerSide() < asked;
  return true;
}

bool ThumbnailStore::Extract(const std::wstring& path, Answer& answer) {
  answer = Answer{};
  Stamp stamp;
  if (!StampOf(path, stamp)) return false;
  answer.frame = FrameAtStoreSize(path, KeyOf(path), stamp);
  return answer.frame != nullptr;
}

bool ThumbnailStore::Scaled(const std::wstring& path, int wantedSize, Answer& answer) {
  answer = Answer{};
  Stamp stamp;
  if (wantedSize <= 0 || !StampOf(path, stamp)) return false;
  const std::wstring key = KeyOf(path);
  ThumbnailFramePtr source;
  if (wantedSize <= frame_size_) {
    source = FrameAtStoreSize(path, key, stamp);
  } else {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      source = FindLocked(key, stamp, true);
    }
    // A stored frame smaller than asked serves only when it is the whole picture.
    if (!source || !source->complete) source = Decode(path, wantedSize);
  }
  if (!source) return false;
  if (source->LargerSide() <= wantedSize) {
    answer.frame = source;
    return true;
  }
  try {
    auto fitted = std::make_shared<ThumbnailFrame>();
    if (!FitThumbnailFrame(*source, wantedSize, *fitted)) return false;
    answer.frame = fitted;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool ThumbnailStore::Get(const std::wstring& path, int wantedSize, int mode, Answer& answer) {
  switch (mode) {
    case kThumbnailFastPreview:
      return Lookup(path, wantedSize, answer);
    case kThumbnailScaled:
      return Scaled(path, wantedSize, answer);
    case kThumbnailExtract:
      return Extract(path, answer);
    default:
      answer = Answer{};
      return false;
  }
}

void ThumbnailStore::SetBudget(size_t bytes) {
  std::lock_guard<std::mutex> lock(mutex_);
  budget_ = bytes;
  TrimLocked();
}

size_t ThumbnailStore::Budget() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return budget_;
}

size_t ThumbnailStore::BytesUsed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return used_;
}

size_t ThumbnailStore::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

bool ThumbnailStore::Contains(const std::wstring& path) const {
  Stamp stamp;
  if (!StampOf(path, stamp)) return false;
  const std::wstring key = KeyOf(path);
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = index_.find(key);
  return found != index_.end() && found->second->stamp == stamp;
}

void ThumbnailStore::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.clear();
  index_.clear();
  used_ = 0;
}
