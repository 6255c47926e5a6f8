#include "popup_dialog/info_panel/show_exif.h"

#include "appconfig/language.h"
#include "image/current_image.h"
#include "popup_dialog/info_panel/info_texts.h"

namespace {

// The value lists of the metering mode, flash, white balance and exposure program.
constexpr wchar_t kListSection[] = L"EXIF";
constexpr wchar_t kCaptionSection[] = L"INFO_PANEL";

// Captions by control name and their keys in the language file.
constexpr std::pair<const wchar_t*, int> kCaptions[] = {
    {L"title", 1},
    {L"file_group", 2},
    {L"camera_group", 3},
    {L"name_caption", 10},
    {L"type_caption", 11},
    {L"capacity_caption", 12},
    {L"size_caption", 13},
    {L"modify_time_caption", 14},
    {L"shooting_time_caption", 15},
    {L"firm_caption", 16},
    {L"dev_model_caption", 17},
    {L"camera_lens_caption", 18},
    {L"aperture_value_caption", 19},
    {L"max_aperture_value_caption", 20},
    {L"time_of_exposure_caption", 21},
    {L"resolving_power_caption", 22},
    {L"ISO_caption", 23},
    {L"focal_length_caption", 24},
    {L"test_model_caption", 25},
    {L"flash_lamp_caption", 26},
    {L"white_balance_caption", 27},
    {L"program_caption", 28},
    {L"map", 40},
};

}  // namespace

WndShowExif2::WndShowExif2(HWND mainWindow, AppConfig& config, MapOpener openMap)
    : main_window_(mainWindow), config_(config), open_map_(std::move(openMap)) {}

bool WndShowExif2::Open() {
  if (GetHWND()) return true;
  const DWORD style = WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU;
  return Create(main_window_, style, WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE) != nullptr;
}

void WndShowExif2::OnWindowInit() {
  for (const auto& [name, key] : kCaptions) {
    if (skin::Control* control = FindControl(name)) control->SetText(GetLanguageStringById(kCaptionSection, key));
  }
  RefreshInfoPanel();
}

void WndShowExif2::RefreshInfoPanel() {
  const CCurrentImage& image = CCurrentImage::Get();
  const CWICImageLoaderPtr loader = image.Loader();
  info_panel::FileFacts facts;
  const bool found = info_panel::ReadFileFacts(image.Path(), facts);
  const info_panel::Lists lists{GetLanguageString(kListSection, L"80"), GetLanguageString(kListSection, L"81"),
                                GetLanguageString(kListSection, L"82"), GetLanguageString(kListSection, L"83")};
  const SIZE size = loader ? loader->GetDisplaySize() : SIZE{0, 0};
  const info_panel::Rows rows =
      info_panel::ComposeRows(found ? &facts : nullptr, loader ? &loader->Metadata() : nullptr, size, lists);
  for (const auto& [name, text] : rows) {
    if (skin::Control* control = FindControl(name)) {
      control->SetText(text);
      control->SetTooltip(text);
    }
  }
  gps_ = loader ? loader->Metadata().gps : std::wstring();
  if (skin::Control* map = FindControl(L"map")) map->SetVisible(!gps_.empty());
}

void WndShowExif2::PlaceInfoPanel(const RECT& button) {
  HWND window = GetHWND();
  if (!window) return;
  RECT own{};
  ::GetWindowRect(window, &own);
  const LONG height = own.bottom - own.top;
  const LONG top = config_.toolbar_dock == 1 ? button.top - height : button.bottom;
  ::SetWindowPos(window, nullptr, button.left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!::IsWindowVisible(window)) ::ShowWindow(window, SW_SHOWNOACTIVATE);
}

void WndShowExif2::OnUIEvent(const CUIEventParam& event) {
  if (event.GetType() == CUIEventViewImageChanged::Type()) RefreshInfoPanel();
}

void WndShowExif2::OnNotify(skin::Notification& notification) {
  if (notification.Is(L"click")) {
    if (notification.From(L"cls")) {
      if (main_window_ && ::IsWindow(main_window_)) {
        ::PostMessageW(main_window_, WM_COMMAND, kCommandInfoPanel, 0);
      }
      return;
    }
    if (notification.From(L"map")) {
      if (open_map_ && !gps_.empty()) open_map_(gps_);
      return;
    }
  }
  CUseZipResourceDuiWnd::OnNotify(notification);
}

LRESULT WndShowExif2::OnMessage(UINT message, WPARAM, LPARAM, bool& handled) {
  // Clicks work without making the panel the active window: the keys stay with the main window.
  if (message == WM_MOUSEACTIVATE) {
    handled = true;
    return MA_NOACTIVATE;
  }
  handled = false;
  return 0;
}
