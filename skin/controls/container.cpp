#include "skin/controls/container.h"

#include <algorithm>

#include "base/strings.h"

namespace skin {
namespace {

// One axis of a box layout: fixed children keep their size, the others share what is left.
struct Span {
  int size = 0;  // 0 = fill
  int before = 0;
  int after = 0;
};

std::vector<int> ShareAxis(const std::vector<Span>& spans, int room, int gap) {
  long long used = spans.empty() ? 0 : static_cast<long long>(gap) * static_cast<long long>(spans.size() - 1);
  int fills = 0;
  for (const Span& span : spans) {
    used += static_cast<long long>(span.before) + span.after + span.size;
    if (span.size == 0) ++fills;
  }
  const long long left = std::max<long long>(0, room - used);
  std::vector<int> sizes;
  sizes.reserve(spans.size());
  int filled = 0;
  for (const Span& span : spans) {
    if (span.size != 0) {
      sizes.push_back(span.size);
      continue;
    }
    ++filled;
    // The last filling child takes the remainder of the division.
    const long long share = left / fills + (filled == fills ? left % fills : 0);
    sizes.push_back(static_cast<int>(share));
  }
  return sizes;
}

}  // namespace

void Container::Add(std::unique_ptr<Control> child) {
  if (!child) return;
  child->parent_ = this;
  if (Host() || Resources()) child->Attach(Host(), Resources());
  children_.push_back(std::move(child));
  NeedLayout();
}

int Container::IndexOf(const Control* child) const {
  for (size_t i = 0; i < children_.size(); ++i) {
    if (children_[i].get() == child) return static_cast<int>(i);
  }
  return -1;
}

bool Container::ShowsChild(const Control&) const { return true; }

Control* Container::FindControl(std::wstring_view name) {
  if (Control* self = Control::FindControl(name)) return self;
  for (const auto& child : children_) {
    if (Control* found = child->FindControl(name)) return found;
  }
  return nullptr;
}

Control* Container::ControlAt(POINT point) {
  if (!IsVisible() || !::PtInRect(&Rect(), point)) return nullptr;
  // Later children paint over earlier ones, so they are asked first.
  for (auto it = children_.rbegin(); it != children_.rend(); ++it) {
    if (!ShowsChild(**it)) continue;
    if (Control* hit = (*it)->ControlAt(point)) return hit;
  }
  return TakesMouse() ? this : nullptr;
}

void Container::Attach(ControlHost* host, SkinResources* resources) {
  Control::Attach(host, resources);
  for (const auto& child : children_) child->Attach(host, resources);
}

void Container::OnVisibilityChanged() {
  for (const auto& child : children_) child->OnVisibilityChanged();
}

bool Container::SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) {
  if (base::EqualsNoCase(name, L"inset")) {
    RECT inset{};
    if (!ParseRect(value, inset)) {
      if (error) *error = L"attribute inset has a value that cannot be read";
      return false;
    }
    inset_ = inset;
    return true;
  }
  if (base::EqualsNoCase(name, L"childgap")) {
    int gap = 0;
    if (!ParseInt(value, gap) || gap < 0) {
      if (error) *error = L"attribute childgap has a value that cannot be read";
      return false;
    }
    child_gap_ = gap;
    return true;
  }
  return Control::SetAttribute(name, value, error);
}

void Container::SetPos(const RECT& rect) {
  Control::SetPos(rect);
  const RECT inner{rect.left + inset_.left, rect.top + inset_.top, std::max(rect.left + inset_.left, rect.right - inset_.right),
                   std::max(rect.top + inset_.top, rect.bottom - inset_.bottom)};
  LayoutChildren(inner);
  for (const auto& child : children_) {
    if (child->IsVisible() && child->IsFloat()) PlaceFloating(*child);
  }
}

void Container::PlaceFloating(Control& child) const {
  const RECT& pos = child.FloatPos();
  const RECT& base = Rect();
  child.SetPos(RECT{base.left + pos.left, base.top + pos.top, base.left + std::max(pos.left, pos.right),
                    base.top + std::max(pos.top, pos.bottom)});
}

void Container::LayoutChildren(const RECT& inner) {
  for (const auto& child : children_) {
    if (!TakesPart(*child)) continue;
    const RECT& m = child->Margin();
    RECT r{inner.left + m.left, inner.top + m.top, inner.right - m.right, inner.bottom - m.bottom};
    if (child->DesiredWidth()) r.right = r.left + child->DesiredWidth();
    if (child->FixedHeight()) r.bottom = r.top + child->FixedHeight();
    r.right = std::max(r.left, r.right);
    r.bottom = std::max(r.top, r.bottom);
    child->SetPos(r);
  }
}

void Container::Paint(HDC dc, const RECT& clip) {
  RECT overlap{};
  if (!IsVisible() || !::IntersectRect(&overlap, &Rect(), &clip)) return;
  PaintBackground(dc);
  const int saved = ::SaveDC(dc);
  ::IntersectClipRect(dc, overlap.left, overlap.top, overlap.right, overlap.bottom);
  for (const auto& child : children_) {
    if (ShowsChild(*child)) child->Paint(dc, overlap);
  }
  ::RestoreDC(dc, saved);
  PaintText(dc, Text(), TextColour(), Rect());
  PaintBorder(dc);
}

void VerticalLayout::LayoutChildren(const RECT& inner) {
  std::vector<Control*> placed;
  std::vector<Span> spans;
  for (const auto& child : children_) {
    if (!TakesPart(*child)) continue;
    placed.push_back(child.get());
    spans.push_back(Span{child->FixedHeight(), child->Margin().top, child->Margin().bottom});
  }
  const std::vector<int> heights = ShareAxis(spans, inner.bottom - inner.top, ChildGap());
  int y = inner.top;
  for (size_t i = 0; i < placed.size(); ++i) {
    const RECT& m = placed[i]->Margin();
    y += m.top;
    const int right = placed[i]->DesiredWidth() ? inner.left + m.left + placed[i]->DesiredWidth() : inner.right - m.right;
    placed[i]->SetPos(RECT{inner.left + m.left, y, std::max<LONG>(inner.left + m.left, right), y + heights[i]});
    y += heights[i] + m.bottom + ChildGap();
  }
}

void HorizontalLayout::LayoutChildren(const RECT& inner) {
  std::vector<Control*> placed;
  std::vector<Span> spans;
  for (const auto& child : children_) {
    if (!TakesPart(*child)) continue;
    placed.push_back(child.get());
    spans.push_back(Span{child->DesiredWidth(), child->Margin().left, child->Margin().right});
  }
  const std::vector<int> widths = ShareAxis(spans, inner.right - inner.left, ChildGap());
  int x = inner.left;
  for (size_t i = 0; i < placed.size(); ++i) {
    const RECT& m = placed[i]->Margin();
    x += m.left;
    const int bottom = placed[i]->FixedHeight() ? inner.top + m.top + placed[i]->FixedHeight() : inner.bottom - m.bottom;
    placed[i]->SetPos(RECT{x, inner.top + m.top, x + widths[i], std::max<LONG>(inner.top + m.top, bottom)});
    x += widths[i] + m.right + ChildGap();
  }
}

bool TabLayout::SelectItem(int index) {
  if (index < 0 || static_cast<size_t>(index) >= children_.size()) return false;
  if (index == selected_) return true;
  const int previous = selected_;
  selected_ = index;
  for (const auto& child : children_) child->OnVisibilityChanged();
  NeedLayout();
  Invalidate();
  Notify(L"tabselect", static_cast<WPARAM>(index), previous);
  return true;
}

bool TabLayout::ShowsChild(const Control& child) const { return IndexOf(&child) == selected_; }

bool TabLayout::SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) {
  if (base::EqualsNoCase(name, L"selected")) {
    int index = 0;
    if (!ParseInt(value, index) || index < 0) {
      if (error) *error = L"attribute selected has a value that cannot be read";
      return false;
    }
    selected_ = index;
    return true;
  }
  return Container::SetAttribute(name, value, error);
}

}  // namespace skin
