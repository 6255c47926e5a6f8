#pragma once
// The question before a picture goes to the recycle bin: "ok" answers 1 (and, with "notip"
// ticked, stops asking from now on), "cancel", "cls", Escape and any other way of closing answer
// 2 and change nothing.
#include <string>

#include "appconfig/app_config.h"
#include "skin/window/dialog_base.h"

class DlgDeleteConfirm2 : public CDlgBase {
 public:
  DlgDeleteConfirm2(AppConfig& config, std::wstring path);

  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"DlgDeleteConfirm2"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return L"deltip.xml"; }
  void OnWindowInit() override;
  void OnNotify(skin::Notification& notification) override;

 private:
  AppConfig& config_;
  std::wstring path_;
};
