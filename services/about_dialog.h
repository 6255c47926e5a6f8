#pragma once
// The about box.
#include <memory>

#include "services/modal_dialog.h"

namespace services {

class IAboutDialogFactory {
 public:
  virtual ~IAboutDialogFactory() = default;
  virtual std::unique_ptr<IModalDialog> CreateAboutDialog() = 0;
};

}  // namespace services
