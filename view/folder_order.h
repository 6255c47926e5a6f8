#pragma once
// The ordering rules of the current-folder list, kept free of threads and windows: splitting a
// path into folder and name, the logical name sort, taking over a shell window's order, stepping
// to a neighbour and keeping the position when a file leaves the list.
#include <deque>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace folder_order {

using NameList = std::deque<std::wstring>;

// What one scan of a folder proposes.
struct ScanResult {
  // Every directory entry of the folder ("." and ".." included), compared exactly.
  std::set<std::wstring> subFolderNames;
  // The pictures of the folder in the proposed order (names only, no folder).
  NameList imageNames;
  // Position of the current name in imageNames; -1 when it is not there or the scan gave up.
  int index = -1;
};

struct SplitPath {
  std::wstring folder;  // without a trailing backslash, except for a drive root ("C:\")
  std::wstring name;    // the final component
};

// Splits at the last backslash or slash. Works on any length: paths beyond MAX_PATH split the
// same way as short ones.
[[nodiscard]] SplitPath Split(std::wstring_view path);

// The folder without trailing backslashes, except for a root ("C:\", "\"), which keeps its own.
[[nodiscard]] std::wstring TrimFolder(std::wstring_view folder);

// folder + "\" + name, without a length limit (an empty folder gives the name alone). A path that
// does not fit MAX_PATH is still the right path, never a truncated one.
[[nodiscard]] std::wstring Join(std::wstring_view folder, std::wstring_view name);

// Case-insensitive equality as the shell compares names (StrCmpIW).
[[nodiscard]] bool SameName(const std::wstring& a, const std::wstring& b) noexcept;

// Position of the first entry equal to name ignoring case, or -1.
[[nodiscard]] int FindName(const NameList& names, const std::wstring& name) noexcept;

// Sorts the way the shell shows names: digit runs by value ("2" before "10"), letters without
// regard to case (StrCmpLogicalW). Sort keys are made once per name; the platform's compare then
// checks each pair of neighbours, and should it disagree anywhere the list is sorted by it alone
// (false is answered then). The result is always in the platform's order.
bool SortLogical(NameList& names);

// Applies a shell window's order to a sorted scan. The shell's names are kept in their order
// when they are neither sub-folders nor files the viewer does not open; when the current name is
// among them they become the list, otherwise the sorted list stays. Sets result.index.
void MergeShellOrder(ScanResult& result, const std::vector<std::wstring>& shellNames,
                     const std::wstring& currentName);

// The position `offset` places from `index` in a list of `count`, or -1 when it cannot be
// reached: fewer than two entries, or outside the list without looping. Looping wraps once to
// the far end (a step past the last gives the first, a step before the first gives the last).
[[nodiscard]] int NeighbourIndex(int index, int count, int offset, bool loop) noexcept;

// The current position after the entry at `removed` left a list that now holds `countAfter`
// names: an entry before the current one shifts it down so the same file stays current; removing
// the current file makes the following one current (or the new last one). -1 for an empty list.
[[nodiscard]] int IndexAfterRemoval(int current, int removed, int countAfter) noexcept;

}  // namespace folder_order
