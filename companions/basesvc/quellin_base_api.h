#pragma once
// QuellinBase.dll, the product's base-services library: usage statistics and the quick-index
// state. Callers load it at run time from the program folder and use only what this header
// declares. Statistics are off unless the user switched them on ([app] usage_stats=1 in the
// viewer's config.ini) and an address is configured ([app] usage_stats_url, https or loopback);
// then each report is posted as a form of an event name, a detail word, the product's version and
// the system's version: never a path, a file name or anything the user wrote.
#include <windows.h>

#define QLBASE_CALL __stdcall

#define QLBASE_EXPORT_START_STAT "StartStat"
#define QLBASE_EXPORT_SEND_STAT_URL "SendStatUrl"
#define QLBASE_EXPORT_CREATE_WRAPPER "CreatePLibWrapper"
#define QLBASE_EXPORT_GET_OS_VERSION "GetOsVersion"

// The plug-in wrapper, from CreatePLibWrapper; its operations in slot order.
class IPLibWrapper {
 public:
  // Slot 0: reserved must be 0; product names the caller ("quellin").
  virtual int QLBASE_CALL Initialize(int reserved, const char* product, int flags) = 0;
  // Slot 1: gives the wrapper back; the pointer is invalid afterwards.
  virtual void QLBASE_CALL Release() = 0;
  // Slots 2 and 3: the library's version as "a.b.c.d" (into buffer, answers the length) and
  // whether statistics are switched on (1) or off (0).
  virtual int QLBASE_CALL GetVersion(wchar_t* buffer, int chars) = 0;
  virtual int QLBASE_CALL IsStatisticsOn() = 0;
  // Slots 4 and 5: the quick-index option, kept across starts (0 or 1).
  virtual void QLBASE_CALL SetQuickIndexState(int state) = 0;
  virtual int QLBASE_CALL GetQuickIndexState() = 0;

 protected:
  ~IPLibWrapper() = default;
};

// Opens a statistics session (once per process; later calls do nothing).
using PFN_StartStat = void(WINAPI*)();
// Reports one event; non-zero when it was sent off, 0 when statistics are off or it was refused.
using PFN_SendStatUrl = int(WINAPI*)(const wchar_t* event, const wchar_t* detail);
using PFN_CreatePLibWrapper = IPLibWrapper*(WINAPI*)();
// The system's version as "major.minor.build" (from the kernel, not the compatibility layer);
// answers the length written (without the terminator), 0 when the buffer is too small.
using PFN_GetOsVersion = int(WINAPI*)(wchar_t* buffer, int chars);
