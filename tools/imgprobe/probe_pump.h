#pragma once
// The probes' message loop: runs this thread's messages until a condition holds or time is up.
#include <windows.h>

#include <algorithm>
#include <functional>

namespace probe {

inline bool PumpUntil(const std::function<bool()>& done, DWORD limitMs) {
  const ULONGLONG deadline = ::GetTickCount64() + limitMs;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    ::MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50)),
                                  QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
}

}  // namespace probe
