// The toolbar and menu button: where their buttons go, which cell of the sprite sheet a button
// draws in each state, the background colour, and the actual-size button following the zoom.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "appconfig/app_config.h"
#include "main_window/chrome/button_layout.h"
#include "main_window/chrome/toolbar.h"
#include "view/ui_event.h"

namespace {

using wnd_main_toolbar::CToolbarButton;
using wnd_main_toolbar::Group;

class PlainItem : public CWidgetItem {
 public:
  PlainItem(int id, uint32_t group) : CWidgetItem(id) { SetUserValue(group); }
  void Draw(HDC) override {}
};

TEST(ToolbarLayout, GroupsFillFromTheirOwnCursors) {
  // The toolbar's own row: ten centre buttons, two left, one right, in the order they are made.
  WidgetItemList items;
  const uint32_t groups[] = {2, 2, 2, 2, 2, 2, 2, 2, 2, 2, 1, 1, 4};
  for (int i = 0; i < 13; ++i) items.push_back(std::make_unique<PlainItem>(i, groups[i]));
  wnd_main_toolbar::LayoutButtonRow(RECT{0, 0, 800, 60}, 52, 4, items);
  EXPECT_EQ(items[0]->Rect().left, 140);  // (800 - 10 x 52) / 2
  EXPECT_EQ(items[9]->Rect().left, 140 + 9 * 52);
  EXPECT_EQ(items[10]->Rect().left, 10);
  EXPECT_EQ(items[11]->Rect().left, 62);
  EXPECT_EQ(items[12]->Rect().left, 738);
  EXPECT_EQ(items[12]->Rect().right, 790);
  for (const auto& item : items) EXPECT_EQ(item->Rect().top, 4);

  // The menu button's row: one centred 30-pixel cell at the top of a 30-pixel window.
  WidgetItemList menu;
  menu.push_back(std::make_unique<PlainItem>(20012, 2));
  wnd_main_toolbar::LayoutButtonRow(RECT{0, 0, 30, 30}, 30, 0, menu);
  EXPECT_EQ(menu[0]->Rect().left, 0);
  EXPECT_EQ(menu[0]->Rect().right, 30);
  EXPECT_EQ(menu[0]->Rect().top, 0);
}

TEST(ToolbarLayout, BackgroundIsThirteenToFourOfCanvasAndPaleBlue) {
  EXPECT_EQ(wnd_main_toolbar::ToolbarBackground(RGB(0, 0, 0)), RGB(53, 56, 59));
  EXPECT_EQ(wnd_main_toolbar::ToolbarBackground(RGB(255, 255, 255)), RGB(248, 251, 254));
  EXPECT_EQ(wnd_main_toolbar::ToolbarBackground(RGB(229, 242, 252)), RGB(229, 242, 252));
}

// A sprite sheet of 8 x 8 cells: background cells (columns 0 and 1) are solid; icon cells are
// transparent except a 2 x 2 dot in their middle, so a drawn button shows its background at the
// corner and its icon in the middle.
std::shared_ptr<FCObjImage> MakeSheet() {
  auto sheet = std::make_shared<FCObjImage>();
  if (!sheet->Create(8 * 4, 8 * 3, 32)) return sheet;
  const auto colour = [](int column, int row) -> COLORREF {
    return RGB(40 + column * 60, 40 + row * 80, column < 2 ? 30 : 200);
  };
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 32; ++x) {
      const int column = x / 8, row = y / 8;
      const bool background = column < 2 && row == 0;
      const bool dot = column >= 2 && (x % 8 == 3 || x % 8 == 4) && (y % 8 == 3 || y % 8 == 4);
      uint8_t* p = sheet->PixelPointer(x, y);
      const COLORREF c = colour(column, row);
      const bool opaque = background || dot;
      p[0] = opaque ? GetBValue(c) : 0;
      p[1] = opaque ? GetGValue(c) : 0;
      p[2] = opaque ? GetRValue(c) : 0;
      p[3] = opaque ? 255 : 0;
    }
  }
  return sheet;
}

TEST(ToolbarButton, EachStateDrawsItsBackgroundAndIconRow) {
  const auto sheet = MakeSheet();
  ASSERT_TRUE(sheet->IsValid());
  constexpr COLORREF kUntouched = RGB(1, 2, 3);
  const COLORREF hoverBack = RGB(40, 40, 30), downBack = RGB(100, 40, 30);
  const COLORREF row0 = RGB(160, 40, 200), row1 = RGB(160, 120, 200), row2 = RGB(160, 200, 200);
  struct Case {
    const char* name;
    uint32_t set;
    bool enabled;
    COLORREF corner, middle;
  };
  const Case cases[] = {
      {"normal", 0, true, kUntouched, row0},
      {"hover", CWidgetItem::kHover, true, hoverBack, row1},
      {"pressed", CWidgetItem::kPressed | CWidgetItem::kHover, true, downBack, row1},
      {"checked", CWidgetItem::kChecked, true, downBack, row1},
      {"disabled under the pointer", CWidgetItem::kHover, false, kUntouched, row2},
  };
  HDC dc = ::CreateCompatibleDC(nullptr);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 8, -8, 1, 32, BI_RGB};
  void* bits = nullptr;
  HBITMAP target = ::CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = ::SelectObject(dc, target);
  for (const Case& c : cases) {
    CToolbarButton button(20003, 2, wnd_main_toolbar::kGroupCentre, sheet);
    button.SetRect(RECT{0, 0, 8, 8});
    button.Set(CWidgetItem::kEnabled, c.enabled);
    for (uint32_t flag : {CWidgetItem::kHover, CWidgetItem::kPressed, CWidgetItem::kChecked}) {
      if (c.set & flag) button.Set(static_cast<CWidgetItem::Flag>(flag), true);
    }
    HBRUSH fill = ::CreateSolidBrush(kUntouched);
    const RECT all{0, 0, 8, 8};
    ::FillRect(dc, &all, fill);
    ::DeleteObject(fill);
    button.Draw(dc);
    ::GdiFlush();
    EXPECT_EQ(::GetPixel(dc, 0, 0), c.corner) << c.name;
    EXPECT_EQ(::GetPixel(dc, 3, 3), c.middle) << c.name;
  }
  ::SelectObject(dc, old);
  ::DeleteObject(target);
  ::DeleteDC(dc);
}

TEST(Toolbar, TheActualSizeButtonFollowsTheZoom) {
  AppConfig config(L"");
  WndMainToolbar toolbar(config);
  EXPECT_FALSE(toolbar.IsActualSizeAlternative());
  BroadcastUIEvent(CUIEventViewZoomChanged(0.5f, 0.25f));
  EXPECT_TRUE(toolbar.IsActualSizeAlternative());
  EXPECT_EQ(config.actual_size_button_normal, 0);
  BroadcastUIEvent(CUIEventViewZoomChanged(0.75f, 0.25f));
  EXPECT_TRUE(toolbar.IsActualSizeAlternative());
  BroadcastUIEvent(CUIEventViewZoomChanged(0.25f, 0.25f));
  EXPECT_FALSE(toolbar.IsActualSizeAlternative());
  EXPECT_EQ(config.actual_size_button_normal, 1);
  BroadcastUIEvent(CUIEventViewZoomChanged(0.25f, 0.25f));
  EXPECT_FALSE(toolbar.IsActualSizeAlternative());
}

}  // namespace
