// The viewer's start-up as a user meets it: switches that do their work and end the process,
// and the hand-over of a request to a running instance instead of opening a second window.
#include <gtest/gtest.h>

#include <memory>

#include "base/handles.h"
#include "base/paths.h"
#include "base/strings.h"
#include "companions/assoc/assoc_kit_client.h"
#include "companions/assoc/registry_value.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteText;

constexpr wchar_t kMainClass[] = L"QuellinMainFrameClass-b1f78b3cc4bd764c";
constexpr wchar_t kReceiverTitle[] = L"43AF68E358C97DCF97C45EA164F";
constexpr wchar_t kAlwaysReceiverTitle[] = L"IPC-43AF68E358C97DCF97C45EA164F_Always";
constexpr wchar_t kAssociationMutex[] = L"QlMainSetFileAssociation-9c1a7e1574578709";
constexpr ULONG_PTR kHandOverId = 0x22678201;
constexpr wchar_t kPngKey[] = L"Software\\Classes\\.png";
// A start that has to end by itself gets this long; one that opens a window never ends alone.
constexpr DWORD kExitMs = 20000;
constexpr DWORD kWindowMs = 20000;

std::wstring Quote(const std::wstring& text) { return L"\"" + text + L"\""; }

std::vector<uint8_t> Utf16WithTerminator(const std::wstring& text) {
  std::vector<uint8_t> bytes;
  for (wchar_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>(c >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

std::wstring TestsFolder() { return base::GetModuleFolder(); }

int SettingOf(const std::wstring& ini, const wchar_t* key) {
  return static_cast<int>(::GetPrivateProfileIntW(L"app", key, -1, ini.c_str()));
}

LRESULT SendRecord(HWND window, ULONG_PTR id, const void* data, DWORD bytes) {
  COPYDATASTRUCT record{id, bytes, const_cast<void*>(data)};
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record), SMTO_ABORTIFHUNG, 10000,
                             &answer)) {
    return -1;
  }
  return static_cast<LRESULT>(answer);
}

class ViewerStartup : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(data_.Path().empty());
    saved_png_ = assoc::ReadRegistryString(HKEY_CURRENT_USER, kPngKey, nullptr, png_);
    data_env_ = std::make_unique<e2e::ScopedEnvironment>(L"QUELLIN_DATA_DIR", data_.Path().c_str());
    picture_ = work_.File(L"holiday photo.jpg");
    ASSERT_TRUE(WriteText(picture_, "not decoded at start-up"));
  }

  void TearDown() override {
    // What the viewers of the test registered and started goes with it.
    assoc::AssocKitClient(testing_support::BinDir()).UnInstall(HKEY_CURRENT_USER);
    if (saved_png_) {
      assoc::WriteRegistryString(HKEY_CURRENT_USER, kPngKey, nullptr, png_);
    } else {
      assoc::DeleteRegistryValue(HKEY_CURRENT_USER, kPngKey, nullptr);
    }
    e2e::EndProcessesNamed(L"QuellinTray.exe");
  }

  static std::wstring ClassesValue(const std::wstring& key) {
    std::wstring value;
    return assoc::ReadRegistryString(HKEY_CURRENT_USER, key, nullptr, value) ? value : L"<absent>";
  }

  // The caption names the picture once a window has opened it (the file does not decode, so the
  // caption has only the name and, once the folder is listed, the place in it).
  static bool ShowsPicture(HWND window) { return e2e::WindowText(window).rfind(L"holiday photo.jpg", 0) == 0; }

  std::wstring Viewer() const { return testing_support::BinDir() + L"QuellinImg.exe"; }
  std::wstring Ini() const { return data_.File(L"config.ini"); }
  void WriteSettings(int onlyOneInstance) {
    // The association library beside the viewer would otherwise have every start offer to make
    // the viewer the default.
    ASSERT_TRUE(WriteText(Ini(), "[app]\r\nonly_one_instance=" + std::to_string(onlyOneInstance) +
                                     "\r\ndefault_viewer_start_tip=0\r\n"));
  }

  // Runs the viewer and answers its exit code; -1 when it did not end by itself.
  int RunViewer(const std::wstring& args, const std::wstring& exe = L"") {
    e2e::Process viewer;
    if (!viewer.Start(exe.empty() ? Viewer() : exe, args)) return -2;
    return viewer.WaitForExit(kExitMs);
  }

  // Starts the stand-in receiver and waits until its window can be found.
  HWND StartReceiver(e2e::Process& receiver, const wchar_t* title, const std::wstring& output, int answer = 1) {
    const std::wstring args = Quote(title) + L" " + Quote(output) + L" 60000 " + std::to_wstring(answer);
    if (!receiver.Start(TestsFolder() + L"handover_receiver.exe", args)) return nullptr;
    return e2e::WaitForMessageWindow(title, 10000);
  }

  static void Close(HWND receiver, e2e::Process& process) {
    ::PostMessageW(receiver, WM_CLOSE, 0, 0);
    EXPECT_EQ(process.WaitForExit(10000), 0);
  }

  TempDir data_;  // the viewer's data folder
  TempDir work_;  // pictures and what the stand-ins record
  std::unique_ptr<e2e::ScopedEnvironment> data_env_;
  std::wstring picture_;
  std::wstring png_;
  bool saved_png_ = false;
};

TEST_F(ViewerStartup, UninstallDeletesTheDataFolder) {
  WriteSettings(1);
  ASSERT_TRUE(::CreateDirectoryW(data_.File(L"more").c_str(), nullptr));
  ASSERT_TRUE(WriteText(data_.File(L"more\\user_assoc.ini"), "[x]\r\n"));
  ASSERT_EQ(RunViewer(L"/uninstall"), 0);
  EXPECT_FALSE(base::FileExists(data_.Path()));
}

TEST_F(ViewerStartup, InstallAndUninstallRegisterTheViewerBesideThemAndGiveBackTheDefaults) {
  TempDir program;
  const std::wstring viewer = program.File(L"QuellinImg.exe");
  ASSERT_TRUE(::CopyFileW(Viewer().c_str(), viewer.c_str(), FALSE));
  ASSERT_TRUE(::CopyFileW((testing_support::BinDir() + L"AssocKit32.dll").c_str(),
                          program.File(L"AssocKit32.dll").c_str(), FALSE));
  // The user's png pictures open with another program.
  ASSERT_TRUE(assoc::WriteRegistryString(HKEY_CURRENT_USER, kPngKey, nullptr, L"pngfile"));
  {
    // Association work in another process holds the mutex: "install" waits for it.
    base::KernelHandle busy(::CreateMutexW(nullptr, TRUE, kAssociationMutex));
    ASSERT_TRUE(busy.IsValid());
    e2e::Process install;
    ASSERT_TRUE(install.Start(viewer, L"--install"));
    EXPECT_EQ(install.WaitForExit(1500), -1);
    EXPECT_EQ(ClassesValue(kPngKey), L"pngfile");
    ASSERT_TRUE(::ReleaseMutex(busy.Get()));
    ASSERT_EQ(install.WaitForExit(kExitMs), 0);
  }
  EXPECT_EQ(SettingOf(Ini(), L"user_set_default_viewer"), 1);
  EXPECT_EQ(ClassesValue(kPngKey), L"Quellin.png");
  EXPECT_EQ(ClassesValue(L"Software\\Classes\\Quellin.jpg\\shell\\open\\command"), L"\"" + viewer + L"\" \"%1\"");

  ASSERT_EQ(RunViewer(L"-uninstall", viewer), 0);
  EXPECT_EQ(ClassesValue(kPngKey), L"pngfile");
  EXPECT_EQ(ClassesValue(L"Software\\Classes\\Quellin.jpg\\shell\\open\\command"), L"<absent>");
  EXPECT_FALSE(base::FileExists(data_.Path()));
}

TEST_F(ViewerStartup, OnlyOneInstanceHandsTheExactPathToTheRunningReceiver) {
  WriteSettings(1);
  const std::wstring received = work_.File(L"received.bin");
  e2e::Process receiver;
  HWND receiverWindow = StartReceiver(receiver, kReceiverTitle, received);
  ASSERT_NE(receiverWindow, nullptr);

  ASSERT_EQ(RunViewer(Quote(picture_)), 0) << "the viewer opened a window of its own";
  EXPECT_EQ(ReadBytes(received), Utf16WithTerminator(picture_));

  // Without a picture the running instance is still asked (to come to the front).
  ASSERT_TRUE(::DeleteFileW(received.c_str()));
  ASSERT_EQ(RunViewer(L""), 0);
  EXPECT_EQ(ReadBytes(received), (std::vector<uint8_t>{0, 0}));
  Close(receiverWindow, receiver);
}

TEST_F(ViewerStartup, SettingAndShowExistingGoToTheAlwaysPresentReceiver) {
  WriteSettings(0);
  const std::wstring received = work_.File(L"always.bin");
  e2e::Process receiver;
  HWND receiverWindow = StartReceiver(receiver, kAlwaysReceiverTitle, received);
  ASSERT_NE(receiverWindow, nullptr);

  ASSERT_EQ(RunViewer(L"--setting"), 0);
  EXPECT_EQ(ReadBytes(received), Utf16WithTerminator(L"--setting"));

  ASSERT_TRUE(::DeleteFileW(received.c_str()));
  const std::wstring line = L"/show-existing " + Quote(picture_);
  ASSERT_EQ(RunViewer(line), 0);
  EXPECT_EQ(ReadBytes(received), Utf16WithTerminator(line));
  Close(receiverWindow, receiver);
}

TEST_F(ViewerStartup, AReceiverThatRefusesLeavesTheStartToThisProcess) {
  WriteSettings(1);
  const std::wstring received = work_.File(L"refused.bin");
  e2e::Process receiver;
  HWND receiverWindow = StartReceiver(receiver, kReceiverTitle, received, 0);
  ASSERT_NE(receiverWindow, nullptr);

  e2e::Process viewer;
  ASSERT_TRUE(viewer.Start(Viewer(), Quote(picture_)));
  HWND window = e2e::WaitForTopLevelWindow(viewer.Id(), kMainClass, kWindowMs);
  ASSERT_NE(window, nullptr);
  // The window opens the picture itself (its caption names it once it has).
  EXPECT_TRUE(e2e::WaitUntil([&] { return ShowsPicture(window); }, 15000)) << e2e::WindowText(window);
  EXPECT_EQ(ReadBytes(received), Utf16WithTerminator(picture_));
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(viewer.WaitForExit(10000), 0);
  Close(receiverWindow, receiver);
}

TEST_F(ViewerStartup, AnIdleMainWindowOfAnotherProcessTakesTheRequest) {
  WriteSettings(0);
  e2e::Process first;
  ASSERT_TRUE(first.Start(Viewer(), L""));
  HWND main = e2e::WaitForTopLevelWindow(first.Id(), kMainClass, kWindowMs);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(e2e::WindowText(main), L"Quellin");

  ASSERT_EQ(RunViewer(Quote(picture_)), 0) << "the second start opened a window of its own";
  EXPECT_TRUE(e2e::WaitUntil([&] { return ShowsPicture(main); }, 15000)) << e2e::WindowText(main);

  // That window now has a file, so it is no longer idle: the next start keeps its own window,
  // which Escape closes.
  e2e::Process third;
  ASSERT_TRUE(third.Start(Viewer(), Quote(picture_)));
  HWND own = e2e::WaitForTopLevelWindow(third.Id(), kMainClass, kWindowMs);
  ASSERT_NE(own, nullptr);
  EXPECT_TRUE(e2e::WaitUntil([&] { return ShowsPicture(own); }, 15000)) << e2e::WindowText(own);
  EXPECT_TRUE(ShowsPicture(main));
  ::PostMessageW(own, WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(third.WaitForExit(10000), 0);

  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.WaitForExit(10000), 0);
}

TEST_F(ViewerStartup, TheMainWindowServesOnlySoundHandOverRecords) {
  WriteSettings(0);
  e2e::Process viewer;
  ASSERT_TRUE(viewer.Start(Viewer(), L""));
  HWND main = e2e::WaitForTopLevelWindow(viewer.Id(), kMainClass, kWindowMs);
  ASSERT_NE(main, nullptr);

  const std::wstring text = picture_;
  EXPECT_EQ(SendRecord(main, 0x1234, text.c_str(), static_cast<DWORD>((text.size() + 1) * 2)), 0);
  EXPECT_EQ(SendRecord(main, kHandOverId, nullptr, 0), 0);
  EXPECT_EQ(e2e::WindowText(main), L"Quellin");

  // Texts that name no file only raise the window.
  const std::wstring notAFile = L"--show-existing " + Quote(picture_);
  EXPECT_EQ(SendRecord(main, kHandOverId, notAFile.c_str(), static_cast<DWORD>((notAFile.size() + 1) * 2)), 1);
  EXPECT_EQ(SendRecord(main, kHandOverId, L"--setting", 20), 1);
  EXPECT_EQ(e2e::WindowText(main), L"Quellin");

  // A record without its terminator, followed by other bytes and with an odd byte count: the
  // byte count bounds the text.
  const std::wstring padded = picture_ + L"XYZ";
  EXPECT_EQ(SendRecord(main, kHandOverId, padded.c_str(), static_cast<DWORD>(picture_.size() * 2 + 1)), 1);
  EXPECT_TRUE(ShowsPicture(main)) << e2e::WindowText(main);

  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(viewer.WaitForExit(10000), 0);
}

}  // namespace

TEST_F(ViewerStartup, TheLogIsWrittenOnlyWithItsMarkerAndTwoStartsAppend) {
  WriteSettings(0);
  // A picture whose name is Chinese: the log goes on past it.
  const std::wstring picture = work_.File(L"假日照片.jpg");
  ASSERT_TRUE(WriteText(picture, "not a picture"));
  const std::wstring log = data_.File(L"main.log");
  auto startAndClose = [&] {
    e2e::Process viewer;
    ASSERT_TRUE(viewer.Start(Viewer(), Quote(picture)));
    HWND window = e2e::WaitForTopLevelWindow(viewer.Id(), kMainClass, kWindowMs);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(window).rfind(L"假日照片.jpg", 0) == 0; }, 15000));
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(viewer.WaitForExit(10000), 0) << (::IsWindow(window) ? "the window stayed" : "the window went");
  };
  startAndClose();
  EXPECT_EQ(::GetFileAttributesW(log.c_str()), INVALID_FILE_ATTRIBUTES) << "no marker, no log";

  ASSERT_TRUE(WriteText(log + L".on", ""));
  startAndClose();
  startAndClose();
  const std::vector<uint8_t> bytes = ReadBytes(log);
  const std::string text(bytes.begin(), bytes.end());
  const std::string name = base::WideToUtf8(L"假日照片.jpg");
  // Each start: its own line, the picture it could not read (by its Chinese name, in UTF-8), its exit.
  size_t starts = 0, unread = 0, exits = 0;
  for (size_t at = 0, end; at < text.size(); at = end + 1) {
    end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    if (line.empty()) continue;
    EXPECT_EQ(line.rfind("[I][", 0), 0u) << line;
    if (line.find("]start ") != std::string::npos) ++starts;
    if (line.find("]cannot read ") != std::string::npos && line.find(name) != std::string::npos) ++unread;
    if (line.size() >= 5 && line.compare(line.size() - 5, 5, "]exit") == 0) ++exits;
  }
  EXPECT_EQ(starts, 2u) << text;
  EXPECT_EQ(unread, 2u) << text;
  EXPECT_EQ(exits, 2u) << text;
}
