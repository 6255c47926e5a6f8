#pragma once
// The prompt that offers to make the viewer the default program for pictures (result 1: yes).
#include <memory>

#include "services/modal_dialog.h"

namespace services {

class IDefaultViewerPromptFactory {
 public:
  virtual ~IDefaultViewerPromptFactory() = default;
  virtual std::unique_ptr<IModalDialog> CreateDefaultViewerPrompt() = 0;
};

}  // namespace services
