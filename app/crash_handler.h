#pragma once
// Crash reporting of the viewer process: the unhandled-exception handler that writes a dump to
// the crash folder, the identity the uploader reports, and the clean-up of temporary files.
#include <string>

void InstallCrashHandler();
// Source name, report flag and version text that go with every crash report.
void SetCrashReportIdentity(const wchar_t* sourceName, int reportFlag, const std::wstring& versionText);
// Deletes the print spool picture and keeps only the newest crash dumps.
void CleanUpTemporaryFiles();
