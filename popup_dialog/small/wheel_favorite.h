#pragma once
// The question what the mouse wheel should do: step through the pictures ("turnpage", 0) or
// zoom ("zoom", 1). "ok" stores the choice (and, with "notip" ticked, never asks again) and saves
// the settings at once; "cls" and Escape store stepping through pictures the same way. Closing
// the window otherwise (the viewer going away) stores nothing.
#include "appconfig/app_config.h"
#include "skin/window/dialog_base.h"

class DlgMouseWheelFavorite2 : public CDlgBase {
 public:
  explicit DlgMouseWheelFavorite2(AppConfig& config);
  ~DlgMouseWheelFavorite2() override;

  // The question while one exists (at most one is shown), else null.
  static DlgMouseWheelFavorite2* Current();

  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"DlgMouseWheelFavorite2"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return L"mousewheel.xml"; }
  void OnWindowInit() override;
  void OnNotify(skin::Notification& notification) override;

 protected:
  void OnCancelKey() override { ChooseAndClose(0); }

 private:
  // Stores the action and the ask-no-more choice, saves, and ends with 1.
  void Store();
  void ChooseAndClose(int action);

  AppConfig& config_;
  int action_ = 0;
  int ask_no_more_ = 1;
};
