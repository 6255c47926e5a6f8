#pragma once
// The resize dialog: asks for a new size and where to save the resized picture.
#include <windows.h>

#include <memory>
#include <string>

#include "services/modal_dialog.h"

namespace services {

class IResizeDialog : public IModalDialog {
 public:
  // After DoModal answered 1: what to write.
  [[nodiscard]] virtual std::wstring OutputPath() const = 0;
  [[nodiscard]] virtual int OutputWidth() const = 0;
  [[nodiscard]] virtual int OutputHeight() const = 0;
};

class IResizeDialogFactory {
 public:
  virtual ~IResizeDialogFactory() = default;
  virtual std::unique_ptr<IResizeDialog> CreateResizeDialog() = 0;
};

}  // namespace services
