#include "base/message_window.h"

#include <utility>

#include "base/strings.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

// The module this code is linked into (the program, or a library that carries its own copy).
HINSTANCE ModuleInstance() noexcept { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

FCMessageWindow* BoundObject(HWND wnd) noexcept {
  return reinterpret_cast<FCMessageWindow*>(::GetWindowLongPtrW(wnd, GWLP_USERDATA));
}

}  // namespace

FCMessageWindow::~FCMessageWindow() { DestroyMessageWindow(); }

LRESULT FCMessageWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(wnd_, message, wParam, lParam);
}

const std::wstring& FCMessageWindow::ClassName() {
  static const std::wstring name = base::FormatW(
      L"rivuzer_msgwnd_%I64d", static_cast<long long>(reinterpret_cast<INT_PTR>(ModuleInstance())));
  return name;
}

bool FCMessageWindow::CreateMessageWindow(const wchar_t* name) noexcept {
  DestroyMessageWindow();
  const HINSTANCE instance = ModuleInstance();
  const std::wstring& className = ClassName();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &FCMessageWindow::WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = className.c_str();
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  // The object travels as creation data and is bound at WM_NCCREATE, so it sees every message
  // from then on, creation messages included.
  const HWND wnd = ::CreateWindowExW(0, className.c_str(), name, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                     instance, this);
  wnd_ = wnd;
  return wnd != nullptr;
}

void FCMessageWindow::DestroyMessageWindow() noexcept {
  const HWND wnd = std::exchange(wnd_, nullptr);
  if (!wnd) return;
  ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
  ::DestroyWindow(wnd);
}

LRESULT CALLBACK FCMessageWindow::WindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    auto* self = static_cast<FCMessageWindow*>(create->lpCreateParams);
    if (self) {
      self->wnd_ = wnd;
      ::SetWindowLongPtrW(wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
  }
  FCMessageWindow* self = BoundObject(wnd);
  if (!self) return ::DefWindowProcW(wnd, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    // Destroyed behind the owner's back (DestroyWindow by someone else, or its thread ended):
    // forget the handle so the owner does not use a dead one.
    ::SetWindowLongPtrW(wnd, GWLP_USERDATA, 0);
    if (self->wnd_ == wnd) self->wnd_ = nullptr;
    return ::DefWindowProcW(wnd, message, wParam, lParam);
  }
  return self->HandleMessage(message, wParam, lParam);
}
