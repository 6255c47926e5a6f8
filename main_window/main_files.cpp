// Opening pictures in the main window: the command line, hand-overs from other starts, drops and
// the open dialog.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "appconfig/command_line.h"
#include "appconfig/language.h"
#include "base/handles.h"
#include "base/log.h"
#include "base/paths.h"
#include "base/strings.h"
#include "image/current_image.h"
#include "image/file_types.h"
#include "main_window/main_dialog.h"
#include "resources/resource.h"
#include "services/association.h"
#include "services/registry.h"

namespace {

constexpr ULONG_PTR kHandOverId = 0x22678201;
constexpr wchar_t kAssociationMutex[] = L"QlMainSetFileAssociation-9c1a7e1574578709";

// The text of a hand-over record, bounded by its byte count: the sender's terminator is not
// trusted, and the text ends at the first zero inside the record.
std::wstring HandOverText(const COPYDATASTRUCT& record) {
  const size_t count = record.cbData / sizeof(wchar_t);
  std::wstring text(count, L'\0');
  if (count) std::memcpy(text.data(), record.lpData, count * sizeof(wchar_t));
  text.resize(std::find(text.begin(), text.end(), L'\0') - text.begin());
  return text;
}

// The open dialog's filter: string resource 500 with the language's name for the supported files,
// '|' separated as written and zero-separated for the dialog.
std::wstring OpenFilter(HINSTANCE instance) {
  const wchar_t* stored = nullptr;
  const int length = ::LoadStringW(instance, IDS_OPEN_FILTER, reinterpret_cast<wchar_t*>(&stored), 0);
  std::wstring pattern = length > 0 && stored ? std::wstring(stored, static_cast<size_t>(length)) : L"";
  const size_t at = pattern.find(L"%s");
  if (at != std::wstring::npos) pattern.replace(at, 2, GetLanguageString(L"FILE", L"SUPPORT_FILE"));
  std::replace(pattern.begin(), pattern.end(), L'|', L'\0');
  return pattern;
}

struct CheckThreadParam {
  HWND window;
  services::IAssociation* association;
  HANDLE mutex;  // owned by the thread
};

// Asks the association library whether the viewer is the default viewer and posts the answer to
// the window, which stores it and may ask the user: no setting is touched on this thread. The
// mutex is held only while the library is asked, so that other viewers and an "install" wait
// for this check and nothing longer; a check that finds it taken leaves the work to its holder.
unsigned __stdcall DefaultViewerCheck(void* raw) noexcept {
  std::unique_ptr<CheckThreadParam> param(static_cast<CheckThreadParam*>(raw));
  base::KernelHandle mutex(param->mutex);
  const DWORD wait = ::WaitForSingleObject(mutex.Get(), 0);
  if (wait != WAIT_OBJECT_0 && wait != WAIT_ABANDONED) return 0;
  bool isDefault = true;
  {
    FCAutoInitializeCOM com;
    isDefault = param->association->IsDefaultViewer();
  }
  ::ReleaseMutex(mutex.Get());
  ::PostMessageW(param->window, WM_DEFAULT_VIEWER_CHECKED, 0, isDefault ? 1 : 0);
  return 0;
}

}  // namespace

void CDorvaneDlg::OpenAndShow(const std::wstring& path) {
  CCurrentImage::Get().Open(path);
  if (!path.empty()) {
    const SIZE size = CCurrentImage::Get().GetDisplaySize();
    QL_LOG_INFO(size.cx > 0 ? L"open " + path + L" " + std::to_wstring(size.cx) + L"x" + std::to_wstring(size.cy)
                            : L"cannot read " + path);
  }
  view_.ShowCurrentImage();
}

void CDorvaneDlg::OnStartupOpen() {
  ::InvalidateRect(window_, nullptr, TRUE);
  ::UpdateWindow(window_);
  OpenAndShow(CCommandLine::Instance()->GetFileArgument());
  StartDefaultViewerCheck();
}

void CDorvaneDlg::StartDefaultViewerCheck() {
  auto* association = services::Find<services::IAssociation>();
  if (!association || check_thread_) return;
  HANDLE mutex = ::CreateMutexW(nullptr, FALSE, kAssociationMutex);
  if (!mutex) return;
  auto* param = new CheckThreadParam{window_, association, mutex};
  const uintptr_t thread = ::_beginthreadex(nullptr, 0, &DefaultViewerCheck, param, 0, nullptr);
  if (thread == 0) {
    ::CloseHandle(mutex);
    delete param;
    return;
  }
  check_thread_.Reset(reinterpret_cast<HANDLE>(thread));
}

void CDorvaneDlg::OnDefaultViewerChecked(bool isDefault) {
  config_.set_default_viewer = isDefault ? 1 : 0;
  if (!isDefault && config_.default_viewer_start_tip != 0) AskDefaultViewer();
}

void CDorvaneDlg::OnOpenPath(const wchar_t* path) {
  BringToFront();
  if (path) OpenAndShow(path);
}

void CDorvaneDlg::OnDropFiles(HDROP drop) {
  std::wstring path;
  const UINT length = ::DragQueryFileW(drop, 0, nullptr, 0);
  if (length > 0 && length < 32768) {
    path.resize(length + 1);
    path.resize(::DragQueryFileW(drop, 0, path.data(), length + 1));
  }
  ::DragFinish(drop);
  if (!path.empty() && image::ClassifyImageFile(path.c_str()) != 0) OpenAndShow(path);
}

LRESULT CDorvaneDlg::OnCopyData(const COPYDATASTRUCT* record) {
  if (exiting_ || !record) return 0;
  if (record->dwData != kHandOverId) return ::DefWindowProcW(window_, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(record));
  if (!record->lpData) return 0;
  const std::wstring text = HandOverText(*record);
  CCommandLine request;
  request.Parse(text);
  if (request.HasSwitch(L"setting")) {
    RaiseWindow();
    ::PostMessageW(window_, WM_COMMAND, main_command::kSettings, 0);
    return 1;
  }
  if (!request.HasSwitch(L"show-existing") && !text.empty() && base::FileExists(text)) {
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

void CDorvaneDlg::CmdOpen() {
  const std::wstring filter = OpenFilter(instance_);
  // Long paths fit: the buffer is far larger than the classic limit.
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring current = CCurrentImage::Get().Path();
  if (!current.empty()) {
    const std::wstring folder = base::WithTrailingBackslash(base::Canonicalize(base::FolderOf(current)));
    std::copy_n(folder.c_str(), std::min(folder.size(), file.size() - 1), file.begin());
  }
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = filter.empty() ? nullptr : filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = static_cast<DWORD>(file.size());
  dialog.Flags = OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
  if (!::GetOpenFileNameW(&dialog)) return;
  OpenAndShow(file.data());
}
