#pragma once
// Where the zoomed picture lies in the image area: centred where it is smaller than the area,
// scrolled where it is larger.
#include <windows.h>

class CViewGeometry {
 public:
  CViewGeometry(int viewWidth, int viewHeight, int drawnWidth, int drawnHeight);

  // A new zoomed size: centred again, scrolled to the top-left.
  void SetImageSize(int drawnWidth, int drawnHeight);
  // Scrolls so that the drawn-image point (px, py) lies under the area point (cx, cy), as far as
  // the overflow allows.
  void ScrollTo(float px, float py, int cx, int cy);
  // Moves the shown part by (dx, dy) drawn-image pixels, stopping at the edges. True when it moved.
  bool MoveScroll(int dx, int dy);

  // The top-left corner of the drawn picture in the image area.
  [[nodiscard]] POINT DrawnOrigin() const;

  [[nodiscard]] int ViewWidth() const noexcept { return view_width_; }
  [[nodiscard]] int ViewHeight() const noexcept { return view_height_; }
  [[nodiscard]] int DrawnWidth() const noexcept { return drawn_width_; }
  [[nodiscard]] int DrawnHeight() const noexcept { return drawn_height_; }
  [[nodiscard]] const RECT& VisibleRect() const noexcept { return visible_; }
  [[nodiscard]] int OverflowX() const noexcept { return overflow_x_; }
  [[nodiscard]] int OverflowY() const noexcept { return overflow_y_; }
  [[nodiscard]] const RECT& ScrollRect() const noexcept { return scroll_; }

 private:
  int view_width_;
  int view_height_;
  int drawn_width_ = 0;
  int drawn_height_ = 0;
  RECT visible_{};
  int overflow_x_ = 0;
  int overflow_y_ = 0;
  RECT scroll_{};
};

// The drawn length of a picture side at a zoom: the integer part, and 1 below 2.
[[nodiscard]] int DrawnLength(int imageLength, float zoom) noexcept;
// The ratio that fits a picture into an area, never above 1.
[[nodiscard]] float FitRatio(int areaWidth, int areaHeight, int imageWidth, int imageHeight) noexcept;
