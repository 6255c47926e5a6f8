#include "popup_dialog/small/wheel_favorite.h"

#include "popup_dialog/small/dialog_text.h"
#include "skin/controls/button.h"

namespace {
constexpr wchar_t kSection[] = L"DLG_WHEEL";
DlgMouseWheelFavorite2* g_current = nullptr;
}  // namespace

DlgMouseWheelFavorite2::DlgMouseWheelFavorite2(AppConfig& config) : config_(config) { g_current = this; }

DlgMouseWheelFavorite2::~DlgMouseWheelFavorite2() {
  if (g_current == this) g_current = nullptr;
}

DlgMouseWheelFavorite2* DlgMouseWheelFavorite2::Current() { return g_current; }

void DlgMouseWheelFavorite2::OnWindowInit() {
  using popup_dialog::SetLanguageText;
  SetLanguageText(*this, L"title", kSection, L"1");
  SetLanguageText(*this, L"question", kSection, L"2");
  SetLanguageText(*this, L"turnpage", kSection, L"3");
  SetLanguageText(*this, L"zoom", kSection, L"4");
  SetLanguageText(*this, L"hint", kSection, L"5");
  SetLanguageText(*this, L"notip", kSection, L"6");
  SetLanguageText(*this, L"ok", kSection, L"7");
  if (auto* option = FindControlAs<skin::Option>(action_ == 1 ? L"zoom" : L"turnpage")) option->SetSelected(true, false);
  if (auto* notip = FindControlAs<skin::CheckBox>(L"notip")) notip->SetCheck(ask_no_more_ != 0, false);
}

void DlgMouseWheelFavorite2::Store() {
  if (ask_no_more_ != 0) config_.show_wheel_favorite = 0;
  config_.mouse_wheel_action = action_;
  config_.Save();
  EndDialog(kOk);
}

void DlgMouseWheelFavorite2::ChooseAndClose(int action) {
  action_ = action;
  Store();
}

void DlgMouseWheelFavorite2::OnNotify(skin::Notification& notification) {
  if (notification.Is(L"selectchanged")) {
    const bool on = notification.wParam != 0;
    if (notification.From(L"notip")) ask_no_more_ = on ? 1 : 0;
    if (notification.From(L"turnpage") && on) action_ = 0;
    if (notification.From(L"zoom") && on) action_ = 1;
    return;
  }
  if (notification.Is(L"click")) {
    if (notification.From(L"ok")) {
      Store();
      return;
    }
    if (notification.From(L"cls")) {
      ChooseAndClose(0);
      return;
    }
  }
  CDlgBase::OnNotify(notification);
}
