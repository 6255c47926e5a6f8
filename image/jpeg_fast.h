#pragma once
// JPEG decoding through libjpeg-turbo, for the places where the platform decoder is too slow:
// the decoder scales by 1/2, 1/4 or 1/8 inside the inverse DCT, so a small picture of a large
// photo costs a fraction of a full decode. EXIF orientation is not applied; the caller turns
// the picture. Any failure (not a JPEG, damaged or truncated data, a colour space without an
// RGB conversion such as CMYK, no memory) returns false and leaves the output empty; the caller
// then falls back to the platform decoder.
#include <cstddef>
#include <cstdint>
#include <functional>

class FCObjImage;

// Reads the pixel size from the frame header without decoding the picture.
[[nodiscard]] bool FastJpegDimensions(const uint8_t* data, size_t size, int& width, int& height);

// What the frame header tells without decoding: enough to stand for the picture until its
// pixels are needed.
struct FastJpegHeader {
  int width = 0;
  int height = 0;
  int components = 0;      // 1 grey, 3 colour (YCbCr or RGB), 4 CMYK/YCCK
  bool has_icc = false;    // an embedded colour profile (APP2 "ICC_PROFILE")
  double dpi_x = 96.0;     // from the JFIF density; 96 when it gives none
  double dpi_y = 96.0;
};
// Reads the header from the start of a file (the data must reach the start of the first scan).
[[nodiscard]] bool FastJpegReadHeader(const uint8_t* data, size_t size, FastJpegHeader& header);

// The reduction (1, 2, 4 or 8) for a picture of width x height that is to be fitted into
// maxWidth x maxHeight: the largest one whose result is no smaller than the fitted picture, that
// is the largest d with 1/d >= min(maxWidth / width, maxHeight / height). The result is then at
// least as large as the fitted size in both directions (the decoder rounds scaled sizes up), so
// the final scaling only ever shrinks. A box at least as large as the picture gives 1.
// Returns 0 for a non-positive size or box.
[[nodiscard]] int FastJpegReduction(int width, int height, int maxWidth, int maxHeight);

// Decodes at the reduction above into a new 32 bpp top-down image (blue, green, red, alpha 255).
// The output is width/d x height/d, each rounded up.
[[nodiscard]] bool FastJpegDecodeScaled(const uint8_t* data, size_t size, int maxWidth, int maxHeight,
                                        FCObjImage& out);

// Decodes the whole picture at full size a few rows at a time and hands each row, top to bottom,
// to `takeRow` (32 bpp: blue, green, red, alpha 255; valid only during the call). The decoder
// keeps no picture-sized buffer for a sequential JPEG, so the caller may put the rows straight
// into its own bitmap. The picture must be exactly width x height. Damage that the decoder would
// paper over fails as in FastJpegDecodeScaled; rows already handed over then stay as they are.
[[nodiscard]] bool FastJpegDecodeRows(const uint8_t* data, size_t size, int width, int height,
                                      const std::function<void(int y, const uint8_t* row)>& takeRow);
