#include "view/folder_scan.h"

#include <windows.h>

#include <cwctype>
#include <unordered_map>

#include "base/handles.h"
#include "image/file_types.h"

namespace folder_scan {

namespace {

bool Stopped(const std::atomic<int>& stop) noexcept { return stop.load(std::memory_order_relaxed) != 0; }

// The file class depends on the extension alone, and a folder holds few distinct extensions, so
// each is classified once per scan instead of once per file.
class ClassCache {
 public:
  unsigned Classify(const wchar_t* name) {
    const wchar_t* dot = ::wcsrchr(name, L'.');
    if (!dot) return 0;
    key_.assign(dot + 1);
    for (wchar_t& c : key_) c = static_cast<wchar_t>(::towlower(c));
    const auto found = classes_.find(key_);
    if (found != classes_.end()) return found->second;
    const unsigned formatClass = image::ClassifyImageFile(name);
    classes_.emplace(key_, formatClass);
    return formatClass;
  }

 private:
  std::wstring key_;
  std::unordered_map<std::wstring, unsigned> classes_;
};

}  // namespace

std::wstring SearchPattern(const std::wstring& folder) {
  std::wstring pattern = folder_order::Join(folder, L"*");
  if (pattern.size() < MAX_PATH || pattern.rfind(L"\\\\?\\", 0) == 0) return pattern;
  // The "\\?\" form takes the path literally: only backslashes separate components there.
  for (wchar_t& c : pattern) {
    if (c == L'/') c = L'\\';
  }
  if (pattern.rfind(L"\\\\", 0) == 0) return L"\\\\?\\UNC\\" + pattern.substr(2);
  if (pattern.size() > 2 && pattern[1] == L':') return L"\\\\?\\" + pattern;
  return pattern;  // relative: nothing the long form could express
}

bool EnumerateFolder(const std::wstring& folder, folder_order::ScanResult& result, const std::atomic<int>& stop) {
  WIN32_FIND_DATAW data;
  // The basic level skips the short names, which the list never uses.
  base::FindHandle find(::FindFirstFileExW(SearchPattern(folder).c_str(), FindExInfoBasic, &data,
                                           FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (!find) return false;
  ClassCache classes;
  do {
    if (Stopped(stop)) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      result.subFolderNames.insert(data.cFileName);
    } else if (classes.Classify(data.cFileName) != 0) {
      result.imageNames.emplace_back(data.cFileName);
    }
  } while (::FindNextFileW(find.Get(), &data));
  return true;
}

folder_order::ScanResult ScanFolder(const std::wstring& folder, const std::wstring& currentName,
                                    IShellViewOrder* shell, const std::atomic<int>& stop) {
  folder_order::ScanResult result;
  // A folder that cannot be listed leaves an empty sort; the shell may still know the order.
  if (!EnumerateFolder(folder, result, stop) && Stopped(stop)) return result;
  folder_order::SortLogical(result.imageNames);
  std::vector<std::wstring> shellNames;
  if (shell && !Stopped(stop)) shellNames = shell->GetViewOrder(folder, stop);
  if (!Stopped(stop)) folder_order::MergeShellOrder(result, shellNames, currentName);
  return result;
}

}  // namespace folder_scan
