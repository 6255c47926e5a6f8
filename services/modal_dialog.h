#pragma once
// A dialog that the main window runs modally: one object per opening, deleted when it returns.
#include <windows.h>

namespace services {

class IModalDialog {
 public:
  virtual ~IModalDialog() = default;
  // Runs the dialog; answers its result (1 = confirmed; 0, 2 or -1 otherwise).
  virtual INT_PTR DoModal(HWND owner) = 0;
  // The dialog's window while it runs, else null.
  [[nodiscard]] virtual HWND GetSafeHwnd() const = 0;
};

}  // namespace services
