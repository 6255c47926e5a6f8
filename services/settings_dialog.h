#pragma once
// The settings dialog (F5, the "setting" switch, the main menu).
#include <memory>

#include "services/modal_dialog.h"

namespace services {

class ISettingsDialog : public IModalDialog {
 public:
  // After DoModal: an option that changes how pictures are shown changed, so the picture on
  // screen must be opened again.
  [[nodiscard]] virtual bool DisplayOptionsChanged() const = 0;
};

class ISettingsDialogFactory {
 public:
  virtual ~ISettingsDialogFactory() = default;
  virtual std::unique_ptr<ISettingsDialog> CreateSettingsDialog() = 0;
};

}  // namespace services
