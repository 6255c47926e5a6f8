#pragma once
// A small HTTP server of the tests' own on 127.0.0.1 and an ephemeral port, serving one
// connection at a time on a thread until it is destroyed. It records every request as its bytes
// arrived and answers in one of a few ways, well-behaved or not.
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace netkit_test {

struct ReceivedRequest {
  std::string head;  // request line and headers, up to and with the blank line
  std::string body;  // exactly Content-Length bytes
  std::string RequestLine() const;
  // The values of every header of that name (any case), in order.
  std::vector<std::string> Headers(std::string_view name) const;
};

class LoopbackServer {
 public:
  enum class Behaviour {
    kAnswer,              // reads the whole request, sends the answer's bytes, closes
    kAnswerAtOnce,        // sends the answer as soon as any bytes arrive (for a TLS client)
    kCloseWithoutAnswer,  // reads the whole request and closes
    kNeverAnswer,         // reads the whole request and waits for the client to give up
  };

  explicit LoopbackServer(Behaviour behaviour, std::string answer = {});
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  bool Listening() const { return port_ != 0; }
  // The answer for the connections that come from now on.
  void SetAnswer(std::string answer);
  unsigned short Port() const { return port_; }
  std::wstring Url(std::wstring_view scheme = L"http", std::wstring_view path = L"/live/intf/addFeedback") const;
  // Waits for the next request to arrive in full.
  bool WaitForRequest(DWORD limitMs = 20000) const;
  std::vector<ReceivedRequest> Requests() const;
  int Connections() const { return connections_.load(); }

 private:
  void Serve();
  void ServeConnection(SOCKET client);
  bool ReadRequest(SOCKET client, ReceivedRequest& request);
  bool WaitReadable(SOCKET s) const;

  Behaviour behaviour_;
  std::string answer_;
  SOCKET listener_ = INVALID_SOCKET;
  unsigned short port_ = 0;
  std::atomic<bool> stop_{false};
  std::atomic<int> connections_{0};
  HANDLE requestArrived_;  // auto-reset
  mutable std::mutex mutex_;
  std::vector<ReceivedRequest> requests_;
  std::thread thread_;
};

}  // namespace netkit_test
