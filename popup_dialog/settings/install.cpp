#include "popup_dialog/settings/install.h"

#include <memory>
#include <string>

#include "appconfig/folders.h"
#include "base/paths.h"
#include "integration/association.h"
#include "integration/companion_messages.h"
#include "popup_dialog/settings/setting_dialog.h"
#include "services/registry.h"
#include "services/settings_dialog.h"

namespace popup_dialog {
namespace {

// The effects over the association library beside the viewer and the tray companion.
class CompanionEffects : public SettingsEffects {
 public:
  CompanionEffects(const AppConfig& config, std::function<void()> refreshReceivers)
      : choices_(GetModuleFolder(), ChoicesRecord(config)), refresh_receivers_(std::move(refreshReceivers)) {}

  bool IsTypeAssociated(const std::wstring& name) override { return integration::IsExtensionAssociated(name); }
  void RecordTypeChoice(const std::wstring& name, bool associate) override { choices_.Record(name, associate); }
  void ApplyTypeChoices() override { (void)choices_.Apply(); }
  bool OffersDefaultProgramsPage() override { return IsWindows10OrLater(); }
  void OpenDefaultProgramsPage() override { (void)integration::OpenDefaultProgramsPage(); }
  bool SendHotkey(int value) override {
    return integration::SendToCompanion(integration::HotkeyMessage(static_cast<int32_t>(value)));
  }
  void RefreshReceivers() override {
    if (refresh_receivers_) refresh_receivers_();
  }

 private:
  // "user_assoc.ini" beside the settings file; none when the settings have no file.
  static std::wstring ChoicesRecord(const AppConfig& config) {
    if (config.ConfigPath().empty()) return {};
    return base::JoinPath(base::FolderOf(config.ConfigPath()), L"user_assoc.ini");
  }

  static bool IsWindows10OrLater() {
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
    const auto getVersion =
        ntdll ? reinterpret_cast<RtlGetVersionFn>(::GetProcAddress(ntdll, "RtlGetVersion")) : nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    return getVersion && getVersion(&info) == 0 && info.dwMajorVersion >= 10;
  }

  integration::AssociationChoices choices_;
  std::function<void()> refresh_receivers_;
};

class SettingsDialogFactory : public services::ISettingsDialogFactory {
 public:
  SettingsDialogFactory(AppConfig& config, std::function<void()> refreshReceivers)
      : config_(config), refresh_receivers_(std::move(refreshReceivers)) {}
  std::unique_ptr<services::ISettingsDialog> CreateSettingsDialog() override {
    return std::make_unique<DlgSetting2>(config_, std::make_unique<CompanionEffects>(config_, refresh_receivers_));
  }

 private:
  AppConfig& config_;
  std::function<void()> refresh_receivers_;
};

}  // namespace

void InstallSettingsDialog(SettingsDialogOptions options) {
  AppConfig& config = options.config ? *options.config : AppConfig::Get();
  services::Install<services::ISettingsDialogFactory>(
      std::make_unique<SettingsDialogFactory>(config, std::move(options.refresh_receivers)));
}

}  // namespace popup_dialog
