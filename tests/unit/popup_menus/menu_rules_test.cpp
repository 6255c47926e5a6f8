// Where the menus go and on which side the wheel sub-list opens: every visible part stays inside
// the work area of its monitor, also on a monitor left of the primary one.
#include <gtest/gtest.h>

#include <windows.h>

#include "popup_dialog/menus/menu_rules.h"

namespace {

using popup_menu::kMainMenuHeight;
using popup_menu::kMainMenuWidth;
using popup_menu::kWheelListWidth;

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

TEST(MenuPlacement, TheMainMenuOpensAtTheButtonAndStaysInsideTheWorkArea) {
  const RECT screen{0, 0, 1600, 1000};
  const RECT left{-1280, 0, 0, 1024};  // a second monitor left of the primary one
  const struct {
    const char* what;
    RECT anchor;
    RECT work;
    POINT list;  // top-left corner of the visible list
  } cases[] = {
      {"below the button", {500, 10, 530, 40}, screen, {500, 40}},
      {"moved left at the right edge", {1500, 10, 1530, 40}, screen, {1600 - kMainMenuWidth, 40}},
      {"above the button at the bottom edge", {500, 900, 530, 930}, screen, {500, 1000 - 30 - kMainMenuHeight}},
      {"below, but pushed up to end at the bottom", {500, 740, 530, 770}, screen, {500, 1000 - kMainMenuHeight}},
      {"button left of the work area", {-50, 10, -20, 40}, screen, {0, 40}},
      {"work area lower than the menu", {500, 10, 530, 40}, {0, 0, 1600, 200}, {500, 0}},
      {"right edge of the left monitor", {-100, 10, -70, 40}, left, {-kMainMenuWidth, 40}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const POINT at = popup_menu::PlaceMainMenu(c.anchor, c.work);
    EXPECT_EQ(at.x + kWheelListWidth, c.list.x);
    EXPECT_EQ(at.y, c.list.y);
    const RECT list{at.x + kWheelListWidth, at.y, at.x + kWheelListWidth + kMainMenuWidth, at.y + kMainMenuHeight};
    if (c.work.bottom - c.work.top >= kMainMenuHeight) {
      EXPECT_TRUE(Inside(list, c.work));
    }
  }
}

TEST(MenuPlacement, TheContextMenuEndsAtTheViewBottomAndTheWorkAreaRight) {
  const RECT screen{0, 0, 1600, 1000};
  const RECT view{0, 0, 1000, 800};
  const struct {
    const char* what;
    POINT at;
    RECT owner;
    RECT work;
    POINT expected;
  } cases[] = {
      {"at the point", {100, 100}, view, screen, {100, 100}},
      {"moved up to the view's bottom", {100, 700}, view, screen, {100, 800 - popup_menu::kContextMenuHeight}},
      {"moved left to the work area's right", {1500, 100}, view, screen, {1600 - popup_menu::kContextMenuWidth, 100}},
      {"a view lower than the menu keeps it on screen", {100, 50}, {0, 0, 1000, 300}, screen, {100, 0}},
      {"left monitor", {-100, 100}, {-1280, 0, 0, 1000}, {-1280, 0, 0, 1024}, {-popup_menu::kContextMenuWidth, 100}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const POINT at = popup_menu::PlaceContextMenu(c.at, c.owner, c.work);
    EXPECT_EQ(at.x, c.expected.x);
    EXPECT_EQ(at.y, c.expected.y);
  }
}

TEST(MenuPlacement, TheWheelSubListOpensOnTheSideWithRoom) {
  const RECT list{kWheelListWidth, 0, kWheelListWidth + kMainMenuWidth, kMainMenuHeight};
  const RECT screen{0, 0, 1600, 1000};
  const struct {
    const char* what;
    LONG list_screen_left;
    RECT work;
    LONG left;
  } cases[] = {
      {"room on the left", 500, screen, list.left - kWheelListWidth},
      {"exactly enough room on the left", kWheelListWidth, screen, list.left - kWheelListWidth},
      {"at the left edge", kWheelListWidth - 1, screen, list.right},
      {"at the left edge of a left monitor", -1280 + 10, {-1280, 0, 0, 1024}, list.right},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const RECT placed = popup_menu::PlaceWheelList(list, c.list_screen_left, c.work);
    EXPECT_EQ(placed.left, c.left);
    EXPECT_EQ(placed.right - placed.left, kWheelListWidth);
    EXPECT_EQ(placed.top, popup_menu::kWheelListTop);
    EXPECT_EQ(placed.bottom, popup_menu::kWheelListBottom);
  }
}

}  // namespace
