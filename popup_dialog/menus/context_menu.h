#pragma once
// The context menu, opened by a right click in the image view: open, copy, delete, show in
// folder, print, save as, actual size, full screen, wallpaper and the information panel, each
// enabled only when the current picture allows it (popup_menu::kContextItems).
#include <windows.h>

#include "popup_dialog/menus/menu_rules.h"
#include "popup_dialog/menus/menu_window.h"

class CContextMenu : public CPopupMenuWnd {
 public:
  explicit CContextMenu(HWND owner) : CPopupMenuWnd(owner) {}

  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"CContextMenu"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return L"context_menu.xml"; }
  void OnWindowInit() override;
  void OnNotify(skin::Notification& notification) override;

  // Opens the menu at a screen point.
  void ShowAtPoint(POINT point) override;

  // The current picture as the items see it.
  static popup_menu::PictureState CurrentPictureState();
};
