#include "app/crash_handler.h"

// The crash-reporting work (dump writer, uploader hand-off, dump retention) fills these in.
void InstallCrashHandler() {}

void SetCrashReportIdentity(const wchar_t*, int, const std::wstring&) {}

void CleanUpTemporaryFiles() {}
