// The small dialogs as the real viewer opens them: its commands reach the dialogs installed at
// start-up, closing the delete confirmation keeps the file while Enter goes on to delete it, and a viewer
// without its skin archive ends with exit code 1 after telling the user.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "base/handles.h"
#include "base/paths.h"
#include "base/strings.h"
#include "tests/support/test_support.h"

namespace {

constexpr wchar_t kMainClass[] = L"QuellinMainFrameClass-b1f78b3cc4bd764c";
constexpr UINT kCommandDelete = 20009;
constexpr UINT kCommandAbout = 21801;
constexpr int kViewId = 101;

struct Search {
  DWORD process;
  const wchar_t* window_class;
  HWND found;
};

BOOL CALLBACK FindWindowOf(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<Search*>(data);
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  wchar_t name[128] = {};
  ::GetClassNameW(window, name, 128);
  if (process == search->process && ::IsWindowVisible(window) && std::wstring(name) == search->window_class) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND WaitForWindow(DWORD process, const wchar_t* windowClass, DWORD timeoutMs = 20000) {
  for (DWORD waited = 0; waited <= timeoutMs; waited += 100) {
    Search search{process, windowClass, nullptr};
    ::EnumWindows(&FindWindowOf, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    ::Sleep(100);
  }
  return nullptr;
}

bool WaitUntilGone(HWND window, DWORD timeoutMs = 20000) {
  for (DWORD waited = 0; waited <= timeoutMs; waited += 100) {
    if (!::IsWindow(window) || !::IsWindowVisible(window)) return true;
    ::Sleep(100);
  }
  return false;
}

// A 2 x 2 24-bit BMP.
std::vector<uint8_t> TinyBitmap() {
  static const uint8_t kFile[70] = {
      'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0,                       // file header
      40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0,  // info header
      0x13, 0x0B, 0, 0, 0x13, 0x0B, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};          // two padded rows
  return std::vector<uint8_t>(kFile, kFile + sizeof(kFile));
}

class Viewer {
 public:
  Viewer(const std::wstring& exe, const std::wstring& arguments, const std::wstring& dataFolder) {
    // Only the dialog a test opens may come up: no default-viewer question at start-up, and no tray
    // companion (its single-instance mutex, held here, says one runs), which would outlive the test.
    static const HANDLE companion = ::CreateMutexW(nullptr, FALSE, L"Global\\QlTray-95745a12eeaa410d");
    (void)companion;
    testing_support::WriteText(base::JoinPath(dataFolder, L"config.ini"), "[app]\r\ndefault_viewer_start_tip=0\r\n");
    ::SetEnvironmentVariableW(L"QUELLIN_DATA_DIR", dataFolder.c_str());
    std::wstring command = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION started{};
    if (::CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
      process_.Reset(started.hProcess);
      ::CloseHandle(started.hThread);
      id_ = started.dwProcessId;
    }
    ::SetEnvironmentVariableW(L"QUELLIN_DATA_DIR", nullptr);
  }
  ~Viewer() {
    if (process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) ::TerminateProcess(process_.Get(), 99);
  }
  [[nodiscard]] DWORD Id() const { return id_; }
  int WaitForExit(DWORD timeoutMs = 20000) {
    if (!process_ || ::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    ::GetExitCodeProcess(process_.Get(), &code);
    return static_cast<int>(code);
  }

 private:
  base::KernelHandle process_;
  DWORD id_ = 0;
};

TEST(ViewerDialogs, ClosingTheDeleteQuestionKeepsTheFileAndEnterGoesOnToDelete) {
  testing_support::TempDir data;
  testing_support::TempDir pictures;
  const std::wstring picture = pictures.File(L"tiny.bmp");
  ASSERT_TRUE(testing_support::WriteBytes(picture, TinyBitmap()));
  Viewer viewer(testing_support::BinDir() + L"QuellinImg.exe", L"\"" + picture + L"\"", data.Path());
  HWND main = WaitForWindow(viewer.Id(), kMainClass);
  ASSERT_TRUE(main);

  ::PostMessageW(main, WM_COMMAND, kCommandDelete, 0);
  HWND question = WaitForWindow(viewer.Id(), L"DlgDeleteConfirm2");
  ASSERT_TRUE(question);
  EXPECT_FALSE(::IsWindowEnabled(main)) << "the question is modal";
  // Closed the way its close button closes it: no deletion, and the viewer is usable again.
  ::PostMessageW(question, WM_CLOSE, 1, 0);
  ASSERT_TRUE(WaitUntilGone(question));
  ::Sleep(500);
  EXPECT_TRUE(base::FileExists(picture));
  EXPECT_TRUE(::IsWindowEnabled(main));

  // Enter answers yes: the viewer goes on to recycle the file. (Where this Wine cannot recycle it,
  // the shell asks whether to delete it for good: that too shows the viewer went on.)
  ::PostMessageW(main, WM_COMMAND, kCommandDelete, 0);
  question = WaitForWindow(viewer.Id(), L"DlgDeleteConfirm2");
  ASSERT_TRUE(question);
  ::PostMessageW(question, WM_KEYDOWN, VK_RETURN, 0);
  bool wentOn = false;
  for (int i = 0; i < 200 && !wentOn; ++i) {
    ::Sleep(100);
    wentOn = !base::FileExists(picture) || WaitForWindow(viewer.Id(), L"#32770", 0) != nullptr;
  }
  EXPECT_TRUE(wentOn);
}

TEST(ViewerDialogs, TheFirstWheelTurnAsksOnceAndTheAnswerIsSavedAtOnce) {
  testing_support::TempDir data;
  testing_support::TempDir pictures;
  const std::wstring picture = pictures.File(L"tiny.bmp");
  ASSERT_TRUE(testing_support::WriteBytes(picture, TinyBitmap()));
  Viewer viewer(testing_support::BinDir() + L"QuellinImg.exe", L"\"" + picture + L"\"", data.Path());
  HWND main = WaitForWindow(viewer.Id(), kMainClass);
  ASSERT_TRUE(main);
  HWND view = ::GetDlgItem(main, kViewId);
  ASSERT_TRUE(view);
  RECT area{};
  ::GetWindowRect(view, &area);
  const LPARAM at = MAKELPARAM((area.left + area.right) / 2, (area.top + area.bottom) / 2);
  ::PostMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), at);
  HWND question = WaitForWindow(viewer.Id(), L"DlgMouseWheelFavorite2");
  ASSERT_TRUE(question);
  // A second turn while the question is open asks nothing more.
  ::PostMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), at);
  ::Sleep(300);
  // Enter takes the answer as it stands: stepping through pictures, and do not ask again.
  ::PostMessageW(question, WM_KEYDOWN, VK_RETURN, 0);
  ASSERT_TRUE(WaitUntilGone(question));
  const std::wstring settings = data.File(L"config.ini");
  for (int i = 0; i < 50 && ::GetPrivateProfileIntW(L"app", L"show_wheel_favorite", -1, settings.c_str()) != 0; ++i) {
    ::Sleep(100);
  }
  EXPECT_EQ(::GetPrivateProfileIntW(L"app", L"show_wheel_favorite", -1, settings.c_str()), 0u);
  EXPECT_EQ(::GetPrivateProfileIntW(L"app", L"mouse_wheel_action", -1, settings.c_str()), 0u);
  ::PostMessageW(view, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), at);
  ::Sleep(500);
  EXPECT_EQ(WaitForWindow(viewer.Id(), L"DlgMouseWheelFavorite2", 0), nullptr) << "asked only once";
}

TEST(ViewerDialogs, TheAboutBoxOpensFromTheCommandAndEscapeClosesIt) {
  testing_support::TempDir data;
  Viewer viewer(testing_support::BinDir() + L"QuellinImg.exe", L"", data.Path());
  HWND main = WaitForWindow(viewer.Id(), kMainClass);
  ASSERT_TRUE(main);
  ::PostMessageW(main, WM_COMMAND, kCommandAbout, 0);
  HWND about = WaitForWindow(viewer.Id(), L"DlgAbout2");
  ASSERT_TRUE(about);
  RECT client{};
  ::GetClientRect(about, &client);
  EXPECT_EQ(client.right, 560);
  EXPECT_FALSE(::IsWindowEnabled(main));
  ::PostMessageW(about, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_TRUE(WaitUntilGone(about));
  for (int i = 0; i < 50 && !::IsWindowEnabled(main); ++i) ::Sleep(100);
  EXPECT_TRUE(::IsWindowEnabled(main));
}

TEST(ViewerDialogs, WithoutTheSkinArchiveADialogEndsTheViewerWithCode1) {
  testing_support::TempDir data;
  testing_support::TempDir program;  // the viewer alone, without res\res.zip
  const std::wstring exe = program.File(L"QuellinImg.exe");
  ASSERT_TRUE(::CopyFileW((testing_support::BinDir() + L"QuellinImg.exe").c_str(), exe.c_str(), FALSE));
  Viewer viewer(exe, L"", data.Path());
  HWND main = WaitForWindow(viewer.Id(), kMainClass);
  ASSERT_TRUE(main);
  ::PostMessageW(main, WM_COMMAND, kCommandAbout, 0);
  HWND box = WaitForWindow(viewer.Id(), L"#32770");
  ASSERT_TRUE(box);
  wchar_t caption[64] = {};
  ::GetWindowTextW(box, caption, 64);
  EXPECT_STREQ(caption, L"Duilib");
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(viewer.WaitForExit(), 1);
  EXPECT_FALSE(testing_support::ReadBytes(data.File(L"config.ini")).empty()) << "the settings were saved";
}

}  // namespace
