#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "base/async_task.h"
#include "base/handles.h"
#include "tests/support/test_support.h"

using testing_support::PumpMessagesUntil;
using testing_support::PumpPostedMessages;

namespace {

constexpr DWORD kLimitMs = 20000;

base::KernelHandle NewEvent() { return base::KernelHandle(::CreateEventW(nullptr, TRUE, FALSE, nullptr)); }
bool IsSet(const base::KernelHandle& e, DWORD ms = 0) { return ::WaitForSingleObject(e.Get(), ms) == WAIT_OBJECT_0; }

// Events of every task in the order they happened, from any thread.
struct Journal {
  std::mutex lock;
  std::vector<std::string> entries;
  void Add(std::string e) { std::lock_guard<std::mutex> g(lock); entries.push_back(std::move(e)); }
  std::vector<std::string> Get() { std::lock_guard<std::mutex> g(lock); return entries; }
};

class Probe : public CAsyncTask {
 public:
  Probe(std::string name, Journal& journal, HANDLE release = nullptr)
      : name_(std::move(name)), journal_(journal), release_(release) {}
  void Execute() override {
    executeThread = ::GetCurrentThreadId();
    journal_.Add("E" + name_);
    ::SetEvent(started.Get());
    if (release_) ::WaitForSingleObject(release_, kLimitMs);
    if (work) work(*this);
    executed = true;
  }
  void OnComplete() override {
    completeThread = ::GetCurrentThreadId();
    journal_.Add("C" + name_);
    ++completions;
    if (complete) complete(*this);
  }
  using CAsyncTask::SendMessageOnQueueThread;

  base::KernelHandle started = NewEvent();
  std::function<void(Probe&)> work, complete;
  std::atomic<bool> executed{false};
  std::atomic<int> completions{0};
  DWORD executeThread = 0, completeThread = 0;

 private:
  std::string name_;
  Journal& journal_;
  HANDLE release_;
};

class LimitQueue : public CAsyncTaskQueue {
 public:
  int GetMaxRunning() const override { return limit; }
  void OnTaskStart(const TaskPtr& task) override { startOrder.push_back(task->GetId()); }
  int limit = 1;
  std::vector<int32_t> startOrder;
};

// Sets the event from another thread once the window is gone, i.e. once the owner has started to
// drain or destroy its queue and is waiting for the pool.
std::thread ReleaseWhenDestroyed(HWND wnd, HANDLE event) {
  return std::thread([wnd, event] {
    for (DWORD waited = 0; ::IsWindow(wnd) && waited < kLimitMs; ++waited) ::Sleep(1);
    ::SetEvent(event);
  });
}

// Waits until a pool thread is blocked sending to this thread, which is not pumping.
bool SendIsWaiting() {
  for (DWORD waited = 0; waited < kLimitMs; waited += 5) {
    if (HIWORD(::GetQueueStatus(QS_SENDMESSAGE)) & QS_SENDMESSAGE) return true;
    ::Sleep(5);
  }
  return false;
}

class Recorder : public FCMessageWindow {
 public:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_NCCREATE) sawCreate = true;
    if (message == WM_DESTROY) sawDestroy = true;
    if (message != WM_APP + 1) return FCMessageWindow::HandleMessage(message, wParam, lParam);
    thread = ::GetCurrentThreadId();
    received.push_back(wParam);
    return 40 + static_cast<LRESULT>(lParam);
  }
  bool sawCreate = false, sawDestroy = false;
  DWORD thread = 0;
  std::vector<WPARAM> received;
};

}  // namespace

TEST(MessageWindow, MessageOnlyWindowOfTheSharedClassBoundToItsObject) {
  EXPECT_EQ(FCMessageWindow::ClassName(),
            L"rivuzer_msgwnd_" + std::to_wstring(static_cast<long long>(
                                     reinterpret_cast<INT_PTR>(::GetModuleHandleW(nullptr)))));
  Recorder a, b;
  ASSERT_TRUE(a.CreateMessageWindow(L"ql-msgwnd-test"));
  ASSERT_TRUE(b.CreateMessageWindow(nullptr));
  EXPECT_TRUE(a.sawCreate);
  EXPECT_EQ(::FindWindowExW(HWND_MESSAGE, nullptr, FCMessageWindow::ClassName().c_str(), L"ql-msgwnd-test"),
            a.GetHwnd());
  EXPECT_EQ(::SendMessageW(a.GetHwnd(), WM_APP + 1, 7, 2), 42);
  EXPECT_EQ(::SendMessageW(b.GetHwnd(), WM_APP + 1, 8, 0), 40);

  const HWND first = a.GetHwnd();
  ASSERT_TRUE(a.CreateMessageWindow(nullptr));  // replaces the window
  EXPECT_FALSE(::IsWindow(first));
  const HWND second = a.GetHwnd();
  a.DestroyMessageWindow();
  EXPECT_EQ(a.GetHwnd(), nullptr);
  EXPECT_FALSE(::IsWindow(second));
  EXPECT_FALSE(a.sawDestroy);  // unbound before the window went
  ::DestroyWindow(b.GetHwnd());  // destroyed behind the owner's back
  EXPECT_EQ(b.GetHwnd(), nullptr);
}

TEST(AsyncTaskQueue, RunsTasksInOrderEachCompletingOnTheOwnerThreadBeforeTheNextStarts) {
  Journal journal;
  CAsyncTaskQueue queue;
  std::vector<std::shared_ptr<Probe>> tasks;
  for (const char* name : {"1", "2", "3"}) tasks.push_back(std::make_shared<Probe>(name, journal));
  for (size_t i = 0; i + 1 < tasks.size(); ++i) {
    // Gives a wrongly started next task time to show up before this completion ends.
    Probe* next = tasks[i + 1].get();
    tasks[i]->complete = [next](Probe&) { EXPECT_FALSE(IsSet(next->started, 100)); };
  }
  for (auto& t : tasks) EXPECT_TRUE(queue.AddTask(t));
  EXPECT_FALSE(queue.AddTask(tasks[2]));  // already pending
  EXPECT_FALSE(queue.AddTask(nullptr));
  EXPECT_EQ(queue.GetRunningCount(), 1u);
  EXPECT_EQ(tasks[0]->GetQueueWindow(), queue.GetHwnd());
  EXPECT_EQ(tasks[1]->GetId(), tasks[0]->GetId() + 1);

  ASSERT_TRUE(PumpMessagesUntil([&] { return tasks[2]->completions > 0; }));
  EXPECT_EQ(journal.Get(), (std::vector<std::string>{"E1", "C1", "E2", "C2", "E3", "C3"}));
  for (auto& t : tasks) {
    EXPECT_EQ(t->completeThread, ::GetCurrentThreadId());
    EXPECT_NE(t->executeThread, ::GetCurrentThreadId());
    EXPECT_EQ(t->completions, 1);
  }
  EXPECT_EQ(queue.GetRunningCount() + queue.GetPendingCount(), 0u);
}

TEST(AsyncTaskQueue, LimitDecidesHowManyRunAndDrainedCompletionsFollowInIdOrder) {
  Journal journal;
  LimitQueue queue;
  queue.limit = 0;
  auto a = std::make_shared<Probe>("A", journal), b = std::make_shared<Probe>("B", journal);
  // Each waits for the other, so they can only finish when both run at the same time.
  a->work = [&b](Probe&) { EXPECT_TRUE(IsSet(b->started, kLimitMs)); };
  b->work = [&a](Probe&) { EXPECT_TRUE(IsSet(a->started, kLimitMs)); };
  queue.AddTask(a);
  queue.AddTask(b);
  ASSERT_TRUE(PumpPostedMessages());
  EXPECT_EQ(queue.GetRunningCount(), 0u);
  EXPECT_FALSE(IsSet(a->started));

  queue.limit = 2;
  queue.StartTasks();
  EXPECT_EQ(queue.startOrder, (std::vector<int32_t>{a->GetId(), b->GetId()}));
  ASSERT_TRUE(IsSet(a->started, kLimitMs) && IsSet(b->started, kLimitMs));
  queue.DrainRunning();
  EXPECT_TRUE(a->executed && b->executed);
  EXPECT_EQ(a->completions + b->completions, 0);  // they come through the loop
  ASSERT_TRUE(PumpPostedMessages());
  const auto log = journal.Get();
  EXPECT_EQ(std::vector<std::string>(log.end() - 2, log.end()), (std::vector<std::string>{"CA", "CB"}));
}

TEST(AsyncTaskQueue, ClearPendingDropsQueuedTasksAndCancelStillCompletes) {
  Journal journal;
  CAsyncTaskQueue queue;
  auto running = std::make_shared<Probe>("R", journal);
  running->work = [](Probe& self) {
    while (self.IsAlive()) ::Sleep(1);  // a long job that watches its keep-going flag
  };
  auto second = std::make_shared<Probe>("2", journal);
  std::weak_ptr<Probe> third = std::make_shared<Probe>("3", journal);
  queue.AddTask(running);
  queue.AddTask(second);
  queue.AddTask(third.lock());
  ASSERT_TRUE(IsSet(running->started, kLimitMs));
  queue.ClearPending();
  EXPECT_TRUE(third.expired());  // released at once
  queue.CancelRunning();
  ASSERT_TRUE(PumpMessagesUntil([&] { return running->completions > 0; }));
  EXPECT_FALSE(running->IsAlive());
  ASSERT_TRUE(PumpPostedMessages());
  EXPECT_FALSE(IsSet(second->started));
  EXPECT_EQ(journal.Get(), (std::vector<std::string>{"ER", "CR"}));
}

TEST(AsyncTaskQueue, DrainRunningReturnsWithNoExecuteInProgress) {
  Journal journal;
  CAsyncTaskQueue queue;
  base::KernelHandle release = NewEvent();
  auto first = std::make_shared<Probe>("1", journal, release.Get());
  auto next = std::make_shared<Probe>("2", journal);
  queue.AddTask(first);
  queue.AddTask(next);
  ASSERT_TRUE(IsSet(first->started, kLimitMs));
  std::thread releaser = ReleaseWhenDestroyed(queue.GetHwnd(), release.Get());
  queue.DrainRunning();  // the worker is released only once the drain has begun
  releaser.join();
  EXPECT_TRUE(first->executed);
  EXPECT_EQ(first->completions, 0);
  EXPECT_FALSE(IsSet(next->started));
  ASSERT_TRUE(PumpMessagesUntil([&] { return next->completions > 0; }));
  EXPECT_EQ(journal.Get(), (std::vector<std::string>{"E1", "C1", "E2", "C2"}));

  // A worker already blocked handing its completion to this thread is let go by the drain too.
  auto blocked = std::make_shared<Probe>("3", journal);
  queue.AddTask(blocked);
  ASSERT_TRUE(SendIsWaiting());
  queue.DrainRunning();
  ASSERT_TRUE(PumpMessagesUntil([&] { return blocked->completions > 0; }));
  EXPECT_EQ(blocked->completions, 1);
}

TEST(AsyncTaskQueue, DestroyingTheQueueWaitsForExecuteAndNeverCompletes) {
  Journal journal;
  base::KernelHandle release = NewEvent();
  auto running = std::make_shared<Probe>("R", journal, release.Get());
  auto blocked = std::make_shared<Probe>("B", journal);
  std::weak_ptr<Probe> pending;
  {
    auto queue = std::make_unique<CAsyncTaskQueue>();
    queue->AddTask(running);
    auto p = std::make_shared<Probe>("P", journal);
    pending = p;
    queue->AddTask(std::move(p));
    ASSERT_TRUE(IsSet(running->started, kLimitMs));
    std::thread releaser = ReleaseWhenDestroyed(queue->GetHwnd(), release.Get());
    queue.reset();
    releaser.join();
    EXPECT_TRUE(running->executed);
    EXPECT_TRUE(pending.expired());

    // Completion already on its way when the queue goes.
    queue = std::make_unique<CAsyncTaskQueue>();
    queue->AddTask(blocked);
    ASSERT_TRUE(SendIsWaiting());
  }
  EXPECT_TRUE(blocked->executed);
  ASSERT_TRUE(PumpPostedMessages());
  EXPECT_EQ(running.use_count() + blocked.use_count(), 2);
  EXPECT_EQ(journal.Get(), (std::vector<std::string>{"ER", "EB"}));
}

TEST(AsyncTaskQueue, ResultsForDestroyedWindowsAreDropped) {
  Journal journal;
  CAsyncTaskQueue queue;
  Recorder live, gone;
  ASSERT_TRUE(live.CreateMessageWindow(nullptr) && gone.CreateMessageWindow(nullptr));
  const HWND liveWnd = live.GetHwnd(), goneWnd = gone.GetHwnd();
  gone.DestroyMessageWindow();
  auto task = std::make_shared<Probe>("T", journal);
  bool sentLive = false, sentGone = true;
  task->work = [&](Probe& self) {
    self.SendMessageOnQueueThread(liveWnd, WM_APP + 1, 11, 0);
    EXPECT_EQ(live.received.size(), 1u);  // handled before the send returned
    self.SendMessageOnQueueThread(goneWnd, WM_APP + 1, 12, 0);
  };
  task->complete = [&](Probe& self) {
    sentLive = SendToLiveWindow(liveWnd, WM_APP + 1, 13, 0);
    sentGone = SendToLiveWindow(goneWnd, WM_APP + 1, reinterpret_cast<WPARAM>(&self), 0);
  };
  queue.AddTask(task);
  ASSERT_TRUE(PumpMessagesUntil([&] { return task->completions > 0; }));
  EXPECT_TRUE(sentLive);
  EXPECT_FALSE(sentGone);
  EXPECT_EQ(live.received, (std::vector<WPARAM>{11, 13}));
  EXPECT_EQ(live.thread, ::GetCurrentThreadId());
  EXPECT_TRUE(gone.received.empty());
}

TEST(AsyncTaskQueue, ForeignMessagesAndFailingTasksAreSurvived) {
  Journal journal;
  CAsyncTaskQueue queue;
  base::KernelHandle release = NewEvent();
  auto task = std::make_shared<Probe>("T", journal, release.Get());
  task->work = [](Probe&) { throw std::bad_alloc(); };
  queue.AddTask(task);
  ASSERT_TRUE(IsSet(task->started, kLimitMs));
  // A record address the queue never gave out is not read; an early "done" is not believed.
  EXPECT_EQ(::SendMessageW(queue.GetHwnd(), WM_ASYNC_SEND_MESSAGE, 0x10, 0), 0);
  const HWND wnd = queue.GetHwnd();
  const auto id = static_cast<WPARAM>(task->GetId());
  std::atomic<bool> answered{false};
  std::thread forger([wnd, id, &answered] {
    ::SendMessageW(wnd, WM_ASYNC_TASK_DONE, id, ::GetCurrentThreadId());
    answered = true;
  });
  EXPECT_TRUE(PumpMessagesUntil([&] { return answered.load(); }));
  forger.join();
  ASSERT_TRUE(PumpPostedMessages());
  EXPECT_EQ(task->completions, 0);

  ::SetEvent(release.Get());
  ASSERT_TRUE(PumpMessagesUntil([&] { return task->completions > 0; }));
  EXPECT_FALSE(task->executed);  // Execute threw ...
  EXPECT_FALSE(task->IsAlive());  // ... and so gave up, yet completed
  EXPECT_EQ(queue.GetRunningCount(), 0u);
}
