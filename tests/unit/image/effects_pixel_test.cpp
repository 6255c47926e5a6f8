// Hand-computed results of the effects on small pictures.
#include <gtest/gtest.h>

#include <array>

#include "image/effect/effects.h"

namespace {

// A one-row picture of the given pixels (blue, green, red[, alpha]).
FCObjImage Row(int bits, const std::vector<std::array<uint8_t, 4>>& pixels) {
  FCObjImage image;
  EXPECT_TRUE(image.Create(static_cast<int>(pixels.size()), 1, bits));
  for (size_t x = 0; x < pixels.size(); ++x) {
    for (int c = 0; c < bits / 8; ++c) image.PixelPointer(static_cast<int>(x), 0)[c] = pixels[x][c];
  }
  return image;
}

std::array<uint8_t, 4> At(const FCObjImage& image, int x, int y = 0) {
  std::array<uint8_t, 4> p{};
  for (int c = 0; c < image.BitsPerPixel() / 8; ++c) p[c] = image.PixelPointer(x, y)[c];
  return p;
}

using P = std::array<uint8_t, 4>;

}  // namespace

TEST(EffectsByHand, MirrorReversesRowsAndKeepsSingleColumns) {
  for (int bits : {24, 32}) {
    FCObjImage image = Row(bits, {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}});
    ExecuteEffect(image, std::make_unique<FCEffectMirror>(), nullptr);
    const uint8_t a = bits == 32 ? 12 : 0;
    EXPECT_EQ(At(image, 0), (P{9, 10, 11, a})) << bits;
    EXPECT_EQ(At(image, 1), (P{5, 6, 7, bits == 32 ? uint8_t{8} : uint8_t{0}}));
    EXPECT_EQ(At(image, 2), (P{1, 2, 3, bits == 32 ? uint8_t{4} : uint8_t{0}}));

    FCObjImage column;
    ASSERT_TRUE(column.Create(1, 3, bits));
    for (int y = 0; y < 3; ++y) column.PixelPointer(0, y)[0] = static_cast<uint8_t>(y + 1);
    ExecuteEffect(column, std::make_unique<FCEffectMirror>(), nullptr);
    for (int y = 0; y < 3; ++y) EXPECT_EQ(column.PixelPointer(0, y)[0], y + 1);
  }
}

TEST(EffectsByHand, BrightnessAddsAndCapsColourButNotAlpha) {
  // Wide enough for the sixteen-channel path, with a tail pixel.
  FCObjImage image = Row(32, {{0, 235, 240, 7}, {234, 255, 1, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},
                              {0, 0, 0, 0}, {235, 240, 234, 200}});
  ExecuteEffect(image, std::make_unique<FCEffectBrightnessContrast>(20, 0), nullptr);
  EXPECT_EQ(At(image, 0), (P{20, 255, 255, 7}));
  EXPECT_EQ(At(image, 1), (P{254, 255, 21, 0}));
  EXPECT_EQ(At(image, 5), (P{255, 255, 254, 200}));

  // Contrast 100 doubles the distance from 128: 100 -> 72, 200 -> 272 (255), 128 stays.
  FCObjImage contrast = Row(24, {{100, 200, 128, 0}});
  ExecuteEffect(contrast, std::make_unique<FCEffectBrightnessContrast>(0, 100), nullptr);
  EXPECT_EQ(At(contrast, 0), (P{72, 255, 128, 0}));
}

TEST(EffectsByHand, SaturationKeepsGreyAndPureColours) {
  std::vector<P> pixels;
  for (int v : {0, 1, 77, 128, 200, 255}) {
    const auto c = static_cast<uint8_t>(v);
    pixels.push_back({c, c, c, 9});
  }
  pixels.push_back({0, 0, 255, 9});   // red
  pixels.push_back({255, 0, 0, 9});   // blue
  pixels.push_back({0, 255, 0, 9});   // green
  FCObjImage image = Row(32, pixels);
  ApplyViewEnhancement(image, 2, nullptr);
  for (size_t x = 0; x < pixels.size(); ++x) EXPECT_EQ(At(image, static_cast<int>(x)), pixels[x]) << x;

  // A dull orange, R 180 G 120 B 60: L = 240 / 510, S = 0.5 (index 128 -> 153, so 0.6),
  // hue 21.25 -> index 21. q = 1.6 L = 0.75294, p = 2 L - q = 0.18824; red takes q (192),
  // blue p (48), green p + (q - p) x 6 x 21 / 255 = 0.46727 (119). Lightness stays.
  FCObjImage orange = Row(24, {{60, 120, 180, 0}});
  ApplyViewEnhancement(orange, 2, nullptr);
  EXPECT_EQ(At(orange, 0), (P{48, 119, 192, 0}));
}

TEST(EffectsByHand, SharpenLeavesFlatPicturesAndSinglePixels) {
  for (int bits : {24, 32}) {
    FCObjImage flat;
    ASSERT_TRUE(flat.Create(23, -5, bits));
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 23; ++x) {
        uint8_t* p = flat.PixelPointer(x, y);
        p[0] = 10, p[1] = 128, p[2] = 250;
        if (bits == 32) p[3] = 99;
      }
    ApplyViewEnhancement(flat, 3, nullptr);
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 23; ++x)
        ASSERT_EQ(At(flat, x, y), (P{10, 128, 250, bits == 32 ? uint8_t{99} : uint8_t{0}})) << x << "," << y;

    FCObjImage single = Row(bits, {{3, 200, 255, 1}});
    ApplyViewEnhancement(single, 3, nullptr);
    EXPECT_EQ(At(single, 0), (P{3, 200, 255, bits == 32 ? uint8_t{1} : uint8_t{0}}));
  }
  // A bright dot on grey: the centre (18 x 200 - 8 x 100) / 10 = 280 is capped at 255; a side
  // or corner pixel sees the dot once and repeated edge pixels otherwise: (1800 - 900) / 10.
  FCObjImage dot;
  ASSERT_TRUE(dot.Create(3, 3, 24));
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x) dot.PixelPointer(x, y)[1] = (x == 1 && y == 1) ? 200 : 100;
  ApplyViewEnhancement(dot, 3, nullptr);
  EXPECT_EQ(dot.PixelPointer(1, 1)[1], 255);
  EXPECT_EQ(dot.PixelPointer(0, 1)[1], 90);
  EXPECT_EQ(dot.PixelPointer(0, 0)[1], 90);
}

TEST(EffectsByHand, FillAlphaPremultipliesOrClears) {
  FCObjImage full = Row(32, {{200, 100, 50, 128}, {255, 255, 255, 255}, {9, 9, 9, 0}});
  ExecuteEffect(full, std::make_unique<main_view::CEffectFillCurrentAlpha>(100), nullptr);
  EXPECT_EQ(At(full, 0), (P{100, 50, 25, 128}));
  EXPECT_EQ(At(full, 1), (P{255, 255, 255, 255}));
  EXPECT_EQ(At(full, 2), (P{0, 0, 0, 0}));

  FCObjImage half = Row(32, {{200, 100, 50, 200}});
  ExecuteEffect(half, std::make_unique<main_view::CEffectFillCurrentAlpha>(50), nullptr);
  EXPECT_EQ(At(half, 0), (P{78, 39, 19, 100}));

  FCObjImage none = Row(32, {{200, 100, 50, 255}});
  ExecuteEffect(none, std::make_unique<main_view::CEffectFillCurrentAlpha>(0), nullptr);
  EXPECT_EQ(At(none, 0), (P{0, 0, 0, 0}));

  // Percent beyond 100 would make alpha wrap around; it is held at 100.
  FCObjImage over = Row(32, {{200, 100, 50, 255}});
  ExecuteEffect(over, std::make_unique<main_view::CEffectFillCurrentAlpha>(150), nullptr);
  EXPECT_EQ(At(over, 0), (P{200, 100, 50, 255}));
}
