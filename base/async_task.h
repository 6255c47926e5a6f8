#pragma once
// Background tasks and the first-in-first-out queue that runs them on the system thread pool and
// hands each one's completion back to the thread that owns the queue (the user-interface thread).
#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>

#include "base/message_window.h"

// Sent by a pool thread to the queue's window once a task's Execute has returned.
// wParam: task id; lParam: id of the sending thread.
constexpr UINT WM_ASYNC_TASK_DONE = 0x8081;
// Delivers a message synchronously on the queue's thread. wParam: address of an
// AsyncSendMessageRecord; lParam: 0. Only records of the queue's own running tasks are served.
constexpr UINT WM_ASYNC_SEND_MESSAGE = 0x8082;

// Four 32-bit fields on the 32-bit build; pointer-sized on x64.
struct AsyncSendMessageRecord {
  HWND target;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
};
static_assert(sizeof(AsyncSendMessageRecord) == 4 * sizeof(void*));

// Sends the message when the target is still a window; returns whether it was sent. Completion
// handlers go through this, so destroying a window is how its pending results are abandoned.
bool SendToLiveWindow(HWND target, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

class CAsyncTaskQueue;

// One unit of background work: Execute runs on a pool thread, OnComplete afterwards on the
// queue's thread. Construct tasks on the user-interface thread.
class CAsyncTask {
 public:
  CAsyncTask() noexcept;
  virtual ~CAsyncTask();
  CAsyncTask(const CAsyncTask&) = delete;
  CAsyncTask& operator=(const CAsyncTask&) = delete;

  virtual void Execute() = 0;
  // Runs on the queue's thread after Execute has returned (also when it gave up early).
  virtual void OnComplete() {}
  // Asks Execute to give up early; the task still completes.
  virtual void Cancel() noexcept { keepGoing_.store(0, std::memory_order_relaxed); }

  [[nodiscard]] bool IsAlive() const noexcept { return keepGoing_.load(std::memory_order_relaxed) != 0; }
  [[nodiscard]] int32_t GetId() const noexcept { return id_; }
  // The hidden window of the queue that runs the task; null until it starts on a queue.
  [[nodiscard]] HWND GetQueueWindow() const noexcept { return queueWindow_; }

 protected:
  // For Execute: hands a message to a window of the queue's thread and returns once that window
  // has dealt with it. Does nothing when the task does not run on a queue, and returns at once
  // when the queue is being drained or destroyed. Handlers of such a message must not drain the
  // queue that runs the sender: the sender waits for them.
  void SendMessageOnQueueThread(HWND target, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

 private:
  friend class CAsyncTaskQueue;

  HWND queueWindow_ = nullptr;
  PTP_WORK work_ = nullptr;
  int32_t id_;
  std::atomic<int32_t> keepGoing_{1};
  // Set by the pool thread once Execute has returned; a completion message that arrives before it
  // (one that did not come from our worker) is ignored.
  std::atomic<bool> executed_{false};
  // The record this task is sending right now, so the queue serves only records it knows.
  std::atomic<const AsyncSendMessageRecord*> outgoing_{nullptr};
};

// Runs at most GetMaxRunning tasks at a time, in the order added. Every operation runs on the thread
// that created the queue, which must run a message loop for completions to arrive.
class CAsyncTaskQueue : public FCMessageWindow {
 public:
  using TaskPtr = std::shared_ptr<CAsyncTask>;

  CAsyncTaskQueue() noexcept;
  // Waits for running tasks to leave their pool threads, then releases every task; no task sees
  // OnComplete.
  ~CAsyncTaskQueue() override;

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
  [[nodiscard]] virtual int GetMaxRunning() const { return 1; }
  virtual void OnTaskStart(const TaskPtr& task) { (void)task; }

  // Appends the task and starts what may start. A null task, or one that is already pending or
  // running here or on another queue, is refused (false).
  bool AddTask(TaskPtr task);
  // Releases every task not yet started, without Execute or OnComplete.
  void ClearPending();
  // Asks every running task to give up early; each still completes.
  void CancelRunning();
  void StartTasks();
  // Returns once no Execute of this queue runs on a pool thread; their completions follow later
  // through the message loop, in id order.
  void DrainRunning();

  [[nodiscard]] size_t GetRunningCount() const noexcept { return running_.size(); }
  [[nodiscard]] size_t GetPendingCount() const noexcept { return pending_.size(); }

 protected:
  [[nodiscard]] const std::map<int32_t, TaskPtr>& RunningTasks() const noexcept { return running_; }
  [[nodiscard]] const std::deque<TaskPtr>& PendingTasks() const noexcept { return pending_; }

 private:
  static void CALLBACK RunOnPool(PTP_CALLBACK_INSTANCE instance, void* context, PTP_WORK work) noexcept;
  static void FinishWork(CAsyncTask& task) noexcept;
  void StartOne(const TaskPtr& task);
  void OnTaskDone(WPARAM wParam, LPARAM lParam);
  void ForwardMessage(WPARAM wParam);
  [[nodiscard]] bool IsQueued(const CAsyncTask* task) const noexcept;

  std::map<int32_t, TaskPtr> running_;
  std::deque<TaskPtr> pending_;
  bool starting_ = false;
};
