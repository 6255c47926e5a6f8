// A stand-in for a running viewer's hand-over receiver, for end-to-end tests.
//   handover_receiver.exe TITLE OUTPUT_FILE [TIMEOUT_MS] [ANSWER]
// Creates a message-only window titled TITLE, answers every hand-over record (WM_COPYDATA with
// identifier 0x22678201) with ANSWER (default 1) and appends the record's bytes, exactly as
// many as its byte count says, to OUTPUT_FILE. Ends on WM_CLOSE or after TIMEOUT_MS (default 60 s).
#include <windows.h>
#include <shellapi.h>

#include <cwchar>
#include <string>

namespace {

constexpr ULONG_PTR kHandOverId = 0x22678201;
constexpr UINT_PTR kTimeoutTimer = 1;

std::wstring g_output;
LRESULT g_answer = 1;

void AppendRecord(const COPYDATASTRUCT& record) {
  HANDLE file = ::CreateFileW(g_output.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  if (record.cbData && record.lpData) ::WriteFile(file, record.lpData, record.cbData, &written, nullptr);
  // A record with no bytes still leaves a trace: the file exists.
  ::CloseHandle(file);
}

LRESULT CALLBACK ReceiverProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  switch (message) {
    case WM_COPYDATA: {
      const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (!record || record->dwData != kHandOverId) return 0;
      AppendRecord(*record);
      return g_answer;
    }
    case WM_TIMER:
      if (wParam == kTimeoutTimer) ::DestroyWindow(window);
      return 0;
    case WM_CLOSE:
      ::DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      return ::DefWindowProcW(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv || argc < 3) return 2;
  const std::wstring title = argv[1];
  g_output = argv[2];
  const UINT timeoutMs = argc > 3 ? static_cast<UINT>(std::wcstoul(argv[3], nullptr, 10)) : 60000;
  if (argc > 4) g_answer = static_cast<LRESULT>(std::wcstol(argv[4], nullptr, 10));
  ::LocalFree(argv);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = ReceiverProc;
  wc.hInstance = instance;
  wc.lpszClassName = L"QlHandOverReceiverStandIn";
  if (!::RegisterClassExW(&wc)) return 3;
  HWND window = ::CreateWindowExW(0, wc.lpszClassName, title.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  instance, nullptr);
  if (!window) return 4;
  ::ChangeWindowMessageFilterEx(window, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
  ::SetTimer(window, kTimeoutTimer, timeoutMs, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  return 0;
}
