#pragma once
// The logo in the title strip: the wide picture while no picture is shown, the small mark beside
// the title otherwise.
#include <windows.h>

#include "widget/widget_window.h"

// Gives every visible item the whole client rectangle.
class CSwitchLayout : public CWidgetLayout {
 public:
  void Layout(HWND window, WidgetItemList& items) override;
};

class WndMainLogo : public CWidgetWindow {
 public:
  static constexpr int kChildId = 103;

  WndMainLogo();
  ~WndMainLogo() override;
  // 90 x 18 with the wide picture, or 24 x 18 with the small one.
  void SetLogoMode(bool wide);
  [[nodiscard]] bool IsWide() const noexcept { return wide_; }

 protected:
  void DrawBackground(HDC dc, int left, int top, int right, int bottom) override;

 private:
  bool wide_ = true;
};
