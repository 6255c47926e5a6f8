#include "view/view_geometry.h"

#include <algorithm>
#include <cmath>

int DrawnLength(int imageLength, float zoom) noexcept {
  const double length = std::floor(static_cast<double>(imageLength) * static_cast<double>(zoom));
  if (!(length >= 2.0)) return 1;
  return length > 2147483647.0 ? 2147483647 : static_cast<int>(length);
}

float FitRatio(int areaWidth, int areaHeight, int imageWidth, int imageHeight) noexcept {
  if (imageWidth <= 0 || imageHeight <= 0) return 1.0f;
  const float w = static_cast<float>(areaWidth) / static_cast<float>(imageWidth);
  const float h = static_cast<float>(areaHeight) / static_cast<float>(imageHeight);
  const float fit = std::min({w, h, 1.0f});
  // An area with no room still draws the picture one pixel small rather than at a negative zoom.
  return fit > 0.0f ? fit : std::min(1.0f / static_cast<float>(imageWidth), 1.0f / static_cast<float>(imageHeight));
}

CViewGeometry::CViewGeometry(int viewWidth, int viewHeight, int drawnWidth, int drawnHeight)
    : view_width_(viewWidth), view_height_(viewHeight) {
  SetImageSize(drawnWidth, drawnHeight);
}

void CViewGeometry::SetImageSize(int drawnWidth, int drawnHeight) {
  drawn_width_ = drawnWidth;
  drawn_height_ = drawnHeight;
  const int left = (view_width_ - drawnWidth) / 2;
  const int top = (view_height_ - drawnHeight) / 2;
  const RECT centred{left, top, left + drawnWidth, top + drawnHeight};
  const RECT area{0, 0, view_width_, view_height_};
  if (!::IntersectRect(&visible_, &centred, &area)) visible_ = RECT{};
  overflow_x_ = std::max(drawnWidth - view_width_, 0);
  overflow_y_ = std::max(drawnHeight - view_height_, 0);
  ScrollTo(0.0f, 0.0f, 0, 0);
}

void CViewGeometry::ScrollTo(float px, float py, int cx, int cy) {
  scroll_ = RECT{0, 0, drawn_width_, drawn_height_};
  // std::llround rounds halves away from zero; a point that is not a number scrolls to the edge.
  if (!std::isfinite(px)) px = 0.0f;
  if (!std::isfinite(py)) py = 0.0f;
  if (overflow_x_ != 0) {
    const long long left = std::clamp<long long>(std::llround(px) - cx, 0, overflow_x_);
    scroll_.left = static_cast<LONG>(left);
    scroll_.right = scroll_.left + view_width_;
  }
  if (overflow_y_ != 0) {
    const long long top = std::clamp<long long>(std::llround(py) - cy, 0, overflow_y_);
    scroll_.top = static_cast<LONG>(top);
    scroll_.bottom = scroll_.top + view_height_;
  }
}

bool CViewGeometry::MoveScroll(int dx, int dy) {
  const RECT old = scroll_;
  ::OffsetRect(&scroll_, dx, dy);
  if (scroll_.left < 0) {
    ::OffsetRect(&scroll_, -scroll_.left, 0);
  } else if (scroll_.right > drawn_width_) {
    ::OffsetRect(&scroll_, drawn_width_ - scroll_.right, 0);
  }
  if (scroll_.top < 0) {
    ::OffsetRect(&scroll_, 0, -scroll_.top);
  } else if (scroll_.bottom > drawn_height_) {
    ::OffsetRect(&scroll_, 0, drawn_height_ - scroll_.bottom);
  }
  return !::EqualRect(&old, &scroll_);
}

POINT CViewGeometry::DrawnOrigin() const {
  POINT origin{};
  origin.x = overflow_x_ != 0 ? -scroll_.left : (view_width_ - drawn_width_) / 2;
  origin.y = overflow_y_ != 0 ? -scroll_.top : (view_height_ - drawn_height_) / 2;
  return origin;
}
