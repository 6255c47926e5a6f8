#include "app/handover_receivers.h"

#include <memory>

#include "app/startup.h"
#include "base/message_window.h"
#include "main_window/main_dialog.h"

namespace {

// A hidden receiver of hand-overs from later starts: it passes WM_COPYDATA on to this process's
// main window and answers what the main window answers (0 when there is none).
class CHandOverReceiver : public FCMessageWindow {
 public:
  explicit CHandOverReceiver(bool passWParam) : pass_wparam_(passWParam) {}

  bool Create(const wchar_t* title) {
    if (!CreateMessageWindow(title)) return false;
    // A less privileged start may hand over.
    ::ChangeWindowMessageFilterEx(GetHwnd(), WM_COPYDATA, MSGFLT_ALLOW, nullptr);
    return true;
  }

  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message != WM_COPYDATA) return FCMessageWindow::HandleMessage(message, wParam, lParam);
    HWND main = FindMainWindow();
    if (!main) return 0;
    return ::SendMessageW(main, WM_COPYDATA, pass_wparam_ ? wParam : 0, lParam);
  }

 private:
  static BOOL CALLBACK MatchMainWindow(HWND window, LPARAM param) noexcept {
    wchar_t name[64] = {};
    if (::GetClassNameW(window, name, 64) && std::wstring(name) == CDorvaneDlg::kWindowClass) {
      *reinterpret_cast<HWND*>(param) = window;
      return FALSE;
    }
    return TRUE;
  }

  static HWND FindMainWindow() {
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), &MatchMainWindow, reinterpret_cast<LPARAM>(&found));
    return found;
  }

  bool pass_wparam_;
};

std::unique_ptr<CHandOverReceiver> g_receiver;         // only while only_one_instance is set
std::unique_ptr<CHandOverReceiver> g_always_receiver;  // always

}  // namespace

void RefreshHandOverReceivers(bool onlyOneInstance) {
  if (onlyOneInstance && !g_receiver) {
    g_receiver = std::make_unique<CHandOverReceiver>(true);
    if (!g_receiver->Create(startup::kReceiverTitle)) g_receiver.reset();
  } else if (!onlyOneInstance) {
    g_receiver.reset();
  }
  if (!g_always_receiver) {
    g_always_receiver = std::make_unique<CHandOverReceiver>(false);
    if (!g_always_receiver->Create(startup::kAlwaysReceiverTitle)) g_always_receiver.reset();
  }
}

void DestroyHandOverReceivers() {
  g_receiver.reset();
  g_always_receiver.reset();
}
