#pragma once
// Installs the feedback form as the service the main window's feedback command opens.
#include <string>

#include "appconfig/app_config.h"

namespace popup_dialog {

struct FeedbackDialogOptions {
  AppConfig* config = nullptr;  // the process's settings unless given
  std::wstring program_folder;  // where NetKit.dll lies: the viewer's folder unless given
};

void InstallFeedbackDialog(FeedbackDialogOptions options = {});

}  // namespace popup_dialog
