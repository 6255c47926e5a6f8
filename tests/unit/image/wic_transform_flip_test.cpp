#include <gtest/gtest.h>

#include <string>

#include "image/wic/flip_rotator.h"
#include "image/wic/transforms.h"
#include "tests/unit/image/wic_transform_test_util.h"

namespace {

using wic_test::ComPtr;

class FlipRotateTest : public wic_test::WicTest {
 protected:
  // The 3 x 2 picture "abc / def", one letter per pixel in the blue byte, the others distinct too.
  ComPtr<IWICBitmap> Letters() {
    std::vector<BYTE> px;
    for (char c : std::string("abcdef")) px.insert(px.end(), {BYTE(c), BYTE(c + 40), BYTE(c + 80), 255});
    return Bitmap(3, 2, GUID_WICPixelFormat32bppBGRA, 4, px);
  }

  static std::string AsLetters(IWICBitmapSource* source) {
    std::string s;
    const std::vector<BYTE> px = Pixels(source, 4);
    for (size_t i = 0; i < px.size(); i += 4) {
      const bool whole = px[i + 1] == px[i] + 40 && px[i + 2] == px[i] + 80 && px[i + 3] == 255;
      s += whole ? static_cast<char>(px[i]) : '?';
    }
    return s;
  }
};

struct Expected {
  UINT options;
  UINT width;
  UINT height;
  const char* rows;  // the output read row by row
};

// Worked out by hand from "abc / def": rotation clockwise, then the flips on the turned picture.
constexpr Expected kTurns[] = {
    {0, 3, 2, "abcdef"},  {8, 3, 2, "cbafed"},  {16, 3, 2, "defabc"}, {2, 3, 2, "fedcba"},
    {1, 2, 3, "daebfc"},  {3, 2, 3, "cfbead"},  {9, 2, 3, "adbecf"},  {17, 2, 3, "fcebda"},
    {11, 2, 3, "fcebda"}, {19, 2, 3, "adbecf"}, {10, 3, 2, "defabc"}, {18, 3, 2, "cbafed"},
    {24, 3, 2, "fedcba"},
};

TEST_F(FlipRotateTest, EveryTransformPutsEveryPixelWhereItBelongs) {
  ComPtr<IWICBitmap> source = Letters();
  for (const Expected& e : kTurns) {
    SCOPED_TRACE(e.options);
    const auto options = static_cast<WICBitmapTransformOptions>(e.options);
    ComPtr<IWICBitmapSource> ours, chosen;
    ASSERT_EQ(CreateOwnFlipRotator(factory_.Get(), source.Get(), options, &ours), S_OK);
    ASSERT_EQ(CreateFlipRotator(factory_.Get(), source.Get(), options, &chosen), S_OK);
    for (IWICBitmapSource* s : {ours.Get(), chosen.Get()}) {
      UINT w = 0, h = 0;
      ASSERT_EQ(s->GetSize(&w, &h), S_OK);
      EXPECT_EQ(w, e.width);
      EXPECT_EQ(h, e.height);
      EXPECT_EQ(AsLetters(s), e.rows);
    }
  }
}

TEST_F(FlipRotateTest, MatchesThePlatformWhereverThePlatformDelivers) {
  int compared = 0;
  for (const auto& [format, bpp] : {std::pair{GUID_WICPixelFormat24bppBGR, 3u}, {GUID_WICPixelFormat32bppBGRA, 4u}}) {
    ComPtr<IWICBitmap> source = Bitmap(37, 23, format, bpp, Noise(37 * 23 * bpp, 7));
    for (UINT options : {0u, 1u, 2u, 3u, 8u, 16u, 9u, 17u}) {
      SCOPED_TRACE(options);
      ComPtr<IWICBitmapFlipRotator> platform;
      ASSERT_EQ(factory_->CreateBitmapFlipRotator(&platform), S_OK);
      const auto o = static_cast<WICBitmapTransformOptions>(options);
      if (FAILED(platform->Initialize(source.Get(), o))) continue;
      const std::vector<BYTE> expected = Pixels(platform.Get(), bpp);
      if (expected.empty()) continue;  // the platform cannot turn this way
      ComPtr<IWICBitmapSource> ours;
      ASSERT_EQ(CreateOwnFlipRotator(factory_.Get(), source.Get(), o, &ours), S_OK);
      EXPECT_EQ(Pixels(ours.Get(), bpp), expected);
      const WICRect part{3, 2, 9, 5};
      EXPECT_EQ(Pixels(ours.Get(), bpp, &part), Pixels(platform.Get(), bpp, &part));
      ++compared;
    }
  }
  EXPECT_GE(compared, 4);  // options 0 and 16 work everywhere
}

TEST_F(FlipRotateTest, MovesWholePixelsOfEverySize) {
  // Rotate90 of "abc / def" reads "da eb fc"; each pixel's bytes must travel together.
  const size_t order[] = {3, 0, 4, 1, 5, 2};
  for (const auto& [format, bpp] : {std::pair{GUID_WICPixelFormat8bppGray, 1u}, {GUID_WICPixelFormat24bppBGR, 3u},
                                    {GUID_WICPixelFormat64bppRGBA, 8u}}) {
    const std::vector<BYTE> px = Noise(6 * bpp, bpp);
    ComPtr<IWICBitmap> source = Bitmap(3, 2, format, bpp, px);
    ComPtr<IWICBitmapSource> turned;
    ASSERT_EQ(CreateOwnFlipRotator(factory_.Get(), source.Get(), WICBitmapTransformRotate90, &turned), S_OK);
    std::vector<BYTE> expected;
    for (size_t i : order) expected.insert(expected.end(), px.begin() + i * bpp, px.begin() + (i + 1) * bpp);
    EXPECT_EQ(Pixels(turned.Get(), bpp), expected) << bpp;
  }
  // A packed 1-bit picture is turned as 32bppBGRA: 8 x 1 pixels "10000001" become a column.
  BYTE packed[4] = {0x81};
  ComPtr<IWICBitmap> bits;
  ASSERT_EQ(factory_->CreateBitmapFromMemory(8, 1, GUID_WICPixelFormatBlackWhite, 4, 4, packed, &bits), S_OK);
  ComPtr<IWICBitmapSource> column;
  ASSERT_EQ(CreateOwnFlipRotator(factory_.Get(), bits.Get(), WICBitmapTransformRotate270, &column), S_OK);
  WICPixelFormatGUID format{};
  ASSERT_EQ(column->GetPixelFormat(&format), S_OK);
  EXPECT_TRUE(format == GUID_WICPixelFormat32bppBGRA);
  const std::vector<BYTE> px = Pixels(column.Get(), 4);
  ASSERT_EQ(px.size(), 32u);
  for (int y = 0; y < 8; ++y) EXPECT_EQ(px[y * 4], (y == 0 || y == 7) ? 255 : 0) << y;
}

TEST_F(FlipRotateTest, RectanglesAndStridesOfEveryTurn) {
  ComPtr<IWICBitmap> source = Bitmap(37, 23, GUID_WICPixelFormat32bppBGRA, 4, Noise(37 * 23 * 4, 11));
  const WICRect rects[] = {{0, 0, 1, 1}, {5, 3, 7, 11}, {0, 9, 23, 1}, {22, 0, 1, 23}, {3, 30, 10, 7}, {12, 16, 11, 21}};
  for (UINT options : {1u, 2u, 3u, 8u, 16u, 9u, 17u}) {
    SCOPED_TRACE(options);
    ComPtr<IWICBitmapSource> turned;
    ASSERT_EQ(CreateOwnFlipRotator(factory_.Get(), source.Get(), static_cast<WICBitmapTransformOptions>(options),
                                   &turned), S_OK);
    UINT w = 0, h = 0;
    turned->GetSize(&w, &h);
    const std::vector<BYTE> whole = Pixels(turned.Get(), 4);
    for (const WICRect& rc : rects) {
      if (UINT(rc.X + rc.Width) > w || UINT(rc.Y + rc.Height) > h) continue;
      const UINT stride = UINT(rc.Width) * 4 + 3;  // odd padding that must stay untouched
      std::vector<BYTE> buffer(size_t{stride} * UINT(rc.Height), 0xCD);
      ASSERT_EQ(turned->CopyPixels(&rc, stride, UINT(buffer.size()), buffer.data()), S_OK);
      for (INT y = 0; y < rc.Height; ++y) {
        const BYTE* row = buffer.data() + size_t{stride} * UINT(y);
        const BYTE* want = whole.data() + (size_t{UINT(rc.Y + y)} * w + UINT(rc.X)) * 4;
        EXPECT_EQ(std::vector<BYTE>(row, row + rc.Width * 4), std::vector<BYTE>(want, want + rc.Width * 4));
        EXPECT_EQ(std::vector<BYTE>(row + rc.Width * 4, row + stride), std::vector<BYTE>(3, 0xCD));
      }
    }
  }
}

TEST_F(FlipRotateTest, RefusesBadOptionsRectanglesAndBuffers) {
  ComPtr<IWICBitmap> source = Letters();
  ComPtr<IWICBitmapSource> out;
  EXPECT_EQ(CreateFlipRotator(factory_.Get(), source.Get(), static_cast<WICBitmapTransformOptions>(4), &out),
            E_INVALIDARG);
  EXPECT_EQ(CreateOwnFlipRotator(factory_.Get(), source.Get(), static_cast<WICBitmapTransformOptions>(32), &out),
            E_INVALIDARG);
  EXPECT_EQ(CreateFlipRotator(factory_.Get(), nullptr, WICBitmapTransformRotate90, &out), E_INVALIDARG);
  ASSERT_EQ(CreateOwnFlipRotator(factory_.Get(), source.Get(), WICBitmapTransformRotate90, &out), S_OK);
  BYTE buffer[64] = {};
  const WICRect outside{1, 0, 2, 3}, negative{-1, 0, 1, 1}, huge{1, 1, 0x7FFFFFFF, 1};
  EXPECT_EQ(out->CopyPixels(&outside, 8, sizeof(buffer), buffer), E_INVALIDARG);
  EXPECT_EQ(out->CopyPixels(&negative, 8, sizeof(buffer), buffer), E_INVALIDARG);
  EXPECT_EQ(out->CopyPixels(&huge, 8, sizeof(buffer), buffer), E_INVALIDARG);
  EXPECT_EQ(out->CopyPixels(nullptr, 4, sizeof(buffer), buffer), E_INVALIDARG);  // stride < one row
  EXPECT_TRUE(FAILED(out->CopyPixels(nullptr, 8, 20, buffer)));                  // 3 rows need 24
}

TEST_F(FlipRotateTest, ReadsTheSourceTopDownInBoundedStrips) {
  constexpr UINT kW = 300, kH = 2000;  // 2.4 MB of source
  ComPtr<IWICBitmap> bitmap = Bitmap(kW, kH, GUID_WICPixelFormat32bppBGRA, 4, Noise(kW * kH * 4, 3));
  auto* recorder = new wic_test::RecordingSource(bitmap.Get());
  ComPtr<IWICBitmapSource> source;
  base::Adopt(source, recorder);
  for (UINT options : {9u, 16u}) {
    recorder->requests.clear();
    ComPtr<IWICBitmapSource> turned, reference;
    const auto o = static_cast<WICBitmapTransformOptions>(options);
    ASSERT_EQ(CreateOwnFlipRotator(factory_.Get(), source.Get(), o, &turned), S_OK);
    ASSERT_EQ(CreateOwnFlipRotator(factory_.Get(), bitmap.Get(), o, &reference), S_OK);
    EXPECT_EQ(Pixels(turned.Get(), 4), Pixels(reference.Get(), 4));
    INT nextRow = 0;
    for (const WICRect& rc : recorder->requests) {
      EXPECT_EQ(rc.Y, nextRow);  // every row once, in order
      EXPECT_LE(size_t(rc.Width) * rc.Height * 4, image::kStripBudgetBytes);
      nextRow = rc.Y + rc.Height;
    }
    EXPECT_EQ(nextRow, INT(kH));
  }
  // A rectangle of the turned picture reads only the source area behind it.
  recorder->requests.clear();
  ComPtr<IWICBitmapSource> turned;
  ASSERT_EQ(CreateOwnFlipRotator(factory_.Get(), source.Get(), WICBitmapTransformRotate90, &turned), S_OK);
  const WICRect rc{100, 40, 50, 20};
  ASSERT_EQ(Pixels(turned.Get(), 4, &rc).size(), 50u * 20 * 4);
  ASSERT_EQ(recorder->requests.size(), 1u);
  const WICRect read = recorder->requests[0];
  EXPECT_EQ(read.X, 40);
  EXPECT_EQ(read.Width, 20);
  EXPECT_EQ(read.Y, INT(kH) - 150);
  EXPECT_EQ(read.Height, 50);
}

}  // namespace
