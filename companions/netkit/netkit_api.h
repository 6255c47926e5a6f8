#pragma once
// NetKit.dll, the product's HTTP library. Callers load it at run time from the program folder
// (LoadLibraryW, then GetProcAddress with the export names below) and use only what this header
// declares: plain functions with the WINAPI calling convention and abstract classes whose
// operations are called through their virtual table, in the slot order written here.
//
// One request is one task. A caller creates a task from the manager, configures it, sets a
// completion callback and starts it; the request runs on a thread of the library's own, and the
// callback runs on that thread exactly once with the final state, unless the task is cancelled
// or released first. After Cancel or Release returns, the callback is never called again.
//
// Security: https:// is required; plain http:// is allowed only to the loopback host
// (127.0.0.1, [::1] or localhost). Certificates are always checked, redirects are never followed
// (a 3xx answer is reported as it is), and the answer is capped in size.
#include <windows.h>

#include <cstddef>

#define NETKIT_CALL __stdcall

// Export names, for GetProcAddress.
#define NETKIT_EXPORT_HTTP_INIT "HttpInit"
#define NETKIT_EXPORT_HTTP_UNINIT "HttpUninit"
#define NETKIT_EXPORT_ZLIB_UNCOMPRESS "zlib_uncompress"
#define NETKIT_EXPORT_ZLIB_COMPRESS "zlib_compress"
#define NETKIT_EXPORT_ZLIB_COMPRESS_BOUND "zlib_compressBound"

// What a task is doing, or how it ended.
enum HttpTaskState : int {
  kHttpTaskIdle = 0,       // created and not started, or its start was refused
  kHttpTaskRunning = 1,
  kHttpTaskFinished = 2,   // a complete answer arrived; its HTTP status may be any (see GetHttpStatus)
  kHttpTaskFailed = 3,     // no usable answer; GetError says why
  kHttpTaskCancelled = 4,  // Cancel or Release came first; no callback
};

enum HttpError : int {
  kHttpOk = 0,
  kHttpErrorInvalidArgument = 1,  // a bad option, header, field or request kind, or a call in the wrong state
  kHttpErrorRefusedUrl = 2,       // malformed, credentials in it, or neither https nor loopback http
  kHttpErrorConnect = 3,          // the name did not resolve or the connection was refused
  kHttpErrorSecure = 4,           // the TLS handshake failed or the certificate is not trusted
  kHttpErrorTimeout = 5,          // a connect, send or receive timeout, or the whole request's limit
  kHttpErrorSend = 6,             // the connection failed while sending
  kHttpErrorReceive = 7,          // the connection failed while receiving, or the answer was cut short
  kHttpErrorBadAnswer = 8,        // not HTTP, a false length, broken gzip, an encoding not asked for
  kHttpErrorTooLarge = 9,         // the answer (before or after un-gzip) exceeds "max_answer_bytes"
  kHttpErrorCancelled = 10,
  kHttpErrorInternal = 11,        // out of memory, or the platform could not start the request
};

enum HttpRequestKind : int {
  kHttpGet = 1,       // GET, no body; form fields are refused
  kHttpPostForm = 2,  // POST with the form fields as a multipart/form-data body
};

class IHttpTask;

// The caller's completion interface. Runs on the library's thread, once per started task that is
// neither cancelled nor released first. The task and its result stay valid during the call. Talk
// to windows with PostMessage here: a SendMessage to a thread that is itself cancelling or
// releasing this task is served while it waits, but runs that window's code inside its Cancel.
class IHttpTaskCallback {
 public:
  virtual void NETKIT_CALL OnHttpTaskComplete(IHttpTask* task) = 0;

 protected:
  ~IHttpTaskCallback() = default;
};

// One request. Every operation may be called from any thread. The configuring operations return
// non-zero when accepted and 0 when refused (a bad argument, or the task has already started).
class IHttpTask {
 public:
  // Options, with their values as decimal text:
  //   "gzip"    the request body is sent gzip-compressed (Content-Encoding: gzip)
  //   "ungzip"  a gzip answer is asked for (Accept-Encoding: gzip) and decoded
  //             For both, a null or empty value or "1" turns the option on, "0" off.
  //   "connect_timeout_ms" (default 15000), "send_timeout_ms" (30000), "receive_timeout_ms" (30000):
  //             limits of each step; "total_timeout_ms" (120000): the whole request. 1 to 3600000.
  //   "max_answer_bytes" (default 4 MiB): 1 to 256 MiB, checked before and after un-gzip.
  virtual int NETKIT_CALL SetOption(const char* name, const char* value) = 0;
  // A request header, ASCII. The library owns Host, Content-Length, Content-Encoding,
  // Accept-Encoding, Transfer-Encoding and Connection. For a form, "Content-Type" may only say
  // multipart/form-data: the library adds the boundary.
  virtual int NETKIT_CALL AddHeader(const char* name, const char* value) = 0;
  // A form field; the value is a byte string (UTF-8 for text) and is sent as it is. Fields go
  // out in the order they were added. A name holds no quote, CR or LF and is not empty.
  virtual int NETKIT_CALL AddFormField(const char* name, const char* value) = 0;
  // Null for none. Not owned: keep it alive until the callback ran or Cancel/Release returned.
  virtual int NETKIT_CALL SetCallback(IHttpTaskCallback* callback) = 0;
  // Starts the request (an HttpRequestKind, a UTF-16 URL) on a thread of its own and returns at
  // once: non-zero when started. On 0 nothing was sent, no callback comes, and GetError says why.
  virtual int NETKIT_CALL Start(int kind, const wchar_t* url) = 0;
  // Stops a running request. When it returns the callback is over and will not be called;
  // state and error become cancelled. Does nothing to a task that has ended.
  virtual void NETKIT_CALL Cancel() = 0;
  // Cancels and gives the task back. The pointer is invalid afterwards. May be called from
  // inside the callback.
  virtual void NETKIT_CALL Release() = 0;

  // The result; meaningful once the state is final (in the callback, or after it).
  virtual int NETKIT_CALL GetState() = 0;       // HttpTaskState
  virtual int NETKIT_CALL GetHttpStatus() = 0;  // of the answer's head; 0 when none arrived
  // The answer's body (decoded when "ungzip" applied), followed by one zero byte that the size
  // does not count. Valid until Release. Null with size 0 unless the state is finished.
  virtual const char* NETKIT_CALL GetBody(size_t* size) = 0;
  virtual int NETKIT_CALL GetError() = 0;             // HttpError
  virtual DWORD NETKIT_CALL GetPlatformError() = 0;  // the underlying Windows error, for the log; 0 if none

 protected:
  ~IHttpTask() = default;
};

// The library's manager, from HttpInit.
class IHttpManager {
 public:
  // A new task, owned by the caller until its Release; null when out of memory or after the
  // last HttpUninit.
  virtual IHttpTask* NETKIT_CALL CreateTask() = 0;

 protected:
  ~IHttpManager() = default;
};

// HttpInit: the process's manager; every call counts. HttpUninit: undoes one HttpInit; the last
// one cancels every running task (no callback afterwards) and waits for their threads. Tasks must
// still be released.
using PFN_HttpInit = IHttpManager*(WINAPI*)();
using PFN_HttpUninit = void(WINAPI*)();

// Thin zlib (RFC 1950) wrappers with zlib's result codes (Z_OK 0, Z_STREAM_ERROR -2,
// Z_DATA_ERROR -3, Z_MEM_ERROR -4, Z_BUF_ERROR -5). *destLen holds the room in dest on the way in
// and the bytes written on the way out; nothing is written beyond it. Null pointers give
// Z_STREAM_ERROR. zlib_compressBound gives 0 when the bound does not fit an unsigned long.
using PFN_zlib_uncompress = int(WINAPI*)(unsigned char* dest, unsigned long* destLen,
                                         const unsigned char* source, unsigned long sourceLen);
using PFN_zlib_compress = int(WINAPI*)(unsigned char* dest, unsigned long* destLen,
                                       const unsigned char* source, unsigned long sourceLen);
using PFN_zlib_compressBound = unsigned long(WINAPI*)(unsigned long sourceLen);
