#include "skin/controls/link_text.h"

#include "base/handles.h"
#include "base/strings.h"
#include "skin/render/resources.h"

namespace skin {

std::vector<LinkText::Segment> LinkText::Split(const std::wstring& marked) {
  std::vector<Segment> segments;
  int links = 0;
  size_t at = 0;
  while (at < marked.size()) {
    const size_t open = marked.find(L"{a}", at);
    const size_t close = open == std::wstring::npos ? std::wstring::npos : marked.find(L"{/a}", open + 3);
    if (open == std::wstring::npos || close == std::wstring::npos) {
      segments.push_back(Segment{marked.substr(at), -1});
      break;
    }
    if (open > at) segments.push_back(Segment{marked.substr(at, open - at), -1});
    if (close > open + 3) segments.push_back(Segment{marked.substr(open + 3, close - open - 3), links++});
    at = close + 4;
  }
  return segments;
}

bool LinkText::TakesMouse() const {
  for (const Segment& segment : segments_) {
    if (segment.link >= 0) return true;
  }
  return Control::TakesMouse();
}

std::wstring LinkText::Text() const {
  std::wstring plain;
  for (const Segment& segment : segments_) plain += segment.text;
  return plain;
}

void LinkText::SetText(std::wstring text) {
  segments_ = Split(text);
  link_areas_.clear();
  Control::SetText(std::move(text));
}

bool LinkText::SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) {
  Argb* colour = base::EqualsNoCase(name, L"linkcolor")      ? &link_colour_
                 : base::EqualsNoCase(name, L"linkhotcolor") ? &link_hot_colour_
                                                             : nullptr;
  if (!colour) return Control::SetAttribute(name, value, error);
  if (ParseColor(value, *colour)) return true;
  if (error) *error = L"attribute " + std::wstring(name) + L" has a value that cannot be read";
  return false;
}

void LinkText::Paint(HDC dc, const RECT& clip) {
  RECT overlap{};
  if (!IsVisible() || !::IntersectRect(&overlap, &Rect(), &clip)) return;
  PaintBackground(dc);
  link_areas_.clear();
  if (Resources()) {
    const TextLook& look = Look();
    const RECT& r = Rect();
    const RECT area{r.left + look.padding.left, r.top + look.padding.top, r.right - look.padding.right,
                    r.bottom - look.padding.bottom};
    base::SelectGuard font(dc, Resources()->Font(look.font));
    ::SetBkMode(dc, TRANSPARENT);
    // Measure every part, then draw them side by side with the line aligned as a whole.
    std::vector<SIZE> sizes;
    LONG total = 0;
    for (const Segment& segment : segments_) {
      SIZE size{};
      ::GetTextExtentPoint32W(dc, segment.text.c_str(), static_cast<int>(segment.text.size()), &size);
      sizes.push_back(size);
      total += size.cx;
    }
    LONG x = area.left;
    if (look.horizontal == DT_CENTER) x += (area.right - area.left - total) / 2;
    if (look.horizontal == DT_RIGHT) x = area.right - total;
    for (size_t i = 0; i < segments_.size(); ++i) {
      const Segment& segment = segments_[i];
      RECT part{x, area.top, x + sizes[i].cx, area.bottom};
      Argb colour = TextColour();
      if (segment.link >= 0 && IsEnabled()) colour = segment.link == hot_link_ ? link_hot_colour_ : link_colour_;
      ::SetTextColor(dc, ToColorRef(colour));
      ::DrawTextW(dc, segment.text.c_str(), static_cast<int>(segment.text.size()), &part,
                  DT_LEFT | DT_SINGLELINE | DT_NOPREFIX | look.vertical);
      if (segment.link >= 0) {
        RECT hit{};
        ::IntersectRect(&hit, &part, &area);
        link_areas_.emplace_back(hit, segment.link);
        if (segment.link == hot_link_) {
          // The hot part is underlined just below its text.
          const LONG middle = (area.top + area.bottom) / 2;
          const LONG y = look.vertical == DT_TOP ? area.top + sizes[i].cy : middle + sizes[i].cy / 2;
          RECT line{hit.left, y - 1, hit.right, y};
          FillArea(dc, line, colour, 0);
        }
      }
      x += sizes[i].cx;
    }
  }
  PaintBorder(dc);
}

int LinkText::LinkAt(POINT point) const {
  for (const auto& [area, link] : link_areas_) {
    if (::PtInRect(&area, point)) return link;
  }
  return -1;
}

void LinkText::OnMouseMove(POINT point) {
  const int link = LinkAt(point);
  if (link == hot_link_) return;
  hot_link_ = link;
  Invalidate();
}

void LinkText::OnMouseLeave() {
  hot_link_ = -1;
  Control::OnMouseLeave();
}

void LinkText::OnMouseUp(POINT point, bool inside) {
  Control::OnMouseUp(point, inside);
  const int link = LinkAt(point);
  if (inside && IsEnabled() && link >= 0) Notify(L"click", static_cast<WPARAM>(link));
}

HCURSOR LinkText::Cursor(POINT point) const {
  return ::LoadCursorW(nullptr, LinkAt(point) >= 0 ? IDC_HAND : IDC_ARROW);
}

}  // namespace skin
