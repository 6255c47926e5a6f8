#include "main_window/main_dialog.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>

#include "appconfig/command_line.h"
#include "resources/resource.h"

namespace {

constexpr ULONG_PTR kHandOverId = 0x22678201;
constexpr UINT kCommandSettings = 21800;
// WM_COPYGLOBALDATA, which drag and drop from other processes relies on.
constexpr UINT kCopyGlobalData = 0x0049;

void RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!::GetClassInfoExW(nullptr, L"#32770", &wc)) return;
  wc.hInstance = instance;
  wc.lpszClassName = CDorvaneDlg::kWindowClass;
  // Registering twice in one process fails harmlessly with ERROR_CLASS_ALREADY_EXISTS.
  ::RegisterClassExW(&wc);
}

// The text of a hand-over record, bounded by its byte count: the sender's terminator is not
// trusted, and the text ends at the first zero inside the record.
std::wstring HandOverText(const COPYDATASTRUCT& record) {
  const size_t count = record.cbData / sizeof(wchar_t);
  std::wstring text(count, L'\0');
  if (count) std::memcpy(text.data(), record.lpData, count * sizeof(wchar_t));
  text.resize(std::find(text.begin(), text.end(), L'\0') - text.begin());
  return text;
}

}  // namespace

CDorvaneDlg::CDorvaneDlg(HINSTANCE instance, HWND parent) : instance_(instance), parent_(parent) {
  RegisterMainWindowClass(instance_);
}

INT_PTR CDorvaneDlg::DoModal() {
  return ::DialogBoxParamW(instance_, MAKEINTRESOURCEW(IDD_QUELLINIMG_DIALOG), parent_, DialogProc,
                           reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDorvaneDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDorvaneDlg*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<CDorvaneDlg*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return FALSE;
  const INT_PTR handled = self->OnMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
  }
  return handled;
}

INT_PTR CDorvaneDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return TRUE;
    case WM_CLOSE:
      EndMainDialog(IDCANCEL);
      return TRUE;
    case WM_COPYDATA:
      ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam)));
      return TRUE;
    case WM_OPEN_PATH:
      OnOpenPath(reinterpret_cast<const wchar_t*>(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL CDorvaneDlg::OnInitDialog() {
  // Less privileged starts may hand over files and drop them on the window.
  for (UINT allowed : {static_cast<UINT>(WM_COPYDATA), static_cast<UINT>(WM_DROPFILES), kCopyGlobalData}) {
    ::ChangeWindowMessageFilterEx(window_, allowed, MSGFLT_ALLOW, nullptr);
  }
  const auto icon = [this](int size) {
    return static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
  };
  icon_big_.Reset(icon(::GetSystemMetrics(SM_CXICON)));
  icon_small_.Reset(icon(::GetSystemMetrics(SM_CXSMICON)));
  ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_big_.Get()));
  ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_small_.Get()));
  ::SetForegroundWindow(window_);
  return TRUE;
}

void CDorvaneDlg::OnCommand(UINT id) {
  // Enter (IDOK) does not end the viewer; only closing and Escape do.
  if (id == IDCANCEL) EndMainDialog(IDCANCEL);
}

LRESULT CDorvaneDlg::OnCopyData(const COPYDATASTRUCT* record) {
  if (exiting_ || !record || record->dwData != kHandOverId || !record->lpData) return 0;
  const std::wstring text = HandOverText(*record);
  CCommandLine request;
  request.Parse(text);
  if (request.HasSwitch(L"setting")) {
    RaiseWindow();
    ::PostMessageW(window_, WM_COMMAND, kCommandSettings, 0);
    return 1;
  }
  if (!request.HasSwitch(L"show-existing") && !text.empty() && ::PathFileExistsW(text.c_str())) {
    ::SendMessageW(window_, WM_OPEN_PATH, reinterpret_cast<WPARAM>(text.c_str()), 0);
    return 1;
  }
  if (::IsIconic(window_)) {
    ::ShowWindow(window_, SW_RESTORE);
  } else {
    RaiseWindow();
  }
  return 1;
}

void CDorvaneDlg::OnOpenPath(const wchar_t* path) {
  BringToFront();
  if (!path) return;
  last_received_path_ = path;
  // Until pictures are shown, the caption tells which file was asked for; a window with a
  // file is no longer idle, so later starts do not hand over to it.
  ::SetWindowTextW(window_, last_received_path_.c_str());
}

void CDorvaneDlg::RaiseWindow() {
  constexpr UINT kKeepPlace = SWP_NOMOVE | SWP_NOSIZE;
  ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, kKeepPlace);
  ::SetWindowPos(window_, HWND_NOTOPMOST, 0, 0, 0, 0, kKeepPlace);
}

void CDorvaneDlg::BringToFront() {
  if (::IsIconic(window_)) ::ShowWindow(window_, SW_RESTORE);
  // The system only lets the foreground thread pass the foreground on, so borrow its input.
  const DWORD ownThread = ::GetCurrentThreadId();
  HWND foreground = ::GetForegroundWindow();
  const DWORD foregroundThread = foreground ? ::GetWindowThreadProcessId(foreground, nullptr) : 0;
  const bool attach = foregroundThread != 0 && foregroundThread != ownThread &&
                      ::AttachThreadInput(ownThread, foregroundThread, TRUE);
  ::BringWindowToTop(window_);
  ::SetForegroundWindow(window_);
  if (attach) ::AttachThreadInput(ownThread, foregroundThread, FALSE);
}

void CDorvaneDlg::EndMainDialog(INT_PTR result) {
  exiting_ = true;
  if (window_) ::EndDialog(window_, result);
}
