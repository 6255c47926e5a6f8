#include "popup_dialog/small/about.h"

#include <shellapi.h>

#include <algorithm>

#include "appconfig/language.h"
#include "popup_dialog/small/dialog_text.h"

namespace {
constexpr wchar_t kSection[] = L"DLG_ABOUT";
}  // namespace

DlgAbout2::DlgAbout2(std::wstring versionText, PageOpener openPage)
    : version_(std::move(versionText)), open_page_(std::move(openPage)) {}

DlgAbout2::RowWidths DlgAbout2::CentreInRow(int textWidth, int logoWidth) {
  const int area = std::clamp(std::max(textWidth, logoWidth), 0, kRowWidth);
  return RowWidths{area, (kRowWidth - area) / 2};
}

void DlgAbout2::OpenWithShell(const std::wstring& address) {
  ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void DlgAbout2::OnWindowInit() {
  using popup_dialog::SetLanguageText;
  SetLanguageText(*this, L"title", kSection, L"1");
  SetLanguageText(*this, L"slogan", kSection, L"3");
  SetLanguageText(*this, L"license", kSection, L"4");
  SetLanguageText(*this, L"copyright", kSection, L"5");

  skin::Control* version = FindControl(L"version_desc");
  int textWidth = 0;
  if (version) {
    const std::wstring text =
        version_.empty() ? std::wstring() : popup_dialog::FillTemplate(GetLanguageString(kSection, L"2"), version_);
    version->SetText(text);
    textWidth = version->MeasureText(text).cx;
    if (textWidth == 0) version->SetVisible(false);
  }
  const skin::Control* logo = FindControl(L"main_logo");
  const RowWidths widths = CentreInRow(textWidth, logo ? logo->FixedWidth() : 0);
  if (skin::Control* area = FindControl(L"slogan_area")) area->SetFixedWidth(widths.area);
  for (const wchar_t* name : {L"hold_place1", L"hold_place2"}) {
    if (skin::Control* spacer = FindControl(name)) spacer->SetFixedWidth(widths.spacer);
  }
}

void DlgAbout2::OnNotify(skin::Notification& notification) {
  if (notification.Is(L"click")) {
    if (notification.From(L"license")) {
      if (open_page_) open_page_(kUserAgreementAddress);
      return;
    }
    if (notification.From(L"cls")) {
      EndDialog(kCancel);
      return;
    }
  }
  CDlgBase::OnNotify(notification);
}
