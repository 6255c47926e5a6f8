#pragma once
// What the screen-capture hotkey does: the whole desktop is saved as a PNG picture in a folder
// (the user's Pictures folder) under a name with the time, written beside its final name first
// so that no half-written picture ever carries that name.
#include <windows.h>

#include <string>

namespace tray {

// The user's Pictures folder, with a trailing backslash; empty when unknown.
std::wstring PicturesFolder();
// "Quellin screenshot 2024-05-01 123045.png", with " (2)" and so on when that name is taken.
std::wstring CaptureFileName(const std::wstring& folder, const SYSTEMTIME& time);
// Captures the virtual screen into a new PNG file in the folder; the file's path, or empty on
// failure (no file is left behind then). COM must be initialised on the calling thread.
std::wstring CaptureScreenToFolder(const std::wstring& folder);

}  // namespace tray
