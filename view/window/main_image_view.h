#pragma once
// The child window of the main window in which the picture is shown. Besides the picture, drawn
// by a CViewRenderer made for every shown picture, it holds a few owner-drawn items: the
// previous/next arrows, the loading animation, the load-error message, and the welcome picture
// with its open button while nothing is open. It turns mouse input into zoom, pan and stepping,
// tells the folder list which file is shown and raises the view's UI events.
// User-interface thread only.
#include <windows.h>

#include <memory>

#include "appconfig/app_config.h"
#include "services/popup_menus.h"
#include "view/view_renderer.h"
#include "widget/widget_window.h"

class WndMainImageView : public CWidgetWindow {
 public:
  // Child id of the view in the main window.
  static constexpr int kChildId = 101;

  // The states the view moves through with the current image.
  enum class State { kWelcome, kLoading, kShown, kLoadError };

  explicit WndMainImageView(AppConfig& config = AppConfig::Get());
  ~WndMainImageView() override;

  // Rebuilds the view for the current image (CCurrentImage).
  void ShowCurrentImage();
  void ToggleActualSize();
  void ZoomStep(bool in);
  // Turns the picture a quarter (and saves it when the settings say so); nothing for animations.
  void RotateImage(bool clockwise);
  // Commands 26000 (up) and 26001 (down): pans by 0.8 of the full-screen client height.
  void ScrollVertical(int command);
  void OnSizingStarted() noexcept { sizing_ = true; }
  void OnSizingEnded();
  void UpdateViewSize();
  // The main window closes: closes the wheel question if it is open.
  void CloseView();

  // The part of the client area the picture is drawn into.
  [[nodiscard]] RECT ImageArea() const;
  [[nodiscard]] CViewRenderer* Renderer() const noexcept { return renderer_.get(); }
  [[nodiscard]] State GetState() const noexcept;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
  void DrawBackground(HDC dc, int left, int top, int right, int bottom) override;
  void OnLButtonDown(int x, int y) override;
  void OnLButtonDblClk(int x, int y) override;
  void OnCreated() override;
  void OnDestroying() override;

 private:
  void OnMouseWheel(int delta, UINT keys, POINT screen);
  void OnContextMenu(POINT screen);
  void OnMenuCommand(WPARAM command);
  void OnFolderImageCollected();
  void OnFrameArrived(bool failed);
  // Acts on a press of an item; false when the point holds no item.
  bool PressItem(int x, int y);
  void DragPicture(int x, int y);
  void PostToMain(UINT message, WPARAM wParam, LPARAM lParam) const;
  void SetArrowsVisible(bool previous, bool next);
  void RedrawNow() const;

  AppConfig& config_;
  bool sizing_ = false;
  std::unique_ptr<CViewRenderer> renderer_;
  std::unique_ptr<services::IPopupMenu> context_menu_;
};
