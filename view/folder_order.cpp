#include "view/folder_order.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>

#include "image/file_types.h"

namespace folder_order {

namespace {

bool IsSeparator(wchar_t c) noexcept { return c == L'\\' || c == L'/'; }

// "C:\" and "\" keep their backslash: without it "C:" would mean the drive's current folder.
bool IsRoot(std::wstring_view folder) noexcept {
  if (folder.size() == 1) return IsSeparator(folder[0]);
  return folder.size() == 3 && folder[1] == L':' && IsSeparator(folder[2]);
}

}  // namespace

SplitPath Split(std::wstring_view path) {
  const size_t pos = path.find_last_of(L"\\/");
  if (pos == std::wstring_view::npos) return {std::wstring(), std::wstring(path)};
  return {TrimFolder(path.substr(0, pos + 1)), std::wstring(path.substr(pos + 1))};
}

std::wstring TrimFolder(std::wstring_view folder) {
  std::wstring out(folder);
  while (!out.empty() && IsSeparator(out.back()) && !IsRoot(out)) out.pop_back();
  return out;
}

std::wstring Join(std::wstring_view folder, std::wstring_view name) {
  std::wstring out;
  out.reserve(folder.size() + 1 + name.size());
  out.append(folder);
  if (!out.empty() && !IsSeparator(out.back())) out.push_back(L'\\');
  out.append(name);
  return out;
}

bool SameName(const std::wstring& a, const std::wstring& b) noexcept {
  return ::StrCmpIW(a.c_str(), b.c_str()) == 0;
}

int FindName(const NameList& names, const std::wstring& name) noexcept {
  for (size_t i = 0; i < names.size(); ++i) {
    if (SameName(names[i], name)) return static_cast<int>(i);
  }
  return -1;
}

void SortLogical(NameList& names) {
  std::sort(names.begin(), names.end(), [](const std::wstring& a, const std::wstring& b) {
    return ::StrCmpLogicalW(a.c_str(), b.c_str()) < 0;
  });
}

void MergeShellOrder(ScanResult& result, const std::vector<std::wstring>& shellNames,
                     const std::wstring& currentName) {
  NameList filtered;
  for (const std::wstring& name : shellNames) {
    if (result.subFolderNames.count(name) != 0) continue;
    if (image::ClassifyImageFile(name) == 0) continue;
    filtered.push_back(name);
  }
  const int shellIndex = FindName(filtered, currentName);
  if (shellIndex >= 0) {
    result.index = shellIndex;
    result.imageNames.swap(filtered);
    return;
  }
  result.index = FindName(result.imageNames, currentName);
}

int NeighbourIndex(int index, int count, int offset, bool loop) noexcept {
  if (count < 2 || index < 0 || index >= count) return -1;
  const long long target = static_cast<long long>(index) + offset;
  if (target >= 0 && target < count) return static_cast<int>(target);
  if (!loop) return -1;
  return target < 0 ? count - 1 : 0;
}

int IndexAfterRemoval(int current, int removed, int countAfter) noexcept {
  if (countAfter <= 0) return -1;
  if (removed >= 0 && removed < current) --current;
  return std::clamp(current, 0, countAfter - 1);
}

}  // namespace folder_order
