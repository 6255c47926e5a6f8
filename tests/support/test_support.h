#pragma once
// Helpers shared by the test programs: temporary folders on the real file system, file bytes,
// and the location of the build's program folder.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder under %TEMP% removed (with its content) when the object dies.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::wstring& Path() const { return path_; }  // with trailing backslash
  std::wstring File(const std::wstring& name) const { return path_ + name; }

 private:
  std::wstring path_;
};

std::vector<uint8_t> ReadBytes(const std::wstring& path);
bool WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
bool WriteText(const std::wstring& path, const std::string& utf8);
// Writes UTF-16 LE with a byte-order mark, the form the profile functions read for any script.
bool WriteUtf16(const std::wstring& path, const std::wstring& text);

// A Windows path for an environment variable that may hold a Unix path (Wine passes the host's
// environment through): "/work/x" becomes "Z:\work\x".
std::wstring EnvPath(const wchar_t* name);
// The build's bin folder (the product as installed), with trailing backslash.
std::wstring BinDir();
// The source tree, with trailing backslash.
std::wstring SourceDir();

// Runs a program and waits for it; returns its exit code or -1 when it could not start or timed out.
int RunProcess(const std::wstring& exe, const std::wstring& args, DWORD timeoutMs = 60000,
               const std::wstring& workDir = L"", std::string* output = nullptr);

// Runs the calling thread's message loop (sent and posted messages) until the condition holds or
// the time limit passes; returns whether the condition held.
bool PumpMessagesUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000);
// Runs the message loop until every message posted to this thread before the call has been
// dispatched (FIFO order of the posted queue), or the time limit passes.
bool PumpPostedMessages(DWORD timeoutMs = 20000);

}  // namespace testing_support
