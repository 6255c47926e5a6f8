#include "tests/e2e/e2e_support.h"

#include <tlhelp32.h>

#include <vector>

namespace e2e {

Process::~Process() {
  if (process_ && IsRunning()) {
    ::TerminateProcess(process_.Get(), 1);
    ::WaitForSingleObject(process_.Get(), 5000);
  }
}

bool Process::Start(const std::wstring& exe, const std::wstring& args) {
  std::wstring cmd = L"\"" + exe + L"\"";
  if (!args.empty()) cmd += L" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  if (!::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  ::CloseHandle(pi.hThread);
  process_.Reset(pi.hProcess);
  id_ = pi.dwProcessId;
  return true;
}

int Process::WaitForExit(DWORD timeoutMs) {
  if (!process_ || ::WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  ::GetExitCodeProcess(process_.Get(), &code);
  return static_cast<int>(code);
}

bool Process::IsRunning() const {
  return process_ && ::WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  while (!condition()) {
    if (::GetTickCount64() >= deadline) return condition();
    ::Sleep(50);
  }
  return true;
}

namespace {

struct Search {
  DWORD processId;
  const std::wstring* className;
  HWND found = nullptr;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param) noexcept {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (pid != search->processId || !::IsWindowVisible(window) || ClassName(window) != *search->className) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND WaitForTopLevelWindow(DWORD processId, const std::wstring& className, DWORD timeoutMs) {
  Search search{processId, &className};
  WaitUntil(
      [&] {
        ::EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        return search.found != nullptr;
      },
      timeoutMs);
  return search.found;
}

HWND WaitForMessageWindow(const std::wstring& title, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, title.c_str())) != nullptr; },
            timeoutMs);
  return found;
}

namespace {

struct ClassSearch {
  const std::wstring* className;
  std::vector<HWND> windows;
};

BOOL CALLBACK CollectOfClass(HWND window, LPARAM param) noexcept {
  auto* search = reinterpret_cast<ClassSearch*>(param);
  if (ClassName(window) == *search->className) search->windows.push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> TopLevelWindowsOfClass(const std::wstring& className) {
  ClassSearch search{&className, {}};
  ::EnumWindows(&CollectOfClass, reinterpret_cast<LPARAM>(&search));
  return search.windows;
}

int EndProcessesNamed(const std::wstring& exeName) {
  base::KernelHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return 0;
  int ended = 0;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  for (BOOL more = ::Process32FirstW(snapshot.Get(), &entry); more; more = ::Process32NextW(snapshot.Get(), &entry)) {
    if (::lstrcmpiW(entry.szExeFile, exeName.c_str()) != 0) continue;
    base::KernelHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID));
    if (!process || !::TerminateProcess(process.Get(), 1)) continue;
    ::WaitForSingleObject(process.Get(), 5000);
    ++ended;
  }
  return ended;
}

std::wstring WindowText(HWND window) {
  std::vector<wchar_t> text(1024, L'\0');
  const int n = ::GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
  return std::wstring(text.data(), n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring ClassName(HWND window) {
  wchar_t name[257] = {};
  const int n = ::GetClassNameW(window, name, 257);
  return std::wstring(name, n > 0 ? static_cast<size_t>(n) : 0);
}

ScopedEnvironment::ScopedEnvironment(const wchar_t* name, const wchar_t* value) : name_(name) {
  std::vector<wchar_t> buffer(32768, L'\0');
  const DWORD n = ::GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  had_previous_ = n > 0 && n < buffer.size();
  if (had_previous_) previous_.assign(buffer.data(), n);
  ::SetEnvironmentVariableW(name, value);
}

ScopedEnvironment::~ScopedEnvironment() {
  ::SetEnvironmentVariableW(name_.c_str(), had_previous_ ? previous_.c_str() : nullptr);
}

}  // namespace e2e
