#pragma once
// The display adjustment window (brighter, more colourful, sharper), owned by the toolbar while
// open. When the user chooses or drops it, it sends WM_ADJUST_WINDOW_CLOSED to its owner once:
// wParam the chosen view enhancement mode (1, 2 or 3; the adjustment stays applied) or 0 (it is
// dropped), lParam the window that sends it. The owner takes the message only from the window it
// holds: a late one from a window it already let go must not close the next.
#include <windows.h>

#include <memory>

namespace services {

inline constexpr UINT WM_ADJUST_WINDOW_CLOSED = 0x81FD;

class IAdjustWindow {
 public:
  // Destroying the object closes the window.
  virtual ~IAdjustWindow() = default;
  virtual void ShowAt(const RECT& buttonScreenRect) = 0;
  // The window while it exists, else null: the lParam its message carries.
  [[nodiscard]] virtual HWND GetSafeHwnd() const = 0;
};

class IAdjustWindowFactory {
 public:
  virtual ~IAdjustWindowFactory() = default;
  virtual std::unique_ptr<IAdjustWindow> CreateAdjustWindow(HWND owner) = 0;
};

}  // namespace services
