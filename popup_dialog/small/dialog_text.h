#pragma once
// Small helpers the skinned dialogs share: texts from the language file into named controls.
#include <string>

#include "skin/window/skin_window.h"

namespace popup_dialog {

// Sets a control's text to a language string; a control missing from the skin is skipped.
void SetLanguageText(const CUseZipResourceDuiWnd& window, const wchar_t* control, const wchar_t* section,
                     const wchar_t* key);
// "%s" in the template replaced by the value (a template without it gets nothing added). Plain
// replacement: a language file is outside input and never a format string.
std::wstring FillTemplate(const std::wstring& text, const std::wstring& value);

}  // namespace popup_dialog
