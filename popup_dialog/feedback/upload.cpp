#include "popup_dialog/feedback/upload.h"

#include "base/paths.h"

namespace feedback {

IHttpManager* NetKitManager(const std::wstring& programFolder) {
  static HMODULE library = nullptr;
  static IHttpManager* manager = nullptr;
  if (manager) return manager;
  if (!library) {
    const std::wstring path = base::JoinPath(programFolder, L"NetKit.dll");
    library = ::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!library) return nullptr;
  }
  const auto init = reinterpret_cast<PFN_HttpInit>(::GetProcAddress(library, NETKIT_EXPORT_HTTP_INIT));
  const auto uninit = reinterpret_cast<PFN_HttpUninit>(::GetProcAddress(library, NETKIT_EXPORT_HTTP_UNINIT));
  if (!init || !uninit) return nullptr;
  manager = init();
  return manager;
}

UploadTask StartUpload(IHttpManager& manager, const std::wstring& url, const FormFields& fields,
                       IHttpTaskCallback* callback, int* error) {
  *error = kHttpErrorInternal;
  UploadTask task(manager.CreateTask());
  if (!task) return nullptr;
  const auto refused = [&] {
    *error = task->GetError();
    return nullptr;
  };
  if (!task->SetOption("ungzip", nullptr) || !task->SetOption("gzip", nullptr) ||
      !task->AddHeader("Content-Type", "multipart/form-data")) {
    return refused();
  }
  for (const auto& [name, value] : fields) {
    if (!task->AddFormField(name.c_str(), value.c_str())) return refused();
  }
  if (!task->SetCallback(callback) || !task->Start(kHttpPostForm, url.c_str())) return refused();
  *error = kHttpOk;
  return task;
}

TaskReport ReportOf(IHttpTask& task) {
  TaskReport report;
  report.state = task.GetState();
  report.error = task.GetError();
  report.http_status = task.GetHttpStatus();
  size_t size = 0;
  const char* body = task.GetBody(&size);
  if (body) report.body = std::string_view(body, size);
  return report;
}

}  // namespace feedback
