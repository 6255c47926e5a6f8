#include "companions/netkit/task_config.h"

#include <cstdint>
#include <optional>
#include <string>

namespace netkit {
namespace {

constexpr uint64_t kMaxTimeoutMs = 3600000;
constexpr uint64_t kMaxAnswerLimit = 256u << 20;

char LowerAscii(char c) noexcept { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::optional<uint64_t> ParseDecimal(const char* value) noexcept {
  if (!value || !*value) return std::nullopt;
  uint64_t n = 0;
  for (const char* p = value; *p; ++p) {
    if (*p < '0' || *p > '9') return std::nullopt;
    n = n * 10 + static_cast<uint64_t>(*p - '0');
    if (n > kMaxAnswerLimit) return std::nullopt;  // above every option's range; also stops overflow
  }
  return n;
}

std::optional<bool> ParseSwitch(const char* value) noexcept {
  if (!value || !*value || std::string_view(value) == "1") return true;
  if (std::string_view(value) == "0") return false;
  return std::nullopt;
}

bool SetSwitch(bool& field, const char* value) noexcept {
  const std::optional<bool> on = ParseSwitch(value);
  if (on) field = *on;
  return on.has_value();
}

bool SetTimeout(DWORD& field, const char* value) noexcept {
  const std::optional<uint64_t> ms = ParseDecimal(value);
  if (!ms || *ms == 0 || *ms > kMaxTimeoutMs) return false;
  field = static_cast<DWORD>(*ms);
  return true;
}

bool IsTokenChar(char c) noexcept {
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(c) != std::string_view::npos;
}

}  // namespace

bool EqualsNoCaseAscii(std::string_view a, std::string_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool ApplyOption(TaskConfig& config, const char* name, const char* value) {
  if (!name) return false;
  const std::string_view n(name);
  if (n == "gzip") return SetSwitch(config.gzipRequest, value);
  if (n == "ungzip") return SetSwitch(config.ungzipAnswer, value);
  if (n == "connect_timeout_ms") return SetTimeout(config.connectTimeoutMs, value);
  if (n == "send_timeout_ms") return SetTimeout(config.sendTimeoutMs, value);
  if (n == "receive_timeout_ms") return SetTimeout(config.receiveTimeoutMs, value);
  if (n == "total_timeout_ms") return SetTimeout(config.totalTimeoutMs, value);
  if (n == "max_answer_bytes") {
    const std::optional<uint64_t> bytes = ParseDecimal(value);
    if (!bytes || *bytes == 0 || *bytes > kMaxAnswerLimit) return false;
    config.maxAnswerBytes = static_cast<size_t>(*bytes);
    return true;
  }
  return false;
}

bool IsValidHeader(std::string_view name, std::string_view value) noexcept {
  if (name.empty()) return false;
  for (char c : name) {
    if (!IsTokenChar(c)) return false;
  }
  for (char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (!(u == '\t' || (u >= 0x20 && u < 0x7F))) return false;
  }
  return true;
}

bool IsLibraryHeader(std::string_view name) noexcept {
  for (std::string_view owned : {"Host", "Content-Length", "Content-Encoding", "Accept-Encoding",
                                  "Transfer-Encoding", "Connection"}) {
    if (EqualsNoCaseAscii(name, owned)) return true;
  }
  return false;
}

bool IsMultipartFormType(std::string_view value) noexcept {
  const size_t begin = value.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return false;
  std::string_view type = value.substr(begin, value.find(';', begin) - begin);
  type = type.substr(0, type.find_last_not_of(" \t") + 1);
  return EqualsNoCaseAscii(type, "multipart/form-data");
}

}  // namespace netkit
