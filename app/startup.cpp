#include "app/startup.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cwchar>

#include "appconfig/app_config.h"
#include "appconfig/command_line.h"
#include "appconfig/folders.h"
#include "base/handles.h"
#include "base/paths.h"
#include "companions/assoc/assoc_kit_client.h"

namespace startup {

namespace {

constexpr wchar_t kTrayProgram[] = L"QuellinTray.exe";
// An installer waits this long for a viewer that is busy with association work; after that it
// goes on rather than hang (a viewer that took the mutex keeps it until its thread ends).
constexpr DWORD kAssociationWaitMs = 60 * 1000;
// A receiver that is alive may take its time to open the picture; a hung one is given up on.
constexpr UINT kHandOverTimeoutMs = 10 * 1000;

void RunInstall() {
  base::KernelHandle mutex(::CreateMutexW(nullptr, FALSE, kFileAssociationMutex));
  if (mutex) ::WaitForSingleObject(mutex.Get(), kAssociationWaitMs);
  AppConfig& config = AppConfig::Get();
  config.user_set_default_viewer = 1;
  config.Save();
  assoc::AssocKitClient(base::GetModuleFolder()).SetDefaultImageViewer();
  // The handle is closed without releasing: the mutex is abandoned, which waiters accept.
}

// Deleting a drive root or an empty path would be a disaster; the data folder is never either.
bool IsSafeToDelete(const std::wstring& folder) {
  if (folder.size() < 4) return false;
  return !::PathIsRootW(folder.c_str());
}

void RunUninstall() {
  assoc::AssocKitClient(base::GetModuleFolder()).UnInstall(HKEY_CURRENT_USER);
  std::wstring folder = GetDataFolder();
  while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
  if (!IsSafeToDelete(folder) || !base::IsDirectory(folder)) return;
  std::wstring from = folder;
  from.push_back(L'\0');  // the list of paths ends with a second zero
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
  const int result = ::SHFileOperationW(&op);
  // Some shells (Wine's among them) leave the folder behind; finish the job ourselves.
  if (result != 0 || base::FileExists(folder)) base::DeleteTree(folder);
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) noexcept {
  auto* context = reinterpret_cast<WindowEnumContext*>(param);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(window, &pid);
  if (pid == 0 || pid == ::GetCurrentProcessId()) return TRUE;
  if (context->processId != 0 && pid != context->processId) return TRUE;
  wchar_t name[257] = {};
  const int length = ::GetClassNameW(window, name, 257);
  if (length <= 0 || static_cast<size_t>(length) != context->className.size() ||
      context->className.compare(0, std::wstring::npos, name, static_cast<size_t>(length)) != 0) {
    return TRUE;
  }
  context->found.emplace_back(window, std::wstring(name, static_cast<size_t>(length)));
  return context->stopAfterFirst ? FALSE : TRUE;
}

bool HasExactTitle(HWND window, const wchar_t* title) {
  wchar_t text[64] = {};
  const int length = ::GetWindowTextW(window, text, 64);
  return length >= 0 && std::wstring_view(text, static_cast<size_t>(length)) == title;
}

// Offers the file argument to an idle main window of another viewer process.
bool HandToIdleMainWindow(const std::wstring& path) {
  WindowEnumContext context;
  context.className = kMainWindowClass;
  FindTopLevelWindows(context);
  for (const auto& [window, className] : context.found) {
    if (HasExactTitle(window, kIdleMainWindowTitle) && SendHandOver(window, path) != 0) return true;
  }
  return false;
}

}  // namespace

int HandleStartupSwitches(const CCommandLine& commandLine) {
  if (commandLine.HasSwitch(L"install")) {
    RunInstall();
    return 0;
  }
  if (commandLine.HasSwitch(L"uninstall")) {
    RunUninstall();
    return 0;
  }
  if (commandLine.HasSwitch(L"setting") && SendToAlwaysReceiver(L"--setting") != 0) return 0;
  if (commandLine.HasSwitch(L"show-existing") && SendToAlwaysReceiver(commandLine.GetRawCommandLine()) != 0) {
    return 0;
  }
  const std::wstring path = commandLine.GetFileArgument();
  if (AppConfig::Get().only_one_instance) {
    HWND receiver = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, kReceiverTitle);
    if (receiver && SendHandOver(receiver, path) != 0) return 0;
  }
  if (HandToIdleMainWindow(path)) return 0;
  return 1;
}

LRESULT SendHandOver(HWND target, const std::wstring& text) {
  if (!target) return 0;
  COPYDATASTRUCT record{};
  record.dwData = kHandOverId;
  record.cbData = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  record.lpData = const_cast<wchar_t*>(text.c_str());
  DWORD_PTR answer = 0;
  if (!::SendMessageTimeoutW(target, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record),
                             SMTO_ABORTIFHUNG | SMTO_NOTIMEOUTIFNOTHUNG, kHandOverTimeoutMs, &answer)) {
    return 0;
  }
  return static_cast<LRESULT>(answer);
}

LRESULT SendToAlwaysReceiver(const std::wstring& text) {
  HWND receiver = ::FindWindowExW(HWND_MESSAGE, nullptr, nullptr, kAlwaysReceiverTitle);
  return receiver ? SendHandOver(receiver, text) : 0;
}

bool IsNamedMutexPresent(const wchar_t* name) {
  ::SetLastError(ERROR_SUCCESS);
  base::KernelHandle mutex(::OpenMutexW(MUTEX_MODIFY_STATE, FALSE, name));
  const DWORD error = ::GetLastError();
  return mutex.IsValid() || error == ERROR_ACCESS_DENIED;
}

bool IsUpdatePending() { return IsUpdatePendingIn(base::JoinPath(base::GetModuleFolder(), L"config.ini")); }

bool IsUpdatePendingIn(const std::wstring& configPath) {
  if (configPath.empty() || !base::FileExists(configPath)) return false;
  wchar_t state[MAX_PATH] = {};
  ::GetPrivateProfileStringW(L"update", L"state", L"", state, MAX_PATH, configPath.c_str());
  return std::wcscmp(state, L"pixloUpdate") == 0 && !IsNamedMutexPresent(kUpdateRunningMutex);
}

bool StartTrayCompanion(const std::wstring& extraParameters) {
  if (IsNamedMutexPresent(kTrayMutex) || IsNamedMutexPresent(kTrayUpgradeMutex)) return false;
  const std::wstring program = base::JoinPath(base::GetModuleFolder(), kTrayProgram);
  if (program.empty()) return false;
  const std::wstring parameters = extraParameters + L" --from=main";
  const HINSTANCE result =
      ::ShellExecuteW(nullptr, L"open", program.c_str(), parameters.c_str(), nullptr, SW_SHOWDEFAULT);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

void FindTopLevelWindows(WindowEnumContext& context) {
  ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&context));
}

}  // namespace startup
