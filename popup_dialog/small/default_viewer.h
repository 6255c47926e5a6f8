#pragma once
// The offer to make the viewer the default program for pictures: "ok" answers 1, "cancel",
// "cls" and Escape answer 2. With "notip" ticked either way, the offer is not made again at
// start-up.
#include "appconfig/app_config.h"
#include "services/modal_dialog.h"
#include "skin/window/dialog_base.h"

class DlgSetDefaultViewer2 : public CDlgBase, public services::IModalDialog {
 public:
  explicit DlgSetDefaultViewer2(AppConfig& config) : config_(config) {}

  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"DlgSetDefaultViewer2"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return L"default.xml"; }
  void OnWindowInit() override;
  void OnNotify(skin::Notification& notification) override;

  INT_PTR DoModal(HWND owner) override { return CDlgBase::DoModal(owner); }
  [[nodiscard]] HWND GetSafeHwnd() const override { return GetHWND(); }

 protected:
  void OnCancelKey() override { Answer(kCancel); }

 private:
  void Answer(INT_PTR result);

  AppConfig& config_;
};
