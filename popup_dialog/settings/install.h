#pragma once
// Installs the settings dialog as the service the main window opens for F5, the main menu and
// the "--setting" switch.
#include <functional>

#include "appconfig/app_config.h"

namespace popup_dialog {

struct SettingsDialogOptions {
  AppConfig* config = nullptr;  // the process's settings unless given
  // Makes the hand-over receivers follow "only_one_instance" (the application's).
  std::function<void()> refresh_receivers;
};

void InstallSettingsDialog(SettingsDialogOptions options);

}  // namespace popup_dialog
