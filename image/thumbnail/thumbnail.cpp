#include "image/thumbnail/thumbnail.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "appconfig/app_config.h"
#include "base/handles.h"
#include "image/effect/effects.h"
#include "image/obj_image.h"
#include "image/thumbnail/store.h"
#include "image/wic/source_base.h"
#include "image/wic/factory.h"
#include "image/wic/loader.h"

namespace {
// The local thumbnail cache's class id, spelled out for headers that lack it.
const CLSID kClsidLocalThumbnailCache = {0x50ef4544, 0xac9f, 0x4a8e, {0xb2, 0x1b, 0x8a, 0x26, 0x18, 0x0d, 0xb1, 0x3f}};

bool Ask(ThumbnailRequest& request, UINT size, DWORD flags) {
  request.bitmap.Reset();
  WTS_CACHEFLAGS outFlags{};
  const HRESULT hr = request.cache->GetThumbnail(request.item.Get(), size, static_cast<WTS_FLAGS>(flags),
                                                 &request.bitmap, &outFlags, nullptr);
  request.cache_flags = static_cast<DWORD>(outFlags);
  return SUCCEEDED(hr) && request.bitmap;
}

// Before Windows 10 a look-up result of nearly the wanted size counts as good (mark 2).
void MarkNearlyWanted(ThumbnailRequest& request, int wantedSize) {
  SIZE size{};
  if (request.mark == 0 && !IsWindows10OrLater() && SUCCEEDED(request.bitmap->GetSize(&size)) &&
      std::max(size.cx, size.cy) >= 1020 && wantedSize <= 1080) {
    request.mark = 2;
  }
}

// Where the platform has no thumbnail cache (Wine), our own store answers in the same modes;
// the request then carries no cache and no shell item.
bool StoreThumbnail(const std::wstring& path, int wantedSize, int mode, ThumbnailRequest& request) {
  request = ThumbnailRequest{};
  ThumbnailStore::Answer answer;
  if (!ThumbnailStore::Process().Get(path, wantedSize, mode, answer) ||
      FAILED(CreateSharedThumbnail(answer.frame, &request.bitmap))) {
    request.bitmap.Reset();
    return false;
  }
  request.cache_flags = answer.lowQuality ? static_cast<DWORD>(WTS_LOWQUALITY) : 0;
  request.frame = answer.frame;
  if (mode == kThumbnailFastPreview) MarkNearlyWanted(request, wantedSize);
  return true;
}
}  // namespace

int ThumbnailCacheSize() { return IsWindows10OrLater() ? 1280 : 1024; }

bool ShellThumbnail(const std::wstring& path, int wantedSize, int mode, ThumbnailRequest& request) {
  request = ThumbnailRequest{};
  if (FAILED(::CoCreateInstance(kClsidLocalThumbnailCache, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&request.cache)))) {
    return StoreThumbnail(path, wantedSize, mode, request);
  }
  if (FAILED(::SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&request.item)))) return false;
  const int cacheSize = ThumbnailCacheSize();
  switch (mode) {
    case kThumbnailFastPreview: {
      bool got = wantedSize > cacheSize
                     ? Ask(request, static_cast<UINT>(wantedSize), WTS_INCACHEONLY | WTS_SCALETOREQUESTEDSIZE)
                     : Ask(request, static_cast<UINT>(cacheSize), WTS_INCACHEONLY);
      if (!got) {
        got = Ask(request, 256, WTS_FASTEXTRACT);
        if (got) request.mark = 1;
      }
      if (got) MarkNearlyWanted(request, wantedSize);
      return got;
    }
    case kThumbnailScaled:
      return Ask(request, static_cast<UINT>(wantedSize), WTS_SCALETOREQUESTEDSIZE);
    case kThumbnailExtract:
      return Ask(request, static_cast<UINT>(cacheSize), WTS_EXTRACT);
    default:
      return false;
  }
}

namespace {
// Our own frames are read in place: a source over the stored pixels, which stay alive and unchanged
// while the source holds the frame. The formats are those the bitmap route gives.
class FCStoreFrameSource final : public image::FCWicSourceBase {
 public:
  FCStoreFrameSource(ThumbnailFramePtr frame, bool useAlpha) : frame_(std::move(frame)), alpha_(useAlpha) {}

  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) noexcept override {
    if (!width || !height) return E_INVALIDARG;
    *width = static_cast<UINT>(frame_->image.Width());
    *height = static_cast<UINT>(frame_->image.Height());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) noexcept override {
    if (!format) return E_INVALIDARG;
    *format = alpha_ ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat32bppBGR;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) noexcept override {
    if (!dpiX || !dpiY) return E_INVALIDARG;
    *dpiX = *dpiY = 96.0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette*) noexcept override { return WINCODEC_ERR_PALETTEUNAVAILABLE; }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* prc, UINT stride, UINT size, BYTE* buffer) noexcept override {
    const FCObjImage& image = frame_->image;
    WICRect rect{};
    const HRESULT hr = image::ResolveCopyRect(prc, static_cast<UINT>(image.Width()), static_cast<UINT>(image.Height()),
                                              4, stride, size, buffer, &rect);
    if (FAILED(hr)) return hr;
    for (INT y = 0; y < rect.Height; ++y) {
      std::memcpy(buffer + size_t{stride} * static_cast<size_t>(y), image.PixelPointer(rect.X, rect.Y + y),
                  size_t{4} * static_cast<size_t>(rect.Width));
    }
    return S_OK;
  }

 private:
  ThumbnailFramePtr frame_;
  bool alpha_;
};

bool WrapStoreFrame(const ThumbnailFramePtr& frame, bool useAlpha, base::ComPtr<IWICBitmapSource>& out) {
  if (!frame || !frame->image.IsValid() || frame->image.BitsPerPixel() != 32 || frame->image.SignedHeight() >= 0) {
    return false;
  }
  base::Adopt(out, new (std::nothrow) FCStoreFrameSource(frame, useAlpha));
  return out != nullptr;
}
// A stored opaque frame of the wanted size, or one pixel larger on a side (the rounding between the
// store's size and the view's fit), becomes the screen bitmap by a plain copy: a resample that close to
// one to one would cost a whole pass over the pixels to move them by less than half a pixel. At most
// the last row and column are left out.
bool CopyNearSizeFrame(const ThumbnailFramePtr& frame, int width, int height, HBITMAP* bitmap) {
  if (!frame || frame->hasAlpha || !frame->image.SectionHandle() || frame->image.BitsPerPixel() != 32) return false;
  const int dx = frame->image.Width() - width;
  const int dy = frame->image.Height() - height;
  if (dx < 0 || dx > 1 || dy < 0 || dy > 1) return false;
  base::WindowDc screen(nullptr);
  if (!screen.Get()) return false;
  base::BitmapHandle result(::CreateCompatibleBitmap(screen.Get(), width, height));
  base::MemoryDc target(::CreateCompatibleDC(screen.Get()));
  base::MemoryDc source(::CreateCompatibleDC(screen.Get()));
  if (!result || !target || !source) return false;
  {
    base::SelectGuard selectTarget(target.Get(), result.Get());
    base::SelectGuard selectSource(source.Get(), frame->image.SectionHandle());
    if (!::BitBlt(target.Get(), 0, 0, width, height, source.Get(), 0, 0, SRCCOPY)) return false;
  }
  if (*bitmap) ::DeleteObject(*bitmap);
  *bitmap = result.Release();
  return true;
}

}  // namespace

bool ThumbnailToBitmap(const ThumbnailRequest& request, int width, int height, HBITMAP* bitmap,
                       WICBitmapTransformOptions transform, IWICColorContext* context) {
  IWICImagingFactory* factory = GetWicFactory();
  if (!factory || !request.bitmap || width <= 0 || height <= 0) return false;
  HBITMAP shared = nullptr;
  WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
  if (FAILED(request.bitmap->GetSharedBitmap(&shared)) || !shared) return false;
  request.bitmap->GetFormat(&alpha);
  const bool plain = !context && IsWindows81OrLater() && AppConfig::Get().view_enhance_mode == 0;
  if (plain && alpha != WTSAT_ARGB && CopyNearSizeFrame(request.frame, width, height, bitmap)) return true;
  base::ComPtr<IWICBitmapSource> current;
  if (!WrapStoreFrame(request.frame, alpha == WTSAT_ARGB, current)) {
    base::ComPtr<IWICBitmap> wrapped;
    if (FAILED(factory->CreateBitmapFromHBITMAP(shared, nullptr,
                                                alpha == WTSAT_ARGB ? WICBitmapUseAlpha : WICBitmapIgnoreAlpha,
                                                &wrapped))) {
      return false;
    }
    current = wrapped;
  }
  if (!IsWindows81OrLater()) {
    base::ComPtr<IWICBitmapSource> turned;
    if (FAILED(FlipRotate(current.Get(), transform, &turned))) return false;
    current = turned;
  }
  base::ComPtr<IWICBitmapSource> scaled;
  if (FAILED(ScaleSource(current.Get(), width, height, WICBitmapInterpolationModeLinear, &scaled))) return false;
  current = scaled;
  if (context) {
    base::ComPtr<IWICBitmapSource> managed;
    if (SUCCEEDED(ColourManage(current.Get(), context, true, &managed))) current = managed;
  }
  FCObjImage image;
  if (!image.LoadFromWicSource(current.Get(), GUID_WICPixelFormat32bppPBGRA)) return false;
  ApplyViewEnhancement(image, nullptr);
  FCObjImage::RenderToCompatibleBitmap(image, AppConfig::Get().BackgroundBrush(), bitmap);
  return true;
}
