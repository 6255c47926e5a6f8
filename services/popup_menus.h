#pragma once
// The main menu (from the menu button) and the context menu (from the image view). A menu reports
// the choice to its owner window with WM_MENU_COMMAND: wParam the command, or -1 when it closed
// without one; lParam the menu's own window, so that an owner that already holds the next menu can
// tell a late message of the previous one and ignore it. The owner then deletes the menu object
// (which destroys its window). A menu reports once.
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
  // The menu's window (the lParam of its WM_MENU_COMMAND), null before it is shown.
  [[nodiscard]] virtual HWND GetSafeHwnd() const = 0;
};

class IPopupMenuFactory {
 public:
  virtual ~IPopupMenuFactory() = default;
  virtual std::unique_ptr<IPopupMenu> CreateMainMenu(HWND owner) = 0;
  virtual std::unique_ptr<IPopupMenu> CreateContextMenu(HWND owner) = 0;
};

// Whether a WM_MENU_COMMAND comes from the menu an owner holds (a message from any other window,
// an earlier menu's included, is a stranger's).
inline bool IsFromMenu(const IPopupMenu* menu, LPARAM sender) noexcept {
  return menu && menu->GetSafeHwnd() && reinterpret_cast<HWND>(sender) == menu->GetSafeHwnd();
}

}  // namespace services
