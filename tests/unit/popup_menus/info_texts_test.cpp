// The information panel's texts without a window: the shooting time, the language lists, the
// file name's title and type, and the file facts read by the exact name.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "popup_dialog/info_panel/info_texts.h"
#include "tests/support/test_support.h"

namespace {

using namespace info_panel;

TEST(InfoTexts, ShootingTimeIsWrittenOutOnlyForSixNumbers) {
  const struct {
    const wchar_t* stored;
    const wchar_t* shown;
  } cases[] = {
      {L"2019:5:1 8:03:09", L"2019-05-01 08:03:09"},
      {L"2021:07:14 09:30:05", L"2021-07-14 09:30:05"},
      {L"2021-07-14  09::30:05", L"2021-07-14 09:30:05"},  // runs of separators count as one
      {L" 2021:07:14 09:30:05 ", L"2021-07-14 09:30:05"},
      {L"2019:05:01", L"2019:05:01"},                      // too few parts: as stored
      {L"2019:05:01 08:03:09:77", L"2019:05:01 08:03:09:77"},  // seven parts: as stored, nothing overrun
      {L"1:2:3:4:5:6:7:8:9:10:11:12:13:14:15:16", L"1:2:3:4:5:6:7:8:9:10:11:12:13:14:15:16"},
      {L"2019:05:01 08:03:xx", L"2019:05:01 08:03:xx"},
      {L"99999999999:1:1 1:1:1", L"99999999999:1:1 1:1:1"},  // a number beyond an int
      {L"", L""},
      {L" :- ", L" :- "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ShootingTimeText(c.stored), c.shown) << "stored " << testing::PrintToString(std::wstring(c.stored));
  }
}

TEST(InfoTexts, LanguageListsGiveTheItemOnlyForKnownValuesAndWholeLists) {
  const std::wstring metering = L"Unknown/Average/Centre/Spot/Multi-spot/Pattern/Partial";
  const std::wstring twoItems = L"Yes/No";
  const std::wstring program = L"0/1/2/3/4/5/6/7/8";
  const struct {
    const char* what;
    std::wstring (*compose)(const std::wstring&, const std::wstring&);
    const wchar_t* value;
    std::wstring list;
    const wchar_t* shown;
  } cases[] = {
      {"metering 1", &MeteringText, L"1", metering, L"Average"},
      {"metering 6", &MeteringText, L"6", metering, L"Partial"},
      {"metering 0 is never shown", &MeteringText, L"0", metering, L""},
      {"metering 255 (other)", &MeteringText, L"255", metering, L""},
      {"metering with a short list", &MeteringText, L"2", L"a/b/c", L""},
      {"metering with runs of separators", &MeteringText, L"2", L"//a//b/c/d/e/f/g//", L"c"},
      {"flash 16 did not fire", &FlashText, L"16", twoItems, L"No"},
      {"flash 25 fired", &FlashText, L"25", twoItems, L"Yes"},
      {"flash with three items", &FlashText, L"1", L"a/b/c", L""},
      {"white balance 1 manual", &WhiteBalanceText, L"1", twoItems, L"Yes"},
      {"white balance 0 auto", &WhiteBalanceText, L"0", twoItems, L"No"},
      {"program 8", &ExposureProgramText, L"8", program, L"8"},
      {"program 9", &ExposureProgramText, L"9", program, L""},
      {"program 0", &ExposureProgramText, L"0", program, L""},
      {"empty value", &FlashText, L"", twoItems, L""},
      {"negative value", &MeteringText, L"-1", metering, L""},
      {"not a number", &WhiteBalanceText, L"auto", twoItems, L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.compose(c.value, c.list), c.shown) << c.what;
  }
}

TEST(InfoTexts, TheNameSplitsAtItsLastDot) {
  const struct {
    const wchar_t* file;
    const wchar_t* title;
    const wchar_t* type;
  } cases[] = {
      {L"holiday.photo.jpeg", L"holiday.photo", L"JPEG"},
      {L"lake.Jpg", L"lake", L"JPG"},
      {L"README", L"README", L""},
      {L".png", L"", L"PNG"},
      {L"ends with a dot.", L"ends with a dot", L""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FileTitle(c.file), c.title);
    EXPECT_EQ(FileType(c.file), c.type);
  }
}

TEST(InfoTexts, FileFactsNameOneFileExactlyAndNeverAPattern) {
  testing_support::TempDir folder;
  ASSERT_TRUE(testing_support::WriteText(folder.File(L"a1.jpg"), "12345"));
  FileFacts facts;
  ASSERT_TRUE(ReadFileFacts(folder.File(L"a1.jpg"), facts));
  EXPECT_EQ(facts.file_name, L"a1.jpg");
  EXPECT_EQ(facts.size, 5u);
  EXPECT_FALSE(LocalTimeText(facts.modified).empty());
  // Patterns that a directory search would match to a1.jpg name no file here.
  for (const wchar_t* pattern : {L"a?.jpg", L"a*.jpg", L"*", L"a1.jp?"}) {
    FileFacts none;
    EXPECT_FALSE(ReadFileFacts(folder.File(pattern), none)) << testing::PrintToString(std::wstring(pattern));
    EXPECT_TRUE(none.file_name.empty());
  }
  EXPECT_FALSE(ReadFileFacts(folder.Path().substr(0, folder.Path().size() - 1), facts)) << "a folder is no file";
  EXPECT_FALSE(ReadFileFacts(L"", facts));
  EXPECT_EQ(LocalTimeText(FILETIME{}), L"");
}

TEST(InfoTexts, RowsOfAPictureWithoutAFileOrMetadataAreEmpty) {
  const Rows rows = ComposeRows(nullptr, nullptr, SIZE{0, 0}, Lists{});
  ASSERT_EQ(rows.size(), 19u);
  for (const auto& [name, text] : rows) EXPECT_EQ(text, L"") << testing::PrintToString(std::wstring(name));
}

}  // namespace
