#include "popup_dialog/menus/main_menu.h"

#include <iterator>

#include "base/handles.h"
#include "popup_dialog/menus/menu_rules.h"

namespace {

constexpr wchar_t kSection[] = L"MAIN_MENU";
constexpr wchar_t kList[] = L"list_menu";
constexpr wchar_t kWheelList[] = L"list_menu2";
constexpr wchar_t kWheelEntry[] = L"wheel_menu";
// The wheel entry's arrow: pointing left at the left edge, or right at the right edge.
constexpr wchar_t kArrowLeft[] = L"file='images/menu_arrow.png' source='0,0,16,16' dest='14,10,30,26'";
constexpr wchar_t kArrowRight[] = L"file='images/menu_arrow.png' source='16,0,32,16' dest='208,10,224,26'";

void SetChecked(skin::List* list, int index, bool checked) {
  if (skin::ListItem* item = list ? list->ItemAt(index) : nullptr) item->SetImage(checked ? CMainMenu::kCheckMark : L"");
}

}  // namespace

void CMainMenu::OnWindowInit() {
  using popup_menu::kMainMenuTags;
  using popup_menu::kWheelListTags;
  FillList(kList, kMainMenuTags, static_cast<int>(std::size(kMainMenuTags)), kSection, 1);
  FillList(kWheelList, kWheelListTags, static_cast<int>(std::size(kWheelListTags)), kSection, 8);

  auto* list = FindControlAs<skin::List>(kList);
  SetChecked(list, 1, config_.set_default_viewer != 0);
  const HWND main = MainWindow();
  const bool topmost = main && (::GetWindowLongPtrW(main, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  SetChecked(list, 2, topmost);

  auto* wheel = FindControlAs<skin::List>(kWheelList);
  SetChecked(wheel, 0, config_.mouse_wheel_action == 0);
  SetChecked(wheel, 1, config_.mouse_wheel_action == 1);
  if (wheel) wheel->SetVisible(false);
}

RECT CMainMenu::ListOnScreen() const {
  RECT rect{};
  if (const skin::Control* list = FindControl(kList)) rect = list->Rect();
  ::MapWindowPoints(GetHWND(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

void CMainMenu::ShowAt(const RECT& anchor) {
  if (!CreateMenuWindow()) return;
  const POINT at = popup_menu::PlaceMainMenu(anchor, popup_menu::WorkAreaAround(anchor));
  ::SetWindowPos(GetHWND(), nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  LayoutNow();
  UpdateRegion();
  MarkWheelEntry();
  ShowMenuWindow(at);
}

void CMainMenu::MarkWheelEntry() {
  skin::Control* entry = FindControl(kWheelEntry);
  if (!entry) return;
  const RECT list = ListOnScreen();
  const bool left = popup_menu::WheelListOpensLeft(list.left, popup_menu::WorkAreaAround(list));
  entry->SetImage(left ? kArrowLeft : kArrowRight);
}

void CMainMenu::UpdateRegion() {
  HWND window = GetHWND();
  if (!window) return;
  LayoutNow();
  const skin::Control* list = FindControl(kList);
  if (!list) return;
  base::RegionHandle shown(::CreateRectRgnIndirect(&list->Rect()));
  const skin::Control* wheel = FindControl(kWheelList);
  if (shown && wheel && wheel->IsVisible()) {
    base::RegionHandle extra(::CreateRectRgnIndirect(&wheel->Rect()));
    if (extra) ::CombineRgn(shown.Get(), shown.Get(), extra.Get(), RGN_OR);
  }
  // The window owns the region from here on.
  if (shown && ::SetWindowRgn(window, shown.Get(), TRUE)) (void)shown.Release();
}

void CMainMenu::ShowWheelList() {
  skin::Control* wheel = FindControl(kWheelList);
  const skin::Control* list = FindControl(kList);
  if (!wheel || !list) return;
  const RECT screen = ListOnScreen();
  wheel->SetFloatPos(popup_menu::PlaceWheelList(list->Rect(), screen.left, popup_menu::WorkAreaAround(screen)));
  wheel->SetVisible(true);
  UpdateRegion();
}

void CMainMenu::OnWheelTimer() {
  skin::Control* wheel = FindControl(kWheelList);
  if (!wheel || !wheel->IsVisible()) {
    ::KillTimer(GetHWND(), kWheelTimer);
    return;
  }
  POINT cursor{};
  ::GetCursorPos(&cursor);
  ::ScreenToClient(GetHWND(), &cursor);
  if (::PtInRect(&wheel->Rect(), cursor)) return;
  wheel->SetVisible(false);
  ::KillTimer(GetHWND(), kWheelTimer);
  UpdateRegion();
}

void CMainMenu::OnNotify(skin::Notification& notification) {
  if (notification.Is(L"itemselect")) {
    const bool wheelEntry =
        notification.From(kList) && static_cast<int>(notification.wParam) == popup_menu::kWheelEntryIndex;
    if (!wheelEntry && (notification.From(kList) || notification.From(kWheelList))) ReportItem(notification);
    return;
  }
  if (notification.From(kWheelEntry)) {
    if (notification.Is(L"mouseenter")) {
      ::KillTimer(GetHWND(), kWheelTimer);
      ShowWheelList();
    } else if (notification.Is(L"mouseleave")) {
      ::SetTimer(GetHWND(), kWheelTimer, kWheelTimerMs, nullptr);
    }
    return;
  }
  CPopupMenuWnd::OnNotify(notification);
}

LRESULT CMainMenu::OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  if (message == WM_TIMER && wParam == kWheelTimer) {
    OnWheelTimer();
    handled = true;
    return 0;
  }
  return CPopupMenuWnd::OnCustomMessage(message, wParam, lParam, handled);
}
