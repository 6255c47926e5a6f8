#pragma once
// One scan of a folder, as the scan thread of the folder list runs it: enumerate the directory,
// sort the pictures logically, ask the shell for the order an open folder window shows, merge.
// Runs on any thread; touches no window.
#include <atomic>
#include <string>
#include <vector>

#include "view/folder_order.h"

// The order in which an open shell folder window shows a folder's items. The real one asks the
// shell windows collection; tests hand in fixed lists.
class IShellViewOrder {
 public:
  virtual ~IShellViewOrder() = default;
  // Names (final components) of the items of the first open window showing `folder`, in its
  // order; empty when no window shows it or the shell cannot tell. Runs on the scan thread, which
  // has COM initialised; gives up early once `stop` is non-zero.
  [[nodiscard]] virtual std::vector<std::wstring> GetViewOrder(const std::wstring& folder,
                                                               const std::atomic<int>& stop) = 0;
};

namespace folder_scan {

// The search pattern for every entry of a folder. A pattern beyond MAX_PATH gets the "\\?\"
// form, so deep folders are listed instead of failing.
[[nodiscard]] std::wstring SearchPattern(const std::wstring& folder);

// Puts every directory entry into result.subFolderNames and every other entry whose file class
// is non-zero into result.imageNames (hidden and system files included), unsorted. False when the
// folder cannot be listed or `stop` was raised meanwhile.
bool EnumerateFolder(const std::wstring& folder, folder_order::ScanResult& result,
                     const std::atomic<int>& stop);

// The whole scan: enumerate, sort, shell order (when a provider is given), merge. The index of
// the result stays -1 when `stop` is raised before the merge.
[[nodiscard]] folder_order::ScanResult ScanFolder(const std::wstring& folder, const std::wstring& currentName,
                                                  IShellViewOrder* shell, const std::atomic<int>& stop);

}  // namespace folder_scan
