#pragma once
// The product's folders. All carry a trailing backslash; composition is bounded by MAX_PATH and
// a folder that would not fit comes back empty (callers then skip the file work).
//
// Developer and test hook: when the environment variable QUELLIN_DATA_DIR is set to a folder
// path, that folder is the data folder (used as it is, without "Quellin\" appended), so that
// end-to-end tests can run the product against a data folder of their own.
#include <windows.h>

#include <string>
#include <string_view>

// The user's application-data folder + "Quellin\", computed once.
std::wstring GetDataFolder();
// Data folder + "temp\"; with a name, that name is appended with a trailing backslash.
std::wstring GetTempFolder(const wchar_t* name = nullptr);
// "crash" inside the temp folder.
std::wstring GetCrashFolder();
// Creates the data, temp and crash folders when the crash folder is missing. True when the
// crash folder exists afterwards.
bool EnsureDataFolders();
// The folder of a module (null = the executable), canonicalised.
std::wstring GetModuleFolder(HMODULE module = nullptr);

// The composition behind the functions above, uncached, for given inputs.
namespace folders {
inline constexpr wchar_t kDataDirVariable[] = L"QUELLIN_DATA_DIR";
// Canonicalised application-data folder + "Quellin\".
std::wstring DataFolderFromAppData(std::wstring_view appData);
// The override folder made absolute and canonical, with a trailing backslash.
std::wstring DataFolderFromOverride(std::wstring_view folder);
// The data folder as GetDataFolder computes it, read afresh (environment, then the shell).
std::wstring ResolveDataFolder();
// dataFolder + "temp\" (+ name + "\").
std::wstring TempFolderOf(std::wstring_view dataFolder, const wchar_t* name = nullptr);
// Creates the three folders under dataFolder as EnsureDataFolders does.
bool EnsureFolders(std::wstring_view dataFolder);
}  // namespace folders
