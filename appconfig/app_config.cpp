#include "appconfig/app_config.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstdint>
#include <optional>

#include "appconfig/folders.h"
#include "appconfig/language.h"
#include "base/paths.h"
#include "base/profile.h"
#include "base/strings.h"

namespace {

constexpr wchar_t kApp[] = L"app";
constexpr wchar_t kDefault[] = L"Default";

// Every stored number is read as a 64-bit decimal; text without digits reads as 0.
std::optional<int64_t> ReadNumber(const std::wstring& file, const wchar_t* section, const wchar_t* key) {
  const std::optional<std::wstring> text = base::ReadProfileValue(file, section, key);
  if (!text) return std::nullopt;
  return base::ParseInt64(*text);
}

int Low32(int64_t value) { return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value))); }

// Boolean rule: 1 when any of the 64 bits is set.
void LoadBool(const std::wstring& file, const wchar_t* key, int& field) {
  if (const auto v = ReadNumber(file, kApp, key)) field = *v != 0 ? 1 : 0;
}

// Integer rule: only the low 32 bits take part in clamping.
void LoadClamped(const std::wstring& file, const wchar_t* key, int& field, int low, int high) {
  if (const auto v = ReadNumber(file, kApp, key)) field = std::clamp(Low32(*v), low, high);
}

// 99 (not chosen yet) stays; any other value is a Boolean.
void LoadWheelAction(const std::wstring& file, int& field) {
  if (const auto v = ReadNumber(file, kApp, L"mouse_wheel_action")) {
    field = Low32(*v) == AppConfig::kWheelNotChosen ? AppConfig::kWheelNotChosen : (*v != 0 ? 1 : 0);
  }
}

// "r,g,b": used only when there are exactly three parts; each part is cut to its low byte.
void LoadColor(const std::wstring& file, COLORREF& field) {
  std::wstring text;
  if (!base::ReadProfileString(file, kApp, L"canvas_back_color", text)) return;
  if (base::CountParts(text, L',') != 3) return;
  std::wstring_view rest = text;
  bool more = true;
  int part[3] = {};
  for (int& value : part) {
    const std::wstring piece(base::SplitNext(rest, L',', more));
    value = ::StrToIntW(piece.c_str()) & 0xFF;
  }
  field = RGB(part[0], part[1], part[2]);
}

void WriteText(const std::wstring& file, const wchar_t* key, const std::wstring& value) {
  ::WritePrivateProfileStringW(kApp, key, value.c_str(), file.c_str());
}

void WriteNumber(const std::wstring& file, const wchar_t* key, int64_t value) {
  (void)base::WriteProfileInt64(file, key, value, kApp);
}

RECT DesktopWorkArea() {
  RECT work{};
  if (!::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    work = {0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
  }
  return work;
}

}  // namespace

AppConfig& AppConfig::Get() {
  static AppConfig config(DefaultConfigPath());
  return config;
}

std::wstring AppConfig::DefaultConfigPath() {
  const std::wstring folder = GetDataFolder();
  if (folder.empty()) return {};
  return base::JoinPath(folder, L"config.ini");
}

AppConfig::AppConfig(std::wstring configPath) : config_path_(std::move(configPath)) { Load(); }

void AppConfig::Load() {
  static_cast<AppConfigValues&>(*this) = AppConfigValues{};
  const std::wstring& f = config_path_;
  if (!f.empty()) {
    if (auto text = base::ReadProfileValue(f, kApp, L"last_position")) last_position = *text;
    LoadClamped(f, L"max_zoom_ratio", max_zoom_ratio, 4, 32);
    LoadClamped(f, L"view_margin", view_margin, 0, 64);
    LoadColor(f, canvas_back_color);
    LoadBool(f, L"hardware_zoom", hardware_zoom);
    LoadBool(f, L"gps_map_vendor", gps_map_vendor);
    LoadBool(f, L"toolbar_dock", toolbar_dock);
  }
  LoadLanguage();
  if (!f.empty()) {
    LoadBool(f, L"show_delete_confirm", show_delete_confirm);
    LoadWheelAction(f, mouse_wheel_action);
    LoadBool(f, L"show_wheel_favorite", show_wheel_favorite);
    LoadBool(f, L"double_click_action", double_click_action);
    LoadBool(f, L"view_folder_loop", view_folder_loop);
    LoadBool(f, L"rotate_auto_save", rotate_auto_save);
    LoadBool(f, L"long_image_mode", long_image_mode);
    LoadClamped(f, L"save_jpeg_quality", save_jpeg_quality, 0, 100);
    LoadBool(f, L"preload_enable", preload_enable);
    LoadBool(f, L"orientation_by_tag", orientation_by_tag);
    LoadBool(f, L"ignore_embedded_icc", ignore_embedded_icc);
    LoadBool(f, L"only_one_instance", only_one_instance);
    LoadBool(f, L"completely_exit", completely_exit);
    LoadBool(f, L"set_default_viewer", set_default_viewer);
    LoadBool(f, L"default_viewer_start_tip", default_viewer_start_tip);
    LoadBool(f, L"user_set_default_viewer", user_set_default_viewer);
    (void)base::ReadProfileString(f, kApp, L"feedback_url", feedback_url);
  }
  // Until the user has answered the wheel question, the wheel does neither.
  if (show_wheel_favorite == 1) mouse_wheel_action = kWheelNotChosen;
  RefreshBackgroundBrush();
}

// The configured name, or the one for the system locale when the key is absent, becomes the
// process's language when that file exists; otherwise English. The field names the result.
void AppConfig::LoadLanguage() {
  std::wstring name;
  if (config_path_.empty() || !base::ReadProfileString(config_path_, kApp, L"language_id", name)) {
    name = ChooseLanguageFile();
  }
  if (!LanguageFileExists(name) || !SetCurrentLanguageName(name)) SetCurrentLanguageName(L"en.ini");
  language_id = GetCurrentLanguageName();
}

void AppConfig::Save() const {
  const std::wstring& f = config_path_;
  if (f.empty()) return;
  WriteText(f, L"last_position", last_position);
  WriteNumber(f, L"max_zoom_ratio", max_zoom_ratio);
  WriteNumber(f, L"view_margin", view_margin);
  WriteText(f, L"canvas_back_color", base::FormatW(L"%d,%d,%d", GetRValue(canvas_back_color),
                                                   GetGValue(canvas_back_color), GetBValue(canvas_back_color)));
  WriteNumber(f, L"hardware_zoom", hardware_zoom);
  WriteNumber(f, L"gps_map_vendor", gps_map_vendor);
  WriteNumber(f, L"toolbar_dock", toolbar_dock);
  WriteText(f, L"language_id", language_id);
  WriteNumber(f, L"show_delete_confirm", show_delete_confirm);
  WriteNumber(f, L"mouse_wheel_action", mouse_wheel_action);
  WriteNumber(f, L"show_wheel_favorite", show_wheel_favorite);
  WriteNumber(f, L"double_click_action", double_click_action);
  WriteNumber(f, L"view_folder_loop", view_folder_loop);
  WriteNumber(f, L"rotate_auto_save", rotate_auto_save);
  WriteNumber(f, L"long_image_mode", long_image_mode);
  WriteNumber(f, L"save_jpeg_quality", save_jpeg_quality);
  WriteNumber(f, L"preload_enable", preload_enable);
  WriteNumber(f, L"preload_thread", kPreloadThreads);
  WriteNumber(f, L"orientation_by_tag", orientation_by_tag);
  WriteNumber(f, L"ignore_embedded_icc", ignore_embedded_icc);
  WriteNumber(f, L"only_one_instance", only_one_instance);
  WriteNumber(f, L"set_default_viewer", set_default_viewer);
  WriteNumber(f, L"default_viewer_start_tip", default_viewer_start_tip);
  WriteNumber(f, L"completely_exit", completely_exit);
  WriteNumber(f, L"user_set_default_viewer", user_set_default_viewer);
}

void AppConfig::ReloadWheelSettings() {
  if (!config_path_.empty()) {
    LoadBool(config_path_, L"show_wheel_favorite", show_wheel_favorite);
    LoadWheelAction(config_path_, mouse_wheel_action);
  }
  if (show_wheel_favorite == 1) mouse_wheel_action = kWheelNotChosen;
}

int AppConfig::ReadSnipToolHotkey() const {
  if (config_path_.empty()) return 0;
  const auto v = ReadNumber(config_path_, kDefault, L"sniptool_hotkey");
  return v ? Low32(*v) : 0;
}

void AppConfig::ApplyWindowPlacement(HWND window) const {
  const RECT work = DesktopWorkArea();
  const std::wstring text = last_position.empty() ? placement::DefaultText(work) : last_position;
  RECT fitted{};
  if (placement::FitToWorkArea(text, work, fitted)) {
    ::SetWindowPos(window, nullptr, fitted.left, fitted.top, fitted.right - fitted.left, fitted.bottom - fitted.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
  } else {
    ::ShowWindow(window, SW_SHOWMAXIMIZED);
  }
}

std::wstring AppConfig::MakeWindowPlacement(HWND window) const {
  if (::IsZoomed(window)) return placement::MakeText(true, RECT{});
  if (::IsIconic(window)) {
    // A minimised window's rectangle is the parking place far off screen; store the place it
    // returns to instead, so that the next start does not open on a meaningless rectangle.
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(wp);
    if (::GetWindowPlacement(window, &wp)) {
      if (wp.flags & WPF_RESTORETOMAXIMIZED) return placement::MakeText(true, RECT{});
      RECT normal = wp.rcNormalPosition;  // work-area coordinates for an ordinary top-level window
      if ((::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW) == 0) {
        const RECT work = DesktopWorkArea();
        ::OffsetRect(&normal, work.left, work.top);
      }
      return placement::MakeText(false, normal);
    }
  }
  RECT rect{};
  ::GetWindowRect(window, &rect);
  return placement::MakeText(false, rect);
}

bool AppConfig::IsChineseLanguage() const { return language_id == L"cn_simp.ini" || language_id == L"cn_trad.ini"; }

bool AppConfig::IsCjkLanguage() const {
  return IsChineseLanguage() || language_id == L"ja.ini" || language_id == L"ko.ini";
}

void AppConfig::RefreshBackgroundBrush() { background_brush_.Reset(::CreateSolidBrush(canvas_back_color)); }

namespace placement {

std::wstring DefaultText(const RECT& workArea) {
  const LONG width = workArea.right - workArea.left;
  const LONG height = workArea.bottom - workArea.top;
  return base::FormatW(L"%d_%d_%d_%d", static_cast<int>(workArea.left + width / 6),
                       static_cast<int>(workArea.top + height / 10), static_cast<int>(workArea.right - width / 6),
                       static_cast<int>(workArea.bottom - height / 10));
}

namespace {
// Keeps the extent inside [low, high]: shifted back when it passes the far edge, else forward
// when it starts at a negative coordinate. The extent is already no larger than the area.
int64_t ShiftInto(int64_t start, int64_t extent, int64_t low, int64_t high) {
  if (start + extent > high) return high - extent;
  if (start < 0) return low;
  return start;
}
}  // namespace

bool FitToWorkArea(const std::wstring& text, const RECT& workArea, RECT& fitted) {
  if (base::CountParts(text, L'_') != 4) return false;
  std::wstring_view rest = text;
  bool more = true;
  int64_t v[4] = {};  // left, top, right, bottom; 64-bit so that no stored value can overflow
  for (int64_t& value : v) value = Low32(base::ParseInt64(base::SplitNext(rest, L'_', more)));
  const int64_t width = std::min<int64_t>(v[2] - v[0], workArea.right - workArea.left);
  const int64_t height = std::min<int64_t>(v[3] - v[1], workArea.bottom - workArea.top);
  if (width < 700 || height < 500) return false;
  const int64_t left = ShiftInto(v[0], width, workArea.left, workArea.right);
  const int64_t top = ShiftInto(v[1], height, workArea.top, workArea.bottom);
  fitted = {static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(left + width),
            static_cast<LONG>(top + height)};
  return true;
}

std::wstring MakeText(bool maximized, const RECT& windowRect) {
  if (maximized) return L"MAX";
  return base::FormatW(L"%d_%d_%d_%d", static_cast<int>(windowRect.left), static_cast<int>(windowRect.top),
                       static_cast<int>(windowRect.right), static_cast<int>(windowRect.bottom));
}

}  // namespace placement
