// Pictures decoded from the archive: a good one draws, and one whose header lies about its size
// or whose data is cut short is refused before anything is drawn.
#include <gtest/gtest.h>

#include <zlib.h>

#include <string>
#include <vector>

#include "image/gdiplus_include.h"
#include "skin/render/resources.h"
#include "tests/unit/skin/zip_writer.h"

namespace {

void Chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& data) {
  const uint32_t length = static_cast<uint32_t>(data.size());
  for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<uint8_t>(length >> shift));
  std::vector<uint8_t> body(type, type + 4);
  body.insert(body.end(), data.begin(), data.end());
  png.insert(png.end(), body.begin(), body.end());
  const uint32_t crc = crc32(0, body.data(), static_cast<uInt>(body.size()));
  for (int shift = 24; shift >= 0; shift -= 8) png.push_back(static_cast<uint8_t>(crc >> shift));
}

// An RGBA PNG of the given size, every pixel the same blue.
std::vector<uint8_t> Png(uint32_t width, uint32_t height) {
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  for (uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) header.push_back(static_cast<uint8_t>(v >> shift));
  }
  header.insert(header.end(), {8, 6, 0, 0, 0});
  Chunk(png, "IHDR", header);
  std::vector<uint8_t> raw;
  for (uint32_t y = 0; y < height; ++y) {
    raw.push_back(0);
    for (uint32_t x = 0; x < width; ++x) raw.insert(raw.end(), {0x2F, 0x6F, 0xDE, 0xFF});
  }
  uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(packedSize);
  compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()));
  packed.resize(packedSize);
  Chunk(png, "IDAT", packed);
  Chunk(png, "IEND", {});
  return png;
}

TEST(SkinPictures, DecodesGoodPicturesAndRefusesLyingOrDamagedOnes) {
  image::GdiplusSession gdiplus;
  FCObjImage picture;
  ASSERT_TRUE(skin::DecodePicture(Png(3, 2), picture));
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(picture.Height(), 2);
  EXPECT_EQ(picture.PixelPointer(2, 1)[0], 0xDE);  // premultiplied BGRA, opaque

  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
  } bad[] = {
      {"wider than any skin picture", Png(5000, 1)},
      {"header claims 100000 x 100000", [] {
         std::vector<uint8_t> png = Png(2, 2);
         png[16] = png[20] = 0x00;
         png[17] = png[21] = 0x01;
         png[18] = png[22] = 0x86;
         png[19] = png[23] = 0xA0;
         return png;
       }()},
      {"cut short", [] {
         std::vector<uint8_t> png = Png(64, 64);
         png.resize(png.size() / 2);
         return png;
       }()},
      {"not a picture", std::vector<uint8_t>(100, 'x')},
      {"empty", {}},
  };
  for (const auto& b : bad) {
    SCOPED_TRACE(b.what);
    FCObjImage refused;
    EXPECT_FALSE(skin::DecodePicture(b.bytes, refused));
    EXPECT_FALSE(refused.IsValid());
  }

  // Through a window's resources: one decode per picture, and a missing one stays missing.
  auto archive = skin::ZipArchive::Open(
      skin_test::WriteZip({{"images/a.png", std::string(Png(4, 4).begin(), Png(4, 4).end()), false}}), nullptr);
  ASSERT_TRUE(archive);
  skin::SkinResources resources(std::move(archive));
  const FCObjImage* first = resources.Picture(L"images/a.png");
  ASSERT_TRUE(first);
  EXPECT_EQ(resources.Picture(L"IMAGES\\A.PNG"), first);
  EXPECT_EQ(resources.Picture(L"images/missing.png"), nullptr);
  EXPECT_EQ(resources.Picture(L"../images/a.png"), nullptr);
}

}  // namespace
