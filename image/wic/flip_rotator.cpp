#include "image/wic/flip_rotator.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <new>
#include <vector>

namespace image {

namespace {

constexpr UINT kRotationMask = 0x3;
constexpr UINT kValidMask = kRotationMask | WICBitmapTransformFlipHorizontal | WICBitmapTransformFlipVertical;
// Source columns handled together when transposing, so that the strip's cache lines are reused.
constexpr UINT kTransposeBlock = 32;

template <UINT N>
inline void CopyPixel(BYTE* to, const BYTE* from) {
  std::memcpy(to, from, N);
}

template <UINT N>
void CopyRowReversed(BYTE* to, const BYTE* from, UINT count) {
  const BYTE* p = from + size_t{count - 1} * N;
  for (UINT i = 0; i < count; ++i, to += N, p -= N) CopyPixel<N>(to, p);
}

void CopyRowReversedAny(BYTE* to, const BYTE* from, UINT count, UINT bpp) {
  switch (bpp) {
    case 1: return CopyRowReversed<1>(to, from, count);
    case 2: return CopyRowReversed<2>(to, from, count);
    case 3: return CopyRowReversed<3>(to, from, count);
    case 4: return CopyRowReversed<4>(to, from, count);
    case 6: return CopyRowReversed<6>(to, from, count);
    case 8: return CopyRowReversed<8>(to, from, count);
    case 16: return CopyRowReversed<16>(to, from, count);
    default: {
      const BYTE* p = from + size_t{count - 1} * bpp;
      for (UINT i = 0; i < count; ++i, to += bpp, p -= bpp) std::memcpy(to, p, bpp);
    }
  }
}

// One strip of source rows, already cut to the source rectangle, scattered into the output.
struct TransposeJob {
  const BYTE* strip;
  size_t stripStride;
  UINT rows;         // source rows in the strip
  UINT cols;         // source columns in the strip
  BYTE* firstOut;    // output address of the strip's first source row, first source column
  ptrdiff_t rowStep;  // output address step per source row (along an output row)
  ptrdiff_t colStep;  // output address step per source column (from output row to output row)
};

template <UINT N>
void Transpose(const TransposeJob& job) {
  for (UINT block = 0; block < job.cols; block += kTransposeBlock) {
    const UINT end = std::min(job.cols, block + kTransposeBlock);
    for (UINT c = block; c < end; ++c) {
      BYTE* out = job.firstOut + job.colStep * static_cast<ptrdiff_t>(c);
      const BYTE* in = job.strip + size_t{c} * N;
      for (UINT r = 0; r < job.rows; ++r, in += job.stripStride, out += job.rowStep) CopyPixel<N>(out, in);
    }
  }
}

void TransposeAny(const TransposeJob& job, UINT bpp) {
  switch (bpp) {
    case 1: return Transpose<1>(job);
    case 2: return Transpose<2>(job);
    case 3: return Transpose<3>(job);
    case 4: return Transpose<4>(job);
    case 6: return Transpose<6>(job);
    case 8: return Transpose<8>(job);
    case 12: return Transpose<12>(job);
    default: return Transpose<16>(job);  // Create admits no other size
  }
}

// The source range [first, first+count) behind an output range along one axis.
INT SourceStart(bool reversed, UINT extent, INT start, INT count) {
  return reversed ? static_cast<INT>(extent) - (start + count) : start;
}

bool TryResize(std::vector<BYTE>& buffer, size_t size) noexcept {
  try {
    buffer.resize(size);
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

bool IsValidTransform(WICBitmapTransformOptions options) noexcept {
  return (static_cast<UINT>(options) & ~kValidMask) == 0;
}

FlipRotateMapping MappingFor(WICBitmapTransformOptions options) noexcept {
  FlipRotateMapping m;
  switch (static_cast<UINT>(options) & kRotationMask) {
    case WICBitmapTransformRotate90:  // out(X, Y) = in(Y, H-1-X)
      m = {true, false, true};
      break;
    case WICBitmapTransformRotate180:  // out(X, Y) = in(W-1-X, H-1-Y)
      m = {false, true, true};
      break;
    case WICBitmapTransformRotate270:  // out(X, Y) = in(W-1-Y, X)
      m = {true, true, false};
      break;
    default:
      break;
  }
  // The flips act on the turned picture: a horizontal flip reverses output X, which after a
  // quarter turn runs along the source's y axis.
  if (options & WICBitmapTransformFlipHorizontal) (m.swap ? m.reverseY : m.reverseX) ^= true;
  if (options & WICBitmapTransformFlipVertical) (m.swap ? m.reverseX : m.reverseY) ^= true;
  return m;
}

FCWicFlipRotator::FCWicFlipRotator(IWICBitmapSource* source, UINT width, UINT height, UINT bytesPerPixel,
                                   FlipRotateMapping map)
    : source_(source), src_width_(width), src_height_(height), bytes_per_pixel_(bytesPerPixel), map_(map) {}

HRESULT FCWicFlipRotator::Create(IWICBitmapSource* source, WICBitmapTransformOptions options, UINT bitsPerPixel,
                                 IWICBitmapSource** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!source || !IsValidTransform(options)) return E_INVALIDARG;
  const UINT bytes = bitsPerPixel / 8;
  if (bitsPerPixel % 8 != 0 || bytes == 0 || bytes > 16 || (bytes > 8 && bytes != 12 && bytes != 16)) {
    return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  }
  UINT w = 0, h = 0;
  HRESULT hr = source->GetSize(&w, &h);
  if (FAILED(hr)) return hr;
  auto* self = new (std::nothrow) FCWicFlipRotator(source, w, h, bytes, MappingFor(options));
  if (!self) return E_OUTOFMEMORY;
  *out = self;
  return S_OK;
}

HRESULT FCWicFlipRotator::GetSize(UINT* width, UINT* height) noexcept {
  if (!width || !height) return E_INVALIDARG;
  *width = map_.swap ? src_height_ : src_width_;
  *height = map_.swap ? src_width_ : src_height_;
  return S_OK;
}

HRESULT FCWicFlipRotator::GetPixelFormat(WICPixelFormatGUID* format) noexcept {
  return source_->GetPixelFormat(format);
}

HRESULT FCWicFlipRotator::GetResolution(double* dpiX, double* dpiY) noexcept {
  if (!dpiX || !dpiY) return E_INVALIDARG;
  return map_.swap ? source_->GetResolution(dpiY, dpiX) : source_->GetResolution(dpiX, dpiY);
}

HRESULT FCWicFlipRotator::CopyPalette(IWICPalette* palette) noexcept { return source_->CopyPalette(palette); }

HRESULT FCWicFlipRotator::CopyPixels(const WICRect* prc, UINT stride, UINT bufferSize, BYTE* buffer) noexcept {
  UINT w = 0, h = 0;
  GetSize(&w, &h);
  WICRect rc;
  HRESULT hr = ResolveCopyRect(prc, w, h, bytes_per_pixel_, stride, bufferSize, buffer, &rc);
  if (FAILED(hr) || rc.Width == 0 || rc.Height == 0) return hr;
  return map_.swap ? CopyQuarterTurned(rc, stride, buffer) : CopyUnturned(rc, stride, bufferSize, buffer);
}

HRESULT FCWicFlipRotator::CopyUnturned(const WICRect& rc, UINT stride, UINT bufferSize, BYTE* buffer) noexcept {
  const WICRect from{SourceStart(map_.reverseX, src_width_, rc.X, rc.Width),
                     SourceStart(map_.reverseY, src_height_, rc.Y, rc.Height), rc.Width, rc.Height};
  if (!map_.reverseX && !map_.reverseY) return source_->CopyPixels(&from, stride, bufferSize, buffer);

  const UINT rowBytes = static_cast<UINT>(rc.Width) * bytes_per_pixel_;
  const UINT stripRows = std::min<UINT>(StripRows(rowBytes), static_cast<UINT>(rc.Height));
  std::vector<BYTE> strip;
  if (!TryResize(strip, size_t{rowBytes} * stripRows)) return E_OUTOFMEMORY;
  for (INT done = 0; done < rc.Height;) {
    const INT rows = std::min<INT>(static_cast<INT>(stripRows), rc.Height - done);
    const WICRect part{from.X, from.Y + done, from.Width, rows};
    HRESULT hr = source_->CopyPixels(&part, rowBytes, static_cast<UINT>(strip.size()), strip.data());
    if (FAILED(hr)) return hr;
    for (INT r = 0; r < rows; ++r) {
      // Source row done+r of the rectangle lands on output row done+r, or mirrored.
      const INT outRow = map_.reverseY ? rc.Height - 1 - (done + r) : done + r;
      BYTE* to = buffer + size_t{stride} * static_cast<UINT>(outRow);
      const BYTE* in = strip.data() + size_t{rowBytes} * static_cast<UINT>(r);
      if (map_.reverseX) {
        CopyRowReversedAny(to, in, static_cast<UINT>(rc.Width), bytes_per_pixel_);
      } else {
        std::memcpy(to, in, rowBytes);
      }
    }
    done += rows;
  }
  return S_OK;
}

HRESULT FCWicFlipRotator::CopyQuarterTurned(const WICRect& rc, UINT stride, BYTE* buffer) noexcept {
  // Output rows come from source columns and output columns from source rows.
  const WICRect from{SourceStart(map_.reverseX, src_width_, rc.Y, rc.Height),
                     SourceStart(map_.reverseY, src_height_, rc.X, rc.Width), rc.Height, rc.Width};
  // The caller's stride bounds its rows, not the source rows read here: check them in 64 bits.
  if (uint64_t{static_cast<UINT>(from.Width)} * bytes_per_pixel_ > 0x7FFFFFFFu) return E_OUTOFMEMORY;
  const UINT rowBytes = static_cast<UINT>(from.Width) * bytes_per_pixel_;
  const UINT stripRows = std::min<UINT>(StripRows(rowBytes), static_cast<UINT>(from.Height));
  std::vector<BYTE> strip;
  if (!TryResize(strip, size_t{rowBytes} * stripRows)) return E_OUTOFMEMORY;

  const ptrdiff_t bpp = bytes_per_pixel_;
  const ptrdiff_t pitch = static_cast<ptrdiff_t>(stride);
  // Source column c of the rectangle is output row c (or its mirror); source row r is output column r.
  const ptrdiff_t colStep = map_.reverseX ? -pitch : pitch;
  const ptrdiff_t rowStep = map_.reverseY ? -bpp : bpp;
  BYTE* const origin = buffer + (map_.reverseX ? pitch * (rc.Height - 1) : 0);
  for (INT done = 0; done < from.Height;) {
    const INT rows = std::min<INT>(static_cast<INT>(stripRows), from.Height - done);
    const WICRect part{from.X, from.Y + done, from.Width, rows};
    HRESULT hr = source_->CopyPixels(&part, rowBytes, static_cast<UINT>(strip.size()), strip.data());
    if (FAILED(hr)) return hr;
    const INT outCol = map_.reverseY ? rc.Width - 1 - done : done;
    TransposeJob job{strip.data(), rowBytes, static_cast<UINT>(rows), static_cast<UINT>(from.Width),
                     origin + bpp * outCol, rowStep, colStep};
    TransposeAny(job, bytes_per_pixel_);
    done += rows;
  }
  return S_OK;
}

}  // namespace image
