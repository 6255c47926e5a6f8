#include <windows.h>

#include "app/app.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int) {
  CDorvaneApp app(instance, commandLine ? commandLine : L"");
  // InitInstance answers FALSE in every outcome: the main window ran its own loop, or a switch
  // or another instance took the request.
  app.InitInstance();
  return app.ExitInstance();
}
