#include "view/pre_render_tasks.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

#include "appconfig/app_config.h"
#include "image/current_image.h"
#include "image/effect/effects.h"
#include "image/file_types.h"
#include "image/gdiplus_include.h"
#include "image/obj_image.h"
#include "image/thumbnail/thumbnail.h"
#include "image/wic/factory.h"
#include "image/wic/locked_pixels.h"
#include "view/system_cache.h"

namespace pre_render {

int ScaledExtent(float ratio, int size) noexcept {
  const double extent = static_cast<double>(ratio) * size;
  if (!(extent >= 2.0)) return 1;
  return extent >= static_cast<double>(INT_MAX) ? INT_MAX : static_cast<int>(extent);
}

HRESULT MakeKeyFramePixels(IWICBitmapSource* source, int width, int height, IWICBitmap** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  base::ComPtr<IWICBitmapSource> scaled;
  HRESULT hr = ScaleSource(source, width, height, WICBitmapInterpolationModeFant, &scaled);
  if (FAILED(hr)) return hr;
  base::ComPtr<IWICBitmapSource> converted;
  hr = ::WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, scaled.Get(), &converted);
  if (FAILED(hr)) return hr;
  return Materialise(converted.Get(), out);
}

void* MakeGdiplusBitmap(IWICBitmapSource* source) {
  namespace gp = Gdiplus::DllExports;
  if (!source) return nullptr;
  UINT width = 0, height = 0;
  WICPixelFormatGUID format{};
  if (FAILED(source->GetSize(&width, &height)) || FAILED(source->GetPixelFormat(&format))) return nullptr;
  if (width == 0 || height == 0 || width > INT_MAX / 4 || height > INT_MAX) return nullptr;
  base::ComPtr<IWICBitmapSource> pixels = source;
  Gdiplus::PixelFormat gdiFormat = PixelFormat32bppARGB;
  if (format == GUID_WICPixelFormat32bppPBGRA) {
    gdiFormat = PixelFormat32bppPARGB;
  } else if (format != GUID_WICPixelFormat32bppBGRA) {
    pixels.Reset();
    if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, source, &pixels))) return nullptr;
    gdiFormat = PixelFormat32bppPARGB;
  }
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (gp::GdipCreateBitmapFromScan0(static_cast<INT>(width), static_cast<INT>(height), 0, gdiFormat, nullptr,
                                    &bitmap) != Gdiplus::Ok) {
    return nullptr;
  }
  const Gdiplus::GpRect all(0, 0, static_cast<INT>(width), static_cast<INT>(height));
  Gdiplus::BitmapData data{};
  bool copied = false;
  if (gp::GdipBitmapLockBits(bitmap, &all, Gdiplus::ImageLockModeWrite, gdiFormat, &data) == Gdiplus::Ok) {
    const uint64_t bytes = static_cast<uint64_t>(data.Stride > 0 ? data.Stride : 0) * height;
    if (data.Stride > 0 && bytes <= UINT_MAX) {
      const WICRect rect{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
      copied = SUCCEEDED(pixels->CopyPixels(&rect, static_cast<UINT>(data.Stride), static_cast<UINT>(bytes),
                                            static_cast<BYTE*>(data.Scan0)));
    }
    gp::GdipBitmapUnlockBits(bitmap, &data);
  }
  if (!copied) {
    gp::GdipDisposeImage(bitmap);
    return nullptr;
  }
  return bitmap;
}

void DisposeGdiplusBitmap(void* bitmap) noexcept {
  if (bitmap) Gdiplus::DllExports::GdipDisposeImage(static_cast<Gdiplus::GpBitmap*>(bitmap));
}

namespace {

// A Direct2D bitmap made from the pixels of a 32bppPBGRA WIC bitmap as they lie in its memory.
HRESULT CreateD2DBitmapFromPixels(ID2D1RenderTarget* target, IWICBitmap* pixels, ID2D1Bitmap** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!target || !pixels) return E_INVALIDARG;
  UINT width = 0, height = 0;
  WICPixelFormatGUID format{};
  HRESULT hr = pixels->GetSize(&width, &height);
  if (SUCCEEDED(hr)) hr = pixels->GetPixelFormat(&format);
  if (FAILED(hr)) return hr;
  if (!IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA) || width == 0 || height == 0 || width > INT_MAX / 4 ||
      height > INT_MAX) {
    return E_INVALIDARG;
  }
  LockedPixels locked;
  hr = LockWholeBitmap(pixels, width, height, WICBitmapLockRead, locked);
  if (FAILED(hr)) return hr;
  const D2D1_BITMAP_PROPERTIES properties =
      D2D1::BitmapProperties(D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED));
  return target->CreateBitmap(D2D1::SizeU(width, height), locked.data, locked.stride, properties, out);
}

}  // namespace

void RealiseKeyFrame(CZoomKeyFrame& frame, ID2D1RenderTarget* target, bool fullResolution) {
  if (!frame.d2d_bitmap && !frame.gdiplus_bitmap && frame.pixels) {
    // Straight from the frame's own pixels: made from the WIC bitmap, the Direct2D bitmap may first
    // copy them into a buffer of its own (Wine's does), one more block of the frame's size.
    if (target && FAILED(CreateD2DBitmapFromPixels(target, frame.pixels.Get(), &frame.d2d_bitmap))) {
      (void)target->CreateBitmapFromWicBitmap(frame.pixels.Get(), nullptr, &frame.d2d_bitmap);
    }
    if (!frame.d2d_bitmap && fullResolution) frame.gdiplus_bitmap = MakeGdiplusBitmap(frame.pixels.Get());
  }
  // Pixels that could not become a bitmap (no memory for it, as a large picture may find in a
  // 32-bit process) are let go as well: the view draws from the frames it has, and the memory is
  // better given back than kept for a frame that cannot be drawn.
  if (target || frame.d2d_bitmap || frame.gdiplus_bitmap) frame.pixels.Reset();
}

}  // namespace pre_render

namespace {

// A thumbnail counts as good unless the cache marked it low quality or it is a small stand-in.
bool IsGoodThumbnail(const ThumbnailRequest& request) {
  if (request.mark == 1) return false;
  return request.mark == 2 || (request.cache_flags & WTS_LOWQUALITY) == 0;
}

bool SameObject(IUnknown* a, IUnknown* b) {
  if (!a || !b) return false;
  base::ComPtr<IUnknown> identityA, identityB;
  return SUCCEEDED(a->QueryInterface(IID_PPV_ARGS(&identityA))) &&
         SUCCEEDED(b->QueryInterface(IID_PPV_ARGS(&identityB))) && identityA == identityB;
}

// The largest fit side whose extracted thumbnail is final without a second pass.
int ExtractSizeLimit() { return IsWindows10OrLater() ? 1280 : 1080; }

}  // namespace

// ---------------------------------------------------------------------------------------------
// CAsyncCreateFitView

CAsyncCreateFitView::CAsyncCreateFitView(HWND target, int width, int height, bool skipCacheExtract)
    : target_(target), width_(width), height_(height), skip_cache_extract_(skipCacheExtract) {
  CCurrentImage& image = CCurrentImage::Get();
  loader_ = image.Loader();
  path_ = image.Path();
  in_memory_ = image.InMemoryBitmap() != nullptr;
  if (loader_) {
    transform_ = loader_->Transform();
    if (AppConfig::Get().ignore_embedded_icc != 0) context_ = loader_->ColorContext();
  }
}

CAsyncCreateFitView::~CAsyncCreateFitView() {
  if (result_) ::DeleteObject(result_);
}

HBITMAP CAsyncCreateFitView::TakeResult() noexcept { return std::exchange(result_, nullptr); }

bool CAsyncCreateFitView::TryThumbnail(int size, int mode, bool mustBeGood) {
  ThumbnailRequest request;
  if (!ShellThumbnail(path_, size, mode, request)) return false;
  HBITMAP bitmap = nullptr;
  if (!ThumbnailToBitmap(request, width_, height_, &bitmap, transform_, context_.Get()) || !bitmap) return false;
  if (mustBeGood && !IsGoodThumbnail(request)) {
    ::DeleteObject(bitmap);
    return false;
  }
  if (result_) ::DeleteObject(result_);
  result_ = bitmap;
  return true;
}

void CAsyncCreateFitView::Execute() {
  if (width_ <= 0 || height_ <= 0) return;
  if (!in_memory_ && IsThumbnailCacheType(image::ClassifyImageFile(path_))) {
    const int longest = std::max(width_, height_);
    if (!skip_cache_extract_ && IsAlive() && TryThumbnail(0, kThumbnailExtract, false)) {
      needs_refinement_ = longest > ExtractSizeLimit();
      return;
    }
    if (IsAlive() && TryThumbnail(longest, kThumbnailScaled, true)) return;
  }
  needs_refinement_ = false;
  // A cancelled task (the view has moved on) skips the slow decode; its result would be dropped.
  if (loader_ && IsAlive()) (void)DecodeToFitBitmap(*loader_, width_, height_, &result_);
}

void CAsyncCreateFitView::OnComplete() {
  (void)SendToLiveWindow(target_, WM_FIT_VIEW_READY, reinterpret_cast<WPARAM>(this), 0);
}

// ---------------------------------------------------------------------------------------------
// CAsyncCreateZoomContext

CAsyncCreateZoomContext::CAsyncCreateZoomContext(HWND target, float fitRatio, int imageWidth, int imageHeight,
                                                 UINT maxBitmapSize)
    : loader_(CCurrentImage::Get().Loader()),
      target_(target),
      fit_ratio_(fitRatio),
      image_width_(imageWidth),
      image_height_(imageHeight),
      max_bitmap_size_(maxBitmapSize),
      apply_profile_(AppConfig::Get().ignore_embedded_icc == 0),
      enhance_mode_(AppConfig::Get().view_enhance_mode) {}

void CAsyncCreateZoomContext::Cancel() noexcept {
  CAsyncTask::Cancel();
  alive_.store(0);
}

bool CAsyncCreateZoomContext::TargetAlive() const noexcept { return target_ && ::IsWindow(target_); }

bool CAsyncCreateZoomContext::HandOver() {
  SendMessageOnQueueThread(target_, WM_ZOOM_FRAMES_READY, reinterpret_cast<WPARAM>(this), 0);
  return IsAlive() && TargetAlive();
}

void CAsyncCreateZoomContext::Enhance(IWICBitmap* bitmap) {
  UINT width = 0, height = 0;
  if (FAILED(bitmap->GetSize(&width, &height)) || width == 0 || height == 0) return;
  if (width > INT_MAX / 4 || height > INT_MAX) return;
  const WICRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
  base::ComPtr<IWICBitmapLock> lock;
  if (FAILED(bitmap->Lock(&all, WICBitmapLockRead | WICBitmapLockWrite, &lock))) return;
  UINT stride = 0, size = 0;
  BYTE* data = nullptr;
  if (FAILED(lock->GetStride(&stride)) || FAILED(lock->GetDataPointer(&size, &data)) || !data) return;
  // The effects walk rows of exactly four bytes a pixel; anything else stays as it is.
  if (stride != 4 * width || static_cast<uint64_t>(size) < static_cast<uint64_t>(stride) * height) return;
  FCObjImage view;
  if (!view.AttachExternal(data, static_cast<int>(width), static_cast<int>(height))) return;
  view_effect::CEffectProgress progress(&alive_);
  ApplyViewEnhancement(view, enhance_mode_, &progress);
}

CZoomKeyFramePtr CAsyncCreateZoomContext::MakeFrame(IWICBitmapSource* source, float ratio) const {
  UINT width = 0, height = 0;
  if (FAILED(source->GetSize(&width, &height))) return nullptr;
  auto frame = std::make_shared<CZoomKeyFrame>();
  frame->ratio = ratio;
  const int w = pre_render::ScaledExtent(ratio, static_cast<int>(std::min<UINT>(width, INT_MAX)));
  const int h = pre_render::ScaledExtent(ratio, static_cast<int>(std::min<UINT>(height, INT_MAX)));
  if (FAILED(pre_render::MakeKeyFramePixels(source, w, h, &frame->pixels))) return nullptr;
  return frame;
}

CZoomKeyFramePtr CAsyncCreateZoomContext::MakeFullFrame(IWICBitmap* source) const {
  UINT width = 0, height = 0;
  if (FAILED(source->GetSize(&width, &height))) return nullptr;
  auto frame = std::make_shared<CZoomKeyFrame>();
  frame->ratio = 1.0f;
  // Direct2D cannot hold a picture beyond the target's largest bitmap: GDI+ draws it instead.
  if (max_bitmap_size_ != 0 && (width > max_bitmap_size_ || height > max_bitmap_size_)) {
    frame->gdiplus_bitmap = pre_render::MakeGdiplusBitmap(source);
    return frame->gdiplus_bitmap ? frame : nullptr;
  }
  // Pixels already premultiplied become the frame as they are: no second full-size copy.
  WICPixelFormatGUID format{};
  if (SUCCEEDED(source->GetPixelFormat(&format)) && IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA)) {
    frame->pixels = source;
    return frame;
  }
  base::ComPtr<IWICBitmapSource> converted;
  if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, source, &converted))) return nullptr;
  if (FAILED(Materialise(converted.Get(), &frame->pixels))) return nullptr;
  return frame;
}

void CAsyncCreateZoomContext::Execute() {
  if (!loader_) return;
  base::ComPtr<IWICBitmap> source;
  // Without an enhancement the picture is read premultiplied at once: the full-resolution frame then
  // is that very bitmap, and the smaller frames are scaled from it, so one full-size copy of the
  // picture is alive instead of two. The enhancements work on straight colours.
  const WICPixelFormatGUID& format = enhance_mode_ == 0 ? GUID_WICPixelFormat32bppPBGRA : GUID_WICPixelFormat32bppBGRA;
  const HRESULT read = loader_->GetOrientedViewBitmap(apply_profile_, &source, format);
  // The full-resolution pixels are in hand: a platform decoder that keeps its own whole copy of
  // them (Wine's does) would only double them while the picture is zoomed.
  loader_->ReleasePlatformDecoder();
  if (FAILED(read) || !source) return;
  if (enhance_mode_ != 0) {
    // The loader may hand out its own frame bitmap; enhancing that in place would change the
    // picture itself (and again at every zoom), so the effect then works on a copy.
    if (SameObject(source.Get(), loader_->FrameSource())) {
      base::ComPtr<IWICBitmap> copy;
      if (FAILED(Materialise(source.Get(), &copy)) || !copy) return;
      source = copy;
    }
    Enhance(source.Get());
  }
  if (!IsAlive() || !TargetAlive()) return;

  const float r = fit_ratio_;
  if (2.0f * r < 1.0f) {
    a_ = MakeFrame(source.Get(), 2.0f * r);
    if (a_ && !HandOver()) return;
  }
  if (a_ && 4.0f * r < 1.0f) {
    b_ = MakeFrame(source.Get(), 4.0f * r);
    if (b_ && !HandOver()) return;
  }
  c_ = MakeFullFrame(source.Get());
}

void CAsyncCreateZoomContext::OnComplete() {
  (void)SendToLiveWindow(target_, WM_ZOOM_FRAMES_READY, reinterpret_cast<WPARAM>(this), 0);
}
