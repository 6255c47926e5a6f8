#include "tests/unit/netkit/loopback_server.h"

#include <ws2tcpip.h>

#include <cstdlib>

namespace netkit_test {
namespace {

constexpr size_t kMaxHead = 64 * 1024;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string ReceivedRequest::RequestLine() const { return head.substr(0, head.find("\r\n")); }

std::vector<std::string> ReceivedRequest::Headers(std::string_view name) const {
  std::vector<std::string> values;
  size_t at = head.find("\r\n");
  while (at != std::string::npos && at + 2 < head.size()) {
    const size_t end = head.find("\r\n", at + 2);
    const std::string line = head.substr(at + 2, end - at - 2);
    const size_t colon = line.find(':');
    if (colon != std::string::npos && SameNoCase(std::string_view(line).substr(0, colon), name)) {
      const size_t value = line.find_first_not_of(' ', colon + 1);
      values.push_back(value == std::string::npos ? std::string() : line.substr(value));
    }
    at = end;
  }
  return values;
}

LoopbackServer::LoopbackServer(Behaviour behaviour, std::string answer)
    : behaviour_(behaviour),
      answer_(std::move(answer)),
      requestArrived_(::CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
  WSADATA wsa;
  if (::WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return;
  listener_ = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  int size = sizeof(address);
  if (listener_ == INVALID_SOCKET || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
      ::listen(listener_, 8) != 0 || ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
    return;
  }
  port_ = ntohs(address.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

LoopbackServer::~LoopbackServer() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listener_ != INVALID_SOCKET) ::closesocket(listener_);
  ::CloseHandle(requestArrived_);
  ::WSACleanup();
}

void LoopbackServer::SetAnswer(std::string answer) {
  std::lock_guard<std::mutex> hold(mutex_);
  answer_ = std::move(answer);
}

std::wstring LoopbackServer::Url(std::wstring_view scheme, std::wstring_view path) const {
  return std::wstring(scheme) + L"://127.0.0.1:" + std::to_wstring(port_) + std::wstring(path);
}

bool LoopbackServer::WaitForRequest(DWORD limitMs) const {
  return ::WaitForSingleObject(requestArrived_, limitMs) == WAIT_OBJECT_0;
}

std::vector<ReceivedRequest> LoopbackServer::Requests() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return requests_;
}

// Polls in short slices so that the destructor's stop is seen; the slices bound nothing.
bool LoopbackServer::WaitReadable(SOCKET s) const {
  while (!stop_) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval slice{0, 50 * 1000};
    const int ready = ::select(0, &readable, nullptr, nullptr, &slice);
    if (ready < 0) return false;
    if (ready > 0) return true;
  }
  return false;
}

void LoopbackServer::Serve() {
  while (WaitReadable(listener_)) {
    const SOCKET client = ::accept(listener_, nullptr, nullptr);
    if (client == INVALID_SOCKET) continue;
    connections_.fetch_add(1);
    ServeConnection(client);
    ::closesocket(client);
  }
}

bool LoopbackServer::ReadRequest(SOCKET client, ReceivedRequest& request) {
  std::string data;
  char buffer[16 * 1024];
  size_t headEnd = std::string::npos;
  size_t bodyLength = 0;
  for (;;) {
    if (headEnd == std::string::npos) {
      headEnd = data.find("\r\n\r\n");
      if (headEnd != std::string::npos) {
        request.head = data.substr(0, headEnd + 4);
        const std::vector<std::string> length = request.Headers("Content-Length");
        bodyLength = length.empty() ? 0 : std::strtoul(length.front().c_str(), nullptr, 10);
      } else if (data.size() > kMaxHead) {
        return false;
      }
    }
    if (headEnd != std::string::npos && data.size() >= headEnd + 4 + bodyLength) {
      request.body = data.substr(headEnd + 4, bodyLength);
      return true;
    }
    if (!WaitReadable(client)) return false;
    const int got = ::recv(client, buffer, sizeof(buffer), 0);
    if (got <= 0) return false;
    data.append(buffer, static_cast<size_t>(got));
  }
}

void LoopbackServer::ServeConnection(SOCKET client) {
  std::string answer;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    answer = answer_;
  }
  if (behaviour_ == Behaviour::kAnswerAtOnce) {
    char first[1];
    if (WaitReadable(client) && ::recv(client, first, 1, 0) == 1) {
      ::send(client, answer.data(), static_cast<int>(answer.size()), 0);
    }
    return;
  }
  ReceivedRequest request;
  if (!ReadRequest(client, request)) return;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    requests_.push_back(request);
  }
  ::SetEvent(requestArrived_);
  if (behaviour_ == Behaviour::kAnswer) {
    size_t sent = 0;
    while (sent < answer.size()) {
      const int n = ::send(client, answer.data() + sent, static_cast<int>(answer.size() - sent), 0);
      if (n <= 0) break;  // the client gave up, for example over a size limit
      sent += static_cast<size_t>(n);
    }
    ::shutdown(client, SD_SEND);
  }
  if (behaviour_ == Behaviour::kNeverAnswer || behaviour_ == Behaviour::kAnswer) {
    // Until the client closes its side (or the test ends).
    char sink[4096];
    while (WaitReadable(client) && ::recv(client, sink, sizeof(sink), 0) > 0) {
    }
  }
}

}  // namespace netkit_test
