#include "popup_dialog/small/dialog_text.h"

#include "appconfig/language.h"

namespace popup_dialog {

void SetLanguageText(const CUseZipResourceDuiWnd& window, const wchar_t* control, const wchar_t* section,
                     const wchar_t* key) {
  if (skin::Control* found = window.FindControl(control)) found->SetText(GetLanguageString(section, key));
}

std::wstring FillTemplate(const std::wstring& text, const std::wstring& value) {
  const size_t at = text.find(L"%s");
  if (at == std::wstring::npos) return text;
  return text.substr(0, at) + value + text.substr(at + 2);
}

}  // namespace popup_dialog
