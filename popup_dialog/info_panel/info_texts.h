#pragma once
// The texts of the information panel, made without a window: the file facts of the current path,
// the camera values of its metadata record and the language lists they are looked up in. Every
// missing piece gives an empty text.
#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "image/exif/metadata.h"

namespace info_panel {

// What the file system says about the file at a path, read by its exact name (never as a pattern).
struct FileFacts {
  std::wstring file_name;  // without the folder
  uint64_t size = 0;
  FILETIME modified{};
};
// False (facts untouched) when no file has exactly that name.
bool ReadFileFacts(const std::wstring& path, FileFacts& facts);

// "holiday.photo.jpeg" -> "holiday.photo"; a name without a dot stays whole.
std::wstring FileTitle(const std::wstring& fileName);
// "holiday.photo.jpeg" -> "JPEG"; empty for a name without a dot.
std::wstring FileType(const std::wstring& fileName);
// "YYYY-MM-DD hh:mm:ss" of a file time in local time; empty for the time 0.
std::wstring LocalTimeText(const FILETIME& time);
// A stored EXIF time of six numbers separated by blanks, colons or hyphens, written
// "YYYY-MM-DD hh:mm:ss" with zeros filled in; any other text unchanged.
std::wstring ShootingTimeText(const std::wstring& stored);

// A language list: items separated by "/", empty items dropped.
std::vector<std::wstring> SplitList(const std::wstring& list);
// The language lists of the metering mode, flash, white balance and exposure program.
struct Lists {
  std::wstring metering;       // 7 items, item 1..6 for the mode
  std::wstring flash;          // 2 items: fired, did not fire
  std::wstring white_balance;  // 2 items: manual, auto
  std::wstring program;        // 9 items, item 1..8 for the program
};
std::wstring MeteringText(const std::wstring& value, const std::wstring& list);
std::wstring FlashText(const std::wstring& value, const std::wstring& list);
std::wstring WhiteBalanceText(const std::wstring& value, const std::wstring& list);
std::wstring ExposureProgramText(const std::wstring& value, const std::wstring& list);

// The nineteen rows by control name, in the order they are filled. file: null when no file was
// found at the path; metadata: null when no picture is open.
using Rows = std::vector<std::pair<const wchar_t*, std::wstring>>;
Rows ComposeRows(const FileFacts* file, const ImageMetadata* metadata, SIZE displaySize, const Lists& lists);

}  // namespace info_panel
