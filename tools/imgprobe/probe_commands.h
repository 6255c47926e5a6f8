#pragma once
#include <string>
#include <vector>

namespace probe {
// Runs one subcommand; answers the exit code (0 ok, 1 failure, 2 bad usage).
int Run(const std::vector<std::wstring>& args);
// Prints "key=value" (UTF-8) on standard output.
void Print(const char* key, const std::wstring& value);
void Print(const char* key, long long value);
int Fail(const std::string& message);
}  // namespace probe
