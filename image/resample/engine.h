#pragma once
// Separable resampling of a WIC source with 8-bit channels: source rows are pulled in strips
// (CopyPixels on sub-rectangles), filtered horizontally into 32-bit fixed point, then combined
// vertically. Memory: one strip of source rows, plus two accumulator rows of the output width
// for reductions or four filtered rows for enlargements, plus whatever the caller's output is.
#include <windows.h>
#include <wincodec.h>

#include <cstddef>

#include "image/resample/axis.h"

namespace image {

struct ResampleJob {
  IWICBitmapSource* source = nullptr;  // 24bpp (3 channels) or 32bpp (4 channels, alpha last)
  const ResampleAxis* xAxis = nullptr;
  const ResampleAxis* yAxis = nullptr;
  UINT channels = 4;
  // 32bpp with straight alpha: pixels are weighted by their alpha so that the colour of
  // transparent pixels does not bleed into their neighbours, and handed back straight.
  bool straightAlpha = false;
  // 32bpp premultiplied: colour is kept at or below alpha after a cubic overshoot.
  bool premultiplied = false;
};

// Computes the output pixels of rc (in target coordinates) into out, rows stride bytes apart.
[[nodiscard]] HRESULT ResampleRect(const ResampleJob& job, const WICRect& rc, BYTE* out, size_t stride) noexcept;

}  // namespace image
