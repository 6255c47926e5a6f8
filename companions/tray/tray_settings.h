#pragma once
// What the tray companion keeps between runs, in "tray.ini" in the viewer's data folder, and the
// copy of the hotkey that the viewer's settings read ("config.ini" [Default] sniptool_hotkey).
// Every change rewrites a whole file beside the target and moves it over the target in one step,
// so that a companion ended at any moment leaves either the old file or the new one.
#include <cstdint>
#include <string>

namespace tray {

struct TraySettings {
  int quickIndex = 1;   // the viewer's quick-index option, 0 or 1
  int32_t hotkey = 0;   // hotkey-control value; 0 = none
  bool operator==(const TraySettings&) const = default;
};

// Reads the file; a missing file or key, or a value that is not a plain number in range, keeps
// the default of that field.
TraySettings LoadTraySettings(const std::wstring& path);
bool SaveTraySettings(const std::wstring& path, const TraySettings& settings);

// Sets [Default] sniptool_hotkey in the viewer's settings file and keeps everything else in it.
bool WriteViewerHotkey(const std::wstring& configPath, int32_t hotkey);

// Writes the bytes to a new file beside the target and replaces the target with it.
bool WriteFileAtomically(const std::wstring& path, const std::string& bytes);

}  // namespace tray
