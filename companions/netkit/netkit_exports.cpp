// The library's exports: the HTTP manager and the zlib wrappers. The names are plain on both
// architectures (the x86 build strips the stdcall decoration at link time).
#include "base/handles.h"
#include "companions/netkit/http_task.h"
#include "companions/netkit/netkit_api.h"
#include "companions/netkit/task_registry.h"
#include "companions/netkit/zlib_codec.h"

namespace {

class HttpManager final : public IHttpManager {
 public:
  IHttpTask* NETKIT_CALL CreateTask() noexcept override {
    base::CriticalSectionLock hold(lock_);
    return initCount_ > 0 ? netkit::HttpTask::Create() : nullptr;
  }

  IHttpManager* Init() noexcept {
    base::CriticalSectionLock hold(lock_);
    if (initCount_++ == 0) netkit::RunningTasks::Get().Open();
    return this;
  }

  void Uninit() noexcept {
    {
      base::CriticalSectionLock hold(lock_);
      if (initCount_ == 0 || --initCount_ > 0) return;
    }
    // Outside the lock: a callback that is finishing may still create a task (and get none).
    netkit::RunningTasks::Get().CloseAndCancelAll();
  }

 private:
  base::CriticalSection lock_;
  int initCount_ = 0;
};

HttpManager& Manager() {
  static HttpManager manager;
  return manager;
}

}  // namespace

extern "C" {

__declspec(dllexport) IHttpManager* WINAPI HttpInit() { return Manager().Init(); }

__declspec(dllexport) void WINAPI HttpUninit() { Manager().Uninit(); }

__declspec(dllexport) int WINAPI zlib_uncompress(unsigned char* dest, unsigned long* destLen,
                                                 const unsigned char* source, unsigned long sourceLen) {
  return netkit::CheckedUncompress(dest, destLen, source, sourceLen);
}

__declspec(dllexport) int WINAPI zlib_compress(unsigned char* dest, unsigned long* destLen,
                                               const unsigned char* source, unsigned long sourceLen) {
  return netkit::CheckedCompress(dest, destLen, source, sourceLen);
}

__declspec(dllexport) unsigned long WINAPI zlib_compressBound(unsigned long sourceLen) {
  return netkit::CheckedCompressBound(sourceLen);
}

}  // extern "C"
