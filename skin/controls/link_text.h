#pragma once
// One line of text with clickable parts, written in the text as {a}part{/a}. A click on a part
// reports "click" from the control with wParam the part's index (0 for the first); the rest of
// the text is not clickable.
#include <string>
#include <vector>

#include "skin/controls/control.h"

namespace skin {

class LinkText : public Control {
 public:
  struct Segment {
    std::wstring text;
    int link = -1;  // index of the clickable part, -1 for plain text
  };
  // Splits marked text; unbalanced marks are taken as plain text.
  static std::vector<Segment> Split(const std::wstring& marked);

  [[nodiscard]] const wchar_t* Kind() const override { return L"Text"; }
  [[nodiscard]] bool TakesMouse() const override;
  // The text without the marks.
  [[nodiscard]] std::wstring Text() const override;
  void SetText(std::wstring text) override;
  bool SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) override;
  void Paint(HDC dc, const RECT& clip) override;
  void OnMouseMove(POINT point) override;
  void OnMouseLeave() override;
  void OnMouseUp(POINT point, bool inside) override;
  [[nodiscard]] HCURSOR Cursor(POINT point) const override;
  // The part under a point (from the last paint), or -1.
  [[nodiscard]] int LinkAt(POINT point) const;

 private:
  std::vector<Segment> segments_;
  std::vector<std::pair<RECT, int>> link_areas_;
  int hot_link_ = -1;
  int pressed_link_ = -1;
  Argb link_colour_ = 0xFF2F6FDE;
  Argb link_hot_colour_ = 0xFF2559B8;
};

}  // namespace skin
