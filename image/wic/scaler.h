#pragma once
// Our own scaling bitmap source: area averaging for reductions, cubic (or linear) interpolation
// for enlargements. CreateScaler in wic_transforms.h uses it where the platform's scaler samples
// instead of averaging.
#include <windows.h>
#include <wincodec.h>

#include <memory>
#include <mutex>
#include <vector>

#include "base/com.h"
#include "image/resample/axis.h"
#include "image/wic/source_base.h"

namespace image {

class FCWicScaler final : public FCWicSourceBase {
 public:
  // Works on 32bppPBGRA, 32bppBGRA and 24bppBGR and hands out that format; any other source is
  // converted to 32bppPBGRA first. mode is one of the five platform interpolation modes:
  // nearest-neighbour samples, linear interpolates linearly when enlarging, and every other
  // mode enlarges by Catmull-Rom cubic. Every mode but nearest-neighbour averages when reducing.
  [[nodiscard]] static HRESULT Create(IWICBitmapSource* source, UINT width, UINT height,
                                      WICBitmapInterpolationMode mode, IWICBitmapSource** out) noexcept;

  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) noexcept override;
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) noexcept override;
  HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) noexcept override;
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) noexcept override;
  // The first call computes the whole output once and keeps it (when it is at most
  // kScalerCacheBytes; larger outputs are computed for each request, reading only the source
  // rows and columns behind prc), so later rectangles cost a copy.
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* prc, UINT stride, UINT bufferSize, BYTE* buffer) noexcept override;

 private:
  FCWicScaler() = default;

  base::ComPtr<IWICBitmapSource> source_;
  WICPixelFormatGUID format_{};
  UINT width_ = 0;
  UINT height_ = 0;
  UINT channels_ = 4;
  bool straight_alpha_ = false;
  std::unique_ptr<ResampleAxis> x_axis_;
  std::unique_ptr<ResampleAxis> y_axis_;

  std::mutex mutex_;  // guards the output cache
  std::vector<BYTE> cache_;
  bool cached_ = false;
};

// Outputs up to this size are kept after the first CopyPixels (a 4096 x 4096 32bpp picture).
inline constexpr size_t kScalerCacheBytes = size_t{64} << 20;

}  // namespace image
