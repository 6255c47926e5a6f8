#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "image/resample/engine.h"
#include "image/wic/scaler.h"
#include "image/wic/transforms.h"
#include "tests/unit/image/wic_transform_test_util.h"

namespace {

using wic_test::ComPtr;

constexpr auto kHighQualityCubic = static_cast<WICBitmapInterpolationMode>(4);

class ScalerTest : public wic_test::WicTest {
 protected:
  // Opaque 32bppPBGRA with one grey level per pixel.
  ComPtr<IWICBitmap> Grey(UINT w, UINT h, BYTE (*level)(UINT x, UINT y)) {
    std::vector<BYTE> px;
    for (UINT y = 0; y < h; ++y) {
      for (UINT x = 0; x < w; ++x) {
        const BYTE v = level(x, y);
        px.insert(px.end(), {v, v, v, 255});
      }
    }
    return Bitmap(w, h, GUID_WICPixelFormat32bppPBGRA, 4, px);
  }

  std::vector<BYTE> Scaled(IWICBitmapSource* source, UINT w, UINT h, WICBitmapInterpolationMode mode,
                           UINT bytesPerPixel = 4) {
    ComPtr<IWICBitmapSource> scaled;
    EXPECT_EQ(CreateOwnScaler(source, w, h, mode, &scaled), S_OK);
    return scaled ? Pixels(scaled.Get(), bytesPerPixel) : std::vector<BYTE>();
  }
};

BYTE Checker(UINT x, UINT y) { return ((x + y) % 2) ? 255 : 0; }

TEST_F(ScalerTest, ReducingACheckerboardGivesGrey) {
  ComPtr<IWICBitmap> board = Grey(64, 64, Checker);
  for (auto mode : {WICBitmapInterpolationModeFant, kHighQualityCubic, WICBitmapInterpolationModeLinear,
                    WICBitmapInterpolationModeCubic}) {
    for (const std::vector<BYTE>& px : {Scaled(board.Get(), 16, 16, mode), Scaled(board.Get(), 32, 8, mode)}) {
      ASSERT_FALSE(px.empty());
      for (BYTE v : px) EXPECT_TRUE(v == 255 || v == 127 || v == 128) << int(v);
    }
    // At 64 -> 25 the boxes cover fractions of pixels; the mean is still near half.
    for (BYTE v : Scaled(board.Get(), 25, 23, mode)) EXPECT_TRUE(v == 255 || (v >= 100 && v <= 155)) << int(v);
  }
}

TEST_F(ScalerTest, AUniformPictureStaysExactAtEverySize) {
  std::vector<BYTE> px;
  for (int i = 0; i < 50 * 30; ++i) px.insert(px.end(), {37, 142, 201});
  ComPtr<IWICBitmap> bgr = Bitmap(50, 30, GUID_WICPixelFormat24bppBGR, 3, px);
  const std::pair<UINT, UINT> sizes[] = {{17, 9}, {50, 30}, {1, 1}, {120, 77}, {7, 90}, {333, 2}};
  for (const auto& [w, h] : sizes) {
    const std::vector<BYTE> out = Scaled(bgr.Get(), w, h, kHighQualityCubic, 3);
    ASSERT_EQ(out.size(), size_t{w} * h * 3);
    for (size_t i = 0; i < out.size(); i += 3) {
      ASSERT_EQ(std::vector<BYTE>(out.begin() + i, out.begin() + i + 3), (std::vector<BYTE>{37, 142, 201})) << w << 'x' << h;
    }
  }
}

TEST_F(ScalerTest, HalvingGivesTheMeanOfEachTwoByTwoBlock) {
  constexpr UINT kW = 40, kH = 30;
  for (const auto& [format, bpp] : {std::pair{GUID_WICPixelFormat24bppBGR, 3u}, {GUID_WICPixelFormat32bppBGRA, 4u}}) {
    std::vector<BYTE> px = Noise(kW * kH * bpp, 5);
    if (bpp == 4) {
      for (size_t i = 3; i < px.size(); i += 4) px[i] = 255;  // opaque, so straight equals premultiplied
    }
    const std::vector<BYTE> out = Scaled(Bitmap(kW, kH, format, bpp, px).Get(), kW / 2, kH / 2,
                                         WICBitmapInterpolationModeFant, bpp);
    ASSERT_EQ(out.size(), size_t{kW / 2} * (kH / 2) * bpp);
    for (UINT y = 0; y < kH / 2; ++y) {
      for (UINT x = 0; x < kW / 2; ++x) {
        for (UINT c = 0; c < bpp; ++c) {
          const auto at = [&](UINT sx, UINT sy) { return int(px[(sy * kW + sx) * bpp + c]); };
          const int sum = at(2 * x, 2 * y) + at(2 * x + 1, 2 * y) + at(2 * x, 2 * y + 1) + at(2 * x + 1, 2 * y + 1);
          EXPECT_LE(std::abs(int(out[(y * (kW / 2) + x) * bpp + c]) * 4 - sum), 4) << x << ',' << y;
        }
      }
    }
  }
}

TEST_F(ScalerTest, EnlargingASmoothGradientStaysMonotonic) {
  // Black beside white, doubled: output centres fall at -0.25, 0.25, 0.75 and 1.25 source pixels.
  // Catmull-Rom at t = 0.25 gives white a weight of 0.2266 - 0.0234 = 0.2031 (52 of 255).
  ComPtr<IWICBitmap> pair = Bitmap(2, 1, GUID_WICPixelFormat24bppBGR, 3, {0, 0, 0, 255, 255, 255});
  const auto blue = [](const std::vector<BYTE>& px) {
    std::vector<int> v;
    for (size_t i = 0; i < px.size(); i += 3) v.push_back(px[i]);
    return v;
  };
  EXPECT_EQ(blue(Scaled(pair.Get(), 4, 1, kHighQualityCubic, 3)), (std::vector<int>{0, 52, 203, 255}));
  EXPECT_EQ(blue(Scaled(pair.Get(), 4, 1, WICBitmapInterpolationModeLinear, 3)), (std::vector<int>{0, 64, 191, 255}));

  ComPtr<IWICBitmap> ramp = Grey(16, 9, [](UINT x, UINT y) { return BYTE(x * 12 + y * 6); });
  for (auto mode : {kHighQualityCubic, WICBitmapInterpolationModeLinear, WICBitmapInterpolationModeFant}) {
    const std::vector<BYTE> out = Scaled(ramp.Get(), 101, 47, mode);
    ASSERT_EQ(out.size(), 101u * 47 * 4);
    for (UINT y = 0; y < 47; ++y) {
      for (UINT x = 0; x < 101; ++x) {
        const BYTE v = out[(y * 101 + x) * 4];
        EXPECT_GE(v, x > 0 ? out[(y * 101 + x - 1) * 4] : 0) << x << ',' << y;
        EXPECT_GE(v, y > 0 ? out[((y - 1) * 101 + x) * 4] : 0) << x << ',' << y;
        EXPECT_LE(v, 15 * 12 + 8 * 6 + 1);  // the cubic may ring by under a level where the ramp meets the edge
      }
    }
    EXPECT_LE(out[0], 6);
    EXPECT_GE(out[(47 * 101 - 1) * 4], 15 * 12 + 8 * 6 - 6);
  }
}

TEST_F(ScalerTest, SinglePixelsThinTargetsAndHugeRatios) {
  ComPtr<IWICBitmap> dot = Bitmap(1, 1, GUID_WICPixelFormat32bppPBGRA, 4, {10, 20, 30, 40});
  const std::vector<BYTE> spread = Scaled(dot.Get(), 5, 3, kHighQualityCubic);
  for (size_t i = 0; i < spread.size(); i += 4) EXPECT_EQ(spread[i + 2], 30);
  EXPECT_EQ(Scaled(dot.Get(), 6000, 1, kHighQualityCubic).size(), 6000u * 4);

  // 50 x 40 to one column and to one row: the means of the rows and of the columns.
  const std::vector<BYTE> px = Noise(50 * 40 * 3, 9);
  ComPtr<IWICBitmap> noise = Bitmap(50, 40, GUID_WICPixelFormat24bppBGR, 3, px);
  const std::vector<BYTE> column = Scaled(noise.Get(), 1, 40, WICBitmapInterpolationModeFant, 3);
  const std::vector<BYTE> row = Scaled(noise.Get(), 50, 1, WICBitmapInterpolationModeFant, 3);
  ASSERT_EQ(column.size(), 40u * 3);
  ASSERT_EQ(row.size(), 50u * 3);
  for (UINT y = 0; y < 40; ++y) {
    int sum = 0;
    for (UINT x = 0; x < 50; ++x) sum += px[(y * 50 + x) * 3 + 1];
    EXPECT_NEAR(column[y * 3 + 1], sum / 50.0, 1.0) << y;
  }
  for (UINT x = 0; x < 50; ++x) {
    int sum = 0;
    for (UINT y = 0; y < 40; ++y) sum += px[(y * 50 + x) * 3 + 1];
    EXPECT_NEAR(row[x * 3 + 1], sum / 40.0, 1.0) << x;
  }

  // 6000 alternating columns to one pixel; a uniform 6000-wide strip stays exact.
  ComPtr<IWICBitmap> stripes = Grey(6000, 8, [](UINT x, UINT) { return BYTE(x % 2 ? 255 : 0); });
  const std::vector<BYTE> one = Scaled(stripes.Get(), 1, 1, WICBitmapInterpolationModeFant);
  ASSERT_EQ(one.size(), 4u);
  EXPECT_NEAR(one[0], 127.5, 1.0);
  EXPECT_EQ(one[3], 255);
  ComPtr<IWICBitmap> flat = Grey(6000, 8, [](UINT, UINT) { return BYTE(77); });
  EXPECT_EQ(Scaled(flat.Get(), 1, 1, WICBitmapInterpolationModeFant), (std::vector<BYTE>{77, 77, 77, 255}));
}

TEST_F(ScalerTest, AlphaIsAveragedWithoutColourBleeding) {
  // Opaque red beside transparent green: straight alpha stays pure red at half cover,
  // premultiplied gives half red.
  ComPtr<IWICBitmap> straight = Bitmap(2, 1, GUID_WICPixelFormat32bppBGRA, 4, {0, 0, 255, 255, 0, 255, 0, 0});
  EXPECT_EQ(Scaled(straight.Get(), 1, 1, WICBitmapInterpolationModeFant), (std::vector<BYTE>{0, 0, 255, 128}));
  ComPtr<IWICBitmap> premultiplied = Bitmap(2, 1, GUID_WICPixelFormat32bppPBGRA, 4, {0, 0, 255, 255, 0, 0, 0, 0});
  EXPECT_EQ(Scaled(premultiplied.Get(), 1, 1, WICBitmapInterpolationModeFant), (std::vector<BYTE>{0, 0, 128, 128}));
  // A cubic overshoot at a hard edge never leaves premultiplied colour above its alpha.
  std::vector<BYTE> edge;
  for (int x = 0; x < 8; ++x) edge.insert(edge.end(), x < 4 ? std::initializer_list<BYTE>{0, 0, 0, 0}
                                                           : std::initializer_list<BYTE>{200, 200, 200, 200});
  const std::vector<BYTE> up = Scaled(Bitmap(8, 1, GUID_WICPixelFormat32bppPBGRA, 4, edge).Get(), 29, 1,
                                      kHighQualityCubic);
  for (size_t i = 0; i < up.size(); i += 4) EXPECT_LE(up[i], up[i + 3]) << i / 4;
  // Formats other than the three worked on are converted to 32bppPBGRA first.
  ComPtr<IWICBitmap> grey8 = Bitmap(4, 1, GUID_WICPixelFormat8bppGray, 1, {0, 100, 200, 250});
  ComPtr<IWICBitmapSource> scaled;
  ASSERT_EQ(CreateOwnScaler(grey8.Get(), 2, 1, WICBitmapInterpolationModeFant, &scaled), S_OK);
  WICPixelFormatGUID format{};
  ASSERT_EQ(scaled->GetPixelFormat(&format), S_OK);
  EXPECT_TRUE(format == GUID_WICPixelFormat32bppPBGRA);
  EXPECT_EQ(Pixels(scaled.Get(), 4), (std::vector<BYTE>{50, 50, 50, 255, 225, 225, 225, 255}));
}

TEST_F(ScalerTest, FourChannelPixelsGiveTheSameColoursAsThree) {
  // The 32-bit path filters two taps at a time; the 24-bit path is the plain loop. On an opaque
  // noisy picture both must give the same colours, byte for byte, for every kernel and ratio.
  constexpr UINT kW = 61, kH = 37;
  const std::vector<BYTE> rgb = Noise(kW * kH * 3, 23);
  std::vector<BYTE> quads;
  for (size_t i = 0; i < rgb.size(); i += 3) quads.insert(quads.end(), {rgb[i], rgb[i + 1], rgb[i + 2], 255});
  ComPtr<IWICBitmap> three = Bitmap(kW, kH, GUID_WICPixelFormat24bppBGR, 3, rgb);
  ComPtr<IWICBitmap> four = Bitmap(kW, kH, GUID_WICPixelFormat32bppBGR, 4, quads);
  const struct {
    UINT w, h;
    WICBitmapInterpolationMode mode;
  } cases[] = {{50, 30, WICBitmapInterpolationModeLinear}, {17, 9, WICBitmapInterpolationModeFant},
               {130, 80, kHighQualityCubic},              {62, 74, WICBitmapInterpolationModeLinear},
               {60, 36, WICBitmapInterpolationModeCubic}};
  for (const auto& c : cases) {
    const std::vector<BYTE> a = Scaled(three.Get(), c.w, c.h, c.mode, 3);
    const std::vector<BYTE> b = Scaled(four.Get(), c.w, c.h, c.mode, 4);
    ASSERT_EQ(a.size() / 3, b.size() / 4);
    for (size_t p = 0; p < a.size() / 3; ++p) {
      ASSERT_EQ(a[p * 3], b[p * 4]) << c.w << "x" << c.h << " pixel " << p;
      ASSERT_EQ(a[p * 3 + 1], b[p * 4 + 1]) << c.w << "x" << c.h << " pixel " << p;
      ASSERT_EQ(a[p * 3 + 2], b[p * 4 + 2]) << c.w << "x" << c.h << " pixel " << p;
    }
  }
}

TEST_F(ScalerTest, RectanglesMatchTheWholeOutput) {
  ComPtr<IWICBitmap> source = Bitmap(97, 61, GUID_WICPixelFormat32bppPBGRA, 4, [] {
    std::vector<BYTE> px = Noise(97 * 61 * 4, 13);
    for (size_t i = 0; i < px.size(); i += 4) px[i + 3] = 255;
    return px;
  }());
  const std::pair<UINT, UINT> sizes[] = {{40, 25}, {211, 150}, {30, 140}};
  for (const auto& [w, h] : sizes) {
    image::ResampleAxis ax(97, w, image::KernelForAxis(97, w, false, false));
    image::ResampleAxis ay(61, h, image::KernelForAxis(61, h, false, false));
    image::ResampleJob job;
    job.source = source.Get();
    job.xAxis = &ax;
    job.yAxis = &ay;
    job.premultiplied = true;
    std::vector<BYTE> whole(size_t{w} * h * 4);
    ASSERT_EQ(image::ResampleRect(job, {0, 0, INT(w), INT(h)}, whole.data(), w * 4), S_OK);
    ComPtr<IWICBitmapSource> scaled;
    ASSERT_EQ(CreateOwnScaler(source.Get(), w, h, kHighQualityCubic, &scaled), S_OK);
    EXPECT_EQ(Pixels(scaled.Get(), 4), whole);
    // Computed directly (as outputs too large to keep are) and copied from the kept output.
    for (const WICRect rc : {WICRect{0, 0, 1, 1}, WICRect{3, 5, 17, 9}, WICRect{INT(w) - 7, INT(h) - 4, 7, 4}}) {
      const UINT stride = UINT(rc.Width) * 4 + 5;
      std::vector<BYTE> direct(size_t{stride} * UINT(rc.Height), 0xCD), kept = direct;
      ASSERT_EQ(image::ResampleRect(job, rc, direct.data(), stride), S_OK);
      ASSERT_EQ(scaled->CopyPixels(&rc, stride, UINT(kept.size()), kept.data()), S_OK);
      for (INT y = 0; y < rc.Height; ++y) {
        const BYTE* want = whole.data() + (size_t{UINT(rc.Y + y)} * w + UINT(rc.X)) * 4;
        std::vector<BYTE> expected(want, want + rc.Width * 4);
        expected.insert(expected.end(), 5, 0xCD);
        const size_t at = size_t{stride} * UINT(y);
        EXPECT_EQ(std::vector<BYTE>(direct.begin() + at, direct.begin() + at + stride), expected) << w;
        EXPECT_EQ(std::vector<BYTE>(kept.begin() + at, kept.begin() + at + stride), expected) << w;
      }
    }
  }
}

TEST_F(ScalerTest, ReadsEachSourceRowOnceInBoundedStrips) {
  constexpr UINT kW = 1500, kH = 1200;  // 7.2 MB of source
  ComPtr<IWICBitmap> bitmap = Bitmap(kW, kH, GUID_WICPixelFormat32bppBGRA, 4, Noise(kW * kH * 4, 17));
  auto* recorder = new wic_test::RecordingSource(bitmap.Get());
  ComPtr<IWICBitmapSource> source;
  base::Adopt(source, recorder);
  ComPtr<IWICBitmapSource> scaled;
  ASSERT_EQ(CreateOwnScaler(source.Get(), 320, 240, WICBitmapInterpolationModeFant, &scaled), S_OK);
  const std::vector<BYTE> whole = Pixels(scaled.Get(), 4);
  ASSERT_EQ(whole.size(), 320u * 240 * 4);
  INT nextRow = 0;
  for (const WICRect& rc : recorder->requests) {
    EXPECT_EQ(rc.Y, nextRow);
    EXPECT_EQ(rc.Width, INT(kW));
    EXPECT_LE(size_t(rc.Width) * rc.Height * 4, image::kStripBudgetBytes);
    nextRow = rc.Y + rc.Height;
  }
  EXPECT_EQ(nextRow, INT(kH));
  const size_t reads = recorder->requests.size();
  const WICRect rc{100, 100, 20, 20};
  EXPECT_EQ(Pixels(scaled.Get(), 4, &rc).size(), 20u * 20 * 4);
  EXPECT_EQ(recorder->requests.size(), reads);  // served from the kept output
}

TEST_F(ScalerTest, ReleasedScalerLetsItsSourceGo) {
  // A scaler that outlived its last user would keep the whole picture it scales.
  ComPtr<IWICBitmap> bitmap = Bitmap(64, 48, GUID_WICPixelFormat32bppBGRA, 4, Noise(64 * 48 * 4, 5));
  ComPtr<IWICBitmapSource> source;
  base::Adopt(source, new wic_test::RecordingSource(bitmap.Get()));
  const auto references = [&] {
    source->AddRef();
    return source->Release();
  };
  ASSERT_EQ(references(), 1u);
  {
    ComPtr<IWICBitmapSource> scaled;
    ASSERT_EQ(CreateOwnScaler(source.Get(), 16, 12, WICBitmapInterpolationModeFant, &scaled), S_OK);
    EXPECT_EQ(Pixels(scaled.Get(), 4).size(), 16u * 12 * 4);
    EXPECT_GE(references(), 2u);
  }
  EXPECT_EQ(references(), 1u);
}

TEST_F(ScalerTest, RefusesBadArguments) {
  ComPtr<IWICBitmap> dot = Bitmap(1, 1, GUID_WICPixelFormat32bppPBGRA, 4, {1, 2, 3, 4});
  ComPtr<IWICBitmapSource> out;
  EXPECT_EQ(CreateOwnScaler(dot.Get(), 0, 4, WICBitmapInterpolationModeFant, &out), E_INVALIDARG);
  EXPECT_EQ(CreateOwnScaler(nullptr, 4, 4, WICBitmapInterpolationModeFant, &out), E_INVALIDARG);
  EXPECT_EQ(CreateOwnScaler(dot.Get(), 4, 4, static_cast<WICBitmapInterpolationMode>(9), &out), E_INVALIDARG);
  EXPECT_EQ(CreateScaler(factory_.Get(), dot.Get(), 4, 0, WICBitmapInterpolationModeFant, &out), E_INVALIDARG);
  ASSERT_EQ(CreateOwnScaler(dot.Get(), 4, 4, WICBitmapInterpolationModeFant, &out), S_OK);
  BYTE buffer[64];
  const WICRect outside{2, 2, 3, 1};
  EXPECT_EQ(out->CopyPixels(&outside, 16, sizeof(buffer), buffer), E_INVALIDARG);
  EXPECT_TRUE(FAILED(out->CopyPixels(nullptr, 16, 60, buffer)));
}

TEST_F(ScalerTest, ThePlatformProbeAgreesWithThePlatformAndTheChoiceAverages) {
  ComPtr<IWICBitmap> board = Grey(64, 64, Checker);
  ComPtr<IWICBitmapScaler> platform;
  ASSERT_EQ(factory_->CreateBitmapScaler(&platform), S_OK);
  ASSERT_EQ(platform->Initialize(board.Get(), 16, 16, WICBitmapInterpolationModeFant), S_OK);
  const std::vector<BYTE> direct = Pixels(platform.Get(), 4);
  ASSERT_FALSE(direct.empty());
  bool platformGrey = true;
  for (size_t i = 0; i < direct.size(); ++i) platformGrey = platformGrey && (i % 4 == 3 || (direct[i] >= 64 && direct[i] <= 191));
  EXPECT_EQ(PlatformScalerAverages(factory_.Get()), platformGrey);
  EXPECT_EQ(PlatformScalerAverages(factory_.Get()), platformGrey);  // remembered, same answer

  // Whichever scaler is chosen, reductions average and nearest-neighbour samples.
  ComPtr<IWICBitmapSource> chosen, sampled;
  ASSERT_EQ(CreateScaler(factory_.Get(), board.Get(), 16, 16, WICBitmapInterpolationModeFant, &chosen), S_OK);
  for (BYTE v : Pixels(chosen.Get(), 4)) EXPECT_TRUE((v >= 120 && v <= 135) || v == 255) << int(v);
  ASSERT_EQ(CreateScaler(factory_.Get(), board.Get(), 16, 16, WICBitmapInterpolationModeNearestNeighbor, &sampled),
            S_OK);
  for (BYTE v : Pixels(sampled.Get(), 4)) EXPECT_TRUE(v == 0 || v == 255) << int(v);
}

}  // namespace
