#pragma once
// The busy cursor for the life of the object, around synchronous work on the user-interface thread
// (a save, a rotation that saves).
#include <windows.h>

namespace base {

class WaitCursor {
 public:
  WaitCursor() noexcept : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  ~WaitCursor() {
    // The cursor of the window under the pointer again, as its class or WM_SETCURSOR says.
    ::SetCursor(previous_);
    POINT point{};
    if (::GetCursorPos(&point)) ::SetCursorPos(point.x, point.y);
  }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

}  // namespace base
