#pragma once
// The tasks a window has handed out. Completion messages carry a task's address in wParam; a
// window honours such a message only when the address names one of its own tasks that is still
// alive, so a stray or forged message can never make it read through a dangling pointer.
#include <windows.h>

#include <map>
#include <memory>

#include "base/async_task.h"

class CTaskLedger {
 public:
  void Add(const std::shared_ptr<CAsyncTask>& task) {
    if (!task) return;
    Prune();
    tasks_[reinterpret_cast<UINT_PTR>(task.get())] = task;
  }

  // The task behind wParam when it is ours, alive and of type T; null otherwise.
  template <typename T>
  [[nodiscard]] std::shared_ptr<T> Find(WPARAM wParam) const {
    const auto it = tasks_.find(static_cast<UINT_PTR>(wParam));
    if (it == tasks_.end()) return nullptr;
    return std::dynamic_pointer_cast<T>(it->second.lock());
  }

  void Forget(WPARAM wParam) { tasks_.erase(static_cast<UINT_PTR>(wParam)); }
  void Clear() noexcept { tasks_.clear(); }
  [[nodiscard]] size_t Size() const noexcept { return tasks_.size(); }

 private:
  // Tasks dropped by their queue without completing leave expired entries behind.
  void Prune() {
    for (auto it = tasks_.begin(); it != tasks_.end();) {
      it = it->second.expired() ? tasks_.erase(it) : std::next(it);
    }
  }

  std::map<UINT_PTR, std::weak_ptr<CAsyncTask>> tasks_;
};
