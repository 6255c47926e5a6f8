#pragma once
// The question before a file goes to the recycle bin.
#include <windows.h>

#include <string>

namespace services {

class IDeleteConfirmation {
 public:
  virtual ~IDeleteConfirmation() = default;
  // Runs modally; true only when the user confirmed deleting that file.
  virtual bool Confirm(HWND owner, const std::wstring& path) = 0;
};

}  // namespace services
