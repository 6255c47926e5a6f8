#include "image/wic/transforms.h"

#include <atomic>
#include <new>
#include <vector>

#include "base/com.h"
#include "image/wic/flip_rotator.h"
#include "image/wic/scaler.h"
#include "image/wic/source_base.h"

namespace {

using base::ComPtr;

// Whether a source hands out its first row: the platform's flip-rotator may initialise for
// options whose pixels it cannot produce.
bool DeliversFirstRow(IWICImagingFactory* factory, IWICBitmapSource* source) noexcept {
  UINT w = 0, h = 0, bits = 0;
  WICPixelFormatGUID format{};
  if (FAILED(source->GetSize(&w, &h)) || w == 0 || h == 0) return false;
  if (FAILED(source->GetPixelFormat(&format)) || FAILED(image::PixelFormatBits(factory, format, &bits)) || bits == 0) {
    return false;
  }
  const unsigned long long rowBytes = (static_cast<unsigned long long>(w) * bits + 7) / 8;
  if (rowBytes > 0x7FFFFFFFull) return false;
  std::vector<BYTE> row;
  try {
    row.resize(static_cast<size_t>(rowBytes));
  } catch (const std::bad_alloc&) {
    return false;
  }
  const WICRect first{0, 0, static_cast<INT>(w), 1};
  return SUCCEEDED(source->CopyPixels(&first, static_cast<UINT>(rowBytes), static_cast<UINT>(rowBytes), row.data()));
}

// Scales eight alternating black and white columns to four with the platform's Fant mode: an
// averaging scaler gives grey, a sampling one black or white. False when it cannot scale at all.
bool ProbePlatformScaler(IWICImagingFactory* factory, bool* averages) noexcept {
  BYTE pattern[8 * 4];
  for (int x = 0; x < 8; ++x) {
    const BYTE v = (x % 2) ? 255 : 0;
    pattern[x * 4 + 0] = pattern[x * 4 + 1] = pattern[x * 4 + 2] = v;
    pattern[x * 4 + 3] = 255;
  }
  ComPtr<IWICBitmap> bitmap;
  if (FAILED(factory->CreateBitmapFromMemory(8, 1, GUID_WICPixelFormat32bppBGRA, sizeof(pattern), sizeof(pattern),
                                             pattern, &bitmap))) {
    return false;
  }
  *averages = false;
  ComPtr<IWICBitmapScaler> scaler;
  BYTE out[4 * 4] = {};
  if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
      FAILED(scaler->Initialize(bitmap.Get(), 4, 1, WICBitmapInterpolationModeFant)) ||
      FAILED(scaler->CopyPixels(nullptr, sizeof(out), sizeof(out), out))) {
    return true;  // the platform's scaler is unusable, which is an answer too
  }
  bool grey = true;
  for (int x = 0; x < 4; ++x) {
    for (int c = 0; c < 3; ++c) grey = grey && out[x * 4 + c] >= 64 && out[x * 4 + c] <= 191;
  }
  *averages = grey;
  return true;
}

}  // namespace

HRESULT CreateOwnFlipRotator(IWICImagingFactory* factory, IWICBitmapSource* source, WICBitmapTransformOptions options,
                             IWICBitmapSource** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!factory || !source) return E_INVALIDARG;
  WICPixelFormatGUID format{};
  HRESULT hr = source->GetPixelFormat(&format);
  if (FAILED(hr)) return hr;
  UINT bits = 0;
  hr = image::FCWicFlipRotator::Create(source, options, SUCCEEDED(image::PixelFormatBits(factory, format, &bits)) ? bits : 0,
                                       out);
  if (hr != WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT) return hr;
  // Packed formats (1, 2, 4 bits per pixel) cannot be moved pixel by pixel as bytes.
  ComPtr<IWICBitmapSource> wide;
  hr = ::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, source, &wide);
  if (FAILED(hr)) return hr;
  return image::FCWicFlipRotator::Create(wide.Get(), options, 32, out);
}

HRESULT CreateFlipRotator(IWICImagingFactory* factory, IWICBitmapSource* source, WICBitmapTransformOptions options,
                          IWICBitmapSource** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!factory || !source || !image::IsValidTransform(options)) return E_INVALIDARG;
  ComPtr<IWICBitmapFlipRotator> platform;
  if (SUCCEEDED(factory->CreateBitmapFlipRotator(&platform)) && SUCCEEDED(platform->Initialize(source, options)) &&
      DeliversFirstRow(factory, platform.Get())) {
    *out = platform.Detach();
    return S_OK;
  }
  return CreateOwnFlipRotator(factory, source, options, out);
}

bool PlatformScalerAverages(IWICImagingFactory* factory) noexcept {
  enum : int { kUnknown, kAverages, kSamples };
  static std::atomic<int> state{kUnknown};
  const int known = state.load(std::memory_order_acquire);
  if (known != kUnknown) return known == kAverages;
  bool averages = false;
  // A failure to set up the probe itself (no factory, no memory) is not remembered.
  if (!factory || !ProbePlatformScaler(factory, &averages)) return false;
  state.store(averages ? kAverages : kSamples, std::memory_order_release);
  return averages;
}

HRESULT CreateOwnScaler(IWICBitmapSource* source, UINT width, UINT height, WICBitmapInterpolationMode mode,
                        IWICBitmapSource** out) noexcept {
  return image::FCWicScaler::Create(source, width, height, mode, out);
}

HRESULT CreateScaler(IWICImagingFactory* factory, IWICBitmapSource* source, UINT width, UINT height,
                     WICBitmapInterpolationMode mode, IWICBitmapSource** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!factory || !source || width == 0 || height == 0) return E_INVALIDARG;
  if (mode == WICBitmapInterpolationModeNearestNeighbor || PlatformScalerAverages(factory)) {
    ComPtr<IWICBitmapScaler> platform;
    if (SUCCEEDED(factory->CreateBitmapScaler(&platform)) &&
        SUCCEEDED(platform->Initialize(source, width, height, mode))) {
      *out = platform.Detach();
      return S_OK;
    }
  }
  return CreateOwnScaler(source, width, height, mode, out);
}
