#pragma once
// Usage statistics and the base-services plug-in (which also keeps the quick-index state).
// Nothing is reported unless the user has switched statistics on.
#include <string>

namespace services {

class IUsageStatistics {
 public:
  virtual ~IUsageStatistics() = default;
  virtual void ReportStartup() = 0;
  // A feature used: "location", "clip", "enhance".
  virtual void ReportFeature(const wchar_t* feature) = 0;
  // Where the start came from (the "from" switch of the command line).
  virtual void ReportOrigin(const std::wstring& origin) = 0;
};

class IBaseServices {
 public:
  virtual ~IBaseServices() = default;
  [[nodiscard]] virtual int QueryQuickIndexState() = 0;
  virtual void SetQuickIndexState(int state) = 0;
};

}  // namespace services
