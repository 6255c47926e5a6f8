#pragma once
// A skinned window run as a modal dialog: its owner is disabled while it runs its own message
// loop, and DoModal answers the result given to EndDialog. Escape cancels (OnCancelKey), Enter
// presses the skin's default button (default="true"), Tab and Shift+Tab move between the fields.
// However a dialog is closed (WM_CLOSE, the inherited "closebtn", its owner going away), it ends
// with kCancel unless it ended with a result of its own first: closing is never confirming.
#include "skin/window/skin_window.h"

class CDlgBase : public CUseZipResourceDuiWnd {
 public:
  static constexpr INT_PTR kOk = 1;
  static constexpr INT_PTR kCancel = 2;

  // Runs the dialog centred over its owner; -1 when the window could not be made. The owner may
  // be any window of the owning top-level window.
  INT_PTR DoModal(HWND owner);
  // Ends the modal loop with the result; the window is destroyed when DoModal returns.
  void EndDialog(INT_PTR result);
  [[nodiscard]] bool IsRunning() const { return running_; }

 protected:
  // Escape: cancels unless a dialog gives it another meaning.
  virtual void OnCancelKey() { EndDialog(kCancel); }
  void OnClose(WPARAM wParam) override;
  void OnFinalMessage() override;

 private:
  // Keys the dialog takes before the focused window sees them.
  bool PreTranslate(const MSG& message);
  void MoveFocus(bool backwards);

  INT_PTR result_ = kCancel;
  bool running_ = false;
  bool ended_ = false;
};
