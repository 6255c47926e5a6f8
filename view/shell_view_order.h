#pragma once
// The order of an open shell folder window, read through the shell windows collection and the
// folder view of each window.
#include <memory>

#include "view/folder_scan.h"

class CShellWindowsViewOrder : public IShellViewOrder {
 public:
  // Only the first window that shows the folder counts; any failure while examining one window
  // moves on to the next. A shell that offers no such window (or no collection at all, as under
  // Wine, whose collection cannot count its windows) gives an empty list.
  [[nodiscard]] std::vector<std::wstring> GetViewOrder(const std::wstring& folder,
                                                       const std::atomic<int>& stop) override;
};

[[nodiscard]] std::shared_ptr<IShellViewOrder> MakeShellWindowsViewOrder();
