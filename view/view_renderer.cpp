#include "view/view_renderer.h"

#include <algorithm>

#include "image/current_image.h"
#include "view/title_info.h"
#include "view/ui_event.h"

CViewRenderer::CViewRenderer(int width, int height, HWND viewWindow, bool* loading, const AppConfig& config)
    : config_(config), view_window_(viewWindow), limits_(std::make_unique<ZoomLimits>()) {
  const SIZE size = CCurrentImage::Get().GetDisplaySize();
  image_width_ = std::max<LONG>(size.cx, 0);
  image_height_ = std::max<LONG>(size.cy, 0);
  SetViewSize(width, height);
  if (loading) *loading = !pre_render_ || pre_render_->GetFrame(0) == nullptr;
  const bool longImage = image_width_ < 1280 && static_cast<long long>(image_height_) > 4LL * image_width_;
  if (config_.long_image_mode != 0 && longImage) SetZoom(1.0f, 0, 0);
}

CViewRenderer::~CViewRenderer() {
  pre_render_.reset();
  view_render::ReleaseBuffer(std::move(buffer_));
}

void CViewRenderer::UpdateScales() {
  if (image_width_ <= 0 || image_height_ <= 0) {
    x_scale_ = y_scale_ = zoom_;
    return;
  }
  x_scale_ = static_cast<float>(DrawnLength(image_width_, zoom_)) / static_cast<float>(image_width_);
  y_scale_ = static_cast<float>(DrawnLength(image_height_, zoom_)) / static_cast<float>(image_height_);
}

void CViewRenderer::HandZoomToTitle(float zoom) const { CTitleInfo::Get().SetZoom(zoom); }

float CViewRenderer::MinZoom() const noexcept { return std::min(limits_->fit_ratio, 0.05f); }

float CViewRenderer::MaxZoom() const noexcept {
  return static_cast<float>(std::clamp(config_.max_zoom_ratio, 4, 32));
}

void CViewRenderer::SetViewSize(int width, int height) {
  width = std::max(width, 1);
  height = std::max(height, 1);
  if (!buffer_ || buffer_->Width() != width || buffer_->Height() != height) {
    CAsyncTaskQueue& queue = CCurrentImage::Get().Queue();
    queue.ClearPending();
    queue.CancelRunning();
    view_render::ReleaseBuffer(std::move(buffer_));
    buffer_ = view_render::AcquireBuffer(width, height);
    const float fit = FitRatio(width, height, image_width_, image_height_);
    zoom_ = fit;
    UpdateScales();
    const float toggle = config_.double_click_action != 0 ? 1.0f : 2.0f * fit;
    const int drawnWidth = DrawnLength(image_width_, zoom_);
    const int drawnHeight = DrawnLength(image_height_, zoom_);
    geometry_ = std::make_unique<CViewGeometry>(width, height, drawnWidth, drawnHeight);
    *limits_ = ZoomLimits{fit, toggle};
    pre_render_.reset();
    if (CWICImageLoaderPtr loader = CCurrentImage::Get().Loader(); loader && loader->IsAnimatedPicture()) {
      pre_render_ = std::make_unique<CPreRenderAnimation>(*this);
    } else {
      pre_render_ = std::make_unique<CPreRenderKeyFrame>(*this, drawnWidth, drawnHeight);
    }
    Render();
  }
  HandZoomToTitle(zoom_);
}

void CViewRenderer::Render() {
  if (!buffer_ || !buffer_->IsValid()) return;
  HDC dc = buffer_->GetSafeHdc();
  const RECT all{0, 0, buffer_->Width(), buffer_->Height()};
  ::FillRect(dc, &all, config_.BackgroundBrush() ? config_.BackgroundBrush()
                                                 : static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  if (!pre_render_) return;
  const POINT origin = geometry_->DrawnOrigin();
  pre_render_->Draw(dc, origin.x, origin.y, origin.x + geometry_->DrawnWidth(), origin.y + geometry_->DrawnHeight());
}

void CViewRenderer::Redraw() {
  Render();
  if (view_window_ && ::IsWindow(view_window_)) {
    ::InvalidateRect(view_window_, nullptr, FALSE);
    ::UpdateWindow(view_window_);
  }
}

void CViewRenderer::Paint(HDC dc, int width, int height, bool sizing) {
  if (!buffer_ || !buffer_->IsValid()) return;
  if (!sizing) {
    ::BitBlt(dc, 0, 0, buffer_->Width(), buffer_->Height(), buffer_->GetSafeHdc(), 0, 0, SRCCOPY);
    return;
  }
  const float savedZoom = zoom_;
  const float savedX = x_scale_;
  const float savedY = y_scale_;
  zoom_ = FitRatio(width, height, image_width_, image_height_);
  UpdateScales();
  const int drawnWidth = DrawnLength(image_width_, zoom_);
  const int drawnHeight = DrawnLength(image_height_, zoom_);
  const int left = (width - drawnWidth) / 2;
  const int top = (height - drawnHeight) / 2;
  // The area around the stretched frame gets the canvas colour rather than stale pixels.
  const int saved = ::SaveDC(dc);
  ::ExcludeClipRect(dc, left, top, left + drawnWidth, top + drawnHeight);
  const RECT all{0, 0, width, height};
  if (HBRUSH brush = config_.BackgroundBrush()) ::FillRect(dc, &all, brush);
  ::RestoreDC(dc, saved);
  if (HBITMAP frame = pre_render_ ? pre_render_->GetFrame(0) : nullptr) {
    BITMAP info{};
    if (::GetObjectW(frame, sizeof(info), &info) != 0) {
      HDC source = ::CreateCompatibleDC(dc);
      const HGDIOBJ old = ::SelectObject(source, frame);
      const int mode = ::SetStretchBltMode(dc, COLORONCOLOR);
      ::StretchBlt(dc, left, top, drawnWidth, drawnHeight, source, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
      ::SetStretchBltMode(dc, mode);
      ::SelectObject(source, old);
      ::DeleteDC(source);
    }
  }
  HandZoomToTitle(zoom_);
  zoom_ = savedZoom;
  x_scale_ = savedX;
  y_scale_ = savedY;
}

void CViewRenderer::SetZoom(float zoom, int x, int y) {
  if (!geometry_ || !(zoom > 0.0f)) return;
  const POINT origin = geometry_->DrawnOrigin();
  const float ix = static_cast<float>(x - origin.x) / x_scale_;
  const float iy = static_cast<float>(y - origin.y) / y_scale_;
  zoom_ = zoom;
  UpdateScales();
  const int drawnWidth = DrawnLength(image_width_, zoom_);
  const int drawnHeight = DrawnLength(image_height_, zoom_);
  if (drawnWidth == geometry_->DrawnWidth() && drawnHeight == geometry_->DrawnHeight()) return;
  geometry_->SetImageSize(drawnWidth, drawnHeight);
  geometry_->ScrollTo(x_scale_ * ix, y_scale_ * iy, x, y);
  Render();
  HandZoomToTitle(zoom_);
  BroadcastUIEvent(CUIEventViewZoomChanged(zoom_, limits_->fit_ratio));
}

void CViewRenderer::ZoomBy(int steps, int x, int y) {
  float zoom = zoom_ * (1.0f + 0.1f * static_cast<float>(steps));
  const float upper = MaxZoom();
  if (zoom < upper) {
    zoom = std::max(zoom, MinZoom());
  } else {
    zoom = upper;
  }
  SetZoom(zoom, x, y);
}

void CViewRenderer::ToggleZoom(int x, int y) {
  const float target = zoom_ == limits_->fit_ratio ? limits_->toggle_target : limits_->fit_ratio;
  SetZoom(target, x, y);
}

void CViewRenderer::ToggleActualSize() {
  const float target = zoom_ == limits_->fit_ratio ? 1.0f : limits_->fit_ratio;
  SetZoom(target, buffer_ ? buffer_->Width() / 2 : 0, buffer_ ? buffer_->Height() / 2 : 0);
}

void CViewRenderer::Pan(int dx, int dy) {
  if (!geometry_ || !buffer_ || !buffer_->IsValid()) return;
  // No move can exceed the drawn size; keeping it there keeps the arithmetic below in range.
  dx = std::clamp(dx, -geometry_->DrawnWidth(), geometry_->DrawnWidth());
  dy = std::clamp(dy, -geometry_->DrawnHeight(), geometry_->DrawnHeight());
  const RECT old = geometry_->ScrollRect();
  if (!geometry_->MoveScroll(-dx, -dy)) return;
  const RECT& now = geometry_->ScrollRect();
  const int sx = old.left - now.left;
  const int sy = old.top - now.top;
  buffer_->ScrollContent(sx, sy);
  HDC dc = buffer_->GetSafeHdc();
  const int saved = ::SaveDC(dc);
  ::ExcludeClipRect(dc, sx, sy, sx + buffer_->Width(), sy + buffer_->Height());
  Render();
  ::RestoreDC(dc, saved);
}
