// QuellinBase.dll as the viewer uses it: nothing is sent unless statistics are switched on and
// given an address, then a report carries four plain words and nothing else; the quick-index state
// survives the library being unloaded; and the viewer starts and shows a picture without it.
#include <gtest/gtest.h>

// The loopback server's socket header first: it must come before windows.h.
#include "tests/unit/netkit/loopback_server.h"

#include <windows.h>

#include <string>

#include "base/paths.h"
#include "companions/basesvc/base_services.h"
#include "companions/basesvc/quellin_base_api.h"
#include "integration/statistics.h"
#include "tests/e2e/driver/viewer.h"
#include "tests/e2e/e2e_support.h"
#include "tests/support/test_support.h"

namespace {

using netkit_test::LoopbackServer;

class BaseLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    data_env_ = std::make_unique<e2e::ScopedEnvironment>(L"QUELLIN_DATA_DIR", data_.Path().c_str());
    module_ = ::LoadLibraryW((testing_support::BinDir() + L"QuellinBase.dll").c_str());
    ASSERT_NE(module_, nullptr);
    send_ = reinterpret_cast<PFN_SendStatUrl>(::GetProcAddress(module_, QLBASE_EXPORT_SEND_STAT_URL));
    create_ = reinterpret_cast<PFN_CreatePLibWrapper>(::GetProcAddress(module_, QLBASE_EXPORT_CREATE_WRAPPER));
    ASSERT_TRUE(send_ && create_);
  }
  void TearDown() override {
    if (module_) ::FreeLibrary(module_);
  }
  void Settings(const std::string& lines) {
    ASSERT_TRUE(testing_support::WriteText(data_.File(L"config.ini"), "[app]\r\n" + lines));
  }

  testing_support::TempDir data_;
  std::unique_ptr<e2e::ScopedEnvironment> data_env_;
  HMODULE module_ = nullptr;
  PFN_SendStatUrl send_ = nullptr;
  PFN_CreatePLibWrapper create_ = nullptr;
};

std::string Url(const LoopbackServer& server) {
  const std::wstring url = server.Url(L"http", L"/stat");
  return std::string(url.begin(), url.end());
}

TEST_F(BaseLibrary, SendsOnlyWhenSwitchedOnAndOnlyPlainWords) {
  LoopbackServer server(LoopbackServer::Behaviour::kAnswer, "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n{}");
  ASSERT_TRUE(server.Listening());
  // Off by default, also with an address; on without an address sends nothing either.
  Settings("usage_stats_url=" + Url(server) + "\r\n");
  EXPECT_EQ(send_(L"main", L"open_lnk"), 0);
  Settings("usage_stats=1\r\n");
  EXPECT_EQ(send_(L"main", L"open_lnk"), 0);
  EXPECT_FALSE(server.WaitForRequest(1500));

  Settings("usage_stats=1\r\nusage_stats_url=" + Url(server) + "\r\n");
  // Anything that is not a plain word (a path, what a user typed) is refused, not sent.
  for (const wchar_t* refused : {L"C:\\Users\\me\\photo.jpg", L"two words", L"", L"照片"}) {
    EXPECT_EQ(send_(L"main", refused), 0) << testing::PrintToString(std::wstring(refused));
  }
  ASSERT_EQ(send_(L"clip", L"feature"), 1);
  ASSERT_TRUE(server.WaitForRequest());
  const auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const std::string& body = requests[0].body;
  for (const char* field : {"name=\"event\"", "name=\"detail\"", "name=\"version\"", "name=\"system\""}) {
    EXPECT_NE(body.find(field), std::string::npos) << field;
  }
  EXPECT_NE(body.find("\r\n\r\nclip\r\n"), std::string::npos);
  EXPECT_NE(body.find("\r\n\r\nfeature\r\n"), std::string::npos);
  EXPECT_EQ(body.find("Content-Disposition", body.rfind("name=\"system\"") + 1), std::string::npos)
      << "four fields, nothing more";
}

TEST_F(BaseLibrary, TheQuickIndexStateOutlivesTheLibrary) {
  IPLibWrapper* wrapper = create_();
  ASSERT_NE(wrapper, nullptr);
  EXPECT_EQ(wrapper->Initialize(0, "quellin", 0), 1);
  EXPECT_EQ(wrapper->GetQuickIndexState(), 0);
  wrapper->SetQuickIndexState(1);
  wchar_t version[32] = {};
  EXPECT_GT(wrapper->GetVersion(version, 32), 0);
  EXPECT_EQ(wrapper->GetVersion(version, 2), 0) << "too small a buffer gets nothing";
  wrapper->Release();
  ::FreeLibrary(module_);
  module_ = ::LoadLibraryW((testing_support::BinDir() + L"QuellinBase.dll").c_str());
  ASSERT_NE(module_, nullptr);
  create_ = reinterpret_cast<PFN_CreatePLibWrapper>(::GetProcAddress(module_, QLBASE_EXPORT_CREATE_WRAPPER));
  wrapper = create_();
  ASSERT_NE(wrapper, nullptr);
  EXPECT_EQ(wrapper->GetQuickIndexState(), 1);
  wrapper->Release();
  // A damaged state file reads as off.
  ASSERT_TRUE(testing_support::WriteText(data_.File(L"base.ini"), "[plib]\r\nquick_index=yes please\r\n"));
  EXPECT_EQ(qlbase::ReadQuickIndexState(data_.File(L"base.ini")), 0);
}

TEST(Statistics, TheStartOriginMapsExactly) {
  const struct {
    const wchar_t* from;
    const wchar_t* kind;
  } cases[] = {{L"desktop", L"lnk"},  {L"Desktop", L"unknown"}, {L"", L"unknown"},       {L"openwith", L"shell"},
               {L"task", L"auto"},    {L"reg_run", L"auto_reg"}, {L"startmenu", L"menu"}, {L"tray ", L"unknown"}};
  for (const auto& c : cases) EXPECT_EQ(integration::EntryKindForOrigin(c.from), c.kind) << c.from;
  // Without the library nothing is reported and nothing fails.
  testing_support::TempDir empty;
  integration::CBaseLibrary missing(empty.Path());
  EXPECT_FALSE(missing.IsLoaded());
  EXPECT_FALSE(missing.ReportEvent(L"main", L"open_unknown"));
  EXPECT_EQ(missing.Wrapper(), nullptr);
}

TEST(Statistics, TheViewerShowsAPictureWithoutTheLibrary) {
  testing_support::TempDir program, data, pictures;
  ASSERT_TRUE(::CopyFileW((testing_support::BinDir() + L"QuellinImg.exe").c_str(), program.File(L"QuellinImg.exe").c_str(),
                          FALSE));
  ASSERT_FALSE(base::FileExists(program.File(L"QuellinBase.dll")));
  const std::wstring picture = pictures.File(L"alone.png");
  // A 1 x 1 PNG.
  static const uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0x0D, 'I', 'H', 'D', 'R', 0, 0, 0, 1,
                                 0, 0, 0, 1, 8, 2, 0, 0, 0, 0x90, 0x77, 0x53, 0xDE, 0, 0, 0, 0x0C, 'I', 'D', 'A', 'T',
                                 0x08, 0xD7, 0x63, 0xF8, 0xCF, 0xC0, 0, 0, 0x03, 0x01, 0x01, 0x00, 0x18, 0xDD, 0x8D,
                                 0xB0, 0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
  ASSERT_TRUE(testing_support::WriteBytes(picture, std::vector<uint8_t>(kPng, kPng + sizeof(kPng))));
  // No default-viewer question and no tray companion: this is about the viewer alone.
  static const HANDLE companion = ::CreateMutexW(nullptr, FALSE, L"Global\\QlTray-95745a12eeaa410d");
  ASSERT_NE(companion, nullptr);
  ASSERT_TRUE(testing_support::WriteText(data.File(L"config.ini"), "[app]\r\ndefault_viewer_start_tip=0\r\n"));
  e2e::ScopedEnvironment dataFolder(L"QUELLIN_DATA_DIR", data.Path().c_str());
  e2e::Process viewer;
  ASSERT_TRUE(viewer.Start(program.File(L"QuellinImg.exe"), L"\"" + picture + L"\""));
  HWND main = e2e::WaitForTopLevelWindow(viewer.Id(), L"QuellinMainFrameClass-b1f78b3cc4bd764c", 20000);
  ASSERT_NE(main, nullptr);
  // Past the moment the start-up statistics are reported (about a second after the window).
  EXPECT_TRUE(e2e::WaitUntil([&] { return e2e::WindowText(main).rfind(L"alone.png", 0) == 0; }, 15000))
      << testing::PrintToString(e2e::WindowText(main));
  ::Sleep(2500);
  EXPECT_TRUE(viewer.IsRunning());
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  EXPECT_EQ(viewer.WaitForExit(15000), 0);
}

}  // namespace
