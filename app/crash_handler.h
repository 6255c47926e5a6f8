#pragma once
// Crash reporting of the viewer process. When the viewer crashes, its unhandled-exception filter
// starts the crash uploader "CrashSend.exe" from the program folder with the place of the exception
// record in this process, waits (a bounded time) while it writes a dump into the crash folder, and
// lets the process end. Nothing leaves the machine unless an upload address is configured.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

void InstallCrashHandler();
// Source name, report flag and version text that go with every crash report.
void SetCrashReportIdentity(const wchar_t* sourceName, int reportFlag, const std::wstring& versionText);
// Deletes the print spool picture and keeps only the newest crash dumps.
void CleanUpTemporaryFiles();

namespace crash {

inline constexpr size_t kDumpsKept = 10;
inline constexpr DWORD kUploaderWaitMs = 120000;

// Where the uploader is looked for: the program folder, then its "Utils" folder; never a folder
// above the program's, which another program could have put there.
std::vector<std::wstring> UploaderCandidates(const std::wstring& programFolder);
// The first candidate that exists, or empty.
std::wstring FindUploader(const std::wstring& programFolder);
// "--pep=%llu --pid=%d --tid=%d --src=%s --ver=%s --rep=%d".
std::wstring UploaderParameters(uint64_t exceptionPointers, DWORD processId, DWORD threadId,
                                const std::wstring& source, const std::wstring& version, int reportFlag);
// Keeps the `keep` newest (by last write) files whose names end exactly in ".dmp" and deletes the
// other such files; any other file stays. Answers how many were deleted.
size_t PruneCrashDumps(const std::wstring& folder, size_t keep);

}  // namespace crash
