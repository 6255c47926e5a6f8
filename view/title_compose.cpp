#include "view/title_compose.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace title_compose {

namespace {

constexpr size_t kShortNameLength = 10;
constexpr int64_t kMillion = 1000000;
constexpr int64_t kTenMillion = 10000000;

std::vector<std::wstring> SplitDate(const std::wstring& text) {
  std::vector<std::wstring> parts;
  std::wstring current;
  for (wchar_t c : text) {
    if (c == L' ' || c == L':') {
      if (!current.empty()) parts.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) parts.push_back(current);
  return parts;
}

}  // namespace

std::wstring ShortenFileName(const std::wstring& name) {
  if (name.size() <= kShortNameLength) return name;
  size_t keep = kShortNameLength;
  // Never cut a surrogate pair in half.
  if (name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF) --keep;
  std::wstring shortName = name.substr(0, keep) + L"...";
  const size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) shortName += name.substr(dot + 1);
  return shortName;
}

std::wstring PixelCountText(int width, int height, bool chineseLanguage, const TitleTexts& texts) {
  const int64_t pixels = static_cast<int64_t>(width) * height;
  if (!chineseLanguage) {
    if (pixels <= kMillion) return {};
    return std::to_wstring(pixels / kMillion) + L"M " + texts.unit10;
  }
  if (pixels >= kMillion && pixels < kTenMillion) {
    return texts.prefix13 + std::to_wstring(pixels / kMillion) + texts.unit12;
  }
  const int64_t tens = pixels / kTenMillion;
  if (tens <= 0) return {};
  const int64_t millions = (pixels % kTenMillion) / kMillion;
  if (millions != 0) return std::to_wstring(tens) + texts.unit11 + std::to_wstring(millions) + texts.unit12;
  return std::to_wstring(tens) + texts.unit10;
}

std::wstring PositionText(int index, int count, const TitleTexts& texts) {
  return texts.position40 + std::to_wstring(static_cast<int64_t>(index) + 1) + L"/" + std::to_wstring(count) +
         texts.position41;
}

std::wstring CaptureDateText(const std::wstring& metadataDate, bool cjkLanguage, const TitleTexts& texts) {
  if (!cjkLanguage) return metadataDate;
  const std::vector<std::wstring> parts = SplitDate(metadataDate);
  if (parts.size() != 6) return metadataDate;
  return parts[0] + texts.year30 + parts[1] + texts.month31 + parts[2] + texts.day32;
}

int ZoomPercent(float zoom) {
  const double percent = static_cast<double>(zoom) * 100.0;
  if (!std::isfinite(percent)) return 0;
  constexpr double kLimit = 2147483647.0;
  if (percent >= kLimit) return static_cast<int>(kLimit);
  if (percent <= -kLimit) return -static_cast<int>(kLimit);
  return static_cast<int>(percent + (percent >= 0 ? 1e-4 : -1e-4));
}

std::wstring ComposeTitle(const TitleFacts& facts, bool chineseLanguage, const TitleTexts& texts) {
  if (facts.file_name.empty()) return {};
  if (facts.width == 0) return facts.file_name + L" - " + facts.position_text;
  std::wstring title = ShortenFileName(facts.file_name) + L" ( " + std::to_wstring(facts.width) + L"x" +
                       std::to_wstring(facts.height);
  const std::wstring pixels = PixelCountText(facts.width, facts.height, chineseLanguage, texts);
  if (!pixels.empty()) title += L" , " + pixels;
  if (!facts.capture_date.empty()) title += L" , " + facts.capture_date;
  title += L" ) - " + facts.position_text + L" " + std::to_wstring(facts.zoom_percent) + L"%";
  return title;
}

}  // namespace title_compose
