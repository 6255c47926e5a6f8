#include "tests/unit/netkit/netkit_library.h"

#include "tests/support/test_support.h"

namespace netkit_test {

const NetKitLibrary& NetKitLibrary::Get() {
  static const NetKitLibrary library = [] {
    NetKitLibrary l;
    const std::wstring path = testing_support::BinDir() + L"NetKit.dll";
    l.module = ::LoadLibraryW(path.c_str());
    if (!l.module) return l;
    l.httpInit = reinterpret_cast<PFN_HttpInit>(::GetProcAddress(l.module, NETKIT_EXPORT_HTTP_INIT));
    l.httpUninit = reinterpret_cast<PFN_HttpUninit>(::GetProcAddress(l.module, NETKIT_EXPORT_HTTP_UNINIT));
    l.uncompress = reinterpret_cast<PFN_zlib_uncompress>(::GetProcAddress(l.module, NETKIT_EXPORT_ZLIB_UNCOMPRESS));
    l.compress = reinterpret_cast<PFN_zlib_compress>(::GetProcAddress(l.module, NETKIT_EXPORT_ZLIB_COMPRESS));
    l.compressBound =
        reinterpret_cast<PFN_zlib_compressBound>(::GetProcAddress(l.module, NETKIT_EXPORT_ZLIB_COMPRESS_BOUND));
    return l;
  }();
  return library;
}

RecordingCallback::RecordingCallback() : called_(::CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

RecordingCallback::~RecordingCallback() { ::CloseHandle(called_); }

void NETKIT_CALL RecordingCallback::OnHttpTaskComplete(IHttpTask* task) {
  Completion c;
  c.state = task->GetState();
  c.status = task->GetHttpStatus();
  c.error = task->GetError();
  c.platformError = task->GetPlatformError();
  size_t size = 0;
  if (const char* body = task->GetBody(&size)) c.body.assign(body, size);
  c.threadId = ::GetCurrentThreadId();
  {
    std::lock_guard<std::mutex> hold(mutex_);
    last_ = c;
  }
  calls_.fetch_add(1);
  if (also) also(task);
  ::SetEvent(called_);
}

bool RecordingCallback::WaitForCall(DWORD limitMs) const {
  return ::WaitForSingleObject(called_, limitMs) == WAIT_OBJECT_0;
}

Completion RecordingCallback::Last() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return last_;
}

IHttpTask* MakeTask(IHttpManager* manager, const FormRequest& form, IHttpTaskCallback* callback) {
  IHttpTask* task = manager->CreateTask();
  if (!task) return nullptr;
  bool ok = true;
  if (form.ungzip) ok &= task->SetOption("ungzip", nullptr) != 0;
  if (form.gzip) ok &= task->SetOption("gzip", nullptr) != 0;
  for (const auto& [name, value] : form.options) ok &= task->SetOption(name.c_str(), value.c_str()) != 0;
  for (const auto& [name, value] : form.headers) ok &= task->AddHeader(name.c_str(), value.c_str()) != 0;
  for (const auto& [name, value] : form.fields) ok &= task->AddFormField(name.c_str(), value.c_str()) != 0;
  ok &= task->SetCallback(callback) != 0;
  if (!ok) {
    task->Release();
    return nullptr;
  }
  return task;
}

}  // namespace netkit_test
