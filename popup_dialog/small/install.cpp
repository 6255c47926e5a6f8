#include "popup_dialog/small/install.h"

#include <memory>

#include "popup_dialog/small/default_viewer.h"
#include "popup_dialog/small/delete_confirm.h"
#include "popup_dialog/small/wheel_favorite.h"
#include "services/about_dialog.h"
#include "services/default_viewer_prompt.h"
#include "services/delete_confirmation.h"
#include "services/registry.h"
#include "services/wheel_question.h"

namespace popup_dialog {
namespace {

class DeleteConfirmation : public services::IDeleteConfirmation {
 public:
  explicit DeleteConfirmation(AppConfig& config) : config_(config) {}
  bool Confirm(HWND owner, const std::wstring& path) override {
    DlgDeleteConfirm2 dialog(config_, path);
    return dialog.DoModal(owner) == CDlgBase::kOk;
  }

 private:
  AppConfig& config_;
};

class DefaultViewerPromptFactory : public services::IDefaultViewerPromptFactory {
 public:
  explicit DefaultViewerPromptFactory(AppConfig& config) : config_(config) {}
  std::unique_ptr<services::IModalDialog> CreateDefaultViewerPrompt() override {
    return std::make_unique<DlgSetDefaultViewer2>(config_);
  }

 private:
  AppConfig& config_;
};

class WheelQuestion : public services::IWheelQuestion {
 public:
  explicit WheelQuestion(AppConfig& config) : config_(config) {}
  void Ask(HWND owner) override {
    if (DlgMouseWheelFavorite2::Current()) return;
    DlgMouseWheelFavorite2 dialog(config_);
    (void)dialog.DoModal(owner);
  }
  [[nodiscard]] HWND OpenWindow() const override {
    const DlgMouseWheelFavorite2* dialog = DlgMouseWheelFavorite2::Current();
    return dialog ? dialog->GetHWND() : nullptr;
  }

 private:
  AppConfig& config_;
};

class AboutDialogFactory : public services::IAboutDialogFactory {
 public:
  AboutDialogFactory(std::function<std::wstring()> version, DlgAbout2::PageOpener open)
      : version_(std::move(version)), open_(std::move(open)) {}
  std::unique_ptr<services::IModalDialog> CreateAboutDialog() override {
    return std::make_unique<DlgAbout2>(version_ ? version_() : std::wstring(), open_);
  }

 private:
  std::function<std::wstring()> version_;
  DlgAbout2::PageOpener open_;
};

}  // namespace

void InstallSmallDialogs(SmallDialogOptions options) {
  AppConfig& config = options.config ? *options.config : AppConfig::Get();
  services::Install<services::IDeleteConfirmation>(std::make_unique<DeleteConfirmation>(config));
  services::Install<services::IDefaultViewerPromptFactory>(std::make_unique<DefaultViewerPromptFactory>(config));
  services::Install<services::IWheelQuestion>(std::make_unique<WheelQuestion>(config));
  services::Install<services::IAboutDialogFactory>(
      std::make_unique<AboutDialogFactory>(std::move(options.version_text), std::move(options.open_page)));
}

}  // namespace popup_dialog
