#pragma once
// Registry access with bounds: strings are read into a buffer one character larger than the stored
// bytes and always end in a terminator, whether or not the writer stored one.
#include <windows.h>

#include <string>

namespace assoc {

// Reads a REG_SZ (or REG_EXPAND_SZ, unexpanded) value of at most maxChars characters. The text
// ends at the first zero inside the stored bytes, or with them. False when the key or value is
// missing, of another type, or longer than maxChars.
bool ReadRegistryString(HKEY root, const std::wstring& subkey, const wchar_t* name, std::wstring& out,
                        size_t maxChars = MAX_PATH);
// Creates the key as needed and stores the text with its terminator.
bool WriteRegistryString(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& value);
// A value of type REG_NONE without data (the form of an open-with entry).
bool WriteRegistryEmpty(HKEY root, const std::wstring& subkey, const wchar_t* name);
bool HasRegistryValue(HKEY root, const std::wstring& subkey, const wchar_t* name);
// Deletes a value; true when it is absent afterwards.
bool DeleteRegistryValue(HKEY root, const std::wstring& subkey, const wchar_t* name);
// Deletes a key with everything under it; true when it is absent afterwards.
bool DeleteRegistryTree(HKEY root, const std::wstring& subkey);
// Deletes the key only when it holds no value and no subkey.
void DeleteRegistryKeyIfEmpty(HKEY root, const std::wstring& subkey);
bool RegistryKeyExists(HKEY root, const std::wstring& subkey);

}  // namespace assoc
