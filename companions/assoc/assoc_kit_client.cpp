#include "companions/assoc/assoc_kit_client.h"

namespace assoc {

AssocKitClient::AssocKitClient(const std::wstring& folder) {
  if (folder.empty()) return;
  std::wstring path = folder;
  if (path.back() != L'\\') path += L'\\';
  path += kLibraryName;
  // Only the library beside the program, never one found along the search path.
  library_.Reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

std::optional<int> AssocKitClient::SetDefaultImageViewer() const {
  const auto entry = Find<SetDefaultImageViewerFn>(kSetDefaultImageViewer);
  if (!entry) return std::nullopt;
  return entry(0);
}

std::optional<int> AssocKitClient::UnInstall(HKEY root) const {
  const auto entry = Find<UnInstallFn>(kUnInstall);
  if (!entry) return std::nullopt;
  return entry(root);
}

std::optional<int> AssocKitClient::SetAssociation(const std::wstring& list) const {
  const auto entry = Find<SetAssociationFn>(kSetAssociation);
  if (!entry) return std::nullopt;
  return entry(list.c_str());
}

std::optional<int> AssocKitClient::IsAssociationOK() const {
  const auto entry = Find<IsAssociationOKFn>(kIsAssociationOK);
  if (!entry) return std::nullopt;
  return entry();
}

}  // namespace assoc
