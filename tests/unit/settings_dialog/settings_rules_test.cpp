// What the settings window makes of typed numbers and of key combinations.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <optional>
#include <string>

#include "popup_dialog/settings/hotkey_control.h"
#include "popup_dialog/settings/number_field.h"

namespace {

using settings_dialog::kJpegQualityRule;
using settings_dialog::kZoomRatioRule;
using settings_dialog::ReadNumberField;

TEST(SettingsNumbers, TypedTextGivesAClampedValueOrKeepsTheStoredOne) {
  struct Case {
    const wchar_t* text;
    const settings_dialog::NumberRule* rule;
    std::optional<int> expected;
  } cases[] = {
      {L"", &kZoomRatioRule, 8},          {L"", &kJpegQualityRule, 80},
      {L"2", &kZoomRatioRule, 4},         {L"100", &kZoomRatioRule, 32},
      {L"16", &kZoomRatioRule, 16},       {L"0", &kJpegQualityRule, 0},
      {L"999", &kJpegQualityRule, 100},   {L"-5", &kJpegQualityRule, 0},
      {L"  +12x", &kZoomRatioRule, 12},   {L"\t7 times", &kZoomRatioRule, 7},
      {L"-2147483648", &kZoomRatioRule, 4},
      // Not a number, or beyond 32 bits: nothing is stored.
      {L"abc", &kZoomRatioRule, std::nullopt},  {L" ", &kZoomRatioRule, std::nullopt},
      {L"+", &kJpegQualityRule, std::nullopt},  {L"x12", &kJpegQualityRule, std::nullopt},
      {L"2147483648", &kZoomRatioRule, std::nullopt},
      {L"-2147483649", &kZoomRatioRule, std::nullopt},
      {L"99999999999999999999999", &kJpegQualityRule, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "text \"" << std::string(c.text, c.text + wcslen(c.text)) << "\"");
    EXPECT_EQ(ReadNumberField(c.text, *c.rule), c.expected);
  }
}

TEST(SettingsHotkey, ValuesReadAsTheKeyboardNamesTheirKeys) {
  const std::wstring alt = hotkey::KeyName(VK_MENU, false);
  const std::wstring ctrl = hotkey::KeyName(VK_CONTROL, false);
  const std::wstring shift = hotkey::KeyName(VK_SHIFT, false);
  ASSERT_FALSE(alt.empty());
  struct Case {
    int value;
    std::wstring expected;
  } cases[] = {
      {0, L""},
      {hotkey::kResetValue, alt + L" + " + hotkey::KeyName('D', false)},
      // Every modifier, always in the order Ctrl, Shift, Alt.
      {hotkey::MakeValue(VK_F8, HOTKEYF_ALT | HOTKEYF_SHIFT | HOTKEYF_CONTROL),
       ctrl + L" + " + shift + L" + " + alt + L" + " + hotkey::KeyName(VK_F8, false)},
      // Home is named as the extended key, not as the keypad's 7 that shares its scan code.
      {0x0624, ctrl + L" + " + alt + L" + " + hotkey::KeyName(VK_HOME, true)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "value " << c.value);
    EXPECT_EQ(hotkey::HotkeyText(c.value), c.expected);
  }
  EXPECT_EQ(hotkey::KeyName(VK_HOME, false), hotkey::KeyName(VK_HOME, true));
  EXPECT_NE(hotkey::KeyName(VK_HOME, false), hotkey::KeyName(VK_NUMPAD7, false));
}

TEST(SettingsHotkey, AStoredValueBeyondAKeyAndItsFlagsMeansNoHotkey) {
  struct Case {
    int stored;
    int expected;
  } cases[] = {
      {0, 0},
      {hotkey::kResetValue, hotkey::kResetValue},
      {0x0F77, 0x0F77},  // every flag with F8
      {0x0400, 0},       // Alt without a key
      {0x1044, 0},       // a flag the control does not have
      {0x10444, 0},
      {-1, 0},
      {0x7FFFFFFF, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "stored " << c.stored);
    EXPECT_EQ(hotkey::StoredValue(c.stored), c.expected);
  }
}

TEST(SettingsHotkey, AKeyGoingUpWithoutAModifierTakesCtrlAlt) {
  constexpr BYTE kCtrlAlt = HOTKEYF_CONTROL | HOTKEYF_ALT;
  struct Case {
    WORD typed;
    WORD expected;
  } cases[] = {
      {MAKEWORD(VK_F8, 0), MAKEWORD(VK_F8, kCtrlAlt)},
      {MAKEWORD(VK_HOME, HOTKEYF_EXT), MAKEWORD(VK_HOME, HOTKEYF_EXT | kCtrlAlt)},
      {MAKEWORD('D', HOTKEYF_ALT), MAKEWORD('D', HOTKEYF_ALT)},
      {MAKEWORD('S', HOTKEYF_SHIFT), MAKEWORD('S', HOTKEYF_SHIFT)},
      // Ctrl pressed and let go alone: no key, nothing changes.
      {MAKEWORD(0, HOTKEYF_CONTROL), MAKEWORD(0, HOTKEYF_CONTROL)},
      {0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "typed " << c.typed);
    EXPECT_EQ(hotkey::WithDefaultModifiers(c.typed), c.expected);
  }
}

}  // namespace
