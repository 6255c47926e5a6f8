#pragma once
// The information panel: a small pop-up beside the toolbar's information button that lists the
// current picture's file facts and camera values (info_texts.h) and, for a picture with a GPS
// position, a link that opens the place on a web map. It follows the picture: every
// image-changed event fills it again. It never takes the activation, so the keys go on reaching
// the main window (stepping with the panel open). "cls" asks the main window to close it
// (command 20000, the same as the button).
#include <windows.h>

#include <functional>
#include <string>

#include "appconfig/app_config.h"
#include "services/info_panel.h"
#include "skin/window/skin_window.h"
#include "view/ui_event.h"

class WndShowExif2 : public CUseZipResourceDuiWnd, public CUIEventObserver, public services::IInfoPanel {
 public:
  static constexpr UINT kCommandInfoPanel = 20000;
  // Opens a GPS text ("lat,lon") on a web map.
  using MapOpener = std::function<void(const std::wstring& gps)>;

  WndShowExif2(HWND mainWindow, AppConfig& config, MapOpener openMap);

  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"WndShowExif2"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return L"imginfo.xml"; }
  void OnWindowInit() override;
  void OnNotify(skin::Notification& notification) override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  // Makes the panel's window, hidden until it is placed; false when it could not be made.
  bool Open();
  // Refills every row from the current picture.
  void RefreshInfoPanel();
  // Next to the button: its left edge at the button's, below it, or above it when the toolbar
  // is at the bottom; shown without taking the activation.
  void PlaceInfoPanel(const RECT& button);

  // services::IInfoPanel
  void Place(const RECT& buttonScreenRect) override { PlaceInfoPanel(buttonScreenRect); }
  // CUIEventObserver
  void OnUIEvent(const CUIEventParam& event) override;

 private:
  HWND main_window_;
  AppConfig& config_;
  MapOpener open_map_;
  std::wstring gps_;
};
