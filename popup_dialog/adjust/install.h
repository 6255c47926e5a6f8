#pragma once
// Installs the adjustment pop-up and the resize dialog as the services the toolbar and the main
// window call.
#include "popup_dialog/adjust/resize_dialog.h"

namespace popup_dialog {

struct AdjustDialogOptions {
  // How the resize dialog asks for the output file (the platform's save dialog unless a test
  // says otherwise).
  DlgResizeImage2::PathChooser choose_path = &DlgResizeImage2::ChooseWithSaveDialog;
};

void InstallAdjustDialogs(AdjustDialogOptions options = {});

}  // namespace popup_dialog
