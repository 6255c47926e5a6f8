#pragma once
// The feedback form. It runs modelessly and tells the main window when it has closed
// (WM_FEEDBACK_CLOSED), which then deletes it.
#include <windows.h>

#include <memory>

namespace services {

inline constexpr UINT WM_FEEDBACK_CLOSED = 0x8204;

class IFeedbackDialog {
 public:
  virtual ~IFeedbackDialog() = default;
  // Opens the form, or brings it forward with its text when it is open. A form that has closed
  // (its WM_FEEDBACK_CLOSED is on its way) stays closed.
  virtual void Show(HWND mainWindow) = 0;
};

class IFeedbackDialogFactory {
 public:
  virtual ~IFeedbackDialogFactory() = default;
  virtual std::unique_ptr<IFeedbackDialog> CreateFeedbackDialog() = 0;
};

}  // namespace services
