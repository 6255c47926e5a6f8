// The menus and the information panel in the real viewer: the menu button's menu and the view's
// context menu send their command to the main window and close without one on a click outside or
// Escape; a late message of a menu already gone leaves the open one alone; the context menu
// enables what the picture allows; menus near the screen's edges stay
// inside the work area; the panel shows a photo's camera values and follows the picture when
// stepping.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <memory>
#include <string>

#include "appconfig/app_config.h"
#include "appconfig/language.h"
#include "base/paths.h"
#include "image/current_image.h"
#include "image/gdiplus_include.h"
#include "image/wic/factory.h"
#include "popup_dialog/info_panel/show_exif.h"
#include "skin/archive/resource_archive.h"
#include "tests/e2e/viewer_scenario.h"

namespace {

using namespace e2e_scenario;

// The skins' geometry: the main menu's list starts 144 pixels into its window (the room for the
// wheel sub-list), items are 36 high below a 4-pixel inset (3 in the context menu).
constexpr int kListOffset = 144;
constexpr int kListWidth = 238;
constexpr int kListHeight = 260;
constexpr int kItemHeight = 36;
constexpr UINT kMenuCommand = 0x8203;
constexpr int kMenubarId = 103;

// The rightmost child with the menu button's id (the logo shares it).
struct MenuButtonSearch {
  HWND found = nullptr;
  LONG left = LONG_MIN;
};

BOOL CALLBACK CheckMenuButton(HWND child, LPARAM data) {
  auto* s = reinterpret_cast<MenuButtonSearch*>(data);
  RECT r{};
  ::GetWindowRect(child, &r);
  if (::GetDlgCtrlID(child) == kMenubarId && r.left > s->left) {
    s->found = child;
    s->left = r.left;
  }
  return TRUE;
}

HWND MenuButton(HWND main) {
  MenuButtonSearch search;
  ::EnumChildWindows(main, &CheckMenuButton, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring Fixture(const std::wstring& name) { return testing_support::EnvPath(L"QL_FIXTURE_DIR") + L"\\" + name; }

void RightClick(POINT screen) {
  e2e::MoveMouse(screen);
  INPUT input[2] = {};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  ::SendInput(2, input, sizeof(INPUT));
}

RECT WorkArea() {
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  return work;
}

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

class Popups : public ViewerScenario {
 protected:
  HWND WaitForPopup(const wchar_t* windowClass, DWORD timeoutMs = kShowMs) {
    return e2e::WaitForTopLevelWindow(Viewer().GetProcess().Id(), windowClass, timeoutMs);
  }
  bool WaitUntilGone(HWND window) {
    return e2e::WaitUntil([&] { return !::IsWindow(window) || !::IsWindowVisible(window); }, kShowMs);
  }
  // Opens the main menu with the M key; the visible list on screen in `list`.
  HWND OpenMainMenu(RECT* list = nullptr) {
    // Under Wine the window manager's late focus events right after the viewer came to the front
    // would take the focus from a menu opened meanwhile (which closes it): let them pass first.
    if (!Viewer().Focus()) return nullptr;
    e2e::PressKey('M');
    HWND menu = WaitForPopup(L"CMainMenu");
    Viewer().WaitUntilQuiet(200, kShowMs);
    if (menu && !::IsWindowVisible(menu)) return nullptr;
    if (menu && list) {
      RECT window{};
      ::GetWindowRect(menu, &window);
      *list = RECT{window.left + kListOffset, window.top, window.left + kListOffset + kListWidth,
                   window.top + kListHeight};
    }
    return menu;
  }
  static POINT ItemCentre(const RECT& list, int index, int inset) {
    return POINT{list.left + 100, list.top + inset + kItemHeight * index + kItemHeight / 2};
  }
  // Which of the context menu's ten items are drawn in the ink of enabled items.
  // (Enabled captions are ink, #404147; disabled ones a light grey that stays above 0xB0 even
  // where it is blended with the white.)
  static std::vector<bool> EnabledRows(HWND menu) {
    const e2e::Capture shown = e2e::Capture::Client(menu);
    std::vector<bool> rows;
    for (int i = 0; i < 10; ++i) {
      int dark = 0;
      for (int y = 3 + kItemHeight * i; y < 3 + kItemHeight * (i + 1); ++y) {
        for (int x = 30; x < shown.Width() - 10; ++x) {
          const COLORREF c = shown.At(x, y);
          if (GetRValue(c) < 0x90 && GetGValue(c) < 0x90 && GetBValue(c) < 0x90) ++dark;
        }
      }
      rows.push_back(dark >= 3);
    }
    return rows;
  }
};

TEST_F(Popups, TheMainMenuSendsItsCommandAndAClickOutsideClosesItWithout) {
  WritePicture(L"red.png", e2e::PictureFormat::kPng, SIZE{200, 100}, kRed);
  StartViewer({}, Picture(L"red.png"));
  ASSERT_TRUE(WaitForFittedPicture(kRed, SIZE{200, 100}));

  RECT list{};
  HWND menu = OpenMainMenu(&list);
  ASSERT_TRUE(menu);
  Shot(L"menu");
  e2e::PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntilGone(menu)) << "Escape closes it";

  // A click outside closes the menu without a command: the owner got -1 and let it go.
  menu = OpenMainMenu(&list);
  ASSERT_TRUE(menu);
  e2e::Click(Viewer().ViewPoint(20, 20));
  EXPECT_TRUE(WaitUntilGone(menu));
  EXPECT_EQ(WaitForPopup(L"DlgAbout2", 500), nullptr);
  EXPECT_TRUE(Viewer().Responds());

  // "About" from the menu opens the about box; Escape closes it.
  menu = OpenMainMenu(&list);
  ASSERT_TRUE(menu);
  e2e::Click(ItemCentre(list, 6, 4));
  HWND about = WaitForPopup(L"DlgAbout2");
  ASSERT_TRUE(about);
  e2e::PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntilGone(about));
}

TEST_F(Popups, ALateMessageOfAnotherMenuLeavesTheOpenMenuAlone) {
  StartViewer();
  HWND menubar = MenuButton(Viewer().Main());
  ASSERT_TRUE(menubar);
  HWND menu = OpenMainMenu();
  ASSERT_TRUE(menu);
  // Late "closed" messages of menus that are gone (or of no menu at all)...
  ::PostMessageW(menubar, kMenuCommand, static_cast<WPARAM>(-1), 0);
  ::PostMessageW(menubar, kMenuCommand, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(Viewer().Main()));
  // ...then the open menu's own choice, handled after them: it still counts.
  ::PostMessageW(menubar, kMenuCommand, 21801, reinterpret_cast<LPARAM>(menu));
  HWND about = WaitForPopup(L"DlgAbout2");
  ASSERT_TRUE(about) << "a stranger's message closed the open menu";
  EXPECT_FALSE(::IsWindow(menu)) << "the owner let the menu go";
  e2e::PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntilGone(about));
}

TEST_F(Popups, TheContextMenuEnablesWhatThePictureAllows) {
  // No picture: open and full screen only.
  StartViewer();
  ASSERT_TRUE(Viewer().Focus());
  RightClick(Viewer().ViewCentre());
  HWND menu = WaitForPopup(L"CContextMenu");
  ASSERT_TRUE(menu);
  Viewer().WaitUntilQuiet(200, kShowMs);
  EXPECT_EQ(EnabledRows(menu), (std::vector<bool>{true, false, false, false, false, false, false, true, false, false}));
  e2e::PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntilGone(menu));
  viewer_.reset();

  // A picture whose file goes from its path while it is shown. The viewer holds the file open,
  // so it goes the way this system allows: its folder is renamed.
  const std::wstring folder = pictures_.File(L"inner");
  ASSERT_TRUE(::CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring path = folder + L"\\red.png";
  ASSERT_TRUE(e2e::WriteSolidPicture(path, e2e::PictureFormat::kPng, 200, 100, kRed));
  StartViewer({}, path);
  ASSERT_TRUE(WaitForFittedPicture(kRed, SIZE{200, 100}));
  ASSERT_TRUE(Viewer().Focus());
  RightClick(Viewer().ViewPoint(30, 30));
  menu = WaitForPopup(L"CContextMenu");
  ASSERT_TRUE(menu);
  Viewer().WaitUntilQuiet(200, kShowMs);
  EXPECT_EQ(EnabledRows(menu), std::vector<bool>(10, true));
  e2e::Click(Viewer().ViewPoint(10, 10));  // a click outside closes it
  EXPECT_TRUE(WaitUntilGone(menu));
  if (!::DeleteFileW(path.c_str())) {
    ASSERT_TRUE(::MoveFileW(folder.c_str(), pictures_.File(L"moved").c_str())) << ::GetLastError();
  }
  ASSERT_TRUE(Viewer().Focus());
  RightClick(Viewer().ViewPoint(30, 30));
  menu = WaitForPopup(L"CContextMenu");
  ASSERT_TRUE(menu);
  Viewer().WaitUntilQuiet(200, kShowMs);
  Shot(L"deleted");
  EXPECT_EQ(EnabledRows(menu), (std::vector<bool>{true, true, false, false, false, true, true, true, false, false}));
  // "Actual size" still works on the picture on screen: the caption shows 100 %.
  e2e::Click(ItemCentre(e2e::ClientOnScreen(menu), 6, 3));
  EXPECT_TRUE(WaitUntilGone(menu));
  EXPECT_TRUE(e2e::WaitUntil([&] { return Viewer().CaptionZoom() == 100; }, kShowMs)) << Viewer().CaptionZoom();
}

TEST_F(Popups, MenusNearTheRightAndBottomEdgesStayInsideTheWorkArea) {
  WritePicture(L"red.png", e2e::PictureFormat::kPng, SIZE{200, 100}, kRed);
  StartViewer({}, Picture(L"red.png"));
  ASSERT_TRUE(WaitForFittedPicture(kRed, SIZE{200, 100}));
  HWND main = Viewer().Main();
  const RECT work = WorkArea();
  // The window hangs over the right and bottom edges: its menu button is near both.
  ASSERT_TRUE(::SetWindowPos(main, nullptr, work.right - 700, work.bottom - 120, 800, 600, SWP_NOZORDER));
  Viewer().WaitUntilQuiet(200, kShowMs);
  ASSERT_TRUE(Viewer().Focus());
  RECT list{};
  HWND menu = OpenMainMenu(&list);
  ASSERT_TRUE(menu);
  EXPECT_TRUE(Inside(list, work)) << testing::PrintToString(e2e::Describe(list));
  e2e::PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntilGone(menu));

  // A right click near the view's visible bottom-right corner.
  ASSERT_TRUE(::SetWindowPos(main, nullptr, work.right - 500, work.bottom - 500, 800, 600, SWP_NOZORDER));
  Viewer().WaitUntilQuiet(200, kShowMs);
  ASSERT_TRUE(Viewer().Focus());
  RECT view{};
  ::GetWindowRect(Viewer().View(), &view);
  RightClick(POINT{work.right - 5, work.bottom - 5});
  menu = WaitForPopup(L"CContextMenu");
  ASSERT_TRUE(menu);
  RECT placed{};
  ::GetWindowRect(menu, &placed);
  EXPECT_TRUE(Inside(placed, work)) << testing::PrintToString(e2e::Describe(placed));
  EXPECT_LE(placed.bottom, view.bottom);
  EXPECT_EQ(placed.right, work.right) << "moved left to end at the work area's right edge";
  e2e::PressKey(VK_ESCAPE);
  EXPECT_TRUE(WaitUntilGone(menu));
}

// The panel this test draws itself over a picture, in the viewer's language, to compare with the
// viewer's on screen.
class OwnPanel {
 public:
  OwnPanel() {
    SetLanguageFolderForTesting(testing_support::BinDir() + L"language\\");
    SetCurrentLanguageName(L"en.ini");
    skin::SetResourceFolder(testing_support::BinDir() + L"res", L"res.zip");
    (void)CreateWicFactory();
    CCurrentImage::Get().SetMessagesEnabled(false);
    config_.toolbar_dock = 0;
  }
  ~OwnPanel() {
    panel_.reset();
    CCurrentImage::DestroyInstance();
    ReleaseWicFactory();
    SetLanguageFolderForTesting(L"");
  }
  HWND Show(const std::wstring& picture, POINT at) {
    CCurrentImage::Get().Open(picture);
    panel_ = std::make_unique<WndShowExif2>(nullptr, config_, nullptr);
    if (!panel_->Open()) return nullptr;
    panel_->Place(RECT{at.x, at.y - 30, at.x + 30, at.y});
    ::UpdateWindow(panel_->GetHWND());
    return panel_->GetHWND();
  }
  const skin::Control* Find(const wchar_t* name) const { return panel_ ? panel_->FindControl(name) : nullptr; }

 private:
  image::GdiplusSession gdiplus_;
  AppConfig config_{L""};
  std::unique_ptr<WndShowExif2> panel_;
};

TEST_F(Popups, ThePanelShowsThePhotosCameraValuesAndFollowsThePicture) {
  // The camera photo (exiftool's values) first, a picture without metadata next.
  ASSERT_TRUE(::CopyFileW(Fixture(L"exif\\camera.jpg").c_str(), Picture(L"a_camera.jpg").c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW(Fixture(L"plain.jpg").c_str(), Picture(L"b_plain.jpg").c_str(), FALSE));
  StartViewer({{"toolbar_dock", "0"}, {"language_id", "en.ini"}}, Picture(L"a_camera.jpg"));
  ASSERT_TRUE(WaitForFile(L"a_camera", 1, 2));
  HWND main = Viewer().Main();
  ASSERT_TRUE(::SetWindowPos(main, nullptr, 0, 0, 900, 700, SWP_NOZORDER));
  Viewer().WaitUntilQuiet(200, kShowMs);
  ASSERT_TRUE(Viewer().Focus());
  e2e::PressKey(VK_TAB);
  HWND shown = WaitForPopup(L"WndShowExif2");
  ASSERT_TRUE(shown);
  e2e::MoveMouse(POINT{WorkArea().right - 2, WorkArea().bottom - 2});  // nothing hovered

  OwnPanel own;
  HWND expected = own.Show(Picture(L"a_camera.jpg"), POINT{1000, 40});
  ASSERT_TRUE(expected);
  ASSERT_TRUE(own.Find(L"dev_model"));
  EXPECT_EQ(own.Find(L"dev_model")->Text(), L"QT-100");
  EXPECT_EQ(own.Find(L"firm")->Text(), L"Quellin Test Camera Co.");
  EXPECT_EQ(own.Find(L"shooting_time")->Text(), L"2021-07-14 09:30:05");
  const auto matches = [&](HWND mine) {
    const e2e::Capture a = e2e::Capture::Client(shown);
    const e2e::Capture b = e2e::Capture::Client(mine);
    return a.Width() == b.Width() && a.Height() == b.Height() && a.CountDifferent(b, a.Bounds(), 8) < 20;
  };
  const auto pump = [] {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  };
  EXPECT_TRUE(e2e::WaitUntil([&] { pump(); return matches(expected); }, kShowMs))
      << "the viewer's panel shows the camera photo's values";
  Shot(L"camera");

  // Stepping with the panel open: the keys still reach the main window, and the panel follows.
  e2e::PressKey(VK_RIGHT);
  ASSERT_TRUE(WaitForFile(L"b_plain", 2, 2));
  const e2e::Capture camera = e2e::Capture::Client(expected);
  expected = own.Show(Picture(L"b_plain.jpg"), POINT{1000, 40});
  ASSERT_TRUE(expected);
  EXPECT_EQ(own.Find(L"dev_model")->Text(), L"");
  EXPECT_TRUE(e2e::WaitUntil([&] { pump(); return matches(expected); }, kShowMs))
      << "the viewer's panel shows the plain picture";
  EXPECT_GT(camera.CountDifferent(e2e::Capture::Client(shown), camera.Bounds(), 8), 200);
  Shot(L"plain");

  // Tab again closes it.
  e2e::PressKey(VK_TAB);
  EXPECT_TRUE(WaitUntilGone(shown));
}

}  // namespace
