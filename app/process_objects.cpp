#include "app/process_objects.h"

#include <windows.h>

#include "image/current_image.h"
#include "ipc/channel.h"
#include "view/system_cache.h"
#include "view/view_links.h"

void ReleaseCurrentImage() { CCurrentImage::DestroyInstance(); }

void ReleasePreloaderAndFolderList() {
  CSystemCache::DestroyInstance();
  DestroyCurrentFolderList();
}

// The base-services wrapper goes with the usage-statistics service, which services::UninstallAll
// has already released; nothing of it is left at this point.
void ReleaseBaseServices() {}

void ReleaseMessageChannel() { CIPCMessageMgr::DestroyInstance(); }

namespace {

unsigned long __stdcall ExitWatchdog(void* param) noexcept {
  ::Sleep(static_cast<DWORD>(reinterpret_cast<uintptr_t>(param)));
  // The window and the settings went first; whatever hangs the release of the rest cannot keep a
  // process without a window alive.
  ::TerminateProcess(::GetCurrentProcess(), 0);
  return 0;
}

}  // namespace

void StartExitWatchdog(unsigned long milliseconds) {
  HANDLE thread = ::CreateThread(nullptr, 0, &ExitWatchdog, reinterpret_cast<void*>(uintptr_t{milliseconds}), 0,
                                 nullptr);
  if (thread) ::CloseHandle(thread);
}
