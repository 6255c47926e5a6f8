#pragma once
// A mix-in for items that animate: a thread timer (no window) whose ticks call OnTimer. One shared
// timer procedure finds the object through a process-wide map from timer id to object, so an item
// needs no window of its own. User-interface thread only.
#include <windows.h>

class FCTimerNotify {
 public:
  FCTimerNotify();
  // Stops the timer: no tick reaches a destroyed object.
  virtual ~FCTimerNotify();
  FCTimerNotify(const FCTimerNotify&) = delete;
  FCTimerNotify& operator=(const FCTimerNotify&) = delete;

  virtual void OnTimer() = 0;

  // Stops a running timer and starts one with the period.
  void StartTimer(UINT periodMs);
  void StopTimer();
  [[nodiscard]] bool IsTimerRunning() const noexcept { return timer_id_ != 0; }

 private:
  static void CALLBACK TimerProc(HWND window, UINT message, UINT_PTR id, DWORD time) noexcept;

  UINT_PTR timer_id_ = 0;
};
