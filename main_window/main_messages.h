#pragma once
// The main window's private messages and command identifiers.
#include <windows.h>

#include <cstdint>

inline constexpr UINT WM_REFRESH_CHROME = 0x81FC;       // invalidate the toolbar, show the picture again
inline constexpr UINT WM_STARTUP_OPEN = 0x81FE;         // posted to itself at creation
inline constexpr UINT WM_OPEN_PATH = 0x81FF;            // wParam: path (const wchar_t*); bring to front and open
inline constexpr UINT WM_ASK_DEFAULT_VIEWER = 0x8200;   // from the default-viewer check thread
inline constexpr UINT WM_QUICK_INDEX_CHANGED = 0x8201;  // lParam: new state
inline constexpr UINT WM_SET_DEFAULT_VIEWER = 0x8202;   // lParam: on or off

namespace main_command {
enum : UINT {
  kInfoPanel = 20000,
  kMap = 20001,
  kActualSize = 20002,
  kZoomIn = 20003,
  kZoomOut = 20004,
  kPrevious = 20005,
  kNext = 20006,
  kRotateLeft = 20007,
  kRotateRight = 20008,
  kDelete = 20009,
  kResize = 20010,
  kAdjust = 20011,
  kMainMenu = 20012,
  kFullScreen = 20013,
  kOpen = 21000,
  kSaveAs = 21001,
  kCopy = 21002,
  kShowInFolder = 21003,
  kPrint = 21100,
  kWallpaper = 21101,
  kTopmost = 21600,
  kWheelPages = 21700,
  kWheelZooms = 21701,
  kToolbarTop = 21750,
  kToolbarBottom = 21751,
  kSettings = 21800,
  kAbout = 21801,
  kShowAgain = 21802,
  kOpenWith = 21803,
  kFeedback = 21804,
  kScrollUp = 26000,
  kScrollDown = 26001,
  kToggleDefaultViewer = 26002,
  kCloseButton = 1023,
  kMaximizeButton = 1026,
  kMinimizeButton = 1027,
};
}  // namespace main_command

// Timers of the main window.
inline constexpr UINT_PTR kForcedExitTimer = 4096;
inline constexpr UINT_PTR kCompanionTimer = 4097;
inline constexpr UINT_PTR kOriginTimer = 4098;

// Messages of the channel to the tray companion.
namespace main_channel {
inline constexpr int32_t kCompanionRouting = 1;
enum : uint32_t {
  kQuickIndex = 1,   // int32: the quick-index option, 0 or 1
  kExit = 2,         // the last viewer closes (to the companion) / quit (from it)
  kHotkey = 3,       // int32: the screen-capture hotkey
  kAssociation = 4,  // byte string: extension in lower case or "open"; int32: 0 or 1
};
}  // namespace main_channel
