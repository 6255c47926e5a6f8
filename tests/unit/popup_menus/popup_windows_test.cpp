// The two menus and the information panel in real windows, from the build's res.zip and language
// files, over the fixture photos: what they tick and enable, what they report to their owner and
// when, the wheel sub-list, and the panel's rows following the picture.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "appconfig/language.h"
#include "base/com.h"
#include "image/current_image.h"
#include "image/gdiplus_include.h"
#include "image/wic/factory.h"
#include "popup_dialog/info_panel/info_texts.h"
#include "popup_dialog/info_panel/show_exif.h"
#include "popup_dialog/menus/context_menu.h"
#include "popup_dialog/menus/main_menu.h"
#include "services/popup_menus.h"
#include "skin/archive/resource_archive.h"
#include "skin/controls/list.h"
#include "tests/support/test_support.h"
#include "view/ui_event.h"

namespace {

struct Report {
  WPARAM command;
  LPARAM sender;
};
std::vector<Report> g_reports;

LRESULT CALLBACK OwnerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == services::WM_MENU_COMMAND) {
    g_reports.push_back({wParam, lParam});
    return 0;
  }
  return ::DefWindowProcW(window, message, wParam, lParam);
}

// A top-level window of the test that owns the menus, as the main window does in the viewer.
HWND MakeOwner(DWORD exStyle = 0) {
  static const ATOM kClass = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &OwnerProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"QlMenuTestOwner";
    return ::RegisterClassW(&wc);
  }();
  (void)kClass;
  return ::CreateWindowExW(exStyle, L"QlMenuTestOwner", L"owner", WS_POPUP | WS_VISIBLE, 20, 20, 200, 200, nullptr,
                           nullptr, ::GetModuleHandleW(nullptr), nullptr);
}

std::wstring Fixture(const wchar_t* name) { return testing_support::EnvPath(L"QL_FIXTURE_DIR") + L"\\" + name; }

std::wstring Item(const std::wstring& list, int index) {
  const std::vector<std::wstring> items = info_panel::SplitList(list);
  return index < static_cast<int>(items.size()) ? items[static_cast<size_t>(index)] : std::wstring();
}

class PopupWindows : public ::testing::TestWithParam<const wchar_t*> {
 protected:
  void SetUp() override {
    SetLanguageFolderForTesting(testing_support::BinDir() + L"language\\");
    ASSERT_TRUE(SetCurrentLanguageName(GetParam()));
    skin::SetResourceFolder(testing_support::BinDir() + L"res", L"res.zip");
    config_ = std::make_unique<AppConfig>(folder_.File(L"config.ini"));
    ASSERT_TRUE(CreateWicFactory());
    CCurrentImage::Get().SetMessagesEnabled(false);
    owner_ = MakeOwner();
    ASSERT_TRUE(owner_);
    g_reports.clear();
  }
  void TearDown() override {
    ::DestroyWindow(owner_);
    CCurrentImage::DestroyInstance();
    ReleaseWicFactory();
    SetCurrentLanguageName(L"en.ini");
    SetLanguageFolderForTesting(L"");
  }

  static skin::List* ListOf(CUseZipResourceDuiWnd& window, const wchar_t* name) {
    return window.FindControlAs<skin::List>(name);
  }
  // A click on a list item as the mouse makes it.
  static void ClickItem(CUseZipResourceDuiWnd& window, const wchar_t* list, int index) {
    skin::List* items = ListOf(window, list);
    ASSERT_TRUE(items && items->ItemAt(index));
    window.LayoutNow();
    const RECT& r = items->ItemAt(index)->Rect();
    const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
    ::PostMessageW(window.GetHWND(), WM_MOUSEMOVE, 0, at);
    ::PostMessageW(window.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::PostMessageW(window.GetHWND(), WM_LBUTTONUP, 0, at);
    testing_support::PumpPostedMessages();
    testing_support::PumpPostedMessages();  // the owner's message, posted meanwhile
  }

  image::GdiplusSession gdiplus_;
  FCAutoInitializeCOM com_;
  testing_support::TempDir folder_;
  std::unique_ptr<AppConfig> config_;
  HWND owner_ = nullptr;
};

INSTANTIATE_TEST_SUITE_P(Languages, PopupWindows, ::testing::Values(L"en.ini", L"cn_simp.ini"));

TEST_P(PopupWindows, TheMainMenuTicksWhatIsSetAndReportsTheChosenCommandWithItsWindow) {
  const struct {
    int default_viewer;
    int wheel_action;
    bool topmost;
  } cases[] = {{1, 0, false}, {0, 1, true}, {0, 0, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "default " << c.default_viewer << ", wheel " << c.wheel_action
                                    << ", topmost " << c.topmost);
    config_->set_default_viewer = c.default_viewer;
    config_->mouse_wheel_action = c.wheel_action;
    ::SetWindowPos(owner_, c.topmost ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    g_reports.clear();
    CMainMenu menu(owner_, *config_);
    menu.ShowAt(RECT{600, 100, 630, 130});
    ASSERT_TRUE(menu.GetSafeHwnd());
    skin::List* list = ListOf(menu, L"list_menu");
    skin::List* wheel = ListOf(menu, L"list_menu2");
    ASSERT_TRUE(list && wheel);
    ASSERT_EQ(list->ItemCount(), 7);
    ASSERT_EQ(wheel->ItemCount(), 2);
    for (int i = 0; i < 7; ++i) {
      const bool ticked = (i == 1 && c.default_viewer) || (i == 2 && c.topmost);
      EXPECT_EQ(!list->ItemAt(i)->Image().empty() && i != 3, ticked) << "item " << i;
      EXPECT_FALSE(list->ItemAt(i)->Text().empty()) << "item " << i;
    }
    EXPECT_EQ(!wheel->ItemAt(0)->Image().empty(), c.wheel_action == 0);
    EXPECT_EQ(!wheel->ItemAt(1)->Image().empty(), c.wheel_action == 1);

    // The wheel entry opens the sub-list and reports nothing; "about" reports its command.
    ClickItem(menu, L"list_menu", 3);
    EXPECT_TRUE(g_reports.empty());
    ClickItem(menu, L"list_menu", 6);
    ASSERT_EQ(g_reports.size(), 1u);
    EXPECT_EQ(g_reports[0].command, 21801u);
    EXPECT_EQ(reinterpret_cast<HWND>(g_reports[0].sender), menu.GetSafeHwnd());
  }
}

TEST_P(PopupWindows, EveryItemReportsItsCommand) {
  const struct {
    const wchar_t* list;
    int index;
    UINT command;
  } mainItems[] = {{L"list_menu", 0, 21000}, {L"list_menu", 1, 26002}, {L"list_menu", 2, 21600},
                   {L"list_menu", 4, 21800}, {L"list_menu", 5, 21804}, {L"list_menu", 6, 21801},
                   {L"list_menu2", 0, 21700}, {L"list_menu2", 1, 21701}};
  for (const auto& c : mainItems) {
    g_reports.clear();
    CMainMenu menu(owner_, *config_);
    menu.ShowAt(RECT{600, 100, 630, 130});
    if (std::wstring(c.list) == L"list_menu2") ClickItem(menu, L"list_menu", 3);  // opens the sub-list
    ClickItem(menu, c.list, c.index);
    ASSERT_EQ(g_reports.size(), 1u) << "main menu item " << c.index;
    EXPECT_EQ(g_reports[0].command, c.command);
  }
  ASSERT_TRUE(CopyFileW(Fixture(L"camera.jpg").c_str(), folder_.File(L"shown.jpg").c_str(), FALSE));
  CCurrentImage::Get().Open(folder_.File(L"shown.jpg"));
  const UINT contextCommands[] = {21000, 21002, 20009, 21003, 21100, 21001, 20002, 20013, 21101, 20000};
  for (int i = 0; i < 10; ++i) {
    g_reports.clear();
    CContextMenu menu(owner_);
    menu.ShowAtPoint(POINT{300, 100});
    ClickItem(menu, L"list_menu", i);
    ASSERT_EQ(g_reports.size(), 1u) << "context menu item " << i;
    EXPECT_EQ(g_reports[0].command, contextCommands[i]);
  }
}

TEST_P(PopupWindows, AMenuClosedWithoutAChoiceReportsMinusOneOnce) {
  HWND other = MakeOwner();
  ASSERT_TRUE(other);
  const struct {
    const char* what;
    void (*close)(HWND menu, HWND other);
  } cases[] = {
      {"focus elsewhere (a click outside)", [](HWND, HWND elsewhere) { ::SetFocus(elsewhere); }},
      {"Escape", [](HWND menu, HWND) { ::PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (bool context : {false, true}) {
      g_reports.clear();
      std::unique_ptr<CPopupMenuWnd> menu;
      if (context) {
        menu = std::make_unique<CContextMenu>(owner_);
        menu->ShowAtPoint(POINT{300, 100});
      } else {
        menu = std::make_unique<CMainMenu>(owner_, *config_);
        menu->ShowAt(RECT{600, 100, 630, 130});
      }
      ASSERT_TRUE(menu->GetSafeHwnd());
      EXPECT_EQ(::GetFocus(), menu->GetSafeHwnd());
      c.close(menu->GetSafeHwnd(), other);
      testing_support::PumpPostedMessages();
      // Whatever follows (the focus going, Escape again) tells the owner nothing more.
      ::PostMessageW(menu->GetSafeHwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
      ::SetFocus(other);
      testing_support::PumpPostedMessages();
      testing_support::PumpPostedMessages();
      ASSERT_EQ(g_reports.size(), 1u) << (context ? "context menu" : "main menu");
      EXPECT_EQ(static_cast<int>(g_reports[0].command), -1);
      EXPECT_EQ(reinterpret_cast<HWND>(g_reports[0].sender), menu->GetSafeHwnd());
      // The owner deletes it: its window goes, and it says nothing on the way.
      menu.reset();
      testing_support::PumpPostedMessages();
      EXPECT_EQ(g_reports.size(), 1u);
    }
  }
  ::DestroyWindow(other);
}

TEST_P(PopupWindows, TheWheelSubListStaysWhileThePointerIsOnItAndGoesAfterwards) {
  CMainMenu menu(owner_, *config_);
  menu.ShowAt(RECT{600, 100, 630, 130});
  skin::List* list = ListOf(menu, L"list_menu");
  skin::List* wheel = ListOf(menu, L"list_menu2");
  ASSERT_TRUE(list && wheel);
  EXPECT_FALSE(wheel->IsVisible());
  menu.LayoutNow();
  const auto centre = [](const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; };
  const auto moveTo = [&](POINT client) {
    POINT screen = client;
    ::ClientToScreen(menu.GetSafeHwnd(), &screen);
    ::SetCursorPos(screen.x, screen.y);
    ::PostMessageW(menu.GetSafeHwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(client.x, client.y));
    testing_support::PumpPostedMessages();
  };
  moveTo(centre(list->ItemAt(3)->Rect()));
  ASSERT_TRUE(wheel->IsVisible());
  menu.LayoutNow();
  // With room on the left (the list starts at 600), it opens left of the list, level with the entry.
  EXPECT_EQ(wheel->Rect().right, list->Rect().left);
  EXPECT_LT(wheel->Rect().top, list->ItemAt(3)->Rect().bottom);
  EXPECT_GT(wheel->Rect().bottom, list->ItemAt(3)->Rect().top);

  // Into the sub-list: it stays through several turns of its timer.
  moveTo(centre(wheel->ItemAt(1)->Rect()));
  testing_support::PumpMessagesUntil([] { return false; }, 500);
  EXPECT_TRUE(wheel->IsVisible());
  // Away from both: it goes.
  moveTo(centre(list->ItemAt(0)->Rect()));
  EXPECT_TRUE(testing_support::PumpMessagesUntil([&] { return !wheel->IsVisible(); }, 10000));
}

TEST_P(PopupWindows, TheContextMenuEnablesWhatTheCurrentPictureAllows) {
  // open, copy, delete, show in folder, print, save as, actual size, full screen, wallpaper, information
  const std::vector<bool> none = {true, false, false, false, false, false, false, true, false, false};
  const std::vector<bool> shown = {true, true, true, true, true, true, true, true, true, true};
  const std::vector<bool> deleted = {true, true, false, false, false, true, true, true, false, false};
  const auto expectEnabled = [&](const std::vector<bool>& expected, const char* what) {
    SCOPED_TRACE(what);
    g_reports.clear();
    CContextMenu menu(owner_);
    menu.ShowAtPoint(POINT{300, 100});
    skin::List* list = ListOf(menu, L"list_menu");
    ASSERT_TRUE(list);
    ASSERT_EQ(list->ItemCount(), 10);
    for (int i = 0; i < 10; ++i) {
      EXPECT_EQ(list->ItemAt(i)->IsEnabled(), expected[static_cast<size_t>(i)]) << "item " << i;
      EXPECT_FALSE(list->ItemAt(i)->Text().empty());
    }
    // A disabled item does nothing when clicked.
    for (int i = 0; i < 10; ++i) {
      if (!expected[static_cast<size_t>(i)]) ClickItem(menu, L"list_menu", i);
    }
    EXPECT_TRUE(g_reports.empty());
  };
  CCurrentImage::Get().Clear();
  expectEnabled(none, "no picture");
  const std::wstring inner = folder_.File(L"inner");
  const std::wstring moved = folder_.File(L"moved");
  ASSERT_TRUE(::CreateDirectoryW(inner.c_str(), nullptr));
  const std::wstring path = inner + L"\\shown.jpg";
  ASSERT_TRUE(CopyFileW(Fixture(L"camera.jpg").c_str(), path.c_str(), FALSE));
  CCurrentImage::Get().Open(path);
  expectEnabled(shown, "a picture");
  // The file goes from its path behind the viewer's back while the picture is shown. The open
  // picture holds its file against deletion, so the file leaves the way this system allows: it is
  // deleted where it can be, otherwise its folder is renamed.
  if (!::DeleteFileW(path.c_str())) {
    ASSERT_TRUE(::MoveFileW(inner.c_str(), moved.c_str())) << ::GetLastError();
  }
  ASSERT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
  expectEnabled(deleted, "a picture whose file is gone");
}

TEST_P(PopupWindows, ThePanelShowsTheCameraValuesAndFollowsThePicture) {
  const std::wstring camera = folder_.File(L"camera.jpg");
  const std::wstring plain = folder_.File(L"plain.jpg");
  ASSERT_TRUE(CopyFileW(Fixture(L"camera.jpg").c_str(), camera.c_str(), FALSE));
  ASSERT_TRUE(CopyFileW(Fixture(L"plain.jpg").c_str(), plain.c_str(), FALSE));
  CCurrentImage::Get().Open(camera);
  std::vector<std::wstring> opened;
  WndShowExif2 panel(owner_, *config_, [&](const std::wstring& gps) { opened.push_back(gps); });
  ASSERT_TRUE(panel.Open());
  config_->toolbar_dock = 0;
  panel.Place(RECT{100, 100, 130, 130});
  const auto text = [&](const wchar_t* name) {
    const skin::Control* control = panel.FindControl(name);
    return control ? control->Text() : L"<no control>";
  };
  const struct {
    const wchar_t* control;
    std::wstring text;
  } rows[] = {
      {L"name", L"camera"},
      {L"type", L"JPG"},
      {L"size", L"32 * 64"},  // turned by its orientation
      {L"shooting_time", L"2024-05-06 07:08:09"},
      {L"firm", L"Testmaker"},
      {L"dev_model", L"Model 7"},
      {L"camera_lens", L"Lens 35mm"},
      {L"aperture_value", L"F2.8"},
      {L"time_of_exposure", L"1/250 sec"},
      {L"resolving_power", L"300 dpi"},
      {L"ISO", L"200"},
      {L"test_model", Item(GetLanguageString(L"EXIF", L"80"), 5)},
      {L"flash_lamp", Item(GetLanguageString(L"EXIF", L"81"), 1)},
      {L"white_balance", Item(GetLanguageString(L"EXIF", L"82"), 0)},
      {L"program", Item(GetLanguageString(L"EXIF", L"83"), 2)},
  };
  for (const auto& row : rows) {
    EXPECT_FALSE(row.text.empty());
    EXPECT_EQ(text(row.control), row.text) << testing::PrintToString(std::wstring(row.control));
  }
  EXPECT_FALSE(text(L"capacity").empty());
  EXPECT_FALSE(text(L"modify_time").empty());
  EXPECT_EQ(text(L"title"), GetLanguageStringById(L"INFO_PANEL", 1));
  // The panel sits below the button and does not take the activation.
  RECT placed{};
  ::GetWindowRect(panel.GetHWND(), &placed);
  EXPECT_EQ(placed.left, 100);
  EXPECT_EQ(placed.top, 130);
  EXPECT_TRUE(::IsWindowVisible(panel.GetHWND()));
  EXPECT_NE(::GetActiveWindow(), panel.GetHWND());

  // The map link opens the photo's position.
  const skin::Control* map = panel.FindControl(L"map");
  ASSERT_TRUE(map);
  EXPECT_TRUE(map->IsVisible());
  panel.LayoutNow();
  ::UpdateWindow(panel.GetHWND());  // the link's place is known once it is drawn
  const RECT& link = map->Rect();
  bool clicked = false;
  for (LONG x = link.left; x < link.right && !clicked; x += 4) {
    const POINT p{x, (link.top + link.bottom) / 2};
    if (map->Cursor(p) != ::LoadCursorW(nullptr, IDC_HAND)) continue;
    ::PostMessageW(panel.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    ::PostMessageW(panel.GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
    clicked = true;
  }
  EXPECT_TRUE(clicked) << "the link part is found";
  testing_support::PumpPostedMessages();
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0], CCurrentImage::Get().Loader()->Metadata().gps);

  // The next picture has no camera data: the camera rows and the link go with the event.
  CCurrentImage::Get().Open(plain);
  BroadcastUIEvent(CUIEventViewImageChanged());
  EXPECT_EQ(text(L"name"), L"plain");
  EXPECT_EQ(text(L"size"), L"64 * 32");
  for (const wchar_t* name : {L"shooting_time", L"firm", L"dev_model", L"aperture_value", L"ISO", L"flash_lamp"}) {
    EXPECT_EQ(text(name), L"") << testing::PrintToString(std::wstring(name));
  }
  EXPECT_FALSE(map->IsVisible());
  // With the toolbar at the bottom it opens upwards from the button.
  config_->toolbar_dock = 1;
  panel.Place(RECT{100, 600, 130, 630});
  ::GetWindowRect(panel.GetHWND(), &placed);
  EXPECT_EQ(placed.bottom, 600);
  // No picture at all: every row is empty.
  CCurrentImage::Get().Clear();
  BroadcastUIEvent(CUIEventViewImageChanged());
  EXPECT_EQ(text(L"name"), L"");
  EXPECT_EQ(text(L"size"), L"");
}

TEST_P(PopupWindows, ThePanelsCloseButtonAsksTheMainWindowToCloseIt) {
  WndShowExif2 panel(owner_, *config_, nullptr);
  ASSERT_TRUE(panel.Open());
  panel.Place(RECT{100, 100, 130, 130});
  static std::vector<UINT> commands;
  commands.clear();
  // The owner's procedure records WM_COMMAND too.
  const auto previous = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
      owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_COMMAND) commands.push_back(LOWORD(wp));
        return ::DefWindowProcW(w, m, wp, lp);
      })));
  const skin::Control* close = panel.FindControl(L"cls");
  ASSERT_TRUE(close);
  panel.LayoutNow();
  const RECT& r = close->Rect();
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ::PostMessageW(panel.GetHWND(), WM_MOUSEMOVE, 0, at);
  ::PostMessageW(panel.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(panel.GetHWND(), WM_LBUTTONUP, 0, at);
  testing_support::PumpPostedMessages();
  testing_support::PumpPostedMessages();
  ::SetWindowLongPtrW(owner_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous));
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0], 20000u);
}

}  // namespace
