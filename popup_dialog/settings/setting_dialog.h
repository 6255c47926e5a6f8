#pragma once
// The settings window (F5, the main menu, a start with "--setting"): four pages, habits, general
// options, file types and the screenshot hotkey, listed on the left. Every change takes effect at
// once in the settings store; the window has only its close button. The options that change how
// pictures are shown set DisplayOptionsChanged, so that the main window opens the picture again
// when the dialog has closed. "only_one_instance" and "completely_exit" are saved at once, the
// rest when the viewer ends. A number field keeps the stored value while its text is not a number.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "appconfig/language.h"
#include "popup_dialog/settings/hotkey_field.h"
#include "popup_dialog/settings/settings_effects.h"
#include "services/settings_dialog.h"
#include "skin/controls/button.h"
#include "skin/window/dialog_base.h"

class DlgSetting2 : public CDlgBase, public CMultiLanguageLoader, public services::ISettingsDialog {
 public:
  // The main window's message for the quick-index option (lParam the new state).
  static constexpr UINT kQuickIndexChanged = 0x8201;
  // The file types offered, by the names of their boxes (each is also the type's extension).
  static const std::vector<std::wstring>& FileTypeNames();

  DlgSetting2(AppConfig& config, std::unique_ptr<popup_dialog::SettingsEffects> effects);
  ~DlgSetting2() override;

  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"DlgSetting2"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return L"setting.xml"; }
  void OnWindowInit() override;
  void OnNotify(skin::Notification& notification) override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  INT_PTR DoModal(HWND owner) override { return CDlgBase::DoModal(owner); }
  [[nodiscard]] HWND GetSafeHwnd() const override { return GetHWND(); }
  [[nodiscard]] bool DisplayOptionsChanged() const override { return needs_reload_; }

  // The hotkey the dialog holds (the companion's value, 0 for none).
  [[nodiscard]] int HotkeyValue() const { return hotkey_value_; }
  // Takes a hotkey as if the user had chosen it: sends it to the companion and shows it.
  void ApplyHotkey(int value);

 protected:
  // Escape ends a capture in the hotkey box (the combination so far is handed over); otherwise it
  // closes the window.
  void OnCancelKey() override;

 private:
  void FillHabitPage();
  void FillRoutinePage();
  void FillFileTypePage();
  void FitOptionWidths();
  void SetText(const wchar_t* control, int key);
  void SetExtraText(const wchar_t* control, const wchar_t* key);
  void Check(const wchar_t* control, bool on);
  skin::Option* Remember(const wchar_t* control);

  // Notifications, by kind.
  void OnClick(const skin::Notification& notification);
  void OnSelectChanged(const skin::Notification& notification);
  void OnTextChanged(const skin::Notification& notification);
  void OnPageShown(int page);
  bool OnOptionChanged(const std::wstring& name, bool on);
  bool OnFileTypeChanged(const std::wstring& name, bool on);
  // A number field's text changed or it lost the focus (then it shows the stored value).
  void ReadNumber(skin::Control& field, bool leaving);
  void OnHotkeyCommand(WORD code);
  void FocusDialog() const;

  AppConfig& config_;
  std::unique_ptr<popup_dialog::SettingsEffects> effects_;
  popup_dialog::HotkeyField hotkey_;
  int hotkey_value_ = 0;
  bool needs_reload_ = false;
  bool choosing_all_ = false;
  std::vector<skin::Option*> habit_options_;
  std::vector<skin::Option*> routine_options_;
  std::vector<skin::CheckBox*> type_boxes_;
};
