#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "base/com.h"
#include "image/gdiplus_include.h"
#include "image/obj_image.h"
#include "tests/support/test_support.h"

using base::ComPtr;

namespace {

constexpr int kPARGB = 0x000E200B;  // PixelFormat32bppPARGB
constexpr int kARGB = 0x0026200A;   // PixelFormat32bppARGB
constexpr int kRGB24 = 0x00021808;  // PixelFormat24bppRGB

uint32_t Bgra(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

class GdiplusLoad : public ::testing::Test {
 protected:
  image::GdiplusSession gdiplus_;
};

class WicLoad : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_PPV_ARGS(&factory_))));
  }
  // A 2 x 2 straight-alpha memory bitmap: top row red (alpha 128 on the right), bottom row blue.
  ComPtr<IWICBitmap> MakeBitmap() {
    const uint8_t pixels[16] = {0, 0, 255, 255, 0, 0, 255, 128, 255, 0, 0, 255, 255, 0, 0, 255};
    ComPtr<IWICBitmap> bitmap;
    EXPECT_TRUE(SUCCEEDED(factory_->CreateBitmapFromMemory(2, 2, GUID_WICPixelFormat32bppBGRA, 8, sizeof(pixels),
                                                           const_cast<uint8_t*>(pixels), &bitmap)));
    return bitmap;
  }
  FCAutoInitializeCOM com_;
  ComPtr<IWICImagingFactory> factory_;
};

}  // namespace

TEST_F(GdiplusLoad, TopRowLandsInRowZeroOfTheBottomUpImage) {
  ASSERT_TRUE(gdiplus_.Ok());
  Gdiplus::Bitmap bitmap(2, 2, kARGB);
  bitmap.SetPixel(0, 0, Gdiplus::Color(255, 255, 0, 0));
  bitmap.SetPixel(1, 0, Gdiplus::Color(255, 255, 0, 0));
  bitmap.SetPixel(0, 1, Gdiplus::Color(255, 0, 0, 255));
  bitmap.SetPixel(1, 1, Gdiplus::Color(0, 0, 0, 255));

  FCObjImage img;
  ASSERT_TRUE(img.LoadFromGdiplusBitmap(bitmap, kPARGB));
  EXPECT_EQ(img.SignedHeight(), 2);
  EXPECT_EQ(img.BitsPerPixel(), 32);
  EXPECT_EQ(img.RowPointer(0), img.PixelMemory() + img.Stride());  // stored last
  EXPECT_EQ(Bgra(img.PixelPointer(0, 0)), 0xFFFF0000u);
  EXPECT_EQ(Bgra(img.PixelPointer(1, 0)), 0xFFFF0000u);
  EXPECT_EQ(Bgra(img.PixelPointer(0, 1)), 0xFF0000FFu);
  EXPECT_EQ(Bgra(img.PixelPointer(1, 1)), 0u) << "premultiplied transparent pixel";

  ASSERT_TRUE(img.LoadFromGdiplusBitmap(bitmap, kRGB24));
  EXPECT_EQ(img.BitsPerPixel(), 24);
  EXPECT_EQ(img.Stride(), 8);
  EXPECT_EQ(img.PixelPointer(1, 0)[2], 255);
  EXPECT_EQ(img.PixelPointer(0, 1)[0], 255);
}

TEST_F(GdiplusLoad, FromFileReadsABottomUpBmpAndFailsEmptyOnAMissingFile) {
  ASSERT_TRUE(gdiplus_.Ok());
  // 2 x 2, 24 bits, stored bottom-up: a white bottom row, then a red top row.
  std::vector<uint8_t> file(14 + 40 + 16, 0);
  const uint32_t header[] = {static_cast<uint32_t>(file.size()), 0, 54};
  file[0] = 'B';
  file[1] = 'M';
  std::memcpy(&file[2], header, sizeof(header));
  const BITMAPINFOHEADER info{sizeof(BITMAPINFOHEADER), 2, 2, 1, 24, BI_RGB, 16, 0, 0, 0, 0};
  std::memcpy(&file[14], &info, sizeof(info));
  std::memset(&file[54], 255, 6);
  const uint8_t red[] = {0, 0, 255, 0, 0, 255};
  std::memcpy(&file[62], red, sizeof(red));
  testing_support::TempDir dir;
  ASSERT_TRUE(testing_support::WriteBytes(dir.File(L"two.bmp"), file));

  FCObjImage img;
  ASSERT_TRUE(img.LoadFromFileGdiplus(dir.File(L"two.bmp").c_str(), kARGB));
  EXPECT_EQ(Bgra(img.PixelPointer(1, 0)), 0xFFFF0000u);
  EXPECT_EQ(Bgra(img.PixelPointer(0, 1)), 0xFFFFFFFFu);

  EXPECT_FALSE(img.LoadFromFileGdiplus(dir.File(L"missing.png").c_str(), kARGB));
  EXPECT_FALSE(img.IsValid());
}

TEST_F(WicLoad, ConvertsToPremultipliedTopDown) {
  ComPtr<IWICBitmap> bitmap = MakeBitmap();
  ASSERT_TRUE(bitmap);
  FCObjImage img;
  ASSERT_TRUE(img.LoadFromWicSource(bitmap.Get(), GUID_WICPixelFormat32bppPBGRA));
  EXPECT_EQ(img.SignedHeight(), -2);
  EXPECT_EQ(img.RowPointer(0), img.PixelMemory());
  EXPECT_EQ(Bgra(img.PixelPointer(0, 0)), 0xFFFF0000u);
  const uint8_t* half = img.PixelPointer(1, 0);
  EXPECT_NEAR(half[2], 128, 1);
  EXPECT_EQ(half[3], 128);
  EXPECT_EQ(Bgra(img.PixelPointer(1, 1)), 0xFF0000FFu);

  ASSERT_TRUE(img.LoadFromWicSource(bitmap.Get(), GUID_WICPixelFormat24bppBGR));
  EXPECT_EQ(img.BitsPerPixel(), 24);
  EXPECT_EQ(img.Stride(), 8);
  EXPECT_EQ(img.PixelPointer(0, 1)[0], 255);
}

TEST_F(WicLoad, PixelsWithoutAlphaBecomeOpaqueWhateverTheirFourthByte) {
  // 32-bit pixels without alpha: the fourth byte means nothing and must not leak into alpha.
  const uint8_t pixels[16] = {10, 20, 30, 0, 40, 50, 60, 7, 70, 80, 90, 200, 1, 2, 3, 255};
  ComPtr<IWICBitmap> bitmap;
  ASSERT_TRUE(SUCCEEDED(factory_->CreateBitmapFromMemory(2, 2, GUID_WICPixelFormat32bppBGR, 8, sizeof(pixels),
                                                         const_cast<uint8_t*>(pixels), &bitmap)));
  for (const GUID& format : {GUID_WICPixelFormat32bppPBGRA, GUID_WICPixelFormat32bppBGRA}) {
    FCObjImage img;
    ASSERT_TRUE(img.LoadFromWicSource(bitmap.Get(), format));
    EXPECT_EQ(Bgra(img.PixelPointer(0, 0)), 0xFF1E140Au);
    EXPECT_EQ(Bgra(img.PixelPointer(1, 0)), 0xFF3C3228u);
    EXPECT_EQ(Bgra(img.PixelPointer(0, 1)), 0xFF5A5046u);
    EXPECT_EQ(Bgra(img.PixelPointer(1, 1)), 0xFF030201u);
  }
}

TEST_F(WicLoad, UnlistedFormatOrNoSourceFailsAndEmptiesTheImage) {
  ComPtr<IWICBitmap> bitmap = MakeBitmap();
  ASSERT_TRUE(bitmap);
  FCObjImage img;
  ASSERT_TRUE(img.Create(3, 3, 32));
  EXPECT_FALSE(img.LoadFromWicSource(bitmap.Get(), GUID_WICPixelFormat8bppGray));
  EXPECT_FALSE(img.IsValid());
  EXPECT_FALSE(img.LoadFromWicSource(bitmap.Get(), GUID_WICPixelFormat32bppRGBA));
  EXPECT_FALSE(img.LoadFromWicSource(nullptr, GUID_WICPixelFormat32bppPBGRA));
}
