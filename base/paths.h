#pragma once
// Path composition with bounds. The product keeps the classic MAX_PATH limit where it
// composes folders; a composition that would not fit fails instead of overflowing.
#include <windows.h>
#include <string>
#include <string_view>

namespace base {

constexpr size_t kMaxPath = MAX_PATH;  // characters including the terminating zero

// folder + name, inserting a backslash when the folder lacks one. Empty when the result would
// not fit in kMaxPath characters (terminator included).
std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);
// Appends a trailing backslash unless present. Empty when the result would not fit.
std::wstring WithTrailingBackslash(std::wstring_view folder);
// The folder part of a path, with its trailing backslash ("C:\a\b.jpg" -> "C:\a\").
std::wstring FolderOf(std::wstring_view path);
// The last component ("C:\a\b.jpg" -> "b.jpg").
std::wstring FileNameOf(std::wstring_view path);
// Canonicalises "." and ".." segments (PathCanonicalizeW semantics, bounded).
std::wstring Canonicalize(std::wstring_view path);

bool FileExists(const std::wstring& path) noexcept;       // a file or folder
bool IsDirectory(const std::wstring& path) noexcept;
// Deletes a folder and everything under it; true when it is gone afterwards.
bool DeleteTree(const std::wstring& folder) noexcept;

// A reader that holds a file for a moment (a thumbnail being made, a virus scanner) makes its
// replacement or deletion fail: waits up to about two seconds until the file could be deleted.
// False only when it stays held; a missing file, or any other answer, is left to the caller's
// own call to report.
bool WaitUntilReplaceable(const std::wstring& path) noexcept;

// The folder of a module (null = the executable) with a trailing backslash.
std::wstring GetModuleFolder(HMODULE module = nullptr);

}  // namespace base
