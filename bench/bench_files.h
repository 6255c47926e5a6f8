#pragma once
// The benchmarks' one way to read a picture file whole into memory.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace bench {

// False (and bytes empty) for a missing, empty or unreadable file, or one of a gigabyte or more.
inline bool ReadFileBytes(const std::wstring& path, std::vector<uint8_t>& bytes) {
  bytes.clear();
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  DWORD read = 0;
  bool ok = ::GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1LL << 30);
  if (ok) {
    bytes.resize(static_cast<size_t>(size.QuadPart));
    ok = ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
  }
  ::CloseHandle(file);
  if (!ok) bytes.clear();
  return ok;
}

}  // namespace bench
