#pragma once
// What the crash uploader does: read its command line, then write a dump of the crashed process
// into the crash folder. Uploading is left out: dumps stay on the machine.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

namespace crash_send {

struct Request {
  uint64_t exception_pointers = 0;  // address of the record in the crashed process
  DWORD process_id = 0;
  DWORD thread_id = 0;
  std::wstring source;
  std::wstring version;
  int report_flag = 0;
};

// "--pep=N --pid=N --tid=N --src=S --ver=S --rep=N", in any order; pep, pid and tid are required
// and must be whole numbers in range. Empty when the line does not hold a request.
std::optional<Request> ParseRequest(const std::wstring& commandLine);

// "<source>_<yyyyMMdd-HHmmss>_<pid>.dmp", with characters a file name cannot hold replaced.
std::wstring DumpFileName(const Request& request, const SYSTEMTIME& when);

// Writes the dump into `folder` (created when missing); answers its path, or empty on failure
// (no half-written file is left behind).
std::wstring WriteDump(const Request& request, const std::wstring& folder);

}  // namespace crash_send
