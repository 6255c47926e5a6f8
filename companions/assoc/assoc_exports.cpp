// The exports of "AssocKit32.dll". Every operation works on the current user's registration only;
// the viewer it registers is "QuellinImg.exe" in this library's folder.
#include <windows.h>

#include <string>

#include "companions/assoc/assoc_kit_api.h"
#include "companions/assoc/assoc_list.h"
#include "companions/assoc/registration.h"

namespace {

HMODULE g_module = nullptr;

std::wstring ViewerPath() {
  std::wstring path(32768, L'\0');
  const DWORD length = ::GetModuleFileNameW(g_module, path.data(), static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return L"";
  path.resize(length);
  const size_t slash = path.find_last_of(L'\\');
  if (slash == std::wstring::npos) return L"";
  return path.substr(0, slash + 1) + L"QuellinImg.exe";
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_module = instance;
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

__declspec(dllexport) int WINAPI SetDefaultImageViewer(int) {
  const std::wstring viewer = ViewerPath();
  if (viewer.empty()) return 0;
  assoc::Registrar registrar(HKEY_CURRENT_USER, viewer);
  registrar.RegisterAll();
  assoc::NotifyShellOfAssociationChange();
  return registrar.IsDefaultViewer() ? 1 : 0;
}

__declspec(dllexport) int WINAPI UnInstall(HKEY root) {
  // Per-user registration only: any other root is not ours to change.
  if (root != HKEY_CURRENT_USER) return 0;
  assoc::Registrar registrar(HKEY_CURRENT_USER, ViewerPath());
  registrar.UnregisterAll();
  assoc::NotifyShellOfAssociationChange();
  return 1;
}

__declspec(dllexport) int WINAPI SetAssociation(const wchar_t* list) {
  std::vector<assoc::Choice> choices;
  if (!assoc::ParseList(list, choices)) return 0;
  const std::wstring viewer = ViewerPath();
  if (viewer.empty()) return 0;
  assoc::Registrar registrar(HKEY_CURRENT_USER, viewer);
  const bool ok = registrar.Apply(choices);
  assoc::NotifyShellOfAssociationChange();
  return ok ? 1 : 0;
}

__declspec(dllexport) int WINAPI IsAssociationOK() {
  return assoc::Registrar(HKEY_CURRENT_USER, ViewerPath()).IsDefaultViewer() ? 1 : 0;
}

}  // extern "C"

// The exports have exactly the types their callers call them through.
[[maybe_unused]] constexpr assoc::SetDefaultImageViewerFn kSetDefaultImageViewerType = &SetDefaultImageViewer;
[[maybe_unused]] constexpr assoc::UnInstallFn kUnInstallType = &UnInstall;
[[maybe_unused]] constexpr assoc::SetAssociationFn kSetAssociationType = &SetAssociation;
[[maybe_unused]] constexpr assoc::IsAssociationOKFn kIsAssociationOKType = &IsAssociationOK;
