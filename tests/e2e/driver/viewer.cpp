#include "tests/e2e/driver/viewer.h"

#include <shellapi.h>
#include <shlobj.h>

#include <psapi.h>

#include <cwctype>
#include <memory>

#include "base/paths.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/screen.h"

namespace e2e {
namespace {

std::wstring WithSlash(std::wstring folder) {
  if (!folder.empty() && folder.back() != L'\\') folder.push_back(L'\\');
  return folder;
}

std::wstring Quote(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

Viewer::Viewer(std::wstring programFolder, std::wstring dataFolder)
    : program_folder_(WithSlash(std::move(programFolder))), data_folder_(WithSlash(std::move(dataFolder))) {
  if (!HostPath(data_folder_).empty()) trash_folder_ = data_folder_ + L"Trash\\";
}

Viewer::~Viewer() {
  if (process_.IsRunning()) {
    for (void* block : dropped_) ::VirtualFreeEx(process_.Handle(), block, 0, MEM_RELEASE);
    // A viewer the test left open gets the user's way out first, then is ended.
    if (main_) ::PostMessageW(main_, WM_CLOSE, 0, 0);
    process_.WaitForExit(5000);
  }
}

bool Viewer::WriteSettings(const std::vector<std::string>& appKeys) const {
  std::string text = "[app]\r\n";
  for (const std::string& line : appKeys) text += line + "\r\n";
  HANDLE file = ::CreateFileW(ConfigPath().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
                  written == text.size();
  ::CloseHandle(file);
  return ok;
}

std::wstring Viewer::StoredSetting(const wchar_t* key) const {
  wchar_t value[512] = {};
  ::GetPrivateProfileStringW(L"app", key, L"", value, 512, ConfigPath().c_str());
  return value;
}

bool Viewer::Start(const std::wstring& picture, DWORD timeoutMs) {
  if (!StartAnother(process_, picture)) return false;
  main_ = WaitForTopLevelWindow(process_.Id(), kMainWindowClass, timeoutMs);
  return main_ != nullptr;
}

bool Viewer::StartAnother(Process& process, const std::wstring& picture) const {
  ScopedEnvironment data(L"QUELLIN_DATA_DIR", data_folder_.c_str());
  // Under Wine a file deleted "to the recycle bin" moves to the host's trash under XDG_DATA_HOME,
  // which Wine reads from the program's own environment: a viewer started here keeps its trash
  // in its data folder, never in the real home folder.
  std::string hostData = HostPath(data_folder_);
  while (hostData.size() > 1 && hostData.back() == '/') hostData.pop_back();
  // Under Wine without a usable host path the viewer would use the real trash: do not start.
  if (hostData.empty() && IsWine()) return false;
  const std::wstring trashHome(hostData.begin(), hostData.end());
  ScopedEnvironment trash(L"XDG_DATA_HOME", hostData.empty() ? nullptr : trashHome.c_str());
  return process.Start(program_folder_ + L"QuellinImg.exe", picture.empty() ? L"" : Quote(picture));
}

RECT Viewer::ChildRect(int id) const {
  RECT rect{};
  HWND child = Child(id);
  if (!child) return rect;
  ::GetWindowRect(child, &rect);
  ::MapWindowPoints(nullptr, main_, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

RECT Viewer::MainClientRect() const {
  RECT rect{};
  if (main_) ::GetClientRect(main_, &rect);
  return rect;
}

std::wstring Viewer::Caption() const { return main_ ? WindowText(main_) : L""; }

std::wstring Viewer::TitleText() const {
  HWND label = Child(kTitleLabelId);
  return label ? WindowText(label) : L"";
}

bool Viewer::WaitForCaption(const std::function<bool(const std::wstring&)>& condition, DWORD timeoutMs) const {
  return WaitUntil([&] { return condition(Caption()); }, timeoutMs);
}

bool Viewer::WaitForCaptionStart(const std::wstring& prefix, DWORD timeoutMs) const {
  return WaitForCaption([&](const std::wstring& caption) { return caption.rfind(prefix, 0) == 0; }, timeoutMs);
}

int Viewer::CaptionZoom() const {
  const std::wstring caption = Caption();
  if (caption.empty() || caption.back() != L'%') return -1;
  size_t start = caption.size() - 1;
  while (start > 0 && std::iswdigit(caption[start - 1])) --start;
  if (start == caption.size() - 1) return -1;
  return std::stoi(caption.substr(start, caption.size() - 1 - start));
}

bool Viewer::Focus() const {
  if (!main_ || !BringToForeground(main_)) return false;
  // The window manager side of the change (focus events, the key state brought in line) is
  // handled by the viewer's own message loop: let it settle before input arrives.
  WaitUntilQuiet(200, 3000);
  return true;
}

POINT Viewer::ViewPoint(int x, int y) const {
  POINT point{x, y};
  if (HWND view = View()) ::ClientToScreen(view, &point);
  return point;
}

POINT Viewer::ViewCentre() const {
  RECT client{};
  if (HWND view = View()) ::GetClientRect(view, &client);
  return ViewPoint(client.right / 2, client.bottom / 2);
}

POINT Viewer::ChildCentre(int id) const {
  RECT rect{};
  if (HWND child = Child(id)) ::GetWindowRect(child, &rect);
  return POINT{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

bool Viewer::DropFiles(const std::vector<std::wstring>& paths, POINT clientPoint) {
  // What the shell hands a window that takes dropped files: a DROPFILES header and the paths, each
  // ending with a zero, the list with a second one. Windows hands it over as global memory of
  // the receiving process; the block is written straight into the viewer's memory here, and its
  // address serves as the handle, because for a block that is not a movable handle GlobalLock
  // answers the address itself. (Dragging with OLE does not reach a window that registered no
  // drop target of its own, and the viewer only asks for dropped files.)
  std::vector<BYTE> block(sizeof(DROPFILES));
  auto* header = reinterpret_cast<DROPFILES*>(block.data());
  header->pFiles = sizeof(DROPFILES);
  header->pt = clientPoint;
  header->fNC = FALSE;
  header->fWide = TRUE;
  for (const std::wstring& path : paths) {
    const auto* bytes = reinterpret_cast<const BYTE*>(path.c_str());
    block.insert(block.end(), bytes, bytes + (path.size() + 1) * sizeof(wchar_t));
  }
  block.insert(block.end(), sizeof(wchar_t), 0);
  void* remote = ::VirtualAllocEx(process_.Handle(), nullptr, block.size(), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (!remote) return false;
  dropped_.push_back(remote);
  SIZE_T written = 0;
  return ::WriteProcessMemory(process_.Handle(), remote, block.data(), block.size(), &written) &&
         written == block.size() && ::PostMessageW(main_, WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

bool Viewer::Responds(DWORD timeoutMs) const {
  DWORD_PTR answer = 0;
  return main_ && ::SendMessageTimeoutW(main_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &answer) != 0;
}

double Viewer::CpuTimeMs() const {
  FILETIME created{}, ended{}, kernel{}, user{};
  if (!process_.Handle() || !::GetProcessTimes(process_.Handle(), &created, &ended, &kernel, &user)) return 0;
  const auto ticks = [](const FILETIME& t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

bool Viewer::WaitUntilQuiet(DWORD quietMs, DWORD timeoutMs) const {
  // Slices of 50 ms; the process times count in steps of 10 ms, and one step in a slice is the
  // idle message loop and its timers rather than work.
  constexpr DWORD kSliceMs = 50;
  constexpr double kIdleMs = 10.0;
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  double last = CpuTimeMs();
  ULONGLONG quietSince = ::GetTickCount64();
  while (::GetTickCount64() < deadline) {
    ::Sleep(kSliceMs);
    const double now = CpuTimeMs();
    if (now - last > kIdleMs) quietSince = ::GetTickCount64();
    last = now;
    if (::GetTickCount64() - quietSince >= quietMs) return true;
  }
  return false;
}

size_t Viewer::WorkingSetBytes() const {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  if (!process_.Handle() || !::GetProcessMemoryInfo(process_.Handle(), &counters, sizeof(counters))) return 0;
  return counters.WorkingSetSize;
}

namespace {

// Only Wine's kernel32 has this export; it answers a block of the process heap.
using UnixName = char*(__cdecl*)(const wchar_t*);

UnixName UnixNameFunction() {
  return reinterpret_cast<UnixName>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
}

}  // namespace

bool IsWine() { return UnixNameFunction() != nullptr; }

std::string HostPath(const std::wstring& windowsPath) {
  const UnixName toUnix = UnixNameFunction();
  if (!toUnix) return {};
  char* name = toUnix(windowsPath.c_str());
  if (!name) return {};
  std::string path = name;
  ::HeapFree(::GetProcessHeap(), 0, name);
  // The answer goes through the prefix's drive links ("dosdevices/c:"); a colon is no character
  // of a Windows file name, so Wine's own code cannot use such a path as a folder (its trash
  // needs one). The links of a standard prefix are resolved here: c: is ../drive_c, z: is /.
  const auto resolve = [&](const std::string& link, const std::string& target) {
    const size_t at = path.find(link);
    if (at == std::string::npos) return false;
    path = (target == "/" ? std::string() : path.substr(0, at) + target) + path.substr(at + link.size());
    return true;
  };
  if (!resolve("/dosdevices/c:/", "/drive_c/")) resolve("/dosdevices/z:/", "/");
  return path.find(':') == std::string::npos ? path : std::string();
}

std::wstring ScreenshotFolder() {
  wchar_t configured[MAX_PATH] = {};
  std::wstring folder;
  const DWORD n = ::GetEnvironmentVariableW(L"QL_E2E_SHOTS", configured, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    folder = configured;
    if (!folder.empty() && folder[0] == L'/') {
      // A host path handed through the environment.
      for (wchar_t& c : folder) c = c == L'/' ? L'\\' : c;
      folder = L"Z:" + folder;
    }
  } else {
    folder = base::GetModuleFolder() + L"..\\e2e-shots";
  }
  wchar_t full[MAX_PATH] = {};
  const DWORD length = ::GetFullPathNameW(folder.c_str(), MAX_PATH, full, nullptr);
  if (length > 0 && length < MAX_PATH) folder = full;
  folder = WithSlash(folder);
  ::SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  return folder;
}

bool SaveScreenshot(HWND window, const std::wstring& name) {
  RECT rect{};
  if (!window || !::GetWindowRect(window, &rect)) return false;
  return Capture::Screen(rect).SavePng(ScreenshotFolder() + name + L".png");
}

}  // namespace e2e
