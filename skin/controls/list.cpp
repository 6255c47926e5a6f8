#include "skin/controls/list.h"

#include "base/strings.h"

namespace skin {

List* ListItem::OwnerList() const { return dynamic_cast<List*>(Parent()); }

int ListItem::Index() const { return Parent() ? Parent()->IndexOf(this) : -1; }

void ListItem::Paint(HDC dc, const RECT& clip) {
  RECT overlap{};
  if (!IsVisible() || !::IntersectRect(&overlap, &Rect(), &clip)) return;
  const List* list = OwnerList();
  const List::ItemLook look = list ? list->Items() : List::ItemLook{};
  PaintBackground(dc);
  if (IsEnabled() && selected_) {
    FillArea(dc, Rect(), look.selected_background, 0);
  } else if (IsEnabled() && hot_) {
    FillArea(dc, Rect(), look.hot_background, 0);
  }
  Argb colour = IsEnabled() ? look.text : look.disabled_text;
  if (IsEnabled() && selected_ && look.selected_text) colour = look.selected_text;
  if (IsEnabled() && hot_ && look.hot_text) colour = look.hot_text;
  // The item's own look where the skin gave one, else the list's.
  TextLook& own = Look();
  const TextLook saved = own;
  if (own.font.empty()) own.font = look.font;
  if (own.padding.left == 0 && own.padding.right == 0 && own.padding.top == 0 && own.padding.bottom == 0) {
    own.padding = look.padding;
  }
  if (own.horizontal == DT_LEFT) own.horizontal = look.horizontal;
  PaintText(dc, Text(), colour, Rect());
  own = saved;
  PaintBorder(dc);
}

void ListItem::OnMouseUp(POINT point, bool inside) {
  Control::OnMouseUp(point, inside);
  List* list = OwnerList();
  if (inside && IsEnabled() && list) list->SelectItem(Index());
}

ListItem* List::ItemAt(int index) const {
  return index < 0 ? nullptr : dynamic_cast<ListItem*>(ChildAt(static_cast<size_t>(index)));
}

void List::Add(std::unique_ptr<Control> child) {
  if (child && child->FixedHeight() == 0) child->SetFixedHeight(item_look_.height);
  Container::Add(std::move(child));
}

bool List::SelectItem(int index, bool notify) {
  if (index >= ItemCount() || index < -1) return false;
  if (index >= 0 && !ItemAt(index)) return false;
  const int previous = selected_;
  if (keep_selection_) {
    if (ListItem* old = ItemAt(selected_)) {
      old->selected_ = false;
      old->Invalidate();
    }
    selected_ = index;
    if (ListItem* now = ItemAt(index)) {
      now->selected_ = true;
      now->Invalidate();
    }
  }
  if (notify && index >= 0) Notify(L"itemselect", static_cast<WPARAM>(index), previous);
  return true;
}

bool List::SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) {
  const auto is = [&](const wchar_t* key) { return base::EqualsNoCase(name, key); };
  bool ok = true;
  if (is(L"itemheight")) {
    ok = ParseInt(value, item_look_.height) && item_look_.height > 0;
  } else if (is(L"itemtextcolor")) {
    ok = ParseColor(value, item_look_.text);
  } else if (is(L"itemhottextcolor")) {
    ok = ParseColor(value, item_look_.hot_text);
  } else if (is(L"itemselectedtextcolor")) {
    ok = ParseColor(value, item_look_.selected_text);
  } else if (is(L"itemdisabledtextcolor")) {
    ok = ParseColor(value, item_look_.disabled_text);
  } else if (is(L"itemhotbackground")) {
    ok = ParseColor(value, item_look_.hot_background);
  } else if (is(L"itemselectedbackground")) {
    ok = ParseColor(value, item_look_.selected_background);
  } else if (is(L"itemfont")) {
    item_look_.font = std::wstring(value);
  } else if (is(L"itemtextpadding")) {
    ok = ParseRect(value, item_look_.padding);
  } else if (is(L"itemalign")) {
    UINT vertical = DT_VCENTER;
    ok = ParseAlign(value, item_look_.horizontal, vertical);
  } else if (is(L"selectable")) {
    ok = ParseBool(value, keep_selection_);
  } else {
    return VerticalLayout::SetAttribute(name, value, error);
  }
  if (!ok && error) *error = L"attribute " + std::wstring(name) + L" has a value that cannot be read";
  return ok;
}

}  // namespace skin
