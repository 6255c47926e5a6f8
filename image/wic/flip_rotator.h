#pragma once
// Our own flip/rotate bitmap source, for platforms whose flip-rotator cannot deliver pixels for
// every transform (CreateFlipRotator in wic_transforms.h decides which one is used).
#include <windows.h>
#include <wincodec.h>

#include "base/com.h"
#include "image/wic/source_base.h"

namespace image {

// How output pixel (X, Y) finds its source pixel. Without swap: sx comes from X, sy from Y.
// With swap (quarter turns): sx comes from Y, sy from X. A reversed axis counts from the far edge.
struct FlipRotateMapping {
  bool swap = false;
  bool reverseX = false;  // source x counted from the right
  bool reverseY = false;  // source y counted from the bottom
};

// True for the options the platform defines: a rotation (0, 90, 180, 270 clockwise) with
// optional horizontal and vertical flips, and nothing else.
bool IsValidTransform(WICBitmapTransformOptions options) noexcept;

// Rotation clockwise first, then the flips in the rotated picture's own axes, as the platform
// defines them; so Rotate90|FlipHorizontal is the transpose and Rotate90|FlipVertical the
// anti-transpose.
FlipRotateMapping MappingFor(WICBitmapTransformOptions options) noexcept;

class FCWicFlipRotator final : public FCWicSourceBase {
 public:
  // bitsPerPixel must be a whole number of bytes (8 to 128). The new object holds a reference
  // to the source and reads it lazily.
  [[nodiscard]] static HRESULT Create(IWICBitmapSource* source, WICBitmapTransformOptions options, UINT bitsPerPixel,
                                      IWICBitmapSource** out) noexcept;

  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) noexcept override;
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) noexcept override;
  HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) noexcept override;
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) noexcept override;
  // Reads exactly the source rectangle behind prc, in strips of source rows taken top to bottom,
  // and scatters them into the caller's buffer: memory beyond the caller's is one strip
  // (kStripBudgetBytes), whatever the picture's size. A quarter turn read from a decoder that
  // decodes on every call costs one pass over the source per CopyPixels, so callers that pull
  // many small rectangles should materialise the source first (the loader always does).
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* prc, UINT stride, UINT bufferSize, BYTE* buffer) noexcept override;

 private:
  FCWicFlipRotator(IWICBitmapSource* source, UINT width, UINT height, UINT bytesPerPixel, FlipRotateMapping map);

  HRESULT CopyUnturned(const WICRect& rc, UINT stride, UINT bufferSize, BYTE* buffer) noexcept;
  HRESULT CopyQuarterTurned(const WICRect& rc, UINT stride, BYTE* buffer) noexcept;

  base::ComPtr<IWICBitmapSource> source_;
  UINT src_width_;
  UINT src_height_;
  UINT bytes_per_pixel_;
  FlipRotateMapping map_;
};

}  // namespace image
