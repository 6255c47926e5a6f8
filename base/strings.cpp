#include "base/strings.h"

#include <shlwapi.h>

#include <cstdarg>
#include <cwchar>
#include <limits>
#include <vector>

namespace base {

namespace {
std::wstring MultiByteToWide(UINT codePage, std::string_view text) {
  if (text.empty()) return {};
  const int n = ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}
}  // namespace

std::wstring Utf8ToWide(std::string_view text) { return MultiByteToWide(CP_UTF8, text); }
std::wstring AnsiToWide(std::string_view text) { return MultiByteToWide(CP_ACP, text); }

std::string WideToUtf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                      nullptr, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

std::wstring FormatW(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int n = _vscwprintf(format, copy);
  va_end(copy);
  std::wstring out;
  if (n > 0) {
    std::vector<wchar_t> buf(static_cast<size_t>(n) + 1);
    _vsnwprintf(buf.data(), buf.size(), format, args);
    out.assign(buf.data(), static_cast<size_t>(n));
  }
  va_end(args);
  return out;
}

int64_t ParseInt64(std::wstring_view text) noexcept {
  size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t' || text[i] == L'\r' || text[i] == L'\n')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) {
    negative = text[i] == L'-';
    ++i;
  }
  uint64_t value = 0;
  bool overflow = false;
  const uint64_t limit = negative ? uint64_t{1} << 63 : static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    const uint64_t digit = static_cast<uint64_t>(text[i] - L'0');
    if (value > (limit - digit) / 10) {
      overflow = true;
      break;
    }
    value = value * 10 + digit;
  }
  if (overflow) return negative ? std::numeric_limits<int64_t>::min() : std::numeric_limits<int64_t>::max();
  if (negative) return value == (uint64_t{1} << 63) ? std::numeric_limits<int64_t>::min() : -static_cast<int64_t>(value);
  return static_cast<int64_t>(value);
}

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) noexcept {
  return a.size() == b.size() &&
         ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()), TRUE) ==
             CSTR_EQUAL;
}

bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) noexcept {
  return text.size() >= prefix.size() && EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

bool ContainsNoCase(std::wstring_view text, std::wstring_view part) noexcept {
  if (part.empty()) return true;
  if (part.size() > text.size()) return false;
  for (size_t i = 0; i + part.size() <= text.size(); ++i) {
    if (EqualsNoCase(text.substr(i, part.size()), part)) return true;
  }
  return false;
}

std::wstring_view SplitNext(std::wstring_view& rest, wchar_t separator, bool& more) noexcept {
  const size_t pos = rest.find(separator);
  if (pos == std::wstring_view::npos) {
    std::wstring_view part = rest;
    rest = {};
    more = false;
    return part;
  }
  std::wstring_view part = rest.substr(0, pos);
  rest.remove_prefix(pos + 1);
  more = true;
  return part;
}

size_t CountParts(std::wstring_view text, wchar_t separator) noexcept {
  size_t n = 1;
  for (wchar_t c : text) n += (c == separator) ? 1 : 0;
  return n;
}

}  // namespace base
