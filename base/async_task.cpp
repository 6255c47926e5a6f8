#include "base/async_task.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "base/com.h"

namespace {

// Process-wide source of task ids, starting at 1. Atomic so that a task built off the
// user-interface thread cannot share an id with another.
std::atomic<int32_t> g_nextTaskId{1};

}  // namespace

bool SendToLiveWindow(HWND target, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (!target || !::IsWindow(target)) return false;
  ::SendMessageW(target, message, wParam, lParam);
  return true;
}

CAsyncTask::CAsyncTask() noexcept : id_(g_nextTaskId.fetch_add(1, std::memory_order_relaxed)) {}

CAsyncTask::~CAsyncTask() {
  // The queue always closes the work item before it lets a task go; this only guards against a
  // task released some other way while its callback is still due.
  if (work_) {
    ::WaitForThreadpoolWorkCallbacks(work_, FALSE);
    ::CloseThreadpoolWork(work_);
  }
}

void CAsyncTask::SendMessageOnQueueThread(HWND target, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (!queueWindow_) return;
  const AsyncSendMessageRecord record{target, message, wParam, lParam};
  outgoing_.store(&record, std::memory_order_release);
  ::SendMessageW(queueWindow_, WM_ASYNC_SEND_MESSAGE, reinterpret_cast<WPARAM>(&record), 0);
  outgoing_.store(nullptr, std::memory_order_release);
}

CAsyncTaskQueue::CAsyncTaskQueue() noexcept { (void)CreateMessageWindow(nullptr); }

CAsyncTaskQueue::~CAsyncTaskQueue() {
  DrainRunning();
  // Destroying the window drops the completions that DrainRunning has just posted.
  DestroyMessageWindow();
  std::deque<TaskPtr> pending;
  pending.swap(pending_);
  pending.clear();
  std::map<int32_t, TaskPtr> running;
  running.swap(running_);
  running.clear();
}

LRESULT CAsyncTaskQueue::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ASYNC_TASK_DONE:
      OnTaskDone(wParam, lParam);
      return 0;
    case WM_ASYNC_SEND_MESSAGE:
      ForwardMessage(wParam);
      return 0;
    default:
      return ::DefWindowProcW(GetHwnd(), message, wParam, lParam);
  }
}

bool CAsyncTaskQueue::IsQueued(const CAsyncTask* task) const noexcept {
  for (const TaskPtr& p : pending_) {
    if (p.get() == task) return true;
  }
  const auto it = running_.find(task->GetId());
  return it != running_.end() && it->second.get() == task;
}

bool CAsyncTaskQueue::AddTask(TaskPtr task) {
  // Starting one object twice would run two Execute calls on it at once and lose a work item.
  if (!task || task->work_ || IsQueued(task.get())) return false;
  pending_.push_back(std::move(task));
  StartTasks();
  return true;
}

void CAsyncTaskQueue::ClearPending() {
  std::deque<TaskPtr> dropped;
  dropped.swap(pending_);
}

void CAsyncTaskQueue::CancelRunning() {
  for (auto& entry : running_) entry.second->Cancel();
}

void CAsyncTaskQueue::StartTasks() {
  // OnTaskStart may add tasks; the loop below picks them up, so a nested call has nothing to do.
  if (starting_) return;
  // Without the hidden window no completion could come back, so nothing may start.
  if (!GetHwnd() && !CreateMessageWindow(nullptr)) return;
  starting_ = true;
  while (!pending_.empty() && running_.size() < static_cast<size_t>(std::max(GetMaxRunning(), 0))) {
    TaskPtr task = pending_.front();
    task->queueWindow_ = GetHwnd();
    OnTaskStart(task);
    // OnTaskStart may have changed the pending queue; remove this task wherever it is now.
    if (!pending_.empty() && pending_.front() == task) {
      pending_.pop_front();
    } else {
      for (auto it = pending_.begin(); it != pending_.end(); ++it) {
        if (*it == task) {
          pending_.erase(it);
          break;
        }
      }
    }
    StartOne(task);
  }
  starting_ = false;
}

void CAsyncTaskQueue::StartOne(const TaskPtr& task) {
  running_[task->id_] = task;
  task->executed_.store(false, std::memory_order_relaxed);
  task->work_ = ::CreateThreadpoolWork(&CAsyncTaskQueue::RunOnPool, task.get(), nullptr);
  if (task->work_) {
    ::SubmitThreadpoolWork(task->work_);
    return;
  }
  // The pool refused: the task gives up without running and completes through the message loop
  // like any other, so its owner still hears of it.
  task->keepGoing_.store(0, std::memory_order_relaxed);
  task->executed_.store(true, std::memory_order_release);
  if (!::PostMessageW(GetHwnd(), WM_ASYNC_TASK_DONE, static_cast<WPARAM>(task->id_),
                      static_cast<LPARAM>(::GetCurrentThreadId()))) {
    running_.erase(task->id_);
  }
}

void CALLBACK CAsyncTaskQueue::RunOnPool(PTP_CALLBACK_INSTANCE, void* context, PTP_WORK) noexcept {
  auto* task = static_cast<CAsyncTask*>(context);
  // A thread that cannot initialise COM still runs the task.
  FCAutoInitializeCOM com;
  try {
    task->Execute();
  } catch (...) {
    // A task that fails by throwing (out of memory on a huge picture) has given up.
    task->keepGoing_.store(0, std::memory_order_relaxed);
  }
  task->executed_.store(true, std::memory_order_release);
  // Waits until the queue's thread has taken the message; returns at once when the window is gone.
  ::SendMessageW(task->queueWindow_, WM_ASYNC_TASK_DONE, static_cast<WPARAM>(task->id_),
                 static_cast<LPARAM>(::GetCurrentThreadId()));
}

void CAsyncTaskQueue::FinishWork(CAsyncTask& task) noexcept {
  if (!task.work_) return;
  ::WaitForThreadpoolWorkCallbacks(task.work_, FALSE);
  ::CloseThreadpoolWork(task.work_);
  task.work_ = nullptr;
}

void CAsyncTaskQueue::OnTaskDone(WPARAM wParam, LPARAM lParam) {
  // Release the pool thread before any completion work.
  if (static_cast<DWORD>(lParam) != ::GetCurrentThreadId()) ::ReplyMessage(0);
  const auto id = static_cast<int32_t>(wParam);
  const auto it = running_.find(id);
  if (it != running_.end() && it->second->executed_.load(std::memory_order_acquire)) {
    // Our own reference: OnComplete may drain, clear or re-enter the message loop.
    TaskPtr task = it->second;
    try {
      task->OnComplete();
    } catch (...) {
      // The queue must still close the work item and move on.
    }
    FinishWork(*task);
    const auto again = running_.find(id);
    if (again != running_.end() && again->second == task) running_.erase(again);
    task.reset();
  }
  StartTasks();
}

void CAsyncTaskQueue::ForwardMessage(WPARAM wParam) {
  const auto* record = reinterpret_cast<const AsyncSendMessageRecord*>(wParam);
  if (!record) return;
  // Serve only a record that one of our running tasks is sending right now; anything else (a
  // message from another process that found this window) is dropped without being read.
  for (const auto& entry : running_) {
    if (entry.second->outgoing_.load(std::memory_order_acquire) == record) {
      const AsyncSendMessageRecord copy = *record;
      ::SendMessageW(copy.target, copy.message, copy.wParam, copy.lParam);
      return;
    }
  }
}

void CAsyncTaskQueue::DrainRunning() {
  if (running_.empty()) return;
  // Every pool thread that is sending, or will send, to the old window returns at once.
  DestroyMessageWindow();
  std::vector<int32_t> ids;
  ids.reserve(running_.size());
  for (auto& entry : running_) {
    ids.push_back(entry.first);
    FinishWork(*entry.second);
  }
  if (!CreateMessageWindow(nullptr)) {
    // No window to bring the completions back: the tasks have finished and are let go unheard.
    std::map<int32_t, TaskPtr> dropped;
    dropped.swap(running_);
    return;
  }
  const auto self = static_cast<LPARAM>(::GetCurrentThreadId());
  for (int32_t id : ids) ::PostMessageW(GetHwnd(), WM_ASYNC_TASK_DONE, static_cast<WPARAM>(id), self);
}
