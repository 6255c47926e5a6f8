#pragma once
// A hidden message-only window whose messages go to a virtual handler of its owner. Work that
// finishes on another thread comes back to the owner's thread through one of these.
#include <windows.h>

#include <string>

class FCMessageWindow {
 public:
  FCMessageWindow() noexcept = default;
  // Destroys the window; no message reaches the object afterwards.
  virtual ~FCMessageWindow();
  FCMessageWindow(const FCMessageWindow&) = delete;
  FCMessageWindow& operator=(const FCMessageWindow&) = delete;

  // Receives every message of the window once it is bound; the default is DefWindowProcW.
  virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

  // Destroys an existing window, then creates a message-only window of the shared class under the
  // given name (may be null). Must run on the thread that is to receive the messages.
  [[nodiscard]] bool CreateMessageWindow(const wchar_t* name) noexcept;
  // Unbinds the object first, so that nothing sent during or after the destruction reaches it.
  void DestroyMessageWindow() noexcept;

  // Null when there is no window.
  [[nodiscard]] HWND GetHwnd() const noexcept { return wnd_; }

  // "rivuzer_msgwnd_<module instance as a signed 64-bit number>": one class for every hidden
  // window of a module.
  static const std::wstring& ClassName();

 private:
  static LRESULT CALLBACK WindowProc(HWND wnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;

  HWND wnd_ = nullptr;
};
