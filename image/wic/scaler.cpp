#include "image/wic/scaler.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <new>

#include "image/resample/engine.h"

namespace image {

namespace {

constexpr UINT kHighestInterpolationMode = 4;  // high-quality cubic, absent from the mingw headers

}  // namespace

HRESULT FCWicScaler::Create(IWICBitmapSource* source, UINT width, UINT height, WICBitmapInterpolationMode mode,
                            IWICBitmapSource** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!source || width == 0 || height == 0 || static_cast<UINT>(mode) > kHighestInterpolationMode) {
    return E_INVALIDARG;
  }
  // Keep the dimensions within what WICRect can address.
  if (width > 0x7FFFFFFFu || height > 0x7FFFFFFFu) return E_INVALIDARG;

  WICPixelFormatGUID format{};
  HRESULT hr = source->GetPixelFormat(&format);
  if (FAILED(hr)) return hr;
  base::ComPtr<IWICBitmapSource> input(source);
  // Opaque 32-bit pixels (whose fourth byte means nothing) are scaled as they are: a conversion
  // to premultiplied pixels first would cost a whole extra pass for nothing.
  if (format != GUID_WICPixelFormat32bppPBGRA && format != GUID_WICPixelFormat32bppBGRA &&
      format != GUID_WICPixelFormat32bppBGR && format != GUID_WICPixelFormat24bppBGR) {
    base::ComPtr<IWICBitmapSource> converted;
    hr = ::WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, source, &converted);
    if (FAILED(hr)) return hr;
    input = converted;
    format = GUID_WICPixelFormat32bppPBGRA;
  }
  UINT sourceWidth = 0, sourceHeight = 0;
  hr = input->GetSize(&sourceWidth, &sourceHeight);
  if (FAILED(hr)) return hr;
  if (sourceWidth == 0 || sourceHeight == 0) return E_INVALIDARG;

  auto* self = new (std::nothrow) FCWicScaler();
  if (!self) return E_OUTOFMEMORY;
  base::ComPtr<IWICBitmapSource> owner;
  base::Adopt(owner, self);
  self->source_ = input;
  self->format_ = format;
  self->width_ = width;
  self->height_ = height;
  self->channels_ = format == GUID_WICPixelFormat24bppBGR ? 3 : 4;
  self->straight_alpha_ = format == GUID_WICPixelFormat32bppBGRA;
  const bool nearest = mode == WICBitmapInterpolationModeNearestNeighbor;
  const bool linear = mode == WICBitmapInterpolationModeLinear;
  try {
    self->x_axis_ = std::make_unique<ResampleAxis>(sourceWidth, width,
                                                   KernelForAxis(sourceWidth, width, nearest, linear));
    self->y_axis_ = std::make_unique<ResampleAxis>(sourceHeight, height,
                                                   KernelForAxis(sourceHeight, height, nearest, linear));
  } catch (const std::exception&) {  // no memory for the weight tables of an absurd target
    return E_OUTOFMEMORY;
  }
  *out = owner.Detach();
  return S_OK;
}

HRESULT FCWicScaler::GetSize(UINT* width, UINT* height) noexcept {
  if (!width || !height) return E_INVALIDARG;
  *width = width_;
  *height = height_;
  return S_OK;
}

HRESULT FCWicScaler::GetPixelFormat(WICPixelFormatGUID* format) noexcept {
  if (!format) return E_INVALIDARG;
  *format = format_;
  return S_OK;
}

HRESULT FCWicScaler::GetResolution(double* dpiX, double* dpiY) noexcept {
  return source_->GetResolution(dpiX, dpiY);
}

HRESULT FCWicScaler::CopyPalette(IWICPalette*) noexcept { return WINCODEC_ERR_PALETTEUNAVAILABLE; }

HRESULT FCWicScaler::CopyPixels(const WICRect* prc, UINT stride, UINT bufferSize, BYTE* buffer) noexcept {
  WICRect rc;
  HRESULT hr = ResolveCopyRect(prc, width_, height_, channels_, stride, bufferSize, buffer, &rc);
  if (FAILED(hr) || rc.Width == 0 || rc.Height == 0) return hr;

  ResampleJob job;
  job.source = source_.Get();
  job.xAxis = x_axis_.get();
  job.yAxis = y_axis_.get();
  job.channels = channels_;
  job.straightAlpha = straight_alpha_;
  job.premultiplied = format_ == GUID_WICPixelFormat32bppPBGRA;

  // 64-bit sizes: on 32-bit builds a wide target must not wrap into a small cache.
  const uint64_t total = uint64_t{width_} * channels_ * height_;
  if (total > kScalerCacheBytes) return ResampleRect(job, rc, buffer, stride);
  const size_t rowBytes = size_t{width_} * channels_;

  std::lock_guard<std::mutex> lock(mutex_);
  if (!cached_) {
    try {
      cache_.resize(static_cast<size_t>(total));
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
    const WICRect all{0, 0, static_cast<INT>(width_), static_cast<INT>(height_)};
    hr = ResampleRect(job, all, cache_.data(), rowBytes);
    if (FAILED(hr)) {
      std::vector<BYTE>().swap(cache_);
      return hr;
    }
    cached_ = true;
  }
  const size_t copyBytes = size_t{static_cast<UINT>(rc.Width)} * channels_;
  for (INT y = 0; y < rc.Height; ++y) {
    const BYTE* from = cache_.data() + rowBytes * static_cast<UINT>(rc.Y + y) + size_t{static_cast<UINT>(rc.X)} * channels_;
    std::memcpy(buffer + size_t{stride} * static_cast<UINT>(y), from, copyBytes);
  }
  return S_OK;
}

}  // namespace image
