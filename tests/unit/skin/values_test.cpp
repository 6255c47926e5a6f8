// Attribute values and picture placement: what a skin writes, how it is read, and where the
// nine-grid may draw however a skin writes its rectangles.
#include <gtest/gtest.h>

#include "skin/markup/values.h"
#include "skin/render/image_draw.h"

namespace {

using skin::ImageDescription;

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom && inner.left <= inner.right && inner.top <= inner.bottom;
}

TEST(SkinValues, ReadsWhatSkinsWriteAndRefusesTheRest) {
  int n = 0;
  EXPECT_TRUE(skin::ParseInt(L" -12 ", n));
  EXPECT_EQ(n, -12);
  for (const wchar_t* bad : {L"", L"12px", L"1e3", L"100001", L"99999999999", L"--1"}) EXPECT_FALSE(skin::ParseInt(bad, n)) << bad;

  skin::Argb colour = 0;
  EXPECT_TRUE(skin::ParseColor(L"#2F6FDE", colour));
  EXPECT_EQ(colour, 0xFF2F6FDEu);
  EXPECT_TRUE(skin::ParseColor(L"0x802F6FDE", colour));
  EXPECT_EQ(colour, 0x802F6FDEu);
  for (const wchar_t* bad : {L"2F6FDE", L"#2F6FD", L"#GGGGGG", L"#1234567890"}) EXPECT_FALSE(skin::ParseColor(bad, colour)) << bad;

  RECT r{};
  EXPECT_TRUE(skin::ParseRect(L"1, 2,3 ,4", r));
  EXPECT_EQ(r.right, 3);
  for (const wchar_t* bad : {L"1,2,3", L"1,2,3,4,5", L"1,,3,4", L"a,b,c,d"}) EXPECT_FALSE(skin::ParseRect(bad, r)) << bad;

  ImageDescription description;
  EXPECT_TRUE(skin::ParseImageDescription(L"images/ok.png", description));
  EXPECT_EQ(description.file, L"images/ok.png");
  EXPECT_FALSE(description.has_source);
  EXPECT_TRUE(skin::ParseImageDescription(
      L"file='images/icon1.png' source='20,0,40,20' dest='12,8,32,28' corner='4,2,4,6' hole='true' fade='128'", description));
  EXPECT_EQ(description.file, L"images/icon1.png");
  EXPECT_TRUE(description.has_source && description.has_dest && description.hole);
  EXPECT_EQ(description.source.left, 20);
  EXPECT_EQ(description.dest.bottom, 28);
  EXPECT_EQ(description.corner.bottom, 6);
  EXPECT_EQ(description.fade, 128);
  EXPECT_TRUE(skin::ParseImageDescription(L"", description));
  EXPECT_TRUE(description.Empty());
  for (const wchar_t* bad : {L"file='a.png", L"file=a.png", L"file='a.png' source='1,2'", L"file='a.png'source='1,2,3,4'",
                             L"source='1,2,3,4'", L"file='a.png' colour='red'", L"file='a.png' fade='300'"}) {
    EXPECT_FALSE(skin::ParseImageDescription(bad, description)) << bad;
  }
}

TEST(SkinValues, PlacementStaysInsideTheBitmapAndTheControl) {
  const SIZE bitmap{40, 20};
  const RECT control{100, 50, 160, 80};
  const struct {
    const wchar_t* description;
    bool drawable;
    RECT source;
    RECT dest;
  } cases[] = {
      {L"file='a' source='20,0,40,20' dest='12,8,32,28'", true, {20, 0, 40, 20}, {112, 58, 132, 78}},
      {L"file='a'", true, {0, 0, 40, 20}, {100, 50, 160, 80}},
      {L"file='a' source='30,-5,90,50'", true, {30, 0, 40, 20}, {100, 50, 160, 80}},
      {L"file='a' dest='-20,-20,500,500'", true, {0, 0, 40, 20}, {100, 50, 160, 80}},
      {L"file='a' source='50,0,60,10'", false, {}, {}},
      {L"file='a' source='10,10,5,5'", false, {}, {}},
      {L"file='a' dest='100,0,120,20'", false, {}, {}},
      {L"file='a' dest='99999,99999,-99999,-99999'", false, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.description);
    ImageDescription description;
    ASSERT_TRUE(skin::ParseImageDescription(c.description, description));
    const skin::ImagePlacement p = skin::PlaceImage(bitmap, description, control);
    EXPECT_EQ(p.drawable, c.drawable);
    if (!c.drawable) continue;
    EXPECT_TRUE(EqualRect(&p.source, &c.source));
    EXPECT_TRUE(EqualRect(&p.dest, &c.dest));
  }
  // Corners never overlap and never pass the source or the destination, whatever the skin says.
  for (const wchar_t* corner : {L"4,2,4,6", L"30,30,30,30", L"-5,-5,-5,-5", L"100000,0,100000,0", L"0,19,0,19"}) {
    SCOPED_TRACE(corner);
    ImageDescription description;
    ASSERT_TRUE(skin::ParseImageDescription(std::wstring(L"file='a' dest='0,0,10,8' corner='") + corner + L"'", description));
    const skin::ImagePlacement p = skin::PlaceImage(bitmap, description, control);
    ASSERT_TRUE(p.drawable);
    EXPECT_TRUE(Inside(p.source, RECT{0, 0, 40, 20}));
    EXPECT_TRUE(Inside(p.dest, control));
    EXPECT_GE(p.corner.left, 0);
    EXPECT_GE(p.corner.top, 0);
    EXPECT_LE(p.corner.left + p.corner.right, p.source.right - p.source.left);
    EXPECT_LE(p.corner.top + p.corner.bottom, p.source.bottom - p.source.top);
    EXPECT_LE(p.dest_corner.left + p.dest_corner.right, p.dest.right - p.dest.left);
    EXPECT_LE(p.dest_corner.top + p.dest_corner.bottom, p.dest.bottom - p.dest.top);
    EXPECT_GE(p.dest_corner.right, 0);
    EXPECT_GE(p.dest_corner.bottom, 0);
  }
  // An empty bitmap draws nothing.
  ImageDescription description;
  ASSERT_TRUE(skin::ParseImageDescription(L"file='a'", description));
  EXPECT_FALSE(skin::PlaceImage(SIZE{0, 0}, description, control).drawable);
}

}  // namespace
