#pragma once
// What became of an upload, read from the HTTP library's final report and the server's JSON
// answer ({"errno": number, "msg": text}). Only an answer that says errno 0 with HTTP status 200
// counts as accepted: a refusal, another status, an answer that is not such an object and a
// failed exchange are each told apart, so that the form never closes on a failure.
#include <cstddef>
#include <string>
#include <string_view>

namespace feedback {

enum class Outcome {
  kAccepted,     // 200 and errno 0
  kRefused,      // 200 and errno other than 0; message: the server's "msg", when it gave one
  kHttpStatus,   // an answer with another status; code: the status
  kUnreadable,   // 200 but not a JSON object with a numeric "errno"
  kNoAnswer,     // the exchange failed (no connection, timeout, cut short); code: the library's error
  kCancelled,    // stopped by us: nothing to tell
};

struct UploadResult {
  Outcome outcome = Outcome::kNoAnswer;
  long long code = 0;
  std::wstring message;
};

// The HTTP library's final report of a task (netkit_api.h: HttpTaskState, HttpError).
struct TaskReport {
  int state = 0;
  int error = 0;
  int http_status = 0;
  std::string_view body;
};

// The server's message is shown in one label: at most this many characters, line breaks and
// other control characters as spaces.
inline constexpr size_t kMaxServerMessage = 200;

UploadResult ReadUploadResult(const TaskReport& report);

}  // namespace feedback
