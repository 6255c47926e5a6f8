#pragma once
// The controls of skinned windows. A control is a rectangle of the window's client area with a
// name, a look (background colour, picture, border) and state (visible, enabled, text, tag, user
// data); containers hold children and place them. Controls are not windows of their own, except
// that an edit hosts a native edit window for real text input. Mouse input reaches the deepest
// control under the pointer that takes it; what the user does is reported to the window as named
// notifications. User-interface thread only.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "skin/markup/values.h"

namespace skin {

class Container;
class SkinResources;

// The window side of a control tree: repaints, relayout and notifications go through it.
class ControlHost {
 public:
  virtual ~ControlHost() = default;
  virtual void InvalidateArea(const RECT& area) = 0;
  virtual void RequestLayout() = 0;
  virtual void Notify(class Control* sender, const wchar_t* type, WPARAM wParam, LPARAM lParam) = 0;
  [[nodiscard]] virtual HWND Window() const = 0;
};

// How a control's text is drawn.
struct TextLook {
  std::wstring font;  // font id of the skin; empty = the skin's default
  Argb color = 0xFF404147;
  Argb disabled_color = 0xFFBCC0C8;
  UINT horizontal = DT_LEFT;
  UINT vertical = DT_VCENTER;
  bool wrap = false;
  RECT padding{};
};

class Control {
 public:
  Control() = default;
  virtual ~Control() = default;
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // The element name that makes this control in a skin.
  [[nodiscard]] virtual const wchar_t* Kind() const { return L"Control"; }

  [[nodiscard]] const std::wstring& Name() const { return name_; }
  void SetName(std::wstring name) { name_ = std::move(name); }
  [[nodiscard]] Container* Parent() const { return parent_; }
  [[nodiscard]] ControlHost* Host() const { return host_; }
  [[nodiscard]] SkinResources* Resources() const { return resources_; }

  // This control or the first descendant (depth first, in skin order) with that name.
  virtual Control* FindControl(std::wstring_view name);
  // The deepest visible control at the point that takes the mouse (null when none does).
  virtual Control* ControlAt(POINT point);
  // Connects the control (and its children) to the window and its resources.
  virtual void Attach(ControlHost* host, SkinResources* resources);
  // Visibility of the control together with its ancestors (a hidden page hides its children).
  virtual void OnVisibilityChanged() {}

  // Geometry: the rectangle the layout gave the control, in client coordinates.
  [[nodiscard]] const RECT& Rect() const { return rect_; }
  virtual void SetPos(const RECT& rect);
  [[nodiscard]] int FixedWidth() const { return fixed_width_; }
  // The width layouts give the control: fixed, or with autowidth its text's width and padding.
  [[nodiscard]] int DesiredWidth() const;
  [[nodiscard]] int FixedHeight() const { return fixed_height_; }
  void SetFixedWidth(int width);
  void SetFixedHeight(int height);
  [[nodiscard]] const RECT& Margin() const { return margin_; }
  void SetMargin(const RECT& margin);
  // A floating control is not placed by its container but at FloatPos (relative to the parent).
  [[nodiscard]] bool IsFloat() const { return float_; }
  [[nodiscard]] const RECT& FloatPos() const { return float_pos_; }
  void SetFloatPos(const RECT& pos);

  [[nodiscard]] bool IsVisible() const { return visible_; }
  void SetVisible(bool visible);
  [[nodiscard]] bool IsEffectivelyVisible() const;
  [[nodiscard]] bool IsEnabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);

  [[nodiscard]] virtual std::wstring Text() const { return text_; }
  virtual void SetText(std::wstring text);
  [[nodiscard]] const std::wstring& Tooltip() const { return tooltip_; }
  void SetTooltip(std::wstring text) { tooltip_ = std::move(text); }
  [[nodiscard]] UINT_PTR Tag() const { return tag_; }
  void SetTag(UINT_PTR tag) { tag_ = tag; }
  [[nodiscard]] const std::wstring& UserData() const { return user_data_; }
  void SetUserData(std::wstring data) { user_data_ = std::move(data); }

  // The background picture (the image syntax of values.h); false for text it cannot read.
  bool SetImage(std::wstring_view description);
  [[nodiscard]] const std::wstring& Image() const { return image_; }
  void SetBackground(Argb colour);
  [[nodiscard]] TextLook& Look() { return look_; }
  [[nodiscard]] const TextLook& Look() const { return look_; }
  // Width and height of the text drawn in the control's font (single line).
  [[nodiscard]] SIZE MeasureText(const std::wstring& text) const;

  // Applies one skin attribute; false (with the reason) for a name or value it does not know.
  virtual bool SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error);

  virtual void Paint(HDC dc, const RECT& clip);

  // Input. Only controls that take the mouse are hovered, pressed and clicked.
  [[nodiscard]] virtual bool TakesMouse() const { return take_mouse_; }
  virtual void OnMouseEnter();
  virtual void OnMouseLeave();
  virtual void OnMouseDown(POINT point);
  // The button went up; inside says whether over this control.
  virtual void OnMouseUp(POINT point, bool inside);
  virtual void OnMouseMove(POINT point);
  [[nodiscard]] virtual HCURSOR Cursor(POINT point) const;
  // Activates the control as a click would (Enter on the default button).
  virtual void Activate() {}

  void Invalidate() const;
  void NeedLayout() const;
  void Notify(const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);

 protected:
  friend class Container;
  void PaintBackground(HDC dc);
  void PaintImage(HDC dc, const std::wstring& description) const;
  // The look's half of SetAttribute: colours, pictures, font and text layout.
  bool SetLookAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error);
  void PaintBorder(HDC dc) const { PaintFrame(dc, border_); }
  void PaintFrame(HDC dc, Argb colour) const;
  // Draws text in the control's look (colour given) inside the rectangle less the padding.
  void PaintText(HDC dc, const std::wstring& text, Argb colour, const RECT& area) const;
  [[nodiscard]] Argb TextColour() const { return enabled_ ? look_.color : look_.disabled_color; }

  bool hot_ = false;
  bool pressed_ = false;

 private:
  std::wstring name_;
  Container* parent_ = nullptr;
  ControlHost* host_ = nullptr;
  SkinResources* resources_ = nullptr;
  RECT rect_{};
  int fixed_width_ = 0;
  int fixed_height_ = 0;
  RECT margin_{};
  bool float_ = false;
  RECT float_pos_{};
  bool visible_ = true;
  bool enabled_ = true;
  bool take_mouse_ = false;
  bool auto_width_ = false;
  std::wstring text_;
  std::wstring tooltip_;
  UINT_PTR tag_ = 0;
  std::wstring user_data_;
  Argb background_ = 0;
  Argb border_ = 0;
  int border_size_ = 1;
  int radius_ = 0;
  std::wstring image_;
  TextLook look_;
};

// Fills a rectangle with a colour with alpha, optionally with rounded corners (anti-aliased).
void FillArea(HDC dc, const RECT& area, Argb colour, int radius);
// Draws a border of the given width inside the rectangle.
void FrameArea(HDC dc, const RECT& area, Argb colour, int width, int radius);

}  // namespace skin
