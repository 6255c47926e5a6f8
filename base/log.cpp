#include "base/log.h"

#include <cstdio>

#include "base/strings.h"

namespace {
CMyLog* g_log = nullptr;
CRITICAL_SECTION* InstanceLock() {
  static CRITICAL_SECTION* lock = [] {
    auto* section = new CRITICAL_SECTION;
    ::InitializeCriticalSection(section);
    return section;
  }();
  return lock;
}
}  // namespace

CMyLog& CMyLog::Get() {
  if (!g_log) {
    ::EnterCriticalSection(InstanceLock());
    if (!g_log) g_log = new CMyLog();
    ::LeaveCriticalSection(InstanceLock());
  }
  return *g_log;
}

void CMyLog::DestroyInstance() {
  ::EnterCriticalSection(InstanceLock());
  delete g_log;
  g_log = nullptr;
  ::LeaveCriticalSection(InstanceLock());
}

CMyLog::CMyLog() { ::InitializeCriticalSection(&lock_); }

CMyLog::~CMyLog() {
  Close();
  ::DeleteCriticalSection(&lock_);
}

bool CMyLog::Open(const std::wstring& path) {
  ::EnterCriticalSection(&lock_);
  if (file_ == INVALID_HANDLE_VALUE && !path.empty()) {
    const DWORD marker = ::GetFileAttributesW((path + L".on").c_str());
    if (marker != INVALID_FILE_ATTRIBUTES && !(marker & FILE_ATTRIBUTE_DIRECTORY)) {
      // Appending: every write lands at the end, also when another viewer writes the same file.
      file_ = ::CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    }
  }
  const bool open = file_ != INVALID_HANDLE_VALUE;
  ::LeaveCriticalSection(&lock_);
  return open;
}

void CMyLog::Close() {
  ::EnterCriticalSection(&lock_);
  if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
  ::LeaveCriticalSection(&lock_);
}

void CMyLog::Write(const wchar_t* tag, const char* sourcePath, int line, const std::wstring& message) {
  // Built here, outside the lock, by this thread alone; written whole under it.
  std::string bytes = base::WideToUtf8(FormatLogLine(tag, sourcePath, line, message));
  bytes.push_back('\n');
  WriteBytes(bytes);
}

void CMyLog::WriteBytes(const std::string& bytes) {
  ::EnterCriticalSection(&lock_);
  if (file_ != INVALID_HANDLE_VALUE) {
    LARGE_INTEGER size{};
    if (::GetFileSizeEx(file_, &size) && static_cast<uint64_t>(size.QuadPart) + bytes.size() <= kMaxBytes) {
      DWORD written = 0;
      // A failed write is ignored: the log must never stop the viewer.
      (void)::WriteFile(file_, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    }
  }
  ::LeaveCriticalSection(&lock_);
}

std::wstring FormatLogLine(const wchar_t* tag, const char* sourcePath, int line, const std::wstring& message) {
  std::wstring text = tag ? tag : L"";
  wchar_t number[16] = {};
  std::swprintf(number, 16, L"[%4d]", line);
  text += number;
  const std::string path = sourcePath ? sourcePath : "";
  const size_t slash = path.find_last_of("\\/");
  if (slash != std::string::npos) {
    const size_t dot = path.find('.', slash + 1);
    if (dot != std::string::npos) {
      text += L'[';
      text += base::Utf8ToWide(path.substr(slash + 1, dot - slash - 1));
      text += L']';
    }
  }
  text += message;
  return text;
}
