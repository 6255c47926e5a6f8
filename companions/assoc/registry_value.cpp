#include "companions/assoc/registry_value.h"

#include <algorithm>
#include <vector>

namespace assoc {

namespace {

class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) ::RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  bool Open(HKEY root, const std::wstring& subkey, REGSAM access) {
    return ::RegOpenKeyExW(root, subkey.c_str(), 0, access, &key_) == ERROR_SUCCESS;
  }
  bool Create(HKEY root, const std::wstring& subkey) {
    return ::RegCreateKeyExW(root, subkey.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key_, nullptr) ==
           ERROR_SUCCESS;
  }
  HKEY Get() const noexcept { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace

bool ReadRegistryString(HKEY root, const std::wstring& subkey, const wchar_t* name, std::wstring& out,
                        size_t maxChars) {
  out.clear();
  Key key;
  if (!key.Open(root, subkey, KEY_QUERY_VALUE)) return false;
  DWORD type = 0;
  DWORD bytes = 0;
  if (::RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return false;
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  // A stored terminator may or may not be counted; one character more than the limit allows for it.
  if (bytes / sizeof(wchar_t) > maxChars + 1) return false;
  std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 2, L'\0');
  DWORD size = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
  if (::RegQueryValueExW(key.Get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
      ERROR_SUCCESS) {
    return false;
  }
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  // The stored bytes bound the text; an odd last byte is not a character.
  const size_t stored = std::min<size_t>(size / sizeof(wchar_t), buffer.size() - 1);
  size_t length = 0;
  while (length < stored && buffer[length] != L'\0') ++length;
  if (length > maxChars) return false;
  out.assign(buffer.data(), length);
  return true;
}

bool WriteRegistryString(HKEY root, const std::wstring& subkey, const wchar_t* name, const std::wstring& value) {
  Key key;
  if (!key.Create(root, subkey)) return false;
  const DWORD bytes = static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t));
  return ::RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), bytes) ==
         ERROR_SUCCESS;
}

bool WriteRegistryEmpty(HKEY root, const std::wstring& subkey, const wchar_t* name) {
  Key key;
  if (!key.Create(root, subkey)) return false;
  return ::RegSetValueExW(key.Get(), name, 0, REG_NONE, nullptr, 0) == ERROR_SUCCESS;
}

bool HasRegistryValue(HKEY root, const std::wstring& subkey, const wchar_t* name) {
  Key key;
  if (!key.Open(root, subkey, KEY_QUERY_VALUE)) return false;
  return ::RegQueryValueExW(key.Get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool DeleteRegistryValue(HKEY root, const std::wstring& subkey, const wchar_t* name) {
  Key key;
  if (!key.Open(root, subkey, KEY_SET_VALUE)) return true;
  const LSTATUS status = ::RegDeleteValueW(key.Get(), name);
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool DeleteRegistryTree(HKEY root, const std::wstring& subkey) {
  if (subkey.empty()) return false;  // never the root itself
  const LSTATUS status = ::RegDeleteTreeW(root, subkey.c_str());
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return false;
  // RegDeleteTree empties the key; the key itself goes with RegDeleteKey.
  const LSTATUS gone = ::RegDeleteKeyW(root, subkey.c_str());
  return gone == ERROR_SUCCESS || gone == ERROR_FILE_NOT_FOUND;
}

void DeleteRegistryKeyIfEmpty(HKEY root, const std::wstring& subkey) {
  DWORD subkeys = 0;
  DWORD values = 0;
  {
    Key key;
    if (!key.Open(root, subkey, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS)) return;
    if (::RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                           nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
      return;
    }
  }
  if (subkeys == 0 && values == 0) ::RegDeleteKeyW(root, subkey.c_str());
}

bool RegistryKeyExists(HKEY root, const std::wstring& subkey) {
  Key key;
  return key.Open(root, subkey, KEY_QUERY_VALUE);
}

}  // namespace assoc
