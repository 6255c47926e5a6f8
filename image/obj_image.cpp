#include "image/obj_image.h"

#include "base/com.h"
#include "base/handles.h"
#include "image/gdiplus_include.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace {

// Bitmap-info block sizes: header + 256 colour entries + 16 spare bytes for palette images,
// header + 16 spare bytes otherwise.
constexpr size_t kPaletteInfoSize = sizeof(BITMAPINFOHEADER) + 256 * sizeof(RGBQUAD) + 16;
constexpr size_t kPlainInfoSize = sizeof(BITMAPINFOHEADER) + 16;
static_assert(kPaletteInfoSize == 1080 && kPlainInfoSize == 56);

int WicFormatBits(REFWICPixelFormatGUID format) {
  if (IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) return 24;
  if (IsEqualGUID(format, GUID_WICPixelFormat32bppBGR) || IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) ||
      IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA)) {
    return 32;
  }
  return 0;
}

// A block whose stride or size does not fit an int cannot be addressed by the row table or by
// the callers, which all compute offsets in int.
bool SizeFitsInt(int width, int height, int bitsPerPixel) {
  const int64_t stride = FCObjImage::StrideFor(width, bitsPerPixel);
  return stride <= INT_MAX && stride * height <= INT_MAX;
}

}  // namespace

FCObjImage::~FCObjImage() { Destroy(); }

FCObjImage::FCObjImage(const FCObjImage& other) : FCObjGraph() { *this = other; }

FCObjImage& FCObjImage::operator=(const FCObjImage& other) {
  if (!other.pixels_) {
    Destroy();
    return *this;
  }
  if (&other == this) return *this;
  if (!Create(other.width_, other.signed_height_, other.bpp_)) return *this;
  std::memcpy(pixels_, other.pixels_, static_cast<size_t>(Stride()) * height_);
  graph_x = other.graph_x;
  graph_y = other.graph_y;
  return *this;
}

FCObjImage::FCObjImage(FCObjImage&& other) noexcept : FCObjGraph() { SwapFields(other); }

FCObjImage& FCObjImage::operator=(FCObjImage&& other) noexcept {
  TakeOver(other);
  return *this;
}

void FCObjImage::TakeOver(FCObjImage& source) noexcept {
  if (&source == this) return;
  Destroy();
  SwapFields(source);
}

void FCObjImage::SwapFields(FCObjImage& other) noexcept {
  std::swap(width_, other.width_);
  std::swap(height_, other.height_);
  std::swap(bpp_, other.bpp_);
  std::swap(signed_height_, other.signed_height_);
  std::swap(pixels_, other.pixels_);
  std::swap(rows_, other.rows_);
  std::swap(section_, other.section_);
}

void FCObjImage::Destroy() noexcept {
  delete[] rows_;
  if (section_) ::DeleteObject(section_);
  width_ = height_ = bpp_ = signed_height_ = 0;
  pixels_ = nullptr;
  rows_ = nullptr;
  section_ = nullptr;
}

bool FCObjImage::Create(int width, int signedHeight, int bitsPerPixel) {
  Destroy();
  if (signedHeight == 0 || width <= 0) return false;
  if (bitsPerPixel != 8 && bitsPerPixel != 24 && bitsPerPixel != 32) return false;
  return CreateSection(width, signedHeight, bitsPerPixel);
}

// Creation from the point where the arguments are known to be sound; the image is empty on entry.
bool FCObjImage::CreateSection(int width, int signedHeight, int bitsPerPixel) {
  // INT_MIN has no absolute value; no section could be that tall anyway.
  if (signedHeight == INT_MIN) return false;
  const int height = std::abs(signedHeight);
  if (!SizeFitsInt(width, height, bitsPerPixel)) return false;
  width_ = width;
  height_ = height;
  bpp_ = bitsPerPixel;
  signed_height_ = signedHeight;

  std::vector<uint8_t> info(bitsPerPixel <= 8 ? kPaletteInfoSize : kPlainInfoSize, 0);
  auto* header = reinterpret_cast<BITMAPINFOHEADER*>(info.data());
  header->biSize = sizeof(BITMAPINFOHEADER);
  header->biWidth = width;
  header->biHeight = signedHeight;
  header->biPlanes = 1;
  header->biBitCount = static_cast<WORD>(bitsPerPixel);
  header->biCompression = BI_RGB;

  void* bits = nullptr;
  section_ = ::CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(info.data()), DIB_RGB_COLORS, &bits,
                                nullptr, 0);
  pixels_ = static_cast<uint8_t*>(bits);
  if (!pixels_ || !BuildRowTable()) {
    Destroy();
    return false;
  }
  return true;
}

bool FCObjImage::BuildRowTable() {
  rows_ = new (std::nothrow) uint8_t*[height_];
  if (!rows_) return false;
  const int stride = Stride();
  if (signed_height_ > 0) {
    // Bottom-up: the top row of the picture is the last one stored.
    uint8_t* row = pixels_ + static_cast<ptrdiff_t>(height_ - 1) * stride;
    for (int y = 0; y < height_; ++y, row -= stride) rows_[y] = row;
  } else {
    for (int y = 0; y < height_; ++y) rows_[y] = pixels_ + static_cast<ptrdiff_t>(y) * stride;
  }
  return true;
}

void FCObjImage::Draw(HDC dc, int left, int top, int right, int bottom, const RECT* source) const {
  // A wrapped view has no section to select, so it cannot be drawn either.
  if (!pixels_ || !section_ || !dc) return;
  RECT src{};
  if (source) {
    src = *source;
  } else {
    BITMAP info{};
    if (!::GetObjectW(section_, sizeof(info), &info)) return;
    src = RECT{0, 0, info.bmWidth, info.bmHeight};
  }

  base::MemoryDc memory(::CreateCompatibleDC(nullptr));
  if (!memory) return;
  base::SelectGuard select(memory.Get(), section_);
  ::SetBkMode(memory.Get(), TRANSPARENT);
  ::SetStretchBltMode(memory.Get(), COLORONCOLOR);

  const int srcWidth = src.right - src.left;
  const int srcHeight = src.bottom - src.top;
  if (bpp_ > 24) {
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    ::GdiAlphaBlend(dc, left, top, right - left, bottom - top, memory.Get(), src.left, src.top, srcWidth,
                    srcHeight, blend);
  } else {
    const int previous = ::SetStretchBltMode(dc, COLORONCOLOR);
    ::StretchBlt(dc, left, top, right - left, bottom - top, memory.Get(), src.left, src.top, srcWidth, srcHeight,
                 SRCCOPY);
    if (previous) ::SetStretchBltMode(dc, previous);
  }
}

bool FCObjImage::LoadOpaqueQuads(IWICBitmapSource* source, REFWICPixelFormatGUID format) {
  // 32-bit pixels without alpha into 32 bits with alpha: the colour bytes stay, alpha becomes 255,
  // premultiplied or not. Done here because some platform converters take a slow general path.
  WICPixelFormatGUID from{};
  if (FAILED(source->GetPixelFormat(&from)) || !IsEqualGUID(from, GUID_WICPixelFormat32bppBGR) ||
      (!IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA) && !IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA))) {
    return false;
  }
  UINT width = 0;
  UINT height = 0;
  if (FAILED(source->GetSize(&width, &height)) || width < 1 || height < 1 || width > INT_MAX || height > INT_MAX) {
    return false;
  }
  if (!CreateSection(static_cast<int>(width), -static_cast<int>(height), 32)) return false;
  const UINT stride = static_cast<UINT>(Stride());
  if (FAILED(source->CopyPixels(nullptr, stride, stride * height, pixels_))) {
    Destroy();
    return false;
  }
  for (UINT y = 0; y < height; ++y) {
    uint8_t* row = rows_[y];
    for (UINT x = 0; x < width; ++x) row[x * 4 + 3] = 0xFF;
  }
  return true;
}

bool FCObjImage::LoadFromWicSource(IWICBitmapSource* source, REFWICPixelFormatGUID format) {
  // Every failure below leaves the image empty, the old picture included.
  Destroy();
  if (!source) return false;
  if (LoadOpaqueQuads(source, format)) return true;
  base::ComPtr<IWICBitmapSource> converted;
  if (FAILED(::WICConvertBitmapSource(format, source, &converted)) || !converted) return false;
  UINT width = 0;
  UINT height = 0;
  if (FAILED(converted->GetSize(&width, &height))) return false;
  const int bits = WicFormatBits(format);
  if (bits == 0) return false;
  if (height == 0 || width < 1 || width > INT_MAX || height > INT_MAX) return false;
  if (!CreateSection(static_cast<int>(width), -static_cast<int>(height), bits)) return false;

  const UINT stride = static_cast<UINT>(Stride());
  if (FAILED(converted->CopyPixels(nullptr, stride, stride * height, pixels_))) {
    // An unfilled section must not pass for a picture: consumers only test IsValid.
    Destroy();
    return false;
  }
  return true;
}

bool FCObjImage::LoadFromGdiplusBitmap(Gdiplus::Bitmap& bitmap, int gdiplusFormat) {
  const UINT width = bitmap.GetWidth();
  const UINT height = bitmap.GetHeight();
  if (width > INT_MAX || height > INT_MAX) {
    Destroy();
    return false;
  }
  if (!Create(static_cast<int>(width), static_cast<int>(height), (gdiplusFormat >> 8) & 0xFF)) return false;

  // The caller's buffer is the section itself: the first scan line is the top row, stored last,
  // and the negative stride walks GDI+ upwards through the bottom-up block.
  Gdiplus::BitmapData data{};
  data.Width = width;
  data.Height = height;
  data.Stride = -Stride();
  data.PixelFormat = static_cast<Gdiplus::PixelFormat>(gdiplusFormat);
  data.Scan0 = rows_[0];
  const Gdiplus::Rect whole(0, 0, width_, height_);
  const Gdiplus::Status status =
      bitmap.LockBits(&whole, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeUserInputBuf,
                      static_cast<Gdiplus::PixelFormat>(gdiplusFormat), &data);
  if (status != Gdiplus::Ok) {
    // Nothing was written into the section; an unfilled image is no picture.
    Destroy();
    return false;
  }
  bitmap.UnlockBits(&data);
  return pixels_ != nullptr;
}

bool FCObjImage::LoadFromFileGdiplus(const wchar_t* path, int gdiplusFormat) {
  if (!path) {
    Destroy();
    return false;
  }
  Gdiplus::Bitmap bitmap(path);
  if (bitmap.GetLastStatus() != Gdiplus::Ok) {
    Destroy();
    return false;
  }
  return LoadFromGdiplusBitmap(bitmap, gdiplusFormat);
}

bool FCObjImage::AttachExternal(uint8_t* pixels, int width, int height) {
  Destroy();
  if (!pixels || width <= 0 || height <= 0 || !SizeFitsInt(width, height, 32)) return false;
  width_ = width;
  height_ = height;
  bpp_ = 32;
  signed_height_ = -height;
  pixels_ = pixels;
  if (!BuildRowTable()) {
    // No section here, so Destroy only clears the fields; the lender's memory is untouched.
    Destroy();
    return false;
  }
  return true;
}

namespace {
bool IsOpaque(const FCObjImage& image) {
  for (int y = 0; y < image.Height(); ++y) {
    const uint8_t* row = image.RowPointer(y);
    for (int x = 0; x < image.Width(); ++x) {
      if (row[x * 4 + 3] != 255) return false;
    }
  }
  return true;
}
}  // namespace

void FCObjImage::RenderToCompatibleBitmap(const FCObjImage& image, HBRUSH background, HBITMAP* bitmap) {
  if (!bitmap) return;
  if (*bitmap) {
    ::DeleteObject(*bitmap);
    *bitmap = nullptr;
  }
  // A zero-sized compatible bitmap would come back as a 1 x 1 monochrome one; an empty image
  // gives no bitmap at all.
  if (!image.IsValid()) return;

  base::WindowDc screen(nullptr);
  if (!screen.Get()) return;
  *bitmap = ::CreateCompatibleBitmap(screen.Get(), image.Width(), image.Height());
  if (!*bitmap) return;

  base::MemoryDc memory(::CreateCompatibleDC(screen.Get()));
  if (!memory) return;
  base::SelectGuard select(memory.Get(), *bitmap);
  if (image.BitsPerPixel() == 32 && IsOpaque(image)) {
    // Nothing shows through: a plain copy gives the same pixels as blending, at a fraction of the cost.
    base::MemoryDc source(::CreateCompatibleDC(screen.Get()));
    if (source) {
      base::SelectGuard selectSource(source.Get(), image.SectionHandle());
      ::BitBlt(memory.Get(), 0, 0, image.Width(), image.Height(), source.Get(), 0, 0, SRCCOPY);
      return;
    }
  }
  const RECT all{0, 0, image.Width(), image.Height()};
  if (background) ::FillRect(memory.Get(), &all, background);
  image.Draw(memory.Get(), 0, 0, image.Width(), image.Height());
}
