#pragma once
// The process-wide settings store: one plain field per "config.ini" key. Other parts read and
// change the fields directly and then call Save. The file is a private-profile (INI) file that
// sibling programs of the product share.
#include <windows.h>

#include <string>

#include "base/handles.h"

// The stored preferences with their defaults, in file order. Booleans hold 0 or 1 after loading.
// Kept apart from AppConfig so that a load can start again from the defaults in one assignment.
struct AppConfigValues {
  std::wstring last_position;
  int max_zoom_ratio = 8;
  int view_margin = 24;
  COLORREF canvas_back_color = RGB(255, 255, 255);
  int hardware_zoom = 0;
  int gps_map_vendor = 0;
  int toolbar_dock = 1;
  std::wstring language_id;
  int show_delete_confirm = 1;
  int mouse_wheel_action = 99;
  int show_wheel_favorite = 1;
  int double_click_action = 0;
  int view_folder_loop = 0;
  int rotate_auto_save = 0;
  int long_image_mode = 0;
  int save_jpeg_quality = 80;
  int preload_enable = 1;
  int orientation_by_tag = 0;
  int ignore_embedded_icc = 0;
  int only_one_instance = 0;
  int completely_exit = 0;
  int quick_index_state = 1;  // run-time only; never stored
  int set_default_viewer = 0;
  int default_viewer_start_tip = 1;
  int user_set_default_viewer = 0;
  // The feedback server's address: https, or http to the loopback host. Read, never written:
  // it is set by whoever deploys the product, and while it is empty no feedback is sent.
  std::wstring feedback_url;

  // The display enhancement chosen in the adjustment window (0 = none). Kept with the settings
  // but never read from or written to the file.
  int view_enhance_mode = 0;
  // Run-time only: 1 while the adjustment of the adjustment window stays applied after it closed.
  int view_adjust_kept = 0;
  // Run-time only: 1 while the toolbar's actual-size button offers "actual size", 0 while it
  // offers "fit to window".
  int actual_size_button_normal = 1;
};

class AppConfig : public AppConfigValues {
 public:
  // "mouse_wheel_action" while the user has not chosen what the wheel does.
  static constexpr int kWheelNotChosen = 99;
  // "preload_thread" is written with every save for the product's other programs; never read.
  static constexpr int kPreloadThreads = 3;

  // The store of this process, loaded from the data folder's "config.ini" on first use.
  static AppConfig& Get();
  // "config.ini" in the data folder; empty when the data folder is unknown or too long.
  static std::wstring DefaultConfigPath();

  // A store bound to a given file (tests and tools); loads it at once. With an empty path
  // nothing is read or written and the defaults stay.
  explicit AppConfig(std::wstring configPath);
  virtual ~AppConfig() = default;
  AppConfig(const AppConfig&) = delete;
  AppConfig& operator=(const AppConfig&) = delete;

  const std::wstring& ConfigPath() const { return config_path_; }

  // Starts from the defaults and reads every key; also fixes the process's language.
  void Load();
  // Writes every key of section "app" in the fixed order; failures are ignored.
  void Save() const;
  // Re-reads the two wheel keys, which another instance may have changed meanwhile.
  void ReloadWheelSettings();
  // [Default] "sniptool_hotkey", written by the tray companion; 0 when absent.
  int ReadSnipToolHotkey() const;
  // Places the window from "last_position" on the desktop work area, or maximises it.
  void ApplyWindowPlacement(HWND window) const;
  // "MAX" or "l_t_r_b" for the window's current (or, when minimised, restored) state.
  std::wstring MakeWindowPlacement(HWND window) const;
  bool IsChineseLanguage() const;
  bool IsCjkLanguage() const;
  HBRUSH BackgroundBrush() const { return background_brush_.Get(); }
  // Remakes the background brush after "canvas_back_color" changed.
  void RefreshBackgroundBrush();

 private:
  void LoadLanguage();

  std::wstring config_path_;
  base::BrushHandle background_brush_;
};

// Pure placement arithmetic, kept apart so it can be checked on given work areas.
namespace placement {
// The default rectangle text for a work area: shrunk by a sixth of its width left and right and
// a tenth of its height top and bottom, as "%d_%d_%d_%d".
std::wstring DefaultText(const RECT& workArea);
// Parses "l_t_r_b" and fits it into the work area. False when the text has not exactly four
// parts or the fitted rectangle is smaller than 700 x 500 (the window is then maximised).
bool FitToWorkArea(const std::wstring& text, const RECT& workArea, RECT& fitted);
// The stored text for a window state: "MAX" when maximised, else "l_t_r_b".
std::wstring MakeText(bool maximized, const RECT& windowRect);
}  // namespace placement
