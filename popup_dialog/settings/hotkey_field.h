#pragma once
// The settings dialog's hotkey box: a native edit window (identifier 1026) laid over the skin's
// place for it, showing the hotkey's text. When the user clicks it, a capture control (see
// hotkey_control.h) is made over its client area a moment later (timer 2021, once the edit has
// settled with the focus); when the capture ends it writes the combination's text into the edit,
// and the edit's change notification hands the value to the dialog. User-interface thread only.
#include <windows.h>

#include <memory>
#include <optional>

#include "base/handles.h"
#include "popup_dialog/settings/hotkey_control.h"

namespace popup_dialog {

class HotkeyField {
 public:
  static constexpr int kEditId = 1026;
  static constexpr UINT_PTR kTimerId = 2021;

  explicit HotkeyField(HotkeyPrompts prompts);
  ~HotkeyField();
  HotkeyField(const HotkeyField&) = delete;
  HotkeyField& operator=(const HotkeyField&) = delete;

  // Shows the edit inside the place (dialog client coordinates), making it the first
  // time, with the value's text. False when the edit could not be made.
  bool Show(HWND dialog, const RECT& place, int value);
  void Hide();
  [[nodiscard]] HWND Edit() const { return edit_; }
  [[nodiscard]] HWND Control() const { return control_ ? control_->Handle() : nullptr; }
  [[nodiscard]] int Value() const { return value_; }

  // WM_COMMAND from the edit. Answers the combination the user chose, when the capture handed
  // one over; the edit's own changes and changes before a capture control exists answer nothing.
  std::optional<int> OnEditCommand(WORD code);
  // WM_TIMER 2021: makes the capture control over the edit, loaded with the current value.
  void OnTimer();
  // Shows a value in the edit without taking it for the user's choice.
  void ShowValue(int value);
  // WM_CTLCOLOREDIT for the edit: white, the text in the accent, the empty prompt in grey.
  HBRUSH OnColour(HDC dc) const;

 private:
  HotkeyPrompts prompts_;
  base::FontHandle font_;
  HWND dialog_ = nullptr;
  HWND edit_ = nullptr;
  std::unique_ptr<HotkeyCtrlBase> control_;
  int value_ = 0;
  // Set while a capture control exists and the text in the edit is not the dialog's own.
  bool armed_ = false;
};

}  // namespace popup_dialog
