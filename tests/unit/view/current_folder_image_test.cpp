#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "base/handles.h"
#include "base/message_window.h"
#include "tests/support/test_support.h"
#include "view/current_folder_image.h"
#include "view/folder_scan.h"
#include "view/shell_view_order.h"

using folder_order::NameList;
using testing_support::PumpMessagesUntil;
using testing_support::PumpPostedMessages;
using testing_support::TempDir;

namespace {

constexpr DWORD kLimitMs = 20000;

void Touch(const std::wstring& path) { ASSERT_TRUE(testing_support::WriteBytes(path, {})) << "cannot create file"; }

NameList Names(std::initializer_list<const wchar_t*> list) { return NameList(list.begin(), list.end()); }

// Ends the test program when a step that must return promptly hangs, so a deadlock shows up as
// a failure instead of a stalled run.
class Watchdog {
 public:
  explicit Watchdog(const char* what) : what_(what) {
    thread_.Reset(::CreateThread(nullptr, 0, &Watchdog::Run, this, 0, nullptr));
  }
  ~Watchdog() {
    ::SetEvent(done_.Get());
    ::WaitForSingleObject(thread_.Get(), INFINITE);
  }

 private:
  static DWORD WINAPI Run(void* param) {
    auto* self = static_cast<Watchdog*>(param);
    if (::WaitForSingleObject(self->done_.Get(), kLimitMs) == WAIT_TIMEOUT) {
      std::fprintf(stderr, "hung: %s\n", self->what_);
      ::TerminateProcess(::GetCurrentProcess(), 3);
    }
    return 0;
  }
  const char* what_;
  base::KernelHandle done_{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  base::KernelHandle thread_;
};

// The main image view's stand-in: counts the collected notices and where they arrived.
class NotificationWindow : public FCMessageWindow {
 public:
  NotificationWindow() { EXPECT_TRUE(CreateMessageWindow(nullptr)); }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_FOLDER_IMAGE_COLLECTED) {
      ++collected;
      thread = ::GetCurrentThreadId();
      return 0;
    }
    return FCMessageWindow::HandleMessage(message, wParam, lParam);
  }
  int collected = 0;
  DWORD thread = 0;
};

class RecordingObserver : public IFolderImageListObserver {
 public:
  void OnFolderPositionChanged(int index, int count) override { positions.emplace_back(index, count); }
  void OnPreloadAround(const std::wstring& folder, int index, const NameList& names) override {
    preloads.push_back(folder + L"|" + std::to_wstring(index) + L"|" + std::to_wstring(names.size()));
  }
  void OnFolderImageCollected() override {
    ++collected;
    thread = ::GetCurrentThreadId();
  }
  std::vector<std::pair<int, int>> positions;
  std::vector<std::wstring> preloads;
  int collected = 0;
  DWORD thread = 0;
};

// A shell that shows a fixed order; it may hold the scan until released or stopped.
class FakeShell : public IShellViewOrder {
 public:
  std::vector<std::wstring> GetViewOrder(const std::wstring& folder, const std::atomic<int>& stop) override {
    {
      std::lock_guard<std::mutex> guard(lock_);
      folders_.push_back(folder);
    }
    const bool held = hold.load();  // read before the test may change it for the next scan
    ::SetEvent(entered.Get());
    if (held) {
      // A deaf shell gives up by itself after a while, so that a list that waits for it cannot
      // hang the test, only fail it.
      const ULONGLONG deafUntil = ::GetTickCount64() + 10000;
      while ((stop.load() == 0 || (deaf.load() && ::GetTickCount64() < deafUntil)) &&
             ::WaitForSingleObject(release.Get(), 5) == WAIT_TIMEOUT) {
      }
    }
    if (stop.load() != 0) ++sawStop;
    ::SetEvent(leaving.Get());
    std::lock_guard<std::mutex> guard(lock_);
    return order;
  }
  std::vector<std::wstring> Folders() {
    std::lock_guard<std::mutex> guard(lock_);
    return folders_;
  }

  std::vector<std::wstring> order;  // set before a scan starts
  std::atomic<bool> hold{false};
  std::atomic<bool> deaf{false};  // a held scan goes on after a stop, until released (or 10 s)
  std::atomic<int> sawStop{0};
  base::KernelHandle entered{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  base::KernelHandle leaving{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  base::KernelHandle release{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};

 private:
  std::mutex lock_;
  std::vector<std::wstring> folders_;
};

class FolderListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Names 1, 2 and 10 in mixed case and extensions, a non-picture, a file without extension
    // and a sub-folder named like a picture.
    for (const wchar_t* name : {L"Photo10.jpg", L"photo2.PNG", L"PHOTO1.jpeg", L"photo1b.gif", L"notes.txt", L"README"}) {
      Touch(dir.File(name));
    }
    ASSERT_TRUE(::CreateDirectoryW(dir.File(L"sub.png").c_str(), nullptr));
    list.SetObserver(&observer);
  }

  std::wstring Folder() const { return folder_order::TrimFolder(dir.Path()); }
  // Opens a file and waits for its scan to hand the list over.
  void Open(const std::wstring& name) {
    const int before = view.collected;
    list.SetCurrentFile(view.GetHwnd(), dir.File(name));
    ASSERT_TRUE(PumpMessagesUntil([&] { return view.collected > before && !list.IsScanning(); })) << "no scan result";
  }

  TempDir dir;
  AppConfig config{L""};
  std::shared_ptr<FakeShell> shell = std::make_shared<FakeShell>();
  CCurrentFolderImage list{config, shell};
  NotificationWindow view;
  RecordingObserver observer;
};

const NameList kLogical = Names({L"PHOTO1.jpeg", L"photo1b.gif", L"photo2.PNG", L"Photo10.jpg"});

}  // namespace

TEST_F(FolderListTest, ScanListsPicturesInLogicalOrderAndArrivesOnTheOwnerThread) {
  list.SetCurrentFile(view.GetHwnd(), dir.File(L"photo2.PNG"));
  // Shown at once as a one-entry list while the scan runs; no neighbour can be reached meanwhile.
  EXPECT_EQ(list.GetNames(), Names({L"photo2.PNG"}));
  EXPECT_EQ(list.GetCurrentIndex(), 0);
  EXPECT_FALSE(list.CanMove(1));
  EXPECT_FALSE(list.CanMove(-1));
  EXPECT_EQ(list.GetNeighbourPath(1), L"");

  ASSERT_TRUE(PumpMessagesUntil([&] { return view.collected == 1; }));
  EXPECT_FALSE(list.IsScanning());
  EXPECT_EQ(list.GetFolder(), Folder());
  EXPECT_EQ(list.GetNames(), kLogical);
  EXPECT_EQ(list.GetCurrentIndex(), 2);
  EXPECT_EQ(view.thread, ::GetCurrentThreadId());
  EXPECT_EQ(observer.thread, ::GetCurrentThreadId());
  EXPECT_EQ(observer.collected, 1);
  // (0, 1) when the one-entry list starts, then the scanned position.
  EXPECT_EQ(observer.positions, (std::vector<std::pair<int, int>>{{0, 1}, {2, 4}}));
  ASSERT_EQ(observer.preloads.size(), 1u);
  EXPECT_EQ(observer.preloads[0], Folder() + L"|2|4");
  EXPECT_EQ(shell->Folders(), std::vector<std::wstring>{Folder()});
}

TEST_F(FolderListTest, StepsForwardAndBackWithAndWithoutLooping) {
  Open(L"PHOTO1.jpeg");
  EXPECT_EQ(list.GetNeighbourPath(1), dir.File(L"photo1b.gif"));
  EXPECT_EQ(list.GetNeighbourPath(3), dir.File(L"Photo10.jpg"));
  EXPECT_FALSE(list.CanMove(-1));
  EXPECT_EQ(list.GetNeighbourPath(-1), L"");

  // Moving inside the listed folder repositions without a scan and notifies synchronously.
  const int before = view.collected;
  list.SetCurrentFile(view.GetHwnd(), dir.File(L"photo10.JPG"));
  EXPECT_FALSE(list.IsScanning());
  EXPECT_EQ(view.collected, before + 1);
  EXPECT_EQ(list.GetCurrentIndex(), 3);
  EXPECT_FALSE(list.CanMove(1));
  EXPECT_EQ(list.GetNeighbourPath(1), L"");
  EXPECT_EQ(list.GetNeighbourPath(-1), dir.File(L"photo2.PNG"));
  EXPECT_EQ(shell->Folders().size(), 1u);

  config.view_folder_loop = 1;
  EXPECT_TRUE(list.CanMove(1));
  EXPECT_EQ(list.GetNeighbourPath(1), dir.File(L"PHOTO1.jpeg"));
  list.SetCurrentFile(view.GetHwnd(), dir.File(L"PHOTO1.jpeg"));
  EXPECT_EQ(list.GetNeighbourPath(-1), dir.File(L"Photo10.jpg"));
  EXPECT_EQ(list.GetNeighbourPath(1), dir.File(L"photo1b.gif"));
}

TEST_F(FolderListTest, FilesOutsideTheListKeepTheOpenedFileAlone) {
  // A file the viewer does not list stays the single entry after the scan.
  Open(L"notes.txt");
  EXPECT_EQ(list.GetNames(), Names({L"notes.txt"}));
  EXPECT_EQ(list.GetCurrentIndex(), 0);
  EXPECT_FALSE(list.CanMove(1));

  // A file created after the scan is not in the list: opening it scans again and lists it.
  Open(L"PHOTO1.jpeg");
  Touch(dir.File(L"photo3.bmp"));
  Open(L"photo3.bmp");
  EXPECT_EQ(list.GetCount(), 5);
  EXPECT_EQ(list.GetNames()[3], L"photo3.bmp");
  EXPECT_EQ(list.GetCurrentIndex(), 3);
  EXPECT_EQ(shell->Folders().size(), 3u);
}

TEST_F(FolderListTest, FolderNamedLikeAPictureHoldsItsOwnList) {
  const std::wstring inner = dir.File(L"sub.png");
  Touch(inner + L"\\x");
  Touch(inner + L"\\b.jpg");
  Touch(inner + L"\\a.tif");
  list.SetCurrentFile(view.GetHwnd(), inner + L"\\x");
  ASSERT_TRUE(PumpMessagesUntil([&] { return view.collected == 1; }));
  EXPECT_EQ(list.GetFolder(), inner);
  EXPECT_EQ(list.GetNames(), Names({L"x"}));

  list.SetCurrentFile(view.GetHwnd(), inner + L"\\b.jpg");
  ASSERT_TRUE(PumpMessagesUntil([&] { return view.collected == 2; }));
  EXPECT_EQ(list.GetNames(), Names({L"a.tif", L"b.jpg"}));
  EXPECT_EQ(list.GetNeighbourPath(-1), inner + L"\\a.tif");
}

TEST_F(FolderListTest, ShellWindowOrderReplacesTheLogicalSort) {
  // The open folder window sorts by date and also shows the sub-folder, a text file and a file
  // that vanished since; files it does not show are not listed.
  shell->order = {L"photo2.PNG", L"sub.png", L"notes.txt", L"Photo10.jpg", L"PHOTO1.jpeg"};
  Open(L"Photo10.jpg");
  EXPECT_EQ(list.GetNames(), Names({L"photo2.PNG", L"Photo10.jpg", L"PHOTO1.jpeg"}));
  EXPECT_EQ(list.GetCurrentIndex(), 1);
  EXPECT_EQ(list.GetNeighbourPath(1), dir.File(L"PHOTO1.jpeg"));

  // A picture the window does not show falls back to the program's own order.
  Open(L"photo1b.gif");
  EXPECT_EQ(list.GetNames(), kLogical);
  EXPECT_EQ(list.GetCurrentIndex(), 1);
}

TEST_F(FolderListTest, RemoveFileReturnsThePictureToShowNext) {
  Open(L"photo2.PNG");  // [PHOTO1 photo1b photo2* Photo10]
  // A file before the current one leaves: the same picture stays current.
  EXPECT_EQ(list.RemoveFile(dir.File(L"photo1b.gif")), dir.File(L"photo2.PNG"));
  EXPECT_EQ(list.GetCurrentIndex(), 1);
  EXPECT_EQ(list.GetNeighbourPath(-1), dir.File(L"PHOTO1.jpeg"));
  // A namesake in another folder is not ours.
  EXPECT_EQ(list.RemoveFile(L"C:\\elsewhere\\Photo10.jpg"), dir.File(L"photo2.PNG"));
  EXPECT_EQ(list.GetCount(), 3);
  // The current file leaves: the following one is current; as the last, the new last one.
  EXPECT_EQ(list.RemoveFile(dir.File(L"PHOTO2.png")), dir.File(L"Photo10.jpg"));
  EXPECT_EQ(list.RemoveFile(dir.File(L"Photo10.jpg")), dir.File(L"PHOTO1.jpeg"));
  EXPECT_EQ(list.GetCurrentIndex(), 0);
  // The last remaining file empties the list.
  EXPECT_EQ(list.RemoveFile(dir.File(L"PHOTO1.jpeg")), L"");
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_EQ(list.GetCurrentIndex(), -1);
  EXPECT_EQ(list.GetFolder(), L"");
}

TEST_F(FolderListTest, StepOverVanishedFilesLandsOnTheNextExistingOne) {
  Open(L"photo2.PNG");  // [PHOTO1 photo1b photo2* Photo10]
  ASSERT_TRUE(::DeleteFileW(dir.File(L"photo1b.gif").c_str()));
  // The previous command: drop what no longer exists and ask again with the same step. The
  // position must stay on photo2, or the step would come back to the picture on screen.
  const auto step = [&](int offset) {
    std::wstring path = list.GetNeighbourPath(offset);
    while (!path.empty() && ::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      list.RemoveFile(path);
      path = list.GetNeighbourPath(offset);
    }
    return path;
  };
  EXPECT_EQ(step(-1), dir.File(L"PHOTO1.jpeg"));
  EXPECT_EQ(list.GetNames(), Names({L"PHOTO1.jpeg", L"photo2.PNG", L"Photo10.jpg"}));
  EXPECT_EQ(list.GetCurrentIndex(), 1);

  // Every other picture gone: nothing left to step to either way.
  ASSERT_TRUE(::DeleteFileW(dir.File(L"PHOTO1.jpeg").c_str()));
  ASSERT_TRUE(::DeleteFileW(dir.File(L"Photo10.jpg").c_str()));
  EXPECT_EQ(step(1), L"");
  EXPECT_EQ(step(-1), L"");
  EXPECT_EQ(list.GetNames(), Names({L"photo2.PNG"}));
  EXPECT_EQ(list.GetCurrentIndex(), 0);
}

TEST_F(FolderListTest, NewScanReplacesARunningOne) {
  TempDir other;
  Touch(other.File(L"z1.jpg"));
  Touch(other.File(L"z2.jpg"));
  shell->hold = true;
  list.SetCurrentFile(view.GetHwnd(), dir.File(L"photo2.PNG"));
  ASSERT_EQ(::WaitForSingleObject(shell->entered.Get(), kLimitMs), WAIT_OBJECT_0);
  ASSERT_TRUE(list.IsScanning());

  shell->hold = false;
  list.SetCurrentFile(view.GetHwnd(), other.File(L"z2.jpg"));
  // The first scan was told to stop and has ended; the second one runs for the other folder.
  EXPECT_EQ(shell->sawStop.load(), 1);
  EXPECT_EQ(list.GetNames(), Names({L"z2.jpg"}));
  ASSERT_TRUE(PumpMessagesUntil([&] { return !list.IsScanning(); }));
  ASSERT_TRUE(PumpMessagesUntil([&] { return view.collected >= 1; }));
  // Only the second scan's result arrived.
  EXPECT_TRUE(PumpPostedMessages());
  EXPECT_EQ(view.collected, 1);
  EXPECT_EQ(list.GetFolder(), folder_order::TrimFolder(other.Path()));
  EXPECT_EQ(list.GetNames(), Names({L"z1.jpg", L"z2.jpg"}));
  EXPECT_EQ(list.GetCurrentIndex(), 1);
}

TEST_F(FolderListTest, StoppingAScanThatIsHandingOverItsResultDoesNotHang) {
  // The scan thread sends its result while this thread is busy; then this thread stops the scan.
  // Destroying the hidden window must release the pending send, or both threads wait forever.
  list.SetCurrentFile(view.GetHwnd(), dir.File(L"photo2.PNG"));
  ASSERT_EQ(::WaitForSingleObject(shell->leaving.Get(), kLimitMs), WAIT_OBJECT_0);
  ::Sleep(300);  // the thread is now inside its send, waiting for this thread
  {
    Watchdog watchdog("stopping a scan that is sending its result");
    list.Reset();
  }
  EXPECT_FALSE(list.IsScanning());
  EXPECT_EQ(list.GetCount(), 0);
  EXPECT_TRUE(PumpPostedMessages());
  EXPECT_EQ(view.collected, 0);
  EXPECT_EQ(observer.collected, 0);
}

TEST_F(FolderListTest, RemoveFileOrDestructionDuringAScanStopsIt) {
  shell->hold = true;
  list.SetCurrentFile(view.GetHwnd(), dir.File(L"photo2.PNG"));
  ASSERT_EQ(::WaitForSingleObject(shell->entered.Get(), kLimitMs), WAIT_OBJECT_0);
  // While scanning the list holds one name; removing anything stops the scan and empties it.
  EXPECT_EQ(list.RemoveFile(dir.File(L"photo2.PNG")), L"");
  EXPECT_EQ(shell->sawStop.load(), 1);
  EXPECT_FALSE(list.IsScanning());

  {
    CCurrentFolderImage doomed(config, shell);
    doomed.SetCurrentFile(view.GetHwnd(), dir.File(L"photo2.PNG"));
    ASSERT_EQ(::WaitForSingleObject(shell->entered.Get(), kLimitMs), WAIT_OBJECT_0);
  }
  EXPECT_EQ(shell->sawStop.load(), 2);
  EXPECT_TRUE(PumpPostedMessages());
  EXPECT_EQ(view.collected, 0);
}

TEST_F(FolderListTest, AShellThatDoesNotAnswerDoesNotHoldTheListBack) {
  shell->hold = true;
  shell->deaf = true;
  {
    CCurrentFolderImage doomed(config, shell);
    doomed.SetCurrentFile(view.GetHwnd(), dir.File(L"photo2.PNG"));
    ASSERT_EQ(::WaitForSingleObject(shell->entered.Get(), kLimitMs), WAIT_OBJECT_0);
  }
  EXPECT_EQ(::WaitForSingleObject(shell->leaving.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
      << "the list waited for the shell";
  // The scan left behind finishes later on its own, and nothing of it arrives.
  ::SetEvent(shell->release.Get());
  ASSERT_EQ(::WaitForSingleObject(shell->leaving.Get(), kLimitMs), WAIT_OBJECT_0);
  EXPECT_TRUE(PumpPostedMessages());
  EXPECT_EQ(view.collected, 0);
}

TEST(FolderListLongPath, FolderBeyondMaxPathIsListedWithWholePaths) {
  TempDir dir;
  // Create the deep folder through the "\\?\" form, the only one that reaches it.
  std::wstring folder = folder_order::TrimFolder(dir.Path());
  const std::wstring prefix = L"\\\\?\\";
  for (int i = 0; i < 3; ++i) {
    folder += L"\\" + std::wstring(90, static_cast<wchar_t>(L'a' + i));
    ASSERT_TRUE(::CreateDirectoryW((prefix + folder).c_str(), nullptr));
  }
  for (const wchar_t* name : {L"10.jpg", L"2.png", L"1.jpg"}) Touch(prefix + folder + L"\\" + name);
  ASSERT_GT(folder.size(), static_cast<size_t>(MAX_PATH));

  AppConfig config{L""};
  CCurrentFolderImage list(config, nullptr);
  NotificationWindow view;
  list.SetCurrentFile(view.GetHwnd(), folder + L"\\2.png");
  ASSERT_TRUE(PumpMessagesUntil([&] { return view.collected == 1; }));
  EXPECT_EQ(list.GetNames(), Names({L"1.jpg", L"2.png", L"10.jpg"}));
  EXPECT_EQ(list.GetNeighbourPath(1), folder + L"\\10.jpg");
  EXPECT_EQ(list.RemoveFile(folder + L"\\2.png"), folder + L"\\10.jpg");

  // TempDir's clean-up cannot reach this deep; take the tree down from the bottom.
  for (const wchar_t* name : {L"10.jpg", L"2.png", L"1.jpg"}) ::DeleteFileW((prefix + folder + L"\\" + name).c_str());
  for (int i = 0; i < 3; ++i) {
    ::RemoveDirectoryW((prefix + folder).c_str());
    folder = folder_order::Split(folder).folder;
  }
}

TEST(FolderListShell, RealShellWindowsAnswerWithoutHanging) {
  // No folder window shows a fresh temporary folder (and Wine's collection cannot count its
  // windows), so the list is empty; the platform path runs in full either way.
  TempDir dir;
  FCAutoInitializeCOM com;
  CShellWindowsViewOrder shell;
  std::atomic<int> stop{0};
  EXPECT_TRUE(shell.GetViewOrder(folder_order::TrimFolder(dir.Path()), stop).empty());
}
