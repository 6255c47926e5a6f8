#pragma once
// The busy cursor for the life of the object, around synchronous work on the user-interface thread
// (a save, a rotation that saves).
#include <windows.h>

namespace base {

class WaitCursor {
 public:
  WaitCursor() noexcept : previous_(::SetCursor(::LoadCursorW(nullptr, IDC_WAIT))) {}
  // The next mouse move sets the cursor of the window under the pointer again.
  ~WaitCursor() { ::SetCursor(previous_); }
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  HCURSOR previous_;
};

}  // namespace base
