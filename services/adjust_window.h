#pragma once
// The display adjustment window (brighter, more colourful, sharper), owned by the toolbar while
// open. When it closes it sends WM_ADJUST_WINDOW_CLOSED to its owner: wParam 1 when the adjustment
// stays applied, 0 when it is dropped.
#include <windows.h>

#include <memory>

namespace services {

inline constexpr UINT WM_ADJUST_WINDOW_CLOSED = 0x81FD;

class IAdjustWindow {
 public:
  virtual ~IAdjustWindow() = default;
  virtual void ShowAt(const RECT& buttonScreenRect) = 0;
};

class IAdjustWindowFactory {
 public:
  virtual ~IAdjustWindowFactory() = default;
  virtual std::unique_ptr<IAdjustWindow> CreateAdjustWindow(HWND owner) = 0;
};

}  // namespace services
