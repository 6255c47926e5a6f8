#pragma once
// Driving real processes and windows from end-to-end tests.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/handles.h"

namespace e2e {

// A started program; the process is terminated if the test forgets it.
class Process {
 public:
  Process() = default;
  ~Process();
  Process(Process&&) = default;
  Process& operator=(Process&&) = default;

  bool Start(const std::wstring& exe, const std::wstring& args);
  // The exit code, or -1 when the process did not end in time.
  int WaitForExit(DWORD timeoutMs);
  bool IsRunning() const;
  DWORD Id() const noexcept { return id_; }
  HANDLE Handle() const noexcept { return process_.Get(); }

 private:
  base::KernelHandle process_;
  DWORD id_ = 0;
};

// Polls until the condition holds or the time is up; answers the last result.
bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs);
// A visible top-level window of the process with that exact class, waiting up to timeoutMs.
HWND WaitForTopLevelWindow(DWORD processId, const std::wstring& className, DWORD timeoutMs);
// The message-only window with that title, waiting up to timeoutMs.
HWND WaitForMessageWindow(const std::wstring& title, DWORD timeoutMs);
// Top-level windows of that exact class in any process (visible or not).
std::vector<HWND> TopLevelWindowsOfClass(const std::wstring& className);
// Terminates every process whose executable file name is exeName (any letter case), for
// programs that a test's own programs started and that outlive them; answers how many.
int EndProcessesNamed(const std::wstring& exeName);
std::wstring WindowText(HWND window);
std::wstring ClassName(HWND window);

// Sets (or with null clears) an environment variable that started programs inherit, and puts
// back the previous value when the object dies.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const wchar_t* name, const wchar_t* value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::wstring name_;
  std::wstring previous_;
  bool had_previous_ = false;
};

}  // namespace e2e
