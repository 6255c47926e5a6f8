#include "integration/statistics.h"

#include "base/paths.h"
#include "services/registry.h"

namespace integration {

std::wstring EntryKindForOrigin(const std::wstring& from) {
  static const struct {
    const wchar_t* from;
    const wchar_t* kind;
  } kOrigins[] = {
      {L"task", L"auto"},       {L"reg_run", L"auto_reg"},    {L"svc", L"svc"},
      {L"startmenu", L"menu"},  {L"main", L"main"},           {L"desktop", L"lnk"},
      {L"tray", L"tray"},       {L"newinstall", L"newinstall"}, {L"upinstall", L"upinstall"},
      {L"contextmenu", L"contextmenu"}, {L"openwith", L"shell"},
  };
  for (const auto& origin : kOrigins) {
    if (from == origin.from) return origin.kind;
  }
  return L"unknown";
}

CBaseLibrary::CBaseLibrary(const std::wstring& folder) {
  const std::wstring path = base::JoinPath(folder, L"QuellinBase.dll");
  if (path.empty()) return;
  // Only the library beside the viewer, by its full path.
  module_.Reset(::LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
  if (!module_) return;
  start_ = reinterpret_cast<PFN_StartStat>(::GetProcAddress(module_.Get(), QLBASE_EXPORT_START_STAT));
  send_ = reinterpret_cast<PFN_SendStatUrl>(::GetProcAddress(module_.Get(), QLBASE_EXPORT_SEND_STAT_URL));
  create_ = reinterpret_cast<PFN_CreatePLibWrapper>(::GetProcAddress(module_.Get(), QLBASE_EXPORT_CREATE_WRAPPER));
}

CBaseLibrary::~CBaseLibrary() {
  if (wrapper_) wrapper_->Release();
}

void CBaseLibrary::EnsureStatSession() {
  std::call_once(session_, [this] {
    if (start_) start_();
  });
}

bool CBaseLibrary::ReportEvent(const std::wstring& first, const std::wstring& second) {
  EnsureStatSession();
  if (first.empty() || second.empty() || !send_) return false;
  return send_(first.c_str(), second.c_str()) != 0;
}

IPLibWrapper* CBaseLibrary::Wrapper() {
  std::call_once(wrapper_once_, [this] {
    if (!create_) return;
    wrapper_ = create_();
    if (wrapper_) wrapper_->Initialize(0, "quellin", 0);
  });
  return wrapper_;
}

void CUsageStatistics::ReportFeature(const wchar_t* feature) {
  if (feature) library_->ReportEvent(feature, L"feature");
}

void CUsageStatistics::ReportOrigin(const std::wstring& origin) {
  library_->ReportEvent(L"main", L"open_" + EntryKindForOrigin(origin));
}

int CBaseServices::QueryQuickIndexState() {
  IPLibWrapper* wrapper = library_->Wrapper();
  return wrapper ? wrapper->GetQuickIndexState() : 0;
}

void CBaseServices::SetQuickIndexState(int state) {
  if (IPLibWrapper* wrapper = library_->Wrapper()) wrapper->SetQuickIndexState(state);
}

void InstallBaseServices(const std::wstring& folder) {
  auto library = std::make_shared<CBaseLibrary>(folder);
  // Without the library the viewer runs without statistics; it never ends for want of it.
  if (!library->IsLoaded()) return;
  services::Install<services::IUsageStatistics>(std::make_unique<CUsageStatistics>(library));
  services::Install<services::IBaseServices>(std::make_unique<CBaseServices>(library));
}

}  // namespace integration
