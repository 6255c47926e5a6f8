#include "image/wic/source_base.h"

#include <algorithm>
#include <cstdint>

#include "base/com.h"

namespace image {

HRESULT FCWicSourceBase::QueryInterface(REFIID iid, void** out) noexcept {
  if (!out) return E_POINTER;
  if (iid == __uuidof(IUnknown) || iid == __uuidof(IWICBitmapSource)) {
    *out = static_cast<IWICBitmapSource*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG FCWicSourceBase::AddRef() noexcept { return ++refs_; }

ULONG FCWicSourceBase::Release() noexcept {
  const ULONG left = --refs_;
  if (left == 0) delete this;
  return left;
}

HRESULT PixelFormatBits(IWICImagingFactory* factory, REFWICPixelFormatGUID format, UINT* bits) noexcept {
  if (!bits) return E_POINTER;
  *bits = 0;
  if (!factory) return E_INVALIDARG;
  base::ComPtr<IWICComponentInfo> info;
  HRESULT hr = factory->CreateComponentInfo(format, &info);
  if (FAILED(hr)) return hr;
  base::ComPtr<IWICPixelFormatInfo> pixelInfo;
  hr = info.As(&pixelInfo);
  if (FAILED(hr)) return hr;
  return pixelInfo->GetBitsPerPixel(bits);
}

HRESULT ResolveCopyRect(const WICRect* prc, UINT width, UINT height, UINT bytesPerPixel, UINT stride, UINT bufferSize,
                        const BYTE* buffer, WICRect* rect) noexcept {
  WICRect r{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
  if (prc) r = *prc;
  // 64-bit sums: a hostile rectangle must not wrap around into range.
  if (r.X < 0 || r.Y < 0 || r.Width < 0 || r.Height < 0 || int64_t{r.X} + r.Width > int64_t{width} ||
      int64_t{r.Y} + r.Height > int64_t{height}) {
    return E_INVALIDARG;
  }
  *rect = r;
  if (r.Width == 0 || r.Height == 0) return S_OK;
  if (!buffer) return E_INVALIDARG;
  const uint64_t rowBytes = uint64_t{static_cast<UINT>(r.Width)} * bytesPerPixel;
  if (stride < rowBytes) return E_INVALIDARG;
  const uint64_t needed = uint64_t{stride} * (static_cast<UINT>(r.Height) - 1) + rowBytes;
  if (needed > bufferSize) return WINCODEC_ERR_INSUFFICIENTBUFFER;
  return S_OK;
}

UINT StripRows(size_t rowBytes) noexcept {
  if (rowBytes == 0) return 1;
  return static_cast<UINT>(std::max<size_t>(1, kStripBudgetBytes / rowBytes));
}

}  // namespace image
