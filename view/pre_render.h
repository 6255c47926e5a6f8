#pragma once
// What the view draws for the picture on screen. A still picture gets a fit frame (a screen bitmap
// at the fitted size, from the quickest source at hand) and, once the user zooms beyond the fit, up
// to three zoom key frames drawn through Direct2D. An animated picture gets its frames with their
// delays, stepped by a timer. Slow work runs on the current image's task queue; results come back
// to the object's hidden window on the user-interface thread.
#include <windows.h>
#include <d2d1.h>
#include <wincodec.h>

#include <deque>
#include <memory>
#include <utility>

#include "base/com.h"
#include "base/message_window.h"
#include "view/task_ledger.h"

class FCObjImage;
class CAsyncCreateZoomContext;

// Pre-render -> its own window.
constexpr UINT WM_ZOOM_FRAMES_READY = 0x81F5;       // wParam: the CAsyncCreateZoomContext
constexpr UINT WM_VIEW_FRAME_ARRIVED = 0x81F6;      // posted to the view window; wParam 0, or
                                                    // kFitFrameFailed
// The picture's pixels could not be read (a damaged file whose header was sound): nothing to show.
constexpr WPARAM kFitFrameFailed = 1;
constexpr UINT WM_FIT_VIEW_READY = 0x81FA;          // wParam: the CAsyncCreateFitView
constexpr UINT WM_ANIMATION_FRAMES_READY = 0x81FB;  // wParam: the CAsyncLoadAnimation
constexpr UINT_PTR kAnimationTimerId = 100;

// Pictures with fewer pixels than this get their frames at once on the user-interface thread.
constexpr long long kImmediatePixelLimit = 1640961;  // 1281 x 1281

// What a pre-render needs from the drawing that owns it (the view renderer).
class IPreRenderOwner {
 public:
  virtual ~IPreRenderOwner() = default;
  // The picture's size in pixels as the decoder reports it.
  [[nodiscard]] virtual int ImageWidth() const = 0;
  [[nodiscard]] virtual int ImageHeight() const = 0;
  [[nodiscard]] virtual float CurrentZoom() const = 0;
  // The view window (receives WM_VIEW_FRAME_ARRIVED); may be null off screen.
  [[nodiscard]] virtual HWND ViewWindow() const = 0;
  // Renders the buffer again and shows it.
  virtual void Redraw() = 0;
};

// The application's shared Direct2D factory (single-threaded), made on first use; null when the
// platform has none.
ID2D1Factory* GetD2DFactory();

class CPreRender {
 public:
  virtual ~CPreRender() = default;
  // Index 0: the fit bitmap, provisional or final. Other indices: only a final frame. Null when
  // there is none. The pre-render keeps ownership.
  [[nodiscard]] virtual HBITMAP GetFrame(int index) const = 0;
  virtual void Draw(HDC dc, int left, int top, int right, int bottom) = 0;
};

// A prepared frame at a zoom ratio, drawn by Direct2D.
class CZoomKeyFrame {
 public:
  CZoomKeyFrame() = default;
  virtual ~CZoomKeyFrame();
  CZoomKeyFrame(const CZoomKeyFrame&) = delete;
  CZoomKeyFrame& operator=(const CZoomKeyFrame&) = delete;
  // False when there is nothing to draw with this target.
  virtual bool Draw(ID2D1RenderTarget* target, int left, int top, int right, int bottom);

  float ratio = 0.0f;
  base::ComPtr<ID2D1Bitmap> d2d_bitmap;
  // Full-resolution frame only, when Direct2D could not take it (drawn with GDI+).
  void* gdiplus_bitmap = nullptr;  // GpBitmap*, owned
  // The frame's pixels (32-bit premultiplied BGRA) as the worker made them, until the
  // user-interface thread has turned them into the Direct2D bitmap.
  base::ComPtr<IWICBitmap> pixels;
};
using CZoomKeyFramePtr = std::shared_ptr<CZoomKeyFrame>;

// The bitmap fitted to the view.
class CFitViewFrame {
 public:
  CFitViewFrame() = default;
  virtual ~CFitViewFrame();
  CFitViewFrame(const CFitViewFrame&) = delete;
  CFitViewFrame& operator=(const CFitViewFrame&) = delete;
  // Makes the Direct2D bitmap from the fit bitmap on first use; false when it cannot draw.
  virtual bool Draw(ID2D1RenderTarget* target, int left, int top, int right, int bottom);
  void ReleaseD2D() { d2d_bitmap.Reset(); }

  float ratio = 0.0f;
  base::ComPtr<ID2D1Bitmap> d2d_bitmap;
  HBITMAP bitmap = nullptr;  // owned
  int ready = 0;             // 1 once the fit bitmap is final
};

class CPreRenderKeyFrame : public CPreRender, public FCMessageWindow {
 public:
  // Makes the hidden window and the fit frame for fitWidth × fitHeight (CreateFitFrame).
  CPreRenderKeyFrame(IPreRenderOwner& owner, int fitWidth, int fitHeight);
  ~CPreRenderKeyFrame() override;

  [[nodiscard]] HBITMAP GetFrame(int index) const override;
  void Draw(HDC dc, int left, int top, int right, int bottom) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  // Drops the window (and results on their way), the target and the key frames.
  void RecreateTarget();

  // State for tests, the probe and the benchmarks.
  enum class FrameSource { kNone, kImmediate, kCache, kTask };
  [[nodiscard]] bool IsFitFrameReady() const noexcept { return fit_.ready != 0; }
  [[nodiscard]] FrameSource GetFrameSource() const noexcept { return source_; }
  [[nodiscard]] bool HasZoomContext() const noexcept { return zoom_context_ != 0; }
  // Ratios of key frames A, B, C (0 for an empty slot).
  [[nodiscard]] float KeyFrameRatio(int slot) const noexcept;
  [[nodiscard]] bool KeyFrameUsesGdiplus(int slot) const noexcept;

 private:
  void CreateFitFrame(int width, int height);
  void SetFitBitmap(HBITMAP bitmap);
  void StartZoomContext();
  void TakeZoomFrames(WPARAM task);
  void OnFitViewReady(WPARAM task);
  void OnSystemCacheReady();
  void AddFitViewTask(bool skipCacheExtract);
  void AdoptZoomFrames(const CAsyncCreateZoomContext& task);
  void StretchFit(HDC dc, int left, int top, int right, int bottom) const;
  // False when Direct2D drew nothing.
  bool DrawZoomed(HDC dc, float zoom, int left, int top, int right, int bottom);
  [[nodiscard]] bool IsLargePicture() const noexcept;

  IPreRenderOwner& owner_;
  CTaskLedger tasks_;
  bool watching_ = false;
  int zoom_context_ = 0;
  CFitViewFrame fit_;
  int fit_width_ = 0;
  int fit_height_ = 0;
  base::ComPtr<ID2D1DCRenderTarget> target_;
  CZoomKeyFramePtr a_, b_, c_;
  FrameSource source_ = FrameSource::kNone;
};

class CPreRenderAnimation : public CPreRender, public FCMessageWindow {
 public:
  using Frame = std::pair<std::shared_ptr<FCObjImage>, int>;  // (picture, delay in ms)

  explicit CPreRenderAnimation(IPreRenderOwner& owner);
  ~CPreRenderAnimation() override;

  [[nodiscard]] HBITMAP GetFrame(int index) const override;
  void Draw(HDC dc, int left, int top, int right, int bottom) override;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

  [[nodiscard]] const std::deque<Frame>& Frames() const noexcept { return frames_; }
  // The timer's current interval in ms (0 when not running).
  [[nodiscard]] int TimerInterval() const noexcept { return timer_interval_; }

 private:
  void OnFramesReady(WPARAM task);
  void OnTimer();
  void StartTimer(int interval);

  IPreRenderOwner& owner_;
  CTaskLedger tasks_;
  std::deque<Frame> frames_;
  int timer_interval_ = 0;
};
