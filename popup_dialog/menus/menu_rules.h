#pragma once
// What the two pop-up menus decide without a window: which command each item carries, when a
// context-menu item is enabled, where a menu goes on screen and on which side the wheel sub-list
// opens. Every placement keeps the visible menu inside the work area of its monitor.
#include <windows.h>

namespace popup_menu {

// The main menu's visible list, and the room the menu window keeps on either side of it for the
// wheel sub-list (the window is kWheelListWidth + kMainMenuWidth + kWheelListWidth wide).
inline constexpr int kMainMenuWidth = 238;
inline constexpr int kMainMenuHeight = 260;
inline constexpr int kWheelListWidth = 144;
inline constexpr int kWheelListTop = 113;
inline constexpr int kWheelListBottom = 193;
inline constexpr int kContextMenuWidth = 260;
inline constexpr int kContextMenuHeight = 366;

// Commands of the main menu's items by index; the wheel entry (index 3) carries none.
inline constexpr int kWheelEntryIndex = 3;
inline constexpr UINT kMainMenuTags[] = {21000, 26002, 21600, 0, 21800, 21804, 21801};
inline constexpr UINT kWheelListTags[] = {21700, 21701};

// What a context-menu item needs of the current picture.
enum class Needs { kNothing, kPicture, kFile, kFileAndPicture };
struct ContextItem {
  UINT tag;
  Needs needs;
};
inline constexpr ContextItem kContextItems[] = {
    {21000, Needs::kNothing},        // open
    {21002, Needs::kPicture},        // copy
    {20009, Needs::kFile},           // delete
    {21003, Needs::kFile},           // show in folder
    {21100, Needs::kFileAndPicture}, // print
    {21001, Needs::kPicture},        // save as
    {20002, Needs::kPicture},        // actual size
    {20013, Needs::kNothing},        // full screen
    {21101, Needs::kFileAndPicture}, // set as wallpaper
    {20000, Needs::kFileAndPicture}, // information panel
};

// The current picture as the context menu sees it: a picture is shown (decoded), and its file
// still exists on disk.
struct PictureState {
  bool shown = false;
  bool file_exists = false;
};
[[nodiscard]] bool IsEnabled(Needs needs, PictureState state) noexcept;

// The main menu's window position (its top-left corner) for the menu button's rectangle: the list
// opens below the button, or above it where the work area ends, is kept inside the work area on
// all four edges, and the window starts kWheelListWidth left of the list.
[[nodiscard]] POINT PlaceMainMenu(const RECT& anchor, const RECT& work) noexcept;
// The context menu's position for a screen point: moved up to end at the owner's bottom edge,
// left to end at the work area's right edge, and kept inside the work area.
[[nodiscard]] POINT PlaceContextMenu(POINT at, const RECT& owner, const RECT& work) noexcept;
// Where the wheel sub-list goes (menu window coordinates) beside the list at `list` (menu window
// coordinates) whose left edge is at listScreenLeft: left of the list unless that leaves the work
// area, right of it otherwise.
[[nodiscard]] RECT PlaceWheelList(const RECT& list, LONG listScreenLeft, const RECT& work) noexcept;
[[nodiscard]] bool WheelListOpensLeft(LONG listScreenLeft, const RECT& work) noexcept;

// The work area of the monitor that holds most of the rectangle (the nearest one otherwise).
[[nodiscard]] RECT WorkAreaAround(const RECT& rect) noexcept;

}  // namespace popup_menu
