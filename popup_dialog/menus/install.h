#pragma once
// Installs the main menu, the context menu and the information panel as the services the menu
// button, the image view and the toolbar call.
#include <functional>
#include <string>

#include "appconfig/app_config.h"

namespace popup_dialog {

struct PopupOptions {
  AppConfig* config = nullptr;  // the process's settings unless given
  // How the information panel opens a GPS position on a web map (ShowOnMap unless given).
  std::function<void(const std::wstring& gps)> open_map;
};

void InstallMenusAndInfoPanel(PopupOptions options = {});

}  // namespace popup_dialog
