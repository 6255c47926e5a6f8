#include "image/wic/loader.h"

#include <shlwapi.h>

#include <algorithm>
#include <climits>
#include <cstdint>

#include "appconfig/app_config.h"
#include "appconfig/folders.h"
#include "base/handles.h"
#include "base/paths.h"
#include "image/wic/deferred_jpeg_source.h"
#include "image/effect/effects.h"
#include "image/exif/reader.h"
#include "image/gdiplus_include.h"
#include "image/obj_image.h"
#include "image/wic/factory.h"
#include "image/wic/locked_pixels.h"
#include "image/wic/transforms.h"

namespace {

bool OrientationAllowed() { return IsWindows81OrLater() || AppConfig::Get().orientation_by_tag != 0; }

HRESULT ConvertTo(IWICBitmapSource* source, REFWICPixelFormatGUID format, IWICBitmapSource** out) {
  return ::WICConvertBitmapSource(format, source, out);
}

}  // namespace

SIZE CWICImageLoader::GetDisplaySize() const {
  SIZE size{0, 0};
  if (!frame_source_) return size;
  UINT w = 0, h = 0;
  if (FAILED(frame_source_->GetSize(&w, &h))) return size;
  if (IsQuarterTurn(Transform())) std::swap(w, h);
  size.cx = static_cast<LONG>(w);
  size.cy = static_cast<LONG>(h);
  return size;
}

HRESULT CWICImageLoader::GetOrientedBitmap(bool applyProfile, IWICBitmap** out,
                                           const WICPixelFormatGUID& pixelFormat) const {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!frame_source_ || !GetWicFactory()) return E_FAIL;
  if (!IsEqualGUID(pixelFormat, GUID_WICPixelFormat32bppBGRA) && !IsEqualGUID(pixelFormat, GUID_WICPixelFormat32bppPBGRA)) {
    return E_INVALIDARG;
  }
  base::ComPtr<IWICBitmap> bitmap;
  WICPixelFormatGUID format{};
  base::ComPtr<IWICBitmap> asBitmap;
  if (SUCCEEDED(frame_source_.As(&asBitmap)) && SUCCEEDED(asBitmap->GetPixelFormat(&format)) &&
      IsEqualGUID(format, pixelFormat)) {
    bitmap = asBitmap;
  } else {
    base::ComPtr<IWICBitmapSource> source = frame_source_;
    if (applyProfile && color_context_) {
      base::ComPtr<IWICBitmapSource> managed;
      if (SUCCEEDED(ColourManage(source.Get(), color_context_.Get(), false, &managed))) source = managed;
    }
    base::ComPtr<IWICBitmapSource> converted;
    HRESULT hr = ConvertTo(source.Get(), pixelFormat, &converted);
    if (FAILED(hr)) return hr;
    hr = Materialise(converted.Get(), &bitmap);
    if (FAILED(hr)) return hr;
  }
  const WICBitmapTransformOptions options = Transform();
  if (options != WICBitmapTransformRotate0) {
    base::ComPtr<IWICBitmapSource> turned;
    HRESULT hr = FlipRotate(bitmap.Get(), options, &turned);
    if (FAILED(hr)) return hr;
    base::ComPtr<IWICBitmap> turnedBitmap;
    hr = turned.As(&turnedBitmap);
    if (FAILED(hr)) hr = Materialise(turned.Get(), &turnedBitmap);
    if (FAILED(hr)) return hr;
    bitmap = turnedBitmap;
  }
  *out = bitmap.Detach();
  return S_OK;
}

HRESULT CWICImageLoader::GetOrientedViewBitmap(bool applyProfile, IWICBitmap** out,
                                               const WICPixelFormatGUID& pixelFormat) const {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (deferred_ && SUCCEEDED(deferred_->DecodeOriented(Transform(), pixelFormat, out))) return S_OK;
  return GetOrientedBitmap(applyProfile, out, pixelFormat);
}

HRESULT CWICImageLoader::GetScaledSource(int width, int height, IWICColorContext** context,
                                         IWICBitmapSource** out) const {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (context) {
    *context = color_context_.Get();
    if (*context) (*context)->AddRef();
  }
  base::ComPtr<IWICBitmap> oriented;
  HRESULT hr = GetOrientedBitmap(false, &oriented);
  if (FAILED(hr)) return hr;
  const WICBitmapInterpolationMode mode =
      IsWindows10OrLater() ? kWicInterpolationHighQualityCubic : WICBitmapInterpolationModeFant;
  return ScaleSource(oriented.Get(), width, height, mode, out);
}

void CWICImageLoader::ReleasePlatformDecoder() const {
  if (deferred_) deferred_->ReleaseDecoder();
}

IWICBitmapDecoder* CWICImageLoader::Decoder() const {
  return deferred_ ? deferred_->Decoder() : decoder_.Get();
}

bool CWICImageLoader::IsAnimatedPicture() const { return !deferred_ && IsAnimated(decoder_.Get()); }

void CWICImageLoader::ReleaseFile() {
  deferred_.Reset();
  decoder_.Reset();
  frame_source_.Reset();
  color_context_.Reset();
  *metadata_ = ImageMetadata{};
  decoder_name_ = "none";
}

void CWICImageLoader::Load(const std::wstring& path) {
  ReleaseFile();
  if (LoadDeferredJpeg(path) || LoadWithWic(path)) {
    decoder_name_ = "wic";
    return;
  }
  ReleaseFile();
  if (LoadWithGdiplus(path)) {
    decoder_name_ = "gdiplus";
    return;
  }
  ReleaseFile();
  if (LoadWithLibrary(path)) {
    decoder_name_ = "library";
    return;
  }
  ReleaseFile();
}

bool CWICImageLoader::LoadDeferredJpeg(const std::wstring& path) {
  // Pictures that the view decodes at once on the user-interface thread gain nothing.
  constexpr long long kDeferFromPixels = 1281LL * 1281LL;
  base::ComPtr<CDeferredJpegSource> source = CDeferredJpegSource::TryOpen(path, kDeferFromPixels);
  if (!source) return false;
  deferred_ = source;
  frame_source_ = static_cast<IWICBitmapSource*>(source.Get());
  double dpiX = 96.0, dpiY = 96.0;
  (void)source->GetResolution(&dpiX, &dpiY);
  metadata_->resolution = static_cast<int>(dpiX + 0.5);
  base::ComPtr<IWICMetadataQueryReader> reader;
  if (SUCCEEDED(CreateExifQueryReaderFromFile(path.c_str(), reader.GetAddressOf())) && reader) {
    ReadMetadataFrom(reader.Get(), dpiX, *metadata_);
  }
  if (!OrientationAllowed()) metadata_->orientation = 0;
  return true;
}

bool CWICImageLoader::LoadWithWic(const std::wstring& path) {
  IWICImagingFactory* factory = GetWicFactory();
  if (!factory) return false;
  base::ComPtr<IStream> stream;
  if (FAILED(::SHCreateStreamOnFileEx(path.c_str(), STGM_READ | STGM_SHARE_DENY_NONE, FILE_ATTRIBUTE_NORMAL, FALSE,
                                      nullptr, &stream))) {
    return false;
  }
  if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder_))) {
    return false;
  }
  stream.Reset();
  GUID container{};
  decoder_->GetContainerFormat(&container);
  UINT frameIndex = 0;
  if (IsEqualGUID(container, GUID_ContainerFormatIco)) {
    UINT count = 0, bestWidth = 0;
    decoder_->GetFrameCount(&count);
    for (UINT i = 0; i < count; ++i) {
      base::ComPtr<IWICBitmapFrameDecode> f;
      UINT w = 0, h = 0;
      if (SUCCEEDED(decoder_->GetFrame(i, &f)) && SUCCEEDED(f->GetSize(&w, &h)) && w > bestWidth) {
        bestWidth = w;
        frameIndex = i;
      }
    }
  }
  base::ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(decoder_->GetFrame(frameIndex, &frame))) return false;
  base::Adopt(color_context_, FirstColorContext(factory, frame.Get()));
  if (FAILED(frame.As(&frame_source_))) return false;
  ReadMetadata(frame.Get(), path.c_str(), *metadata_);
  if (!OrientationAllowed()) metadata_->orientation = 0;
  return GetDisplaySize().cx > 0;
}

bool CWICImageLoader::LoadWithGdiplus(const std::wstring& path) {
  IWICImagingFactory* factory = GetWicFactory();
  if (!factory) return false;
  Gdiplus::GpBitmap* bitmap = nullptr;
  if (Gdiplus::DllExports::GdipCreateBitmapFromFile(path.c_str(), &bitmap) != Gdiplus::Ok || !bitmap) return false;
  bool ok = false;
  UINT w = 0, h = 0;
  Gdiplus::DllExports::GdipGetImageWidth(bitmap, &w);
  Gdiplus::DllExports::GdipGetImageHeight(bitmap, &h);
  if (w > 0 && h > 0) {
    Gdiplus::Rect rect(0, 0, static_cast<INT>(w), static_cast<INT>(h));
    Gdiplus::BitmapData data{};
    if (Gdiplus::DllExports::GdipBitmapLockBits(bitmap, &rect, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB,
                                                 &data) == Gdiplus::Ok) {
      base::ComPtr<IWICBitmap> copy;
      if (data.Stride > 0 &&
          SUCCEEDED(factory->CreateBitmapFromMemory(w, h, GUID_WICPixelFormat32bppBGRA, static_cast<UINT>(data.Stride),
                                                    static_cast<UINT>(data.Stride) * h,
                                                    static_cast<BYTE*>(data.Scan0), &copy))) {
        frame_source_ = copy;
        ok = true;
      }
      Gdiplus::DllExports::GdipBitmapUnlockBits(bitmap, &data);
    }
  }
  Gdiplus::DllExports::GdipDisposeImage(bitmap);
  return ok;
}

bool CWICImageLoader::LoadWithLibrary(const std::wstring& path) {
  IWICImagingFactory* factory = GetWicFactory();
  const std::wstring library = base::JoinPath(GetModuleFolder(), L"CodecHost.dll");
  if (!factory || library.empty() || !::PathFileExistsW(library.c_str())) return false;
  base::ModuleHandle module(::LoadLibraryW(library.c_str()));
  if (!module) return false;
  using LoadImageFn = IUnknown*(WINAPI*)(const wchar_t*, IWICImagingFactory*);
  auto loadImage = reinterpret_cast<LoadImageFn>(::GetProcAddress(module.Get(), "load_image"));
  if (!loadImage) return false;
  base::ComPtr<IUnknown> object;
  base::Adopt(object, loadImage(path.c_str(), factory));
  if (object) object.As(&frame_source_);
  object.Reset();
  return GetDisplaySize().cx > 0;
}

std::shared_ptr<CWICImageLoader> CWICImageLoader::FromSource(IWICBitmapSource* source, IWICColorContext* context) {
  auto loader = std::make_shared<CWICImageLoader>();
  loader->frame_source_ = source;
  loader->color_context_ = context;
  loader->decoder_name_ = source ? "memory" : "none";
  return loader;
}

CWICImageLoaderPtr OpenImage(const std::wstring& path) {
  auto loader = std::make_shared<CWICImageLoader>();
  loader->Load(path);
  return loader;
}

bool IsAnimated(IWICBitmapDecoder* decoder) {
  if (!decoder) return false;
  GUID container{};
  UINT frames = 0;
  return SUCCEEDED(decoder->GetContainerFormat(&container)) && IsEqualGUID(container, GUID_ContainerFormatGif) &&
         SUCCEEDED(decoder->GetFrameCount(&frames)) && frames >= 2;
}

bool DecodeToFitImage(const CWICImageLoader& loader, int width, int height, FCObjImage& image) {
  if (!loader.FrameSource() || width <= 0 || height <= 0) return false;
  base::ComPtr<IWICBitmapSource> converted;
  if (FAILED(ConvertTo(loader.FrameSource(), GUID_WICPixelFormat32bppBGRA, &converted))) return false;
  const WICBitmapTransformOptions options = loader.Transform();
  const bool quarter = IsQuarterTurn(options);
  base::ComPtr<IWICBitmapSource> scaled;
  if (FAILED(ScaleSource(converted.Get(), quarter ? height : width, quarter ? width : height,
                         WICBitmapInterpolationModeFant, &scaled))) {
    return false;
  }
  base::ComPtr<IWICBitmapSource> current = scaled;
  if (loader.ColorContext() && AppConfig::Get().ignore_embedded_icc == 0) {
    base::ComPtr<IWICBitmapSource> managed;
    if (SUCCEEDED(ColourManage(current.Get(), loader.ColorContext(), false, &managed))) current = managed;
  }
  if (options != WICBitmapTransformRotate0) {
    base::ComPtr<IWICBitmap> materialised;
    if (FAILED(Materialise(current.Get(), &materialised))) return false;
    base::ComPtr<IWICBitmapSource> turned;
    if (FAILED(FlipRotate(materialised.Get(), options, &turned))) return false;
    current = turned;
  }
  if (!image.LoadFromWicSource(current.Get(), GUID_WICPixelFormat32bppPBGRA)) {
    image.Destroy();
    return false;
  }
  ApplyViewEnhancement(image, nullptr);
  return true;
}

bool DecodeToFitBitmap(const CWICImageLoader& loader, int width, int height, HBITMAP* bitmap) {
  FCObjImage image;
  if (!DecodeToFitImage(loader, width, height, image)) return false;
  FCObjImage::RenderToCompatibleBitmap(image, AppConfig::Get().BackgroundBrush(), bitmap);
  return true;
}

HRESULT ColourManage(IWICBitmapSource* source, IWICColorContext* embedded, bool reverse, IWICBitmapSource** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!source) return E_INVALIDARG;
  IWICImagingFactory* factory = GetWicFactory();
  base::ComPtr<IWICColorContext> srgb;
  base::ComPtr<IWICColorTransform> transform;
  if (factory && embedded && SUCCEEDED(factory->CreateColorContext(&srgb)) &&
      SUCCEEDED(srgb->InitializeFromExifColorSpace(1)) && SUCCEEDED(factory->CreateColorTransformer(&transform))) {
    IWICColorContext* from = reverse ? srgb.Get() : embedded;
    IWICColorContext* to = reverse ? embedded : srgb.Get();
    if (SUCCEEDED(transform->Initialize(source, from, to, GUID_WICPixelFormat32bppBGRA))) {
      return transform.CopyTo(out);
    }
  }
  source->AddRef();
  *out = source;
  return S_OK;
}

HRESULT FlipRotate(IWICBitmapSource* source, WICBitmapTransformOptions options, IWICBitmapSource** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!source) return E_INVALIDARG;
  if (options == WICBitmapTransformRotate0) {
    source->AddRef();
    *out = source;
    return S_OK;
  }
  IWICImagingFactory* factory = GetWicFactory();
  if (!factory) return E_FAIL;
  base::ComPtr<IWICBitmapSource> rotator;
  HRESULT hr = CreateFlipRotator(factory, source, options, &rotator);
  if (FAILED(hr)) return hr;
  base::ComPtr<IWICBitmap> materialised;
  hr = Materialise(rotator.Get(), &materialised);
  if (FAILED(hr)) return hr;
  *out = materialised.Detach();
  return S_OK;
}

HRESULT ScaleSource(IWICBitmapSource* source, int width, int height, WICBitmapInterpolationMode mode,
                    IWICBitmapSource** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!source || width <= 0 || height <= 0) return E_INVALIDARG;
  UINT w = 0, h = 0;
  HRESULT hr = source->GetSize(&w, &h);
  if (FAILED(hr)) return hr;
  if (static_cast<int>(w) == width && static_cast<int>(h) == height) {
    source->AddRef();
    *out = source;
    return S_OK;
  }
  IWICImagingFactory* factory = GetWicFactory();
  if (!factory) return E_FAIL;
  return CreateScaler(factory, source, static_cast<UINT>(width), static_cast<UINT>(height), mode, out);
}

HRESULT Materialise(IWICBitmapSource* source, IWICBitmap** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  IWICImagingFactory* factory = GetWicFactory();
  if (!factory || !source) return E_FAIL;
  // Pixels of four bytes are copied a band of rows at a time: a converter or scaler in front of the
  // source then needs room for one band, not for another whole picture (a platform converter may
  // read its whole request from its source first). Other formats keep the platform's own copy.
  WICPixelFormatGUID format{};
  UINT width = 0, height = 0;
  HRESULT hr = source->GetPixelFormat(&format);
  if (SUCCEEDED(hr)) hr = source->GetSize(&width, &height);
  if (FAILED(hr)) return hr;
  const bool fourBytes = IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) ||
                         IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA) ||
                         IsEqualGUID(format, GUID_WICPixelFormat32bppBGR);
  if (!fourBytes || width == 0 || height == 0 || width > INT_MAX / 4 || height > INT_MAX) {
    return factory->CreateBitmapFromSource(source, WICBitmapCacheOnLoad, out);
  }
  base::ComPtr<IWICBitmap> bitmap;
  hr = factory->CreateBitmap(width, height, format, WICBitmapCacheOnLoad, &bitmap);
  if (FAILED(hr)) return hr;
  {
    LockedPixels locked;
    hr = LockWholeBitmap(bitmap.Get(), width, height, WICBitmapLockWrite, locked);
    const UINT stride = locked.stride;
    // About 8 MB a band.
    const UINT band = std::max<UINT>(1, (8u << 20) / std::max<UINT>(stride, 1));
    for (UINT y = 0; SUCCEEDED(hr) && y < height; y += band) {
      const UINT rows = std::min(band, height - y);
      const WICRect rect{0, static_cast<INT>(y), static_cast<INT>(width), static_cast<INT>(rows)};
      hr = source->CopyPixels(&rect, stride, stride * rows, locked.data + static_cast<size_t>(y) * stride);
    }
  }
  if (FAILED(hr)) return hr;
  *out = bitmap.Detach();
  return S_OK;
}
