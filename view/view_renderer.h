#pragma once
// The drawing side of the main image view for the picture on screen: the zoom, the placement of
// the zoomed picture in the image area, an off-screen buffer of the area's size and the pre-render
// that supplies pixels. Every change is rendered into the buffer; painting copies the buffer.
// User-interface thread only.
#include <windows.h>

#include <memory>

#include "appconfig/app_config.h"
#include "view/buffered_view.h"
#include "view/pre_render.h"
#include "view/view_geometry.h"

class CViewRenderer : public IPreRenderOwner {
 public:
  struct ZoomLimits {
    float fit_ratio = 1.0f;
    float toggle_target = 2.0f;  // where a double click goes from the fitted view
  };

  // A renderer for the current image in an area of width × height; *loading is set when no
  // picture is available yet (the view then shows its loading indicator).
  CViewRenderer(int width, int height, HWND viewWindow, bool* loading, const AppConfig& config = AppConfig::Get());
  ~CViewRenderer() override;
  CViewRenderer(const CViewRenderer&) = delete;
  CViewRenderer& operator=(const CViewRenderer&) = delete;

  // A new area size rebuilds buffer, geometry and pre-render and returns to the fitted view.
  void SetViewSize(int width, int height);
  // Zooms so that the image pixel under the area point (x, y) stays there.
  void SetZoom(float zoom, int x, int y);
  void ZoomBy(int steps, int x, int y);
  void ToggleZoom(int x, int y);
  void ToggleActualSize();
  // Follows a mouse movement of (dx, dy) view pixels.
  void Pan(int dx, int dy);
  void Render();
  void Redraw() override;
  // Copies the buffer to dc (origin at the image area's corner); while sizing, stretches the fit
  // frame over a temporary fitted placement for width × height instead.
  void Paint(HDC dc, int width, int height, bool sizing);

  [[nodiscard]] int ImageWidth() const override { return image_width_; }
  [[nodiscard]] int ImageHeight() const override { return image_height_; }
  [[nodiscard]] float CurrentZoom() const override { return zoom_; }
  [[nodiscard]] HWND ViewWindow() const override { return view_window_; }

  [[nodiscard]] float XScale() const noexcept { return x_scale_; }
  [[nodiscard]] float YScale() const noexcept { return y_scale_; }
  [[nodiscard]] const ZoomLimits& Limits() const noexcept { return *limits_; }
  [[nodiscard]] const CViewGeometry& Geometry() const noexcept { return *geometry_; }
  [[nodiscard]] const view_render::CBufferedView& Buffer() const noexcept { return *buffer_; }
  [[nodiscard]] CPreRender* PreRender() const noexcept { return pre_render_.get(); }
  // The lowest zoom the wheel reaches: min(fit, 0.05).
  [[nodiscard]] float MinZoom() const noexcept;
  [[nodiscard]] float MaxZoom() const noexcept;

 private:
  void UpdateScales();
  void HandZoomToTitle(float zoom) const;

  const AppConfig& config_;
  HWND view_window_;
  int image_width_ = 0;
  int image_height_ = 0;
  float zoom_ = 1.0f;
  float x_scale_ = 1.0f;
  float y_scale_ = 1.0f;
  std::unique_ptr<view_render::CBufferedView> buffer_;
  std::unique_ptr<CViewGeometry> geometry_;
  std::unique_ptr<ZoomLimits> limits_;
  std::unique_ptr<CPreRender> pre_render_;
};
