#pragma once
// Decoding of a picture file into a thumbnail frame for the in-process thumbnail store: fitted
// into a square box (never enlarged), in display orientation when asked, alpha kept. JPEG goes
// through libjpeg-turbo's reduced decode; every other file, and any JPEG that library refuses,
// through the platform's decoders. Nothing here composes over the canvas or enhances: that is
// ThumbnailToBitmap's work when the frame is shown.
#include <cstdint>
#include <string>

#include "image/thumbnail/frame.h"

// Pictures with more pixels than this are refused: no thumbnail is worth decoding them.
inline constexpr uint64_t kThumbnailMaxSourcePixels = uint64_t{1} << 28;
// JPEG files larger than this are left to the platform decoder instead of being read whole.
inline constexpr uint64_t kThumbnailMaxJpegBytes = uint64_t{256} << 20;

// Decodes `path` to fit maxSide x maxSide. `turn` applies the EXIF orientation to the pixels.
// False (and an empty frame) for a missing, empty, damaged or absurd file.
[[nodiscard]] bool DecodeThumbnail(const std::wstring& path, int maxSide, bool turn, ThumbnailFrame& out);

// A copy of `frame` fitted to maxSide x maxSide with area averaging (a plain copy when it
// already fits). False when the pixels cannot be made.
[[nodiscard]] bool FitThumbnailFrame(const ThumbnailFrame& frame, int maxSide, ThumbnailFrame& out);
