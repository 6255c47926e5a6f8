#pragma once
// The owner-drawn items of the main image view: the turn-page arrows with their fade, the loading
// animation, the load-error message and the welcome picture with its open button; and the layout
// that places them.
#include <windows.h>

#include <string>

#include "base/handles.h"
#include "image/obj_image.h"
#include "widget/timer_notify.h"
#include "widget/widget_window.h"

namespace main_view {

enum ItemId : int {
  kPreviousArrow = 100,
  kNextArrow = 101,
  kLoadError = 102,
  kLoading = 103,
  kWelcomeOpen = 105,
  kWelcomeSlogan = 106,
};

// An arrow at the left or right edge that fades in while the pointer is over it.
class CTurnPageItem : public CWidgetItem, public FCTimerNotify {
 public:
  static constexpr UINT kFadeTickMs = 10;

  // Takes the arrow picture over (32-bit, straight alpha).
  CTurnPageItem(int id, FCObjImage&& arrow, CWidgetWindow& view);

  void OnMouseEnter() override;
  void OnMouseLeave() override;
  void OnTimer() override;
  void Draw(HDC dc) override;

  [[nodiscard]] int FadePercent() const noexcept { return percent_; }
  [[nodiscard]] int ArrowWidth() const noexcept { return source_.Width(); }

 private:
  FCObjImage source_;
  FCObjImage display_;
  int percent_ = 0;
  int step_ = 10;
  CWidgetWindow& view_;
};

// A strip of square frames stepped every 100 ms.
class CLoadingGifItem : public CWidgetItem, public FCTimerNotify {
 public:
  static constexpr UINT kFrameMs = 100;

  CLoadingGifItem(FCObjImagePtr strip, CWidgetWindow& view);
  void OnTimer() override;
  void Draw(HDC dc) override;
  [[nodiscard]] const RECT& FrameRect() const noexcept { return frame_; }

 private:
  FCObjImagePtr strip_;
  RECT frame_{};
  CWidgetWindow& view_;
};

// The file name and the message for a picture that could not be decoded.
class CLoadErrorItem : public CWidgetItem {
 public:
  // fileName: the name the title shows.
  explicit CLoadErrorItem(std::wstring fileName);
  void Draw(HDC dc) override;

 private:
  base::FontHandle font_;
  std::wstring file_name_;
  std::wstring message_;
};

class CWelcomeSlogonItem : public widget_window::CWidgetItemImage {
 public:
  explicit CWelcomeSlogonItem(FCObjImagePtr picture);
};

// The open button: three states side by side in its picture (normal, hover, pressed).
class CWelcomeOpenItem : public widget_window::CWidgetItemImage {
 public:
  explicit CWelcomeOpenItem(FCObjImagePtr picture);
  void Draw(HDC dc) override;
};

// Places the items in the client rectangle.
class CMainViewLayout : public CWidgetLayout {
 public:
  explicit CMainViewLayout(int arrowWidth) : arrow_width_(arrowWidth) {}
  void Layout(HWND window, WidgetItemList& items) override;
  // The same for a given client rectangle.
  void LayoutIn(const RECT& client, WidgetItemList& items) const;

 private:
  int arrow_width_;
};

// A source rectangle fitted into a box keeping its proportions, never enlarged, never below one
// pixel a side, centred.
RECT FitCentred(int sourceWidth, int sourceHeight, int boxWidth, int boxHeight);

}  // namespace main_view
