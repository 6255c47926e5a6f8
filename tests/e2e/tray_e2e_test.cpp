// The tray companion as the viewers meet it: the real QuellinTray.exe, started as its own process,
// and this test playing the viewers' side of the channel with the viewer's own channel code.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "base/paths.h"
#include "companions/assoc/assoc_kit_client.h"
#include "companions/assoc/registry_value.h"
#include "companions/tray/companion_names.h"
#include "integration/companion_messages.h"
#include "ipc/channel.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

using testing_support::PumpMessagesUntil;
using testing_support::TempDir;
using testing_support::WriteText;

constexpr wchar_t kChannel[] = L"QlIPC-be3d8fcf43482b49";
constexpr wchar_t kMainClass[] = L"QuellinMainFrameClass-b1f78b3cc4bd764c";
constexpr DWORD kWaitMs = 15000;
// Ctrl+Alt+F11 as the settings' hotkey control gives it (flags 6), and as RegisterHotKey takes it
// (modifiers 3; taken unconverted, 6 would mean Ctrl+Shift).
constexpr int32_t kHotkeyValue = ((HOTKEYF_CONTROL | HOTKEYF_ALT) << 8) | VK_F11;
constexpr UINT kHotkeyModifiers = MOD_CONTROL | MOD_ALT;
constexpr int32_t kOtherHotkeyValue = ((HOTKEYF_CONTROL | HOTKEYF_ALT) << 8) | VK_F10;

// A viewer's main window as a channel listener: routing 2, told of type 2 and of the peer going.
class ViewerSide : public IChannelListener2 {
 public:
  void OnMessageReceived(const IPC::Message& message) override { types.push_back(message.type()); }
  int32_t GetRoutingID() const override { return 2; }
  void OnPeerGone(bool) override { ++gone; }
  std::vector<uint32_t> types;
  int gone = 0;
};

// Whether another program holds the combination: our own registration is refused then. While it
// is held here for a moment, nobody else can take it.
bool HotkeyIsTaken(UINT modifiers, UINT key) {
  if (!::RegisterHotKey(nullptr, 0x5151, modifiers | MOD_NOREPEAT, key)) return true;
  ::UnregisterHotKey(nullptr, 0x5151);
  return false;
}

HWND ServerWindow() {
  const std::wstring name = ipc::ServerWindowName(kChannel);
  return ::FindWindowW(name.c_str(), name.c_str());
}

std::wstring ClassesDefault(const wchar_t* extension) {
  std::wstring value;
  return assoc::ReadRegistryString(HKEY_CURRENT_USER, std::wstring(L"Software\\Classes\\.") + extension, nullptr, value)
             ? value
             : L"<absent>";
}

class TrayCompanion : public ::testing::Test {
 protected:
  void SetUp() override {
    // Companions that viewers of earlier tests started are not this test's.
    e2e::EndProcessesNamed(L"QuellinTray.exe");
    data_env_ = std::make_unique<e2e::ScopedEnvironment>(L"QUELLIN_DATA_DIR", data_.Path().c_str());
  }
  void TearDown() override { e2e::EndProcessesNamed(L"QuellinTray.exe"); }

  std::wstring Tray() const { return testing_support::BinDir() + L"QuellinTray.exe"; }
  std::wstring TrayIni() const { return data_.File(L"tray.ini"); }

  // Starts the companion and waits until it serves the channel.
  bool StartTray(e2e::Process& process) {
    if (!process.Start(Tray(), L"--from=main")) return false;
    return e2e::WaitUntil([] { return ServerWindow() != nullptr; }, kWaitMs);
  }
  // Opens a viewer's side of the channel and waits until it knows the companion.
  static bool Connect(CChannel& channel, ViewerSide& listener) {
    if (!channel.Open(kChannel, true)) return false;
    channel.AddListener(&listener);
    return PumpMessagesUntil([&] { return channel.Impl()->Peer() != nullptr; }, kWaitMs);
  }
  int StoredInt(const wchar_t* key) const {
    return static_cast<int>(::GetPrivateProfileIntW(L"tray", key, -1, TrayIni().c_str()));
  }

  TempDir data_;
  std::unique_ptr<e2e::ScopedEnvironment> data_env_;
};

TEST_F(TrayCompanion, ServesTheFourMessagesAndAsksEveryViewerToQuit) {
  e2e::Process tray;
  ASSERT_TRUE(StartTray(tray));
  CChannel first;
  CChannel second;
  ViewerSide firstViewer;
  ViewerSide secondViewer;
  ASSERT_TRUE(Connect(first, firstViewer));
  ASSERT_TRUE(Connect(second, secondViewer));

  // Type 1: the quick-index option is kept.
  ASSERT_TRUE(first.Send(integration::QuickIndexMessage(false)));
  EXPECT_TRUE(e2e::WaitUntil([&] { return StoredInt(L"quick_index") == 0; }, kWaitMs));

  // Type 3: the hotkey is registered, kept, and written where the viewer's settings read it.
  ASSERT_FALSE(HotkeyIsTaken(kHotkeyModifiers, VK_F11));
  ASSERT_TRUE(first.Send(integration::HotkeyMessage(kHotkeyValue)));
  // The companion registers before it stores; probing earlier could take the keys from it.
  ASSERT_TRUE(e2e::WaitUntil([&] { return StoredInt(L"hotkey") == kHotkeyValue; }, kWaitMs));
  EXPECT_TRUE(HotkeyIsTaken(kHotkeyModifiers, VK_F11));
  EXPECT_EQ(AppConfig(data_.File(L"config.ini")).ReadSnipToolHotkey(), kHotkeyValue);

  // Type 4: a file-type choice goes to the association library beside the companion.
  const assoc::AssocKitClient library(testing_support::BinDir());
  library.UnInstall(HKEY_CURRENT_USER);
  ASSERT_TRUE(second.Send(integration::AssociationMessage(L"TGA", true)));
  EXPECT_TRUE(e2e::WaitUntil([] { return ClassesDefault(L"tga") == L"Quellin.tga"; }, kWaitMs));
  ASSERT_TRUE(second.Send(integration::AssociationMessage(L"tga", false)));
  EXPECT_TRUE(e2e::WaitUntil([] { return ClassesDefault(L"tga") != L"Quellin.tga"; }, kWaitMs));
  library.UnInstall(HKEY_CURRENT_USER);

  // The user chooses "quit" in the icon's menu: every viewer is asked to quit (type 2), and the
  // companion ends.
  HWND trayWindow = ::FindWindowW(tray::kTrayWindowClass, nullptr);
  ASSERT_NE(trayWindow, nullptr);
  ::PostMessageW(trayWindow, WM_COMMAND, tray::kCommandQuit, 0);
  EXPECT_TRUE(PumpMessagesUntil([&] { return !firstViewer.types.empty() && !secondViewer.types.empty(); }, kWaitMs));
  EXPECT_EQ(firstViewer.types, std::vector<uint32_t>{2});
  EXPECT_EQ(secondViewer.types, std::vector<uint32_t>{2});
  EXPECT_EQ(tray.WaitForExit(kWaitMs), 0);
  EXPECT_FALSE(HotkeyIsTaken(kHotkeyModifiers, VK_F11));
}

TEST_F(TrayCompanion, RefusesMessagesThatLieAndKeepsServing) {
  e2e::Process tray;
  ASSERT_TRUE(StartTray(tray));
  CChannel channel;
  ViewerSide viewer;
  ASSERT_TRUE(Connect(channel, viewer));

  // A type 1 whose size field claims more than was sent, one that claims less, a type 3 without
  // its value and a type 4 whose string runs past the end: each is taken and dropped.
  IPC::Message real = integration::QuickIndexMessage(false);
  std::vector<std::vector<uint8_t>> lies;
  for (uint8_t size : {0xF0, 0x02}) {
    std::vector<uint8_t> bytes(real.data(), real.data() + real.size());
    bytes[0] = size;
    lies.push_back(bytes);
  }
  IPC::Message empty(1, 3);
  lies.emplace_back(empty.data(), empty.data() + empty.size());
  IPC::Message runaway(1, 4);
  runaway.WriteInt(4000);
  runaway.WriteInt(1);
  lies.emplace_back(runaway.data(), runaway.data() + runaway.size());
  for (auto& bytes : lies) {
    for (ULONG_PTR kind : {ipc::kCopyDataQueued, ipc::kCopyDataImmediate}) {
      COPYDATASTRUCT record{kind, static_cast<DWORD>(bytes.size()), bytes.data()};
      DWORD_PTR answer = 0;
      ASSERT_TRUE(::SendMessageTimeoutW(ServerWindow(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record),
                                        SMTO_ABORTIFHUNG, 5000, &answer));
    }
  }
  ASSERT_TRUE(channel.Send(integration::HotkeyMessage(kOtherHotkeyValue)));
  EXPECT_TRUE(e2e::WaitUntil([&] { return StoredInt(L"hotkey") == kOtherHotkeyValue; }, kWaitMs));
  EXPECT_EQ(StoredInt(L"quick_index"), 1) << "a refused message changed the state";
  EXPECT_TRUE(tray.IsRunning());

  // Type 2 from the last viewer ends the companion.
  ASSERT_TRUE(channel.Send(IPC::Message(1, 2)));
  EXPECT_EQ(tray.WaitForExit(kWaitMs), 0);
  EXPECT_TRUE(viewer.types.empty());
}

TEST_F(TrayCompanion, StartsAgainAsItWasAfterBeingKilledAndOnlyOnce) {
  CChannel channel;
  ViewerSide viewer;
  {
    e2e::Process tray;
    ASSERT_TRUE(StartTray(tray));
    ASSERT_TRUE(Connect(channel, viewer));
    ASSERT_TRUE(channel.Send(integration::QuickIndexMessage(false)));
    ASSERT_TRUE(channel.Send(integration::HotkeyMessage(kHotkeyValue)));
    ASSERT_TRUE(e2e::WaitUntil([&] { return StoredInt(L"hotkey") == kHotkeyValue; }, kWaitMs));
    // A second companion ends at once and leaves the first alone.
    e2e::Process twin;
    ASSERT_TRUE(twin.Start(Tray(), L"--from=main"));
    EXPECT_EQ(twin.WaitForExit(kWaitMs), 0);
    EXPECT_TRUE(tray.IsRunning());

    // Killed without warning: the viewer's channel notices.
    ASSERT_TRUE(::TerminateProcess(tray.Handle(), 9));
    ASSERT_EQ(tray.WaitForExit(kWaitMs), 9);
    EXPECT_TRUE(PumpMessagesUntil([&] { return viewer.gone == 1; }, kWaitMs));
    EXPECT_FALSE(HotkeyIsTaken(kHotkeyModifiers, VK_F11));
  }
  EXPECT_FALSE(channel.Send(integration::QuickIndexMessage(true)));

  e2e::Process again;
  ASSERT_TRUE(StartTray(again));
  EXPECT_TRUE(e2e::WaitUntil([] { return HotkeyIsTaken(kHotkeyModifiers, VK_F11); }, kWaitMs))
      << "the hotkey was not registered again";
  // The companion writes its whole state with the next change: the quick-index option it read
  // back at start is still off.
  ASSERT_TRUE(channel.Send(integration::HotkeyMessage(kOtherHotkeyValue)));
  EXPECT_TRUE(e2e::WaitUntil([&] { return StoredInt(L"hotkey") == kOtherHotkeyValue; }, kWaitMs));
  EXPECT_EQ(StoredInt(L"quick_index"), 0);
  EXPECT_FALSE(HotkeyIsTaken(kHotkeyModifiers, VK_F11));
  ASSERT_TRUE(channel.Send(IPC::Message(1, 2)));
  EXPECT_EQ(again.WaitForExit(kWaitMs), 0);
}

// The viewer finds an update waiting: it hands its start to the companion, which starts the
// viewer again with the same picture and clears the state, so the hand-off happens once.
TEST_F(TrayCompanion, HandsAnUpdateStartBackToTheViewerOnce) {
  TempDir program;
  const std::wstring bin = testing_support::BinDir();
  for (const wchar_t* file : {L"QuellinImg.exe", L"QuellinTray.exe"}) {
    ASSERT_TRUE(::CopyFileW((bin + file).c_str(), program.File(file).c_str(), FALSE));
  }
  ASSERT_EQ(testing_support::RunProcess(L"C:\\windows\\system32\\xcopy.exe",
                                        L"/E /I /Q /Y \"" + bin + L"res\" \"" + program.File(L"res") + L"\""),
            0);
  ASSERT_TRUE(WriteText(program.File(L"config.ini"), "[update]\r\nstate=pixloUpdate\r\n"));
  ASSERT_TRUE(WriteText(data_.File(L"config.ini"), "[app]\r\ndefault_viewer_start_tip=0\r\n"));
  TempDir work;
  const std::wstring picture = work.File(L"holiday photo.jpg");
  ASSERT_TRUE(WriteText(picture, "not decoded at start-up"));

  e2e::Process first;
  ASSERT_TRUE(first.Start(program.File(L"QuellinImg.exe"), L"\"" + picture + L"\""));
  EXPECT_EQ(first.WaitForExit(kWaitMs), 0) << "the first start kept its window";

  HWND window = nullptr;
  ASSERT_TRUE(e2e::WaitUntil(
      [&] {
        for (HWND w : e2e::TopLevelWindowsOfClass(kMainClass)) {
          if (::IsWindowVisible(w) && e2e::WindowText(w).rfind(L"holiday photo.jpg", 0) == 0) window = w;
        }
        return window != nullptr;
      },
      30000))
      << "the picture was not opened again";
  wchar_t state[32] = {};
  ::GetPrivateProfileStringW(L"update", L"state", L"", state, 32, program.File(L"config.ini").c_str());
  EXPECT_STREQ(state, L"");
  // No second hand-off: one viewer window, and it stays.
  ::Sleep(2000);
  EXPECT_EQ(e2e::TopLevelWindowsOfClass(kMainClass).size(), 1u);
  EXPECT_TRUE(::IsWindow(window));
  DWORD viewerId = 0;
  ::GetWindowThreadProcessId(window, &viewerId);
  base::KernelHandle viewer(::OpenProcess(SYNCHRONIZE, FALSE, viewerId));
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(::WaitForSingleObject(viewer.Get(), kWaitMs), WAIT_OBJECT_0);
}

// Closing the last viewer window with "completely_exit" on ends the companion too.
TEST_F(TrayCompanion, EndsWithTheLastViewerWhenTheUserAskedForIt) {
  ASSERT_TRUE(WriteText(data_.File(L"config.ini"), "[app]\r\ncompletely_exit=1\r\ndefault_viewer_start_tip=0\r\n"));
  e2e::Process tray;
  ASSERT_TRUE(StartTray(tray));
  e2e::Process viewer;
  ASSERT_TRUE(viewer.Start(testing_support::BinDir() + L"QuellinImg.exe", L""));
  HWND window = e2e::WaitForTopLevelWindow(viewer.Id(), kMainClass, 20000);
  ASSERT_NE(window, nullptr);
  ::PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(viewer.WaitForExit(kWaitMs), 0);
  EXPECT_NE(tray.WaitForExit(kWaitMs), -1) << "the companion outlived the last viewer";
}

}  // namespace
