// Plays a viewer that crashes: installs the viewer's crash handling, then writes through a null
// pointer (or, with "abort", ends through the run-time's abort).
#include <windows.h>

#include <cstdlib>
#include <cwchar>

#include "app/crash_handler.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  InstallCrashHandler();
  SetCrashReportIdentity(L"quellinprobe", 0, L"1.2.3.4");
  if (commandLine && std::wcsstr(commandLine, L"abort")) std::abort();
  volatile int* nowhere = nullptr;
  *nowhere = 1;
  return 0;
}
