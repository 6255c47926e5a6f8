#include "app/crash_handler.h"

#include <shlwapi.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "appconfig/folders.h"
#include "base/handles.h"
#include "base/paths.h"

namespace {

// Fixed storage, filled at start-up: the filter runs in a broken process and reads it as it is.
wchar_t g_source[261] = L"";
wchar_t g_version[261] = L"";
int g_report_flag = 0;
wchar_t g_program_folder[MAX_PATH] = L"";

// Raised where the C run-time would end the process without an exception, so that those ends
// reach the filter too.
constexpr DWORD kRunTimeAbort = 0xE0515601;

LONG WINAPI CrashFilter(EXCEPTION_POINTERS* pointers) noexcept {
  const std::wstring uploader = crash::FindUploader(g_program_folder);
  if (uploader.empty()) return EXCEPTION_EXECUTE_HANDLER;
  std::wstring command = L"\"" + uploader + L"\" " +
                         crash::UploaderParameters(reinterpret_cast<uintptr_t>(pointers), ::GetCurrentProcessId(),
                                                   ::GetCurrentThreadId(), g_source, g_version, g_report_flag);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION started{};
  if (::CreateProcessW(uploader.c_str(), command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                       &startup, &started)) {
    ::CloseHandle(started.hThread);
    // The uploader reads this process while it waits; a hung uploader must not keep it alive.
    ::WaitForSingleObject(started.hProcess, crash::kUploaderWaitMs);
    ::CloseHandle(started.hProcess);
  }
  return EXCEPTION_EXECUTE_HANDLER;
}

void RaiseRunTimeAbort() { ::RaiseException(kRunTimeAbort, EXCEPTION_NONCONTINUABLE, 0, nullptr); }

void OnInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) { RaiseRunTimeAbort(); }
void OnPureCall() { RaiseRunTimeAbort(); }
void OnAbortSignal(int) { RaiseRunTimeAbort(); }

}  // namespace

void InstallCrashHandler() {
  const std::wstring folder = base::GetModuleFolder();
  std::wcsncpy(g_program_folder, folder.c_str(), MAX_PATH - 1);
  // Other code could set a filter of its own later; rather than patching the system's
  // SetUnhandledExceptionFilter (code of the system, on both builds), the run-time's own ways of
  // ending the process are sent to this filter as exceptions.
  ::SetUnhandledExceptionFilter(&CrashFilter);
  _set_invalid_parameter_handler(&OnInvalidParameter);
  _set_purecall_handler(&OnPureCall);
  std::signal(SIGABRT, &OnAbortSignal);
}

void SetCrashReportIdentity(const wchar_t* sourceName, int reportFlag, const std::wstring& versionText) {
  std::wcsncpy(g_source, sourceName ? sourceName : L"", 260);
  std::wcsncpy(g_version, versionText.c_str(), 260);
  g_report_flag = reportFlag;
}

void CleanUpTemporaryFiles() {
  const std::wstring print = base::JoinPath(GetTempFolder(), L"tempprint.jpg");
  if (!print.empty()) ::DeleteFileW(print.c_str());
  const std::wstring crashes = GetCrashFolder();
  if (!crashes.empty()) crash::PruneCrashDumps(crashes, crash::kDumpsKept);
}

namespace crash {

std::vector<std::wstring> UploaderCandidates(const std::wstring& programFolder) {
  std::vector<std::wstring> candidates;
  for (const wchar_t* name : {L"CrashSend.exe", L"Utils\\CrashSend.exe"}) {
    const std::wstring path = base::JoinPath(programFolder, name);
    if (!path.empty()) candidates.push_back(path);
  }
  return candidates;
}

std::wstring FindUploader(const std::wstring& programFolder) {
  for (const std::wstring& candidate : UploaderCandidates(programFolder)) {
    const DWORD attributes = ::GetFileAttributesW(candidate.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return candidate;
  }
  return {};
}

std::wstring UploaderParameters(uint64_t exceptionPointers, DWORD processId, DWORD threadId, const std::wstring& source,
                                const std::wstring& version, int reportFlag) {
  wchar_t numbers[96] = {};
  std::swprintf(numbers, 96, L"--pep=%llu --pid=%lu --tid=%lu", static_cast<unsigned long long>(exceptionPointers),
                static_cast<unsigned long>(processId), static_cast<unsigned long>(threadId));
  return std::wstring(numbers) + L" --src=" + source + L" --ver=" + version + L" --rep=" + std::to_wstring(reportFlag);
}

size_t PruneCrashDumps(const std::wstring& folder, size_t keep) {
  struct Dump {
    std::wstring path;
    FILETIME written;
  };
  std::vector<Dump> dumps;
  const std::wstring pattern = base::JoinPath(folder, L"*.dmp");
  if (pattern.empty()) return 0;
  WIN32_FIND_DATAW found{};
  base::FindHandle find(::FindFirstFileW(pattern.c_str(), &found));
  if (!find) return 0;
  do {
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    // The pattern also matches longer extensions ("x.dmpx") through their short names.
    const std::wstring name = found.cFileName;
    if (name.size() < 4 || ::StrCmpIW(name.c_str() + name.size() - 4, L".dmp") != 0) continue;
    dumps.push_back(Dump{base::JoinPath(folder, name), found.ftLastWriteTime});
  } while (::FindNextFileW(find.Get(), &found));
  if (dumps.size() <= keep) return 0;
  std::sort(dumps.begin(), dumps.end(),
            [](const Dump& a, const Dump& b) { return ::CompareFileTime(&a.written, &b.written) > 0; });
  size_t deleted = 0;
  for (size_t i = keep; i < dumps.size(); ++i) deleted += ::DeleteFileW(dumps[i].path.c_str()) ? 1 : 0;
  return deleted;
}

}  // namespace crash
