#include "popup_dialog/menus/menu_window.h"

#include <string>

#include "appconfig/language.h"

CPopupMenuWnd::~CPopupMenuWnd() {
  // Deleted by its owner: the window goes without telling anyone.
  reported_ = true;
}

HWND CPopupMenuWnd::MainWindow() const {
  HWND root = owner_ ? ::GetAncestor(owner_, GA_ROOT) : nullptr;
  return root ? root : owner_;
}

bool CPopupMenuWnd::CreateMenuWindow() {
  if (GetHWND()) return true;
  // The skin draws the frame; the caption bits go when the window is made.
  const DWORD style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;
  return Create(MainWindow(), style, WS_EX_TOOLWINDOW) != nullptr;
}

void CPopupMenuWnd::ShowMenuWindow(POINT topLeft) {
  HWND window = GetHWND();
  if (!window) return;
  ::SetWindowPos(window, HWND_TOP, topLeft.x, topLeft.y, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
  ::SetForegroundWindow(window);
  ::SetFocus(window);
  shown_ = true;
}

void CPopupMenuWnd::Report(WPARAM command) {
  if (reported_) return;
  reported_ = true;
  // An owner already gone has nobody to tell.
  if (owner_ && ::IsWindow(owner_)) {
    ::PostMessageW(owner_, services::WM_MENU_COMMAND, command, reinterpret_cast<LPARAM>(GetHWND()));
  }
}

void CPopupMenuWnd::ReportItem(const skin::Notification& notification) {
  const auto* list = dynamic_cast<const skin::List*>(notification.sender);
  const skin::ListItem* item = list ? list->ItemAt(static_cast<int>(notification.wParam)) : nullptr;
  if (item && item->Tag() != 0) Report(item->Tag());
}

void CPopupMenuWnd::FillList(const wchar_t* listName, const UINT* tags, int count, const wchar_t* section,
                             int firstKey) const {
  auto* list = FindControlAs<skin::List>(listName);
  if (!list) return;
  for (int i = 0; i < count && i < list->ItemCount(); ++i) {
    skin::ListItem* item = list->ItemAt(i);
    if (!item) continue;
    item->SetTag(tags[i]);
    item->SetText(GetLanguageStringById(section, firstKey + i));
  }
}

LRESULT CPopupMenuWnd::OnMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
  handled = false;
  switch (message) {
    case WM_KILLFOCUS:
      // A click anywhere else (or another window coming up) closes the menu without a choice.
      // Before the menu is shown the focus is only settling; a report then would name no window
      // (its owner would ignore it) and use up the menu's one report, losing the user's choice.
      if (shown_) Report(static_cast<WPARAM>(-1));
      break;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        Report(static_cast<WPARAM>(-1));
        handled = true;
      }
      break;
    default:
      break;
  }
  return 0;
}
