#include "companions/crashsend/crash_dump.h"

#include <dbghelp.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cwchar>
#include <vector>

#include "base/handles.h"
#include "base/paths.h"

namespace crash_send {
namespace {

bool ParseNumber(const std::wstring& text, uint64_t limit, uint64_t& value) {
  if (text.empty() || text.size() > 20) return false;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return false;
  }
  errno = 0;
  wchar_t* end = nullptr;
  const unsigned long long parsed = std::wcstoull(text.c_str(), &end, 10);
  if (errno != 0 || !end || *end != L'\0' || parsed > limit) return false;
  value = parsed;
  return true;
}

}  // namespace

std::optional<Request> ParseRequest(const std::wstring& commandLine) {
  int count = 0;
  LPWSTR* arguments = ::CommandLineToArgvW(commandLine.c_str(), &count);
  if (!arguments) return std::nullopt;
  Request request;
  bool pep = false, pid = false, tid = false;
  bool ok = true;
  for (int i = 0; i < count && ok; ++i) {
    const std::wstring argument = arguments[i];
    const size_t equals = argument.find(L'=');
    if (argument.rfind(L"--", 0) != 0 || equals == std::wstring::npos) continue;
    const std::wstring name = argument.substr(2, equals - 2);
    const std::wstring value = argument.substr(equals + 1);
    uint64_t number = 0;
    if (name == L"pep") {
      ok = pep = ParseNumber(value, UINT64_MAX, number) && number != 0;
      request.exception_pointers = number;
    } else if (name == L"pid") {
      ok = pid = ParseNumber(value, 0xFFFFFFFFu, number) && number != 0;
      request.process_id = static_cast<DWORD>(number);
    } else if (name == L"tid") {
      ok = tid = ParseNumber(value, 0xFFFFFFFFu, number) && number != 0;
      request.thread_id = static_cast<DWORD>(number);
    } else if (name == L"src") {
      request.source = value.substr(0, 64);
    } else if (name == L"ver") {
      request.version = value.substr(0, 64);
    } else if (name == L"rep") {
      ok = ParseNumber(value, 0x7FFFFFFF, number);
      request.report_flag = static_cast<int>(number);
    }
  }
  ::LocalFree(arguments);
  if (!ok || !pep || !pid || !tid) return std::nullopt;
  return request;
}

std::wstring DumpFileName(const Request& request, const SYSTEMTIME& when) {
  std::wstring source = request.source.empty() ? L"crash" : request.source;
  for (wchar_t& c : source) {
    if (c < 32 || std::wcschr(L"<>:\"/\\|?*", c)) c = L'_';
  }
  wchar_t stamp[64] = {};
  std::swprintf(stamp, 64, L"_%04u%02u%02u-%02u%02u%02u_%lu.dmp", when.wYear, when.wMonth, when.wDay, when.wHour,
                when.wMinute, when.wSecond, static_cast<unsigned long>(request.process_id));
  return source + stamp;
}

std::wstring WriteDump(const Request& request, const std::wstring& folder) {
  if (folder.empty()) return {};
  ::CreateDirectoryW(folder.c_str(), nullptr);
  base::KernelHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | PROCESS_DUP_HANDLE, FALSE,
                                           request.process_id));
  if (!process) return {};
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  const std::wstring path = base::JoinPath(folder, DumpFileName(request, now));
  if (path.empty()) return {};
  // Written under a name of its own and given its final name once complete, so that the pruning of
  // the viewer never counts a half-written dump, and a failure leaves nothing.
  const std::wstring partial = path + L".part";
  bool written = false;
  {
    base::KernelHandle file(
        ::CreateFileW(partial.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    MINIDUMP_EXCEPTION_INFORMATION exception{};
    exception.ThreadId = request.thread_id;
    exception.ExceptionPointers = reinterpret_cast<PEXCEPTION_POINTERS>(static_cast<uintptr_t>(request.exception_pointers));
    // The record lies in the crashed process.
    exception.ClientPointers = TRUE;
    const auto type = static_cast<MINIDUMP_TYPE>(MiniDumpWithThreadInfo | MiniDumpWithIndirectlyReferencedMemory);
    written = ::MiniDumpWriteDump(process.Get(), request.process_id, file.Get(), type, &exception, nullptr, nullptr) !=
              FALSE;
  }
  if (!written || !::MoveFileExW(partial.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING)) {
    ::DeleteFileW(partial.c_str());
    return {};
  }
  return path;
}

}  // namespace crash_send
