#include "popup_dialog/menus/install.h"

#include <memory>

#include "image/exif/metadata.h"
#include "popup_dialog/info_panel/show_exif.h"
#include "popup_dialog/menus/context_menu.h"
#include "popup_dialog/menus/main_menu.h"
#include "services/info_panel.h"
#include "services/popup_menus.h"
#include "services/registry.h"

namespace popup_dialog {
namespace {

class PopupMenuFactory : public services::IPopupMenuFactory {
 public:
  explicit PopupMenuFactory(AppConfig& config) : config_(config) {}
  std::unique_ptr<services::IPopupMenu> CreateMainMenu(HWND owner) override {
    return std::make_unique<CMainMenu>(owner, config_);
  }
  std::unique_ptr<services::IPopupMenu> CreateContextMenu(HWND owner) override {
    return std::make_unique<CContextMenu>(owner);
  }

 private:
  AppConfig& config_;
};

class InfoPanelFactory : public services::IInfoPanelFactory {
 public:
  InfoPanelFactory(AppConfig& config, WndShowExif2::MapOpener openMap) : config_(config), open_map_(std::move(openMap)) {}
  std::unique_ptr<services::IInfoPanel> CreateInfoPanel(HWND mainWindow) override {
    auto panel = std::make_unique<WndShowExif2>(mainWindow, config_, open_map_);
    if (!panel->Open()) return nullptr;
    return panel;
  }

 private:
  AppConfig& config_;
  WndShowExif2::MapOpener open_map_;
};

}  // namespace

void InstallMenusAndInfoPanel(PopupOptions options) {
  AppConfig& config = options.config ? *options.config : AppConfig::Get();
  WndShowExif2::MapOpener openMap = options.open_map ? std::move(options.open_map) : WndShowExif2::MapOpener(&ShowOnMap);
  services::Install<services::IPopupMenuFactory>(std::make_unique<PopupMenuFactory>(config));
  services::Install<services::IInfoPanelFactory>(std::make_unique<InfoPanelFactory>(config, std::move(openMap)));
}

}  // namespace popup_dialog
