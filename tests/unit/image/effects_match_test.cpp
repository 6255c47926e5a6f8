// Every effect against the literal formulas on random pictures: 24 and 32 bits, both storage
// orders, widths that leave partial blocks, and the degenerate 1 x 1, 1 x N and N x 1 shapes.
// The whole stored block is compared, so a write into row padding is caught as well.
#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <string>

#include "effects_reference.h"
#include "image/effect/effects.h"

namespace {

namespace ref = effects_reference;

using MakeEffect = std::function<std::unique_ptr<FCImageEffect>()>;
using Reference = std::function<void(FCObjImage&)>;

struct Shape {
  int width;
  int height;
};
constexpr Shape kShapes[] = {{1, 1}, {1, 9}, {9, 1}, {2, 2},  {3, 5},   {5, 3},  {7, 4},
                             {15, 3}, {16, 2}, {17, 6}, {33, 5}, {61, 7}, {128, 3}};

// Runs the effect through the pixel-by-pixel walk of the runner instead of its own fast path.
class PixelByPixel : public FCImageEffect {
 public:
  explicit PixelByPixel(std::unique_ptr<FCImageEffect> inner) : inner_(std::move(inner)) {}
  bool Accepts(const FCObjImage& image) const override { return inner_->Accepts(image); }
  void Prepare(FCObjImage& image) override { inner_->Prepare(image); }
  void ProcessPixelAt(FCObjImage& image, int x, int y, uint8_t* pixel) override {
    inner_->ProcessPixelAt(image, x, y, pixel);
  }

 private:
  std::unique_ptr<FCImageEffect> inner_;
};

void ExpectMatch(const MakeEffect& make, const Reference& reference, const std::string& name,
                 const std::vector<int>& bitDepths = {24, 32}, int palette = 256) {
  uint32_t seed = 1234;
  for (const Shape& shape : kShapes) {
    for (int bits : bitDepths) {
      for (int order : {1, -1}) {
        const std::string what = name + " " + std::to_string(shape.width) + "x" +
                                 std::to_string(order * shape.height) + "x" + std::to_string(bits);
        FCObjImage expected = ref::RandomImage(shape.width, order * shape.height, bits, ++seed, palette);
        ASSERT_TRUE(expected.IsValid()) << what;
        FCObjImage fast = expected;
        FCObjImage pixelwise = expected;
        reference(expected);
        ExecuteEffect(fast, make(), nullptr);
        ExecuteEffect(pixelwise, std::make_unique<PixelByPixel>(make()), nullptr);
        ASSERT_EQ(ref::Bytes(fast), ref::Bytes(expected)) << what;
        ASSERT_EQ(ref::Bytes(pixelwise), ref::Bytes(expected)) << what << " pixel by pixel";
      }
    }
  }
}

ref::Tables EnhancementSaturation() {
  ref::Tables t{};
  for (auto& sector : t)
    for (int v = 0; v < 256; ++v) sector[v] = std::min(255, v * 306 / 255);
  return t;
}

ref::Tables IdentityTables() {
  ref::Tables t{};
  for (auto& sector : t)
    for (int v = 0; v < 256; ++v) sector[v] = v;
  return t;
}

ref::Tables RandomTables(uint32_t seed) {
  std::mt19937 random(seed);
  ref::Tables t{};
  for (auto& sector : t)
    for (auto& entry : sector) entry = static_cast<int32_t>(random() % 256);
  return t;
}

}  // namespace

TEST(EffectsMatchReference, Mirror) {
  ExpectMatch([] { return std::make_unique<FCEffectMirror>(); }, ref::Mirror, "mirror");
}

TEST(EffectsMatchReference, BrightnessContrast) {
  const int params[][2] = {{20, 0}, {-35, 0}, {0, 0},    {20, 50},  {-10, -60},
                           {300, 0}, {-300, 0}, {0, -100}, {5, 250}, {-128, 0}};
  for (const auto& p : params) {
    ExpectMatch([&] { return std::make_unique<FCEffectBrightnessContrast>(p[0], p[1]); },
                [&](FCObjImage& image) { ref::BrightnessContrast(image, p[0], p[1]); },
                "brightness " + std::to_string(p[0]) + " contrast " + std::to_string(p[1]));
  }
}

TEST(EffectsMatchReference, HueSaturationTables) {
  const std::pair<ref::Tables, ref::Tables> tables[] = {
      {IdentityTables(), EnhancementSaturation()},
      {IdentityTables(), IdentityTables()},
      {RandomTables(7), RandomTables(8)},
  };
  for (const auto& [hue, saturation] : tables) {
    const auto make = [&] { return std::make_unique<FCEffectHueSaturation>(hue, saturation); };
    const auto reference = [&](FCObjImage& image) { ref::HueSaturation(image, hue, saturation); };
    ExpectMatch(make, reference, "hue/saturation");
    ExpectMatch(make, reference, "hue/saturation few colours", {24, 32}, 5);
  }
}

// Far more colours than the effect's result cache has slots, so slots are overwritten often.
TEST(EffectsMatchReference, HueSaturationOnManyColours) {
  const ref::Tables hue = RandomTables(11);
  const ref::Tables saturation = EnhancementSaturation();
  FCObjImage expected = ref::RandomImage(641, -409, 32, 99);
  FCObjImage actual = expected;
  ref::HueSaturation(expected, hue, saturation);
  ExecuteEffect(actual, std::make_unique<FCEffectHueSaturation>(hue, saturation), nullptr);
  EXPECT_EQ(ref::Bytes(actual), ref::Bytes(expected));
}

// Every one of the 16.7 million colours once: the hue's rounding falls exactly on a whole or a
// half number for some of them, where only the double arithmetic itself decides.
TEST(EffectsMatchReference, HueSaturationOnEveryColour) {
  FCObjImage every;
  ASSERT_TRUE(every.Create(4096, -4096, 32));
  for (int y = 0; y < 4096; ++y) {
    auto* row = reinterpret_cast<uint32_t*>(every.RowPointer(y));
    for (int x = 0; x < 4096; ++x) row[x] = 0xFF000000u | static_cast<uint32_t>(y * 4096 + x);
  }
  for (const ref::Tables& hue : {IdentityTables(), RandomTables(21)}) {
    const ref::Tables saturation = EnhancementSaturation();
    FCObjImage expected = every;
    FCObjImage actual = every;
    ref::HueSaturation(expected, hue, saturation);
    ExecuteEffect(actual, std::make_unique<FCEffectHueSaturation>(hue, saturation), nullptr);
    const auto* want = reinterpret_cast<const uint32_t*>(expected.PixelMemory());
    const auto* got = reinterpret_cast<const uint32_t*>(actual.PixelMemory());
    size_t wrong = 0, first = 0;
    for (size_t i = 0; i < size_t{4096} * 4096; ++i) {
      if (want[i] != got[i] && wrong++ == 0) first = i;
    }
    EXPECT_EQ(wrong, 0u) << "first wrong colour " << std::hex << first << ": " << got[first] << " for " << want[first];
  }
}

TEST(EffectsMatchReference, Convolution) {
  struct Kernel {
    std::vector<int32_t> values;
    int size;
    int divisor;
    int offset;
  };
  const Kernel kernels[] = {
      {{-1, -1, -1, -1, 18, -1, -1, -1, -1}, 3, 10, 0},  // the viewer's sharpen
      {std::vector<int32_t>(25, 1), 5, 25, 0},             // box blur
      {{0, 1, 0, 1, -4, 1, 0, 1, 0}, 3, 1, 128},           // edges around middle grey
      {{-2, -1, 0, -1, 1, 1, 0, 1, 2}, 3, -2, 10},         // emboss, negative divisor
      {{100, -50, 3, 0, 90, -7, 1, 1, 1}, 3, 37, -5},      // too large for 16-bit sums
      {std::vector<int32_t>(9, 14), 3, 301, 3},            // large divisor
      {{1, 2, 3, 4}, 2, 7, 0},                             // even size: window leans left/up
      {{2, 2, 2, 9}, 2, 15, 1},                            // even size, one value around the centre
      {{3}, 1, 2, 0},
      {{0, 0, 0, 0, 1, 0, 0, 0, 0}, 3, 1, 40000},          // offset beyond 16 bits
      {{1, 1, 1, 1, 1, 1, 1, 1, 1}, 3, 3, -300},
  };
  for (const Kernel& k : kernels) {
    ExpectMatch(
        [&] { return std::make_unique<FCEffectConvolute>(k.values, k.size, k.divisor, k.offset); },
        [&](FCObjImage& image) { ref::Convolute(image, k.values, k.size, k.divisor, k.offset); },
        "kernel " + std::to_string(k.size) + " divisor " + std::to_string(k.divisor));
  }
  ExpectMatch([] { return std::make_unique<FCEffectSharp>(); },
              [](FCObjImage& image) {
                ref::Convolute(image, {-1, -1, -1, -1, 18, -1, -1, -1, -1}, 3, 10, 0);
              },
              "sharp");
}

TEST(EffectsMatchReference, FillCurrentAlpha) {
  for (int percent : {0, 37, 100}) {
    ExpectMatch([&] { return std::make_unique<main_view::CEffectFillCurrentAlpha>(percent); },
                [&](FCObjImage& image) { ref::FillAlpha(image, percent); },
                "fill alpha " + std::to_string(percent), {32});
  }
  ExpectMatch([] { return std::make_unique<FCEffectPremultipleAlpha>(); },
              [](FCObjImage& image) { ref::FillAlpha(image, 100); }, "premultiply", {32});
}

// The zoom frames run the enhancement on a view over locked platform memory.
TEST(EffectsMatchReference, ViewOverBorrowedPixels) {
  const FCObjImage source = ref::RandomImage(37, -11, 32, 5);
  std::vector<uint8_t> borrowed = ref::Bytes(source);
  FCObjImage view;
  ASSERT_TRUE(view.AttachExternal(borrowed.data(), 37, 11));
  FCObjImage expected = source;
  ref::Convolute(expected, {-1, -1, -1, -1, 18, -1, -1, -1, -1}, 3, 10, 0);
  ApplyViewEnhancement(view, 3, nullptr);
  EXPECT_EQ(borrowed, ref::Bytes(expected));
}
