#pragma once
// The main menu (from the menu button) and the context menu (from the image view). A menu reports
// the choice to its owner window with WM_MENU_COMMAND: wParam the command, or -1 when it closed
// without one; the owner then deletes the menu object (which destroys its window).
#include <windows.h>

#include <memory>

namespace services {

inline constexpr UINT WM_MENU_COMMAND = 0x8203;

class IPopupMenu {
 public:
  virtual ~IPopupMenu() = default;
  // Main menu: placed against the anchor (the menu button's window rectangle, screen coordinates).
  virtual void ShowAt(const RECT& anchor) = 0;
  // Context menu: placed at a screen point.
  virtual void ShowAtPoint(POINT point) = 0;
};

class IPopupMenuFactory {
 public:
  virtual ~IPopupMenuFactory() = default;
  virtual std::unique_ptr<IPopupMenu> CreateMainMenu(HWND owner) = 0;
  virtual std::unique_ptr<IPopupMenu> CreateContextMenu(HWND owner) = 0;
};

}  // namespace services
