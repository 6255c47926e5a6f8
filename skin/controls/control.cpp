#include "skin/controls/control.h"

#include <algorithm>

#include "base/handles.h"
#include "base/strings.h"
#include "image/gdiplus_include.h"
#include "skin/controls/container.h"
#include "skin/render/image_draw.h"
#include "skin/render/resources.h"

namespace skin {
namespace {

bool Bad(std::wstring* error, std::wstring_view name, std::wstring_view value) {
  if (error) *error = L"attribute " + std::wstring(name) + L" has a value that cannot be read: \"" +
                      std::wstring(value.substr(0, 64)) + L"\"";
  return false;
}

int ClampMeasure(int value) { return std::clamp(value, 0, 32767); }

void AddRoundRect(Gdiplus::GraphicsPath& path, const Gdiplus::RectF& r, float radius) {
  const float d = std::min({radius * 2, r.Width, r.Height});
  if (d <= 0) {
    path.AddRectangle(r);
    return;
  }
  path.AddArc(r.X, r.Y, d, d, 180, 90);
  path.AddArc(r.X + r.Width - d, r.Y, d, d, 270, 90);
  path.AddArc(r.X + r.Width - d, r.Y + r.Height - d, d, d, 0, 90);
  path.AddArc(r.X, r.Y + r.Height - d, d, d, 90, 90);
  path.CloseFigure();
}

}  // namespace

void FillArea(HDC dc, const RECT& area, Argb colour, int radius) {
  if ((colour >> 24) == 0 || area.right <= area.left || area.bottom <= area.top) return;
  if (radius <= 0 && (colour >> 24) == 0xFF) {
    base::BrushHandle brush(::CreateSolidBrush(ToColorRef(colour)));
    ::FillRect(dc, &area, brush.Get());
    return;
  }
  Gdiplus::Graphics graphics(dc);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
  Gdiplus::SolidBrush brush{Gdiplus::Color(colour)};
  const Gdiplus::RectF r(static_cast<float>(area.left), static_cast<float>(area.top),
                         static_cast<float>(area.right - area.left), static_cast<float>(area.bottom - area.top));
  Gdiplus::GraphicsPath path;
  AddRoundRect(path, r, static_cast<float>(radius));
  graphics.FillPath(&brush, &path);
}

void FrameArea(HDC dc, const RECT& area, Argb colour, int width, int radius) {
  if ((colour >> 24) == 0 || width <= 0 || area.right <= area.left || area.bottom <= area.top) return;
  if (radius <= 0 && (colour >> 24) == 0xFF) {
    base::BrushHandle brush(::CreateSolidBrush(ToColorRef(colour)));
    for (int i = 0; i < width; ++i) {
      const RECT ring{area.left + i, area.top + i, area.right - i, area.bottom - i};
      if (ring.right <= ring.left || ring.bottom <= ring.top) break;
      ::FrameRect(dc, &ring, brush.Get());
    }
    return;
  }
  Gdiplus::Graphics graphics(dc);
  graphics.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
  Gdiplus::Pen pen(Gdiplus::Color(colour), static_cast<float>(width));
  const float half = width / 2.0f;
  const Gdiplus::RectF r(area.left + half, area.top + half, area.right - area.left - width * 1.0f,
                         area.bottom - area.top - width * 1.0f);
  Gdiplus::GraphicsPath path;
  AddRoundRect(path, r, std::max(0.0f, radius - half));
  graphics.DrawPath(&pen, &path);
}

Control* Control::FindControl(std::wstring_view name) { return !name.empty() && name_ == name ? this : nullptr; }

Control* Control::ControlAt(POINT point) {
  if (!visible_ || !::PtInRect(&rect_, point)) return nullptr;
  return TakesMouse() ? this : nullptr;
}

void Control::Attach(ControlHost* host, SkinResources* resources) {
  host_ = host;
  resources_ = resources;
}

void Control::SetPos(const RECT& rect) {
  if (::EqualRect(&rect, &rect_)) return;
  Invalidate();
  rect_ = rect;
  Invalidate();
}

int Control::DesiredWidth() const {
  if (!auto_width_) return fixed_width_;
  const std::wstring text = Text();
  return ClampMeasure(MeasureText(text).cx + look_.padding.left + look_.padding.right + 2);
}

void Control::SetFixedWidth(int width) {
  width = ClampMeasure(width);
  if (width == fixed_width_) return;
  fixed_width_ = width;
  NeedLayout();
}

void Control::SetFixedHeight(int height) {
  height = ClampMeasure(height);
  if (height == fixed_height_) return;
  fixed_height_ = height;
  NeedLayout();
}

void Control::SetMargin(const RECT& margin) {
  margin_ = margin;
  NeedLayout();
}

void Control::SetFloatPos(const RECT& pos) {
  float_ = true;
  float_pos_ = pos;
  NeedLayout();
}

void Control::SetVisible(bool visible) {
  if (visible == visible_) return;
  visible_ = visible;
  OnVisibilityChanged();
  NeedLayout();
  Invalidate();
}

bool Control::IsEffectivelyVisible() const {
  for (const Control* c = this; c; c = c->parent_) {
    if (!c->visible_) return false;
    if (c->parent_ && !c->parent_->ShowsChild(*c)) return false;
  }
  return true;
}

void Control::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (!enabled) hot_ = pressed_ = false;
  Invalidate();
}

void Control::SetText(std::wstring text) {
  if (text == text_) return;
  text_ = std::move(text);
  Invalidate();
  if (auto_width_) NeedLayout();
}

bool Control::SetImage(std::wstring_view description) {
  ImageDescription parsed;
  if (!ParseImageDescription(description, parsed)) return false;
  image_ = std::wstring(description);
  Invalidate();
  return true;
}

void Control::SetBackground(Argb colour) {
  background_ = colour;
  Invalidate();
}

SIZE Control::MeasureText(const std::wstring& text) const {
  SIZE size{};
  if (!resources_ || text.empty()) return size;
  base::MemoryDc dc(::CreateCompatibleDC(nullptr));
  if (!dc) return size;
  base::SelectGuard font(dc.Get(), resources_->Font(look_.font));
  RECT r{0, 0, 0, 0};
  ::DrawTextW(dc.Get(), text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
  size.cx = r.right - r.left;
  size.cy = r.bottom - r.top;
  return size;
}

bool Control::SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) {
  const auto is = [&](const wchar_t* key) { return base::EqualsNoCase(name, key); };
  int number = 0;
  bool flag = false;
  RECT rect{};
  if (is(L"name")) {
    name_ = std::wstring(value);
  } else if (is(L"text")) {
    SetText(std::wstring(value));
  } else if (is(L"tooltip")) {
    tooltip_ = std::wstring(value);
  } else if (is(L"userdata")) {
    user_data_ = std::wstring(value);
  } else if (is(L"tag")) {
    if (!ParseInt(value, number)) return Bad(error, name, value);
    tag_ = static_cast<UINT_PTR>(static_cast<INT_PTR>(number));
  } else if (is(L"width")) {
    if (!ParseInt(value, number) || number < 0) return Bad(error, name, value);
    fixed_width_ = ClampMeasure(number);
  } else if (is(L"height")) {
    if (!ParseInt(value, number) || number < 0) return Bad(error, name, value);
    fixed_height_ = ClampMeasure(number);
  } else if (is(L"margin")) {
    if (!ParseRect(value, rect)) return Bad(error, name, value);
    margin_ = rect;
  } else if (is(L"autowidth")) {
    if (!ParseBool(value, flag)) return Bad(error, name, value);
    auto_width_ = flag;
  } else if (is(L"float")) {
    if (!ParseBool(value, flag)) return Bad(error, name, value);
    float_ = flag;
  } else if (is(L"pos")) {
    if (!ParseRect(value, rect)) return Bad(error, name, value);
    float_pos_ = rect;
  } else if (is(L"visible")) {
    if (!ParseBool(value, flag)) return Bad(error, name, value);
    visible_ = flag;
  } else if (is(L"enabled")) {
    if (!ParseBool(value, flag)) return Bad(error, name, value);
    enabled_ = flag;
  } else if (is(L"mouse")) {
    if (!ParseBool(value, flag)) return Bad(error, name, value);
    take_mouse_ = flag;
  } else {
    return SetLookAttribute(name, value, error);
  }
  return true;
}

bool Control::SetLookAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) {
  const auto is = [&](const wchar_t* key) { return base::EqualsNoCase(name, key); };
  int number = 0;
  bool flag = false;
  RECT rect{};
  Argb colour = 0;
  if (is(L"background")) {
    if (!ParseColor(value, colour)) return Bad(error, name, value);
    background_ = colour;
  } else if (is(L"border")) {
    if (!ParseColor(value, colour)) return Bad(error, name, value);
    border_ = colour;
  } else if (is(L"bordersize")) {
    if (!ParseInt(value, number) || number < 0 || number > 64) return Bad(error, name, value);
    border_size_ = number;
  } else if (is(L"radius")) {
    if (!ParseInt(value, number) || number < 0 || number > 1000) return Bad(error, name, value);
    radius_ = number;
  } else if (is(L"image")) {
    if (!SetImage(value)) return Bad(error, name, value);
  } else if (is(L"font")) {
    look_.font = std::wstring(value);
  } else if (is(L"textcolor")) {
    if (!ParseColor(value, colour)) return Bad(error, name, value);
    look_.color = colour;
  } else if (is(L"disabledtextcolor")) {
    if (!ParseColor(value, colour)) return Bad(error, name, value);
    look_.disabled_color = colour;
  } else if (is(L"align")) {
    if (!ParseAlign(value, look_.horizontal, look_.vertical)) return Bad(error, name, value);
  } else if (is(L"wrap")) {
    if (!ParseBool(value, flag)) return Bad(error, name, value);
    look_.wrap = flag;
  } else if (is(L"textpadding")) {
    if (!ParseRect(value, rect)) return Bad(error, name, value);
    look_.padding = rect;
  } else {
    if (error) *error = L"<" + std::wstring(Kind()) + L"> has no attribute " + std::wstring(name);
    return false;
  }
  return true;
}

void Control::PaintBackground(HDC dc) {
  FillArea(dc, rect_, background_, radius_);
  PaintImage(dc, image_);
}

void Control::PaintImage(HDC dc, const std::wstring& description) const {
  if (description.empty() || !resources_) return;
  ImageDescription parsed;
  if (!ParseImageDescription(description, parsed) || parsed.Empty()) return;
  const FCObjImage* picture = resources_->Picture(parsed.file);
  if (!picture) return;
  const ImagePlacement placement = PlaceImage(SIZE{picture->Width(), picture->Height()}, parsed, rect_);
  DrawPlacedImage(dc, *picture, placement, parsed);
}

void Control::PaintFrame(HDC dc, Argb colour) const { FrameArea(dc, rect_, colour, border_size_, radius_); }

void Control::PaintText(HDC dc, const std::wstring& text, Argb colour, const RECT& area) const {
  if (text.empty() || (colour >> 24) == 0 || !resources_) return;
  RECT r{area.left + look_.padding.left, area.top + look_.padding.top, area.right - look_.padding.right,
         area.bottom - look_.padding.bottom};
  if (r.right <= r.left || r.bottom <= r.top) return;
  base::SelectGuard font(dc, resources_->Font(look_.font));
  ::SetBkMode(dc, TRANSPARENT);
  ::SetTextColor(dc, ToColorRef(colour));
  UINT format = look_.horizontal | DT_NOPREFIX;
  if (look_.wrap) {
    format |= DT_WORDBREAK;
    if (look_.vertical != DT_TOP) {
      // DrawText centres only single lines; a wrapped block is measured and moved.
      RECT measure = r;
      ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measure, format | DT_CALCRECT);
      const int height = measure.bottom - measure.top;
      const int room = r.bottom - r.top;
      if (height < room) r.top += look_.vertical == DT_BOTTOM ? room - height : (room - height) / 2;
    }
  } else {
    format |= look_.vertical | DT_SINGLELINE | DT_END_ELLIPSIS;
  }
  ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, format);
}

void Control::Paint(HDC dc, const RECT& clip) {
  RECT overlap{};
  if (!visible_ || !::IntersectRect(&overlap, &rect_, &clip)) return;
  PaintBackground(dc);
  PaintText(dc, text_, TextColour(), rect_);
  PaintBorder(dc);
}

void Control::OnMouseEnter() {
  hot_ = true;
  Invalidate();
  Notify(L"mouseenter");
}

void Control::OnMouseLeave() {
  // A control that was disabled while the pointer was over it never had its enter.
  if (!hot_) return;
  hot_ = false;
  Invalidate();
  Notify(L"mouseleave");
}

void Control::OnMouseDown(POINT) {
  pressed_ = true;
  Invalidate();
}

void Control::OnMouseUp(POINT, bool) {
  pressed_ = false;
  Invalidate();
}

void Control::OnMouseMove(POINT) {}

HCURSOR Control::Cursor(POINT) const { return ::LoadCursorW(nullptr, IDC_ARROW); }

void Control::Invalidate() const {
  if (host_ && rect_.right > rect_.left && rect_.bottom > rect_.top) host_->InvalidateArea(rect_);
}

void Control::NeedLayout() const {
  if (host_) host_->RequestLayout();
}

void Control::Notify(const wchar_t* type, WPARAM wParam, LPARAM lParam) {
  if (host_) host_->Notify(this, type, wParam, lParam);
}

}  // namespace skin
