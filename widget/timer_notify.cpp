#include "widget/timer_notify.h"

#include <map>

namespace {

// Created with the first animating item; thread timers of this thread only.
std::map<UINT_PTR, FCTimerNotify*>& TimerMap() {
  static auto* map = new std::map<UINT_PTR, FCTimerNotify*>();
  return *map;
}

}  // namespace

FCTimerNotify::FCTimerNotify() { (void)TimerMap(); }

FCTimerNotify::~FCTimerNotify() { StopTimer(); }

void FCTimerNotify::StartTimer(UINT periodMs) {
  StopTimer();
  timer_id_ = ::SetTimer(nullptr, 0, periodMs, &FCTimerNotify::TimerProc);
  if (timer_id_ != 0) TimerMap()[timer_id_] = this;
}

void FCTimerNotify::StopTimer() {
  if (timer_id_ == 0) return;
  TimerMap().erase(timer_id_);
  ::KillTimer(nullptr, timer_id_);
  timer_id_ = 0;
}

void CALLBACK FCTimerNotify::TimerProc(HWND, UINT, UINT_PTR id, DWORD) noexcept {
  auto& map = TimerMap();
  const auto found = map.find(id);
  if (found != map.end()) found->second->OnTimer();
}
