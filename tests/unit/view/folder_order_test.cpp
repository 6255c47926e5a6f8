#include <gtest/gtest.h>

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "view/folder_order.h"

using folder_order::NameList;
using folder_order::ScanResult;

namespace {

NameList Names(std::initializer_list<const wchar_t*> list) { return NameList(list.begin(), list.end()); }

}  // namespace

TEST(FolderOrderSplit, FolderAndNameOfEveryKindOfPath) {
  struct Case {
    const wchar_t* path;
    const wchar_t* folder;
    const wchar_t* name;
  } cases[] = {
      {L"C:\\pics\\a.jpg", L"C:\\pics", L"a.jpg"},
      {L"C:\\a.jpg", L"C:\\", L"a.jpg"},                      // a root keeps its backslash
      {L"C:\\pics\\\\a.jpg", L"C:\\pics", L"a.jpg"},           // doubled separator
      {L"\\\\server\\share\\a.png", L"\\\\server\\share", L"a.png"},
      {L"C:/pics/a.jpg", L"C:/pics", L"a.jpg"},
      {L"C:\\dir.png\\x", L"C:\\dir.png", L"x"},              // dots in the folder are not an extension
      {L"a.jpg", L"", L"a.jpg"},
  };
  for (const Case& c : cases) {
    const folder_order::SplitPath split = folder_order::Split(c.path);
    EXPECT_EQ(split.folder, c.folder) << c.path;
    EXPECT_EQ(split.name, c.name) << c.path;
  }
  EXPECT_EQ(folder_order::Join(L"C:\\", L"a.jpg"), L"C:\\a.jpg");
  EXPECT_EQ(folder_order::Join(L"C:\\pics", L"a.jpg"), L"C:\\pics\\a.jpg");
  EXPECT_EQ(folder_order::Join(L"", L"a.jpg"), L"a.jpg");
}

TEST(FolderOrderSplit, PathsBeyondMaxPathStayWhole) {
  const std::wstring folder = L"C:\\" + std::wstring(200, L'd') + L"\\" + std::wstring(150, L'e');
  const std::wstring name = std::wstring(120, L'n') + L".jpg";
  const std::wstring path = folder_order::Join(folder, name);
  ASSERT_GT(path.size(), static_cast<size_t>(MAX_PATH));
  EXPECT_EQ(path, folder + L"\\" + name);
  const folder_order::SplitPath split = folder_order::Split(path);
  EXPECT_EQ(split.folder, folder);
  EXPECT_EQ(split.name, name);
}

TEST(FolderOrderSort, DigitRunsByValueLettersWithoutCase) {
  NameList names = Names({L"img10.png", L"IMG2.jpg", L"img1.JPG", L"Img1b.gif", L"b.bmp", L"A.tif", L"img02.jpg"});
  folder_order::SortLogical(names);
  // "img02" and "IMG2" compare equal by value; their relative order is left to the sort.
  ASSERT_EQ(names.size(), 7u);
  EXPECT_EQ(names[0], L"A.tif");
  EXPECT_EQ(names[1], L"b.bmp");
  EXPECT_EQ(names[2], L"img1.JPG");
  EXPECT_EQ(names[3], L"Img1b.gif");
  EXPECT_TRUE((names[4] == L"IMG2.jpg" && names[5] == L"img02.jpg") ||
              (names[4] == L"img02.jpg" && names[5] == L"IMG2.jpg"));
  EXPECT_EQ(names[6], L"img10.png");

  EXPECT_EQ(folder_order::FindName(names, L"IMG10.PNG"), 6);
  EXPECT_EQ(folder_order::FindName(names, L"img10"), -1);
}

// A large generated corpus: the order must be the platform's, and for names as cameras, phones and
// people write them the sort keys alone must already give it (no fall-back to the slow compare).
TEST(FolderOrderSort, GeneratedNamesComeOutInThePlatformsOrder) {
  std::mt19937 random(4242);
  const std::vector<std::wstring> stems = {L"IMG_", L"img ", L"DSC", L"Photo-", L"photo (", L"holiday_",
                                           L"Holiday ", L"scan.", L"照片", L"Été ", L"a", L"Z", L"_", L"~tmp",
                                           L"x-y", L"x_y", L"Ünïcode", L"ΑΒΓ", L""};
  const std::vector<std::wstring> tails = {L".jpg", L".JPG", L").png", L" copy.jpeg", L"b.gif", L"-2.tif",
                                           L" (1).webp", L"", L"a.bmp"};
  auto number = [&](bool longOnes) {
    std::wstring digits;
    const int zeros = static_cast<int>(random() % 3);
    digits.append(static_cast<size_t>(zeros), L'0');
    const int length = 1 + static_cast<int>(random() % (longOnes ? 14 : 5));
    for (int i = 0; i < length; ++i) digits.push_back(static_cast<wchar_t>(L'0' + random() % 10));
    return digits;
  };
  auto corpus = [&](bool longOnes) {
    NameList names;
    for (int i = 0; i < 6000; ++i) {
      std::wstring name = stems[random() % stems.size()];
      if (random() % 4 != 0) name += number(longOnes);
      // (The last stem is empty: never between two numbers, which would make one longer number.)
      if (random() % 5 == 0) name += stems[random() % (stems.size() - 1)] + number(longOnes);
      name += tails[random() % tails.size()];
      names.push_back(name);
    }
    return names;
  };
  auto inPlatformOrder = [](const NameList& names) {
    for (size_t i = 1; i < names.size(); ++i) {
      if (::StrCmpLogicalW(names[i - 1].c_str(), names[i].c_str()) > 0) return false;
    }
    return true;
  };
  NameList everyday = corpus(false);
  NameList before = everyday;
  EXPECT_TRUE(folder_order::SortLogical(everyday)) << "the sort keys disagreed with the platform";
  EXPECT_TRUE(inPlatformOrder(everyday));
  std::sort(before.begin(), before.end());
  NameList after = everyday;
  std::sort(after.begin(), after.end());
  EXPECT_EQ(before, after) << "every name once, none lost";
  // Numbers past what the platform parses: whatever the keys say, the platform's order comes out.
  NameList longNumbers = corpus(true);
  folder_order::SortLogical(longNumbers);
  EXPECT_TRUE(inPlatformOrder(longNumbers));
}

TEST(FolderOrderNeighbour, StepsWithAndWithoutLooping) {
  using folder_order::NeighbourIndex;
  // A single picture, or none, has no neighbour either way.
  for (bool loop : {false, true}) {
    EXPECT_EQ(NeighbourIndex(0, 1, 1, loop), -1);
    EXPECT_EQ(NeighbourIndex(0, 1, -1, loop), -1);
    EXPECT_EQ(NeighbourIndex(-1, 0, 1, loop), -1);
  }
  // Inside the list both modes agree.
  EXPECT_EQ(NeighbourIndex(1, 4, 1, false), 2);
  EXPECT_EQ(NeighbourIndex(1, 4, -1, true), 0);
  EXPECT_EQ(NeighbourIndex(1, 4, 2, false), 3);
  // Ends without looping are walls.
  EXPECT_EQ(NeighbourIndex(3, 4, 1, false), -1);
  EXPECT_EQ(NeighbourIndex(0, 4, -1, false), -1);
  // With looping the step wraps once to the far end, not by modulo.
  EXPECT_EQ(NeighbourIndex(3, 4, 1, true), 0);
  EXPECT_EQ(NeighbourIndex(0, 4, -1, true), 3);
  EXPECT_EQ(NeighbourIndex(3, 4, 3, true), 0);
  EXPECT_EQ(NeighbourIndex(1, 4, -3, true), 3);
  // Two pictures: both directions reach the other one when looping.
  EXPECT_EQ(NeighbourIndex(1, 2, 1, true), 0);
  EXPECT_EQ(NeighbourIndex(0, 2, -1, true), 1);
}

TEST(FolderOrderRemoval, PositionFollowsTheFileOnScreen) {
  using folder_order::IndexAfterRemoval;
  // [a b c d e], current d (3). Removing c, before it, keeps d current at its new place 2;
  // keeping the number would make e current and "previous" would show d again.
  EXPECT_EQ(IndexAfterRemoval(3, 2, 4), 2);
  // Removing the current file makes the following one current.
  EXPECT_EQ(IndexAfterRemoval(3, 3, 4), 3);
  // Removing the current last file makes the new last one current.
  EXPECT_EQ(IndexAfterRemoval(4, 4, 4), 3);
  // Removing a file after the current one changes nothing.
  EXPECT_EQ(IndexAfterRemoval(1, 3, 4), 1);
  // A file that was not in the list changes nothing but is still clamped.
  EXPECT_EQ(IndexAfterRemoval(2, -1, 5), 2);
  EXPECT_EQ(IndexAfterRemoval(0, 0, 0), -1);
}

TEST(FolderOrderMerge, ShellOrderWinsWhenItShowsTheCurrentFile) {
  ScanResult result;
  result.subFolderNames = {L".", L"..", L"sub.jpg"};
  result.imageNames = Names({L"a.jpg", L"b.jpg", L"c.png", L"hidden.jpg"});
  // The shell window sorts by date, shows a sub-folder named like a picture, a text file, and no
  // "hidden.jpg" (not shown there).
  const std::vector<std::wstring> shell = {L"c.png", L"sub.jpg", L"notes.txt", L"A.JPG", L"b.jpg"};
  folder_order::MergeShellOrder(result, shell, L"a.jpg");
  EXPECT_EQ(result.imageNames, Names({L"c.png", L"A.JPG", L"b.jpg"}));
  EXPECT_EQ(result.index, 1);
}

TEST(FolderOrderMerge, SortedListStaysWhenTheShellDoesNotShowTheCurrentFile) {
  ScanResult result;
  result.subFolderNames = {L".", L".."};
  result.imageNames = Names({L"a.jpg", L"b.jpg", L"c.png"});
  folder_order::MergeShellOrder(result, {L"c.png", L"a.jpg"}, L"B.JPG");
  EXPECT_EQ(result.imageNames, Names({L"a.jpg", L"b.jpg", L"c.png"}));
  EXPECT_EQ(result.index, 1);

  // Sub-folders are compared exactly: a file "Sub.jpg" beside a folder "sub.jpg" is a picture.
  result.subFolderNames.insert(L"sub.jpg");
  folder_order::MergeShellOrder(result, {L"Sub.jpg", L"c.png"}, L"Sub.jpg");
  EXPECT_EQ(result.imageNames, Names({L"Sub.jpg", L"c.png"}));
  EXPECT_EQ(result.index, 0);

  // A current file that is nowhere (a type the viewer does not list) gives -1.
  ScanResult empty;
  empty.imageNames = Names({L"a.jpg"});
  folder_order::MergeShellOrder(empty, {}, L"notes.txt");
  EXPECT_EQ(empty.index, -1);
  EXPECT_EQ(empty.imageNames, Names({L"a.jpg"}));
}
