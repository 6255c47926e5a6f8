#pragma once
// The one in-memory raster of the product: a device-independent bitmap section with a row table.
// 24 bits: blue, green, red. 32 bits: blue, green, red, alpha, premultiplied when meant for drawing.
#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <memory>

namespace Gdiplus {
class Bitmap;
}

class FCObjGraph {
 public:
  FCObjGraph() = default;
  virtual ~FCObjGraph() = default;
  FCObjGraph(const FCObjGraph&) = default;
  FCObjGraph& operator=(const FCObjGraph&) = default;

  int32_t graph_x = 0;
  int32_t graph_y = 0;
};

class FCObjImage : public FCObjGraph {
 public:
  FCObjImage() = default;
  ~FCObjImage() override;
  FCObjImage(const FCObjImage& other);
  FCObjImage& operator=(const FCObjImage& other);  // deep copy
  FCObjImage(FCObjImage&& other) noexcept;         // take-over
  FCObjImage& operator=(FCObjImage&& other) noexcept;

  [[nodiscard]] bool Create(int width, int signedHeight, int bitsPerPixel);
  void Destroy() noexcept;
  // Take-over: exchanges the seven fields with an empty image; the graph integers stay.
  void TakeOver(FCObjImage& source) noexcept;

  int Width() const { return width_; }
  int Height() const { return height_; }
  int BitsPerPixel() const { return bpp_; }
  int SignedHeight() const { return signed_height_; }
  uint8_t* PixelMemory() const { return pixels_; }
  uint8_t* RowPointer(int y) const { return rows_[y]; }
  uint8_t* PixelPointer(int x, int y) const { return rows_[y] + x * (bpp_ / 8); }
  HBITMAP SectionHandle() const { return section_; }
  bool IsValid() const { return pixels_ != nullptr; }
  int Stride() const { return static_cast<int>(StrideFor(width_, bpp_)); }
  // Bytes per stored row, padded to a multiple of 4. Computed wide so that absurd sizes cannot
  // wrap; Create refuses any image whose stride or block size does not fit an int.
  static int64_t StrideFor(int width, int bitsPerPixel) {
    return ((static_cast<int64_t>(bitsPerPixel) * width + 31) / 32) * 4;
  }

  void Draw(HDC dc, int left, int top, int right, int bottom, const RECT* source = nullptr) const;

  [[nodiscard]] bool LoadFromWicSource(IWICBitmapSource* source, REFWICPixelFormatGUID format);
  [[nodiscard]] bool LoadFromGdiplusBitmap(Gdiplus::Bitmap& bitmap, int gdiplusFormat);
  [[nodiscard]] bool LoadFromFileGdiplus(const wchar_t* path, int gdiplusFormat);
  // Wraps 32-bit top-down pixels owned by someone else (stride exactly 4 x width). The view has
  // no section handle, so it cannot be drawn; releasing it frees only the row table.
  [[nodiscard]] bool AttachExternal(uint8_t* pixels, int width, int height);

  // A screen-compatible bitmap of the image drawn over a background fill; replaces *bitmap.
  static void RenderToCompatibleBitmap(const FCObjImage& image, HBRUSH background, HBITMAP* bitmap);

 private:
  bool CreateSection(int width, int signedHeight, int bitsPerPixel);
  bool LoadOpaqueQuads(IWICBitmapSource* source, REFWICPixelFormatGUID format);
  bool BuildRowTable();
  void SwapFields(FCObjImage& other) noexcept;

  int32_t width_ = 0;
  int32_t height_ = 0;
  int32_t bpp_ = 0;
  int32_t signed_height_ = 0;
  uint8_t* pixels_ = nullptr;
  uint8_t** rows_ = nullptr;
  HBITMAP section_ = nullptr;
};

using FCObjImagePtr = std::shared_ptr<FCObjImage>;
