// A stand-in for the association library "AssocKit32.dll", for end-to-end tests: each export
// appends "<name> <argument in hex>" and a line break to the file named by QL_ASSOC_LOG.
#include <windows.h>

#include <cstdint>
#include <cstdio>

namespace {

void Record(const char* name, uint32_t argument) {
  wchar_t path[MAX_PATH] = {};
  const DWORD n = ::GetEnvironmentVariableW(L"QL_ASSOC_LOG", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  HANDLE file = ::CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  char line[128];
  const int length = std::snprintf(line, sizeof(line), "%s %08lx\n", name, static_cast<unsigned long>(argument));
  DWORD written = 0;
  if (length > 0) ::WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
  ::CloseHandle(file);
}

}  // namespace

extern "C" {
__declspec(dllexport) int WINAPI SetDefaultImageViewer(uint32_t argument) {
  Record("SetDefaultImageViewer", argument);
  return 1;
}

__declspec(dllexport) int WINAPI UnInstall(uint32_t argument) {
  Record("UnInstall", argument);
  return 1;
}
}
