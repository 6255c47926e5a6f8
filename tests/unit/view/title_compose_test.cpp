#include <gtest/gtest.h>

#include <string>

#include "view/title_compose.h"

namespace {

using title_compose::TitleFacts;
using title_compose::TitleTexts;

TitleTexts EnglishTexts() {
  TitleTexts texts;
  texts.unit10 = L"pixels";
  texts.position40 = L"[";
  texts.position41 = L"]";
  return texts;
}

TitleTexts ChineseTexts() {
  TitleTexts texts;
  texts.unit10 = L"千万像素";
  texts.unit11 = L"千";
  texts.unit12 = L"百万像素";
  texts.prefix13 = L"约";
  texts.year30 = L"年";
  texts.month31 = L"月";
  texts.day32 = L"日";
  texts.position40 = L"第";
  texts.position41 = L"张";
  return texts;
}

TEST(TitleCompose, LongFileNamesAreShortenedBeforeTheExtension) {
  using title_compose::ShortenFileName;
  EXPECT_EQ(ShortenFileName(L""), L"");
  EXPECT_EQ(ShortenFileName(L"abcdef.png"), L"abcdef.png");  // exactly 10: whole
  EXPECT_EQ(ShortenFileName(L"abcdefghijk.png"), L"abcdefghij...png");
  EXPECT_EQ(ShortenFileName(L"holiday.2021.jpeg"), L"holiday.20...jpeg");  // the last dot counts
  EXPECT_EQ(ShortenFileName(L"abcdefghijk"), L"abcdefghij...");  // no extension to repeat
  EXPECT_EQ(ShortenFileName(L"abcdefghijk."), L"abcdefghij...");
  EXPECT_EQ(ShortenFileName(L"假期照片第一天的海边日落.jpg"), L"假期照片第一天的海边...jpg");
  // A pair of surrogates across the cut stays whole by dropping it.
  EXPECT_EQ(ShortenFileName(L"abcdefghi\U0001F600xyz.png"), L"abcdefghi...png");
}

TEST(TitleCompose, PixelCountInEnglishStartsAboveOneMillion) {
  using title_compose::PixelCountText;
  const TitleTexts en = EnglishTexts();
  EXPECT_EQ(PixelCountText(1000, 1000, false, en), L"");
  EXPECT_EQ(PixelCountText(1001, 1000, false, en), L"1M pixels");
  EXPECT_EQ(PixelCountText(1999, 1000, false, en), L"1M pixels");  // truncated
  EXPECT_EQ(PixelCountText(6000, 4000, false, en), L"24M pixels");
  EXPECT_EQ(PixelCountText(0, 5000, false, en), L"");
  EXPECT_EQ(PixelCountText(-5000, 5000, false, en), L"");
  // 60000 x 60000 does not fit 32 bits; the count must not wrap around.
  EXPECT_EQ(PixelCountText(60000, 60000, false, en), L"3600M pixels");
}

TEST(TitleCompose, PixelCountInChineseUsesMillionsAndTensOfMillions) {
  using title_compose::PixelCountText;
  const TitleTexts cn = ChineseTexts();
  EXPECT_EQ(PixelCountText(999, 1000, true, cn), L"");
  EXPECT_EQ(PixelCountText(1000, 1000, true, cn), L"约1百万像素");  // one million is included here
  EXPECT_EQ(PixelCountText(3000, 2000, true, cn), L"约6百万像素");
  EXPECT_EQ(PixelCountText(9999999, 1, true, cn), L"约9百万像素");
  EXPECT_EQ(PixelCountText(10000000, 1, true, cn), L"1千万像素");
  EXPECT_EQ(PixelCountText(5000, 4000, true, cn), L"2千万像素");
  EXPECT_EQ(PixelCountText(5000, 5000, true, cn), L"2千5百万像素");
  EXPECT_EQ(PixelCountText(10999999, 1, true, cn), L"1千万像素");  // under a million past the tens
  EXPECT_EQ(PixelCountText(60000, 60000, true, cn), L"360千万像素");
  EXPECT_EQ(PixelCountText(-3000, 2000, true, cn), L"");
}

TEST(TitleCompose, PositionAndZoom) {
  EXPECT_EQ(title_compose::PositionText(2, 12, EnglishTexts()), L"[3/12]");
  EXPECT_EQ(title_compose::PositionText(0, 1, ChineseTexts()), L"第1/1张");
  EXPECT_EQ(title_compose::ZoomPercent(1.0f), 100);
  EXPECT_EQ(title_compose::ZoomPercent(0.7f), 70);
  EXPECT_EQ(title_compose::ZoomPercent(0.29f), 29);
  EXPECT_EQ(title_compose::ZoomPercent(0.12345f), 12);  // truncated, not rounded
  EXPECT_EQ(title_compose::ZoomPercent(0.999f), 99);
  EXPECT_EQ(title_compose::ZoomPercent(1e30f), 2147483647);
}

TEST(TitleCompose, CaptureDateGetsUnitWordsOnlyInCjkLanguages) {
  using title_compose::CaptureDateText;
  const TitleTexts cn = ChineseTexts();
  EXPECT_EQ(CaptureDateText(L"2021:03:04 10:11:12", true, cn), L"2021年03月04日");
  EXPECT_EQ(CaptureDateText(L"2021:03:04 10:11:12", false, cn), L"2021:03:04 10:11:12");
  // Not six parts: kept as it is.
  EXPECT_EQ(CaptureDateText(L"2021:03:04", true, cn), L"2021:03:04");
  EXPECT_EQ(CaptureDateText(L"2021:03:04 10:11:12 extra", true, cn), L"2021:03:04 10:11:12 extra");
  EXPECT_EQ(CaptureDateText(L"", true, cn), L"");
  // Runs of separators do not make empty parts.
  EXPECT_EQ(CaptureDateText(L"2021:03:04  10:11:12", true, cn), L"2021年03月04日");
}

TEST(TitleCompose, WholeTitle) {
  const TitleTexts en = EnglishTexts();
  TitleFacts facts;
  EXPECT_EQ(title_compose::ComposeTitle(facts, false, en), L"");  // nothing shown

  facts.file_name = L"abcdefghijk.png";
  facts.position_text = L"[3/12]";
  facts.width = 0;
  EXPECT_EQ(title_compose::ComposeTitle(facts, false, en), L"abcdefghijk.png - [3/12]");  // size unknown yet

  facts.width = 1000;
  facts.height = 1000;
  facts.zoom_percent = 50;
  EXPECT_EQ(title_compose::ComposeTitle(facts, false, en), L"abcdefghij...png ( 1000x1000 ) - [3/12] 50%");

  facts.width = 1001;
  facts.capture_date = L"2021:03:04 10:11:12";
  EXPECT_EQ(title_compose::ComposeTitle(facts, false, en),
            L"abcdefghij...png ( 1001x1000 , 1M pixels , 2021:03:04 10:11:12 ) - [3/12] 50%");
}

}  // namespace
