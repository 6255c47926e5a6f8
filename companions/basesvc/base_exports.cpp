// The exports of QuellinBase.dll.
#include <windows.h>

#include <cwchar>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "appconfig/folders.h"
#include "base/paths.h"
#include "companions/basesvc/base_services.h"
#include "companions/basesvc/quellin_base_api.h"
#include "companions/netkit/netkit_api.h"

namespace {

HMODULE g_self = nullptr;

// Resolved on every call, not cached: the library stays loaded once reports can go out (see
// HttpManager), and a later host may name another data folder.
std::wstring ConfigPath() { return base::JoinPath(folders::ResolveDataFolder(), L"config.ini"); }
std::wstring StateFile() { return base::JoinPath(folders::ResolveDataFolder(), L"base.ini"); }

// The version of the program that loaded the library, "a.b.c.d".
std::wstring HostVersion() {
  wchar_t path[MAX_PATH] = {};
  if (!::GetModuleFileNameW(nullptr, path, MAX_PATH)) return L"0.0.0.0";
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(path, &ignored);
  if (size == 0 || size > 0x10000) return L"0.0.0.0";
  std::vector<BYTE> block(size);
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!::GetFileVersionInfoW(path, 0, size, block.data()) ||
      !::VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) || !fixed) {
    return L"0.0.0.0";
  }
  wchar_t text[48] = {};
  std::swprintf(text, 48, L"%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS), LOWORD(fixed->dwFileVersionMS),
                HIWORD(fixed->dwFileVersionLS), LOWORD(fixed->dwFileVersionLS));
  return text;
}

// A finished report needs nothing more than to be given back.
class ReleaseWhenDone : public IHttpTaskCallback {
 public:
  void NETKIT_CALL OnHttpTaskComplete(IHttpTask* task) override { task->Release(); }
};
ReleaseWhenDone g_release_when_done;

// NetKit.dll beside this library, loaded on the first report that is sent and kept.
IHttpManager* HttpManager() {
  static std::once_flag once;
  static IHttpManager* manager = nullptr;
  std::call_once(once, [] {
    wchar_t path[MAX_PATH] = {};
    if (!::GetModuleFileNameW(g_self, path, MAX_PATH)) return;
    const std::wstring library = base::JoinPath(base::FolderOf(path), L"NetKit.dll");
    HMODULE netkit = library.empty() ? nullptr : ::LoadLibraryW(library.c_str());
    auto init = netkit ? reinterpret_cast<PFN_HttpInit>(::GetProcAddress(netkit, NETKIT_EXPORT_HTTP_INIT)) : nullptr;
    if (init) manager = init();
    // A report in flight calls back into this library from NetKit's thread, after its sender has
    // returned and perhaps after the host has freed the library: once reports can go out, the
    // library stays loaded for the life of the process.
    HMODULE pinned = nullptr;
    if (manager) {
      ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                           reinterpret_cast<LPCWSTR>(&g_release_when_done), &pinned);
    }
  });
  return manager;
}

class PLibWrapper final : public IPLibWrapper {
 public:
  PLibWrapper() = default;
  virtual ~PLibWrapper() = default;
  int QLBASE_CALL Initialize(int reserved, const char* product, int) override {
    return reserved == 0 && product != nullptr ? 1 : 0;
  }
  void QLBASE_CALL Release() override { delete this; }  // NOLINT: the wrapper owns itself
  int QLBASE_CALL GetVersion(wchar_t* buffer, int chars) override {
    const std::wstring version = HostVersion();
    if (!buffer || chars <= static_cast<int>(version.size())) return 0;
    std::wcscpy(buffer, version.c_str());
    return static_cast<int>(version.size());
  }
  int QLBASE_CALL IsStatisticsOn() override { return qlbase::ReadStatSettings(ConfigPath()).enabled ? 1 : 0; }
  void QLBASE_CALL SetQuickIndexState(int state) override { qlbase::WriteQuickIndexState(StateFile(), state); }
  int QLBASE_CALL GetQuickIndexState() override { return qlbase::ReadQuickIndexState(StateFile()); }
};

}  // namespace

extern "C" {

__declspec(dllexport) void WINAPI StartStat() {
  // A session is only the first report's business; nothing is sent for starting one.
}

__declspec(dllexport) int WINAPI SendStatUrl(const wchar_t* event, const wchar_t* detail) {
  if (!event || !detail) return 0;
  const qlbase::StatSettings settings = qlbase::ReadStatSettings(ConfigPath());
  if (!settings.enabled || settings.url.empty()) return 0;
  const auto form = qlbase::ReportForm(event, detail, HostVersion(), qlbase::OsVersionText());
  if (form.empty()) return 0;
  IHttpManager* manager = HttpManager();
  IHttpTask* task = manager ? manager->CreateTask() : nullptr;
  if (!task) return 0;
  bool ok = task->AddHeader("Content-Type", "multipart/form-data") != 0;
  for (const auto& [name, value] : form) ok = ok && task->AddFormField(name.c_str(), value.c_str()) != 0;
  ok = ok && task->SetCallback(&g_release_when_done) != 0;
  // The report goes off on the library's thread; the caller does not wait for the answer.
  if (!ok || !task->Start(kHttpPostForm, settings.url.c_str())) {
    task->Release();
    return 0;
  }
  return 1;
}

__declspec(dllexport) IPLibWrapper* WINAPI CreatePLibWrapper() { return new (std::nothrow) PLibWrapper(); }

__declspec(dllexport) int WINAPI GetOsVersion(wchar_t* buffer, int chars) {
  const std::wstring version = qlbase::OsVersionText();
  if (!buffer || chars <= static_cast<int>(version.size())) return 0;
  std::wcscpy(buffer, version.c_str());
  return static_cast<int>(version.size());
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = instance;
    ::DisableThreadLibraryCalls(instance);
  }
  return TRUE;
}

}  // extern "C"
