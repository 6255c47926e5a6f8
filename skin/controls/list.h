#pragma once
// A list of text items laid out top to bottom. An item carries its text, a tag and user data,
// and may show a picture (a menu's check mark). Releasing the mouse over an enabled item selects
// it and reports "itemselect" from the list (wParam the item's index, lParam the previous one).
#include <string>

#include "skin/controls/container.h"

namespace skin {

class List;

class ListItem : public Control {
 public:
  [[nodiscard]] const wchar_t* Kind() const override { return L"ListItem"; }
  [[nodiscard]] bool TakesMouse() const override { return true; }
  [[nodiscard]] bool IsSelected() const { return selected_; }
  [[nodiscard]] int Index() const;
  void Paint(HDC dc, const RECT& clip) override;
  void OnMouseUp(POINT point, bool inside) override;

 private:
  friend class List;
  [[nodiscard]] List* OwnerList() const;
  bool selected_ = false;
};

class List : public VerticalLayout {
 public:
  [[nodiscard]] const wchar_t* Kind() const override { return L"List"; }
  [[nodiscard]] int ItemCount() const { return static_cast<int>(Count()); }
  [[nodiscard]] ListItem* ItemAt(int index) const;
  [[nodiscard]] int Selected() const { return selected_; }
  // Selects an item (-1 clears); false for an index that names no item. A list that does not
  // keep its selection ("selectable" false, as in menus) still reports the choice.
  bool SelectItem(int index, bool notify = true);
  void Add(std::unique_ptr<Control> child) override;
  bool SetAttribute(std::wstring_view name, std::wstring_view value, std::wstring* error) override;

  // The look of the items.
  struct ItemLook {
    int height = 28;
    Argb text = 0xFF404147;
    Argb hot_text = 0;
    Argb selected_text = 0;
    Argb disabled_text = 0xFFBCC0C8;
    Argb hot_background = 0x1A2F6FDE;
    Argb selected_background = 0x2E2F6FDE;
    std::wstring font;
    RECT padding{8, 0, 8, 0};
    UINT horizontal = DT_LEFT;
  };
  [[nodiscard]] const ItemLook& Items() const { return item_look_; }

 private:
  ItemLook item_look_;
  int selected_ = -1;
  bool keep_selection_ = true;
};

}  // namespace skin
