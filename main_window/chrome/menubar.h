#pragma once
// The menu button in the title strip: one 30 x 30 button that opens the main menu and shows its
// checked frame while the menu is open.
#include <windows.h>

#include <memory>

#include "image/obj_image.h"
#include "services/popup_menus.h"
#include "view/ui_event.h"
#include "widget/widget_window.h"

namespace wnd_main_toolbar {

// Frames of "wnd_menu.png" side by side: normal, hover, pressed or checked, disabled.
class CToolbarButton2 : public CWidgetItem {
 public:
  CToolbarButton2(int command, FCObjImagePtr frames);
  void Draw(HDC dc) override;

 private:
  FCObjImagePtr frames_;
};

}  // namespace wnd_main_toolbar

class WndMainMenubar : public CWidgetWindow, public CUIEventObserver {
 public:
  static constexpr int kChildId = 103;
  static constexpr int kCommandMainMenu = 20012;

  WndMainMenubar();
  ~WndMainMenubar() override;

  void ShowMainMenu();
  [[nodiscard]] bool IsMenuOpen() const noexcept { return menu_ != nullptr; }
  // Registered with the bus like the other chrome, but no event concerns it.
  void OnUIEvent(const CUIEventParam&) override {}

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void DrawBackground(HDC dc, int left, int top, int right, int bottom) override;
  void OnItemClick(CWidgetItem* item) override;
  void OnDestroying() override;

 private:
  // The menu's choice (or -1); sender is the reporting menu's window.
  void OnMenuCommand(WPARAM command, LPARAM sender);

  FCObjImagePtr frames_;
  std::unique_ptr<services::IPopupMenu> menu_;
};
