#include "skin/render/image_draw.h"

#include <algorithm>

#include "base/handles.h"

namespace skin {
namespace {

bool Intersect(const RECT& a, const RECT& b, RECT& out) {
  out = RECT{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
  return out.left < out.right && out.top < out.bottom;
}

// Two margins of a span: each at least 0, together at most the span.
void ClampPair(LONG& first, LONG& second, LONG span) {
  first = std::clamp<LONG>(first, 0, span);
  second = std::clamp<LONG>(second, 0, span - first);
}

// Margins fitted into a smaller destination keep their proportion.
void FitPair(LONG first, LONG second, LONG span, LONG& outFirst, LONG& outSecond) {
  if (first + second <= span) {
    outFirst = first;
    outSecond = second;
    return;
  }
  outFirst = first + second > 0 ? static_cast<LONG>(static_cast<long long>(span) * first / (first + second)) : 0;
  outSecond = span - outFirst;
}

}  // namespace

ImagePlacement PlaceImage(SIZE bitmap, const ImageDescription& description, const RECT& control) {
  ImagePlacement placement;
  const RECT whole{0, 0, bitmap.cx, bitmap.cy};
  if (bitmap.cx <= 0 || bitmap.cy <= 0) return placement;
  if (!Intersect(description.has_source ? description.source : whole, whole, placement.source)) return placement;
  RECT dest = control;
  if (description.has_dest) {
    // Offsets are relative to the control; computed wide so that no skin number can wrap.
    const auto at = [](LONG origin, LONG offset) {
      return static_cast<LONG>(std::clamp<long long>(static_cast<long long>(origin) + offset, INT_MIN / 2, INT_MAX / 2));
    };
    dest = RECT{at(control.left, description.dest.left), at(control.top, description.dest.top), at(control.left, description.dest.right),
                at(control.top, description.dest.bottom)};
  }
  if (!Intersect(dest, control, placement.dest)) return placement;

  RECT corner = description.corner;
  ClampPair(corner.left, corner.right, placement.source.right - placement.source.left);
  ClampPair(corner.top, corner.bottom, placement.source.bottom - placement.source.top);
  placement.corner = corner;
  FitPair(corner.left, corner.right, placement.dest.right - placement.dest.left, placement.dest_corner.left,
          placement.dest_corner.right);
  FitPair(corner.top, corner.bottom, placement.dest.bottom - placement.dest.top, placement.dest_corner.top,
          placement.dest_corner.bottom);
  placement.drawable = true;
  return placement;
}

void DrawPlacedImage(HDC dc, const FCObjImage& picture, const ImagePlacement& placement, const ImageDescription& description) {
  if (!placement.drawable || !picture.IsValid() || !picture.SectionHandle()) return;
  base::MemoryDc memory(::CreateCompatibleDC(dc));
  if (!memory) return;
  base::SelectGuard select(memory.Get(), picture.SectionHandle());
  const bool alpha = picture.BitsPerPixel() == 32;
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, description.fade, static_cast<BYTE>(alpha ? AC_SRC_ALPHA : 0)};
  const int previousMode = ::SetStretchBltMode(dc, COLORONCOLOR);

  const RECT& s = placement.source;
  const RECT& d = placement.dest;
  const RECT& sc = placement.corner;
  const RECT& dc2 = placement.dest_corner;
  const LONG sx[4] = {s.left, s.left + sc.left, s.right - sc.right, s.right};
  const LONG sy[4] = {s.top, s.top + sc.top, s.bottom - sc.bottom, s.bottom};
  const LONG dx[4] = {d.left, d.left + dc2.left, d.right - dc2.right, d.right};
  const LONG dy[4] = {d.top, d.top + dc2.top, d.bottom - dc2.bottom, d.bottom};
  for (int row = 0; row < 3; ++row) {
    for (int column = 0; column < 3; ++column) {
      if (description.hole && row == 1 && column == 1) continue;
      const int sw = sx[column + 1] - sx[column], sh = sy[row + 1] - sy[row];
      const int dw = dx[column + 1] - dx[column], dh = dy[row + 1] - dy[row];
      if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0) continue;
      if (alpha || description.fade != 255) {
        ::GdiAlphaBlend(dc, dx[column], dy[row], dw, dh, memory.Get(), sx[column], sy[row], sw, sh, blend);
      } else {
        ::StretchBlt(dc, dx[column], dy[row], dw, dh, memory.Get(), sx[column], sy[row], sw, sh, SRCCOPY);
      }
    }
  }
  if (previousMode) ::SetStretchBltMode(dc, previousMode);
}

}  // namespace skin
