#include "popup_dialog/feedback/install.h"

#include <memory>

#include "base/paths.h"
#include "popup_dialog/feedback/dlg_feedback.h"
#include "services/registry.h"

namespace popup_dialog {
namespace {

class FeedbackDialogFactory : public services::IFeedbackDialogFactory {
 public:
  FeedbackDialogFactory(AppConfig& config, std::wstring folder) : config_(config), folder_(std::move(folder)) {}
  std::unique_ptr<services::IFeedbackDialog> CreateFeedbackDialog() override {
    return std::make_unique<CFeedbackDlg>(config_, folder_);
  }

 private:
  AppConfig& config_;
  std::wstring folder_;
};

}  // namespace

void InstallFeedbackDialog(FeedbackDialogOptions options) {
  AppConfig& config = options.config ? *options.config : AppConfig::Get();
  std::wstring folder = options.program_folder.empty() ? base::GetModuleFolder() : std::move(options.program_folder);
  services::Install<services::IFeedbackDialogFactory>(std::make_unique<FeedbackDialogFactory>(config, std::move(folder)));
}

}  // namespace popup_dialog
