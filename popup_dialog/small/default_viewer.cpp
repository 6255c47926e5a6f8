#include "popup_dialog/small/default_viewer.h"

#include "popup_dialog/small/dialog_text.h"
#include "skin/controls/button.h"

namespace {
constexpr wchar_t kSection[] = L"DLG_DEFAULT_VIEWER";
}  // namespace

void DlgSetDefaultViewer2::OnWindowInit() {
  using popup_dialog::SetLanguageText;
  SetLanguageText(*this, L"title", kSection, L"1");
  SetLanguageText(*this, L"question", kSection, L"2");
  SetLanguageText(*this, L"notip", kSection, L"3");
  SetLanguageText(*this, L"ok", kSection, L"4");
  SetLanguageText(*this, L"cancel", kSection, L"5");
}

void DlgSetDefaultViewer2::Answer(INT_PTR result) {
  const auto* notip = FindControlAs<skin::CheckBox>(L"notip");
  if (notip && notip->IsChecked()) config_.default_viewer_start_tip = 0;
  EndDialog(result);
}

void DlgSetDefaultViewer2::OnNotify(skin::Notification& notification) {
  if (notification.Is(L"click")) {
    if (notification.From(L"ok")) {
      Answer(kOk);
      return;
    }
    if (notification.From(L"cancel") || notification.From(L"cls")) {
      Answer(kCancel);
      return;
    }
  }
  CDlgBase::OnNotify(notification);
}
