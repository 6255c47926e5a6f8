#pragma once
// A text field that hosts a native edit window over its rectangle, so that typing, selection,
// the clipboard and input methods (Chinese among them) are the platform's own. The control
// draws the frame; the native window draws the text in the control's font and colours. Reports
// "textchanged" when the user changes the text (not when the window sets it), "setfocus" and
// "killfocus".
#include <windows.h>

#include <string>

#include "base/handles.h"
#include "skin/controls/control.h"

namespace skin {

class Edit : public Control {
 public:
  ~Edit() override;
  [[nodiscard]] const wchar_t* Kind() const override { return L"Edit"; }
  [[nodiscard]] bool TakesMouse() const override { return true; }

  // The native edit window (null until the control is attached to a window).
  [[nodiscard]] HWND NativeWindow() const { return native_; }
  [[nodiscard]] std::wstring Text() const override;
  void SetText(std::wstring text) override;
  void SetEnabled(bool enabled) override;
  void SetTextColour(Argb colour);
  void SetMaxChars(int count);
  void Focus() const;
  [[nodiscard]] bool HasFocus() const;
  [[nodiscard]] bool IsMultiline() const { return multiline_; }

  void Attach(ControlHost* host, SkinResources* resources) override;
  void OnVisibilityChanged() override;
  void SetPos(const RECT& rect) override;
  bool SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) override;
  void Paint(HDC dc, const RECT& clip) override;
  void OnMouseDown(POINT point) override;
  [[nodiscard]] HCURSOR Cursor(POINT point) const override;

  // From the window: a notification code of the native edit, and its colours.
  void OnNativeCommand(WORD code);
  HBRUSH OnNativeColour(HDC dc);
  // The control behind a native edit window of ours, or null.
  static Edit* FromNative(HWND window);

 private:
  [[nodiscard]] RECT NativeRect() const;
  void CreateNative();

  HWND native_ = nullptr;
  base::BrushHandle brush_;
  Argb brush_colour_ = 0;
  Argb fill_ = 0xFFFFFFFF;
  Argb focus_border_ = 0;
  int max_chars_ = 0;
  bool password_ = false;
  bool read_only_ = false;
  bool multiline_ = false;
  bool numeric_ = false;
  bool setting_text_ = false;
  bool focused_ = false;
};

}  // namespace skin
