// The thumbnail preloader's policy: which neighbours it asks for, in which order, how often, and
// when it runs at all; and how the folder list reaches it and the title.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <deque>
#include <string>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "image/wic/factory.h"
#include "tests/support/test_support.h"
#include "view/current_folder_image.h"
#include "view/system_cache.h"
#include "view/title_info.h"
#include "view/ui_event.h"
#include "view/view_links.h"

namespace {

using testing_support::PumpMessagesUntil;
using testing_support::TempDir;

std::deque<std::wstring> Names(std::initializer_list<const wchar_t*> names) {
  return std::deque<std::wstring>(names.begin(), names.end());
}

std::deque<std::wstring> InFolder(const std::wstring& folder, std::initializer_list<const wchar_t*> names) {
  std::deque<std::wstring> paths;
  for (const wchar_t* name : names) paths.push_back(folder + L"\\" + name);
  return paths;
}

bool Idle(const CSystemCache& cache) { return cache.GetRunningCount() == 0 && cache.GetPendingCount() == 0; }

class SystemCacheTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateWicFactory()); }
  FCAutoInitializeCOM com_;
  AppConfigValues config_;
  const std::wstring folder_ = L"C:\\pictures";
};

TEST_F(SystemCacheTest, OrderFollowsTheDirectionOfTravel) {
  CSystemCache cache(config_);
  const auto names = Names({L"0.jpg", L"1.jpg", L"2.png", L"3.gif", L"4.bmp", L"5.tif", L"6.jpg", L"7.jpg"});
  cache.PreloadAround(folder_, 4, names);
  EXPECT_EQ(cache.PendingPaths(), InFolder(folder_, {L"5.tif", L"3.gif", L"6.jpg", L"7.jpg"}));
  cache.SetDirection(CSystemCache::kForward);
  cache.PreloadAround(folder_, 4, names);  // drops what had not started
  EXPECT_EQ(cache.PendingPaths(), InFolder(folder_, {L"5.tif", L"6.jpg", L"7.jpg"}));
  cache.SetDirection(CSystemCache::kBackward);
  cache.PreloadAround(folder_, 4, names);
  EXPECT_EQ(cache.PendingPaths(), InFolder(folder_, {L"3.gif", L"2.png", L"1.jpg"}));
  // Offsets outside the list are skipped.
  cache.PreloadAround(folder_, 1, names);
  EXPECT_EQ(cache.PendingPaths(), InFolder(folder_, {L"0.jpg"}));
  // Another folder starts over around the position.
  cache.PreloadAround(L"C:\\other", 7, names);
  EXPECT_EQ(cache.GetDirection(), CSystemCache::kAround);
  EXPECT_EQ(cache.PendingPaths(), InFolder(L"C:\\other", {L"6.jpg"}));
  // Nothing has run: the preloader waits for its start.
  EXPECT_EQ(cache.GetRunningCount(), 0u);
  EXPECT_TRUE(cache.RequestedNames().empty());
}

TEST_F(SystemCacheTest, OnlyPicturesTheCacheKnowsAreSent) {
  CSystemCache cache(config_);
  cache.PreloadAround(folder_, 0, Names({L"a.jpg", L"b.ico", L"c.psd", L"d.webp", L"e.PNG"}));
  EXPECT_EQ(cache.PendingPaths(), InFolder(folder_, {}));  // +1 ico, +2 psd, +3 webp
  cache.PreloadAround(folder_, 3, Names({L"a.jpg", L"b.ico", L"c.psd", L"d.webp", L"e.PNG"}));
  EXPECT_EQ(cache.PendingPaths(), InFolder(folder_, {L"e.PNG"}));
}

TEST_F(SystemCacheTest, EachFileIsAskedForOncePerFolderAndOnlyAfterTheStart) {
  TempDir dir;
  const std::wstring folder = dir.Path().substr(0, dir.Path().size() - 1);
  const auto names = Names({L"a.jpg", L"b.jpg", L"c.jpg", L"d.jpg", L"e.jpg", L"f.jpg"});
  for (const auto& name : names) ASSERT_TRUE(testing_support::WriteBytes(dir.File(name), {0xFF, 0xD8, 0xFF}));

  config_.preload_enable = 0;
  CSystemCache cache(config_);
  cache.Start();
  cache.PreloadAround(folder, 0, names);
  testing_support::PumpPostedMessages(300);
  EXPECT_EQ(cache.GetRunningCount(), 0u);  // switched off: queued, never run
  // Requests that never started were never recorded, so they are queued again.
  cache.PreloadAround(folder, 0, names);
  EXPECT_EQ(cache.PendingPaths(), InFolder(folder, {L"b.jpg", L"c.jpg", L"d.jpg"}));

  config_.preload_enable = 1;
  cache.StartTasks();
  EXPECT_EQ(cache.GetRunningCount(), 1u);  // one at a time
  ASSERT_TRUE(PumpMessagesUntil([&] { return Idle(cache); }, 30000));
  EXPECT_EQ(cache.RequestedNames(), (std::set<std::wstring>{L"b.jpg", L"c.jpg", L"d.jpg"}));
  // One step on: only names never asked for are queued.
  cache.PreloadAround(folder, 1, names);
  EXPECT_EQ(cache.GetPendingCount() + cache.GetRunningCount(), 2u);  // a.jpg and e.jpg
  ASSERT_TRUE(PumpMessagesUntil([&] { return Idle(cache); }, 30000));
  EXPECT_EQ(cache.RequestedNames(), (std::set<std::wstring>{L"a.jpg", L"b.jpg", L"c.jpg", L"d.jpg", L"e.jpg"}));
  cache.PreloadAround(folder, 1, names);
  EXPECT_TRUE(Idle(cache));
  // Leaving the folder forgets what was asked.
  // Leaving the folder forgets what was asked: only the request that started since is recorded.
  cache.PreloadAround(L"C:\\elsewhere", 0, names);
  EXPECT_EQ(cache.RequestedNames(), (std::set<std::wstring>{L"b.jpg"}));
  cache.ClearPending();
  ASSERT_TRUE(PumpMessagesUntil([&] { return Idle(cache); }, 30000));
}

class SeenEvents : public CUIEventObserver {
 public:
  void OnUIEvent(const CUIEventParam& event) override {
    if (event.GetType() == CUIEventFolderImageCollected::Type()) ++collected;
  }
  int collected = 0;
};

TEST_F(SystemCacheTest, FolderListFeedsTheTitleThePreloaderAndTheEventBus) {
  TempDir dir;
  for (const wchar_t* name : {L"p10.jpg", L"p2.jpg", L"p1.jpg", L"note.txt"}) {
    ASSERT_TRUE(testing_support::WriteBytes(dir.File(name), {0xFF, 0xD8, 0xFF}));
  }
  CSystemCache::DestroyInstance();  // a preloader that other tests have not started
  CFolderListLinks links;
  SeenEvents events;
  CCurrentFolderImage list(AppConfig::Get(), nullptr);
  list.SetObserver(&links);
  list.SetCurrentFile(nullptr, dir.File(L"p2.jpg"));
  ASSERT_TRUE(PumpMessagesUntil([&] { return !list.IsScanning() && list.GetCount() == 3; }, 30000));
  EXPECT_EQ(list.GetCurrentIndex(), 1);
  EXPECT_GE(events.collected, 1);
  EXPECT_EQ(CTitleInfo::Get().Facts().position_text.find(L"2/3") != std::wstring::npos, true)
      << CTitleInfo::Get().Facts().position_text;
  const std::wstring folder = dir.Path().substr(0, dir.Path().size() - 1);
  // The preloader of the process has not been started here: the neighbours wait in its queue.
  EXPECT_EQ(CSystemCache::Get().PendingPaths(), InFolder(folder, {L"p10.jpg", L"p1.jpg"}));
  list.SetObserver(nullptr);
  CSystemCache::DestroyInstance();
}

}  // namespace
