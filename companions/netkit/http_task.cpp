#include "companions/netkit/http_task.h"

#include <new>
#include <optional>

#include "companions/netkit/task_registry.h"
#include "companions/netkit/zlib_codec.h"

namespace netkit {
namespace {

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

}  // namespace

HttpTask::HttpTask()
    : cancel_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)),
      callbackIdle_(::CreateEventW(nullptr, TRUE, TRUE, nullptr)) {}

HttpTask* HttpTask::Create() noexcept {
  HttpTask* task = new (std::nothrow) HttpTask();
  if (task && (!task->cancel_ || !task->callbackIdle_)) {
    delete task;
    return nullptr;
  }
  return task;
}

void HttpTask::DropRef() noexcept {
  if (refs_.fetch_sub(1) == 1) delete this;
}

int HttpTask::Refuse(HttpError error) noexcept {
  if (Configurable()) error_ = error;
  return 0;
}

int HttpTask::SetOption(const char* name, const char* value) noexcept {
  base::CriticalSectionLock hold(lock_);
  if (!Configurable()) return 0;
  TaskConfig changed = config_;
  if (!ApplyOption(changed, name, value)) return Refuse(kHttpErrorInvalidArgument);
  config_ = changed;
  return 1;
}

int HttpTask::AddHeader(const char* name, const char* value) noexcept try {
  base::CriticalSectionLock hold(lock_);
  if (!Configurable()) return 0;
  if (!name || !value || !IsValidHeader(name, value) || IsLibraryHeader(name)) {
    return Refuse(kHttpErrorInvalidArgument);
  }
  headers_.push_back({name, value});
  return 1;
} catch (...) {
  return Refuse(kHttpErrorInternal);
}

int HttpTask::AddFormField(const char* name, const char* value) noexcept try {
  base::CriticalSectionLock hold(lock_);
  if (!Configurable()) return 0;
  if (!name || !value || !IsValidFieldName(name)) return Refuse(kHttpErrorInvalidArgument);
  fields_.push_back({name, value});
  return 1;
} catch (...) {
  return Refuse(kHttpErrorInternal);
}

int HttpTask::SetCallback(IHttpTaskCallback* callback) noexcept {
  base::CriticalSectionLock hold(lock_);
  if (!Configurable()) return 0;
  callback_ = callback;
  return 1;
}

// The request as it goes out: verb, checked URL, headers with the library's own, and the body.
bool HttpTask::BuildPlan(int kind, const wchar_t* url, RequestPlan& plan) {
  if (kind != kHttpGet && kind != kHttpPostForm) return Refuse(kHttpErrorInvalidArgument);
  if (kind == kHttpGet && !fields_.empty()) return Refuse(kHttpErrorInvalidArgument);
  const std::optional<RequestUrl> parsed = url ? ParseRequestUrl(url) : std::nullopt;
  if (!parsed) return Refuse(kHttpErrorRefusedUrl);
  plan.url = *parsed;
  plan.config = config_;
  plan.verb = kind == kHttpGet ? L"GET" : L"POST";
  for (const Header& h : headers_) {
    if (kind == kHttpPostForm && EqualsNoCaseAscii(h.name, "Content-Type")) {
      if (!IsMultipartFormType(h.value)) return Refuse(kHttpErrorInvalidArgument);
      continue;  // replaced below by the type with our boundary
    }
    plan.headers.push_back(Widen(h.name) + L": " + Widen(h.value));
  }
  if (kind == kHttpPostForm) {
    std::optional<MultipartBody> body = BuildMultipartBody(fields_, SystemRandom);
    if (!body) return Refuse(kHttpErrorInternal);
    plan.headers.push_back(L"Content-Type: " + Widen(MultipartContentType(body->boundary)));
    plan.body = std::move(body->bytes);
  }
  if (config_.gzipRequest && !plan.body.empty()) plan.headers.push_back(L"Content-Encoding: gzip");
  if (config_.ungzipAnswer) plan.headers.push_back(L"Accept-Encoding: gzip");
  return true;
}

int HttpTask::Start(int kind, const wchar_t* url) noexcept try {
  base::CriticalSectionLock hold(lock_);
  if (!Configurable()) return 0;
  RequestPlan plan;
  if (!BuildPlan(kind, url, plan)) return 0;
  plan_ = std::move(plan);
  // The thread keeps this module loaded until its last instruction, whatever the caller does.
  HMODULE module = nullptr;
  if (!::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ThreadMain),
                            &module)) {
    return Refuse(kHttpErrorInternal);
  }
  AddRef();
  if (!RunningTasks::Get().Add(this)) {
    refs_.fetch_sub(1);
    ::FreeLibrary(module);
    return Refuse(kHttpErrorInternal);
  }
  started_ = true;
  state_ = kHttpTaskRunning;
  base::KernelHandle thread(::CreateThread(nullptr, 0, ThreadMain, this, 0, nullptr));
  if (!thread) {
    started_ = false;
    state_ = kHttpTaskIdle;
    RunningTasks::Get().Remove(this);
    refs_.fetch_sub(1);
    ::FreeLibrary(module);
    platformError_ = ::GetLastError();
    return Refuse(kHttpErrorInternal);
  }
  return 1;
} catch (...) {
  return Refuse(kHttpErrorInternal);
}

DWORD WINAPI HttpTask::ThreadMain(void* param) noexcept {
  static_cast<HttpTask*>(param)->Work();
  HMODULE module = nullptr;
  ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThreadMain), &module);
  ::FreeLibraryAndExitThread(module, 0);
}

void HttpTask::Work() noexcept {
  RequestOutcome outcome;
  try {
    RequestPlan plan = std::move(plan_);
    std::string packed;
    if (plan.config.gzipRequest && !plan.body.empty() && !GzipCompress(plan.body, packed)) {
      outcome.error = kHttpErrorInternal;
    } else {
      if (!packed.empty()) plan.body = std::move(packed);
      outcome = RunRequest(std::move(plan), cancel_.Get());
    }
  } catch (...) {
    outcome = RequestOutcome{};
    outcome.error = kHttpErrorInternal;
  }
  Finish(std::move(outcome));
  RunningTasks::Get().Remove(this);
  DropRef();
}

void HttpTask::Finish(RequestOutcome outcome) noexcept {
  IHttpTaskCallback* callback = nullptr;
  {
    base::CriticalSectionLock hold(lock_);
    if (state_ == kHttpTaskCancelled) return;
    state_ = outcome.error == kHttpOk ? kHttpTaskFinished : kHttpTaskFailed;
    error_ = outcome.error;
    platformError_ = outcome.platformError;
    httpStatus_ = outcome.httpStatus;
    body_ = std::move(outcome.body);
    callback = callback_;
    if (callback) {
      callbackRunning_ = true;
      callbackThread_ = ::GetCurrentThreadId();
      ::ResetEvent(callbackIdle_.Get());
    }
  }
  if (!callback) return;
  try {
    callback->OnHttpTaskComplete(this);
  } catch (...) {
    // The caller's exception stops here; it must not unwind through the library's thread.
  }
  base::CriticalSectionLock hold(lock_);
  callbackRunning_ = false;
  ::SetEvent(callbackIdle_.Get());
}

void HttpTask::Cancel() noexcept {
  bool waitForCallback = false;
  {
    base::CriticalSectionLock hold(lock_);
    if (state_ == kHttpTaskRunning) {
      state_ = kHttpTaskCancelled;
      error_ = kHttpErrorCancelled;
      ::SetEvent(cancel_.Get());
    }
    // Inside the callback itself there is nothing to wait for.
    waitForCallback = callbackRunning_ && callbackThread_ != ::GetCurrentThreadId();
  }
  if (waitForCallback) WaitServingSentMessages(callbackIdle_.Get());
}

void HttpTask::Release() noexcept {
  Cancel();
  DropRef();
}

int HttpTask::GetState() noexcept {
  base::CriticalSectionLock hold(lock_);
  return state_;
}

int HttpTask::GetHttpStatus() noexcept {
  base::CriticalSectionLock hold(lock_);
  return httpStatus_;
}

const char* HttpTask::GetBody(size_t* size) noexcept {
  base::CriticalSectionLock hold(lock_);
  const bool finished = state_ == kHttpTaskFinished;
  if (size) *size = finished ? body_.size() : 0;
  return finished ? body_.c_str() : nullptr;
}

int HttpTask::GetError() noexcept {
  base::CriticalSectionLock hold(lock_);
  return error_;
}

DWORD HttpTask::GetPlatformError() noexcept {
  base::CriticalSectionLock hold(lock_);
  return platformError_;
}

}  // namespace netkit
