// The decoder library's formats, damaged: seeded mutations and truncations of real files made by
// Debian's tools must end in a result, never a crash, a hang or a canvas larger than the limits allow.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "base/paths.h"
#include "companions/codechost/decoders.h"
#include "tests/support/test_support.h"

namespace {

using codechost::DecodeResult;

// A canvas in memory that remembers what it was asked for.
class MemoryCanvas : public codechost::Canvas {
 public:
  uint8_t* Begin(uint32_t width, uint32_t height, uint32_t* stride) override {
    ++calls;
    asked = uint64_t{width} * height;
    pixels.assign(static_cast<size_t>(asked) * 4, 0xCD);
    *stride = width * 4;
    return pixels.data();
  }
  int calls = 0;
  uint64_t asked = 0;
  std::vector<uint8_t> pixels;
};

std::vector<uint8_t> Fixture(const wchar_t* name) {
  return testing_support::ReadBytes(base::WithTrailingBackslash(testing_support::EnvPath(L"QL_FIXTURE_DIR")) + name);
}

}  // namespace

TEST(CodecDecoders, DamagedAndTruncatedFilesEndInAResultWithinTheLimits) {
  const wchar_t* files[] = {L"codec_lossy.webp", L"codec_lossless.webp", L"codec_alpha.webp", L"codec_anim.webp",
                            L"codec_rgb.psd",    L"codec_raw.psd",       L"codec_grey.psd",   L"codec_cmyk.psd",
                            L"codec_alpha.psd"};
  std::mt19937 random(20261209);
  for (const wchar_t* name : files) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(name)));
    const std::vector<uint8_t> good = Fixture(name);
    ASSERT_GT(good.size(), 32u);
    MemoryCanvas intact;
    ASSERT_EQ(codechost::Decode(good.data(), good.size(), intact), DecodeResult::kOk);
    // Every cut short of the whole file fails; none is taken for another format.
    for (size_t length = 0; length < good.size(); length += 1 + length / 64) {
      MemoryCanvas canvas;
      const DecodeResult result = codechost::Decode(good.data(), length, canvas);
      EXPECT_NE(result, DecodeResult::kOk) << "cut at " << length;
    }
    // Mutations: one to eight bytes overwritten, header bytes most of all.
    for (int round = 0; round < 400; ++round) {
      std::vector<uint8_t> bytes = good;
      const int count = 1 + static_cast<int>(random() % 8);
      for (int i = 0; i < count; ++i) {
        const size_t span = round % 2 ? bytes.size() : std::min<size_t>(bytes.size(), 64);
        bytes[random() % span] = static_cast<uint8_t>(random());
      }
      MemoryCanvas canvas;
      codechost::Decode(bytes.data(), bytes.size(), canvas);
      EXPECT_LE(canvas.calls, 1);
      EXPECT_TRUE(canvas.asked <= (uint64_t{1} << 26) || canvas.asked / 1024 <= bytes.size())
          << "round " << round << " asked for " << canvas.asked << " pixels";
    }
  }
}

TEST(CodecDecoders, HeadersThatClaimMoreThanTheFileHoldsAskForNoCanvas) {
  // A Photoshop header for 30000 x 30000 RGB, run-length coded, in a few hundred bytes.
  std::vector<uint8_t> psd = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0x75, 0x30, 0, 0, 0x75, 0x30, 0,
                              8, 0, 3};
  psd.insert(psd.end(), {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
  psd.resize(psd.size() + 400, 0x02);
  MemoryCanvas canvas;
  EXPECT_NE(codechost::Decode(psd.data(), psd.size(), canvas), DecodeResult::kOk);
  EXPECT_EQ(canvas.calls, 0);

  // A lossless WebP whose header is rewritten to 16383 x 16383: a quarter of a gigapixel from 200 bytes.
  std::vector<uint8_t> webp = Fixture(L"codec_lossless.webp");
  ASSERT_GT(webp.size(), 25u);
  ASSERT_EQ(std::memcmp(webp.data() + 12, "VP8L", 4), 0);
  const uint32_t sides = (16383u - 1) | ((16383u - 1) << 14);
  webp[21] = static_cast<uint8_t>(sides);
  webp[22] = static_cast<uint8_t>(sides >> 8);
  webp[23] = static_cast<uint8_t>(sides >> 16);
  webp[24] = static_cast<uint8_t>((webp[24] & 0xF0) | ((sides >> 24) & 0x0F));
  MemoryCanvas big;
  EXPECT_EQ(codechost::Decode(webp.data(), webp.size(), big), DecodeResult::kTooLarge);
  EXPECT_EQ(big.calls, 0);

  // Not ours at all.
  const uint8_t png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 0};
  EXPECT_EQ(codechost::Decode(png, sizeof(png), canvas), DecodeResult::kNotMine);
}

namespace {

// A raw 8-bit RGB Photoshop file of one row with an alpha channel for the merged picture (the layer
// count is negative); the pixels given as {r, g, b, a}.
std::vector<uint8_t> PsdRow(const std::vector<std::array<uint8_t, 4>>& pixels) {
  const auto w = static_cast<uint8_t>(pixels.size());
  std::vector<uint8_t> f = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0, 0, 4, 0, 0, 0, 1, 0, 0, 0, w, 0, 8, 0, 3};
  f.insert(f.end(), {0, 0, 0, 0, 0, 0, 0, 0});                    // no mode data, no resources
  f.insert(f.end(), {0, 0, 0, 6, 0, 0, 0, 2, 0xFF, 0xFF});  // layers: count -1
  f.insert(f.end(), {0, 0});                                      // raw
  for (int c = 0; c < 4; ++c) {
    for (const auto& p : pixels) f.push_back(p[c]);
  }
  return f;
}

}  // namespace

TEST(CodecDecoders, TheWhiteOfAMattedMergedPictureIsTakenOutUnlessItsColoursAreStraight) {
  const struct {
    std::vector<std::array<uint8_t, 4>> stored;
    std::vector<std::array<uint8_t, 4>> shown;  // {r, g, b, a}
  } cases[] = {
      // Matted against white: red at a quarter, half-grey at half, and fully clear.
      {{{255, 191, 191, 64}, {191, 191, 191, 128}, {255, 255, 255, 0}, {10, 20, 30, 255}},
       {{255, 0, 0, 64}, {127, 127, 127, 128}, {0, 0, 0, 0}, {10, 20, 30, 255}}},
      // A dark colour under transparency cannot be matted: all colours stay as stored.
      {{{255, 191, 191, 64}, {20, 0, 40, 128}}, {{255, 191, 191, 64}, {20, 0, 40, 128}}},
  };
  for (const auto& c : cases) {
    const std::vector<uint8_t> file = PsdRow(c.stored);
    MemoryCanvas canvas;
    ASSERT_EQ(codechost::Decode(file.data(), file.size(), canvas), DecodeResult::kOk);
    for (size_t x = 0; x < c.shown.size(); ++x) {
      const uint8_t* px = canvas.pixels.data() + x * 4;
      EXPECT_EQ((std::array<uint8_t, 4>{px[2], px[1], px[0], px[3]}), c.shown[x]) << "pixel " << x;
    }
  }
}
