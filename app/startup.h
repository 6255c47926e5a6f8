#pragma once
// What a start of the viewer decides before any window exists: the switches that do all the
// work ("install", "uninstall"), the hand-over of the request to a running instance, the update
// hand-off to the tray companion, and the helpers these need.
#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

class CCommandLine;

namespace startup {

// Titles of the running instance's hidden hand-over receivers.
inline constexpr wchar_t kReceiverTitle[] = L"43AF68E358C97DCF97C45EA164F";
inline constexpr wchar_t kAlwaysReceiverTitle[] = L"IPC-43AF68E358C97DCF97C45EA164F_Always";
// Identifier of a hand-over record (a UTF-16 text with its terminating zero).
inline constexpr ULONG_PTR kHandOverId = 0x22678201;
inline constexpr wchar_t kMainWindowClass[] = L"QuellinMainFrameClass-b1f78b3cc4bd764c";
// The caption of a main window that shows no picture; such a window takes over a request.
inline constexpr wchar_t kIdleMainWindowTitle[] = L"Quellin";

inline constexpr wchar_t kFileAssociationMutex[] = L"QlMainSetFileAssociation-9c1a7e1574578709";
inline constexpr wchar_t kUpdateRunningMutex[] = L"QUELLIN_570E6FBC-027B-461C-9218-8447018C832F";
inline constexpr wchar_t kUpgradeGuardMutex[] = L"9BB62ABF-C1B3-43ED-BABF-B085F3FB3A57";
inline constexpr wchar_t kTrayMutex[] = L"Global\\QlTray-95745a12eeaa410d";
inline constexpr wchar_t kTrayUpgradeMutex[] = L"QlTrayUpgradePrivilegeName-d7a77ee6517af62d";

// Ends this process now (0) or lets start-up go on (1).
int HandleStartupSwitches(const CCommandLine& commandLine);

// Sends a hand-over record to a window; the window's answer, or 0 when it could not be
// delivered (a hung receiver counts as a refusal rather than holding up this start).
LRESULT SendHandOver(HWND target, const std::wstring& text);
// Hands the text to the running instance's always-present receiver; 0 when there is none.
LRESULT SendToAlwaysReceiver(const std::wstring& text);

// True when a mutex of that name exists (also when it exists but may not be opened by us).
bool IsNamedMutexPresent(const wchar_t* name);

// An update waits for elevation: the program folder's "config.ini" says so in [update] state
// and no updater holds its mutex.
bool IsUpdatePending();
// The same decision for a given settings file.
bool IsUpdatePendingIn(const std::wstring& configPath);

// Starts "QuellinTray.exe" beside the executable with the parameters followed by " --from=main",
// unless the companion (or its elevated twin) already runs. True when the shell started it.
bool StartTrayCompanion(const std::wstring& extraParameters);

// Top-level windows of a class, found with EnumWindows. Windows of this process and windows
// whose owner process is unknown are skipped.
struct WindowEnumContext {
  bool stopAfterFirst = false;
  DWORD processId = 0;  // 0 = any other process
  std::wstring className;
  std::vector<std::pair<HWND, std::wstring>> found;
};
void FindTopLevelWindows(WindowEnumContext& context);

}  // namespace startup
