#pragma once
// The in-process thumbnail store that stands in for the system's thumbnail cache where the
// platform has none (ShellThumbnail falls back to it). It keeps frames of the cache size D in
// display orientation, keyed by full path (compared without case, as the file system does) and
// the file's last-write time and size, within a memory budget with least-recently-used eviction.
// Safe to use from several threads; one decode per file at a time, later askers wait for it.
#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "image/thumbnail/frame.h"

class ThumbnailStore {
 public:
  // Decodes a file to fit maxSide x maxSide in display orientation.
  using Decoder = std::function<bool(const std::wstring& path, int maxSide, ThumbnailFrame& out)>;

  struct Answer {
    ThumbnailFramePtr frame;
    bool lowQuality = false;  // the frame is smaller than asked for
  };

  static constexpr size_t kDefaultBudgetBytes = size_t{128} << 20;
  // Each frame holds a GDI section; this keeps many small pictures from using up the process's
  // GDI handles.
  static constexpr size_t kMaxEntries = 512;

  // frameSize is D; the decoder defaults to DecodeThumbnail, turning the pixels when `turn` is set.
  ThumbnailStore(int frameSize, bool turn, size_t budgetBytes = kDefaultBudgetBytes, Decoder decoder = nullptr);
  ThumbnailStore(const ThumbnailStore&) = delete;
  ThumbnailStore& operator=(const ThumbnailStore&) = delete;

  // The store ShellThumbnail uses: D = ThumbnailCacheSize(), turned on Windows 8.1 and later
  // (where the system cache hands out turned pictures and ThumbnailToBitmap no longer turns).
  static ThumbnailStore& Process();

  // Mode 0: answers only from the store; low quality when the frame's larger side is below the
  // asked size (wantedSize when it exceeds D, else D) and the frame is not the whole picture.
  [[nodiscard]] bool Lookup(const std::wstring& path, int wantedSize, Answer& answer);
  // Mode 1: a frame fitted to wantedSize (never enlarged): scaled down from the store's frame
  // when that is large enough, otherwise decoded (at D and stored when wantedSize <= D).
  [[nodiscard]] bool Scaled(const std::wstring& path, int wantedSize, Answer& answer);
  // Mode 2: the frame at D, from the store or decoded and stored; always good.
  [[nodiscard]] bool Extract(const std::wstring& path, Answer& answer);
  // Dispatches on the mode (0, 1, 2); false for any other.
  [[nodiscard]] bool Get(const std::wstring& path, int wantedSize, int mode, Answer& answer);

  int FrameSize() const { return frame_size_; }
  void SetBudget(size_t bytes);
  size_t Budget() const;
  size_t BytesUsed() const;
  size_t Count() const;
  // Whether a frame of the file, as it is now on disk, is stored (does not count as a use).
  bool Contains(const std::wstring& path) const;
  void Clear();
  // Decodes started since construction (each file decode, whatever its outcome).
  int DecodeCount() const { return decodes_.load(); }

 private:
  struct Stamp {
    FILETIME lastWrite{};
    uint64_t size = 0;
    bool operator==(const Stamp& o) const {
      return lastWrite.dwLowDateTime == o.lastWrite.dwLowDateTime &&
             lastWrite.dwHighDateTime == o.lastWrite.dwHighDateTime && size == o.size;
    }
  };
  struct Entry {
    std::wstring key;
    Stamp stamp;
    ThumbnailFramePtr frame;
  };
  struct Pending {
    Stamp stamp;
    bool done = false;
    ThumbnailFramePtr frame;
  };
  using EntryList = std::list<Entry>;

  static bool StampOf(const std::wstring& path, Stamp& stamp);
  static std::wstring KeyOf(const std::wstring& path);

  ThumbnailFramePtr FindLocked(const std::wstring& key, const Stamp& stamp, bool touch);
  void InsertLocked(const std::wstring& key, const Stamp& stamp, ThumbnailFramePtr frame);
  void EraseLocked(EntryList::iterator it);
  void TrimLocked();
  ThumbnailFramePtr Decode(const std::wstring& path, int maxSide);
  // The frame at D: stored, being decoded by another thread (waits for it), or decoded here.
  ThumbnailFramePtr FrameAtStoreSize(const std::wstring& path, const std::wstring& key, const Stamp& stamp);

  const int frame_size_;
  Decoder decoder_;
  mutable std::mutex mutex_;
  std::condition_variable decoded_;
  size_t budget_;
  size_t used_ = 0;
  EntryList entries_;  // most recently used first
  std::unordered_map<std::wstring, EntryList::iterator> index_;
  std::unordered_map<std::wstring, std::shared_ptr<Pending>> pending_;
  std::atomic<int> decodes_{0};
};
