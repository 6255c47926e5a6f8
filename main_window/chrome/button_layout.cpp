#include "main_window/chrome/button_layout.h"

namespace wnd_main_toolbar {

void LayoutButtonRow(const RECT& client, int cell, int top, WidgetItemList& items) {
  int centreCount = 0;
  int rightCount = 0;
  for (const auto& item : items) {
    const uint32_t group = item->UserValue();
    if (group & kGroupLeft) continue;
    if (group & kGroupRight) {
      ++rightCount;
    } else {
      ++centreCount;
    }
  }
  int left = 10;
  int right = client.right - rightCount * cell - 10;
  int centre = (client.right - centreCount * cell - client.left) / 2;
  for (auto& item : items) {
    const uint32_t group = item->UserValue();
    int& cursor = (group & kGroupLeft) ? left : (group & kGroupRight) ? right : centre;
    item->SetRect(RECT{cursor, top, cursor + cell, top + cell});
    cursor += cell;
  }
}

COLORREF ToolbarBackground(COLORREF canvas) {
  const int r = (13 * GetRValue(canvas) + 916) / 17;
  const int g = (13 * GetGValue(canvas) + 968) / 17;
  const int b = (13 * GetBValue(canvas) + 1008) / 17;
  return RGB(r, g, b);
}

void CToolbarButtonLayout::Layout(HWND window, WidgetItemList& items) {
  RECT client{};
  ::GetClientRect(window, &client);
  LayoutButtonRow(client, 52, 4, items);
}

void CToolbarButtonLayout2::Layout(HWND window, WidgetItemList& items) {
  RECT client{};
  ::GetClientRect(window, &client);
  LayoutButtonRow(client, 30, 0, items);
}

}  // namespace wnd_main_toolbar
