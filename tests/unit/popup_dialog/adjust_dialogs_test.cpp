// The adjustment pop-up and the resize dialog in real windows, built from the build's res.zip with
// the build's language files, and the resize dialog's arithmetic on its own.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "appconfig/language.h"
#include "base/com.h"
#include "base/handles.h"
#include "image/gdiplus_include.h"
#include "popup_dialog/adjust/effect_window.h"
#include "popup_dialog/adjust/resize_dialog.h"
#include "popup_dialog/adjust/resize_fields.h"
#include "skin/archive/resource_archive.h"
#include "skin/controls/button.h"
#include "skin/controls/edit.h"
#include "skin/render/resources.h"
#include "tests/support/test_support.h"
#include "tests/unit/skin/modal_script.h"

namespace {

using resize_fields::Field;
using resize_fields::ResizeFields;
using resize_fields::Verdict;

// ---- the arithmetic ----

struct Step {
  enum Kind { kType, kPreset } kind;
  Field field;  // kType
  const wchar_t* text;
  bool locked;
  int preset;  // kPreset
};
Step Type(Field field, const wchar_t* text, bool locked = true) { return Step{Step::kType, field, text, locked, 0}; }
Step Preset(int index) { return Step{Step::kPreset, Field::kWidth, L"", false, index}; }

TEST(ResizeFields, TypingAndPresetsKeepTheFourFieldsInStep) {
  const struct {
    const char* what;
    SIZE source;
    std::vector<Step> steps;
    int width, height, width_percent, height_percent;
    // What the last step shows in the four fields ("-" for a field it leaves alone).
    std::vector<const wchar_t*> shown;
    Verdict verdict;
  } cases[] = {
      {"locked width of 4000x3000", {4000, 3000}, {Type(Field::kWidth, L"1000")}, 1000, 750, 25, 25,
       {L"-", L"750", L"25", L"25"}, Verdict::kOk},
      {"unlocked height percent", {4000, 3000}, {Type(Field::kHeightPercent, L"50", false)}, 4000, 1500, 100, 50,
       {L"-", L"1500", L"-", L"-"}, Verdict::kOk},
      {"333 of 1000 rounds to 33 and keeps 999 of 3000", {1000, 3000}, {Type(Field::kWidth, L"333")}, 333, 999, 33,
       33, {L"-", L"999", L"33", L"33"}, Verdict::kOk},
      {"a half percent rounds up", {1000, 1000}, {Type(Field::kHeight, L"5", false)}, 1000, 5, 100, 1,
       {L"-", L"-", L"-", L"1"}, Verdict::kOk},
      {"locked height percent sets the width too", {4000, 3000}, {Type(Field::kHeightPercent, L"10")}, 400, 300,
       10, 10, {L"400", L"300", L"10", L"-"}, Verdict::kOk},
      {"emptied width shows 0 and cannot be saved", {4000, 3000}, {Type(Field::kWidth, L"", false)}, 0, 3000, 0,
       100, {L"0", L"-", L"0", L"-"}, Verdict::kEmpty},
      {"digits are read up to the first other character", {200, 100}, {Type(Field::kWidth, L"50px")}, 50, 25, 25,
       25, {L"-", L"25", L"25", L"25"}, Verdict::kOk},
      {"text without digits is 0", {200, 100}, {Type(Field::kWidthPercent, L"abc")}, 0, 0, 0, 0,
       {L"0", L"0", L"-", L"0"}, Verdict::kEmpty},
      {"a negative number is 0", {200, 100}, {Type(Field::kHeight, L"-40", false)}, 200, 0, 100, 0,
       {L"-", L"-", L"-", L"0"}, Verdict::kEmpty},
      {"a side beyond 65535", {4000, 3000}, {Type(Field::kWidth, L"65536", false)}, 65536, 3000, 1638, 100,
       {L"-", L"-", L"1638", L"-"}, Verdict::kSideTooLong},
      {"65535 wide is allowed", {65535, 1}, {Type(Field::kHeight, L"100", false)}, 65535, 100, 100, 10000,
       {L"-", L"-", L"-", L"10000"}, Verdict::kOk},
      {"too many pixels in all", {4000, 3000}, {Type(Field::kWidthPercent, L"700")}, 28000, 21000, 700, 700,
       {L"28000", L"21000", L"-", L"700"}, Verdict::kTooManyPixels},
      // Products that overflow 32 bits stay exact and are capped, never wrapped to a small size.
      {"a huge percentage of a huge picture", {2000000000, 3}, {Type(Field::kWidthPercent, L"999999999")},
       2147483647, 29999999, 999999999, 999999999, {L"2147483647", L"29999999", L"-", L"999999999"},
       Verdict::kSideTooLong},
      {"a huge typed width", {3, 2000000000}, {Type(Field::kWidth, L"99999999999999999999")}, 1000000000,
       2147483647, 2147483647, 2147483647, {L"-", L"2147483647", L"2147483647", L"2147483647"},
       Verdict::kSideTooLong},
      {"presets truncate", {4001, 3001}, {Preset(1)}, 1000, 750, 25, 25, {L"1000", L"750", L"25", L"25"},
       Verdict::kOk},
      {"an unknown preset is 0", {4000, 3000}, {Preset(4)}, 0, 0, 0, 0, {L"0", L"0", L"0", L"0"}, Verdict::kEmpty},
      {"typing after a preset starts from the preset", {4000, 3000}, {Preset(2), Type(Field::kHeightPercent, L"40", false)},
       2000, 1200, 50, 40, {L"-", L"1200", L"-", L"-"}, Verdict::kOk},
      {"a picture without pixels cannot divide by zero", {0, 0}, {Type(Field::kWidth, L"10")}, 10, 0, 0, 0,
       {L"-", L"0", L"0", L"0"}, Verdict::kEmpty},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ResizeFields fields(c.source);
    resize_fields::FieldTexts shown;
    for (const Step& step : c.steps) {
      shown = step.kind == Step::kType ? fields.Typed(step.field, step.text, step.locked) : fields.ChoosePreset(step.preset);
    }
    EXPECT_EQ(fields.Width(), c.width);
    EXPECT_EQ(fields.Height(), c.height);
    EXPECT_EQ(fields.WidthPercent(), c.width_percent);
    EXPECT_EQ(fields.HeightPercent(), c.height_percent);
    for (size_t i = 0; i < c.shown.size(); ++i) {
      const std::wstring expected = c.shown[i];
      EXPECT_EQ(shown[i].value_or(L"-"), expected) << "field " << i;
    }
    EXPECT_EQ(fields.Check(), c.verdict);
  }
  ResizeFields photo(SIZE{4000, 3000});
  EXPECT_EQ(photo.PresetText(0), L"400X300");
  EXPECT_EQ(photo.PresetText(1), L"1000X750");
  EXPECT_EQ(photo.PresetText(2), L"2000X1500");
  EXPECT_EQ(photo.PresetText(3), L"3000X2250");
}

// ---- the windows ----

// A click delivered at once, as the mouse would deliver it, so that a script can look at what it
// did right afterwards.
void SendClick(const CUseZipResourceDuiWnd& window, const wchar_t* name) {
  const skin::Control* control = window.FindControl(name);
  ASSERT_TRUE(control) << "no control " << std::string(name, name + wcslen(name));
  const RECT& r = control->Rect();
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ::SendMessageW(window.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::SendMessageW(window.GetHWND(), WM_LBUTTONUP, 0, at);
}

// Types into a field as the keyboard does: everything selected and replaced (an empty text
// deletes it).
void TypeInto(const CUseZipResourceDuiWnd& window, const wchar_t* name, const std::wstring& text) {
  auto* edit = window.FindControlAs<skin::Edit>(name);
  ASSERT_TRUE(edit && edit->NativeWindow());
  ::SendMessageW(edit->NativeWindow(), EM_SETSEL, 0, -1);
  if (text.empty()) ::SendMessageW(edit->NativeWindow(), WM_CHAR, VK_BACK, 0);
  for (wchar_t c : text) ::SendMessageW(edit->NativeWindow(), WM_CHAR, c, 0);
}

std::wstring TextOf(const CUseZipResourceDuiWnd& window, const wchar_t* name) {
  const skin::Control* control = window.FindControl(name);
  return control ? control->Text() : L"<missing>";
}

bool FontHasGlyphs(const skin::Control& control, const std::wstring& text) {
  base::MemoryDc dc(::CreateCompatibleDC(nullptr));
  base::SelectGuard font(dc.Get(), control.Resources()->Font(control.Look().font));
  std::vector<WORD> glyphs(text.size());
  if (::GetGlyphIndicesW(dc.Get(), text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                         GGI_MARK_NONEXISTING_GLYPHS) == GDI_ERROR) {
    return false;
  }
  for (WORD glyph : glyphs) {
    if (glyph == 0xFFFF) return false;
  }
  return true;
}

// The owner of the pop-up as the viewer has it: a main window with a toolbar inside, the toolbar
// keeping what the pop-up tells it.
struct Report {
  WPARAM preset;
  HWND sender;
};
std::vector<Report> g_reports;

LRESULT CALLBACK OwnerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == services::WM_ADJUST_WINDOW_CLOSED) {
    g_reports.push_back(Report{wParam, reinterpret_cast<HWND>(lParam)});
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

class AdjustDialogs : public ::testing::Test {
 protected:
  virtual const wchar_t* Language() const { return L"en.ini"; }
  void SetUp() override {
    SetLanguageFolderForTesting(testing_support::BinDir() + L"language\\");
    ASSERT_TRUE(SetCurrentLanguageName(Language()));
    skin::SetResourceFolder(testing_support::BinDir() + L"res", L"res.zip");
    WNDCLASSW owner{};
    owner.lpfnWndProc = &OwnerProcedure;
    owner.hInstance = ::GetModuleHandleW(nullptr);
    owner.lpszClassName = L"AdjustTestOwner";
    ::RegisterClassW(&owner);
    main_ = ::CreateWindowExW(0, L"AdjustTestOwner", L"main", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100, 100, 800, 600,
                              nullptr, nullptr, owner.hInstance, nullptr);
    toolbar_ = ::CreateWindowExW(0, L"AdjustTestOwner", L"toolbar", WS_CHILD | WS_VISIBLE, 0, 500, 800, 62, main_,
                                 nullptr, owner.hInstance, nullptr);
    ASSERT_TRUE(main_ && toolbar_);
    g_reports.clear();
  }
  void TearDown() override {
    if (main_) ::DestroyWindow(main_);
    SetCurrentLanguageName(L"en.ini");
    SetLanguageFolderForTesting(L"");
  }

  image::GdiplusSession gdiplus_;
  FCAutoInitializeCOM com_;
  HWND main_ = nullptr;
  HWND toolbar_ = nullptr;
};

TEST(EffectPlacement, AboveTheButtonOrBelowItAndAlwaysOnTheWorkArea) {
  const RECT work{0, 0, 1600, 1000};
  const SIZE popup{252, 120};
  const struct {
    const char* what;
    RECT button;
    bool below;
    POINT expected;
  } cases[] = {
      {"above, 100 left and 126 up", {500, 600, 552, 652}, false, {400, 474}},
      {"no room above", {500, 100, 552, 152}, false, {400, 158}},
      {"asked below", {500, 600, 552, 652}, true, {400, 658}},
      {"kept off the left edge", {50, 600, 102, 652}, false, {0, 474}},
      {"kept off the right edge", {1560, 600, 1612, 652}, false, {1348, 474}},
      {"kept off the bottom", {500, 960, 552, 1012}, true, {400, 880}},
  };
  for (const auto& c : cases) {
    const POINT at = CEffectWnd::PlaceFor(c.button, popup, work, c.below);
    EXPECT_EQ(at.x, c.expected.x) << c.what;
    EXPECT_EQ(at.y, c.expected.y) << c.what;
  }
}

TEST_F(AdjustDialogs, ThePopupTellsItsOwnerOnceWhatWasChosenAndWhoChoseIt) {
  const RECT button{400, 520, 452, 572};
  const struct {
    const char* what;
    std::function<void(CEffectWnd&)> act;
    WPARAM preset;
  } cases[] = {
      {"brighter", [](CEffectWnd& w) { SendClick(w, L"brighter"); }, 1},
      {"colorful", [](CEffectWnd& w) { SendClick(w, L"colorful"); }, 2},
      {"hd", [](CEffectWnd& w) { SendClick(w, L"hd"); }, 3},
      {"the title", [](CEffectWnd& w) { SendClick(w, L"title"); ::SetForegroundWindow(::GetWindow(w.GetHWND(), GW_OWNER)); }, 0},
      {"Escape", [](CEffectWnd& w) { ::SendMessageW(w.GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0); }, 0},
      {"closed from outside", [](CEffectWnd& w) { ::SendMessageW(w.GetHWND(), WM_CLOSE, 0, 0); }, 0},
      {"the focus taken", [this](CEffectWnd&) { ::SetForegroundWindow(main_); ::SetFocus(main_); }, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    g_reports.clear();
    ::SetForegroundWindow(main_);
    auto popup = std::make_unique<CEffectWnd>(toolbar_);
    popup->ShowAt(button);
    HWND window = popup->GetSafeHwnd();
    ASSERT_TRUE(window);
    EXPECT_EQ(::GetWindow(window, GW_OWNER), main_) << "owned by the toolbar's window";
    EXPECT_EQ(::GetFocus(), window) << "it has the focus, whose loss drops it";
    RECT placed{};
    ::GetWindowRect(window, &placed);
    EXPECT_EQ(placed.left, button.left - CEffectWnd::kLeftOfButton);
    EXPECT_EQ(placed.top, button.top - CEffectWnd::kAboveButton);
    EXPECT_EQ(popup->FindControl(L"hd")->Tag(), 3u);
    c.act(*popup);
    testing_support::PumpMessagesUntil([] { return !g_reports.empty(); }, 5000);
    // Whatever comes after the first report (the focus going, the window dying) says nothing more.
    ::SetForegroundWindow(main_);
    testing_support::PumpPostedMessages();
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].preset, c.preset);
    EXPECT_EQ(g_reports[0].sender, window);
    EXPECT_FALSE(::IsWindowVisible(window)) << "gone from the screen at once";
    popup.reset();
    testing_support::PumpPostedMessages();
    EXPECT_FALSE(::IsWindow(window));
    EXPECT_EQ(g_reports.size(), 1u);
  }
}

TEST_F(AdjustDialogs, ResizeDialogKeepsTheFieldsInStepAndRefusesWhatCannotBeSaved) {
  testing_support::TempDir folder;
  const std::wstring picture = folder.File(L"lake.jpg");
  std::vector<std::pair<HWND, std::wstring>> asked;
  DlgResizeImage2 dialog(SIZE{4000, 3000}, picture, [&](HWND owner, const std::wstring& proposed, std::wstring& chosen) {
    asked.emplace_back(owner, proposed);
    chosen = folder.File(L"small.png");
    return true;
  });
  const INT_PTR result = skin_test::RunWithScript(
      L"DlgResizeImage2",
      [&](CUseZipResourceDuiWnd& w) {
        EXPECT_EQ(TextOf(w, L"item1"), L"400X300");
        EXPECT_EQ(TextOf(w, L"item4"), L"3000X2250");
        EXPECT_EQ(TextOf(w, L"wide"), L"4000");
        EXPECT_EQ(TextOf(w, L"height_percent"), L"100");
        EXPECT_TRUE(w.FindControlAs<skin::CheckBox>(L"lock")->IsChecked()) << "proportions are kept at first";
        testing_support::PumpPostedMessages();
        EXPECT_TRUE(w.FindControlAs<skin::Edit>(L"wide")->HasFocus()) << "ready for a width to be typed";

        // Locked: the width drives the rest, and the typed field keeps what was typed.
        TypeInto(w, L"wide", L"1000");
        EXPECT_EQ(TextOf(w, L"wide"), L"1000");
        EXPECT_EQ(TextOf(w, L"height"), L"750");
        EXPECT_EQ(TextOf(w, L"wide_percent"), L"25");
        EXPECT_EQ(TextOf(w, L"height_percent"), L"25");
        // Unlocked: only the height changes.
        SendClick(w, L"lock");
        TypeInto(w, L"height_percent", L"50");
        EXPECT_EQ(TextOf(w, L"height"), L"1500");
        EXPECT_EQ(TextOf(w, L"wide"), L"1000");

        // An emptied field shows 0, and the size is refused with the reason.
        TypeInto(w, L"wide", L"");
        EXPECT_EQ(TextOf(w, L"wide"), L"0");
        EXPECT_FALSE(w.FindControl(L"ok")->IsEnabled());
        EXPECT_EQ(TextOf(w, L"hint"), GetLanguageString(L"DLG_RESIZE", L"9"));
        // The next digit replaces the 0.
        ::SendMessageW(w.FindControlAs<skin::Edit>(L"wide")->NativeWindow(), WM_CHAR, L'7', 0);
        EXPECT_EQ(TextOf(w, L"wide"), L"7");
        TypeInto(w, L"wide", L"70000");
        EXPECT_NE(TextOf(w, L"hint").find(L"65535"), std::wstring::npos) << "says the limit";
        EXPECT_FALSE(w.FindControl(L"ok")->IsEnabled());
        SendClick(w, L"ok");
        EXPECT_TRUE(asked.empty()) << "a refused size asks for no file";

        // A preset sets all four, and the size is good again.
        SendClick(w, L"item3");
        EXPECT_EQ(TextOf(w, L"wide"), L"2000");
        EXPECT_EQ(TextOf(w, L"height"), L"1500");
        EXPECT_EQ(TextOf(w, L"wide_percent"), L"50");
        EXPECT_EQ(TextOf(w, L"height_percent"), L"50");
        EXPECT_TRUE(w.FindControl(L"ok")->IsEnabled());
        EXPECT_EQ(TextOf(w, L"hint"), L"");
        skin_test::Key(w.GetHWND(), VK_RETURN);
      },
      [&] { return dialog.DoModal(nullptr); });
  EXPECT_EQ(result, 1);
  ASSERT_EQ(asked.size(), 1u);
  EXPECT_NE(asked[0].first, nullptr) << "the file question is owned by the dialog";
  EXPECT_EQ(asked[0].second, folder.File(L"lake(1).jpg"));
  EXPECT_EQ(dialog.OutputPath(), folder.File(L"small.png"));
  EXPECT_EQ(dialog.OutputWidth(), 2000);
  EXPECT_EQ(dialog.OutputHeight(), 1500);
}

TEST_F(AdjustDialogs, ResizeDialogEndsWith2UnlessAFileWasChosen) {
  const struct {
    const char* what;
    std::function<void(CUseZipResourceDuiWnd&)> act;
  } cases[] = {
      {"the file question cancelled, then cancel", [](auto& w) { SendClick(w, L"ok"); skin_test::Click(w, L"cancel"); }},
      {"the close button", [](auto& w) { skin_test::Click(w, L"cls"); }},
      {"Escape", [](auto& w) { skin_test::Key(w.GetHWND(), VK_ESCAPE); }},
      {"closed from outside", [](auto& w) { ::PostMessageW(w.GetHWND(), WM_CLOSE, 1, 0); }},
      {"Enter with an empty width", [](auto& w) {
         TypeInto(w, L"wide", L"");
         skin_test::Key(w.GetHWND(), VK_RETURN);
         skin_test::Click(w, L"cancel");
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    int asked = 0;
    DlgResizeImage2 dialog(SIZE{640, 480}, L"C:\\pictures\\lake.jpg", [&](HWND, const std::wstring&, std::wstring&) {
      ++asked;
      return false;
    });
    EXPECT_EQ(skin_test::RunWithScript(L"DlgResizeImage2", c.act, [&] { return dialog.DoModal(nullptr); }), 2);
    EXPECT_EQ(dialog.OutputPath(), L"");
    EXPECT_LE(asked, 1);
  }
}

// The texts, in every language.
class AdjustTexts : public AdjustDialogs, public ::testing::WithParamInterface<const wchar_t*> {
 protected:
  const wchar_t* Language() const override { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Languages, AdjustTexts, ::testing::Values(L"en.ini", L"cn_simp.ini"));

TEST_P(AdjustTexts, BothWindowsShowTheirTextsInAFaceThatHasTheirCharacters) {
  const auto expectTexts = [](const CUseZipResourceDuiWnd& window, const wchar_t* section,
                              std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> controls) {
    for (const auto& [name, key] : controls) {
      SCOPED_TRACE(testing::Message() << "control " << std::string(name, name + wcslen(name)));
      const skin::Control* control = window.FindControl(name);
      ASSERT_TRUE(control);
      EXPECT_FALSE(control->Text().empty());
      EXPECT_EQ(control->Text(), GetLanguageString(section, key));
      EXPECT_TRUE(FontHasGlyphs(*control, control->Text()));
      // Nothing is cut: the text fits its control.
      EXPECT_LE(control->MeasureText(control->Text()).cx, control->Rect().right - control->Rect().left);
    }
  };
  CEffectWnd popup(toolbar_);
  popup.ShowAt(RECT{400, 520, 452, 572});
  popup.LayoutNow();
  expectTexts(popup, L"DLG_EFFECT", {{L"title", L"1"}, {L"brighter", L"2"}, {L"colorful", L"3"}, {L"hd", L"4"}});
  EXPECT_EQ(popup.FindControl(L"colorful")->Tooltip(), GetLanguageString(L"DLG_EFFECT", L"6"));

  DlgResizeImage2 dialog(SIZE{4000, 3000}, L"C:\\pictures\\lake.jpg", nullptr);
  skin_test::RunWithScript(
      L"DlgResizeImage2",
      [&](CUseZipResourceDuiWnd& w) {
        expectTexts(w, L"DLG_RESIZE",
                    {{L"title", L"1"}, {L"presets", L"3"}, {L"width_label", L"4"}, {L"height_label", L"5"},
                     {L"lock", L"6"}, {L"ok", L"7"}, {L"cancel", L"8"}, {L"width_unit", L"12"}});
        std::wstring source = GetLanguageString(L"DLG_RESIZE", L"2");
        source.replace(source.find(L"%s"), 2, L"4000 \u00D7 3000");
        EXPECT_EQ(TextOf(w, L"source"), source);
        TypeInto(w, L"height", L"70000");
        const skin::Control* hint = w.FindControl(L"hint");
        EXPECT_TRUE(FontHasGlyphs(*hint, hint->Text()));
        EXPECT_LE(hint->MeasureText(hint->Text()).cx, hint->Rect().right - hint->Rect().left);
        skin_test::Click(w, L"cls");
      },
      [&] { return dialog.DoModal(nullptr); });
}

}  // namespace
