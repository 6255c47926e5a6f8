#pragma once
// The file version of a program from its version resource.
#include <string>

// "%d.%d.%d.%d" of the file's fixed version; empty when it has no version resource.
std::wstring GetFileVersionText(const std::wstring& path);
// The same for the running executable.
std::wstring GetExecutableVersionText();
