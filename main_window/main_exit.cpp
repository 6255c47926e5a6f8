// Leaving: the exit sequence, closing the window and, when the user asked for it, ending the tray
// companion with the last viewer window.
#include <windows.h>
#include <tlhelp32.h>

#include <vector>

#include "base/handles.h"
#include "base/paths.h"
#include "base/strings.h"
#include "main_window/main_dialog.h"
#include "services/registry.h"
#include "services/wheel_question.h"

namespace {

constexpr wchar_t kExitMutex[] = L"QlMainExitMutex-ad756f18033b6ea0";
constexpr wchar_t kTrayExe[] = L"QuellinTray.exe";

struct WindowCount {
  DWORD self;
  int others = 0;
};

BOOL CALLBACK CountOtherMainWindows(HWND window, LPARAM param) noexcept {
  auto& count = *reinterpret_cast<WindowCount*>(param);
  wchar_t name[64] = {};
  if (::GetClassNameW(window, name, ARRAYSIZE(name)) == 0 || std::wstring(name) != CDorvaneDlg::kWindowClass) {
    return TRUE;
  }
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process != count.self) ++count.others;
  return TRUE;
}

// The user SID of a process token, as bytes (empty when it cannot be read).
std::vector<uint8_t> TokenUser(HANDLE process) {
  base::KernelHandle token;
  if (!::OpenProcessToken(process, TOKEN_QUERY, token.Put())) return {};
  DWORD size = 0;
  ::GetTokenInformation(token.Get(), ::TokenUser, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<uint8_t> buffer(size);
  if (!::GetTokenInformation(token.Get(), ::TokenUser, buffer.data(), size, &size)) return {};
  const auto* user = reinterpret_cast<const TOKEN_USER*>(buffer.data());
  const DWORD length = ::GetLengthSid(user->User.Sid);
  const auto* bytes = static_cast<const uint8_t*>(user->User.Sid);
  return std::vector<uint8_t>(bytes, bytes + length);
}

std::wstring LongPath(const std::wstring& path) {
  if (path.find(L'~') == std::wstring::npos) return path;
  std::wstring expanded(32768, L'\0');
  const DWORD length = ::GetLongPathNameW(path.c_str(), expanded.data(), static_cast<DWORD>(expanded.size()));
  if (length == 0 || length >= expanded.size()) return path;
  expanded.resize(length);
  return expanded;
}

// Ends the tray companions started from this program folder that run for this user in this
// session; other users' and other sessions' processes are never touched.
void EndTrayCompanions() {
  const std::wstring tray = LongPath(base::JoinPath(base::GetModuleFolder(), kTrayExe));
  if (tray.empty()) return;
  DWORD session = 0;
  ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
  const std::vector<uint8_t> user = TokenUser(::GetCurrentProcess());
  base::KernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (!base::EqualsNoCase(entry.szExeFile, kTrayExe)) continue;
    DWORD processSession = 0;
    if (!::ProcessIdToSessionId(entry.th32ProcessID, &processSession) || processSession != session) continue;
    base::KernelHandle process(
        ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
    if (!process) continue;
    std::wstring image(32768, L'\0');
    DWORD length = static_cast<DWORD>(image.size());
    if (!::QueryFullProcessImageNameW(process.Get(), 0, image.data(), &length)) continue;
    image.resize(length);
    if (!base::EqualsNoCase(LongPath(image), tray)) continue;
    if (user.empty() || TokenUser(process.Get()) != user) continue;
    ::TerminateProcess(process.Get(), 0);
  }
}

}  // namespace

void CDorvaneDlg::OnMessageReceived(const IPC::Message& message) {
  if (message.type() == main_channel::kExit) RunExitSequence();
}

void CDorvaneDlg::RunExitSequence() {
  exiting_ = true;
  if (quit_message_ != 0) ::PostMessageW(window_, quit_message_, 0, 0);
  ::SendMessageW(window_, WM_CLOSE, 0, 0);
  // Whatever the shutdown reaches, the process ends within about a second.
  if (window_) ::SetTimer(window_, kForcedExitTimer, 1000, nullptr);
}

void CDorvaneDlg::CloseOpenDialogs() {
  for (auto* dialog : {about_.get(), default_viewer_.get(), settings_.get()}) {
    if (dialog && dialog->GetSafeHwnd()) ::SendMessageW(dialog->GetSafeHwnd(), WM_CLOSE, 0, 0);
  }
}

void CDorvaneDlg::OnClose() {
  CloseOpenDialogs();
  view_.CloseView();
  EndMainDialog(IDCANCEL);
  if (config_.completely_exit != 0) CompleteExit();
}

void CDorvaneDlg::CompleteExit() {
  base::KernelHandle mutex(::CreateMutexW(nullptr, FALSE, kExitMutex));
  // Serialises viewers closing at the same moment; after ten seconds the routine goes on anyway.
  // The mutex is not released: the process ends soon after.
  if (mutex) ::WaitForSingleObject(mutex.Get(), 10000);
  (void)mutex.Release();
  WindowCount count{::GetCurrentProcessId()};
  ::EnumWindows(&CountOtherMainWindows, reinterpret_cast<LPARAM>(&count));
  if (count.others != 0) return;
  CIPCMessageMgr::Get().Send(IPC::Message(main_channel::kCompanionRouting, main_channel::kExit));
  EndTrayCompanions();
}
