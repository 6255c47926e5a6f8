#include "popup_dialog/menus/menu_rules.h"

#include <algorithm>

namespace popup_menu {
namespace {

// Keeps a span of the given length inside [low, high]; a span longer than the room starts at low.
LONG KeepInside(LONG start, LONG length, LONG low, LONG high) noexcept {
  return std::max(low, std::min(start, high - length));
}

}  // namespace

bool IsEnabled(Needs needs, PictureState state) noexcept {
  switch (needs) {
    case Needs::kNothing:
      return true;
    case Needs::kPicture:
      return state.shown;
    case Needs::kFile:
      return state.file_exists;
    case Needs::kFileAndPicture:
      return state.file_exists && state.shown;
  }
  return false;
}

POINT PlaceMainMenu(const RECT& anchor, const RECT& work) noexcept {
  const LONG height = anchor.bottom - anchor.top;
  LONG left = anchor.left;
  LONG top = anchor.top;
  if (anchor.left + kMainMenuWidth > work.right) left = work.right - kMainMenuWidth;
  const bool above = anchor.top + kMainMenuHeight > work.bottom;
  if (above) top = work.bottom - height - kMainMenuHeight;
  left = std::max(left, work.left);
  top = std::max(top, work.top);
  if (!above) top += height;
  // Below a button near the bottom the list could still end past the work area: every edge holds.
  left = KeepInside(left, kMainMenuWidth, work.left, work.right);
  top = KeepInside(top, kMainMenuHeight, work.top, work.bottom);
  return POINT{left - kWheelListWidth, top};
}

POINT PlaceContextMenu(POINT at, const RECT& owner, const RECT& work) noexcept {
  LONG left = at.x;
  LONG top = at.y;
  if (at.y + kContextMenuHeight > owner.bottom) top = owner.bottom - kContextMenuHeight;
  if (at.x + kContextMenuWidth > work.right) left = work.right - kContextMenuWidth;
  left = KeepInside(left, kContextMenuWidth, work.left, work.right);
  top = KeepInside(top, kContextMenuHeight, work.top, work.bottom);
  return POINT{left, top};
}

bool WheelListOpensLeft(LONG listScreenLeft, const RECT& work) noexcept {
  return listScreenLeft - kWheelListWidth >= work.left;
}

RECT PlaceWheelList(const RECT& list, LONG listScreenLeft, const RECT& work) noexcept {
  if (WheelListOpensLeft(listScreenLeft, work)) {
    return RECT{list.left - kWheelListWidth, kWheelListTop, list.left, kWheelListBottom};
  }
  return RECT{list.right, kWheelListTop, list.right + kWheelListWidth, kWheelListBottom};
}

RECT WorkAreaAround(const RECT& rect) noexcept {
  MONITORINFO info{sizeof(info)};
  if (::GetMonitorInfoW(::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &info)) return info.rcWork;
  RECT work{};
  if (::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) return work;
  return RECT{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
}

}  // namespace popup_menu
