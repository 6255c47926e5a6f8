#pragma once
// Names the tray companion shares with the viewer and with the tests that drive it.
namespace tray {

// One companion per machine; a second start ends at once.
inline constexpr wchar_t kTrayMutex[] = L"Global\\QlTray-95745a12eeaa410d";
// Held while a companion hands an update start back to the viewer.
inline constexpr wchar_t kTrayUpgradeMutex[] = L"QlTrayUpgradePrivilegeName-d7a77ee6517af62d";
// The updater's mutex: while it exists no viewer hands its start to the companion.
inline constexpr wchar_t kUpdateRunningMutex[] = L"QUELLIN_570E6FBC-027B-461C-9218-8447018C832F";

// The companion's hidden window, which owns the notification icon, its menu and the hotkey.
inline constexpr wchar_t kTrayWindowClass[] = L"QuellinTrayWnd-95745a12eeaa410d";
// Its menu commands (WM_COMMAND).
inline constexpr unsigned kCommandOpenViewer = 1001;
inline constexpr unsigned kCommandQuit = 1002;
inline constexpr int kCaptureHotkeyId = 1;

inline constexpr wchar_t kTraySettingsFile[] = L"tray.ini";
inline constexpr wchar_t kViewerProgram[] = L"QuellinImg.exe";

}  // namespace tray
