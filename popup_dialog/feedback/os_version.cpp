#include "popup_dialog/feedback/os_version.h"

#include <windows.h>

#include <cwchar>

#include "base/handles.h"
#include "base/paths.h"
#include "base/strings.h"
#include "companions/basesvc/quellin_base_api.h"

namespace feedback {
namespace {

constexpr int kCapacity = 256;

std::wstring FromBaseLibrary(const std::wstring& programFolder) {
  const std::wstring path = base::JoinPath(programFolder, L"QuellinBase.dll");
  if (!base::FileExists(path)) return {};
  base::ModuleHandle library(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!library) return {};
  const auto get = reinterpret_cast<PFN_GetOsVersion>(::GetProcAddress(library.Get(), QLBASE_EXPORT_GET_OS_VERSION));
  if (!get) return {};
  wchar_t text[kCapacity + 1] = {};
  const int length = get(text, kCapacity);
  // A length that does not match what was written is a broken library, not a long name.
  if (length <= 0 || length >= kCapacity || ::wcsnlen(text, kCapacity) != static_cast<size_t>(length)) return {};
  return std::wstring(text, static_cast<size_t>(length));
}

}  // namespace

std::wstring KernelVersionText() {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const auto get = ntdll ? reinterpret_cast<RtlGetVersionFn>(::GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
  if (!get || get(&version) != 0) return L"0.0.0";
  return base::FormatW(L"%lu.%lu.%lu", version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber);
}

std::wstring OsVersionText(const std::wstring& programFolder) {
  std::wstring text = FromBaseLibrary(programFolder);
  return text.empty() ? KernelVersionText() : text;
}

}  // namespace feedback
