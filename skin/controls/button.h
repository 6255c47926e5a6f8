#pragma once
// Labels, buttons, options (one of a group is selected) and check boxes.
#include <string>

#include "skin/controls/control.h"

namespace skin {

class Label : public Control {
 public:
  [[nodiscard]] const wchar_t* Kind() const override { return L"Label"; }
};

// A plain picture (its "image" attribute) or an empty spacer.
class Picture : public Control {
 public:
  [[nodiscard]] const wchar_t* Kind() const override { return L"Picture"; }
};

// Pictures or colours per state (normal, hot, pushed, disabled), an optional picture drawn over
// them (foreimage), and "click" when the button is released over itself.
class Button : public Control {
 public:
  [[nodiscard]] const wchar_t* Kind() const override { return L"Button"; }
  [[nodiscard]] bool TakesMouse() const override { return true; }
  // Enter in the window presses the default button.
  [[nodiscard]] bool IsDefault() const { return default_; }
  bool SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) override;
  void Paint(HDC dc, const RECT& clip) override;
  void OnMouseUp(POINT point, bool inside) override;
  void Activate() override;

 protected:
  // The state picture and colours; options override them while selected.
  [[nodiscard]] virtual const std::wstring& StateImage() const;
  [[nodiscard]] virtual Argb StateBackground() const;
  [[nodiscard]] virtual Argb StateTextColour() const;

  std::wstring normal_image_, hot_image_, pushed_image_, disabled_image_, fore_image_;
  Argb hot_background_ = 0, pushed_background_ = 0;
  Argb hot_text_ = 0, pushed_text_ = 0;
  bool default_ = false;
};

// A button that stays selected. Options with the same group name in one window exclude each
// other; "selectchanged" (wParam 1 selected, 0 not) reports every change of state, also the one
// of the option a new selection took it from.
class Option : public Button {
 public:
  [[nodiscard]] const wchar_t* Kind() const override { return L"Option"; }
  [[nodiscard]] bool IsSelected() const { return selected_; }
  // With notify false the change is silent (windows setting up their own state).
  void SetSelected(bool selected, bool notify = true);
  [[nodiscard]] const std::wstring& Group() const { return group_; }
  bool SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) override;
  void Activate() override;

 protected:
  [[nodiscard]] const std::wstring& StateImage() const override;
  [[nodiscard]] Argb StateBackground() const override;
  [[nodiscard]] Argb StateTextColour() const override;
  [[nodiscard]] virtual bool Toggles() const { return group_.empty(); }

 private:
  bool selected_ = false;
  std::wstring group_;
  std::wstring selected_image_, selected_hot_image_;
  Argb selected_background_ = 0, selected_text_ = 0;
};

// An option that toggles on every click and never belongs to a group.
class CheckBox : public Option {
 public:
  [[nodiscard]] const wchar_t* Kind() const override { return L"CheckBox"; }
  [[nodiscard]] bool IsChecked() const { return IsSelected(); }
  void SetCheck(bool checked, bool notify = true) { SetSelected(checked, notify); }

 protected:
  [[nodiscard]] bool Toggles() const override { return true; }
};

}  // namespace skin
