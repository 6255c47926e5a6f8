#include "base/paths.h"

#include <shlwapi.h>

#include <vector>

#include "base/handles.h"

namespace base {

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
  std::wstring out(folder);
  if (!out.empty() && out.back() != L'\\' && out.back() != L'/') out.push_back(L'\\');
  out.append(name);
  if (out.size() + 1 > kMaxPath) return {};
  return out;
}

std::wstring WithTrailingBackslash(std::wstring_view folder) {
  std::wstring out(folder);
  if (out.empty() || (out.back() != L'\\' && out.back() != L'/')) out.push_back(L'\\');
  if (out.size() + 1 > kMaxPath) return {};
  return out;
}

std::wstring FolderOf(std::wstring_view path) {
  const size_t pos = path.find_last_of(L"\\/");
  if (pos == std::wstring_view::npos) return {};
  return std::wstring(path.substr(0, pos + 1));
}

std::wstring FileNameOf(std::wstring_view path) {
  const size_t pos = path.find_last_of(L"\\/");
  return std::wstring(pos == std::wstring_view::npos ? path : path.substr(pos + 1));
}

std::wstring Canonicalize(std::wstring_view path) {
  if (path.size() + 1 > kMaxPath) return std::wstring(path);
  wchar_t out[kMaxPath] = {};
  const std::wstring in(path);
  if (!::PathCanonicalizeW(out, in.c_str())) return in;
  return out;
}

bool FileExists(const std::wstring& path) noexcept {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(const std::wstring& path) noexcept {
  const DWORD a = ::GetFileAttributesW(path.c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool DeleteTree(const std::wstring& folder) noexcept {
  std::wstring base = folder;
  while (!base.empty() && (base.back() == L'\\' || base.back() == L'/')) base.pop_back();
  if (base.empty()) return false;
  WIN32_FIND_DATAW fd;
  FindHandle find(::FindFirstFileW((base + L"\\*").c_str(), &fd));
  if (find) {
    do {
      const std::wstring name = fd.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = base + L"\\" + name;
      if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        DeleteTree(child);
      } else {
        ::SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileW(child.c_str());
      }
    } while (::FindNextFileW(find.Get(), &fd));
  }
  find.Reset();
  ::RemoveDirectoryW(base.c_str());
  return !FileExists(base);
}

std::wstring GetModuleFolder(HMODULE module) {
  wchar_t path[kMaxPath] = {};
  const DWORD n = ::GetModuleFileNameW(module, path, static_cast<DWORD>(kMaxPath));
  if (n == 0 || n >= kMaxPath) return {};
  std::wstring canonical = Canonicalize(path);
  return FolderOf(canonical);
}

}  // namespace base

bool base::WaitUntilReplaceable(const std::wstring& path) noexcept {
  constexpr int kAttempts = 40;
  constexpr DWORD kPauseMs = 50;
  for (int attempt = 1;; ++attempt) {
    const HANDLE probe = ::CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
      ::CloseHandle(probe);
      return true;
    }
    const DWORD error = ::GetLastError();
    if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) return true;
    if (attempt == kAttempts) return false;
    ::Sleep(kPauseMs);
  }
}
