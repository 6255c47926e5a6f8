#include "companions/tray/update_handoff.h"

#include <windows.h>

namespace tray {

std::wstring OriginalViewerCommandLine(const std::wstring& companionParameters) {
  size_t at = companionParameters.find(kUpgradeSwitch);
  // Only the switch as a whole token counts ("--need-upgrade-privilege-nowhere" is not it).
  while (at != std::wstring::npos) {
    const size_t end = at + std::char_traits<wchar_t>::length(kUpgradeSwitch);
    const bool startsToken = at == 0 || companionParameters[at - 1] == L' ';
    const bool endsToken = end == companionParameters.size() || companionParameters[end] == L' ';
    if (startsToken && endsToken) break;
    at = companionParameters.find(kUpgradeSwitch, at + 1);
  }
  if (at == std::wstring::npos) return L"";
  std::wstring original = companionParameters.substr(0, at);
  while (!original.empty() && original.back() == L' ') original.pop_back();
  return original;
}

bool ClearUpdateState(const std::wstring& programConfigPath) {
  if (programConfigPath.empty() || ::GetFileAttributesW(programConfigPath.c_str()) == INVALID_FILE_ATTRIBUTES) {
    return true;
  }
  ::WritePrivateProfileStringW(L"update", L"state", nullptr, programConfigPath.c_str());
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, programConfigPath.c_str());
  wchar_t state[64] = {};
  ::GetPrivateProfileStringW(L"update", L"state", L"", state, 64, programConfigPath.c_str());
  return state[0] == L'\0';
}

std::wstring ParametersOf(const wchar_t* commandLine) {
  if (!commandLine) return L"";
  const wchar_t* p = commandLine;
  // The program name: quoted, or up to the first space (the rule the C runtime uses).
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') ++p;
    if (*p) ++p;
  } else {
    while (*p && *p != L' ' && *p != L'\t') ++p;
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

}  // namespace tray
