#include "image/thumbnail.h"

#include <algorithm>

#include "app/config/app_config.h"
#include "image/effects.h"
#include "image/obj_image.h"
#include "image/thumbnail_store.h"
#include "image/wic_factory.h"
#include "image/wic_loader.h"

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
// Our own frames are read straight from their pixels (a plain copy), which is quicker than reading
// the bitmap back through the device-context route; the formats are those that route gives.
bool WrapStoreFrame(IWICImagingFactory* factory, const ThumbnailFrame& frame, bool useAlpha,
                    base::ComPtr<IWICBitmap>& out) {
  const FCObjImage& image = frame.image;
  if (!image.IsValid() || image.BitsPerPixel() != 32 || image.SignedHeight() >= 0) return false;
  const UINT stride = static_cast<UINT>(image.Stride());
  const uint64_t bytes = uint64_t{stride} * static_cast<uint64_t>(image.Height());
  if (bytes > 0xFFFFFFFFu) return false;
  return SUCCEEDED(factory->CreateBitmapFromMemory(
      static_cast<UINT>(image.Width()), static_cast<UINT>(image.Height()),
      useAlpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat32bppBGR, stride, static_cast<UINT>(bytes),
      image.PixelMemory(), &out));
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
  base::ComPtr<IWICBitmap> wrapped;
  if (!(request.frame && WrapStoreFrame(factory, *request.frame, alpha == WTSAT_ARGB, wrapped)) &&
      FAILED(factory->CreateBitmapFromHBITMAP(shared, nullptr,
                                              alpha == WTSAT_ARGB ? WICBitmapUseAlpha : WICBitmapIgnoreAlpha,
                                              &wrapped))) {
    return false;
  }
  base::ComPtr<IWICBitmapSource> current = wrapped;
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
