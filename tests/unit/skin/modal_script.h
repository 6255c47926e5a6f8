#pragma once
// Drives a skinned modal dialog from inside its own message loop: once a visible window of the
// class is on screen, the script runs once and acts on it with posted input, as a user would.
// A dialog still open long after its script is closed and the test fails, so a broken dialog
// cannot hang the run.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "skin/window/skin_window.h"

namespace skin_test {

struct ModalScript {
  std::wstring window_class;
  std::function<void(CUseZipResourceDuiWnd&)> script;
  int ticks = 0;
};

inline ModalScript*& CurrentScript() {
  static ModalScript* current = nullptr;
  return current;
}

inline void CALLBACK ModalScriptTimer(HWND, UINT, UINT_PTR id, DWORD) {
  ModalScript* run = CurrentScript();
  if (!run) return;
  HWND window = ::FindWindowW(run->window_class.c_str(), nullptr);
  if (++run->ticks > 400) {
    ::KillTimer(nullptr, id);
    ADD_FAILURE() << "the dialog was still open after its script";
    if (window) ::PostMessageW(window, WM_CLOSE, 0, 0);
    return;
  }
  CUseZipResourceDuiWnd* skinned = CUseZipResourceDuiWnd::FromHandle(window);
  if (!skinned || !::IsWindowVisible(window) || !run->script) return;
  auto script = std::move(run->script);
  run->script = nullptr;
  skinned->LayoutNow();
  ::UpdateWindow(window);
  script(*skinned);
}

// Runs whatever opens the dialog (a DoModal, or a service that runs one) with the script.
template <typename Run>
auto RunWithScript(const wchar_t* windowClass, std::function<void(CUseZipResourceDuiWnd&)> script, Run run) {
  ModalScript state{windowClass, std::move(script), 0};
  CurrentScript() = &state;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 25, &ModalScriptTimer);
  auto result = run();
  ::KillTimer(nullptr, timer);
  CurrentScript() = nullptr;
  return result;
}

inline void Click(const CUseZipResourceDuiWnd& window, const wchar_t* name) {
  const skin::Control* control = window.FindControl(name);
  ASSERT_TRUE(control) << "no control " << std::string(name, name + wcslen(name));
  const RECT& r = control->Rect();
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  ::PostMessageW(window.GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  ::PostMessageW(window.GetHWND(), WM_LBUTTONUP, 0, at);
}

inline void Key(HWND window, WPARAM key) { ::PostMessageW(window, WM_KEYDOWN, key, 0); }

}  // namespace skin_test
