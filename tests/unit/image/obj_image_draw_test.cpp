#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "image/obj_image.h"

namespace {

// A 32-bit top-down destination whose pixels the test reads directly.
class Canvas {
 public:
  Canvas(int w, int h, uint32_t fill) : w_(w) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bmp_ = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    px_ = static_cast<uint32_t*>(bits);
    for (int i = 0; i < w * h; ++i) px_[i] = fill;
    dc_ = CreateCompatibleDC(nullptr);
    old_ = SelectObject(dc_, bmp_);
  }
  ~Canvas() {
    SelectObject(dc_, old_);
    DeleteDC(dc_);
    DeleteObject(bmp_);
  }
  HDC Dc() const { return dc_; }
  uint32_t At(int x, int y) const {
    GdiFlush();
    return px_[y * w_ + x] & 0xFFFFFF;
  }

 private:
  int w_;
  HBITMAP bmp_ = nullptr;
  uint32_t* px_ = nullptr;
  HDC dc_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

void SetBgra(FCObjImage& img, int x, int y, uint8_t b, uint8_t g, uint8_t r, uint8_t a) {
  uint8_t* p = img.PixelPointer(x, y);
  p[0] = b;
  p[1] = g;
  p[2] = r;
  if (img.BitsPerPixel() == 32) p[3] = a;
}

bool Near(uint32_t got, uint32_t want) {
  for (int shift = 0; shift < 24; shift += 8) {
    if (std::abs(static_cast<int>((got >> shift) & 0xFF) - static_cast<int>((want >> shift) & 0xFF)) > 2) {
      return false;
    }
  }
  return true;
}

}  // namespace

TEST(ObjImageDraw, EmptyImageAndFullyTransparentPixelsPaintNothing) {
  Canvas canvas(4, 4, 0x00336699);
  const FCObjImage empty;
  empty.Draw(canvas.Dc(), 0, 0, 4, 4);
  EXPECT_EQ(canvas.At(0, 0), 0x336699u);

  FCObjImage clear;
  ASSERT_TRUE(clear.Create(2, 2, 32));
  std::memset(clear.PixelMemory(), 0, clear.Stride() * 2);
  clear.Draw(canvas.Dc(), 0, 0, 4, 4);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(canvas.At(x, y), 0x336699u) << x << "," << y;
}

TEST(ObjImageDraw, PremultipliedAlphaBlendsOverTheDestination) {
  Canvas canvas(2, 1, 0x00FFFFFF);
  FCObjImage img;
  ASSERT_TRUE(img.Create(2, 1, 32));
  SetBgra(img, 0, 0, 0, 0, 255, 255);  // opaque red
  SetBgra(img, 1, 0, 0, 0, 128, 128);  // half-transparent red, premultiplied
  img.Draw(canvas.Dc(), 0, 0, 2, 1);
  EXPECT_EQ(canvas.At(0, 0), 0xFF0000u);
  EXPECT_TRUE(Near(canvas.At(1, 0), 0xFF7F7F)) << std::hex << canvas.At(1, 0);
}

TEST(ObjImageDraw, TwentyFourBitStretchesSourceRectAndRestoresStretchMode) {
  Canvas canvas(4, 2, 0);
  ASSERT_NE(SetStretchBltMode(canvas.Dc(), BLACKONWHITE), 0);
  FCObjImage img;
  ASSERT_TRUE(img.Create(2, 1, 24));  // bottom-up
  SetBgra(img, 0, 0, 255, 0, 0, 0);   // blue
  SetBgra(img, 1, 0, 0, 255, 0, 0);   // green
  img.Draw(canvas.Dc(), 0, 0, 4, 2);
  EXPECT_EQ(GetStretchBltMode(canvas.Dc()), BLACKONWHITE);
  EXPECT_EQ(canvas.At(0, 0), 0x0000FFu);
  EXPECT_EQ(canvas.At(1, 1), 0x0000FFu);
  EXPECT_EQ(canvas.At(2, 0), 0x00FF00u);
  EXPECT_EQ(canvas.At(3, 1), 0x00FF00u);

  const RECT right{1, 0, 2, 1};
  img.Draw(canvas.Dc(), 0, 0, 4, 2, &right);
  EXPECT_EQ(canvas.At(0, 0), 0x00FF00u);
  EXPECT_EQ(canvas.At(3, 1), 0x00FF00u);
}

TEST(ObjImageRender, CompatibleBitmapShowsImageOverTheBrush) {
  FCObjImage img;
  ASSERT_TRUE(img.Create(2, -1, 32));
  SetBgra(img, 0, 0, 0, 0, 255, 255);  // opaque red
  SetBgra(img, 1, 0, 0, 0, 0, 0);      // transparent: the brush shows
  HBRUSH green = CreateSolidBrush(RGB(0, 200, 0));
  HBITMAP out = CreateBitmap(1, 1, 1, 1, nullptr);
  FCObjImage::RenderToCompatibleBitmap(img, green, &out);
  DeleteObject(green);
  ASSERT_NE(out, nullptr);

  BITMAP info{};
  ASSERT_TRUE(GetObjectW(out, sizeof(info), &info));
  EXPECT_EQ(info.bmWidth, 2);
  EXPECT_EQ(info.bmHeight, 1);
  BITMAPINFO bi{};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), 2, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  uint32_t px[2] = {};
  HDC screen = GetDC(nullptr);
  ASSERT_EQ(GetDIBits(screen, out, 0, 1, px, &bi, DIB_RGB_COLORS), 1);
  ReleaseDC(nullptr, screen);
  EXPECT_EQ(px[0] & 0xFFFFFF, 0xFF0000u);
  EXPECT_EQ(px[1] & 0xFFFFFF, 0x00C800u);

  const FCObjImage empty;
  FCObjImage::RenderToCompatibleBitmap(empty, nullptr, &out);
  EXPECT_EQ(out, nullptr);
}
