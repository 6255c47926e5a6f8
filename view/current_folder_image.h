#pragma once
// The ordered list of the pictures in the folder of the picture on screen, and the position of
// that picture in it. A new folder is scanned on a thread of its own; meanwhile the opened file is
// the single entry of the list, and the full list replaces it when the scan's result arrives on
// the user-interface thread through the hidden message window.
#include <windows.h>

#include <atomic>
#include <memory>
#include <string>

#include "appconfig/app_config.h"
#include "base/handles.h"
#include "base/message_window.h"
#include "view/folder_order.h"
#include "view/folder_scan.h"
#include "view/shell_view_order.h"

// Scan thread -> the list's hidden window, sent. wParam: address of the scan's ScanResult; lParam: 0.
constexpr UINT WM_FOLDER_SCAN_RESULT = 0x8032;
// List -> its notification window (the main image view). wParam, lParam: 0.
constexpr UINT WM_FOLDER_IMAGE_COLLECTED = 0x81F9;

// What the list tells the rest of the program besides its notification window. Every call runs
// on the user-interface thread, at the moments named below.
class IFolderImageListObserver {
 public:
  virtual ~IFolderImageListObserver() = default;
  // The position changed: the title state's position setter takes (index, count).
  virtual void OnFolderPositionChanged(int index, int count) { (void)index, (void)count; }
  // The neighbours of the position are worth preloading (the thumbnail preloader's PreloadAround).
  virtual void OnPreloadAround(const std::wstring& folder, int index, const folder_order::NameList& names) {
    (void)folder, (void)index, (void)names;
  }
  // The list has been (re)built or repositioned, at the moment WM_FOLDER_IMAGE_COLLECTED is sent or
  // posted to the notification window. The UI event bus hooks in here to raise
  // CUIEventFolderImageCollected.
  virtual void OnFolderImageCollected() {}
};

class CCurrentFolderImage : public FCMessageWindow {
 public:
  // `config` supplies view_folder_loop, read at every step, and must outlive the list. `shell`
  // tells the order of an open folder window (null: logical name order only); scan threads share it.
  explicit CCurrentFolderImage(const AppConfigValues& config = AppConfig::Get(),
                               std::shared_ptr<IShellViewOrder> shell = MakeShellWindowsViewOrder());
  // Stops a running scan and frees the list.
  ~CCurrentFolderImage() override;

  // Makes the file current. Repositions at once when the folder is listed and holds the file;
  // otherwise the file becomes a one-entry list and its folder is scanned.
  void SetCurrentFile(HWND notificationWindow, const std::wstring& path);
  // Full path of the picture `offset` places away, or empty when it cannot be reached. Does not
  // move the position: the caller opens the file, which comes back through SetCurrentFile.
  [[nodiscard]] std::wstring GetNeighbourPath(int offset) const;
  [[nodiscard]] bool CanMove(int offset) const;
  // Drops the file from the list; returns the full path of the picture current afterwards, or
  // empty when the list became empty.
  std::wstring RemoveFile(const std::wstring& path);
  // Empties the list (stopping a running scan first, so no result can refill it).
  void Reset();

  [[nodiscard]] int GetCount() const noexcept { return static_cast<int>(names_.size()); }
  [[nodiscard]] int GetCurrentIndex() const noexcept { return currentIndex_; }
  [[nodiscard]] bool IsScanning() const noexcept { return scanThread_.IsValid(); }
  [[nodiscard]] const std::wstring& GetFolder() const noexcept { return folder_; }
  [[nodiscard]] const folder_order::NameList& GetNames() const noexcept { return names_; }

  // One observer at a time (null to remove); it must outlive the list or be removed first.
  void SetObserver(IFolderImageListObserver* observer) noexcept { observer_ = observer; }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

 private:
  struct ScanJob;

  static unsigned __stdcall ScanThread(void* param) noexcept;
  [[nodiscard]] bool IsLooping() const noexcept;
  void StartScan(const folder_order::SplitPath& split);
  void StopScan() noexcept;
  // How long stopping a scan waits for its thread to see the stop.
  static constexpr DWORD kStopWaitMs = 1000;
  void OnScanResult(WPARAM wParam);
  void ReportPosition();
  void PreloadAround();

  const AppConfigValues& config_;
  std::shared_ptr<IShellViewOrder> shell_;
  IFolderImageListObserver* observer_ = nullptr;

  HWND notificationWindow_ = nullptr;
  std::wstring folder_;
  folder_order::NameList names_;
  int currentIndex_ = -1;
  base::KernelHandle scanThread_;
  // Shared with the scan thread, which keeps its own reference until it ends.
  std::shared_ptr<ScanJob> job_;
};
