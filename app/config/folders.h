#pragma once
// The product's folders. All carry a trailing backslash; composition is bounded by MAX_PATH.
#include <windows.h>

#include <string>

// The user's application-data folder + "Quellin\".
std::wstring GetDataFolder();
// Data folder + "temp\"; with a name, that name is appended with a trailing backslash.
std::wstring GetTempFolder(const wchar_t* name = nullptr);
// "crash" inside the temp folder.
std::wstring GetCrashFolder();
// Creates the data, temp and crash folders when the crash folder is missing.
void EnsureDataFolders();
// The folder of a module (null = the executable), canonicalised.
std::wstring GetModuleFolder(HMODULE module = nullptr);
