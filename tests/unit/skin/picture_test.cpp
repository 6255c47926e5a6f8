// Pictures decoded from the archive: a good one draws, and one whose header lies about its size
// or whose data is cut short is refused before anything is drawn.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "image/gdiplus_include.h"
#include "skin/render/resources.h"
#include "tests/unit/skin/test_png.h"
#include "tests/unit/skin/zip_writer.h"

namespace {

using skin_test::Png;

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
