#pragma once
// The value syntax of skin attributes: integers, Booleans, "l,t,r,b" rectangles, "w,h" sizes,
// "#AARRGGBB" colours and picture descriptions. Every parser answers false for text it cannot
// read completely, so a typing mistake in a skin is reported instead of half-applied.
#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace skin {

// A colour with alpha: 0xAARRGGBB. 0 means none (nothing is drawn).
using Argb = uint32_t;

inline COLORREF ToColorRef(Argb colour) {
  return RGB((colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF);
}

// Numbers in skins are pixel measures and small counts; anything beyond this is a mistake.
inline constexpr int kMaxSkinNumber = 100000;

bool ParseInt(std::wstring_view text, int& out);
bool ParseBool(std::wstring_view text, bool& out);
bool ParseRect(std::wstring_view text, RECT& out);
bool ParseSize(std::wstring_view text, SIZE& out);
// "#RRGGBB" (opaque), "#AARRGGBB", or "0xAARRGGBB".
bool ParseColor(std::wstring_view text, Argb& out);

// A picture and how to draw it, written either as a bare archive path ("images/ok.png") or as
// quoted pairs: file='images/icon1.png' source='20,0,40,20' dest='12,8,32,28' corner='4,2,4,6'
// hole='true' fade='128'. source is the part of the bitmap; dest the place inside the control
// (control coordinates; the whole control when absent); corner the nine-grid margins of the
// source that keep their size; hole leaves the middle cell out.
struct ImageDescription {
  std::wstring file;
  RECT source{};
  bool has_source = false;
  RECT dest{};
  bool has_dest = false;
  RECT corner{};
  bool hole = false;
  BYTE fade = 255;

  [[nodiscard]] bool Empty() const { return file.empty(); }
};

// An empty text gives an empty description (no picture) and succeeds.
bool ParseImageDescription(std::wstring_view text, ImageDescription& out);

// Text alignment keywords separated by blanks or commas: left, center, right, top, vcenter,
// bottom. Answers DrawText flags.
bool ParseAlign(std::wstring_view text, UINT& horizontal, UINT& vertical);

}  // namespace skin
