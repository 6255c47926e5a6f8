#pragma once
// The question what the mouse wheel should do, asked on the first wheel turn while the user has
// not chosen; it stores the answer in the settings.
#include <windows.h>

namespace services {

class IWheelQuestion {
 public:
  virtual ~IWheelQuestion() = default;
  // Runs modally and stores the choice.
  virtual void Ask(HWND owner) = 0;
  // The question's window while it is open, else null.
  [[nodiscard]] virtual HWND OpenWindow() const = 0;
};

}  // namespace services
