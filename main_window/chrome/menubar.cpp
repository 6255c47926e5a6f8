#include "main_window/chrome/menubar.h"

#include "appconfig/language.h"
#include "main_window/chrome/button_layout.h"
#include "services/registry.h"
#include "base/handles.h"
#include "widget/skin_picture.h"

namespace wnd_main_toolbar {

CToolbarButton2::CToolbarButton2(int command, FCObjImagePtr frames) : CWidgetItem(command), frames_(std::move(frames)) {
  SetUserValue(kGroupCentre);
}

void CToolbarButton2::Draw(HDC dc) {
  if (!frames_ || !frames_->IsValid()) return;
  const int w = Width();
  const int h = Height();
  const int frame = !Has(kEnabled) ? 3 : (Has(kPressed) || Has(kChecked)) ? 2 : Has(kHover) ? 1 : 0;
  const RECT source{frame * w, 0, frame * w + w, h};
  frames_->Draw(dc, 0, 0, w, h, &source);
}

}  // namespace wnd_main_toolbar

WndMainMenubar::WndMainMenubar() : frames_(LoadSkinPicture(L"wnd_menu.png")) {
  auto button = std::make_unique<wnd_main_toolbar::CToolbarButton2>(kCommandMainMenu, frames_);
  button->SetTooltip(GetLanguageStringById(L"TOOLBAR", 3));
  AddItem(std::move(button));
  SetLayout(std::make_unique<wnd_main_toolbar::CToolbarButtonLayout2>());
}

WndMainMenubar::~WndMainMenubar() { Destroy(); }

void WndMainMenubar::OnDestroying() { menu_.reset(); }

void WndMainMenubar::DrawBackground(HDC dc, int left, int top, int right, int bottom) {
  base::BrushHandle brush(::CreateSolidBrush(RGB(248, 248, 248)));
  const RECT fill{left, top, right, bottom};
  ::FillRect(dc, &fill, brush.Get());
}

void WndMainMenubar::OnItemClick(CWidgetItem* item) {
  if (item && item->GetID() == kCommandMainMenu) {
    ::PostMessageW(::GetParent(GetSafeHwnd()), WM_COMMAND, kCommandMainMenu, 0);
  }
}

void WndMainMenubar::ShowMainMenu() {
  menu_.reset();
  auto* factory = services::Find<services::IPopupMenuFactory>();
  if (!factory) return;
  menu_ = factory->CreateMainMenu(GetSafeHwnd());
  if (!menu_) return;
  if (CWidgetItem* button = ItemById(kCommandMainMenu)) button->Set(CWidgetItem::kChecked, true);
  Invalidate();
  RECT anchor{};
  ::GetWindowRect(GetSafeHwnd(), &anchor);
  menu_->ShowAt(anchor);
}

void WndMainMenubar::OnMenuCommand(WPARAM command, LPARAM sender) {
  // A late message of a menu already gone must not close the one open now.
  if (!services::IsFromMenu(menu_.get(), sender)) return;
  if (static_cast<int>(command) != -1) {
    ::PostMessageW(::GetParent(GetSafeHwnd()), WM_COMMAND, LOWORD(command), 0);
  }
  if (CWidgetItem* button = ItemById(kCommandMainMenu)) button->Set(CWidgetItem::kChecked, false);
  menu_.reset();
  Invalidate();
}

LRESULT WndMainMenubar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == services::WM_MENU_COMMAND) {
    OnMenuCommand(wParam, lParam);
    return 0;
  }
  return CWidgetWindow::WindowProc(message, wParam, lParam);
}
