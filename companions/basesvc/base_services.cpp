#include "companions/basesvc/base_services.h"

#include <cwchar>

#include "base/strings.h"

namespace qlbase {
namespace {

std::wstring ReadString(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  wchar_t value[2048] = {};
  ::GetPrivateProfileStringW(section, key, L"", value, 2048, file.c_str());
  return value;
}

bool IsPlainWord(const std::wstring& text) {
  if (text.empty() || text.size() > 64) return false;
  for (wchar_t c : text) {
    const bool ok = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_' ||
                    c == L'-' || c == L'.';
    if (!ok) return false;
  }
  return true;
}

}  // namespace

StatSettings ReadStatSettings(const std::wstring& configPath) {
  StatSettings settings;
  if (configPath.empty()) return settings;
  settings.enabled = ::GetPrivateProfileIntW(L"app", L"usage_stats", 0, configPath.c_str()) == 1;
  settings.url = ReadString(configPath, L"app", L"usage_stats_url");
  return settings;
}

std::vector<std::pair<std::string, std::string>> ReportForm(const std::wstring& event, const std::wstring& detail,
                                                            const std::wstring& version, const std::wstring& system) {
  for (const std::wstring* text : {&event, &detail, &version, &system}) {
    if (!IsPlainWord(*text)) return {};
  }
  return {{"event", base::WideToUtf8(event)},
          {"detail", base::WideToUtf8(detail)},
          {"version", base::WideToUtf8(version)},
          {"system", base::WideToUtf8(system)}};
}

std::wstring OsVersionText() {
  // The kernel's own answer: GetVersionEx is bent by the compatibility layer.
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  auto get = ntdll ? reinterpret_cast<RtlGetVersionFn>(::GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
  if (!get || get(&info) != 0) return L"0.0.0";
  wchar_t text[48] = {};
  std::swprintf(text, 48, L"%lu.%lu.%lu", info.dwMajorVersion, info.dwMinorVersion, info.dwBuildNumber);
  return text;
}

int ReadQuickIndexState(const std::wstring& stateFile) {
  if (stateFile.empty()) return 0;
  return ::GetPrivateProfileIntW(L"plib", L"quick_index", 0, stateFile.c_str()) == 1 ? 1 : 0;
}

bool WriteQuickIndexState(const std::wstring& stateFile, int state) {
  if (stateFile.empty()) return false;
  // A process killed in the middle never leaves half a file: the new one is written beside it.
  const std::wstring partial = stateFile + L".new";
  ::DeleteFileW(partial.c_str());
  if (!::WritePrivateProfileStringW(L"plib", L"quick_index", state != 0 ? L"1" : L"0", partial.c_str())) return false;
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, partial.c_str());
  return ::MoveFileExW(partial.c_str(), stateFile.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

}  // namespace qlbase
