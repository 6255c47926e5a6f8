// The settings window in a real window, from the build's res.zip and language files: every option
// writes its setting (and says whether the picture must be opened again), the number fields keep
// the stored value for text that is no number, the file types go out by their fixed names, and
// the hotkey reaches the companion only when the user chose one.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "appconfig/app_config.h"
#include "appconfig/language.h"
#include "image/gdiplus_include.h"
#include "popup_dialog/settings/setting_dialog.h"
#include "skin/archive/resource_archive.h"
#include "skin/controls/edit.h"
#include "skin/controls/list.h"
#include "tests/support/test_support.h"
#include "tests/unit/skin/modal_script.h"

namespace {

using skin_test::Click;

struct EffectsLog {
  std::vector<std::pair<std::wstring, bool>> type_choices;
  std::vector<int> hotkeys;
  int applied = 0;
  int receivers_refreshed = 0;
  bool companion_running = true;
};

class RecordingEffects : public popup_dialog::SettingsEffects {
 public:
  explicit RecordingEffects(EffectsLog& log) : log_(log) {}
  bool IsTypeAssociated(const std::wstring& name) override { return name == L"png"; }
  void RecordTypeChoice(const std::wstring& name, bool associate) override {
    log_.type_choices.emplace_back(name, associate);
  }
  void ApplyTypeChoices() override { ++log_.applied; }
  bool OffersDefaultProgramsPage() override { return true; }
  void OpenDefaultProgramsPage() override {}
  bool SendHotkey(int value) override {
    log_.hotkeys.push_back(value);
    return log_.companion_running;
  }
  void RefreshReceivers() override { ++log_.receivers_refreshed; }

 private:
  EffectsLog& log_;
};

std::wstring TextOf(HWND window) {
  wchar_t text[128] = {};
  ::GetWindowTextW(window, text, 128);
  return text;
}

void ShowPage(CUseZipResourceDuiWnd& window, int page) {
  auto* pages = window.FindControlAs<skin::List>(L"pagelist");
  ASSERT_TRUE(pages);
  pages->SelectItem(page);
  window.LayoutNow();
}

class SettingsWindow : public ::testing::Test {
 protected:
  virtual const wchar_t* Language() const { return L"en.ini"; }
  void SetUp() override {
    SetLanguageFolderForTesting(testing_support::BinDir() + L"language\\");
    ASSERT_TRUE(SetCurrentLanguageName(Language()));
    skin::SetResourceFolder(testing_support::BinDir() + L"res", L"res.zip");
    config_ = std::make_unique<AppConfig>(folder_.File(L"config.ini"));
  }
  void TearDown() override {
    SetCurrentLanguageName(L"en.ini");
    SetLanguageFolderForTesting(L"");
  }

  // Opens the window, runs the script in it, then closes it (posted after the script's input).
  std::unique_ptr<DlgSetting2> Run(std::function<void(CUseZipResourceDuiWnd&)> script) {
    auto dialog = std::make_unique<DlgSetting2>(*config_, std::make_unique<RecordingEffects>(log_));
    skin_test::RunWithScript(L"DlgSetting2",
                             [&](CUseZipResourceDuiWnd& window) {
                               script(window);
                               ::PostMessageW(window.GetHWND(), WM_CLOSE, 0, 0);
                             },
                             [&] { return dialog->DoModal(nullptr); });
    return dialog;
  }

  // Replaces a field's text as typing would (the native edit reports the change).
  static void Type(CUseZipResourceDuiWnd& window, const wchar_t* field, const wchar_t* text) {
    auto* edit = window.FindControlAs<skin::Edit>(field);
    ASSERT_TRUE(edit && edit->NativeWindow());
    ::SendMessageW(edit->NativeWindow(), EM_SETSEL, 0, -1);
    ::SendMessageW(edit->NativeWindow(), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(text));
  }

  image::GdiplusSession gdiplus_;
  testing_support::TempDir folder_;
  std::unique_ptr<AppConfig> config_;
  EffectsLog log_;
};

TEST_F(SettingsWindow, EachOptionWritesItsSettingAndOnlyDisplayOptionsAskForAReload) {
  struct Case {
    int page;
    const wchar_t* control;
    int AppConfigValues::*setting;
    int before;
    int after;
    bool reload;
  } cases[] = {
      {0, L"scale", &AppConfigValues::mouse_wheel_action, 0, 1, false},
      {0, L"turnpage", &AppConfigValues::mouse_wheel_action, 1, 0, false},
      {0, L"origin", &AppConfigValues::double_click_action, 0, 1, true},
      {0, L"double", &AppConfigValues::double_click_action, 1, 0, true},
      {0, L"google", &AppConfigValues::gps_map_vendor, 0, 1, false},
      {0, L"tencent", &AppConfigValues::gps_map_vendor, 1, 0, false},
      {0, L"loop", &AppConfigValues::view_folder_loop, 0, 1, true},
      {0, L"rotate_save", &AppConfigValues::rotate_auto_save, 0, 1, false},
      {0, L"ignore_icc", &AppConfigValues::ignore_embedded_icc, 1, 0, true},
      {1, L"hard_speed_up", &AppConfigValues::hardware_zoom, 0, 1, true},
      {1, L"confirm_del", &AppConfigValues::show_delete_confirm, 1, 0, false},
      {1, L"long_graph", &AppConfigValues::long_image_mode, 0, 1, true},
      {1, L"only_one_wnd", &AppConfigValues::only_one_instance, 0, 1, false},
      {1, L"cls_exit_service", &AppConfigValues::completely_exit, 1, 0, false},
      {1, L"quick_indexes", &AppConfigValues::quick_index_state, 1, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "control " << std::string(c.control, c.control + wcslen(c.control)));
    (*config_).*(c.setting) = c.before;
    log_ = {};
    auto dialog = Run([&](CUseZipResourceDuiWnd& window) {
      ShowPage(window, c.page);
      Click(window, c.control);
    });
    EXPECT_EQ((*config_).*(c.setting), c.after);
    EXPECT_EQ(dialog->DisplayOptionsChanged(), c.reload);
    EXPECT_EQ(log_.receivers_refreshed, c.setting == &AppConfigValues::only_one_instance ? 1 : 0);
  }
  // The two options saved at once are in the file already.
  AppConfig stored(config_->ConfigPath());
  EXPECT_EQ(stored.only_one_instance, 1);
  EXPECT_EQ(stored.completely_exit, 0);
}

TEST_F(SettingsWindow, NumberFieldsStoreClampedValuesAndKeepTheOldOneForText) {
  config_->max_zoom_ratio = 12;
  config_->save_jpeg_quality = 90;
  std::wstring shownAfterLeaving;
  Run([&](CUseZipResourceDuiWnd& window) {
    EXPECT_EQ(window.FindControl(L"num_multiple")->Text(), L"12");
    Type(window, L"num_multiple", L"zoom");
    EXPECT_EQ(config_->max_zoom_ratio, 12) << "text that is no number keeps the stored value";
    Type(window, L"num_multiple", L"100");
    EXPECT_EQ(config_->max_zoom_ratio, 32);
    Type(window, L"num_multiple", L"");
    EXPECT_EQ(config_->max_zoom_ratio, 8);
    ShowPage(window, 1);
    Type(window, L"edt_quality", L"99999");  // three characters at most: "999"
    EXPECT_EQ(config_->save_jpeg_quality, 100);
    Type(window, L"edt_quality", L"-");
    EXPECT_EQ(config_->save_jpeg_quality, 100);
    // Leaving the field shows what is in force.
    window.FindControlAs<skin::Edit>(L"edt_quality")->Focus();
    ::SetFocus(window.GetHWND());
    shownAfterLeaving = window.FindControl(L"edt_quality")->Text();
  });
  EXPECT_EQ(shownAfterLeaving, L"100");
}

TEST_F(SettingsWindow, FileTypesGoOutByTheirFixedNamesWhateverTheSkinSays) {
  auto dialog = Run([&](CUseZipResourceDuiWnd& window) {
    ShowPage(window, 2);
    EXPECT_TRUE(window.FindControlAs<skin::CheckBox>(L"png")->IsChecked()) << "an associated type is ticked";
    EXPECT_FALSE(window.FindControlAs<skin::CheckBox>(L"jpg")->IsChecked());
    // A skin's text is only what the user reads.
    window.FindControl(L"jpg")->SetText(L"EXE");
    Click(window, L"jpg");
  });
  ASSERT_EQ(log_.type_choices.size(), 1u);
  EXPECT_EQ(log_.type_choices[0], std::make_pair(std::wstring(L"jpg"), true));
  EXPECT_EQ(log_.applied, 0) << "applied when the window object goes";
  dialog.reset();
  EXPECT_EQ(log_.applied, 1);

  log_ = {};
  Run([&](CUseZipResourceDuiWnd& window) {
    ShowPage(window, 2);
    Click(window, L"all");
  });
  // Every type but the one already associated changes; each once, by its own name.
  ASSERT_EQ(log_.type_choices.size(), DlgSetting2::FileTypeNames().size() - 1);
  for (const auto& [name, on] : log_.type_choices) {
    EXPECT_TRUE(on);
    EXPECT_NE(name, L"png");
  }
}

TEST_F(SettingsWindow, TheHotkeyReachesTheCompanionOnlyWhenChosen) {
  HWND edit = nullptr;
  std::wstring shown;
  bool failureShown = true;
  auto dialog = Run([&](CUseZipResourceDuiWnd& window) {
    ShowPage(window, 3);
    edit = ::GetDlgItem(window.GetHWND(), popup_dialog::HotkeyField::kEditId);
    ASSERT_TRUE(edit) << "the hotkey box exists once its page is shown";
    // A change of the box's text before any capture control exists is nobody's choice.
    ::SetWindowTextW(edit, L"Ctrl + Alt + F9");
    EXPECT_TRUE(log_.hotkeys.empty());
    Click(window, L"reset");
  });
  ASSERT_EQ(log_.hotkeys, std::vector<int>{hotkey::kResetValue});
  EXPECT_EQ(dialog->HotkeyValue(), hotkey::kResetValue);

  // Without a companion, the window says that the hotkey is not in use.
  log_ = {};
  log_.companion_running = false;
  Run([&](CUseZipResourceDuiWnd& window) {
    ShowPage(window, 3);
    dynamic_cast<DlgSetting2&>(window).ApplyHotkey(hotkey::MakeValue(VK_F8, HOTKEYF_CONTROL | HOTKEYF_ALT));
    shown = TextOf(::GetDlgItem(window.GetHWND(), popup_dialog::HotkeyField::kEditId));
    failureShown = window.FindControl(L"hotkey_failed")->IsVisible();
  });
  EXPECT_EQ(shown, hotkey::HotkeyText(hotkey::MakeValue(VK_F8, HOTKEYF_CONTROL | HOTKEYF_ALT)));
  EXPECT_TRUE(failureShown);
}

// Every text of the four pages comes from the language file, in each language, and every option
// is as wide as its text.
class SettingsTexts : public SettingsWindow, public ::testing::WithParamInterface<const wchar_t*> {
 protected:
  const wchar_t* Language() const override { return GetParam(); }
};

TEST_P(SettingsTexts, EveryPageIsWrittenInTheLanguage) {
  const wchar_t* const kControls[] = {
      L"title", L"habit", L"routine", L"fileassoc", L"shotscreen", L"roller", L"turnpage", L"scale",
      L"dbclick", L"double", L"origin", L"gps", L"tencent", L"google", L"max_multiple", L"loop",
      L"rotate_save", L"ignore_icc", L"hard_speed_up", L"hard_speed_up_tip", L"confirm_del", L"long_graph",
      L"long_graph_tip", L"save_jpeg_quality_desc", L"quality_tip", L"only_one_wnd", L"cls_exit_service",
      L"quick_indexes", L"types_heading", L"all", L"sys_panel", L"hotkey_heading", L"hotkey_tip", L"reset"};
  std::wstring hotkeyBox;
  Run([&](CUseZipResourceDuiWnd& window) {
    for (const wchar_t* name : kControls) {
      SCOPED_TRACE(testing::Message() << "control " << std::string(name, name + wcslen(name)));
      const skin::Control* control = window.FindControl(name);
      ASSERT_TRUE(control);
      EXPECT_FALSE(control->Text().empty());
    }
    const skin::Control* option = window.FindControl(L"only_one_wnd");
    EXPECT_GE(option->FixedWidth(), option->MeasureText(option->Text()).cx + option->Look().padding.left);
    ShowPage(window, 3);
    hotkeyBox = TextOf(::GetDlgItem(window.GetHWND(), popup_dialog::HotkeyField::kEditId));
  });
  // No hotkey yet: the box asks for one.
  EXPECT_EQ(hotkeyBox, GetLanguageString(L"DLG_SETTING_PAGES", L"HOTKEY_IDLE"));
}

INSTANTIATE_TEST_SUITE_P(Languages, SettingsTexts, ::testing::Values(L"en.ini", L"cn_simp.ini"));

}  // namespace
