#pragma once
// What the main menu and the context menu share: a skinned pop-up owned by the main window that
// reports to its owner once, with WM_MENU_COMMAND and its own window as lParam: the tag of the
// chosen item, or -1 when it loses the keyboard focus (a click elsewhere) or Escape is pressed.
// A menu that its owner deletes reports nothing.
#include <windows.h>

#include "services/popup_menus.h"
#include "skin/controls/list.h"
#include "skin/window/skin_window.h"

class CPopupMenuWnd : public CUseZipResourceDuiWnd, public services::IPopupMenu {
 public:
  explicit CPopupMenuWnd(HWND owner) : owner_(owner) {}
  ~CPopupMenuWnd() override;

  void ShowAt(const RECT&) override {}
  void ShowAtPoint(POINT) override {}
  [[nodiscard]] HWND GetSafeHwnd() const override { return GetHWND(); }
  [[nodiscard]] HWND Owner() const { return owner_; }
  // The window the menus act on (the owner's top-level window).
  [[nodiscard]] HWND MainWindow() const;

  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

 protected:
  // Makes the hidden pop-up, owned by the main window; false when it could not be made.
  bool CreateMenuWindow();
  // Moves the window's top-left corner to the point, shows it and gives it the focus.
  void ShowMenuWindow(POINT topLeft);
  // Tells the owner once: the command, or -1 for none.
  void Report(WPARAM command);
  // A list's "itemselect": the tag of the chosen item (nothing for an item without one).
  void ReportItem(const skin::Notification& notification);
  // Gives the items of a list their tags and texts (keys "1", "2", ... of the section from
  // firstKey on); a list missing from the skin is skipped.
  void FillList(const wchar_t* listName, const UINT* tags, int count, const wchar_t* section, int firstKey) const;

 private:
  HWND owner_;
  bool reported_ = false;
  // Set once the menu is on screen with the focus: focus that moves while the window is being
  // made is not the user closing it.
  bool shown_ = false;
};
