#include "view/pre_render.h"

#include <d2d1_1.h>
#include <d2d1helper.h>

#include <vector>

#include "appconfig/app_config.h"
#include "base/handles.h"
#include "image/current_image.h"
#include "image/gdiplus_include.h"
#include "image/wic/factory.h"
#include "view/pre_render_tasks.h"
#include "view/system_cache.h"

namespace {

// Draws a Direct2D bitmap stretched over the rectangle. Strong downscaling takes the multi-sample
// filter where the target offers a device context; everything else is drawn linear.
bool DrawD2DBitmap(ID2D1RenderTarget* target, ID2D1Bitmap* bitmap, int left, int top, int right, int bottom) {
  if (!target || !bitmap) return false;
  const D2D1_RECT_F dest = D2D1::RectF(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                                       static_cast<float>(bottom));
  const D2D1_SIZE_U size = bitmap->GetPixelSize();
  const float scale = size.width ? static_cast<float>(right - left) / static_cast<float>(size.width) : 1.0f;
  if (scale < 0.5f) {
    base::ComPtr<ID2D1DeviceContext> context;
    if (SUCCEEDED(target->QueryInterface(__uuidof(ID2D1DeviceContext),
                                         reinterpret_cast<void**>(context.GetAddressOf())))) {
      context->DrawBitmap(bitmap, &dest, 1.0f, D2D1_INTERPOLATION_MODE_MULTI_SAMPLE_LINEAR, nullptr, nullptr);
      return true;
    }
  }
  target->DrawBitmap(bitmap, &dest, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
  return true;
}

D2D1_COLOR_F CanvasColour() {
  const COLORREF colour = AppConfig::Get().canvas_back_color;
  return D2D1::ColorF(GetRValue(colour) / 255.0f, GetGValue(colour) / 255.0f, GetBValue(colour) / 255.0f, 1.0f);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Frames

CZoomKeyFrame::~CZoomKeyFrame() { pre_render::DisposeGdiplusBitmap(gdiplus_bitmap); }

bool CZoomKeyFrame::Draw(ID2D1RenderTarget* target, int left, int top, int right, int bottom) {
  return DrawD2DBitmap(target, d2d_bitmap.Get(), left, top, right, bottom);
}

CFitViewFrame::~CFitViewFrame() {
  if (bitmap) ::DeleteObject(bitmap);
}

bool CFitViewFrame::Draw(ID2D1RenderTarget* target, int left, int top, int right, int bottom) {
  if (!d2d_bitmap && bitmap && target) {
    IWICImagingFactory* factory = GetWicFactory();
    base::ComPtr<IWICBitmap> wic;
    if (factory && SUCCEEDED(factory->CreateBitmapFromHBITMAP(bitmap, nullptr, WICBitmapIgnoreAlpha, &wic))) {
      if (FAILED(target->CreateBitmapFromWicBitmap(wic.Get(), nullptr, &d2d_bitmap))) {
        // Some Direct2D builds take premultiplied pixels only.
        base::ComPtr<IWICBitmapSource> converted;
        if (SUCCEEDED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, wic.Get(), &converted))) {
          (void)target->CreateBitmapFromWicBitmap(converted.Get(), nullptr, &d2d_bitmap);
        }
      }
    }
  }
  return DrawD2DBitmap(target, d2d_bitmap.Get(), left, top, right, bottom);
}

// ---------------------------------------------------------------------------------------------
// CPreRenderKeyFrame

CPreRenderKeyFrame::CPreRenderKeyFrame(IPreRenderOwner& owner, int fitWidth, int fitHeight) : owner_(owner) {
  fit_.ratio = owner.CurrentZoom();
  fit_width_ = fitWidth;
  fit_height_ = fitHeight;
  (void)CreateMessageWindow(nullptr);
  CreateFitFrame(fitWidth, fitHeight);
}

CPreRenderKeyFrame::~CPreRenderKeyFrame() {
  // Results of tasks still under way find no window and are dropped.
  DestroyMessageWindow();
}

bool CPreRenderKeyFrame::IsLargePicture() const noexcept {
  return static_cast<long long>(owner_.ImageWidth()) * owner_.ImageHeight() >= kImmediatePixelLimit;
}

void CPreRenderKeyFrame::CreateFitFrame(int width, int height) {
  if (width <= 0 || height <= 0) return;
  CSystemCache& cache = CSystemCache::Get();
  if (!IsLargePicture()) {
    source_ = FrameSource::kImmediate;
    HBITMAP bitmap = nullptr;
    if (const CWICImageLoaderPtr loader = CCurrentImage::Get().Loader()) {
      (void)DecodeToFitBitmap(*loader, width, height, &bitmap);
    }
    SetFitBitmap(bitmap);
    if (!bitmap) {
      if (const HWND view = owner_.ViewWindow()) ::PostMessageW(view, WM_VIEW_FRAME_ARRIVED, kFitFrameFailed, 0);
    }
    fit_.ready = 1;
    cache.Start();
    return;
  }
  HBITMAP bitmap = nullptr;
  if (cache.GetCachedThumbnail(width, height, &bitmap)) {
    source_ = FrameSource::kCache;
    SetFitBitmap(bitmap);
    fit_.ready = 1;
    cache.Start();
    return;
  }
  // A poor thumbnail stands in until the final bitmap arrives.
  source_ = FrameSource::kTask;
  SetFitBitmap(bitmap);
  if (cache.WatchRunning(GetHwnd())) {
    watching_ = true;
    return;
  }
  AddFitViewTask(false);
}

void CPreRenderKeyFrame::AddFitViewTask(bool skipCacheExtract) {
  auto task = std::make_shared<CAsyncCreateFitView>(GetHwnd(), fit_width_, fit_height_, skipCacheExtract);
  tasks_.Add(task);
  (void)CCurrentImage::Get().Queue().AddTask(task);
}

void CPreRenderKeyFrame::SetFitBitmap(HBITMAP bitmap) {
  if (!bitmap) return;
  const bool first = fit_.bitmap == nullptr;
  if (fit_.bitmap) ::DeleteObject(fit_.bitmap);
  fit_.bitmap = bitmap;
  fit_.ReleaseD2D();
  if (first) {
    if (const HWND view = owner_.ViewWindow()) ::PostMessageW(view, WM_VIEW_FRAME_ARRIVED, 0, 0);
  }
}

LRESULT CPreRenderKeyFrame::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_FIT_VIEW_READY:
      OnFitViewReady(wParam);
      return 0;
    case WM_SYSTEM_CACHE_READY:
      OnSystemCacheReady();
      return 0;
    case WM_ZOOM_FRAMES_READY:
      TakeZoomFrames(wParam);
      return 0;
    default:
      return FCMessageWindow::HandleMessage(message, wParam, lParam);
  }
}

void CPreRenderKeyFrame::OnFitViewReady(WPARAM wParam) {
  const auto task = tasks_.Find<CAsyncCreateFitView>(wParam);
  if (!task) return;
  tasks_.Forget(wParam);
  SetFitBitmap(task->TakeResult());
  if (!fit_.bitmap && !task->NeedsRefinement()) {
    if (const HWND view = owner_.ViewWindow()) ::PostMessageW(view, WM_VIEW_FRAME_ARRIVED, kFitFrameFailed, 0);
  }
  CSystemCache& cache = CSystemCache::Get();
  if (task->NeedsRefinement()) {
    AddFitViewTask(true);
  } else {
    fit_.ready = 1;
    cache.Start();
  }
  cache.Start();
  owner_.Redraw();
}

void CPreRenderKeyFrame::OnSystemCacheReady() {
  // Only the request this pre-render is waiting for counts; a late or stray notice must not put
  // a poor thumbnail over a final bitmap.
  if (!watching_ || fit_.ready != 0) return;
  watching_ = false;
  CSystemCache& cache = CSystemCache::Get();
  HBITMAP bitmap = nullptr;
  if (cache.GetCachedThumbnail(fit_width_, fit_height_, &bitmap)) {
    source_ = FrameSource::kCache;
    SetFitBitmap(bitmap);
    fit_.ready = 1;
    cache.Start();
  } else {
    SetFitBitmap(bitmap);
    AddFitViewTask(true);
  }
  cache.Start();
  owner_.Redraw();
}

void CPreRenderKeyFrame::TakeZoomFrames(WPARAM wParam) {
  const auto task = tasks_.Find<CAsyncCreateZoomContext>(wParam);
  if (!task) return;
  AdoptZoomFrames(*task);
  owner_.Redraw();
}

void CPreRenderKeyFrame::AdoptZoomFrames(const CAsyncCreateZoomContext& task) {
  a_ = task.A();
  b_ = task.B();
  c_ = task.C();
  if (a_) pre_render::RealiseKeyFrame(*a_, target_.Get(), false);
  if (b_) pre_render::RealiseKeyFrame(*b_, target_.Get(), false);
  if (c_) pre_render::RealiseKeyFrame(*c_, target_.Get(), true);
}

HBITMAP CPreRenderKeyFrame::GetFrame(int index) const {
  if (index == 0 || fit_.ready == 1) return fit_.bitmap;
  return nullptr;
}

float CPreRenderKeyFrame::KeyFrameRatio(int slot) const noexcept {
  const CZoomKeyFramePtr* frames[] = {&a_, &b_, &c_};
  if (slot < 0 || slot > 2 || !*frames[slot]) return 0.0f;
  return (*frames[slot])->ratio;
}

bool CPreRenderKeyFrame::KeyFrameUsesGdiplus(int slot) const noexcept {
  const CZoomKeyFramePtr* frames[] = {&a_, &b_, &c_};
  if (slot < 0 || slot > 2 || !*frames[slot]) return false;
  return !(*frames[slot])->d2d_bitmap && (*frames[slot])->gdiplus_bitmap != nullptr;
}

void CPreRenderKeyFrame::StretchFit(HDC dc, int left, int top, int right, int bottom) const {
  if (!fit_.bitmap) return;
  BITMAP info{};
  if (!::GetObjectW(fit_.bitmap, sizeof(info), &info)) return;
  base::MemoryDc memory(::CreateCompatibleDC(dc));
  if (!memory) return;
  base::SelectGuard select(memory.Get(), fit_.bitmap);
  const int previous = ::SetStretchBltMode(dc, COLORONCOLOR);
  ::StretchBlt(dc, left, top, right - left, bottom - top, memory.Get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
  if (previous) ::SetStretchBltMode(dc, previous);
}

void CPreRenderKeyFrame::Draw(HDC dc, int left, int top, int right, int bottom) {
  if (!dc) return;
  const float zoom = owner_.CurrentZoom();
  if (zoom <= fit_.ratio) {
    StretchFit(dc, left, top, right, bottom);
    return;
  }
  if (zoom_context_ == 0) {
    zoom_context_ = 1;
    StartZoomContext();
  }
  // Without Direct2D (or when it drew nothing) the fit bitmap stretched is better than no picture.
  if (!DrawZoomed(dc, zoom, left, top, right, bottom)) StretchFit(dc, left, top, right, bottom);
}

bool CPreRenderKeyFrame::DrawZoomed(HDC dc, float zoom, int left, int top, int right, int bottom) {
  if (!target_) return false;
  // The smallest prepared frame at or above the zoom first.
  std::vector<CZoomKeyFrame*> candidates;
  if (b_) {
    if (zoom > b_->ratio) {
      candidates = {c_.get(), b_.get()};
    } else if (!a_ || zoom > a_->ratio) {
      candidates = {b_.get()};
    } else {
      candidates = {a_.get()};
    }
  } else if (a_) {
    candidates = zoom > a_->ratio ? std::vector<CZoomKeyFrame*>{c_.get(), a_.get()} : std::vector<CZoomKeyFrame*>{a_.get()};
  } else {
    candidates = {c_.get()};
  }
  std::erase(candidates, nullptr);

  if (!candidates.empty() && candidates.front() == c_.get() && !c_->d2d_bitmap && c_->gdiplus_bitmap) {
    namespace gp = Gdiplus::DllExports;
    Gdiplus::GpGraphics* graphics = nullptr;
    if (gp::GdipCreateFromHDC(dc, &graphics) != Gdiplus::Ok) return false;
    const bool drawn = gp::GdipDrawImageRectI(graphics, static_cast<Gdiplus::GpImage*>(c_->gdiplus_bitmap), left, top,
                                              right - left, bottom - top) == Gdiplus::Ok;
    gp::GdipDeleteGraphics(graphics);
    return drawn;
  }

  const HGDIOBJ selected = ::GetCurrentObject(dc, OBJ_BITMAP);
  BITMAP info{};
  if (!selected || !::GetObjectW(selected, sizeof(info), &info)) return false;
  const RECT bound{0, 0, info.bmWidth, info.bmHeight};
  if (FAILED(target_->BindDC(dc, &bound))) return false;
  target_->BeginDraw();
  target_->SetTransform(D2D1::Matrix3x2F::Identity());
  // The target's surface does not start from the device context's pixels; what the picture
  // leaves uncovered gets the canvas colour the view has painted there.
  target_->Clear(CanvasColour());
  bool drawn = false;
  for (CZoomKeyFrame* frame : candidates) {
    if ((drawn = frame->Draw(target_.Get(), left, top, right, bottom))) break;
  }
  if (!drawn) drawn = fit_.Draw(target_.Get(), left, top, right, bottom);
  const HRESULT hr = target_->EndDraw();
  if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
    RecreateTarget();
    return false;
  }
  return drawn && SUCCEEDED(hr);
}

void CPreRenderKeyFrame::StartZoomContext() {
  ID2D1Factory* factory = GetD2DFactory();
  if (!factory) return;
  D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
      D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
  if (AppConfig::Get().hardware_zoom != 0 && FAILED(factory->CreateDCRenderTarget(&properties, &target_))) {
    target_.Reset();
  }
  if (!target_) {
    properties.type = D2D1_RENDER_TARGET_TYPE_SOFTWARE;
    if (FAILED(factory->CreateDCRenderTarget(&properties, &target_))) {
      target_.Reset();
      return;
    }
  }
  auto task = std::make_shared<CAsyncCreateZoomContext>(GetHwnd(), fit_.ratio, owner_.ImageWidth(),
                                                        owner_.ImageHeight(), target_->GetMaximumBitmapSize());
  if (IsLargePicture()) {
    tasks_.Add(task);
    (void)CCurrentImage::Get().Queue().AddTask(task);
    return;
  }
  // Small pictures: at once, and drawn by the draw that asked for them.
  task->Execute();
  AdoptZoomFrames(*task);
}

void CPreRenderKeyFrame::RecreateTarget() {
  DestroyMessageWindow();
  (void)CreateMessageWindow(nullptr);
  tasks_.Clear();
  zoom_context_ = 0;
  fit_.ReleaseD2D();
  target_.Reset();
  a_.reset();
  b_.reset();
  c_.reset();
  // The final fit bitmap was on its way to the old window; ask for it again.
  if (fit_.ready == 0 && source_ == FrameSource::kTask) {
    watching_ = false;
    AddFitViewTask(true);
  }
}
