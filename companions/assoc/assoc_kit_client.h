#pragma once
// Calls into "AssocKit32.dll" from a program beside it: the library is loaded by full path from a
// given folder for the life of this object (one operation), and each export is called through its
// own function type. A missing library or export answers nullopt and calls nothing.
#include <windows.h>

#include <optional>
#include <string>

#include "base/handles.h"
#include "companions/assoc/assoc_kit_api.h"

namespace assoc {

class AssocKitClient {
 public:
  // folder: with or without a trailing backslash.
  explicit AssocKitClient(const std::wstring& folder);
  AssocKitClient(const AssocKitClient&) = delete;
  AssocKitClient& operator=(const AssocKitClient&) = delete;

  [[nodiscard]] bool IsLoaded() const noexcept { return library_.IsValid(); }

  std::optional<int> SetDefaultImageViewer() const;
  std::optional<int> UnInstall(HKEY root) const;
  std::optional<int> SetAssociation(const std::wstring& list) const;
  std::optional<int> IsAssociationOK() const;

 private:
  template <typename Fn>
  Fn Find(const char* name) const {
    return library_ ? reinterpret_cast<Fn>(::GetProcAddress(library_.Get(), name)) : nullptr;
  }

  base::ModuleHandle library_;
};

}  // namespace assoc
