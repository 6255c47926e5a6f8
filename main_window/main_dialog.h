#pragma once
// The viewer's single top-level window. It runs modally from dialog template 102 under its own
// registered window class, so that other starts and the exit logic can find it by class name.
// When it ends, the process ends.
#include <windows.h>

#include <string>

#include "base/handles.h"
#include "view/title_info.h"

// Private messages of the main window.
inline constexpr UINT WM_OPEN_PATH = 0x81FF;  // wParam: path (const wchar_t*); bring to front and open

class CDorvaneDlg {
 public:
  static constexpr const wchar_t* kWindowClass = kMainWindowClass;
  static constexpr wchar_t kIdleCaption[] = L"Quellin";

  // Registers the main window class (a copy of the system dialog class under our name).
  CDorvaneDlg(HINSTANCE instance, HWND parent);
  virtual ~CDorvaneDlg() = default;
  CDorvaneDlg(const CDorvaneDlg&) = delete;
  CDorvaneDlg& operator=(const CDorvaneDlg&) = delete;

  // Runs the window until it is closed; answers the dialog result (-1 when it could not be made).
  INT_PTR DoModal();

  HWND GetSafeHwnd() const noexcept { return window_; }
  // The path last handed over by another start.
  const std::wstring& LastReceivedPath() const noexcept { return last_received_path_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam);

  BOOL OnInitDialog();
  void OnCommand(UINT id);
  // Answers a hand-over from another start (the value goes back to the sender).
  LRESULT OnCopyData(const COPYDATASTRUCT* record);
  void OnOpenPath(const wchar_t* path);
  // Raises the window above others without keeping it topmost.
  void RaiseWindow();
  void BringToFront();
  void EndMainDialog(INT_PTR result);

  HINSTANCE instance_;
  HWND parent_;
  HWND window_ = nullptr;
  std::wstring last_received_path_;
  base::IconHandle icon_big_;
  base::IconHandle icon_small_;
  // Set once the window started closing; it then refuses hand-overs.
  bool exiting_ = false;
};
