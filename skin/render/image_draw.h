#pragma once
// Drawing a skin picture: the part of the bitmap, the place inside the control and the
// nine-grid, each clamped so that no rectangle of a skin can reach outside the bitmap or the
// control however it is written.
#include <windows.h>

#include "image/obj_image.h"
#include "skin/markup/values.h"

namespace skin {

struct ImagePlacement {
  RECT source{};       // inside the bitmap
  RECT dest{};         // inside the control, in the same coordinates as the control
  RECT corner{};       // source nine-grid margins, each side within the source
  RECT dest_corner{};  // the same margins at the destination, each side within the destination
  bool drawable = false;
};

// Where and what to draw of a bitmap of the given size for the description in the control's rectangle.
ImagePlacement PlaceImage(SIZE bitmap, const ImageDescription& description, const RECT& control);

// Draws a premultiplied 32-bit picture (or a 24-bit one, opaque) as placed.
void DrawPlacedImage(HDC dc, const FCObjImage& picture, const ImagePlacement& placement, const ImageDescription& description);

}  // namespace skin
