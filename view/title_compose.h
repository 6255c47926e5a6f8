#pragma once
// The text of the main window's title, composed from the facts about the current picture.
// Pure functions: the language texts come in as values, so every rule can be checked alone.
#include <string>

namespace title_compose {

// The texts of language section "TITLE" that the title uses, by key.
struct TitleTexts {
  std::wstring unit10;      // pixel-count unit ("pixels"; Chinese: tens of millions)
  std::wstring unit11;      // Chinese: the thousands word between the two digits
  std::wstring unit12;      // Chinese: millions of pixels
  std::wstring prefix13;    // Chinese: "about"
  std::wstring year30;      // date unit words after year, month and day
  std::wstring month31;
  std::wstring day32;
  std::wstring position40;  // before and after the place in the folder
  std::wstring position41;
};

// What the title shows about the current picture.
struct TitleFacts {
  std::wstring file_name;  // empty while nothing is shown
  int width = 0;
  int height = 0;
  std::wstring position_text;  // from PositionText, may be empty
  int zoom_percent = 100;
  std::wstring capture_date;   // from CaptureDateText, may be empty
};

// Names longer than 10 characters keep their first 10, then "..." and the extension (without
// the dot). A long name without an extension keeps its first 10 characters and "...".
std::wstring ShortenFileName(const std::wstring& name);

// The size in pixels as words, for the English-style or the Chinese languages; empty for small
// pictures. The pixel count is computed in 64 bits, so huge pictures do not wrap around.
std::wstring PixelCountText(int width, int height, bool chineseLanguage, const TitleTexts& texts);

// "[3/12]": the place (index counted from 0) of the file among count files.
std::wstring PositionText(int index, int count, const TitleTexts& texts);

// The capture date as shown: for the CJK languages a metadata date of six parts (split at spaces
// and colons, "2021:03:04 10:11:12") becomes year, month and day with unit words and no time;
// any other date is kept as it is.
std::wstring CaptureDateText(const std::wstring& metadataDate, bool cjkLanguage, const TitleTexts& texts);

// The zoom factor as a whole percentage, truncated. A hair of tolerance keeps factors such as
// 0.7, which floats hold as 0.69999..., at 70 rather than 69.
int ZoomPercent(float zoom);

// The whole title; empty while no file is shown.
std::wstring ComposeTitle(const TitleFacts& facts, bool chineseLanguage, const TitleTexts& texts);

}  // namespace title_compose
