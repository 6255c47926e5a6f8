#pragma once
// Which URLs a request may go to, and the parts WinHTTP is given. The same parsed host is both
// checked and connected to, so what is checked is what is reached.
#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>
#include <string_view>

namespace netkit {

struct RequestUrl {
  bool secure = false;
  std::wstring host;  // as WinHTTP connects to it: an IPv6 literal without its brackets
  INTERNET_PORT port = 0;
  std::wstring pathAndQuery;  // never empty; starts with '/'; the fragment removed
};

// The loopback host names: 127.0.0.1, localhost (any case) and ::1.
[[nodiscard]] bool IsLoopbackHost(std::wstring_view host) noexcept;

// https:// to any host, or http:// to a loopback host; nullopt for anything else, for user
// names or passwords in the URL, for characters that are not printable ASCII, and for ports
// outside 1 to 65535.
[[nodiscard]] std::optional<RequestUrl> ParseRequestUrl(std::wstring_view url);

}  // namespace netkit
