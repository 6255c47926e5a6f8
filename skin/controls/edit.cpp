#include "skin/controls/edit.h"

#include <algorithm>

#include "base/strings.h"
#include "skin/render/resources.h"

namespace skin {
namespace {

constexpr wchar_t kControlProperty[] = L"QuellinSkinEdit";

}  // namespace

Edit::~Edit() {
  if (native_ && ::IsWindow(native_)) {
    ::RemovePropW(native_, kControlProperty);
    ::DestroyWindow(native_);
  }
}

Edit* Edit::FromNative(HWND window) {
  return window ? static_cast<Edit*>(::GetPropW(window, kControlProperty)) : nullptr;
}

std::wstring Edit::Text() const {
  if (!native_) return Control::Text();
  const int length = ::GetWindowTextLengthW(native_);
  std::wstring text(static_cast<size_t>(std::max(0, length)) + 1, L'\0');
  const int got = ::GetWindowTextW(native_, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<size_t>(std::max(0, got)));
  return text;
}

void Edit::SetText(std::wstring text) {
  if (native_) {
    setting_text_ = true;
    ::SetWindowTextW(native_, text.c_str());
    setting_text_ = false;
  }
  Control::SetText(std::move(text));
}

void Edit::SetEnabled(bool enabled) {
  Control::SetEnabled(enabled);
  if (native_) ::EnableWindow(native_, enabled ? TRUE : FALSE);
}

void Edit::SetTextColour(Argb colour) {
  Look().color = colour;
  if (native_) ::InvalidateRect(native_, nullptr, TRUE);
}

void Edit::SetMaxChars(int count) {
  max_chars_ = std::max(0, count);
  if (native_) ::SendMessageW(native_, EM_SETLIMITTEXT, static_cast<WPARAM>(max_chars_), 0);
}

void Edit::Focus() const {
  if (native_) ::SetFocus(native_);
}

bool Edit::HasFocus() const { return native_ && ::GetFocus() == native_; }

void Edit::Attach(ControlHost* host, SkinResources* resources) {
  if (!host && native_) {
    // The window is going away and takes the native edit with it; its text stays readable.
    std::wstring text = Text();
    ::RemovePropW(native_, kControlProperty);
    native_ = nullptr;
    Control::SetText(std::move(text));
  }
  Control::Attach(host, resources);
  if (host && host->Window() && !native_) CreateNative();
}

void Edit::CreateNative() {
  DWORD style = WS_CHILD | ES_AUTOHSCROLL;
  if (multiline_) style = WS_CHILD | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN | WS_VSCROLL;
  if (password_) style |= ES_PASSWORD;
  if (read_only_) style |= ES_READONLY;
  if (numeric_) style |= ES_NUMBER;
  const UINT align = Look().horizontal;
  style |= align == DT_CENTER ? ES_CENTER : align == DT_RIGHT ? ES_RIGHT : ES_LEFT;
  const RECT r = NativeRect();
  native_ = ::CreateWindowExW(0, L"EDIT", Control::Text().c_str(), style, r.left, r.top, r.right - r.left,
                              r.bottom - r.top, Host()->Window(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
  if (!native_) return;
  ::SetPropW(native_, kControlProperty, this);
  if (Resources()) ::SendMessageW(native_, WM_SETFONT, reinterpret_cast<WPARAM>(Resources()->Font(Look().font)), FALSE);
  ::SendMessageW(native_, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, 0);
  if (max_chars_ > 0) ::SendMessageW(native_, EM_SETLIMITTEXT, static_cast<WPARAM>(max_chars_), 0);
  if (!IsEnabled()) ::EnableWindow(native_, FALSE);
  OnVisibilityChanged();
}

void Edit::OnVisibilityChanged() {
  if (native_) ::ShowWindow(native_, IsEffectivelyVisible() ? SW_SHOWNA : SW_HIDE);
}

RECT Edit::NativeRect() const {
  const RECT& r = Rect();
  const RECT& pad = Look().padding;
  RECT inner{r.left + pad.left, r.top + pad.top, r.right - pad.right, r.bottom - pad.bottom};
  inner.right = std::max(inner.left, inner.right);
  inner.bottom = std::max(inner.top, inner.bottom);
  if (!multiline_ && native_ && Resources()) {
    // A single line sits in the middle of the field.
    TEXTMETRICW metrics{};
    HDC dc = ::GetDC(native_);
    HGDIOBJ old = ::SelectObject(dc, Resources()->Font(Look().font));
    ::GetTextMetricsW(dc, &metrics);
    ::SelectObject(dc, old);
    ::ReleaseDC(native_, dc);
    const LONG height = metrics.tmHeight + 2;
    if (height < inner.bottom - inner.top) {
      inner.top += (inner.bottom - inner.top - height) / 2;
      inner.bottom = inner.top + height;
    }
  }
  return inner;
}

void Edit::SetPos(const RECT& rect) {
  Control::SetPos(rect);
  if (!native_) return;
  const RECT r = NativeRect();
  ::SetWindowPos(native_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool Edit::SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) {
  const auto is = [&](const wchar_t* key) { return base::EqualsNoCase(name, key); };
  bool ok = true;
  if (is(L"maxchar")) {
    ok = ParseInt(value, max_chars_) && max_chars_ >= 0;
  } else if (is(L"password")) {
    ok = ParseBool(value, password_);
  } else if (is(L"readonly")) {
    ok = ParseBool(value, read_only_);
  } else if (is(L"multiline")) {
    ok = ParseBool(value, multiline_);
  } else if (is(L"numeric")) {
    ok = ParseBool(value, numeric_);
  } else if (is(L"fill")) {
    ok = ParseColor(value, fill_);
  } else if (is(L"focusborder")) {
    ok = ParseColor(value, focus_border_);
  } else {
    return Control::SetAttribute(name, value, error);
  }
  if (!ok && error) *error = L"attribute " + std::wstring(name) + L" has a value that cannot be read";
  return ok;
}

void Edit::Paint(HDC dc, const RECT& clip) {
  RECT overlap{};
  if (!IsVisible() || !::IntersectRect(&overlap, &Rect(), &clip)) return;
  PaintBackground(dc);
  FillArea(dc, Rect(), fill_, 0);
  if (!native_) PaintText(dc, Control::Text(), TextColour(), Rect());
  if (focused_ && focus_border_) {
    PaintFrame(dc, focus_border_);
  } else {
    PaintBorder(dc);
  }
}

void Edit::OnMouseDown(POINT point) {
  Control::OnMouseDown(point);
  Focus();
}

HCURSOR Edit::Cursor(POINT) const { return ::LoadCursorW(nullptr, IDC_IBEAM); }

void Edit::OnNativeCommand(WORD code) {
  switch (code) {
    case EN_CHANGE:
      if (!setting_text_) Notify(L"textchanged");
      break;
    case EN_SETFOCUS:
      focused_ = true;
      Invalidate();
      Notify(L"setfocus");
      break;
    case EN_KILLFOCUS:
      focused_ = false;
      Invalidate();
      Notify(L"killfocus");
      break;
    default:
      break;
  }
}

HBRUSH Edit::OnNativeColour(HDC dc) {
  const Argb fill = (fill_ >> 24) ? fill_ : 0xFFFFFFFF;
  ::SetTextColor(dc, ToColorRef(IsEnabled() ? Look().color : Look().disabled_color));
  ::SetBkColor(dc, ToColorRef(fill));
  if (!brush_ || brush_colour_ != fill) {
    brush_.Reset(::CreateSolidBrush(ToColorRef(fill)));
    brush_colour_ = fill;
  }
  return brush_.Get();
}

}  // namespace skin
