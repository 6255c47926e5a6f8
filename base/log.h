#pragma once
// The diagnostic log "main.log": written only on machines where a marker file beside it (the log's
// path followed by ".on") exists when the program starts. One line per call: a severity tag, the
// source position and the message, UTF-8, appended whole under a lock so that lines of several
// threads (and of several viewers sharing the file) never interleave.
#include <windows.h>

#include <cstdint>
#include <string>

class CMyLog {
 public:
  // The log stops growing at this size; it is never truncated or rotated by the viewer.
  static constexpr uint64_t kMaxBytes = 16ull << 20;

  static CMyLog& Get();
  static void DestroyInstance();

  // Opens `path` for appending when `path` + ".on" exists; the marker is read this once.
  bool Open(const std::wstring& path);
  void Close();
  [[nodiscard]] bool IsOpen() const noexcept { return file_ != INVALID_HANDLE_VALUE; }

  // Builds the line "[tag][line][stem]message" (see FormatLogLine) and writes it.
  void Write(const wchar_t* tag, const char* sourcePath, int line, const std::wstring& message);

 private:
  CMyLog();
  ~CMyLog();
  void WriteBytes(const std::string& bytes);

  CRITICAL_SECTION lock_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
};

// "[I][  42][dlg_feedback]send feedback failed": the tag, the line number right-aligned in four
// places and the source file's stem (between its last path separator and the following dot; left
// out when the path has neither), then the message.
std::wstring FormatLogLine(const wchar_t* tag, const char* sourcePath, int line, const std::wstring& message);

#define QL_LOG_INFO(message) CMyLog::Get().Write(L"[I]", __FILE__, __LINE__, (message))
#define QL_LOG_ERROR(message) CMyLog::Get().Write(L"[E]", __FILE__, __LINE__, (message))
