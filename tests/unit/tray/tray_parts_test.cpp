// The tray companion's rules, each on the real platform piece it uses: the hotkey control's value
// turned into a registration, the files it keeps, the viewer's messages read from bytes, the
// viewer's command line found in the companion's, and a screen capture written as a picture.
#include <gtest/gtest.h>
#include <process.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <cstring>
#include <string>

#include "companions/tray/hotkey.h"
#include "companions/tray/screen_capture.h"
#include "companions/tray/tray_settings.h"
#include "companions/tray/update_handoff.h"
#include "companions/tray/viewer_messages.h"
#include "tests/support/test_support.h"

namespace {

unsigned __stdcall CloseAfterAMoment(void* handle) {
  ::Sleep(300);
  ::CloseHandle(static_cast<HANDLE>(handle));
  return 0;
}


using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteText;
using tray::HotkeyBinding;

std::string ReadText(const std::wstring& path) {
  const auto bytes = ReadBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

int FilesIn(const std::wstring& folder) {
  WIN32_FIND_DATAW data{};
  HANDLE find = ::FindFirstFileW((folder + L"*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  int count = 0;
  do {
    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) ++count;
  } while (::FindNextFileW(find, &data));
  ::FindClose(find);
  return count;
}

TEST(TrayHotkey, ControlFlagsBecomeRegistrationModifiers) {
  struct Case {
    int32_t value;
    bool valid;
    HotkeyBinding binding;
  };
  const Case cases[] = {
      {1092, true, {MOD_ALT, 'D'}},                                      // the reset value, Alt+D
      {(HOTKEYF_SHIFT << 8) | 'S', true, {MOD_SHIFT, 'S'}},              // Shift is 1 in the control, 4 here
      {(HOTKEYF_CONTROL << 8) | VK_F8, true, {MOD_CONTROL, VK_F8}},
      {((HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_SHIFT) << 8) | 'Q', true, {MOD_CONTROL | MOD_ALT | MOD_SHIFT, 'Q'}},
      {((HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_EXT) << 8) | VK_HOME, true, {MOD_CONTROL | MOD_ALT, VK_HOME}},
      {VK_F9, true, {0, VK_F9}},
      {0, false, {}},                      // no hotkey
      {HOTKEYF_ALT << 8, false, {}},        // a modifier without a key
      {(0x10 << 8) | 'D', false, {}},       // a flag the control never sets
      {0x10044, false, {}},                // more than 16 bits
      {-1092, false, {}},
  };
  for (const Case& c : cases) {
    const auto binding = tray::BindingFromControlValue(c.value);
    ASSERT_EQ(binding.has_value(), c.valid) << c.value;
    if (binding) {
      EXPECT_EQ(*binding, c.binding) << c.value;
    }
  }
}

TEST(TraySettings, KeepsWhatIsSoundAndWritesWholeFiles) {
  TempDir dir;
  const std::wstring path = dir.File(L"tray.ini");
  EXPECT_EQ(tray::LoadTraySettings(path), tray::TraySettings{});  // no file: defaults
  struct Case {
    const char* text;
    tray::TraySettings expected;
  };
  const Case cases[] = {
      {"[tray]\r\nquick_index=0\r\nhotkey=1092\r\n", {0, 1092}},
      {"[tray]\r\nquick_index=7\r\nhotkey=65536\r\n", {1, 0}},
      {"[tray]\r\nquick_index=x\r\nhotkey=1092abc\r\n", {1, 0}},
      {"[tray]\r\nquick_index=\r\nhotkey=-5\r\n", {1, 0}},
      {"[tray]\r\nhotkey=99999999999999999999\r\n", {1, 0}},
      {"[other]\r\nquick_index=0\r\n", {1, 0}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(WriteText(path, c.text));
    EXPECT_EQ(tray::LoadTraySettings(path), c.expected) << c.text;
  }
  ASSERT_TRUE(tray::SaveTraySettings(path, {0, 0x0644}));
  EXPECT_EQ(ReadText(path), "[tray]\r\nquick_index=0\r\nhotkey=1604\r\n");
  EXPECT_EQ(tray::LoadTraySettings(path), (tray::TraySettings{0, 0x0644}));
  EXPECT_EQ(FilesIn(dir.Path()), 1) << "a temporary file was left behind";

  // The viewer's settings keep everything but the one key.
  const std::wstring config = dir.File(L"config.ini");
  ASSERT_TRUE(WriteText(config, "[app]\r\nonly_one_instance=1\r\n[Default]\r\nsniptool_hotkey=5\r\nother=x\r\n"));
  ASSERT_TRUE(tray::WriteViewerHotkey(config, 1092));
  EXPECT_EQ(::GetPrivateProfileIntW(L"Default", L"sniptool_hotkey", -1, config.c_str()), 1092u);
  EXPECT_EQ(::GetPrivateProfileIntW(L"app", L"only_one_instance", -1, config.c_str()), 1u);
  wchar_t other[8] = {};
  ::GetPrivateProfileStringW(L"Default", L"other", L"", other, 8, config.c_str());
  EXPECT_STREQ(other, L"x");
  const std::wstring fresh = dir.File(L"fresh.ini");
  ASSERT_TRUE(tray::WriteViewerHotkey(fresh, 1604));
  EXPECT_EQ(::GetPrivateProfileIntW(L"Default", L"sniptool_hotkey", -1, fresh.c_str()), 1604u);
  EXPECT_EQ(FilesIn(dir.Path()), 3);
  // A folder that does not exist: a clear failure, nothing written.
  EXPECT_FALSE(tray::SaveTraySettings(dir.File(L"missing\\tray.ini"), {}));

  // Another program reading the file for a moment (as the profile functions do) delays the
  // change instead of losing it.
  HANDLE reader = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                0, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  const uintptr_t closer = ::_beginthreadex(nullptr, 0, &CloseAfterAMoment, reader, 0, nullptr);
  ASSERT_NE(closer, 0u);
  EXPECT_TRUE(tray::SaveTraySettings(path, {1, 0x0645}));
  ::WaitForSingleObject(reinterpret_cast<HANDLE>(closer), INFINITE);
  ::CloseHandle(reinterpret_cast<HANDLE>(closer));
  EXPECT_EQ(tray::LoadTraySettings(path), (tray::TraySettings{1, 0x0645}));
  EXPECT_EQ(FilesIn(dir.Path()), 3) << "a temporary file was left behind";
}

TEST(TrayUpdateHandOff, FindsTheViewersOwnCommandLine) {
  struct Case {
    const wchar_t* parameters;
    const wchar_t* original;
  };
  const Case cases[] = {
      {L"\"C:\\p\\a b.jpg\" --need-upgrade-privilege-now --entry=main --from=main", L"\"C:\\p\\a b.jpg\""},
      {L" --need-upgrade-privilege-now --entry=main --from=main", L""},
      {L"--need-upgrade-privilege-now --entry=main", L""},
      {L"x.png --setting --need-upgrade-privilege-now --entry=main", L"x.png --setting"},
      {L"\"--need-upgrade-privilege-nowhere.jpg\" --need-upgrade-privilege-now", L"\"--need-upgrade-privilege-nowhere.jpg\""},
      {L"x.png --from=main", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(tray::OriginalViewerCommandLine(c.parameters), c.original) << c.parameters;
  EXPECT_EQ(tray::ParametersOf(L"\"C:\\Program Files\\QuellinTray.exe\"  a.jpg --x"), L"a.jpg --x");
  EXPECT_EQ(tray::ParametersOf(L"QuellinTray.exe a.jpg"), L"a.jpg");
  EXPECT_EQ(tray::ParametersOf(L"\"unterminated"), L"");

  TempDir dir;
  const std::wstring config = dir.File(L"config.ini");
  EXPECT_TRUE(tray::ClearUpdateState(config));  // no file: nothing waits
  ASSERT_TRUE(WriteText(config, "[update]\r\nstate=pixloUpdate\r\nversion=2\r\n"));
  EXPECT_TRUE(tray::ClearUpdateState(config));
  EXPECT_EQ(::GetPrivateProfileIntW(L"update", L"version", 0, config.c_str()), 2u);
  wchar_t state[16] = {};
  ::GetPrivateProfileStringW(L"update", L"state", L"", state, 16, config.c_str());
  EXPECT_STREQ(state, L"");
}

TEST(TrayViewerMessages, ReadsEachTypeAndDropsWhatDoesNotHoldIt) {
  const auto decode = [](uint32_t type, auto&& write) {
    IPC::Message message(1, type);
    write(message);
    return tray::DecodeViewerMessage(message);
  };
  const auto none = [](IPC::Message&) {};
  const auto one = [](int32_t value) { return [value](IPC::Message& m) { m.WriteInt(value); }; };
  const auto assoc = [](const std::string& ext, int32_t state) {
    return [=](IPC::Message& m) {
      m.WriteString(ext);
      m.WriteInt(state);
    };
  };
  auto r = decode(1, one(0));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->kind, tray::RequestKind::kQuickIndex);
  EXPECT_EQ(r->value, 0);
  r = decode(3, one(1092));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->kind, tray::RequestKind::kHotkey);
  EXPECT_EQ(r->value, 1092);
  r = decode(4, assoc("jpg", 1));
  ASSERT_TRUE(r);
  EXPECT_EQ(r->extension, L"jpg");
  EXPECT_EQ(r->value, 1);
  r = decode(2, none);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->kind, tray::RequestKind::kExit);

  EXPECT_FALSE(decode(1, none));                 // no state
  EXPECT_FALSE(decode(1, one(2)));
  EXPECT_FALSE(decode(3, none));
  EXPECT_FALSE(decode(4, assoc("jpg", 2)));
  EXPECT_FALSE(decode(4, assoc("", 1)));
  EXPECT_FALSE(decode(4, assoc("..\\x", 1)));
  EXPECT_FALSE(decode(4, assoc("JPG", 1)));
  EXPECT_FALSE(decode(4, assoc(std::string(17, 'a'), 1)));
  EXPECT_FALSE(decode(4, [](IPC::Message& m) { m.WriteString("jpg"); }));
  EXPECT_FALSE(decode(9, one(1)));

  // A string whose length field points past the payload.
  IPC::Message lying(1, 4);
  lying.WriteInt(1000);
  lying.WriteInt(1);
  EXPECT_FALSE(tray::DecodeViewerMessage(IPC::Message(lying.data(), lying.size())));
}

TEST(TrayScreenCapture, WritesTheDesktopAsAPngPicture) {
  ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  TempDir dir;
  SYSTEMTIME when{2024, 5, 3, 1, 9, 8, 7, 0};
  EXPECT_EQ(tray::CaptureFileName(dir.Path(), when), dir.File(L"Quellin screenshot 2024-05-01 090807.png"));
  ASSERT_TRUE(WriteText(dir.File(L"Quellin screenshot 2024-05-01 090807.png"), "taken"));
  EXPECT_EQ(tray::CaptureFileName(dir.Path(), when), dir.File(L"Quellin screenshot 2024-05-01 090807 (2).png"));

  const std::wstring picture = tray::CaptureScreenToFolder(dir.Path());
  ASSERT_FALSE(picture.empty());
  const auto bytes = ReadBytes(picture);
  ASSERT_GT(bytes.size(), 33u);
  EXPECT_EQ(std::memcmp(bytes.data(), "\x89PNG\r\n\x1a\n", 8), 0);
  const auto be32 = [&](size_t at) {
    return (uint32_t{bytes[at]} << 24) | (uint32_t{bytes[at + 1]} << 16) | (uint32_t{bytes[at + 2]} << 8) | bytes[at + 3];
  };
  EXPECT_EQ(be32(16), static_cast<uint32_t>(::GetSystemMetrics(SM_CXVIRTUALSCREEN)));
  EXPECT_EQ(be32(20), static_cast<uint32_t>(::GetSystemMetrics(SM_CYVIRTUALSCREEN)));
  EXPECT_EQ(FilesIn(dir.Path()), 2) << "a partial file was left behind";
  EXPECT_TRUE(tray::CaptureScreenToFolder(dir.File(L"missing\\")).empty());
  EXPECT_EQ(FilesIn(dir.Path()), 2);
  ::CoUninitialize();
}

}  // namespace
