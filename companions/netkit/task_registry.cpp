#include "companions/netkit/task_registry.h"

#include <algorithm>

#include "companions/netkit/http_task.h"

namespace netkit {

RunningTasks& RunningTasks::Get() {
  static RunningTasks tasks;
  return tasks;
}

RunningTasks::RunningTasks() : empty_(::CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

void RunningTasks::Open() {
  base::CriticalSectionLock hold(lock_);
  open_ = true;
}

void RunningTasks::CloseAndCancelAll() {
  std::vector<HttpTask*> running;
  {
    base::CriticalSectionLock hold(lock_);
    open_ = false;
    for (HttpTask* task : tasks_) {
      task->AddRef();
      running.push_back(task);
    }
  }
  for (HttpTask* task : running) {
    task->Cancel();
    task->DropRef();
  }
  WaitServingSentMessages(empty_.Get());
}

bool RunningTasks::Add(HttpTask* task) {
  base::CriticalSectionLock hold(lock_);
  if (!open_) return false;
  tasks_.push_back(task);
  ::ResetEvent(empty_.Get());
  return true;
}

void RunningTasks::Remove(HttpTask* task) {
  base::CriticalSectionLock hold(lock_);
  tasks_.erase(std::remove(tasks_.begin(), tasks_.end(), task), tasks_.end());
  if (tasks_.empty()) ::SetEvent(empty_.Get());
}

void WaitServingSentMessages(HANDLE handle) noexcept {
  for (;;) {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);  // serves what was sent so far
    switch (::MsgWaitForMultipleObjectsEx(1, &handle, INFINITE, QS_SENDMESSAGE, MWMO_INPUTAVAILABLE)) {
      case WAIT_OBJECT_0:
        return;
      case WAIT_OBJECT_0 + 1:
        break;
      default:
        ::WaitForSingleObject(handle, INFINITE);
        return;
    }
  }
}

}  // namespace netkit
