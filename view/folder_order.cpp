#include "view/folder_order.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <vector>

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

namespace {

// Sort keys for the logical order, one per name, built once: a run of the digits 0-9 becomes its
// value (its length without leading zeros, then its digits), every other character the rank of its
// class among the characters of the list as the platform compares single characters without regard
// to case. Numbers sort before any other character, and a name before the longer names it begins.
class LogicalKeys {
 public:
  explicit LogicalKeys(const NameList& names) {
    RankCharacters(names);
    offsets_.reserve(names.size() + 1);
    offsets_.push_back(0);
    for (const std::wstring& name : names) {
      for (size_t i = 0; i < name.size();) {
        if (IsDigit(name[i])) {
          size_t start = i;
          while (i < name.size() && IsDigit(name[i])) ++i;
          size_t first = start;
          while (first + 1 < i && name[first] == L'0') ++first;
          tokens_.push_back(static_cast<uint32_t>(i - first));  // below every character's token
          for (size_t d = first; d < i; ++d) tokens_.push_back(static_cast<uint32_t>(name[d] - L'0'));
        } else {
          tokens_.push_back(kCharacterBase + rank_[name[i]]);
          ++i;
        }
      }
      offsets_.push_back(tokens_.size());
    }
  }

  bool Less(size_t a, size_t b) const {
    return std::lexicographical_compare(tokens_.begin() + offsets_[a], tokens_.begin() + offsets_[a + 1],
                                        tokens_.begin() + offsets_[b], tokens_.begin() + offsets_[b + 1]);
  }

 private:
  static constexpr uint32_t kCharacterBase = 0x80000000u;
  static bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

  void RankCharacters(const NameList& names) {
    std::vector<bool> seen(0x10000, false);
    std::vector<wchar_t> used;
    for (const std::wstring& name : names) {
      for (wchar_t c : name) {
        if (!IsDigit(c) && !seen[c]) {
          seen[c] = true;
          used.push_back(c);
        }
      }
    }
    std::sort(used.begin(), used.end(), [](wchar_t a, wchar_t b) { return ::ChrCmpIW(a, b) < 0; });
    rank_.assign(0x10000, 0);
    uint32_t rank = 0;
    for (size_t i = 0; i < used.size(); ++i) {
      if (i > 0 && ::ChrCmpIW(used[i - 1], used[i]) != 0) ++rank;
      rank_[used[i]] = rank;
    }
  }

  std::vector<uint32_t> rank_;
  std::vector<uint32_t> tokens_;
  std::vector<size_t> offsets_;
};

bool LogicalLess(const std::wstring& a, const std::wstring& b) { return ::StrCmpLogicalW(a.c_str(), b.c_str()) < 0; }

// A name the keys order exactly as the platform does, by how they are made: printable ASCII
// without the hyphen and the apostrophe (which the platform's word sort weighs apart from other
// characters), and no run of digits longer than any number parser takes whole.
bool PlainName(const std::wstring& name) noexcept {
  int digits = 0;
  for (const wchar_t c : name) {
    if (c < 0x20 || c > 0x7E || c == L'-' || c == L'\'') return false;
    digits = (c >= L'0' && c <= L'9') ? digits + 1 : 0;
    if (digits > 9) return false;
  }
  return true;
}

}  // namespace

bool SortLogical(NameList& names) {
  if (names.size() < 2) return true;
  const LogicalKeys keys(names);
  std::vector<size_t> order(names.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::sort(order.begin(), order.end(), [&keys](size_t a, size_t b) { return keys.Less(a, b); });
  NameList sorted;
  for (size_t i : order) sorted.push_back(std::move(names[i]));
  names.swap(sorted);
  // The platform's compare has the last word: where it orders two neighbours the other way (a
  // system whose rules differ from the keys for some names), the whole list is sorted by it. Two
  // plain names need no asking (under some systems the compare is slow, and a camera's folder
  // holds nothing else).
  bool previousPlain = PlainName(names[0]);
  for (size_t i = 1; i < names.size(); ++i) {
    const bool plain = PlainName(names[i]);
    const bool ask = !(plain && previousPlain);
    previousPlain = plain;
    if (ask && LogicalLess(names[i], names[i - 1])) {
      std::sort(names.begin(), names.end(), LogicalLess);
      return false;
    }
  }
  return true;
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
