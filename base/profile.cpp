#include "base/profile.h"

#include <windows.h>

#include <vector>

#include "base/strings.h"

namespace base {

std::optional<std::wstring> ReadProfileValue(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  wchar_t buf[32] = {};
  ::GetPrivateProfileStringW(section, key, kAbsentMarker, buf, 32, file.c_str());
  const std::wstring value = buf;
  if (value.empty() || value == kAbsentMarker) return std::nullopt;
  return value;
}

bool ReadProfileString(const std::wstring& file, const wchar_t* section, const wchar_t* key, std::wstring& out) {
  wchar_t small[256] = {};
  const DWORD n = ::GetPrivateProfileStringW(section, key, kAbsentMarker, small, 256, file.c_str());
  if (wcscmp(small, kAbsentMarker) == 0) {
    out.clear();
    return false;
  }
  if (n < 249) {
    out = small;
    return true;
  }
  std::vector<wchar_t> large(4096, L'\0');
  ::GetPrivateProfileStringW(section, key, kAbsentMarker, large.data(), 4096, file.c_str());
  out = large.data();
  return true;
}

bool WriteProfileInt64(const std::wstring& file, const wchar_t* key, int64_t value, const wchar_t* section) {
  const std::wstring text = FormatW(L"%I64d", value);
  return ::WritePrivateProfileStringW(section, key, text.c_str(), file.c_str()) != FALSE;
}

}  // namespace base
