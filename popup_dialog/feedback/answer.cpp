#include "popup_dialog/feedback/answer.h"

#include <cJSON.h>

#include <cmath>
#include <memory>

#include "base/strings.h"
#include "companions/netkit/netkit_api.h"

namespace feedback {
namespace {

struct JsonDeleter {
  void operator()(cJSON* item) const { cJSON_Delete(item); }
};

std::wstring ShownMessage(const char* utf8) {
  std::wstring text = base::Utf8ToWide(utf8 ? std::string_view(utf8) : std::string_view());
  if (text.size() > kMaxServerMessage) {
    size_t cut = kMaxServerMessage;
    // Never half a surrogate pair.
    if (text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
    text.resize(cut);
    text += L"…";
  }
  for (wchar_t& c : text) {
    if (c < 0x20 || c == 0x7F) c = L' ';
  }
  // Blanks alone say nothing.
  return text.find_first_not_of(L' ') == std::wstring::npos ? std::wstring() : text;
}

UploadResult ReadJsonAnswer(std::string_view body) {
  // The whole body must be the one value: nothing after it, no zero byte inside it.
  const std::string text(body);
  const std::unique_ptr<cJSON, JsonDeleter> answer(
      text.find('\0') == std::string::npos ? cJSON_ParseWithOpts(text.c_str(), nullptr, true) : nullptr);
  const cJSON* code = answer && cJSON_IsObject(answer.get())
                          ? cJSON_GetObjectItemCaseSensitive(answer.get(), "errno")
                          : nullptr;
  if (!cJSON_IsNumber(code) || !std::isfinite(code->valuedouble)) return {Outcome::kUnreadable, 0, {}};
  if (code->valuedouble == 0) return {Outcome::kAccepted, 0, {}};
  const double value = code->valuedouble;
  const long long shown = std::fabs(value) < 1e15 ? static_cast<long long>(value) : 0;
  const cJSON* message = cJSON_GetObjectItemCaseSensitive(answer.get(), "msg");
  return {Outcome::kRefused, shown, cJSON_IsString(message) ? ShownMessage(message->valuestring) : std::wstring()};
}

}  // namespace

UploadResult ReadUploadResult(const TaskReport& report) {
  if (report.state == kHttpTaskCancelled) return {Outcome::kCancelled, 0, {}};
  if (report.state != kHttpTaskFinished) return {Outcome::kNoAnswer, report.error, {}};
  if (report.http_status != 200) return {Outcome::kHttpStatus, report.http_status, {}};
  return ReadJsonAnswer(report.body);
}

}  // namespace feedback
