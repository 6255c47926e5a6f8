#pragma once
// The skin framework of the dialogs and menus: where its archive lies.
#include <windows.h>

#include <string>

void PrepareUiFramework(HINSTANCE instance, const std::wstring& resourceFolder, const wchar_t* archiveName);
