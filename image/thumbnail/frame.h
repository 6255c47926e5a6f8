#pragma once
// One stored thumbnail: pixels at the store's size (or the picture's own size when smaller), in
// display orientation, and the ISharedBitmap that hands it out as the system cache does.
#include <windows.h>
#include <thumbcache.h>

#include <cstddef>
#include <memory>

#include "image/obj_image.h"

struct ThumbnailFrame {
  FCObjImage image;        // 32 bpp top-down, blue, green, red, straight alpha
  bool hasAlpha = false;   // some pixel is not opaque
  bool complete = false;   // the whole picture at its own size: no larger frame exists

  int LargerSide() const { return image.Width() > image.Height() ? image.Width() : image.Height(); }
  size_t Bytes() const { return static_cast<size_t>(image.Stride()) * static_cast<size_t>(image.Height()); }
};

using ThumbnailFramePtr = std::shared_ptr<const ThumbnailFrame>;

// The largest size of width x height that fits maxSide x maxSide, never larger than the picture:
// the larger side becomes maxSide and the other keeps the aspect, rounded, at least 1.
// (0, 0) for non-positive input.
SIZE FitThumbnailSize(int width, int height, int maxSide) noexcept;

// An ISharedBitmap over a stored frame. GetSharedBitmap hands out the frame's own section, which
// the receiver only reads; several requests may share one frame. Detach gives the caller a copy
// of its own, so a stored frame is never taken away from the store. InitializeBitmap takes over
// the caller's bitmap, as the platform's object does.
[[nodiscard]] HRESULT CreateSharedThumbnail(ThumbnailFramePtr frame, ISharedBitmap** out) noexcept;
