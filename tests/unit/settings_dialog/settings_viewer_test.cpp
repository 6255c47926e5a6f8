// The settings window in the real viewer, driven as a user drives it: opened by F5 and by the
// "--setting" switch, its options change the viewer at once and land in config.ini, a number
// that is no number keeps the stored value, a ticked file type is registered, and a running tray
// companion takes the quick-index option and registers a key combination typed into the hotkey box.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <memory>
#include <string>

#include "appconfig/app_config.h"
#include "appconfig/language.h"
#include "base/com.h"
#include "base/handles.h"
#include "base/paths.h"
#include "companions/assoc/assoc_kit_client.h"
#include "companions/assoc/registry_value.h"
#include "image/gdiplus_include.h"
#include "ipc/channel.h"
#include "popup_dialog/settings/setting_dialog.h"
#include "skin/archive/resource_archive.h"
#include "skin/controls/list.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/pictures.h"
#include "tests/e2e/driver/viewer.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

constexpr wchar_t kDialogClass[] = L"DlgSetting2";
constexpr wchar_t kTrayMutex[] = L"Global\\QlTray-95745a12eeaa410d";
constexpr wchar_t kChannel[] = L"QlIPC-be3d8fcf43482b49";
constexpr DWORD kWaitMs = 20000;

// Where a control of the settings window is (window client coordinates, on its page): the
// window is built here from the same skin and language file as the viewer's, so its layout is
// the same.
RECT PlaceOf(const wchar_t* control, int page) {
  image::GdiplusSession gdiplus;
  AppConfig config(L"");
  DlgSetting2 twin(config, nullptr);
  RECT place{};
  if (!twin.Create(nullptr, WS_POPUP, WS_EX_TOOLWINDOW)) return place;
  if (auto* pages = twin.FindControlAs<skin::List>(L"pagelist")) pages->SelectItem(page);
  twin.LayoutNow();
  if (const skin::Control* found = twin.FindControl(control)) place = found->Rect();
  return place;
}

POINT OnScreen(HWND dialog, const RECT& place) {
  POINT point{(place.left + place.right) / 2, (place.top + place.bottom) / 2};
  ::ClientToScreen(dialog, &point);
  return point;
}

// Whether another program holds the combination: our own registration is refused then.
bool HotkeyIsTaken(UINT modifiers, UINT key) {
  if (!::RegisterHotKey(nullptr, 0x5152, modifiers | MOD_NOREPEAT, key)) return true;
  ::UnregisterHotKey(nullptr, 0x5152);
  return false;
}

// The text of another process's edit window (GetWindowText answers only a window's caption there).
std::wstring EditText(HWND edit) {
  wchar_t text[128] = {};
  DWORD_PTR copied = 0;
  if (!::SendMessageTimeoutW(edit, WM_GETTEXT, 128, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000, &copied)) {
    return {};
  }
  return std::wstring(text, std::min<size_t>(copied, 127));
}

class SettingsInViewer : public ::testing::Test {
 protected:
  void SetUp() override {
    SetLanguageFolderForTesting(testing_support::BinDir() + L"language\\");
    ASSERT_TRUE(SetCurrentLanguageName(L"en.ini"));
    skin::SetResourceFolder(testing_support::BinDir() + L"res", L"res.zip");
    viewer_ = std::make_unique<e2e::Viewer>(testing_support::BinDir(), data_.Path());
  }
  void TearDown() override {
    viewer_.reset();
    SetLanguageFolderForTesting(L"");
  }

  // The viewer starts its tray companion unless one runs: held here, the companion's mutex says
  // one does, so none outlives the test.
  void HoldCompanionMutex() { companion_mutex_.Reset(::CreateMutexW(nullptr, FALSE, kTrayMutex)); }

  bool StartViewer(const std::wstring& picture) {
    const bool written = viewer_->WriteSettings({"default_viewer_start_tip=0", "show_wheel_favorite=0",
                                                 "mouse_wheel_action=0", "language_id=en.ini", "max_zoom_ratio=8",
                                                 "save_jpeg_quality=80", "only_one_instance=0", "toolbar_dock=1"});
    return written && viewer_->Start(picture) && viewer_->Focus();
  }

  HWND OpenWithF5() {
    e2e::PressKey(VK_F5);
    return e2e::WaitForTopLevelWindow(viewer_->GetProcess().Id(), kDialogClass, kWaitMs);
  }

  static void ClickControl(HWND dialog, const wchar_t* control, int page) {
    const RECT place = PlaceOf(control, page);
    ASSERT_GT(place.right, place.left) << "no control " << std::string(control, control + wcslen(control));
    e2e::Click(OnScreen(dialog, place));
  }
  static void ShowPage(HWND dialog, int page) {
    static const wchar_t* const kItems[] = {L"habit", L"routine", L"fileassoc", L"shotscreen"};
    ClickControl(dialog, kItems[page], 0);
  }
  // Types into a number field of the page: the old text selected and replaced.
  static void TypeInto(HWND dialog, const wchar_t* field, int page, const std::wstring& text) {
    ClickControl(dialog, field, page);
    e2e::PressKey(VK_END);
    e2e::PressKey(VK_HOME, {VK_SHIFT});
    e2e::PressKey(VK_DELETE);
    for (wchar_t c : text) e2e::TypeCharacter(c);
  }
  // Clicks the hotkey box until its capture control is shown holding the keyboard focus (the
  // window manager may still be settling the focus from a capture just ended); answers it.
  static HWND StartCapture(HWND dialog, HWND box) {
    HWND capture = nullptr;
    const auto capturing = [&] {
      capture = ::FindWindowExW(box, nullptr, HOTKEY_CLASSW, nullptr);
      GUITHREADINFO info{sizeof(info)};
      return capture && ::IsWindowVisible(capture) &&
             ::GetGUIThreadInfo(::GetWindowThreadProcessId(dialog, nullptr), &info) && info.hwndFocus == capture;
    };
    for (int attempt = 0; attempt < 5 && !capturing(); ++attempt) {
      ClickControl(dialog, L"edt_keys", 3);
      e2e::WaitUntil(capturing, 3000);
    }
    return capturing() ? capture : nullptr;
  }
  static bool CloseDialog(HWND dialog) {
    ClickControl(dialog, L"cls", 0);
    // Gone, not only hidden: until then it keeps the keyboard focus.
    return e2e::WaitUntil([&] { return !::IsWindow(dialog); }, kWaitMs);
  }
  // Closes the viewer the user's way; the settings are written as it ends.
  bool CloseViewer() {
    ::PostMessageW(viewer_->Main(), WM_CLOSE, 0, 0);
    return viewer_->WaitForExit(kWaitMs) == 0;
  }

  FCAutoInitializeCOM com_;
  testing_support::TempDir data_;
  testing_support::TempDir pictures_;
  std::unique_ptr<e2e::Viewer> viewer_;
  base::KernelHandle companion_mutex_;
};

TEST_F(SettingsInViewer, HabitsChangeTheViewerAtOnceAndBadNumbersKeepTheirValue) {
  HoldCompanionMutex();
  const std::wstring picture = pictures_.File(L"large.png");
  ASSERT_TRUE(e2e::WriteSolidPicture(picture, e2e::PictureFormat::kPng, 1600, 1200, RGB(0, 0, 255)));
  ASSERT_TRUE(StartViewer(picture));
  ASSERT_TRUE(viewer_->WaitForCaption([](const std::wstring& c) { return c.find(L"large.png") != std::wstring::npos; },
                                      kWaitMs));
  const int zoomBefore = viewer_->CaptionZoom();

  HWND dialog = OpenWithF5();
  ASSERT_TRUE(dialog) << "F5 opens the settings";
  EXPECT_FALSE(::IsWindowEnabled(viewer_->Main())) << "over the viewer, modally";
  ClickControl(dialog, L"scale", 0);            // the wheel zooms
  TypeInto(dialog, L"num_multiple", 0, L"x1");  // no number: the highest zoom stays 8
  ClickControl(dialog, L"loop", 0);
  ASSERT_TRUE(CloseDialog(dialog));

  // The folder loop changes how pictures are shown: the picture is opened again, not lost.
  ASSERT_TRUE(viewer_->WaitUntilQuiet(300, kWaitMs));
  EXPECT_NE(viewer_->Caption().find(L"large.png"), std::wstring::npos) << "the picture went";
  // The wheel now zooms the picture rather than stepping (there is nothing to step to).
  ASSERT_TRUE(viewer_->Focus());
  e2e::Wheel(viewer_->ViewCentre(), 1);
  EXPECT_TRUE(viewer_->WaitForCaption([&](const std::wstring&) { return viewer_->CaptionZoom() > zoomBefore; },
                                      kWaitMs))
      << "zoom stayed at " << zoomBefore;

  ASSERT_TRUE(CloseViewer());
  EXPECT_EQ(viewer_->StoredSetting(L"mouse_wheel_action"), L"1");
  EXPECT_EQ(viewer_->StoredSetting(L"show_wheel_favorite"), L"0") << "choosing here answers the wheel question";
  EXPECT_EQ(viewer_->StoredSetting(L"max_zoom_ratio"), L"8");
  EXPECT_EQ(viewer_->StoredSetting(L"view_folder_loop"), L"1");
}

TEST_F(SettingsInViewer, TheSettingSwitchOpensThemAndGeneralOptionsAreWritten) {
  HoldCompanionMutex();
  e2e::Process process;
  {
    e2e::ScopedEnvironment data(L"QUELLIN_DATA_DIR", data_.Path().c_str());
    ASSERT_TRUE(viewer_->WriteSettings({"default_viewer_start_tip=0", "language_id=en.ini", "only_one_instance=0",
                                        "save_jpeg_quality=80", "completely_exit=0"}));
    ASSERT_TRUE(process.Start(testing_support::BinDir() + L"QuellinImg.exe", L"--setting"));
  }
  HWND dialog = e2e::WaitForTopLevelWindow(process.Id(), kDialogClass, kWaitMs);
  ASSERT_TRUE(dialog) << "--setting opens the settings at start";
  ASSERT_TRUE(e2e::BringToForeground(dialog));
  ShowPage(dialog, 1);
  TypeInto(dialog, L"edt_quality", 1, L"150");  // three characters at most, 100 at most
  ClickControl(dialog, L"only_one_wnd", 1);
  // Saved at once, while the window is still open.
  EXPECT_TRUE(e2e::WaitUntil([&] { return viewer_->StoredSetting(L"only_one_instance") == L"1"; }, kWaitMs));
  ASSERT_TRUE(CloseDialog(dialog));

  HWND main = e2e::WaitForTopLevelWindow(process.Id(), e2e::kMainWindowClass, kWaitMs);
  ASSERT_TRUE(main);
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  ASSERT_EQ(process.WaitForExit(kWaitMs), 0);
  EXPECT_EQ(viewer_->StoredSetting(L"save_jpeg_quality"), L"100");
  EXPECT_EQ(viewer_->StoredSetting(L"only_one_instance"), L"1");
}

TEST_F(SettingsInViewer, TheCompanionTakesTheQuickIndexOptionAndRegistersAKeyTypedIntoTheHotkeyBox) {
  // The companion runs first (it holds its own mutex), so the viewer connects to it.
  e2e::ScopedEnvironment data(L"QUELLIN_DATA_DIR", data_.Path().c_str());
  e2e::Process tray;
  ASSERT_TRUE(tray.Start(testing_support::BinDir() + L"QuellinTray.exe", L"--from=main"));
  const std::wstring server = ipc::ServerWindowName(kChannel);
  ASSERT_TRUE(e2e::WaitUntil([&] { return ::FindWindowW(server.c_str(), server.c_str()) != nullptr; }, kWaitMs))
      << "the companion does not serve the channel";
  ASSERT_FALSE(HotkeyIsTaken(MOD_CONTROL | MOD_ALT, VK_F8));
  ASSERT_TRUE(StartViewer(L""));

  HWND dialog = OpenWithF5();
  ASSERT_TRUE(dialog);
  ShowPage(dialog, 3);
  HWND box = nullptr;
  ASSERT_TRUE(e2e::WaitUntil([&] { return (box = ::GetDlgItem(dialog, 1026)) != nullptr && ::IsWindowVisible(box); },
                             kWaitMs));
  ASSERT_TRUE(StartCapture(dialog, box)) << "no capture control took the keys";
  // F8 alone: the box makes it Ctrl+Alt+F8; Enter hands it over.
  e2e::KeyDown(VK_F8);
  e2e::KeyUp(VK_F8);
  e2e::PressKey(VK_RETURN);
  constexpr int kValue = ((HOTKEYF_CONTROL | HOTKEYF_ALT) << 8) | VK_F8;
  const std::wstring expected = hotkey::HotkeyText(kValue);
  std::wstring shown;
  EXPECT_TRUE(e2e::WaitUntil([&] { return (shown = EditText(box)) == expected; }, kWaitMs))
      << "the box shows " << testing::PrintToString(shown);
  e2e::SaveScreenshot(dialog, L"SettingsInViewer-hotkey");
  EXPECT_TRUE(e2e::WaitUntil([] { return HotkeyIsTaken(MOD_CONTROL | MOD_ALT, VK_F8); }, kWaitMs))
      << "the companion did not register Ctrl+Alt+F8";
  EXPECT_TRUE(e2e::WaitUntil(
      [&] { return AppConfig(data_.File(L"config.ini")).ReadSnipToolHotkey() == kValue; }, kWaitMs));

  // Escape while the box waits for keys ends the capture, not the settings.
  HWND capture = StartCapture(dialog, box);
  ASSERT_TRUE(capture);
  e2e::PressKey(VK_ESCAPE);
  EXPECT_TRUE(e2e::WaitUntil([&] { return !::IsWindowVisible(capture); }, kWaitMs));
  EXPECT_TRUE(::IsWindow(dialog) && ::IsWindowVisible(dialog));
  EXPECT_EQ(EditText(box), expected);

  // The quick-index option goes to the companion through the main window: off (as a viewer
  // without the indexing service starts), on, and off again.
  ShowPage(dialog, 1);
  const std::wstring trayIni = data_.File(L"tray.ini");
  const auto companionIndexes = [&] { return ::GetPrivateProfileIntW(L"tray", L"quick_index", -1, trayIni.c_str()); };
  ClickControl(dialog, L"quick_indexes", 1);
  ClickControl(dialog, L"quick_indexes", 1);
  EXPECT_TRUE(e2e::WaitUntil([&] { return companionIndexes() == 0; }, kWaitMs)) << companionIndexes();
  ASSERT_TRUE(CloseDialog(dialog));
  ASSERT_TRUE(CloseViewer());
}

TEST_F(SettingsInViewer, ATickedFileTypeIsRegisteredForTheViewerAndUntickingGivesItBack) {
  HoldCompanionMutex();
  const std::wstring typeKey = L"Software\\Classes\\.tga";
  std::wstring saved;
  const bool hadDefault = assoc::ReadRegistryString(HKEY_CURRENT_USER, typeKey, nullptr, saved);
  const auto registered = [&] {
    std::wstring value;
    return assoc::ReadRegistryString(HKEY_CURRENT_USER, typeKey, nullptr, value) ? value : L"<absent>";
  };
  // Whatever happens, the test leaves the user's associations as it found them.
  struct Restore {
    ~Restore() { assoc::AssocKitClient(testing_support::BinDir()).UnInstall(HKEY_CURRENT_USER); }
  } restore;
  ASSERT_TRUE(StartViewer(L""));
  for (const bool tick : {true, false}) {
    SCOPED_TRACE(tick ? "ticked" : "unticked");
    HWND dialog = OpenWithF5();
    ASSERT_TRUE(dialog);
    ShowPage(dialog, 2);
    ClickControl(dialog, L"tga", 2);
    ASSERT_TRUE(CloseDialog(dialog));
    // The choices of one opening go to the association library as the window goes.
    if (tick) {
      EXPECT_TRUE(e2e::WaitUntil([&] { return registered() == L"Quellin.tga"; }, kWaitMs)) << registered();
    } else {
      EXPECT_TRUE(e2e::WaitUntil([&] { return registered() == (hadDefault ? saved : L"<absent>"); }, kWaitMs))
          << registered();
    }
    EXPECT_EQ(::GetPrivateProfileIntW(L"app", L"tga", -1, data_.File(L"user_assoc.ini").c_str()), tick ? 1u : 0u)
        << "the record of the user's choice";
    ASSERT_TRUE(viewer_->Focus());
  }
  ASSERT_TRUE(CloseViewer());
}

}  // namespace
