#include "integration/association.h"

#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include "appconfig/app_config.h"
#include "companions/assoc/assoc_kit_client.h"
#include "companions/assoc/assoc_list.h"
#include "companions/assoc/registration.h"
#include "integration/companion_messages.h"

namespace integration {

namespace {

// RtlGetVersion tells the truth where GetVersionEx answers for the manifest.
bool IsWindowsAtLeast(DWORD major, DWORD minor) {
  using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  const auto getVersion =
      ntdll ? reinterpret_cast<RtlGetVersionFn>(::GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
  OSVERSIONINFOW info{};
  info.dwOSVersionInfoSize = sizeof(info);
  if (!getVersion || getVersion(&info) != 0) return false;
  return info.dwMajorVersion > major || (info.dwMajorVersion == major && info.dwMinorVersion >= minor);
}

}  // namespace

CAssociationService::CAssociationService(std::wstring programFolder) : program_folder_(std::move(programFolder)) {}

bool CAssociationService::IsDefaultViewer() {
  const assoc::AssocKitClient library(program_folder_);
  const auto answer = library.IsAssociationOK();
  return !answer || *answer != 0;
}

void CAssociationService::SetDefaultViewerEnabled(bool enabled) {
  AppConfig& config = AppConfig::Get();
  config.user_set_default_viewer = enabled ? 1 : 0;
  config.Save();
  {
    const assoc::AssocKitClient library(program_folder_);
    if (enabled) {
      const auto isDefault = library.SetDefaultImageViewer();
      if (isDefault && *isDefault == 0 && IsUserChoiceProtected()) OpenDefaultProgramsPage();
    } else {
      library.UnInstall(HKEY_CURRENT_USER);
    }
  }
  SendToCompanion(AssociationMessage(L"open", enabled));
}

AssociationChoices::AssociationChoices(std::wstring programFolder, std::wstring userChoicesIni)
    : program_folder_(std::move(programFolder)), record_path_(std::move(userChoicesIni)) {}

void AssociationChoices::Record(const std::wstring& checkBoxName, bool associate) {
  const std::vector<std::wstring> extensions = assoc::ExpandChoice(checkBoxName);
  if (extensions.empty()) return;
  for (const std::wstring& extension : extensions) {
    pending_[extension] = associate ? 1 : 0;
    if (!record_path_.empty()) {
      ::WritePrivateProfileStringW(L"app", extension.c_str(), associate ? L"1" : L"x", record_path_.c_str());
    }
  }
  SendToCompanion(AssociationMessage(checkBoxName, associate));
}

std::wstring AssociationChoices::PendingList() const { return assoc::BuildList(pending_); }

bool AssociationChoices::Apply() const {
  if (pending_.empty()) return true;
  const assoc::AssocKitClient library(program_folder_);
  const auto applied = library.SetAssociation(PendingList());
  return applied && *applied != 0;
}

bool IsExtensionAssociated(const std::wstring& extension) {
  if (extension.empty() || extension.size() > 16) return false;
  return assoc::Registrar(HKEY_CURRENT_USER, L"").OpensWithViewer(extension);
}

bool OpenDefaultProgramsPage() {
  Microsoft::WRL::ComPtr<IOpenControlPanel> panel;
  if (FAILED(::CoCreateInstance(CLSID_OpenControlPanel, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&panel)))) {
    return false;
  }
  return SUCCEEDED(panel->Open(L"Microsoft.DefaultPrograms", L"pageDefaultProgram", nullptr));
}

bool IsUserChoiceProtected() { return IsWindowsAtLeast(6, 2); }

}  // namespace integration
