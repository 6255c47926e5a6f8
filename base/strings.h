#pragma once
// Text helpers: UTF-16 inside, conversions only at the edges.
#include <windows.h>
#include <cstdint>
#include <string>
#include <string_view>

namespace base {

std::wstring Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);

// printf-style formatting into a wide string (uses the CRT's wide formatting, so "%I64d" works).
std::wstring FormatW(const wchar_t* format, ...);

// Parses a decimal integer the way the CRT's _wtoi64 does: leading blanks, an optional sign,
// then digits up to the first non-digit. Text without digits gives 0; overflow saturates.
int64_t ParseInt64(std::wstring_view text) noexcept;

bool EqualsNoCase(std::wstring_view a, std::wstring_view b) noexcept;
bool StartsWithNoCase(std::wstring_view text, std::wstring_view prefix) noexcept;
bool ContainsNoCase(std::wstring_view text, std::wstring_view part) noexcept;

// Splits at every occurrence of the separator; "a,,b" gives three parts, "" gives one empty part.
std::wstring_view SplitNext(std::wstring_view& rest, wchar_t separator, bool& more) noexcept;
size_t CountParts(std::wstring_view text, wchar_t separator) noexcept;

}  // namespace base
