#pragma once
// A user's keyboard and mouse, for driving a window of another process: every key, click and wheel
// notch goes through SendInput, the same path a real device takes, to the foreground window (keys)
// or to the window under the pointer (mouse).
#include <windows.h>

#include <initializer_list>
#include <iterator>

namespace e2e {

// Makes the window the foreground window, borrowing the input state of the current foreground
// thread when the system would refuse the change; true when the window is foreground afterwards.
bool BringToForeground(HWND window);

// Presses and releases a virtual key, with the modifier keys (VK_CONTROL, VK_SHIFT, VK_MENU) held.
void PressKey(WORD vk, std::initializer_list<WORD> modifiers = {});
// One key-down of a held key; a second down before the key goes up is an auto-repeat.
void KeyDown(WORD vk);
void KeyUp(WORD vk);
// Types a character the way the keyboard layout makes it (with Shift when the layout needs it);
// false when the layout has no key for it.
bool TypeCharacter(wchar_t character);

// Puts the pointer on a screen point; true when the cursor is there afterwards.
bool MoveMouse(POINT screen);
// Left clicks (two quick ones for a double click) at a screen point.
void Click(POINT screen, int count = 1);
// Turns the wheel by notches (positive: away from the user) with the pointer at a screen point.
void Wheel(POINT screen, int notches, std::initializer_list<WORD> modifiers = {});

}  // namespace e2e
