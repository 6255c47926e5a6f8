#pragma once
// The open picture of the process: its path, its loader, the queue of background work on it and an
// optional in-memory bitmap that rotations keep in step.
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "base/async_task.h"
#include "image/wic/loader.h"

class CCurrentImage {
 public:
  // Called with (path, metadata, display size) after every open and rotation.
  using ReportSink = std::function<void(const std::wstring&, const ImageMetadata&, SIZE)>;
  enum class SaveKind { kNone, kInPlace, kFull };

  static CCurrentImage& Get();
  static void DestroyInstance();

  void Open(const std::wstring& path);
  void Clear();
  void Rotate(bool clockwise);
  // The common save of the current picture. False on failure (after the save-error message unless
  // messages are off).
  bool Save(const std::wstring& target, int quality);
  bool SaveResized(const std::wstring& target, int width, int height, bool* replacedOpenFile);
  void SaveAs(HWND owner);
  // Lets go of the open file (after the background work on it ended), so that it can be moved or
  // deleted; the picture stays known by its path. ReloadFile opens it again.
  void ReleaseFile();
  void ReloadFile();
  void CopyToClipboard();
  void Print();
  bool SetAsWallpaper();

  const std::wstring& Path() const { return path_; }
  CWICImageLoaderPtr Loader() const { return loader_; }
  CAsyncTaskQueue& Queue();
  SIZE GetDisplaySize() const;
  IWICBitmap* InMemoryBitmap() const { return in_memory_used_ ? in_memory_.Get() : nullptr; }
  void SetInMemoryBitmap(IWICBitmap* bitmap);
  SaveKind LastRotateSave() const { return last_rotate_save_; }

  void SetReportSink(ReportSink sink) { sink_ = std::move(sink); }
  // Tools and tests run without message boxes.
  void SetMessagesEnabled(bool enabled) { messages_ = enabled; }

 private:
  CCurrentImage() = default;
  void Report();
  void DrainQueue();
  void ShowSaveError() const;
  // Encodes the loader's picture through a save job and moves it over the target, releasing and
  // reloading the open file when the target is that file. carryExif puts the open JPEG's EXIF block
  // into a JPEG target where the encoder could not copy it.
  bool WriteFrom(const CWICImageLoader& loader, const std::wstring& target, int quality, bool carryExif,
                 bool* replacedOpenFile = nullptr);

  std::wstring path_;
  CWICImageLoaderPtr loader_;
  std::unique_ptr<CAsyncTaskQueue> queue_;
  bool in_memory_used_ = false;
  base::ComPtr<IWICBitmap> in_memory_;
  ReportSink sink_;
  bool messages_ = true;
  SaveKind last_rotate_save_ = SaveKind::kNone;
};
