#include "companions/netkit/request_url.h"

#include <cwctype>

namespace netkit {
namespace {

constexpr size_t kMaxUrlLength = 4096;

bool EqualsAsciiNoCase(std::wstring_view a, std::wstring_view b) noexcept {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::towlower(a[i]) != std::towlower(b[i])) return false;
  }
  return true;
}

bool IsPrintableAscii(wchar_t c) noexcept { return c > 0x20 && c < 0x7F; }

bool IsHostChar(wchar_t c) noexcept {
  return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'-' ||
         c == L'.';
}

bool IsIpv6Char(wchar_t c) noexcept {
  return (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F') || (c >= L'0' && c <= L'9') || c == L':' ||
         c == L'.';
}

std::optional<INTERNET_PORT> ParsePort(std::wstring_view text) noexcept {
  if (text.empty() || text.size() > 5) return std::nullopt;
  unsigned value = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - L'0');
  }
  if (value == 0 || value > 65535) return std::nullopt;
  return static_cast<INTERNET_PORT>(value);
}

// "host", "host:port", "[v6]" or "[v6]:port"; no user information.
bool ParseAuthority(std::wstring_view authority, RequestUrl& out) {
  std::wstring_view portText;
  bool hasPort = false;
  if (!authority.empty() && authority.front() == L'[') {
    const size_t close = authority.find(L']');
    if (close == std::wstring_view::npos) return false;
    out.host = authority.substr(1, close - 1);
    if (out.host.empty()) return false;
    for (wchar_t c : out.host) {
      if (!IsIpv6Char(c)) return false;
    }
    std::wstring_view rest = authority.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != L':') return false;
      portText = rest.substr(1);
      hasPort = true;
    }
  } else {
    const size_t colon = authority.find(L':');
    out.host = authority.substr(0, colon);
    if (colon != std::wstring_view::npos) {
      portText = authority.substr(colon + 1);
      hasPort = true;
    }
    if (out.host.empty()) return false;
    for (wchar_t c : out.host) {
      if (!IsHostChar(c)) return false;
    }
  }
  if (hasPort) {
    const std::optional<INTERNET_PORT> port = ParsePort(portText);
    if (!port) return false;
    out.port = *port;
  } else {
    out.port = out.secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
  }
  return true;
}

}  // namespace

bool IsLoopbackHost(std::wstring_view host) noexcept {
  return host == L"127.0.0.1" || host == L"::1" || EqualsAsciiNoCase(host, L"localhost");
}

std::optional<RequestUrl> ParseRequestUrl(std::wstring_view url) {
  if (url.empty() || url.size() > kMaxUrlLength) return std::nullopt;
  for (wchar_t c : url) {
    if (!IsPrintableAscii(c)) return std::nullopt;
  }
  RequestUrl out;
  const size_t schemeEnd = url.find(L"://");
  if (schemeEnd == std::wstring_view::npos) return std::nullopt;
  const std::wstring_view scheme = url.substr(0, schemeEnd);
  if (EqualsAsciiNoCase(scheme, L"https")) {
    out.secure = true;
  } else if (!EqualsAsciiNoCase(scheme, L"http")) {
    return std::nullopt;
  }
  std::wstring_view rest = url.substr(schemeEnd + 3);
  const size_t authorityEnd = rest.find_first_of(L"/?#");
  const std::wstring_view authority = rest.substr(0, authorityEnd);
  if (authority.find(L'@') != std::wstring_view::npos) return std::nullopt;
  if (!ParseAuthority(authority, out)) return std::nullopt;
  if (!out.secure && !IsLoopbackHost(out.host)) return std::nullopt;

  std::wstring_view target = authorityEnd == std::wstring_view::npos ? std::wstring_view() : rest.substr(authorityEnd);
  target = target.substr(0, target.find(L'#'));
  out.pathAndQuery = target.empty() || target.front() != L'/' ? L"/" + std::wstring(target) : std::wstring(target);
  return out;
}

}  // namespace netkit
