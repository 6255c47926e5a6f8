#include "popup_dialog/small/delete_confirm.h"

#include "base/paths.h"
#include "popup_dialog/small/dialog_text.h"
#include "skin/controls/button.h"

namespace {
constexpr wchar_t kSection[] = L"DLG_DELETE";
}  // namespace

DlgDeleteConfirm2::DlgDeleteConfirm2(AppConfig& config, std::wstring path) : config_(config), path_(std::move(path)) {}

void DlgDeleteConfirm2::OnWindowInit() {
  using popup_dialog::SetLanguageText;
  SetLanguageText(*this, L"title", kSection, L"1");
  SetLanguageText(*this, L"question", kSection, L"2");
  SetLanguageText(*this, L"notip", kSection, L"3");
  SetLanguageText(*this, L"ok", kSection, L"4");
  SetLanguageText(*this, L"cancel", kSection, L"5");
  if (skin::Control* name = FindControl(L"filename")) name->SetText(base::FileNameOf(path_));
}

void DlgDeleteConfirm2::OnNotify(skin::Notification& notification) {
  if (notification.Is(L"click")) {
    if (notification.From(L"ok")) {
      const auto* notip = FindControlAs<skin::CheckBox>(L"notip");
      if (notip && notip->IsChecked()) config_.show_delete_confirm = 0;
      EndDialog(kOk);
      return;
    }
    if (notification.From(L"cancel") || notification.From(L"cls")) {
      EndDialog(kCancel);
      return;
    }
  }
  CDlgBase::OnNotify(notification);
}
