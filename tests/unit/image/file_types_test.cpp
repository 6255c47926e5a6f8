#include <gtest/gtest.h>

#include <iterator>
#include <string>

#include "image/file_types.h"

using image::ClassifyImageFile;

TEST(ClassifyImageFile, ExtensionOfTheLastComponentPicksTheFirstMatchingList) {
  struct Case { const wchar_t* path; unsigned cls; } cases[] = {
      {L"x.JPEG", 2},  {L"PHOTO.JPG", 2}, {L"x.Tif", 4},   {L"x.dib", 1},     {L"x.gif", 3},
      {L"x.png", 5},   {L"x.ico", 6},     {L"x.psd", 7},   {L"x.tga", 8},     {L"x.oxo", 9},
      {L"x.NEF", 10},  {L"x.3fr", 10},    {L"x.webp", 11}, {L"x.j2k", 11},    {L"x.wmf", 12},
      {L"x.emf", 13},  {L"x.jng", 14},    {L"x.j2c", 15},  {L"x.targa", 0},   {L"x.txt", 0},
      {L"C:\\dir.png\\file", 0},          {L"C:/dir.png/file", 0},            {L"C:\\p\\a.png.txt", 0},
      {L"a.png.", 0},  {L"noext", 0},     {L"", 0},        {L".png", 5},      {L"x.jp", 0},
      {L"x.jpg,jpeg", 0},                 {L"x.bmp,", 0},  {L"C:\\a b\\my photo.jpe", 2},
      {L"\\\\?\\C:\\missing\\never.jfif", 2},
  };
  for (const Case& c : cases) EXPECT_EQ(ClassifyImageFile(c.path), c.cls) << std::wstring(c.path).c_str();
  EXPECT_EQ(ClassifyImageFile(static_cast<const wchar_t*>(nullptr)), 0u);
}

TEST(FileTypes, OnlyTheFirstFiveClassesAreWritable) {
  EXPECT_FALSE(image::IsWritableClass(0));
  for (unsigned c = 1; c <= 5; ++c) EXPECT_TRUE(image::IsWritableClass(c));
  EXPECT_FALSE(image::IsWritableClass(6));
  EXPECT_FALSE(image::IsWritableClass(15));
}

TEST(FileTypes, OpenFilterOffersHandledFilesOnlyExceptTarga) {
  const std::wstring filter = image::BuildOpenFilter(L"图片 100%d");
  ASSERT_EQ(filter.rfind(L"图片 100%d (*.*)|*.bmp;*.dib;", 0), 0u);
  ASSERT_EQ(filter.substr(filter.size() - 7), L"*.x3f||");
  const size_t start = filter.find(L'|') + 1;
  const std::wstring patterns = filter.substr(start, filter.size() - 2 - start);
  size_t count = 0;
  for (size_t pos = 0; pos < patterns.size();) {
    size_t end = patterns.find(L';', pos);
    if (end == std::wstring::npos) end = patterns.size();
    const std::wstring name = L"x" + patterns.substr(pos + 1, end - pos - 1);  // "*.ext" -> "x.ext"
    EXPECT_EQ(ClassifyImageFile(name) != 0, name != L"x.targa") << name.c_str();
    pos = end + 1;
    ++count;
  }
  EXPECT_EQ(count, 92u);
  for (const wchar_t* absent : {L"*.oxo", L"*.wmf", L"*.emf"}) EXPECT_EQ(filter.find(absent), std::wstring::npos);
}

TEST(FileTypes, DialogFiltersBecomeNulSeparatedPairs) {
  const std::wstring save = image::ToDialogFilter(image::kSaveAsFilter);
  constexpr wchar_t kPairs[] = L"JPEG\0*.jpg\0PNG\0*.png\0BMP\0*.bmp\0GIF\0*.gif\0TIFF\0*.tiff\0\0";
  EXPECT_EQ(save, std::wstring(kPairs, std::size(kPairs) - 1));
  EXPECT_EQ(std::wstring(image::kSaveAsDefaultExtension), L"jpg");
  const unsigned expected[] = {0, 2, 5, 1, 3, 4, 0};
  for (unsigned i = 0; i < 7; ++i) EXPECT_EQ(image::SaveFilterIndexToClass(i), expected[i]) << i;
}
