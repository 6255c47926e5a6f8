#include "companions/tray/tray_settings.h"

#include <windows.h>

#include <cwchar>
#include <optional>

#include "base/handles.h"
#include "base/paths.h"

namespace tray {

namespace {

constexpr wchar_t kSection[] = L"tray";

// A whole decimal number of at most 9 digits, optionally negative; nullopt for anything else.
std::optional<int32_t> ReadPlainNumber(const std::wstring& path, const wchar_t* key) {
  wchar_t text[32] = {};
  ::GetPrivateProfileStringW(kSection, key, L"", text, 32, path.c_str());
  const wchar_t* p = text;
  bool negative = false;
  if (*p == L'-') {
    negative = true;
    ++p;
  }
  int32_t value = 0;
  int digits = 0;
  for (; *p; ++p, ++digits) {
    if (*p < L'0' || *p > L'9' || digits == 9) return std::nullopt;
    value = value * 10 + (*p - L'0');
  }
  if (digits == 0) return std::nullopt;
  return negative ? -value : value;
}

// A name beside the target that no other writer uses.
std::wstring TemporaryNameFor(const std::wstring& path) {
  return path + L"." + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount64()) +
         L".tmp";
}

// A reader holding the settings file for a moment (a virus scanner, a backup) would make the move
// fail and the change be lost: the move waits for it.
bool ReplaceWith(const std::wstring& temporary, const std::wstring& path) {
  if (base::WaitUntilReplaceable(path) &&
      ::MoveFileExW(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return true;
  }
  ::DeleteFileW(temporary.c_str());
  return false;
}

}  // namespace

TraySettings LoadTraySettings(const std::wstring& path) {
  TraySettings settings;
  if (path.empty()) return settings;
  if (const auto quick = ReadPlainNumber(path, L"quick_index"); quick && (*quick == 0 || *quick == 1)) {
    settings.quickIndex = *quick;
  }
  if (const auto hotkey = ReadPlainNumber(path, L"hotkey"); hotkey && *hotkey >= 0 && *hotkey <= 0xFFFF) {
    settings.hotkey = *hotkey;
  }
  return settings;
}

bool SaveTraySettings(const std::wstring& path, const TraySettings& settings) {
  if (path.empty()) return false;
  const std::string text = "[tray]\r\nquick_index=" + std::to_string(settings.quickIndex) +
                           "\r\nhotkey=" + std::to_string(settings.hotkey) + "\r\n";
  return WriteFileAtomically(path, text);
}

bool WriteViewerHotkey(const std::wstring& configPath, int32_t hotkey) {
  if (configPath.empty()) return false;
  const std::wstring temporary = TemporaryNameFor(configPath);
  // The copy keeps the file's other sections and its encoding; a missing file starts empty.
  if (!::CopyFileW(configPath.c_str(), temporary.c_str(), FALSE) && ::GetLastError() != ERROR_FILE_NOT_FOUND) {
    return false;
  }
  const std::wstring value = std::to_wstring(hotkey);
  if (!::WritePrivateProfileStringW(L"Default", L"sniptool_hotkey", value.c_str(), temporary.c_str())) {
    ::DeleteFileW(temporary.c_str());
    return false;
  }
  // The profile functions may cache a file; make sure the copy is on disk before it replaces.
  ::WritePrivateProfileStringW(nullptr, nullptr, nullptr, temporary.c_str());
  return ReplaceWith(temporary, configPath);
}

bool WriteFileAtomically(const std::wstring& path, const std::string& bytes) {
  const std::wstring temporary = TemporaryNameFor(path);
  {
    base::KernelHandle file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    const bool ok = ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                    written == bytes.size() && ::FlushFileBuffers(file.Get());
    if (!ok) {
      file.Reset();
      ::DeleteFileW(temporary.c_str());
      return false;
    }
  }
  return ReplaceWith(temporary, path);
}

}  // namespace tray
