#include "skin/controls/button.h"

#include <functional>

#include "base/strings.h"
#include "skin/controls/container.h"

namespace skin {
namespace {

bool ReadImage(std::wstring_view value, std::wstring& out) {
  ImageDescription description;
  if (!ParseImageDescription(value, description)) return false;
  out = std::wstring(value);
  return true;
}

bool Unreadable(std::wstring* error, std::wstring_view name) {
  if (error) *error = L"attribute " + std::wstring(name) + L" has a value that cannot be read";
  return false;
}

Control* RootOf(Control* control) {
  while (control->Parent()) control = control->Parent();
  return control;
}

void ForEachControl(Control* control, const std::function<void(Control*)>& visit) {
  visit(control);
  if (auto* container = dynamic_cast<Container*>(control)) {
    for (size_t i = 0; i < container->Count(); ++i) ForEachControl(container->ChildAt(i), visit);
  }
}

}  // namespace

bool Button::SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) {
  const auto is = [&](const wchar_t* key) { return base::EqualsNoCase(name, key); };
  std::wstring* image = is(L"normalimage")     ? &normal_image_
                        : is(L"hotimage")      ? &hot_image_
                        : is(L"pushedimage")   ? &pushed_image_
                        : is(L"disabledimage") ? &disabled_image_
                        : is(L"foreimage")     ? &fore_image_
                                               : nullptr;
  if (image) return ReadImage(value, *image) || Unreadable(error, name);
  Argb* colour = is(L"hotbackground")      ? &hot_background_
                 : is(L"pushedbackground") ? &pushed_background_
                 : is(L"hottextcolor")     ? &hot_text_
                 : is(L"pushedtextcolor")  ? &pushed_text_
                                           : nullptr;
  if (colour) return ParseColor(value, *colour) || Unreadable(error, name);
  if (is(L"default")) return ParseBool(value, default_) || Unreadable(error, name);
  return Control::SetAttribute(name, value, error);
}

const std::wstring& Button::StateImage() const {
  if (!IsEnabled() && !disabled_image_.empty()) return disabled_image_;
  if (IsEnabled() && pressed_ && hot_ && !pushed_image_.empty()) return pushed_image_;
  if (IsEnabled() && hot_ && !hot_image_.empty()) return hot_image_;
  return normal_image_;
}

Argb Button::StateBackground() const {
  if (IsEnabled() && pressed_ && hot_ && pushed_background_) return pushed_background_;
  if (IsEnabled() && hot_ && hot_background_) return hot_background_;
  return 0;
}

Argb Button::StateTextColour() const {
  if (IsEnabled() && pressed_ && hot_ && pushed_text_) return pushed_text_;
  if (IsEnabled() && hot_ && hot_text_) return hot_text_;
  return TextColour();
}

void Button::Paint(HDC dc, const RECT& clip) {
  RECT overlap{};
  if (!IsVisible() || !::IntersectRect(&overlap, &Rect(), &clip)) return;
  PaintBackground(dc);
  FillArea(dc, Rect(), StateBackground(), 0);
  PaintImage(dc, StateImage());
  PaintImage(dc, fore_image_);
  PaintText(dc, Text(), StateTextColour(), Rect());
  PaintBorder(dc);
}

void Button::OnMouseUp(POINT point, bool inside) {
  Control::OnMouseUp(point, inside);
  if (inside && IsEnabled()) Activate();
}

void Button::Activate() { Notify(L"click"); }

bool Option::SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) {
  const auto is = [&](const wchar_t* key) { return base::EqualsNoCase(name, key); };
  if (is(L"selected")) return ParseBool(value, selected_) || Unreadable(error, name);
  if (is(L"group")) {
    group_ = std::wstring(value);
    return true;
  }
  if (is(L"selectedimage")) return ReadImage(value, selected_image_) || Unreadable(error, name);
  if (is(L"selectedhotimage")) return ReadImage(value, selected_hot_image_) || Unreadable(error, name);
  if (is(L"selectedbackground")) return ParseColor(value, selected_background_) || Unreadable(error, name);
  if (is(L"selectedtextcolor")) return ParseColor(value, selected_text_) || Unreadable(error, name);
  return Button::SetAttribute(name, value, error);
}

void Option::SetSelected(bool selected, bool notify) {
  if (selected == selected_) return;
  selected_ = selected;
  Invalidate();
  if (selected && !Toggles()) {
    // The others of the group in this window give up their selection.
    ForEachControl(RootOf(this), [&](Control* control) {
      auto* other = dynamic_cast<Option*>(control);
      if (other && other != this && !other->Toggles() && other->group_ == group_) other->SetSelected(false, notify);
    });
  }
  if (notify) Notify(L"selectchanged", selected ? 1 : 0);
}

void Option::Activate() {
  Notify(L"click");
  SetSelected(Toggles() ? !selected_ : true);
}

const std::wstring& Option::StateImage() const {
  if (selected_) {
    if (IsEnabled() && hot_ && !selected_hot_image_.empty()) return selected_hot_image_;
    if (!selected_image_.empty()) return selected_image_;
  }
  return Button::StateImage();
}

Argb Option::StateBackground() const {
  if (selected_ && selected_background_) return selected_background_;
  return Button::StateBackground();
}

Argb Option::StateTextColour() const {
  if (selected_ && selected_text_ && IsEnabled()) return selected_text_;
  return Button::StateTextColour();
}

}  // namespace skin
