#pragma once
// INI (private profile) access shared by the settings store and the language tables.
// A read uses the text "\n" (one line feed) as the marker of an absent key.
#include <cstdint>
#include <optional>
#include <string>

namespace base {

inline constexpr wchar_t kAbsentMarker[] = L"\n";

// Reads a short value into a 32-character buffer. Present unless the result is empty or the marker.
std::optional<std::wstring> ReadProfileValue(const std::wstring& file, const wchar_t* section, const wchar_t* key);

// Reads with a 256-character buffer and re-reads into 4096 characters when the reported length
// is 249 or more. False when the result is the marker (an empty value counts as present).
bool ReadProfileString(const std::wstring& file, const wchar_t* section, const wchar_t* key, std::wstring& out);

// Writes the value formatted with "%I64d".
bool WriteProfileInt64(const std::wstring& file, const wchar_t* key, int64_t value, const wchar_t* section);

}  // namespace base
