#include "image/current_image.h"

#include <shlwapi.h>

#include <cstdint>

#include "appconfig/app_config.h"
#include "appconfig/folders.h"
#include "appconfig/language.h"
#include "base/handles.h"
#include "base/paths.h"
#include "base/wait_cursor.h"
#include "base/strings.h"
#include "image/effect/effects.h"
#include "image/file_types.h"
#include "image/obj_image.h"
#include "image/save/save.h"
#include "image/save/dialog.h"
#include "image/wic/factory.h"

namespace {
base::CriticalSection& InstanceLock() {
  static base::CriticalSection lock;
  return lock;
}
CCurrentImage* g_instance = nullptr;
}  // namespace

CCurrentImage& CCurrentImage::Get() {
  if (!g_instance) {
    base::CriticalSectionLock lock(InstanceLock());
    if (!g_instance) g_instance = new CCurrentImage();
  }
  return *g_instance;
}

void CCurrentImage::DestroyInstance() {
  base::CriticalSectionLock lock(InstanceLock());
  delete g_instance;
  g_instance = nullptr;
}

CAsyncTaskQueue& CCurrentImage::Queue() {
  if (!queue_) queue_ = std::make_unique<CAsyncTaskQueue>();
  return *queue_;
}

void CCurrentImage::DrainQueue() { Queue().DrainRunning(); }

void CCurrentImage::Clear() {
  path_.clear();
  loader_.reset();
  queue_.reset();
  in_memory_used_ = false;
  in_memory_.Reset();
}

void CCurrentImage::Open(const std::wstring& requested) {
  // A copy: the caller may pass Path() itself, to show the open file again after it was replaced,
  // and clearing path_ would empty it.
  const std::wstring path = requested;
  path_.clear();
  loader_.reset();
  in_memory_used_ = false;
  in_memory_.Reset();
  path_ = path;
  if (::PathFileExistsW(path.c_str())) {
    path_ = base::Canonicalize(path);
    loader_ = OpenImage(path_);
  }
  Report();
}

SIZE CCurrentImage::GetDisplaySize() const {
  if (!loader_) return SIZE{0, 0};
  return loader_->GetDisplaySize();
}

void CCurrentImage::SetInMemoryBitmap(IWICBitmap* bitmap) {
  in_memory_ = bitmap;
  in_memory_used_ = bitmap != nullptr;
}

void CCurrentImage::Report() {
  if (!sink_) return;
  static const ImageMetadata kEmpty;
  sink_(path_, loader_ ? loader_->Metadata() : kEmpty, GetDisplaySize());
}

void CCurrentImage::Rotate(bool clockwise) {
  last_rotate_save_ = SaveKind::kNone;
  if (!loader_) return;
  if (in_memory_used_ && in_memory_) {
    base::ComPtr<IWICBitmapSource> turned;
    if (SUCCEEDED(FlipRotate(in_memory_.Get(), clockwise ? WICBitmapTransformRotate90 : WICBitmapTransformRotate270,
                             &turned))) {
      base::ComPtr<IWICBitmap> bitmap;
      if (SUCCEEDED(turned.As(&bitmap))) in_memory_ = bitmap;
    }
  }
  const int orientation = StepOrientation(loader_->Metadata(), clockwise);
  const unsigned formatClass = image::ClassifyImageFile(path_.c_str());
  if (AppConfig::Get().rotate_auto_save != 0 && image::IsWritableClass(formatClass)) {
    DrainQueue();
    if (formatClass == 2 && IsWindows81OrLater() && WriteOrientationInPlace(path_, orientation)) {
      last_rotate_save_ = SaveKind::kInPlace;
    } else if (Save(path_, 95)) {
      last_rotate_save_ = SaveKind::kFull;
    }
  }
  Report();
}

void CCurrentImage::ShowSaveError() const {
  if (!messages_) return;
  const std::wstring text = GetLanguageString(L"FILE", L"SAVE_ERROR");
  const std::wstring caption = GetLanguageString(L"app", L"NAME");
  ::MessageBoxW(::GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

bool CCurrentImage::Save(const std::wstring& target, int quality) {
  if (!loader_) return false;
  base::WaitCursor busy;
  DrainQueue();
  if (!WriteFrom(*loader_, target, quality, image::ClassifyImageFile(path_.c_str()) == 2)) {
    ShowSaveError();
    return false;
  }
  return true;
}

bool CCurrentImage::WriteFrom(const CWICImageLoader& loader, const std::wstring& target, int quality, bool carryExif,
                              bool* replacedOpenFile) {
  // The job's temporary file is gone by the time the caller may show a message.
  CSaveJob job(target);
  if (!job.Encode(loader, quality)) return false;
  if (carryExif && image::ClassifyImageFile(target.c_str()) == 2) CarryExifBlock(path_, job.Written());
  const bool isOpenFile = base::EqualsNoCase(target, path_);
  if (!isOpenFile) return job.Commit();
  // The open file is released only to be replaced, and read again whatever happened: a reopened
  // file reads its orientation afresh, and what was written already holds the rotation (as a tag or
  // as turned pixels).
  loader_->ReleaseFile();
  const bool ok = job.Commit();
  loader_->Load(path_);
  if (replacedOpenFile) *replacedOpenFile = ok;
  return ok;
}

bool CCurrentImage::SaveResized(const std::wstring& target, int width, int height, bool* replacedOpenFile) {
  if (replacedOpenFile) *replacedOpenFile = false;
  if (!loader_) return false;
  base::WaitCursor busy;
  const auto write = [&] {
    if (width <= 0 || height <= 0) return false;
    // The resized pixels (32 bits each) must fit one buffer whose size is a signed 32-bit number.
    if (static_cast<int64_t>(width) * height > INT32_MAX / 4) return false;
    DrainQueue();
    base::ComPtr<IWICColorContext> context;
    base::ComPtr<IWICBitmapSource> scaled;
    if (FAILED(loader_->GetScaledSource(width, height, &context, &scaled))) return false;
    // Materialised before the open file may be released: the scaled source still reads from it.
    base::ComPtr<IWICBitmap> pixels;
    if (FAILED(Materialise(scaled.Get(), &pixels))) return false;
    scaled.Reset();
    auto resized = CWICImageLoader::FromSource(pixels.Get(), context.Get());
    return WriteFrom(*resized, target, AppConfig::Get().save_jpeg_quality, false, replacedOpenFile);
  };
  // The user asked for the copy: a copy that could not be made is said so, as a failed save is.
  if (write()) return true;
  ShowSaveError();
  return false;
}

void CCurrentImage::ReleaseFile() {
  if (!loader_) return;
  DrainQueue();
  loader_->ReleaseFile();
}

void CCurrentImage::ReloadFile() {
  if (loader_ && !path_.empty()) loader_->Load(path_);
}

void CCurrentImage::SaveAs(HWND owner) {
  if (!loader_ || GetDisplaySize().cx == 0) return;
  std::wstring chosen;
  int filterIndex = 1;
  if (!ShowSaveAsDialog(owner, ProposeSaveAsName(path_), chosen, filterIndex)) return;
  Save(ApplySaveAsFilter(chosen, filterIndex), AppConfig::Get().save_jpeg_quality);
}

void CCurrentImage::CopyToClipboard() {
  if (!loader_) return;
  DrainQueue();
  base::ComPtr<IWICBitmap> bitmap;
  if (FAILED(loader_->GetOrientedBitmap(true, &bitmap))) return;
  UINT w = 0, h = 0;
  bitmap->GetSize(&w, &h);
  WICRect rect{0, 0, static_cast<INT>(w), static_cast<INT>(h)};
  base::ComPtr<IWICBitmapLock> lock;
  if (FAILED(bitmap->Lock(&rect, WICBitmapLockRead, &lock))) return;
  UINT stride = 0, size = 0;
  BYTE* data = nullptr;
  if (FAILED(lock->GetStride(&stride)) || FAILED(lock->GetDataPointer(&size, &data))) return;
  if (stride != 4 * w || size != stride * h) return;
  FCObjImage view;
  if (!view.AttachExternal(data, static_cast<int>(w), static_cast<int>(h))) return;
  ExecuteEffect(view, std::make_unique<FCEffectCopyToClipboard>(path_), nullptr);
}
