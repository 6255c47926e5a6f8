// The association list as the viewer builds it and as the library reads it: lists from outside are
// applied all or nothing, and only for picture types the viewer offers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "companions/assoc/assoc_list.h"
#include "image/file_types.h"

namespace {

using assoc::Choice;

TEST(AssociationList, ReadsOnlyWholeListsOfOfferedTypes) {
  struct Case {
    const wchar_t* text;
    bool accepted;
    std::vector<Choice> choices;
  };
  const Case cases[] = {
      {L"|gif:1||jpg:0|", true, {{L"gif", true}, {L"jpg", false}}},
      {L"|jfif:1|", true, {{L"jfif", true}}},
      {L"|png:1||png:0|", true, {{L"png", false}}},  // the last state of a type counts
      {L"", false, {}},
      {L"|exe:1|", false, {}},            // an executable type is never registered
      {L"|gif:1||exe:1|", false, {}},     // nor does it let the rest through
      {L"|bat:1||cmd:1|", false, {}},
      {L"|txt:1|", false, {}},            // handled by nobody here
      {L"|GIF:1|", false, {}},            // the list is lower case
      {L"|gif:2|", false, {}},
      {L"|gif:|", false, {}},
      {L"|gif:11|", false, {}},
      {L"|gif1|", false, {}},
      {L"gif:1|", false, {}},
      {L"|gif:1", false, {}},
      {L"|gif:1|x", false, {}},
      {L"||", false, {}},
      {L"|:1|", false, {}},
      {L"|.gif:1|", false, {}},
      {L"|gif:1|gif:1|", false, {}},
      {L"|jpg:1||\\..\\evil:1|", false, {}},
  };
  for (const Case& c : cases) {
    std::vector<Choice> choices{{L"stale", true}};
    EXPECT_EQ(assoc::ParseList(c.text, choices), c.accepted) << c.text;
    EXPECT_EQ(choices, c.choices) << c.text;
  }
  std::vector<Choice> choices;
  EXPECT_FALSE(assoc::ParseList(nullptr, choices));
}

TEST(AssociationList, LooksNoFurtherThanItsLimitForTheEnd) {
  // A list without a terminator within the limit is refused without being read past it.
  std::wstring entry = L"|gif:1|";
  std::wstring longList;
  while (longList.size() + entry.size() <= assoc::kMaxListChars) longList += entry;
  std::vector<Choice> choices;
  EXPECT_TRUE(assoc::ParseList(longList.c_str(), choices));
  std::wstring unterminated(assoc::kMaxListChars + 64, L'|');
  EXPECT_FALSE(assoc::ParseList(unterminated.c_str(), choices));
  EXPECT_TRUE(choices.empty());
}

TEST(AssociationList, ABoxStandsForItsFamilyAndListsComeOutInOrder) {
  std::map<std::wstring, int> pending;
  for (const std::wstring& extension : assoc::ExpandChoice(L"JPG")) pending[extension] = 1;
  for (const std::wstring& extension : assoc::ExpandChoice(L"png")) pending[extension] = 0;
  EXPECT_EQ(assoc::BuildList(pending), L"|jfif:1||jpe:1||jpeg:1||jpg:1||png:0|");
  EXPECT_TRUE(assoc::ExpandChoice(L"exe").empty());
  EXPECT_TRUE(assoc::ExpandChoice(L"all").empty());
  // What the viewer builds, the library reads back unchanged.
  std::vector<Choice> choices;
  ASSERT_TRUE(assoc::ParseList(assoc::BuildList(pending).c_str(), choices));
  EXPECT_EQ(choices.size(), 5u);
}

TEST(AssociationList, EveryTypeOfferedIsOneTheViewerOpens) {
  for (const std::wstring& extension : assoc::AssociableTypes()) {
    EXPECT_NE(image::ClassifyImageFile(L"a." + extension), 0u) << extension;
  }
  EXPECT_EQ(assoc::AssociableTypes().size(), 27u);
}

}  // namespace
