#pragma once
// The "system" field of the feedback form: the operating system the viewer runs on.
#include <string>

namespace feedback {

// GetOsVersion of the base-services library "QuellinBase.dll" in the program folder, which
// describes the system as the product's other reports do:
//   int WINAPI GetOsVersion(wchar_t* text, int capacity)
// writes at most capacity characters with the terminator and answers the length without it
// (0 or less on failure). Without the library, or when it fails, the version the kernel reports.
std::wstring OsVersionText(const std::wstring& programFolder);

// "Windows <major>.<minor>.<build>" as RtlGetVersion reports it, whatever the manifest says.
std::wstring KernelVersionText();

}  // namespace feedback
