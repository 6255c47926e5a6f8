#pragma once
// Pixels in a form an encoder frame accepts. The frame is asked for the picture's own pixel format
// and answers the nearest one it can write; the picture is converted to that answer. A target that
// keeps no transparency gets the picture composed over white; an indexed target gets a palette made
// from the picture. Where the platform's converter refuses a pair of formats (Wine's converts most
// formats only to 32bppBGRA), the pixels go through 32bppBGRA and the last step is ours.
#include <windows.h>
#include <wincodec.h>

// The colour under transparent pixels in targets without transparency (0xRRGGBB).
inline constexpr COLORREF kFlattenBackground = RGB(255, 255, 255);

// Sets the frame's size, pixel format (and palette) and writes the source into it.
[[nodiscard]] HRESULT WriteSourceToFrame(IWICBitmapFrameEncode* frame, IWICBitmapSource* source);
