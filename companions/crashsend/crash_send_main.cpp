// CrashSend.exe: started by a crashing viewer, writes a dump of it into the crash folder and ends.
#include <windows.h>

#include "appconfig/folders.h"
#include "companions/crashsend/crash_dump.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
  const auto request = crash_send::ParseRequest(commandLine ? commandLine : L"");
  if (!request) return 2;
  EnsureDataFolders();
  return crash_send::WriteDump(*request, GetCrashFolder()).empty() ? 1 : 0;
}
