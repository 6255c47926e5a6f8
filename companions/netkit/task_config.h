#pragma once
// A task's settings as SetOption and AddHeader accept them: the option names and their ranges,
// and which request headers a caller may set.
#include <windows.h>

#include <cstddef>
#include <string_view>

namespace netkit {

struct TaskConfig {
  bool gzipRequest = false;
  bool ungzipAnswer = false;
  DWORD connectTimeoutMs = 15000;
  DWORD sendTimeoutMs = 30000;
  DWORD receiveTimeoutMs = 30000;
  DWORD totalTimeoutMs = 120000;
  size_t maxAnswerBytes = 4u << 20;
};

// Applies one option (names and values in netkit_api.h); false leaves the settings as they were.
[[nodiscard]] bool ApplyOption(TaskConfig& config, const char* name, const char* value);

// A header name is an HTTP token; a value is printable ASCII, spaces and tabs.
[[nodiscard]] bool IsValidHeader(std::string_view name, std::string_view value) noexcept;
// The headers that the library writes itself and a caller may not set.
[[nodiscard]] bool IsLibraryHeader(std::string_view name) noexcept;
[[nodiscard]] bool EqualsNoCaseAscii(std::string_view a, std::string_view b) noexcept;
// "multipart/form-data" with or without parameters (which the library's own type replaces).
[[nodiscard]] bool IsMultipartFormType(std::string_view value) noexcept;

}  // namespace netkit
