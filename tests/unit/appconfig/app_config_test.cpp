#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "appconfig/language.h"
#include "base/strings.h"
#include "tests/support/test_support.h"

using testing_support::TempDir;

namespace {

// A temporary data folder with a config file and a language folder holding en.ini and cn_simp.ini.
class ConfigTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(::CreateDirectoryW(dir_.File(L"language").c_str(), nullptr));
    ASSERT_TRUE(testing_support::WriteUtf16(LanguageFile(L"en.ini"), L"[app]\r\nNAME=Quellin\r\n"));
    ASSERT_TRUE(testing_support::WriteUtf16(LanguageFile(L"cn_simp.ini"), L"[app]\r\nNAME=奎林看图\r\n"));
    SetLanguageFolderForTesting(dir_.File(L"language"));
  }
  void TearDown() override {
    SetLanguageFolderForTesting(L"");
    SetCurrentLanguageName(L"en.ini");
  }
  std::wstring LanguageFile(const std::wstring& name) const { return dir_.File(L"language\\" + name); }
  std::wstring Config() const { return dir_.File(L"config.ini"); }
  void WriteConfig(const std::string& appLines) {
    ASSERT_TRUE(testing_support::WriteText(Config(), "[app]\r\n" + appLines));
  }
  // The written file's non-empty lines (the profile functions write a new file in 8-bit text).
  std::vector<std::wstring> ConfigLines() const {
    const std::vector<uint8_t> bytes = testing_support::ReadBytes(Config());
    const std::wstring text = base::Utf8ToWide(std::string(bytes.begin(), bytes.end()));
    std::vector<std::wstring> lines;
    std::wstring_view rest = text;
    for (bool more = true; more;) {
      std::wstring line(base::SplitNext(rest, L'\n', more));
      if (!line.empty() && line.back() == L'\r') line.pop_back();
      if (!line.empty()) lines.push_back(line);
    }
    return lines;
  }

  TempDir dir_;
};

TEST_F(ConfigTest, MissingFileAndEmptyValuesKeepDefaults) {
  AppConfig missing(dir_.File(L"none.ini"));
  EXPECT_EQ(missing.max_zoom_ratio, 8);
  EXPECT_EQ(missing.toolbar_dock, 1);
  EXPECT_EQ(missing.canvas_back_color, RGB(255, 255, 255));
  WriteConfig("max_zoom_ratio=\r\nview_margin=\r\ntoolbar_dock=\r\nlast_position=\r\n");
  AppConfig empty(Config());
  EXPECT_EQ(empty.max_zoom_ratio, 8);
  EXPECT_EQ(empty.view_margin, 24);
  EXPECT_EQ(empty.toolbar_dock, 1);
  EXPECT_EQ(empty.last_position, L"");
}

TEST_F(ConfigTest, IntegersClampOnTheirLow32Bits) {
  WriteConfig("max_zoom_ratio=2\r\nview_margin=-5\r\nsave_jpeg_quality=150\r\n");
  AppConfig low(Config());
  EXPECT_EQ(low.max_zoom_ratio, 4);
  EXPECT_EQ(low.view_margin, 0);
  EXPECT_EQ(low.save_jpeg_quality, 100);
  // 2^32 + 10 is 10 in its low bits; 2^32 - 1 is -1; -(2^32) + 10 is 10 again.
  WriteConfig("max_zoom_ratio=100\r\nview_margin=4294967306\r\nsave_jpeg_quality=4294967295\r\n");
  AppConfig high(Config());
  EXPECT_EQ(high.max_zoom_ratio, 32);
  EXPECT_EQ(high.view_margin, 10);
  EXPECT_EQ(high.save_jpeg_quality, 0);
  WriteConfig("max_zoom_ratio=-4294967286\r\nview_margin=12abc\r\nsave_jpeg_quality=abc\r\n");
  AppConfig mixed(Config());
  EXPECT_EQ(mixed.max_zoom_ratio, 10);
  EXPECT_EQ(mixed.view_margin, 12);
  EXPECT_EQ(mixed.save_jpeg_quality, 0);  // not a number: 0
}

TEST_F(ConfigTest, BooleansAreOneWhenAnyOf64BitsIsSet) {
  WriteConfig("hardware_zoom=5\r\ngps_map_vendor=4294967296\r\ntoolbar_dock=abc\r\nshow_delete_confirm=0\r\n"
              "preload_enable=-1\r\nonly_one_instance=-9223372036854775808\r\ndefault_viewer_start_tip=0x1\r\n");
  AppConfig c(Config());
  EXPECT_EQ(c.hardware_zoom, 1);
  EXPECT_EQ(c.gps_map_vendor, 1);
  EXPECT_EQ(c.toolbar_dock, 0);
  EXPECT_EQ(c.show_delete_confirm, 0);
  EXPECT_EQ(c.preload_enable, 1);
  EXPECT_EQ(c.only_one_instance, 1);
  EXPECT_EQ(c.default_viewer_start_tip, 0);  // "0x1" reads as 0
}

TEST_F(ConfigTest, WheelActionIsForcedWhileTheQuestionIsPending) {
  WriteConfig("mouse_wheel_action=1\r\nshow_wheel_favorite=1\r\n");
  EXPECT_EQ(AppConfig(Config()).mouse_wheel_action, 99);
  WriteConfig("mouse_wheel_action=5\r\nshow_wheel_favorite=0\r\n");
  EXPECT_EQ(AppConfig(Config()).mouse_wheel_action, 1);
  WriteConfig("mouse_wheel_action=99\r\nshow_wheel_favorite=0\r\n");
  AppConfig c(Config());
  EXPECT_EQ(c.mouse_wheel_action, 99);

  // Another instance answers the question; the reload sees it and leaves other fields alone.
  c.max_zoom_ratio = 16;
  ASSERT_TRUE(::WritePrivateProfileStringW(L"app", L"mouse_wheel_action", L"0", Config().c_str()));
  c.ReloadWheelSettings();
  EXPECT_EQ(c.mouse_wheel_action, 0);
  EXPECT_EQ(c.max_zoom_ratio, 16);
  ASSERT_TRUE(::WritePrivateProfileStringW(L"app", L"show_wheel_favorite", L"7", Config().c_str()));
  c.ReloadWheelSettings();
  EXPECT_EQ(c.show_wheel_favorite, 1);
  EXPECT_EQ(c.mouse_wheel_action, 99);
}

TEST_F(ConfigTest, CanvasColourNeedsExactlyThreeParts) {
  for (const char* bad : {"10,20", "1,2,3,4", ""}) {
    WriteConfig(std::string("canvas_back_color=") + bad + "\r\n");
    EXPECT_EQ(AppConfig(Config()).canvas_back_color, RGB(255, 255, 255)) << bad;
  }
  WriteConfig("canvas_back_color=256,-1,x\r\n");
  EXPECT_EQ(AppConfig(Config()).canvas_back_color, RGB(0, 255, 0));
  WriteConfig("canvas_back_color=10,20,30\r\n");
  AppConfig c(Config());
  EXPECT_EQ(c.canvas_back_color, RGB(10, 20, 30));
  LOGBRUSH brush{};
  ASSERT_EQ(::GetObjectW(c.BackgroundBrush(), sizeof(brush), &brush), static_cast<int>(sizeof(brush)));
  EXPECT_EQ(brush.lbColor, RGB(10, 20, 30));
}

TEST_F(ConfigTest, SaveWritesEveryKeyInOrderAndLoadsItBack) {
  // Every stored value differs from its default, so a key that is not loaded or not saved shows.
  const std::vector<std::wstring> lines = {
      L"[app]", L"last_position=10_20_1010_820", L"max_zoom_ratio=12", L"view_margin=0",
      L"canvas_back_color=10,20,30", L"hardware_zoom=1", L"gps_map_vendor=1", L"toolbar_dock=0",
      L"language_id=cn_simp.ini", L"show_delete_confirm=0", L"mouse_wheel_action=1", L"show_wheel_favorite=0",
      L"double_click_action=1", L"view_folder_loop=1", L"rotate_auto_save=1", L"long_image_mode=1",
      L"save_jpeg_quality=95", L"preload_enable=0", L"preload_thread=3", L"orientation_by_tag=1",
      L"ignore_embedded_icc=1", L"only_one_instance=1", L"set_default_viewer=1", L"default_viewer_start_tip=0",
      L"completely_exit=1", L"user_set_default_viewer=1"};
  std::wstring text;
  for (const std::wstring& line : lines) text += line + L"\r\n";
  ASSERT_TRUE(testing_support::WriteText(Config(), base::WideToUtf8(text)));
  AppConfig c(Config());
  EXPECT_EQ(c.canvas_back_color, RGB(10, 20, 30));
  ::DeleteFileW(Config().c_str());
  c.Save();
  EXPECT_EQ(ConfigLines(), lines);

  WriteConfig("hardware_zoom=5\r\npreload_thread=8\r\n");
  AppConfig normalised(Config());
  normalised.Save();
  const std::vector<std::wstring> saved = ConfigLines();
  EXPECT_NE(std::find(saved.begin(), saved.end(), L"hardware_zoom=1"), saved.end());
  EXPECT_NE(std::find(saved.begin(), saved.end(), L"preload_thread=3"), saved.end());
}

TEST_F(ConfigTest, FeedbackUrlIsReadAndLeftAsItWas) {
  EXPECT_EQ(AppConfig(dir_.File(L"none.ini")).feedback_url, L"");
  WriteConfig("feedback_url=https://feedback.example.com/live/intf/addFeedback\r\n");
  AppConfig c(Config());
  EXPECT_EQ(c.feedback_url, L"https://feedback.example.com/live/intf/addFeedback");
  c.feedback_url = L"https://elsewhere.example.com/";
  c.Save();
  const std::vector<std::wstring> saved = ConfigLines();
  EXPECT_EQ(std::count(saved.begin(), saved.end(), L"feedback_url=https://feedback.example.com/live/intf/addFeedback"), 1);
}

TEST_F(ConfigTest, SnipToolHotkeyComesFromTheDefaultSection) {
  WriteConfig("sniptool_hotkey=5\r\n");
  EXPECT_EQ(AppConfig(Config()).ReadSnipToolHotkey(), 0);
  WriteConfig("[Default]\r\nsniptool_hotkey=\r\n");
  EXPECT_EQ(AppConfig(Config()).ReadSnipToolHotkey(), 0);
  WriteConfig("[Default]\r\nsniptool_hotkey=1604\r\n");
  EXPECT_EQ(AppConfig(Config()).ReadSnipToolHotkey(), 1604);
}

TEST_F(ConfigTest, LanguageRuleFallsBackToEnglish) {
  WriteConfig("language_id=cn_simp.ini\r\n");
  AppConfig chinese(Config());
  EXPECT_EQ(chinese.language_id, L"cn_simp.ini");
  EXPECT_EQ(GetCurrentLanguageName(), L"cn_simp.ini");
  EXPECT_TRUE(chinese.IsChineseLanguage());
  EXPECT_EQ(GetLanguageString(L"app", L"NAME"), L"奎林看图");

  // Missing file, no ".ini", a path outside the folder, a name too long for the name buffer.
  ASSERT_TRUE(testing_support::WriteUtf16(LanguageFile(L"cn_simp"), L"[app]\r\n"));
  ASSERT_TRUE(testing_support::WriteUtf16(dir_.File(L"outside.ini"), L"[app]\r\n"));
  const std::wstring longName = std::wstring(30, L'x') + L".ini";
  ASSERT_TRUE(testing_support::WriteUtf16(LanguageFile(longName), L"[app]\r\n"));
  for (const std::string& name :
       std::vector<std::string>{"fr.ini", "cn_simp", "..\\outside.ini", base::WideToUtf8(longName), ""}) {
    WriteConfig("language_id=" + name + "\r\n");
    AppConfig c(Config());
    EXPECT_EQ(c.language_id, L"en.ini") << name;
    EXPECT_EQ(GetCurrentLanguageName(), L"en.ini") << name;
    EXPECT_FALSE(c.IsCjkLanguage());
  }

  ASSERT_TRUE(testing_support::WriteUtf16(LanguageFile(L"ja.ini"), L"[app]\r\n"));
  WriteConfig("language_id=ja.ini\r\n");
  AppConfig japanese(Config());
  EXPECT_TRUE(japanese.IsCjkLanguage());
  EXPECT_FALSE(japanese.IsChineseLanguage());
}

TEST_F(ConfigTest, AbsentLanguageComesFromTheSystemLocale) {
  const std::wstring localeFile = ChooseLanguageFile();
  ASSERT_TRUE(testing_support::WriteUtf16(LanguageFile(localeFile), L"[app]\r\n"));
  WriteConfig("max_zoom_ratio=8\r\n");
  EXPECT_EQ(AppConfig(Config()).language_id, localeFile);
}

}  // namespace
