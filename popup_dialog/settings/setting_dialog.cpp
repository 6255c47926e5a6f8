#include "popup_dialog/settings/setting_dialog.h"

#include <cwchar>

#include "popup_dialog/settings/number_field.h"
#include "skin/controls/container.h"
#include "skin/controls/edit.h"
#include "skin/controls/list.h"

namespace {

constexpr wchar_t kSection[] = L"DLG_SETTING";
// Texts of this window that the section above does not have.
constexpr wchar_t kExtraSection[] = L"DLG_SETTING_PAGES";
constexpr int kHotkeyPage = 3;

// One option of the habit and general pages: the setting it writes, and with which value when
// selected (kCheckState: the check box's state). Options of one group write their own value
// only when selected.
constexpr int kCheckState = -1;
struct OptionRule {
  const wchar_t* name;
  int AppConfigValues::*setting;
  int value;
  bool reload;  // changes how pictures are shown
};

constexpr OptionRule kOptionRules[] = {
    {L"turnpage", &AppConfigValues::mouse_wheel_action, 0, false},
    {L"scale", &AppConfigValues::mouse_wheel_action, 1, false},
    {L"double", &AppConfigValues::double_click_action, 0, true},
    {L"origin", &AppConfigValues::double_click_action, 1, true},
    {L"tencent", &AppConfigValues::gps_map_vendor, 0, false},
    {L"google", &AppConfigValues::gps_map_vendor, 1, false},
    {L"loop", &AppConfigValues::view_folder_loop, kCheckState, true},
    {L"rotate_save", &AppConfigValues::rotate_auto_save, kCheckState, false},
    {L"ignore_icc", &AppConfigValues::ignore_embedded_icc, kCheckState, true},
    {L"hard_speed_up", &AppConfigValues::hardware_zoom, kCheckState, true},
    {L"confirm_del", &AppConfigValues::show_delete_confirm, kCheckState, false},
    {L"long_graph", &AppConfigValues::long_image_mode, kCheckState, true},
    {L"only_one_wnd", &AppConfigValues::only_one_instance, kCheckState, false},
    {L"cls_exit_service", &AppConfigValues::completely_exit, kCheckState, false},
    {L"quick_indexes", &AppConfigValues::quick_index_state, kCheckState, false},
};

const OptionRule* RuleFor(const std::wstring& name) {
  for (const OptionRule& rule : kOptionRules) {
    if (name == rule.name) return &rule;
  }
  return nullptr;
}

}  // namespace

const std::vector<std::wstring>& DlgSetting2::FileTypeNames() {
  static const std::vector<std::wstring> kNames = {L"jpg", L"gif", L"png", L"bmp", L"tiff", L"ico", L"webp", L"tga",
                                                   L"psd", L"jp2", L"pcx", L"raw", L"g3",  L"dds", L"cut",  L"xbm",
                                                   L"xpm", L"wmf", L"pfm", L"pcd", L"j2k", L"hdr", L"sgi",  L"exr"};
  return kNames;
}

DlgSetting2::DlgSetting2(AppConfig& config, std::unique_ptr<popup_dialog::SettingsEffects> effects)
    : CMultiLanguageLoader(kSection),
      config_(config),
      effects_(std::move(effects)),
      hotkey_(HotkeyPrompts{GetLanguageString(kExtraSection, L"HOTKEY_IDLE"),
                            GetLanguageString(kExtraSection, L"HOTKEY_ACTIVE")}) {}

DlgSetting2::~DlgSetting2() {
  // The file-type choices of this opening go to the association library together.
  if (effects_) effects_->ApplyTypeChoices();
}

void DlgSetting2::SetText(const wchar_t* control, int key) {
  if (skin::Control* found = FindControl(control)) found->SetText(GetString(key));
}

void DlgSetting2::SetExtraText(const wchar_t* control, const wchar_t* key) {
  if (skin::Control* found = FindControl(control)) found->SetText(GetLanguageString(kExtraSection, key));
}

void DlgSetting2::Check(const wchar_t* control, bool on) {
  if (auto* option = FindControlAs<skin::Option>(control)) option->SetSelected(on, false);
}

skin::Option* DlgSetting2::Remember(const wchar_t* control) { return FindControlAs<skin::Option>(control); }

void DlgSetting2::OnWindowInit() {
  CenterWindow(::GetWindow(GetHWND(), GW_OWNER));
  SetExtraText(L"title", L"TITLE");
  if (auto* pages = FindControlAs<skin::List>(L"pagelist")) {
    if (skin::ListItem* item = pages->ItemAt(0)) item->SetText(GetString(2));
    if (skin::ListItem* item = pages->ItemAt(1)) item->SetText(GetString(1));
    if (skin::ListItem* item = pages->ItemAt(2)) item->SetText(GetString(3));
    if (skin::ListItem* item = pages->ItemAt(3)) item->SetText(GetLanguageString(kExtraSection, L"SHOT"));
    pages->SelectItem(0, false);
  }
  FillHabitPage();
  FillRoutinePage();
  FillFileTypePage();
  // The value comes from a file other programs write: an odd one shows as no hotkey.
  hotkey_value_ = hotkey::StoredValue(config_.ReadSnipToolHotkey());
  SetExtraText(L"hotkey_heading", L"HOTKEY");
  SetExtraText(L"hotkey_tip", L"HOTKEY_TIP");
  SetExtraText(L"hotkey_failed", L"HOTKEY_FAILED");
  SetExtraText(L"reset", L"RESET");
  FitOptionWidths();
}

void DlgSetting2::FillHabitPage() {
  SetText(L"roller", 100);
  SetText(L"turnpage", 101);
  SetText(L"scale", 102);
  SetText(L"dbclick", 103);
  SetText(L"double", 104);
  SetText(L"origin", 105);
  SetText(L"gps", 106);
  SetText(L"tencent", 107);
  SetText(L"google", 108);
  SetText(L"max_multiple", 109);
  SetText(L"loop", 110);
  SetText(L"rotate_save", 113);
  SetText(L"ignore_icc", 114);
  if (skin::Control* field = FindControl(L"num_multiple")) field->SetText(std::to_wstring(config_.max_zoom_ratio));
  // The wheel shows no choice while the user has not made one.
  Check(L"turnpage", config_.mouse_wheel_action == 0);
  Check(L"scale", config_.mouse_wheel_action == 1);
  Check(L"double", config_.double_click_action == 0);
  Check(L"origin", config_.double_click_action == 1);
  Check(L"tencent", config_.gps_map_vendor == 0);
  Check(L"google", config_.gps_map_vendor == 1);
  Check(L"loop", config_.view_folder_loop != 0);
  Check(L"rotate_save", config_.rotate_auto_save != 0);
  Check(L"ignore_icc", config_.ignore_embedded_icc != 0);
  for (const wchar_t* name : {L"turnpage", L"scale", L"double", L"origin", L"loop", L"rotate_save", L"ignore_icc",
                              L"tencent", L"google"}) {
    if (skin::Option* option = Remember(name)) habit_options_.push_back(option);
  }
}

void DlgSetting2::FillRoutinePage() {
  SetText(L"hard_speed_up", 10);
  SetText(L"hard_speed_up_tip", 11);
  SetText(L"confirm_del", 12);
  SetText(L"long_graph", 13);
  SetText(L"long_graph_tip", 14);
  SetText(L"save_jpeg_quality_desc", 15);
  SetText(L"quality_tip", 16);
  SetText(L"only_one_wnd", 19);
  SetText(L"cls_exit_service", 20);
  SetText(L"quick_indexes", 21);
  if (auto* quality = FindControlAs<skin::Edit>(L"edt_quality")) {
    quality->SetMaxChars(3);
    quality->SetText(std::to_wstring(config_.save_jpeg_quality));
  }
  Check(L"quick_indexes", config_.quick_index_state != 0);
  Check(L"confirm_del", config_.show_delete_confirm != 0);
  Check(L"long_graph", config_.long_image_mode != 0);
  Check(L"hard_speed_up", config_.hardware_zoom != 0);
  Check(L"only_one_wnd", config_.only_one_instance != 0);
  Check(L"cls_exit_service", config_.completely_exit != 0);
  for (const wchar_t* name :
       {L"quick_indexes", L"confirm_del", L"long_graph", L"hard_speed_up", L"only_one_wnd", L"cls_exit_service"}) {
    if (skin::Option* option = Remember(name)) routine_options_.push_back(option);
  }
}

void DlgSetting2::FillFileTypePage() {
  SetExtraText(L"types_heading", L"TYPES");
  SetExtraText(L"all", L"ALL");
  if (skin::Control* link = FindControl(L"sys_panel")) {
    link->SetText(L"{a}" + GetString(115) + L"{/a}");
    link->SetVisible(effects_ && effects_->OffersDefaultProgramsPage());
  }
  bool everyType = true;
  for (const std::wstring& name : FileTypeNames()) {
    auto* box = FindControlAs<skin::CheckBox>(name);
    if (!box) continue;
    // The box is named by its fixed type; whatever text a skin gives it stands for nothing.
    const bool associated = effects_ && effects_->IsTypeAssociated(name);
    box->SetCheck(associated, false);
    everyType = everyType && associated;
    type_boxes_.push_back(box);
  }
  Check(L"all", everyType && !type_boxes_.empty());
}

void DlgSetting2::FitOptionWidths() {
  const skin::Control* measure = FindControl(L"turnpage");
  if (!measure) return;
  for (const auto* list : {&habit_options_, &routine_options_}) {
    for (skin::Option* option : *list) {
      const SIZE text = measure->MeasureText(option->Text());
      option->SetFixedWidth(text.cx + option->Look().padding.left + 14);
    }
  }
}

void DlgSetting2::OnNotify(skin::Notification& notification) {
  if (notification.Is(L"click")) {
    OnClick(notification);
  } else if (notification.Is(L"itemselect") && notification.From(L"pagelist")) {
    const int page = static_cast<int>(static_cast<INT_PTR>(notification.wParam));
    if (auto* pages = FindControlAs<skin::TabLayout>(L"pages"); pages && page >= 0) pages->SelectItem(page);
    return;
  } else if (notification.Is(L"tabselect") && notification.From(L"pages")) {
    OnPageShown(static_cast<int>(notification.wParam));
    return;
  } else if (notification.Is(L"selectchanged")) {
    OnSelectChanged(notification);
    return;
  } else if (notification.Is(L"textchanged") && notification.sender) {
    ReadNumber(*notification.sender, false);
    return;
  } else if (notification.Is(L"killfocus") && notification.sender) {
    ReadNumber(*notification.sender, true);
    return;
  }
  CDlgBase::OnNotify(notification);
}

void DlgSetting2::OnClick(const skin::Notification& notification) {
  if (notification.From(L"cls")) {
    EndDialog(0);
  } else if (notification.From(L"reset")) {
    ApplyHotkey(hotkey::kResetValue);
  } else if (notification.From(L"sys_panel")) {
    if (effects_) effects_->OpenDefaultProgramsPage();
  } else if (notification.From(L"edt_keys")) {
    // The frame around the hotkey box: as a click on the box itself.
    if (HWND edit = hotkey_.Edit()) ::SetFocus(edit);
  }
}

void DlgSetting2::OnPageShown(int page) {
  if (page != kHotkeyPage) {
    hotkey_.Hide();
    return;
  }
  // The box goes where the page places its frame: lay the page out now, not at the next paint.
  LayoutNow();
  if (skin::Control* place = FindControl(L"edt_keys")) hotkey_.Show(GetHWND(), place->Rect(), hotkey_value_);
}

void DlgSetting2::OnSelectChanged(const skin::Notification& notification) {
  if (!notification.sender) return;
  const std::wstring& name = notification.sender->Name();
  const bool on = notification.wParam != 0;
  if (name == L"all") {
    if (choosing_all_) return;
    choosing_all_ = true;
    for (skin::CheckBox* box : type_boxes_) {
      if (box->IsChecked() != on) box->SetCheck(on, true);
    }
    choosing_all_ = false;
    return;
  }
  if (OnFileTypeChanged(name, on)) return;
  (void)OnOptionChanged(name, on);
}

bool DlgSetting2::OnOptionChanged(const std::wstring& name, bool on) {
  const OptionRule* rule = RuleFor(name);
  if (!rule) return false;
  if (rule->value != kCheckState) {
    if (!on) return true;  // the group's newly selected option writes the value
    config_.*(rule->setting) = rule->value;
  } else {
    config_.*(rule->setting) = on ? 1 : 0;
  }
  if (rule->reload) needs_reload_ = true;
  if (rule->setting == &AppConfigValues::mouse_wheel_action) {
    // Choosing here answers the wheel question, which would otherwise undo the choice at the
    // next start.
    config_.show_wheel_favorite = 0;
  } else if (rule->setting == &AppConfigValues::only_one_instance) {
    config_.Save();
    if (effects_) effects_->RefreshReceivers();
  } else if (rule->setting == &AppConfigValues::completely_exit) {
    config_.Save();
  } else if (rule->setting == &AppConfigValues::quick_index_state) {
    if (HWND owner = ::GetWindow(GetHWND(), GW_OWNER)) ::PostMessageW(owner, kQuickIndexChanged, 0, on ? 1 : 0);
  }
  return true;
}

bool DlgSetting2::OnFileTypeChanged(const std::wstring& name, bool on) {
  bool known = false;
  for (const std::wstring& type : FileTypeNames()) known = known || type == name;
  if (!known) return false;
  if (effects_) effects_->RecordTypeChoice(name, on);
  if (!choosing_all_) {
    bool every = true;
    for (const skin::CheckBox* box : type_boxes_) every = every && box->IsChecked();
    Check(L"all", every);
  }
  return true;
}

void DlgSetting2::ReadNumber(skin::Control& field, bool leaving) {
  int* setting = nullptr;
  const settings_dialog::NumberRule* rule = nullptr;
  if (field.Name() == L"num_multiple") {
    setting = &config_.max_zoom_ratio;
    rule = &settings_dialog::kZoomRatioRule;
  } else if (field.Name() == L"edt_quality") {
    setting = &config_.save_jpeg_quality;
    rule = &settings_dialog::kJpegQualityRule;
  } else {
    return;
  }
  if (leaving) {
    // Whatever was typed, the field now shows what is in force.
    field.SetText(std::to_wstring(*setting));
    return;
  }
  if (const std::optional<int> value = settings_dialog::ReadNumberField(field.Text(), *rule)) *setting = *value;
}

void DlgSetting2::ApplyHotkey(int value) {
  const bool sent = effects_ && effects_->SendHotkey(value);
  hotkey_value_ = value;
  hotkey_.ShowValue(value);
  // Without a companion nothing registers the hotkey: say so rather than pretend it is set.
  if (skin::Control* failed = FindControl(L"hotkey_failed")) failed->SetVisible(!sent);
  FocusDialog();
}

void DlgSetting2::OnCancelKey() {
  HWND capture = hotkey_.Control();
  if (capture && ::GetFocus() == capture) {
    FocusDialog();
    return;
  }
  EndDialog(kCancel);
}

void DlgSetting2::FocusDialog() const {
  if (GetHWND()) ::SetFocus(GetHWND());
}

void DlgSetting2::OnHotkeyCommand(WORD code) {
  if (const std::optional<int> chosen = hotkey_.OnEditCommand(code)) ApplyHotkey(*chosen);
}

LRESULT DlgSetting2::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == popup_dialog::HotkeyField::kEditId && hotkey_.Edit() &&
          reinterpret_cast<HWND>(lParam) == hotkey_.Edit()) {
        OnHotkeyCommand(HIWORD(wParam));
        handled = true;
      }
      return 0;
    case WM_TIMER:
      if (wParam == popup_dialog::HotkeyField::kTimerId) {
        hotkey_.OnTimer();
        handled = true;
      }
      return 0;
    case WM_CTLCOLOREDIT:
      if (hotkey_.Edit() && reinterpret_cast<HWND>(lParam) == hotkey_.Edit()) {
        handled = true;
        return reinterpret_cast<LRESULT>(hotkey_.OnColour(reinterpret_cast<HDC>(wParam)));
      }
      return 0;
    case WM_LBUTTONDOWN:
      // A click anywhere else ends a capture: the combination is handed over as the focus goes.
      if (hotkey_.Edit()) FocusDialog();
      return 0;
    default:
      return 0;
  }
}
