#pragma once
// The feedback upload over NetKit.dll, the product's HTTP library beside the viewer: the library
// loaded once per process and kept, and one upload as a task that is released, never leaked.
#include <windows.h>

#include <memory>
#include <string>

#include "companions/netkit/netkit_api.h"
#include "popup_dialog/feedback/answer.h"
#include "popup_dialog/feedback/form.h"

namespace feedback {

// The library's manager, loading "NetKit.dll" from the folder on the first call and keeping it for
// the life of the process. Null when the library is missing or lacks HttpInit, HttpUninit or a
// manager; a later call tries again. User-interface thread only.
IHttpManager* NetKitManager(const std::wstring& programFolder);

struct TaskRelease {
  void operator()(IHttpTask* task) const noexcept {
    if (task) task->Release();
  }
};
// Releasing cancels a running request and waits for a callback in progress: afterwards no
// callback comes.
using UploadTask = std::unique_ptr<IHttpTask, TaskRelease>;

// Starts the form as a POST to the address: the body gzip-compressed, a gzip answer accepted, the
// multipart content type, the fields in their order, the callback. Null when the library refused
// any step (nothing was sent then); *error says why (an HttpError).
UploadTask StartUpload(IHttpManager& manager, const std::wstring& url, const FormFields& fields,
                       IHttpTaskCallback* callback, int* error);

// The task's final report; call once its callback has come.
TaskReport ReportOf(IHttpTask& task);

}  // namespace feedback
