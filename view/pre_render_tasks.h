#pragma once
// The background work of the pre-render: the fit bitmap, the zoom key frames and the frames of an
// animated picture. Each task runs on the current image's queue and reports to the pre-render's
// hidden window, which it first checks is still there.
#include <windows.h>
#include <wincodec.h>

#include <atomic>
#include <deque>
#include <memory>
#include <string>

#include "base/async_task.h"
#include "base/com.h"
#include "image/wic/loader.h"
#include "view/pre_render.h"

namespace pre_render {

// The side of a frame at `ratio` of a side of `size` pixels: the integer part, and 1 below 2.
[[nodiscard]] int ScaledExtent(float ratio, int size) noexcept;

// Scales the picture to width × height with Fant interpolation and materialises it as 32-bit
// premultiplied BGRA, ready to become a Direct2D bitmap.
[[nodiscard]] HRESULT MakeKeyFramePixels(IWICBitmapSource* source, int width, int height, IWICBitmap** out);

// A GDI+ bitmap (GpBitmap*) holding a copy of the pixels of a 32-bit BGRA or PBGRA source; null on
// failure. Dispose with DisposeGdiplusBitmap.
[[nodiscard]] void* MakeGdiplusBitmap(IWICBitmapSource* source);
void DisposeGdiplusBitmap(void* bitmap) noexcept;

// Gives the key frame its Direct2D bitmap for this target from the pixels the task left in it.
// A full-resolution frame that Direct2D refuses gets a GDI+ bitmap instead. The pixels are let go
// once the frame can be drawn, and also when no bitmap could be made for this target.
void RealiseKeyFrame(CZoomKeyFrame& frame, ID2D1RenderTarget* target, bool fullResolution);

}  // namespace pre_render

// Makes the fit bitmap of a large picture: a thumbnail from the cache when it is good enough,
// else a decode at the fitted size.
class CAsyncCreateFitView : public CAsyncTask {
 public:
  CAsyncCreateFitView(HWND target, int width, int height, bool skipCacheExtract);
  ~CAsyncCreateFitView() override;

  void Execute() override;
  void OnComplete() override;

  // Hands the result bitmap to the caller (null when there was none).
  [[nodiscard]] HBITMAP TakeResult() noexcept;
  [[nodiscard]] bool NeedsRefinement() const noexcept { return needs_refinement_; }

 private:
  bool TryThumbnail(int size, int mode, bool mustBeGood);

  CWICImageLoaderPtr loader_;
  std::wstring path_;
  HWND target_;
  int width_;
  int height_;
  bool skip_cache_extract_;
  bool in_memory_;
  WICBitmapTransformOptions transform_ = WICBitmapTransformRotate0;
  base::ComPtr<IWICColorContext> context_;
  HBITMAP result_ = nullptr;
  bool needs_refinement_ = false;
};

// Builds the zoom key frames: A at twice the fit ratio, B at four times, C at full resolution.
// The worker makes pixels only; the Direct2D bitmaps are made on the user-interface thread when the
// frames are handed over, since the render target belongs to that thread.
class CAsyncCreateZoomContext : public CAsyncTask {
 public:
  // `maxBitmapSize`: the render target's largest bitmap side (0 when unknown).
  CAsyncCreateZoomContext(HWND target, float fitRatio, int imageWidth, int imageHeight, UINT maxBitmapSize);

  void Execute() override;
  void OnComplete() override;
  void Cancel() noexcept override;

  [[nodiscard]] const CZoomKeyFramePtr& A() const noexcept { return a_; }
  [[nodiscard]] const CZoomKeyFramePtr& B() const noexcept { return b_; }
  [[nodiscard]] const CZoomKeyFramePtr& C() const noexcept { return c_; }

 private:
  void Enhance(IWICBitmap* bitmap);
  [[nodiscard]] CZoomKeyFramePtr MakeFrame(IWICBitmapSource* source, float ratio) const;
  [[nodiscard]] CZoomKeyFramePtr MakeFullFrame(IWICBitmap* source) const;
  // Passes the frames made so far to the pre-render; false when it is gone or the task was stopped.
  bool HandOver();
  [[nodiscard]] bool TargetAlive() const noexcept;

  CWICImageLoaderPtr loader_;
  HWND target_;
  float fit_ratio_;
  int image_width_;
  int image_height_;
  UINT max_bitmap_size_;
  bool apply_profile_;
  int enhance_mode_;
  // Mirrors the keep-going flag for the pixel effects' progress observer.
  std::atomic<LONG> alive_{1};
  CZoomKeyFramePtr a_, b_, c_;
};

// Loads every frame of an animated GIF with its delay, composed over the canvas colour.
class CAsyncLoadAnimation : public CAsyncTask {
 public:
  CAsyncLoadAnimation(HWND target, std::wstring path);

  void Execute() override;
  void OnComplete() override;

  [[nodiscard]] std::deque<CPreRenderAnimation::Frame>& Frames() noexcept { return frames_; }

 private:
  HWND target_;
  std::wstring path_;
  COLORREF canvas_;
  std::deque<CPreRenderAnimation::Frame> frames_;
};
