#pragma once
// The task behind IHttpTask: its settings until it starts, its thread while it runs, its result
// afterwards, and the rules that keep the caller's callback safe (once, and never after Cancel).
#include <windows.h>

#include <atomic>
#include <string>
#include <vector>

#include "base/handles.h"
#include "companions/netkit/http_request.h"
#include "companions/netkit/multipart_form.h"
#include "companions/netkit/netkit_api.h"
#include "companions/netkit/task_config.h"

namespace netkit {

class HttpTask final : public IHttpTask {
 public:
  // A task with one reference, the caller's; null when out of memory.
  static HttpTask* Create() noexcept;

  int NETKIT_CALL SetOption(const char* name, const char* value) noexcept override;
  int NETKIT_CALL AddHeader(const char* name, const char* value) noexcept override;
  int NETKIT_CALL AddFormField(const char* name, const char* value) noexcept override;
  int NETKIT_CALL SetCallback(IHttpTaskCallback* callback) noexcept override;
  int NETKIT_CALL Start(int kind, const wchar_t* url) noexcept override;
  void NETKIT_CALL Cancel() noexcept override;
  void NETKIT_CALL Release() noexcept override;
  int NETKIT_CALL GetState() noexcept override;
  int NETKIT_CALL GetHttpStatus() noexcept override;
  const char* NETKIT_CALL GetBody(size_t* size) noexcept override;
  int NETKIT_CALL GetError() noexcept override;
  DWORD NETKIT_CALL GetPlatformError() noexcept override;

  // The caller holds one reference and the running thread another.
  void AddRef() noexcept { refs_.fetch_add(1); }
  void DropRef() noexcept;

 private:
  struct Header {
    std::string name;
    std::string value;
  };

  HttpTask();
  ~HttpTask() = default;

  bool Configurable() const noexcept { return state_ == kHttpTaskIdle && !started_; }
  int Refuse(HttpError error) noexcept;
  bool BuildPlan(int kind, const wchar_t* url, RequestPlan& plan);
  static DWORD WINAPI ThreadMain(void* param) noexcept;
  void Work() noexcept;
  void Finish(RequestOutcome outcome) noexcept;

  std::atomic<long> refs_{1};
  base::CriticalSection lock_;
  // Settings; fixed once started.
  TaskConfig config_;
  std::vector<Header> headers_;
  std::vector<FormField> fields_;
  IHttpTaskCallback* callback_ = nullptr;
  bool started_ = false;
  RequestPlan plan_;  // handed to the thread
  // Running and result.
  base::KernelHandle cancel_;        // set by Cancel
  base::KernelHandle callbackIdle_;  // reset while the callback runs
  bool callbackRunning_ = false;
  DWORD callbackThread_ = 0;
  int state_ = kHttpTaskIdle;
  HttpError error_ = kHttpOk;
  DWORD platformError_ = 0;
  int httpStatus_ = 0;
  std::string body_;
};

}  // namespace netkit
