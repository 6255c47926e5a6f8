#pragma once
// NetKit.dll as the feedback dialog meets it: loaded from the program folder with LoadLibraryW,
// its entry points found with GetProcAddress; and a completion callback that records what the
// library reported.
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>

#include "companions/netkit/netkit_api.h"

namespace netkit_test {

struct NetKitLibrary {
  HMODULE module = nullptr;
  PFN_HttpInit httpInit = nullptr;
  PFN_HttpUninit httpUninit = nullptr;
  PFN_zlib_uncompress uncompress = nullptr;
  PFN_zlib_compress compress = nullptr;
  PFN_zlib_compressBound compressBound = nullptr;

  // Loaded once per test program and never unloaded, as the viewer keeps it.
  static const NetKitLibrary& Get();
  bool Complete() const { return httpInit && httpUninit && uncompress && compress && compressBound; }
};

// What the callback saw, copied inside the call (the task may be gone afterwards).
struct Completion {
  int state = -1;
  int status = -1;
  int error = -1;
  DWORD platformError = 0;
  std::string body;
  DWORD threadId = 0;
};

class RecordingCallback : public IHttpTaskCallback {
 public:
  RecordingCallback();
  ~RecordingCallback();
  void NETKIT_CALL OnHttpTaskComplete(IHttpTask* task) override;

  // Runs inside the callback after the recording, on the library's thread.
  std::function<void(IHttpTask*)> also;
  bool WaitForCall(DWORD limitMs = 30000) const;
  int Calls() const { return calls_.load(); }
  Completion Last() const;

 private:
  std::atomic<int> calls_{0};
  mutable std::mutex mutex_;
  Completion last_;
  HANDLE called_;
};

// The dialog's sequence, in its order: options, header, fields, callback. Returns the task.
struct FormRequest {
  bool gzip = false;
  bool ungzip = false;
  std::vector<std::pair<std::string, std::string>> options;
  std::vector<std::pair<std::string, std::string>> headers;
  std::vector<std::pair<std::string, std::string>> fields;
};
IHttpTask* MakeTask(IHttpManager* manager, const FormRequest& form, IHttpTaskCallback* callback);

}  // namespace netkit_test
