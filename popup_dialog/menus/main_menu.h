#pragma once
// The main menu, opened by the menu button: open, default viewer, always on top, the mouse-wheel
// entry with its sub-list, settings, feedback and about. "Default viewer" is ticked while the
// setting asks for it, "always on top" while the main window is topmost, and the sub-list ticks
// what the wheel does now.
//
// The window is wider than the list: kWheelListWidth on either side of it holds the sub-list
// when it opens, and the window's region shows only the list (and the sub-list while it is open).
#include <windows.h>

#include "appconfig/app_config.h"
#include "popup_dialog/menus/menu_window.h"

class CMainMenu : public CPopupMenuWnd {
 public:
  static constexpr UINT_PTR kWheelTimer = 2021;
  static constexpr UINT kWheelTimerMs = 100;
  // The check mark of a ticked item.
  static constexpr wchar_t kCheckMark[] = L"file='images/icon1.png' source='20,0,40,20' dest='12,8,32,28'";

  CMainMenu(HWND owner, AppConfig& config) : CPopupMenuWnd(owner), config_(config) {}

  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"CMainMenu"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return L"menu.xml"; }
  void OnWindowInit() override;
  void OnNotify(skin::Notification& notification) override;
  LRESULT OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  // Opens the menu against the menu button's window rectangle (screen coordinates).
  void ShowAt(const RECT& anchor) override;

 private:
  void ShowWheelList();
  void OnWheelTimer();
  // The window shows the list and, while it is open, the sub-list.
  void UpdateRegion();
  // The wheel entry's arrow points to the side its sub-list opens on.
  void MarkWheelEntry();
  [[nodiscard]] RECT ListOnScreen() const;

  AppConfig& config_;
};
