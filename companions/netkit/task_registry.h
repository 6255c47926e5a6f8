#pragma once
// The tasks whose threads are running, so that the last HttpUninit can cancel them and wait for
// their threads; and the wait used wherever a caller's thread waits for the library's.
#include <windows.h>

#include <vector>

#include "base/handles.h"

namespace netkit {

class HttpTask;

class RunningTasks {
 public:
  static RunningTasks& Get();

  // While closed (before the first HttpInit and after the last HttpUninit) no task may start.
  void Open();
  // Refuses further starts, cancels every running task and waits until their threads have left
  // every task. Callbacks already running finish first.
  void CloseAndCancelAll();

  [[nodiscard]] bool Add(HttpTask* task);  // false while closed
  void Remove(HttpTask* task);

 private:
  RunningTasks();
  base::CriticalSection lock_;
  std::vector<HttpTask*> tasks_;
  bool open_ = false;
  base::KernelHandle empty_;  // set while no task runs
};

// Waits for the handle while serving messages sent to this thread from other threads, so that
// a callback that sends a message to the waiting thread cannot deadlock it. Posted messages
// stay queued.
void WaitServingSentMessages(HANDLE handle) noexcept;

}  // namespace netkit
