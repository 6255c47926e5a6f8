#pragma once
// One HTTP exchange over WinHTTP, run to its end on the calling thread. WinHTTP works
// asynchronously underneath, so that a cancel event or the request's own time limit can stop it
// at any step by closing its handles, which is WinHTTP's way of abandoning a request.
#include <windows.h>

#include <string>
#include <vector>

#include "companions/netkit/netkit_api.h"
#include "companions/netkit/request_url.h"
#include "companions/netkit/task_config.h"

namespace netkit {

struct RequestPlan {
  const wchar_t* verb = L"GET";
  RequestUrl url;
  std::vector<std::wstring> headers;  // "Name: value"
  std::string body;                   // sent as it is
  TaskConfig config;
};

struct RequestOutcome {
  HttpError error = kHttpOk;
  DWORD platformError = 0;
  int httpStatus = 0;
  std::string body;  // decoded when the answer was gzip and ungzip was asked for
};

// Runs the request; returns kHttpErrorCancelled as soon as the event is set.
RequestOutcome RunRequest(RequestPlan plan, HANDLE cancelEvent);

}  // namespace netkit
