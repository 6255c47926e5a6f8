#include "companions/netkit/http_request.h"

#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>

#include "base/handles.h"
#include "companions/netkit/zlib_codec.h"

namespace netkit {
namespace {

constexpr wchar_t kUserAgent[] = L"Quellin NetKit/1.0";
constexpr DWORD kReadChunk = 64 * 1024;
// How long the end of a finished request waits for WinHTTP to confirm that the request handle
// will call back no more. Confirmation normally comes at once.
constexpr DWORD kCloseConfirmMs = 10000;
constexpr DWORD kMaxHeaderTextBytes = 16 * 1024;
// WSAETIMEDOUT: Wine 8 reports a receive timeout with the socket's own code.
constexpr DWORD kSocketTimedOut = 10060;

// What the status callback shares with the waiting thread. Counted: the exchange holds one
// reference and the request handle another until WinHTTP reports it closing, because an
// abandoned operation may still complete into the read buffer or the request body after the
// exchange has gone.
struct AsyncState {
  base::KernelHandle stepDone{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};
  base::KernelHandle requestClosed{::CreateEventW(nullptr, TRUE, FALSE, nullptr)};
  DWORD completion = 0;
  DWORD bytes = 0;
  DWORD error = 0;
  std::atomic<long> refs{1};
  std::string requestBody;
  std::vector<char> readBuffer = std::vector<char>(kReadChunk);

  void AddRef() noexcept { refs.fetch_add(1); }
  void Unref() noexcept {
    if (refs.fetch_sub(1) == 1) delete this;
  }
};

void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD length) noexcept {
  auto* st = reinterpret_cast<AsyncState*>(context);
  if (!st) return;
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SENDREQUEST_COMPLETE:
    case WINHTTP_CALLBACK_STATUS_HEADERS_AVAILABLE:
    case WINHTTP_CALLBACK_STATUS_READ_COMPLETE:
      st->bytes = length;
      st->completion = status;
      ::SetEvent(st->stepDone.Get());
      break;
    case WINHTTP_CALLBACK_STATUS_REQUEST_ERROR:
      st->error = info ? static_cast<WINHTTP_ASYNC_RESULT*>(info)->dwError : ERROR_WINHTTP_INTERNAL_ERROR;
      st->completion = status;
      ::SetEvent(st->stepDone.Get());
      break;
    case WINHTTP_CALLBACK_STATUS_HANDLE_CLOSING:
      ::SetEvent(st->requestClosed.Get());
      st->Unref();  // the request handle's reference; nothing comes after this
      break;
    default:
      break;
  }
}

// A notification may still arrive after the request's thread has ended: the code it runs must
// stay loaded for the rest of the process, which the viewer does with this library anyway.
void KeepModuleLoaded() noexcept {
  HMODULE self = nullptr;
  (void)::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                             reinterpret_cast<LPCWSTR>(&OnStatus), &self);
}

bool IsSecureError(DWORD error) noexcept {
  switch (error) {
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
      return true;
    default:
      return false;
  }
}

// What a WinHTTP error means for the caller; the phase decides the errors that say only that
// the connection failed.
HttpError MapError(DWORD error, HttpError phase) noexcept {
  if (IsSecureError(error)) return kHttpErrorSecure;
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT:
    case kSocketTimedOut:
      return kHttpErrorTimeout;
    case ERROR_WINHTTP_CANNOT_CONNECT:
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return kHttpErrorConnect;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
    case ERROR_WINHTTP_HEADER_SIZE_OVERFLOW:
    case ERROR_WINHTTP_REDIRECT_FAILED:
      return kHttpErrorBadAnswer;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return kHttpErrorInternal;
    default:
      return phase;
  }
}

std::optional<uint64_t> ParseContentLength(std::wstring_view text) noexcept {
  const size_t begin = text.find_first_not_of(L" \t");
  if (begin == std::wstring_view::npos) return std::nullopt;
  text = text.substr(begin, text.find_last_not_of(L" \t") + 1 - begin);
  if (text.empty() || text.size() > 18) return std::nullopt;
  uint64_t n = 0;
  for (wchar_t c : text) {
    if (c < L'0' || c > L'9') return std::nullopt;
    n = n * 10 + static_cast<uint64_t>(c - L'0');
  }
  return n;
}

// 1xx, 204 and 304 answers carry no body whatever their headers say.
bool StatusHasBody(int status) noexcept { return status >= 200 && status != 204 && status != 304; }

class Exchange {
 public:
  Exchange(RequestPlan plan, HANDLE cancel) : plan_(std::move(plan)), cancel_(cancel) {
    state_->requestBody = std::move(plan_.body);
  }
  ~Exchange() { state_->Unref(); }
  Exchange(const Exchange&) = delete;
  Exchange& operator=(const Exchange&) = delete;

  RequestOutcome Run() {
    deadline_ = ::GetTickCount64() + plan_.config.totalTimeoutMs;
    if (state_->stepDone && state_->requestClosed && Open() && Send() && Receive() && ReadBody()) Decode();
    Close();
    return std::move(outcome_);
  }

 private:
  enum class Wait { kDone, kFailed, kCancelled, kTimedOut };

  bool Fail(HttpError error, DWORD platformError = 0) {
    outcome_.error = error;
    outcome_.platformError = platformError;
    return false;
  }

  HINTERNET OpenSession() {
    // The system's proxy settings for the world; the loopback host is always reached directly.
    if (IsLoopbackHost(plan_.url.host)) {
      return ::WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                           WINHTTP_FLAG_ASYNC);
    }
    HINTERNET session = ::WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                                      WINHTTP_NO_PROXY_BYPASS, WINHTTP_FLAG_ASYNC);
    if (session) return session;
    // Before Windows 8.1 the automatic kind is unknown.
    return ::WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                         WINHTTP_FLAG_ASYNC);
  }

  // The request handle alone carries the status callback and the shared state; the session and
  // connection handles never call back.
  bool AttachCallback() {
    DWORD_PTR context = reinterpret_cast<DWORD_PTR>(state_);
    if (!::WinHttpSetOption(request_, WINHTTP_OPTION_CONTEXT_VALUE, &context, sizeof(context))) return false;
    state_->AddRef();
    if (::WinHttpSetStatusCallback(request_, OnStatus,
                                   WINHTTP_CALLBACK_FLAG_ALL_COMPLETIONS | WINHTTP_CALLBACK_FLAG_HANDLES,
                                   0) == WINHTTP_INVALID_STATUS_CALLBACK) {
      state_->Unref();  // no closing notification will release it
      return false;
    }
    callbackAttached_ = true;
    return true;
  }

  bool Open() {
    const TaskConfig& c = plan_.config;
    session_ = OpenSession();
    if (!session_) return Fail(kHttpErrorInternal, ::GetLastError());
    const int connectMs = static_cast<int>(c.connectTimeoutMs);
    if (!::WinHttpSetTimeouts(session_, connectMs, connectMs, static_cast<int>(c.sendTimeoutMs),
                              static_cast<int>(c.receiveTimeoutMs))) {
      return Fail(kHttpErrorInternal, ::GetLastError());
    }
    connect_ = ::WinHttpConnect(session_, plan_.url.host.c_str(), plan_.url.port, 0);
    if (!connect_) return Fail(kHttpErrorInternal, ::GetLastError());
    request_ = ::WinHttpOpenRequest(connect_, plan_.verb, plan_.url.pathAndQuery.c_str(), nullptr, WINHTTP_NO_REFERER,
                                    WINHTTP_DEFAULT_ACCEPT_TYPES, plan_.url.secure ? WINHTTP_FLAG_SECURE : 0);
    if (!request_ || !AttachCallback()) return Fail(kHttpErrorInternal, ::GetLastError());
    // A redirect could lead a loopback request anywhere: it is reported, never followed.
    DWORD never = WINHTTP_OPTION_REDIRECT_POLICY_NEVER;
    if (!::WinHttpSetOption(request_, WINHTTP_OPTION_REDIRECT_POLICY, &never, sizeof(never))) {
      return Fail(kHttpErrorInternal, ::GetLastError());
    }
    DWORD receiveMs = c.receiveTimeoutMs;
    (void)::WinHttpSetOption(request_, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &receiveMs, sizeof(receiveMs));
    for (const std::wstring& line : plan_.headers) {
      if (!::WinHttpAddRequestHeaders(request_, line.c_str(), static_cast<DWORD>(line.size()),
                                      WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE)) {
        return Fail(kHttpErrorInternal, ::GetLastError());
      }
    }
    return true;
  }

  Wait AwaitStep() {
    const ULONGLONG now = ::GetTickCount64();
    const DWORD ms = now >= deadline_ ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(deadline_ - now, INFINITE - 1));
    const HANDLE handles[2] = {cancel_, state_->stepDone.Get()};  // a cancel wins a tie
    switch (::WaitForMultipleObjects(2, handles, FALSE, ms)) {
      case WAIT_OBJECT_0:
        return Wait::kCancelled;
      case WAIT_OBJECT_0 + 1:
        return state_->completion == WINHTTP_CALLBACK_STATUS_REQUEST_ERROR ? Wait::kFailed : Wait::kDone;
      case WAIT_TIMEOUT:
        return Wait::kTimedOut;
      default:
        state_->error = ::GetLastError();
        abandoned_ = true;  // the step may still be running
        return Wait::kFailed;
    }
  }

  // Starts nothing itself: `started` is the result of the WinHTTP call that began the step.
  bool Step(BOOL started, HttpError phase) {
    if (!started) {
      const DWORD error = ::GetLastError();
      return Fail(MapError(error, phase), error);
    }
    switch (AwaitStep()) {
      case Wait::kDone:
        return true;
      case Wait::kFailed:
        return Fail(MapError(state_->error, phase), state_->error);
      case Wait::kCancelled:
        abandoned_ = true;
        return Fail(kHttpErrorCancelled);
      case Wait::kTimedOut:
        abandoned_ = true;
        return Fail(kHttpErrorTimeout, ERROR_WINHTTP_TIMEOUT);
    }
    return false;
  }

  bool Send() {
    const std::string& body = state_->requestBody;
    if (body.size() > MAXDWORD) return Fail(kHttpErrorInvalidArgument);
    const auto size = static_cast<DWORD>(body.size());
    void* data = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
    return Step(::WinHttpSendRequest(request_, WINHTTP_NO_ADDITIONAL_HEADERS, 0, data, size, size,
                                     reinterpret_cast<DWORD_PTR>(state_)),
                kHttpErrorSend);
  }

  std::optional<std::wstring> QueryText(DWORD info) {
    DWORD size = 0;
    ::WinHttpQueryHeaders(request_, info, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                          WINHTTP_NO_HEADER_INDEX);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > kMaxHeaderTextBytes) return std::nullopt;
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!::WinHttpQueryHeaders(request_, info, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                               WINHTTP_NO_HEADER_INDEX)) {
      return std::nullopt;
    }
    text.resize(size / sizeof(wchar_t));
    return text;
  }

  bool Receive() {
    if (!Step(::WinHttpReceiveResponse(request_, nullptr), kHttpErrorReceive)) return false;
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (!::WinHttpQueryHeaders(request_, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                               WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX) ||
        status < 100 || status > 999) {
      return Fail(kHttpErrorBadAnswer, ::GetLastError());
    }
    outcome_.httpStatus = static_cast<int>(status);
    if (const std::optional<std::wstring> length = QueryText(WINHTTP_QUERY_CONTENT_LENGTH)) {
      expectedLength_ = ParseContentLength(*length);
      if (!expectedLength_) return Fail(kHttpErrorBadAnswer);
      if (*expectedLength_ > plan_.config.maxAnswerBytes) return Fail(kHttpErrorTooLarge);
    }
    if (!StatusHasBody(outcome_.httpStatus)) expectedLength_ = 0;
    encoding_ = QueryText(WINHTTP_QUERY_CONTENT_ENCODING).value_or(L"");
    return true;
  }

  bool ReadBody() {
    std::string& raw = outcome_.body;
    const size_t cap = plan_.config.maxAnswerBytes;
    for (;;) {
      if (expectedLength_ && raw.size() == *expectedLength_) return true;
      if (!Step(::WinHttpReadData(request_, state_->readBuffer.data(), kReadChunk, nullptr), kHttpErrorReceive)) {
        return false;
      }
      const DWORD got = state_->bytes;
      if (got == 0) break;
      if (got > kReadChunk) return Fail(kHttpErrorInternal);
      if (got > cap - raw.size()) return Fail(kHttpErrorTooLarge);
      raw.append(state_->readBuffer.data(), got);
    }
    // The connection ended before the announced length: the answer is cut short.
    if (expectedLength_ && raw.size() != *expectedLength_) return Fail(kHttpErrorReceive, ERROR_HANDLE_EOF);
    return true;
  }

  void Decode() {
    if (!plan_.config.ungzipAnswer) return;
    std::wstring coding = encoding_;
    coding.erase(0, coding.find_first_not_of(L" \t"));
    coding.erase(coding.find_last_not_of(L" \t") + 1);
    if (coding.empty() || ::lstrcmpiW(coding.c_str(), L"identity") == 0) return;
    if (::lstrcmpiW(coding.c_str(), L"gzip") != 0 && ::lstrcmpiW(coding.c_str(), L"x-gzip") != 0) {
      Fail(kHttpErrorBadAnswer);  // we asked for gzip or nothing
      return;
    }
    std::string decoded;
    switch (GzipDecompress(outcome_.body, plan_.config.maxAnswerBytes, decoded)) {
      case GunzipResult::kOk:
        outcome_.body = std::move(decoded);
        break;
      case GunzipResult::kMalformed:
        Fail(kHttpErrorBadAnswer);
        break;
      case GunzipResult::kTooLarge:
        Fail(kHttpErrorTooLarge);
        break;
    }
  }

  // Closing the request handle is WinHTTP's way to abandon it. On Windows that also ends an
  // operation in progress at once; Wine 8 lets a receive in progress run to its own timeout. An
  // abandoned request is therefore not waited for: its last notification releases the state.
  void Close() {
    for (HINTERNET* handle : {&request_, &connect_, &session_}) {
      if (*handle) ::WinHttpCloseHandle(std::exchange(*handle, nullptr));
    }
    if (callbackAttached_ &&
        (abandoned_ || ::WaitForSingleObject(state_->requestClosed.Get(), kCloseConfirmMs) != WAIT_OBJECT_0)) {
      KeepModuleLoaded();
    }
    if (outcome_.error != kHttpOk) outcome_.body.clear();
  }

  RequestPlan plan_;
  HANDLE cancel_;
  AsyncState* state_ = new AsyncState();
  RequestOutcome outcome_;
  ULONGLONG deadline_ = 0;
  HINTERNET session_ = nullptr;
  HINTERNET connect_ = nullptr;
  HINTERNET request_ = nullptr;
  bool callbackAttached_ = false;
  bool abandoned_ = false;  // an operation was still running when the request ended
  std::optional<uint64_t> expectedLength_;
  std::wstring encoding_;
};

}  // namespace

RequestOutcome RunRequest(RequestPlan plan, HANDLE cancelEvent) {
  Exchange exchange(std::move(plan), cancelEvent);
  return exchange.Run();
}

}  // namespace netkit
