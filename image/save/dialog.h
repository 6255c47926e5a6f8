#pragma once
// The platform save dialog of save-as.
#include <windows.h>

#include <string>

// Shows the dialog (save-as filter, default extension "jpg", overwrite prompt) with a proposed
// name; on OK answers the chosen name and the 1-based filter index.
bool ShowSaveAsDialog(HWND owner, const std::wstring& proposed, std::wstring& chosen, int& filterIndex);
