#pragma once
// The "system" field of the feedback form: the operating system the viewer runs on.
#include <string>

namespace feedback {

// GetOsVersion of the base-services library "QuellinBase.dll" in the program folder, which
// names the system as the product's other reports do ("major.minor.build"). Without the library,
// or when its answer does not hold together, the same from the kernel.
std::wstring OsVersionText(const std::wstring& programFolder);

// "major.minor.build" as RtlGetVersion reports it, whatever the manifest says.
std::wstring KernelVersionText();

}  // namespace feedback
