#pragma once
// Button rows of the toolbar and the menu button: square cells in three groups (left, centre,
// right), each group placed by its own cursor, and the toolbar's background colour.
#include <windows.h>

#include "widget/widget_window.h"

namespace wnd_main_toolbar {

// The group of a button, kept in the item's user value.
enum Group : uint32_t { kGroupLeft = 1, kGroupCentre = 2, kGroupRight = 4 };

// Places every item (in list order) in the cell its group's cursor points at. Left group from
// (10, top); right group ending 10 pixels before the right edge; centre group centred.
void LayoutButtonRow(const RECT& client, int cell, int top, WidgetItemList& items);

// The 13 : 4 mean of the canvas colour and RGB(229, 242, 252), truncated.
COLORREF ToolbarBackground(COLORREF canvas);

// The toolbar's layout: 52-pixel cells, 4 pixels from the top.
class CToolbarButtonLayout : public CWidgetLayout {
 public:
  void Layout(HWND window, WidgetItemList& items) override;
};

// The menu button's layout: 30-pixel cells at the top.
class CToolbarButtonLayout2 : public CWidgetLayout {
 public:
  void Layout(HWND window, WidgetItemList& items) override;
};

}  // namespace wnd_main_toolbar
