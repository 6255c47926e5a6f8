#pragma once
// The thumbnail preloader: asks the thumbnail cache for large previews of the pictures next to the
// one on screen, one request at a time, so that stepping to a neighbour shows a good frame at once.
// It also answers whether the cache already holds a good preview of the picture on screen, and lets
// a pre-render wait for a request of that very file that is under way.
#include <windows.h>

#include <set>
#include <string>

#include "appconfig/app_config.h"
#include "base/async_task.h"
#include "view/folder_order.h"

// Sent by a finished preload request to the window that watches it. wParam, lParam: 0.
constexpr UINT WM_SYSTEM_CACHE_READY = 0x81F8;

// Whether a file type (see ClassifyImageFile) takes part in thumbnail-cache work: BMP, JPEG, GIF,
// TIFF and PNG.
[[nodiscard]] bool IsThumbnailCacheType(unsigned typeCode) noexcept;

// One preload request: makes the cache extract and store the large preview of one file.
class CAsyncCreateSystemCache : public CAsyncTask {
 public:
  explicit CAsyncCreateSystemCache(std::wstring path) : path_(std::move(path)) {}
  void Execute() override;
  // Tells the watching window, if any and still a window.
  void OnComplete() override;

  const std::wstring& Path() const noexcept { return path_; }
  void SetWatchingWindow(HWND window) noexcept { watcher_ = window; }

 private:
  HWND watcher_ = nullptr;
  std::wstring path_;
};

class CSystemCache : public CAsyncTaskQueue {
 public:
  enum Direction { kAround = 0, kForward = 1, kBackward = 2 };

  // `config` supplies preload_enable and ignore_embedded_icc and must outlive the preloader.
  explicit CSystemCache(const AppConfigValues& config = AppConfig::Get());

  // The process's preloader, created on first use on the user-interface thread.
  static CSystemCache& Get();
  static void DestroyInstance();

  // Queues requests for the neighbours of `index` in `names` (final name components in `folder`),
  // dropping the requests that have not started yet.
  void PreloadAround(const std::wstring& folder, int index, const folder_order::NameList& names);
  // Lets requests run (once the first picture is on screen). Never undone.
  void Start();
  // The direction of the step about to happen (the main window sets it before stepping).
  void SetDirection(int direction) noexcept { direction_ = direction; }

  // A preview of the current picture at width × height. Returns whether it is good enough to be
  // the final fit frame; a poor bitmap may still be left in *bitmap (the caller owns it).
  bool GetCachedThumbnail(int width, int height, HBITMAP* bitmap) const;
  // When a request for the current picture's file runs right now, it will send
  // WM_SYSTEM_CACHE_READY to `window` when it ends: true. Otherwise false.
  bool WatchRunning(HWND window);

  [[nodiscard]] int GetMaxRunning() const override;
  void OnTaskStart(const TaskPtr& task) override;

  // For tests and the probe.
  [[nodiscard]] int GetDirection() const noexcept { return direction_; }
  [[nodiscard]] bool IsStarted() const noexcept { return started_ != 0; }
  [[nodiscard]] const std::set<std::wstring>& RequestedNames() const noexcept { return requested_; }
  // Paths of the requests not started yet, in queue order.
  [[nodiscard]] std::deque<std::wstring> PendingPaths() const;

 private:
  const AppConfigValues& config_;
  int direction_ = kAround;
  std::set<std::wstring> requested_;
  std::wstring folder_;
  int started_ = 0;
};
