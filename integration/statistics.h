#pragma once
// The viewer's side of QuellinBase.dll: usage events (how the viewer was started, which features
// were opened) and the quick-index state. The library decides whether anything is sent (nothing,
// unless the user switched statistics on); when it is missing the viewer simply runs without it.
#include <windows.h>

#include <memory>
#include <mutex>
#include <string>

#include "base/handles.h"
#include "companions/basesvc/quellin_base_api.h"
#include "services/statistics.h"

namespace integration {

// The entry kind a start's "from" switch stands for ("desktop" -> "lnk"; anything unknown,
// absent or in other letter case -> "unknown").
std::wstring EntryKindForOrigin(const std::wstring& from);

// QuellinBase.dll, loaded once from a folder; null functions when the library or an export is missing.
class CBaseLibrary {
 public:
  explicit CBaseLibrary(const std::wstring& folder);
  [[nodiscard]] bool IsLoaded() const noexcept { return module_.IsValid(); }
  // StartStat, once per process however often it is asked.
  void EnsureStatSession();
  // SendStatUrl with both texts, after EnsureStatSession; false when a text is empty or the call
  // is missing or answered 0.
  bool ReportEvent(const std::wstring& first, const std::wstring& second);
  // The wrapper, made and initialised on first use (null when missing); released with the object.
  IPLibWrapper* Wrapper();
  ~CBaseLibrary();
  CBaseLibrary(const CBaseLibrary&) = delete;
  CBaseLibrary& operator=(const CBaseLibrary&) = delete;

 private:
  base::ModuleHandle module_;
  PFN_StartStat start_ = nullptr;
  PFN_SendStatUrl send_ = nullptr;
  PFN_CreatePLibWrapper create_ = nullptr;
  std::once_flag session_;
  std::once_flag wrapper_once_;
  IPLibWrapper* wrapper_ = nullptr;
};

class CUsageStatistics : public services::IUsageStatistics {
 public:
  explicit CUsageStatistics(std::shared_ptr<CBaseLibrary> library) : library_(std::move(library)) {}
  void ReportStartup() override { library_->EnsureStatSession(); }
  void ReportFeature(const wchar_t* feature) override;
  void ReportOrigin(const std::wstring& origin) override;

 private:
  std::shared_ptr<CBaseLibrary> library_;
};

class CBaseServices : public services::IBaseServices {
 public:
  explicit CBaseServices(std::shared_ptr<CBaseLibrary> library) : library_(std::move(library)) {}
  [[nodiscard]] int QueryQuickIndexState() override;
  void SetQuickIndexState(int state) override;

 private:
  std::shared_ptr<CBaseLibrary> library_;
};

// Installs both services over QuellinBase.dll in `folder`; installs nothing when it is missing.
void InstallBaseServices(const std::wstring& folder);

}  // namespace integration
