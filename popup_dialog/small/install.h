#pragma once
// Installs the four small dialogs as the services the main window and the view call.
#include <functional>
#include <string>

#include "appconfig/app_config.h"
#include "popup_dialog/small/about.h"

namespace popup_dialog {

struct SmallDialogOptions {
  AppConfig* config = nullptr;  // the process's settings unless given
  // The version text of the viewer's executable, read when an about box opens.
  std::function<std::wstring()> version_text;
  DlgAbout2::PageOpener open_page = &DlgAbout2::OpenWithShell;
};

void InstallSmallDialogs(SmallDialogOptions options);

}  // namespace popup_dialog
