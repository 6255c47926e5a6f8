#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "appconfig/language.h"
#include "view/title_info.h"
#include "tests/support/test_support.h"

namespace {

std::vector<std::pair<WPARAM, LPARAM>> g_title_width_messages;

LRESULT CALLBACK TestMainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_TITLE_WIDTH) g_title_width_messages.emplace_back(wParam, lParam);
  return ::DefWindowProcW(window, message, wParam, lParam);
}

std::wstring WindowText(HWND window) {
  wchar_t text[512] = {};
  ::GetWindowTextW(window, text, ARRAYSIZE(text));
  return text;
}

class TitleInfoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLanguageFolderForTesting(testing_support::BinDir() + L"language\\");
    g_title_width_messages.clear();
  }
  void TearDown() override {
    if (main_window_ != nullptr) ::DestroyWindow(main_window_);
    SetLanguageFolderForTesting(L"");
    SetCurrentLanguageName(L"en.ini");
  }

  // A stand-in for the main window: the same class name, with the title label as control 1025.
  void CreateMainWindow() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = TestMainWindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kMainWindowClass;
    ::RegisterClassExW(&wc);  // fails harmlessly when a previous test registered it
    main_window_ = ::CreateWindowExW(0, kMainWindowClass, L"", WS_OVERLAPPEDWINDOW, 0, 0, 800, 300,
                                     nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(main_window_, nullptr);
    label_ = ::CreateWindowExW(0, L"STATIC", L"TITLE", WS_CHILD | WS_VISIBLE, 105, 1, 61, 29, main_window_,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(CTitleInfo::kTitleLabelId)),
                               wc.hInstance, nullptr);
    ASSERT_NE(label_, nullptr);
  }

  int LabelWidth() const {
    RECT rect{};
    ::GetWindowRect(label_, &rect);
    return rect.right - rect.left;
  }

  AppConfig config_{L""};
  HWND main_window_ = nullptr;
  HWND label_ = nullptr;
};

TEST_F(TitleInfoTest, ChineseTitleFromTheLanguageFile) {
  ASSERT_TRUE(SetCurrentLanguageName(L"cn_simp.ini"));
  config_.language_id = L"cn_simp.ini";
  CTitleInfo title(config_);
  title.SetPicture(L"C:\\photos\\海边日落.jpg", L"2021:03:04 10:11:12", 3000, 2000);
  title.SetPosition(2, 12);
  EXPECT_EQ(title.FileName(), L"海边日落.jpg");
  EXPECT_EQ(title.ComposeText(), L"海边日落.jpg ( 3000x2000 , 约6百万像素 , 2021年03月04日 ) - 第3/12张 100%");

  // Japanese and Korean take the date units but count pixels the English way.
  config_.language_id = L"ja.ini";
  title.SetPicture(L"C:\\photos\\a.jpg", L"2021:03:04 10:11:12", 5000, 5000);
  EXPECT_EQ(title.ComposeText(), L"a.jpg ( 5000x5000 , 25M 千万像素 , 2021年03月04日 ) -  100%");

  // A new picture forgets the place and the zoom of the last one.
  title.SetPosition(0, 3);
  title.SetZoom(0.5f);  // no main window on this thread: only stored
  title.SetPicture(L"C:\\photos\\b.jpg", L"", 800, 600);
  EXPECT_EQ(title.ComposeText(), L"b.jpg ( 800x600 ) -  100%");
}

TEST_F(TitleInfoTest, RefreshWritesLabelAndCaptionAndAsksForTheWidth) {
  ASSERT_TRUE(SetCurrentLanguageName(L"en.ini"));
  config_.language_id = L"en.ini";
  CreateMainWindow();
  CTitleInfo title(config_);
  title.SetPicture(L"D:\\pictures\\beach.jpg", L"", 640, 480);
  title.SetPosition(4, 9);
  title.SetZoom(2.0f);
  const std::wstring expected = L"beach.jpg ( 640x480 ) - [5/9] 200%";
  EXPECT_EQ(WindowText(label_), expected);
  EXPECT_EQ(WindowText(main_window_), expected);
  ASSERT_EQ(g_title_width_messages.size(), 1u);
  EXPECT_GT(g_title_width_messages[0].first, 61u);  // the text is wider than the label was made
  EXPECT_EQ(g_title_width_messages[0].second, CTitleInfo::kTitleLabelHeight);

  // Once the label has the width asked for, the same text asks for nothing.
  ::SetWindowPos(label_, nullptr, 0, 0, static_cast<int>(g_title_width_messages[0].first), 29,
                 SWP_NOMOVE | SWP_NOZORDER);
  title.Refresh();
  EXPECT_EQ(g_title_width_messages.size(), 1u);

  // A longer text asks again; the size setter refreshes at once.
  title.SetSize(12000, 9000);
  EXPECT_EQ(WindowText(label_), L"beach.jpg ( 12000x9000 , 108M pixels ) - [5/9] 200%");
  ASSERT_EQ(g_title_width_messages.size(), 2u);
  EXPECT_GT(g_title_width_messages[1].first, g_title_width_messages[0].first);

  // Nothing shown: empty label, the product name as caption, no size request.
  title.SetPicture(L"", L"", 0, 0);
  title.Refresh();
  EXPECT_EQ(WindowText(label_), L"");
  EXPECT_EQ(WindowText(main_window_), CTitleInfo::kEmptyCaption);
  EXPECT_EQ(g_title_width_messages.size(), 2u);
}

TEST_F(TitleInfoTest, RefreshWithoutTheLabelChangesNothing) {
  config_.language_id = L"en.ini";
  CreateMainWindow();
  ::DestroyWindow(label_);
  ::SetWindowTextW(main_window_, L"unchanged");
  CTitleInfo title(config_);
  title.SetPicture(L"D:\\pictures\\beach.jpg", L"", 640, 480);
  title.SetZoom(1.0f);
  EXPECT_EQ(WindowText(main_window_), L"unchanged");
  EXPECT_TRUE(g_title_width_messages.empty());
}

}  // namespace
