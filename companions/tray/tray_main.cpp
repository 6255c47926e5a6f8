// QuellinTray.exe: the viewer's tray companion. One runs per machine. Started with the update
// switch it first hands the viewer's start back to the viewer (see update_handoff.h).
#include <windows.h>
#include <objbase.h>

#include "appconfig/app_config.h"
#include "appconfig/command_line.h"
#include "appconfig/folders.h"
#include "base/handles.h"
#include "companions/tray/companion_names.h"
#include "companions/tray/tray_companion.h"
#include "companions/tray/update_handoff.h"

namespace {

// How long the hand-off waits for the restarted viewer to reach its window before going on.
constexpr DWORD kViewerStartWaitMs = 30 * 1000;

void RelaunchViewer(const std::wstring& programFolder, const std::wstring& original) {
  if (programFolder.empty()) return;
  std::wstring commandLine = L"\"" + programFolder + tray::kViewerProgram + L"\"";
  if (!original.empty()) commandLine += L" " + original;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, programFolder.c_str(),
                        &startup, &process)) {
    return;
  }
  base::KernelHandle processHandle(process.hProcess);
  base::KernelHandle threadHandle(process.hThread);
  // The viewer has passed its update check once it waits for input (or has ended, having handed
  // the picture to a running viewer).
  ::WaitForInputIdle(processHandle.Get(), kViewerStartWaitMs);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const std::wstring parameters = tray::ParametersOf(::GetCommandLineW());
  CCommandLine commandLine;
  commandLine.Parse(parameters);
  const std::wstring programFolder = GetModuleFolder();

  base::KernelHandle upgrade;
  base::KernelHandle updateRunning;
  if (commandLine.HasSwitch(L"need-upgrade-privilege-now")) {
    upgrade.Reset(::CreateMutexW(nullptr, FALSE, tray::kTrayUpgradeMutex));
    // Another companion is handing this start back already.
    if (!upgrade || ::GetLastError() == ERROR_ALREADY_EXISTS) return 0;
    updateRunning.Reset(::CreateMutexW(nullptr, FALSE, tray::kUpdateRunningMutex));
    const bool cleared = !programFolder.empty() && tray::ClearUpdateState(programFolder + L"config.ini");
    RelaunchViewer(programFolder, tray::OriginalViewerCommandLine(parameters));
    // While the waiting state could not be removed, holding the updater's mutex for the
    // companion's life keeps every viewer start from handing off again.
    if (cleared) updateRunning.Reset();
  }

  base::KernelHandle single(::CreateMutexW(nullptr, FALSE, tray::kTrayMutex));
  if (!single || ::GetLastError() == ERROR_ALREADY_EXISTS) return 0;
  upgrade.Reset();

  // The viewer's settings choose the language of the menu.
  AppConfig::Get();
  int exitCode = 1;
  {
    tray::CTrayCompanion companion(instance, programFolder, GetDataFolder());
    if (companion.Start()) exitCode = companion.Run();
  }
  if (SUCCEEDED(com)) ::CoUninitialize();
  return exitCode;
}
