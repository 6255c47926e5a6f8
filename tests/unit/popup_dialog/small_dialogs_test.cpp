// The delete confirmation, the default-viewer prompt, the wheel question and the about box in
// real windows, built from the build's res.zip with the build's language files.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "app/version_info.h"
#include "appconfig/app_config.h"
#include "appconfig/language.h"
#include "base/com.h"
#include "base/handles.h"
#include "image/gdiplus_include.h"
#include "popup_dialog/small/about.h"
#include "popup_dialog/small/default_viewer.h"
#include "popup_dialog/small/delete_confirm.h"
#include "popup_dialog/small/install.h"
#include "popup_dialog/small/wheel_favorite.h"
#include "services/about_dialog.h"
#include "services/delete_confirmation.h"
#include "services/registry.h"
#include "services/wheel_question.h"
#include "skin/archive/resource_archive.h"
#include "skin/controls/button.h"
#include "skin/render/resources.h"
#include "tests/support/test_support.h"
#include "tests/unit/skin/modal_script.h"

namespace {

using skin_test::Click;
using skin_test::Key;
using Script = std::function<void(CUseZipResourceDuiWnd&)>;

INT_PTR RunDialog(CDlgBase& dialog, Script script) {
  return skin_test::RunWithScript(dialog.WindowClassName(), std::move(script), [&] { return dialog.DoModal(nullptr); });
}

// Pixels darker than the white background inside a control: the ink of its text or picture.
int InkIn(HWND window, const RECT& area) {
  base::WindowDc dc(window);
  int ink = 0;
  for (LONG y = area.top; y < area.bottom; ++y) {
    for (LONG x = area.left; x < area.right; ++x) {
      const COLORREF c = ::GetPixel(dc.Get(), x, y);
      if (c != CLR_INVALID && GetRValue(c) + GetGValue(c) + GetBValue(c) < 3 * 160) ++ink;
    }
  }
  return ink;
}

// Whether the font the control draws with has a glyph of its own for every character.
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

class SmallDialogs : public ::testing::Test {
 protected:
  virtual const wchar_t* Language() const { return L"en.ini"; }
  void SetUp() override {
    SetLanguageFolderForTesting(testing_support::BinDir() + L"language\\");
    ASSERT_TRUE(SetCurrentLanguageName(Language()));
    skin::SetResourceFolder(testing_support::BinDir() + L"res", L"res.zip");
    config_path_ = folder_.File(L"config.ini");
    config_ = std::make_unique<AppConfig>(config_path_);
  }
  void TearDown() override {
    SetCurrentLanguageName(L"en.ini");
    SetLanguageFolderForTesting(L"");
    services::UninstallAll();
  }

  // Every named control shows its language text, drawn in a face that has its characters.
  void ExpectTexts(CUseZipResourceDuiWnd& window, const wchar_t* section,
                   std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> controls) {
    for (const auto& [name, key] : controls) {
      SCOPED_TRACE(testing::Message() << "control " << std::string(name, name + wcslen(name)));
      const skin::Control* control = window.FindControl(name);
      ASSERT_TRUE(control);
      const std::wstring expected = GetLanguageString(section, key);
      EXPECT_FALSE(expected.empty());
      EXPECT_EQ(control->Text(), expected);
      EXPECT_TRUE(FontHasGlyphs(*control, control->Text()));
    }
    const skin::Control* title = window.FindControl(L"title");
    ASSERT_TRUE(title);
    EXPECT_GT(InkIn(window.GetHWND(), title->Rect()), 40) << "the title is drawn";
  }

  int StoredNumber(const wchar_t* key) const {
    return static_cast<int>(::GetPrivateProfileIntW(L"app", key, -1, config_path_.c_str()));
  }

  image::GdiplusSession gdiplus_;
  FCAutoInitializeCOM com_;
  testing_support::TempDir folder_;
  std::wstring config_path_;
  std::unique_ptr<AppConfig> config_;
};

// The texts, in every language: the behaviour does not depend on it.
class SmallDialogTexts : public SmallDialogs, public ::testing::WithParamInterface<const wchar_t*> {
 protected:
  const wchar_t* Language() const override { return GetParam(); }
};

INSTANTIATE_TEST_SUITE_P(Languages, SmallDialogTexts, ::testing::Values(L"en.ini", L"cn_simp.ini"));

TEST_F(SmallDialogs, DeleteConfirmationDeletesOnlyWhenConfirmed) {
  const struct {
    const char* what;
    Script act;
    INT_PTR result;
    int show_confirm;
  } cases[] = {
      {"ok", [](auto& w) { Click(w, L"ok"); }, 1, 1},
      {"notip and ok", [](auto& w) { Click(w, L"notip"); Click(w, L"ok"); }, 1, 0},
      {"notip and cancel", [](auto& w) { Click(w, L"notip"); Click(w, L"cancel"); }, 2, 1},
      {"notip and close button", [](auto& w) { Click(w, L"notip"); Click(w, L"cls"); }, 2, 1},
      {"Enter", [](auto& w) { Key(w.GetHWND(), VK_RETURN); }, 1, 1},
      {"Escape", [](auto& w) { Key(w.GetHWND(), VK_ESCAPE); }, 2, 1},
      {"closed as the close button would", [](auto& w) { ::PostMessageW(w.GetHWND(), WM_CLOSE, 1, 0); }, 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    config_->show_delete_confirm = 1;
    DlgDeleteConfirm2 dialog(*config_, L"C:\\pictures\\lake.jpg");
    EXPECT_EQ(RunDialog(dialog, c.act), c.result);
    EXPECT_EQ(config_->show_delete_confirm, c.show_confirm);
  }
  // The installed service answers "delete" only for a confirmation, and shows the file's name.
  popup_dialog::InstallSmallDialogs({config_.get(), nullptr});
  auto* service = services::Find<services::IDeleteConfirmation>();
  ASSERT_TRUE(service);
  std::wstring shown;
  EXPECT_FALSE(skin_test::RunWithScript(
      L"DlgDeleteConfirm2",
      [&](auto& w) {
        shown = w.FindControl(L"filename")->Text();
        Click(w, L"cls");
      },
      [&] { return service->Confirm(nullptr, L"C:\\pictures\\lake.jpg"); }));
  EXPECT_EQ(shown, L"lake.jpg");
  EXPECT_TRUE(skin_test::RunWithScript(L"DlgDeleteConfirm2", [](auto& w) { Click(w, L"ok"); },
                                       [&] { return service->Confirm(nullptr, L"C:\\pictures\\lake.jpg"); }));
}

TEST_F(SmallDialogs, DefaultViewerPromptRemembersNotAskingEitherWay) {
  const struct {
    const char* what;
    Script act;
    INT_PTR result;
    int start_tip;
  } cases[] = {
      {"ok", [](auto& w) { Click(w, L"ok"); }, 1, 1},
      {"notip and ok", [](auto& w) { Click(w, L"notip"); Click(w, L"ok"); }, 1, 0},
      {"cancel", [](auto& w) { Click(w, L"cancel"); }, 2, 1},
      {"notip and cancel", [](auto& w) { Click(w, L"notip"); Click(w, L"cancel"); }, 2, 0},
      {"notip and close button", [](auto& w) { Click(w, L"notip"); Click(w, L"cls"); }, 2, 0},
      {"notip and Escape", [](auto& w) { Click(w, L"notip"); Key(w.GetHWND(), VK_ESCAPE); }, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    config_->default_viewer_start_tip = 1;
    DlgSetDefaultViewer2 dialog(*config_);
    EXPECT_EQ(RunDialog(dialog, c.act), c.result);
    EXPECT_EQ(config_->default_viewer_start_tip, c.start_tip);
  }
}

TEST_F(SmallDialogs, WheelQuestionStoresTheChoiceAtOnce) {
  const struct {
    const char* what;
    Script act;
    int action;         // stored mouse_wheel_action, -1 when nothing was written
    int show_question;  // stored show_wheel_favorite
  } cases[] = {
      {"zoom and ok", [](auto& w) { Click(w, L"zoom"); Click(w, L"ok"); }, 1, 0},
      {"zoom and close button", [](auto& w) { Click(w, L"zoom"); Click(w, L"cls"); }, 0, 0},
      {"zoom, asking again, ok", [](auto& w) { Click(w, L"zoom"); Click(w, L"notip"); Click(w, L"ok"); }, 1, 1},
      {"zoom, back to pages, Enter", [](auto& w) { Click(w, L"zoom"); Click(w, L"turnpage"); Key(w.GetHWND(), VK_RETURN); }, 0, 0},
      {"zoom and Escape", [](auto& w) { Click(w, L"zoom"); Key(w.GetHWND(), VK_ESCAPE); }, 0, 0},
      {"closed by the viewer", [](auto& w) { ::PostMessageW(w.GetHWND(), WM_CLOSE, 0, 0); }, -1, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ::DeleteFileW(config_path_.c_str());
    // As when the viewer asks: nothing chosen yet.
    config_->show_wheel_favorite = 1;
    config_->mouse_wheel_action = AppConfig::kWheelNotChosen;
    DlgMouseWheelFavorite2 dialog(*config_);
    EXPECT_EQ(DlgMouseWheelFavorite2::Current(), &dialog);
    RunDialog(dialog, c.act);
    EXPECT_EQ(StoredNumber(L"mouse_wheel_action"), c.action);
    EXPECT_EQ(StoredNumber(L"show_wheel_favorite"), c.show_question);
  }
  EXPECT_EQ(DlgMouseWheelFavorite2::Current(), nullptr);

  // Through the service: the question's window is known while it is open, and it starts on
  // stepping through pictures with "do not ask again" ticked.
  popup_dialog::InstallSmallDialogs({config_.get(), nullptr});
  auto* question = services::Find<services::IWheelQuestion>();
  ASSERT_TRUE(question);
  HWND open = nullptr;
  skin_test::RunWithScript(
      L"DlgMouseWheelFavorite2",
      [&](auto& w) {
        open = question->OpenWindow();
        EXPECT_TRUE(w.template FindControlAs<skin::Option>(L"turnpage")->IsSelected());
        EXPECT_FALSE(w.template FindControlAs<skin::Option>(L"zoom")->IsSelected());
        EXPECT_TRUE(w.template FindControlAs<skin::CheckBox>(L"notip")->IsChecked());
        Click(w, L"ok");
      },
      [&] {
        question->Ask(nullptr);
        return 0;
      });
  EXPECT_NE(open, nullptr);
  EXPECT_EQ(question->OpenWindow(), nullptr);
  EXPECT_EQ(config_->mouse_wheel_action, 0);
}

TEST_P(SmallDialogTexts, EveryDialogShowsItsTextsInAFaceThatHasTheirCharacters) {
  DlgDeleteConfirm2 remove(*config_, L"C:\\pictures\\lake.jpg");
  RunDialog(remove, [&](auto& w) {
    ExpectTexts(w, L"DLG_DELETE", {{L"title", L"1"}, {L"question", L"2"}, {L"notip", L"3"}, {L"ok", L"4"}, {L"cancel", L"5"}});
    Click(w, L"cls");
  });
  DlgSetDefaultViewer2 viewer(*config_);
  RunDialog(viewer, [&](auto& w) {
    ExpectTexts(w, L"DLG_DEFAULT_VIEWER",
                {{L"title", L"1"}, {L"question", L"2"}, {L"notip", L"3"}, {L"ok", L"4"}, {L"cancel", L"5"}});
    Click(w, L"cancel");
  });
  DlgMouseWheelFavorite2 wheel(*config_);
  RunDialog(wheel, [&](auto& w) {
    ExpectTexts(w, L"DLG_WHEEL",
                {{L"title", L"1"}, {L"question", L"2"}, {L"turnpage", L"3"}, {L"zoom", L"4"}, {L"hint", L"5"}, {L"notip", L"6"}, {L"ok", L"7"}});
    ::PostMessageW(w.GetHWND(), WM_CLOSE, 0, 0);
  });
  DlgAbout2 about(L"1.2.3.4", nullptr);
  RunDialog(about, [&](auto& w) {
    ExpectTexts(w, L"DLG_ABOUT", {{L"title", L"1"}, {L"slogan", L"3"}, {L"copyright", L"5"}});
    std::wstring version = GetLanguageString(L"DLG_ABOUT", L"2");
    version.replace(version.find(L"%s"), 2, L"1.2.3.4");
    EXPECT_EQ(w.FindControl(L"version_desc")->Text(), version);
    EXPECT_EQ(w.FindControl(L"license")->Text().find(L"{a}"), std::wstring::npos);
    Click(w, L"cls");
  });
}

TEST(AboutBox, CentresTheSloganAreaInTheRowWithoutGoingNegative) {
  const struct {
    int text, logo, area, spacer;
  } cases[] = {{100, 200, 200, 180}, {300, 200, 300, 130}, {559, 0, 559, 0}, {561, 200, 560, 0}, {5000, 200, 560, 0}, {0, 0, 0, 280}};
  for (const auto& c : cases) {
    const DlgAbout2::RowWidths widths = DlgAbout2::CentreInRow(c.text, c.logo);
    EXPECT_EQ(widths.area, c.area) << c.text;
    EXPECT_EQ(widths.spacer, c.spacer) << c.text;
  }
}

TEST_F(SmallDialogs, AboutBoxShowsTheExecutablesVersionAndOpensTheAgreement) {
  std::vector<std::wstring> opened;
  const std::wstring version = GetFileVersionText(testing_support::BinDir() + L"QuellinImg.exe");
  ASSERT_FALSE(version.empty());
  popup_dialog::InstallSmallDialogs(
      {config_.get(), [&] { return version; }, [&](const std::wstring& address) { opened.push_back(address); }});
  auto* factory = services::Find<services::IAboutDialogFactory>();
  ASSERT_TRUE(factory);
  std::unique_ptr<services::IModalDialog> about = factory->CreateAboutDialog();
  const INT_PTR result = skin_test::RunWithScript(
      L"DlgAbout2",
      [&](auto& w) {
        const skin::Control* label = w.FindControl(L"version_desc");
        ASSERT_TRUE(label);
        std::wstring expected = GetLanguageString(L"DLG_ABOUT", L"2");
        expected.replace(expected.find(L"%s"), 2, version);
        EXPECT_EQ(label->Text(), expected);
        EXPECT_TRUE(label->IsVisible());
        const int area = w.FindControl(L"slogan_area")->FixedWidth();
        EXPECT_EQ(area, std::max(200, static_cast<int>(label->MeasureText(expected).cx)));
        EXPECT_EQ(w.FindControl(L"hold_place1")->FixedWidth(), (560 - area) / 2);
        EXPECT_EQ(w.FindControl(L"hold_place2")->FixedWidth(), (560 - area) / 2);
        EXPECT_GT(InkIn(w.GetHWND(), label->Rect()), 20) << "the version is drawn";
        // The link part of "license" opens the agreement; the box stays open.
        const skin::Control* license = w.FindControl(L"license");
        const RECT& r = license->Rect();
        bool clicked = false;
        for (LONG x = r.left; x < r.right && !clicked; x += 4) {
          const POINT p{x, (r.top + r.bottom) / 2};
          if (license->Cursor(p) == ::LoadCursorW(nullptr, IDC_HAND)) {
            ::PostMessageW(w.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
            ::PostMessageW(w.GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
            clicked = true;
          }
        }
        EXPECT_TRUE(clicked) << "the link part is found";
        Click(w, L"title");  // the rest of the box does nothing
        Click(w, L"cls");
      },
      [&] { return about->DoModal(nullptr); });
  EXPECT_EQ(result, 2);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], DlgAbout2::kUserAgreementAddress);
}

}  // namespace
