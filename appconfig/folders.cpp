#include "appconfig/folders.h"

#include <shlobj.h>

#include <vector>

#include "base/paths.h"

namespace folders {

namespace {
constexpr wchar_t kProductFolder[] = L"Quellin";
constexpr wchar_t kTempFolder[] = L"temp";
constexpr wchar_t kCrashFolder[] = L"crash";

// folder + name + "\", or empty when the folder is unknown or the result would not fit.
// An empty folder must never turn into a relative path.
std::wstring SubFolder(std::wstring_view folder, std::wstring_view name) {
  if (folder.empty()) return {};
  const std::wstring joined = base::JoinPath(folder, name);
  if (joined.empty()) return {};
  return base::WithTrailingBackslash(joined);
}

std::wstring ReadOverride() {
  const DWORD needed = ::GetEnvironmentVariableW(kDataDirVariable, nullptr, 0);
  if (needed <= 1) return {};
  std::vector<wchar_t> buf(needed, L'\0');
  const DWORD n = ::GetEnvironmentVariableW(kDataDirVariable, buf.data(), needed);
  if (n == 0 || n >= needed) return {};
  return std::wstring(buf.data(), n);
}
}  // namespace

std::wstring DataFolderFromAppData(std::wstring_view appData) {
  if (appData.empty() || appData.size() >= base::kMaxPath) return {};
  return SubFolder(base::Canonicalize(appData), kProductFolder);
}

std::wstring DataFolderFromOverride(std::wstring_view folder) {
  if (folder.empty() || folder.size() >= base::kMaxPath) return {};
  const std::wstring in(folder);
  wchar_t full[base::kMaxPath] = {};
  const DWORD n = ::GetFullPathNameW(in.c_str(), static_cast<DWORD>(base::kMaxPath), full, nullptr);
  if (n == 0 || n >= base::kMaxPath) return {};
  return base::WithTrailingBackslash(base::Canonicalize(full));
}

std::wstring ResolveDataFolder() {
  const std::wstring custom = ReadOverride();
  if (!custom.empty()) return DataFolderFromOverride(custom);
  wchar_t appData[MAX_PATH] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, appData))) return {};
  return DataFolderFromAppData(appData);
}

std::wstring TempFolderOf(std::wstring_view dataFolder, const wchar_t* name) {
  const std::wstring temp = SubFolder(dataFolder, kTempFolder);
  if (name == nullptr || *name == L'\0') return temp;
  return SubFolder(temp, name);
}

bool EnsureFolders(std::wstring_view dataFolder) {
  const std::wstring list[] = {std::wstring(dataFolder), TempFolderOf(dataFolder),
                               TempFolderOf(dataFolder, kCrashFolder)};
  // A folder that could not be composed is never created in part.
  for (const std::wstring& folder : list) {
    if (folder.empty()) return false;
  }
  if (base::IsDirectory(list[2])) return true;
  for (const std::wstring& folder : list) {
    if (!base::FileExists(folder)) ::CreateDirectoryW(folder.c_str(), nullptr);
  }
  return base::IsDirectory(list[2]);
}

}  // namespace folders

std::wstring GetDataFolder() {
  static const std::wstring folder = folders::ResolveDataFolder();
  return folder;
}

std::wstring GetTempFolder(const wchar_t* name) { return folders::TempFolderOf(GetDataFolder(), name); }

std::wstring GetCrashFolder() { return GetTempFolder(L"crash"); }

bool EnsureDataFolders() { return folders::EnsureFolders(GetDataFolder()); }

std::wstring GetModuleFolder(HMODULE module) { return base::GetModuleFolder(module); }
