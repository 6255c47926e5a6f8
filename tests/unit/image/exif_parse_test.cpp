// The EXIF block parser and the JPEG marker walk: values in both byte orders, the orientation
// slot for in-place writes, and damaged input of every kind giving "not present".
#include <gtest/gtest.h>

#include <random>

#include "exif_test_builder.h"
#include "image/exif/parse.h"

namespace {

using exif::Directory;
using exif_test::TiffBuilder;
using exif_test::WrapInJpeg;

TiffBuilder CameraBlock(bool bigEndian) {
  TiffBuilder b(bigEndian);
  b.Shorts(Directory::kIfd0, 274, {6})
      .Ascii(Directory::kIfd0, 271, "Maker")
      .Rationals(Directory::kExif, 33434, {{10, 2000}})
      .Shorts(Directory::kExif, 34855, {400})
      .Longs(Directory::kExif, 0xA002, {4000, 3000})
      .Ascii(Directory::kGps, 1, "s")
      .Rationals(Directory::kGps, 2, {{33, 1}, {51, 1}, {273, 5}});
  return b;
}

// Every entry the parser keeps must lie inside the block, and reading all of it must be safe.
void ExpectEntriesInBounds(const exif::ExifBlock& block) {
  for (size_t d = 0; d < exif::kDirectoryCount; ++d) {
    for (const exif::Entry& e : block.Entries(static_cast<Directory>(d))) {
      const uint64_t bytes = uint64_t{e.count} * exif::FieldTypeSize(static_cast<uint16_t>(e.type));
      ASSERT_GE(e.count, 1u);
      ASSERT_LE(e.valueOffset + bytes, block.Size());
      ASSERT_EQ(block.RawValue(e).size(), bytes);
      for (uint32_t i = 0; i < e.count; ++i) (void)block.ElementBits(e, i);
    }
  }
}

TEST(ExifParse, MarkerWalkSkipsOtherSegmentsAndStopsAtTheScan) {
  const std::vector<uint8_t> tiff = CameraBlock(false).Build();
  std::vector<uint8_t> jpeg = WrapInJpeg(tiff);
  // An XMP APP1 and fill bytes before the EXIF one, a restart marker without length.
  const std::vector<uint8_t> xmp = {0xFF, 0xE1, 0x00, 0x0A, 'h', 't', 't', 'p', ':', '/', '/', 0,
                                    0xFF, 0xFF, 0xFF, 0xD0};
  jpeg.insert(jpeg.begin() + 20, xmp.begin(), xmp.end());
  auto block = exif::ReadExifFromJpeg(jpeg);
  ASSERT_TRUE(block.has_value());
  EXPECT_EQ(block->FileOffset(), exif_test::kTiffOffsetInJpeg + xmp.size());

  // EXIF after the start of scan is image data, not metadata.
  std::vector<uint8_t> late = {0xFF, 0xD8, 0xFF, 0xDA, 0x00, 0x02};
  const std::vector<uint8_t> tail = WrapInJpeg(tiff);
  late.insert(late.end(), tail.begin() + 2, tail.end());
  EXPECT_FALSE(exif::ReadExifFromJpeg(late).has_value());

  // Not a JPEG, a marker without its 0xFF, a length below two.
  EXPECT_FALSE(exif::ReadExifFromJpeg(tiff).has_value());
  std::vector<uint8_t> broken = WrapInJpeg(tiff);
  broken[2] = 0x00;
  EXPECT_FALSE(exif::ReadExifFromJpeg(broken).has_value());
  broken = WrapInJpeg(tiff);
  broken[4] = 0x00;
  broken[5] = 0x01;
  EXPECT_FALSE(exif::ReadExifFromJpeg(broken).has_value());
  EXPECT_FALSE(exif::ReadExifFromJpeg(std::vector<uint8_t>{}).has_value());
}

TEST(ExifParse, OrientationSlotPointsAtTheStoredValue) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "MM" : "II");
    std::vector<uint8_t> jpeg = WrapInJpeg(CameraBlock(bigEndian).Build());
    const auto slot = exif::FindOrientationValueOffset(jpeg);
    ASSERT_TRUE(slot.has_value());
    EXPECT_EQ(slot->value, 6u);
    EXPECT_EQ(slot->bigEndian, bigEndian);
    ASSERT_LE(slot->fileOffset + 2, jpeg.size());
    // Patching the two bytes in the stated order is all an in-place writer has to do.
    jpeg[slot->fileOffset + (bigEndian ? 1 : 0)] = 8;
    jpeg[slot->fileOffset + (bigEndian ? 0 : 1)] = 0;
    const auto again = exif::FindOrientationValueOffset(jpeg);
    ASSERT_TRUE(again.has_value());
    EXPECT_EQ(again->value, 8u);
    EXPECT_EQ(again->fileOffset, slot->fileOffset);
  }
  // Only a SHORT orientation can be patched as two bytes.
  TiffBuilder asLong;
  asLong.Longs(Directory::kIfd0, 274, {6});
  EXPECT_FALSE(exif::FindOrientationValueOffset(WrapInJpeg(asLong.Build())).has_value());
  TiffBuilder none;
  none.Ascii(Directory::kIfd0, 271, "x");
  EXPECT_FALSE(exif::FindOrientationValueOffset(WrapInJpeg(none.Build())).has_value());
}

TEST(ExifParse, DamagedHeadersGiveNoBlock) {
  const std::vector<uint8_t> good = CameraBlock(false).Build();
  auto parse = [](std::vector<uint8_t> t) { return exif::ExifBlock::Parse(t).has_value(); };
  ASSERT_TRUE(parse(good));
  std::vector<uint8_t> t = good;
  t[0] = 'I', t[1] = 'M';
  EXPECT_FALSE(parse(t));
  t = good;
  t[2] = 43;
  EXPECT_FALSE(parse(t));
  t = good;
  t[4] = 0xF0, t[5] = 0xFF;  // first IFD far beyond the block
  EXPECT_FALSE(parse(t));
  t = good;
  t[4] = 2;  // first IFD inside the header
  EXPECT_FALSE(parse(t));
  t = good;
  t[8] = 0xFF, t[9] = 0xFF;  // 65535 entries do not fit
  EXPECT_FALSE(parse(t));
  EXPECT_FALSE(parse({'I', 'I', 42, 0, 8, 0, 0}));
}

TEST(ExifParse, LyingEntriesAreDroppedAndTheRestKept) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "MM" : "II");
    TiffBuilder b(bigEndian);
    std::vector<uint8_t> farAway;
    b.Put(farAway, 0x7FFFFFF0u, 4);
    std::vector<uint8_t> atStart;
    b.Put(atStart, 8, 4);
    b.Shorts(Directory::kIfd0, 274, {3})
        .AddRaw(Directory::kIfd0, 271, 2, 40, farAway)           // value beyond the block
        .AddRaw(Directory::kIfd0, 272, 5, 0x20000001u, atStart)  // count * 8 passes 2^32
        .AddRaw(Directory::kIfd0, 273, 12, 0xFFFFFFFFu, atStart)
        .AddRaw(Directory::kIfd0, 300, 99, 1, {1, 2, 3, 4})      // unknown type
        .AddRaw(Directory::kIfd0, 301, 3, 0, {})                 // no values at all
        .Rationals(Directory::kExif, 33437, {{28, 10}});
    const auto block = exif::ReadExifFromJpeg(WrapInJpeg(b.Build()));
    ASSERT_TRUE(block.has_value());
    EXPECT_EQ(block->Entries(Directory::kIfd0).size(), 1u);
    EXPECT_NE(block->Find(Directory::kIfd0, 274), nullptr);
    for (uint16_t tag : {271, 272, 273, 300, 301}) EXPECT_EQ(block->Find(Directory::kIfd0, tag), nullptr);
    EXPECT_NE(block->Find(Directory::kExif, 33437), nullptr);
  }
}

TEST(ExifParse, SubDirectoryPointersThatLoopOrMissAreAbsent) {
  struct Case {
    const char* name;
    uint16_t tag;
    uint32_t value;
  };
  for (const Case& c : {Case{"exif at first IFD", exif::kTagExifPointer, 8},
                        Case{"gps at first IFD", exif::kTagGpsPointer, 8},
                        Case{"exif beyond end", exif::kTagExifPointer, 0xFFFFFFF0u},
                        Case{"gps inside header", exif::kTagGpsPointer, 4}}) {
    SCOPED_TRACE(c.name);
    TiffBuilder b = CameraBlock(false);
    b.Pointer(c.tag, c.value);
    const auto block = exif::ExifBlock::Parse(b.Build());
    ASSERT_TRUE(block.has_value());
    const Directory hit = c.tag == exif::kTagExifPointer ? Directory::kExif : Directory::kGps;
    const Directory other = hit == Directory::kExif ? Directory::kGps : Directory::kExif;
    EXPECT_FALSE(block->HasDirectory(hit));
    EXPECT_TRUE(block->HasDirectory(other));
    EXPECT_NE(block->Find(Directory::kIfd0, 274), nullptr);
  }
  // GPS pointing at the EXIF directory would list EXIF tags as GPS tags.
  // The builder puts the EXIF directory right after the first IFD's four entries (orientation,
  // maker and the two pointers): header 8 + count 2 + 4 * 12 + next-IFD link 4.
  TiffBuilder b = CameraBlock(false);
  const uint32_t exifAt = 8 + 2 + 4 * 12 + 4;
  const auto plain = exif::ExifBlock::Parse(b.Build());
  ASSERT_TRUE(plain.has_value());
  const exif::Entry* iso = plain->Find(Directory::kExif, 34855);  // second entry, value inline
  ASSERT_NE(iso, nullptr);
  ASSERT_EQ(iso->valueOffset, exifAt + 2 + 12 + 8);
  b.Pointer(exif::kTagGpsPointer, exifAt);
  const auto looped = exif::ExifBlock::Parse(b.Build());
  ASSERT_TRUE(looped.has_value());
  EXPECT_TRUE(looped->HasDirectory(Directory::kExif));
  EXPECT_FALSE(looped->HasDirectory(Directory::kGps));
}

TEST(ExifParse, EveryTruncationAndRandomDamageStaysInBounds) {
  const std::vector<uint8_t> jpeg = WrapInJpeg(CameraBlock(true).Build());
  for (size_t n = 0; n < jpeg.size(); ++n) {
    const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + n);
    const auto block = exif::ReadExifFromJpeg(cut);
    if (block) {
      ExpectEntriesInBounds(*block);
      EXPECT_LE(exif_test::kTiffOffsetInJpeg + block->Size(), n);
    }
  }
  std::mt19937 rng(20240611u);
  int parsed = 0;
  for (int round = 0; round < 4000; ++round) {
    std::vector<uint8_t> damaged = jpeg;
    const int flips = 1 + static_cast<int>(rng() % 8);
    for (int i = 0; i < flips; ++i) {
      // Aim most damage at the TIFF structure, where the offsets and counts live.
      const size_t span = damaged.size() - exif_test::kTiffOffsetInJpeg;
      const size_t at = (rng() % 4 == 0) ? rng() % damaged.size()
                                         : exif_test::kTiffOffsetInJpeg + rng() % span;
      damaged[at] = static_cast<uint8_t>(rng());
    }
    const auto block = exif::ReadExifFromJpeg(damaged);
    if (block) {
      ++parsed;
      ExpectEntriesInBounds(*block);
      if (HasFatalFailure()) return;
    }
  }
  EXPECT_GT(parsed, 100);  // the mutations must still reach the directory code
  std::vector<uint8_t> noise(4096);
  for (int round = 0; round < 200; ++round) {
    for (uint8_t& byte : noise) byte = static_cast<uint8_t>(rng());
    noise[0] = 0xFF, noise[1] = 0xD8;
    const auto block = exif::ReadExifFromJpeg(noise);
    if (block) ExpectEntriesInBounds(*block);
  }
}

}  // namespace
