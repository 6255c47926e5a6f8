#include "popup_dialog/adjust/install.h"

#include <memory>

#include "image/current_image.h"
#include "popup_dialog/adjust/effect_window.h"
#include "services/adjust_window.h"
#include "services/registry.h"
#include "services/resize_dialog.h"

namespace popup_dialog {
namespace {

class AdjustWindowFactory : public services::IAdjustWindowFactory {
 public:
  std::unique_ptr<services::IAdjustWindow> CreateAdjustWindow(HWND owner) override {
    return std::make_unique<CEffectWnd>(owner);
  }
};

class ResizeDialogFactory : public services::IResizeDialogFactory {
 public:
  explicit ResizeDialogFactory(DlgResizeImage2::PathChooser choosePath) : choose_path_(std::move(choosePath)) {}
  std::unique_ptr<services::IResizeDialog> CreateResizeDialog() override {
    // The picture as it is shown (turned by its orientation), which is what the copy is made of.
    const CCurrentImage& image = CCurrentImage::Get();
    return std::make_unique<DlgResizeImage2>(image.GetDisplaySize(), image.Path(), choose_path_);
  }

 private:
  DlgResizeImage2::PathChooser choose_path_;
};

}  // namespace

void InstallAdjustDialogs(AdjustDialogOptions options) {
  services::Install<services::IAdjustWindowFactory>(std::make_unique<AdjustWindowFactory>());
  services::Install<services::IResizeDialogFactory>(
      std::make_unique<ResizeDialogFactory>(std::move(options.choose_path)));
}

}  // namespace popup_dialog
