#include "tests/support/test_support.h"

#include <algorithm>
#include <cstdio>

#include "base/handles.h"
#include "base/paths.h"
#include "base/strings.h"

namespace testing_support {

TempDir::TempDir() {
  wchar_t tmp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, tmp);
  static LONG counter = 0;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::wstring candidate = base::FormatW(L"%sqltest_%lu_%ld_%d\\", tmp, ::GetCurrentProcessId(),
                                                 ::InterlockedIncrement(&counter), attempt);
    if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
      path_ = candidate;
      return;
    }
  }
}

TempDir::~TempDir() {
  if (!path_.empty()) base::DeleteTree(path_);
}

std::vector<uint8_t> ReadBytes(const std::wstring& path) {
  std::vector<uint8_t> out;
  base::KernelHandle f(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, 0, nullptr));
  if (!f) return out;
  LARGE_INTEGER size{};
  ::GetFileSizeEx(f.Get(), &size);
  out.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!out.empty() && !::ReadFile(f.Get(), out.data(), static_cast<DWORD>(out.size()), &read, nullptr)) out.clear();
  out.resize(read);
  return out;
}

bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes) {
  base::KernelHandle f(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  if (!f) return false;
  DWORD written = 0;
  return bytes.empty() ||
         (::WriteFile(f.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
          written == bytes.size());
}

bool WriteText(const std::wstring& path, const std::string& utf8) {
  return WriteBytes(path, std::vector<uint8_t>(utf8.begin(), utf8.end()));
}

bool WriteUtf16(const std::wstring& path, const std::wstring& text) {
  std::vector<uint8_t> bytes = {0xFF, 0xFE};
  for (wchar_t c : text) {
    bytes.push_back(static_cast<uint8_t>(c & 0xFF));
    bytes.push_back(static_cast<uint8_t>((c >> 8) & 0xFF));
  }
  return WriteBytes(path, bytes);
}

std::wstring EnvPath(const wchar_t* name) {
  wchar_t buf[4096] = {};
  const DWORD n = ::GetEnvironmentVariableW(name, buf, 4096);
  if (n == 0 || n >= 4096) return {};
  std::wstring value = buf;
  if (!value.empty() && value[0] == L'/') {
    for (auto& c : value) if (c == L'/') c = L'\\';
    value = L"Z:" + value;
  }
  return value;
}

std::wstring BinDir() {
  std::wstring dir = EnvPath(L"QL_BIN_DIR");
  if (dir.empty()) dir = base::GetModuleFolder() + L"..\\bin";
  return base::WithTrailingBackslash(dir);
}

std::wstring SourceDir() { return base::WithTrailingBackslash(EnvPath(L"QL_SOURCE_DIR")); }

int RunProcess(const std::wstring& exe, const std::wstring& args, DWORD timeoutMs, const std::wstring& workDir,
               std::string* output) {
  std::wstring cmd = L"\"" + exe + L"\"";
  if (!args.empty()) cmd += L" " + args;
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  // Output goes to an inheritable temporary file rather than a pipe: under Wine a pipe's read end
  // may never see the end of the stream once the child has gone.
  base::KernelHandle outFile;
  std::wstring outPath;
  if (output) {
    wchar_t dir[MAX_PATH] = {};
    wchar_t name[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, dir);
    if (!::GetTempFileNameW(dir, L"qlo", 0, name)) return -1;
    outPath = name;
    SECURITY_ATTRIBUTES sa{sizeof(sa), nullptr, TRUE};
    outFile.Reset(::CreateFileW(name, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &sa,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr));
    if (!outFile) return -1;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = outFile.Get();
    si.hStdError = outFile.Get();
    si.hStdInput = nullptr;
  }
  PROCESS_INFORMATION pi{};
  const BOOL started = ::CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                                        workDir.empty() ? nullptr : workDir.c_str(), &si, &pi);
  outFile.Reset();
  int result = -1;
  if (started) {
    base::KernelHandle process(pi.hProcess), thread(pi.hThread);
    if (::WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
      ::TerminateProcess(process.Get(), 1);
      ::WaitForSingleObject(process.Get(), 5000);
    } else {
      DWORD code = 0;
      ::GetExitCodeProcess(process.Get(), &code);
      result = static_cast<int>(code);
    }
  }
  if (output) {
    const std::vector<uint8_t> bytes = ReadBytes(outPath);
    output->assign(bytes.begin(), bytes.end());
    ::DeleteFileW(outPath.c_str());
  }
  return result;
}

namespace {

// A thread message that marks a point in the posted queue; the cookie tells one call from another.
constexpr UINT kPumpMarker = WM_APP + 0x3FF0;

// Dispatches what is queued now; returns true when the marker with this cookie went by.
bool DispatchQueued(WPARAM cookie) {
  bool seen = false;
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.hwnd == nullptr && msg.message == kPumpMarker) {
      seen = seen || msg.wParam == cookie;
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return seen;
}

bool Pump(const std::function<bool()>& done, WPARAM cookie, DWORD timeoutMs) {
  const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
  for (;;) {
    if (done()) return true;
    const ULONGLONG now = ::GetTickCount64();
    if (now >= deadline) return false;
    const DWORD wait = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 50));
    ::MsgWaitForMultipleObjectsEx(0, nullptr, wait, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (DispatchQueued(cookie) && cookie != 0) return true;
  }
}

}  // namespace

bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs) { return Pump(done, 0, timeoutMs); }

bool PumpPostedMessages(DWORD timeoutMs) {
  static WPARAM lastCookie = 0;
  const WPARAM cookie = ++lastCookie;
  if (!::PostThreadMessageW(::GetCurrentThreadId(), kPumpMarker, cookie, 0)) return false;
  return Pump([] { return false; }, cookie, timeoutMs);
}

}  // namespace testing_support
