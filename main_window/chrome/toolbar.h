#pragma once
// The toolbar: a row of 52 x 52 image buttons under the title strip or at the bottom of the main
// window. Clicks post the button's command to the main window; the toolbar owns the information
// panel and the adjustment window while they are open, and follows the view's UI events to enable,
// disable and check its buttons.
#include <windows.h>

#include <memory>

#include "appconfig/app_config.h"
#include "image/obj_image.h"
#include "main_window/chrome/button_layout.h"
#include "services/adjust_window.h"
#include "services/info_panel.h"
#include "view/ui_event.h"
#include "widget/widget_window.h"

namespace wnd_main_toolbar {

// A button drawn from the shared sprite sheet: backgrounds in columns 0 (hover) and 1 (pressed or
// checked), icons from column 2 on, in rows 0 (normal), 1 (highlighted) and 2 (disabled).
class CToolbarButton : public CWidgetItem {
 public:
  CToolbarButton(int command, int column, Group group, FCObjImagePtr sheet);
  void Draw(HDC dc) override;
  [[nodiscard]] int Column() const noexcept { return column_; }
  void SetColumn(int column) noexcept { column_ = column; }

 private:
  FCObjImagePtr sheet_;
  int column_;
};

}  // namespace wnd_main_toolbar

class WndMainToolbar : public CWidgetWindow, public CUIEventObserver {
 public:
  static constexpr int kChildId = 102;
  static constexpr int kCommandActualSize = 20002;
  static constexpr int kCommandAdjust = 20011;

  explicit WndMainToolbar(AppConfig& config = AppConfig::Get());
  ~WndMainToolbar() override;

  void ToggleInfoPanel();
  void ToggleAdjustWindow();
  void SetFullScreen(bool on);
  // Keeps the open pop-ups beside their buttons (after a move or a layout).
  void RepositionPopups();

  void OnUIEvent(const CUIEventParam& event) override;
  // The actual-size button shows "fit to window" (column 15).
  [[nodiscard]] bool IsActualSizeAlternative() const;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void DrawBackground(HDC dc, int left, int top, int right, int bottom) override;
  void OnItemClick(CWidgetItem* item) override;
  void OnLButtonDown(int x, int y) override;
  void OnDestroying() override;

 private:
  void RefreshButtons();
  void RefreshStepButtons();
  void ToggleActualSizeState();
  void SetActualSizeState(bool alternative);
  // WM_ADJUST_WINDOW_CLOSED: the mode chosen (0 when dropped) and the window that sent it.
  void OnAdjustWindowClosed(WPARAM mode, LPARAM sender);
  void DropAdjustWindow();
  [[nodiscard]] RECT ButtonScreenRect(int command) const;
  void SetChecked(int command, bool on);
  void SetEnabled(int command, bool on);
  void PostCommand(int command) const;

  AppConfig& config_;
  FCObjImagePtr sheet_;
  std::unique_ptr<services::IInfoPanel> info_panel_;
  std::unique_ptr<services::IAdjustWindow> adjust_window_;
  bool full_screen_ = false;
  // The press under way began on the adjust button while its window was open.
  bool press_drops_adjust_ = false;
};
