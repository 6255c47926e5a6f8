#pragma once
// Previews from the system thumbnail cache: a ready-made picture so that the first frame shows
// before the full decode has finished.
#include <windows.h>
#include <shobjidl.h>
#include <thumbcache.h>
#include <wincodec.h>

#include <memory>
#include <string>

#include "base/com.h"

struct ThumbnailRequest {
  base::ComPtr<IThumbnailCache> cache;
  base::ComPtr<IShellItem> item;
  base::ComPtr<ISharedBitmap> bitmap;
  DWORD cache_flags = 0;
  // Set when our own store answered: the frame behind `bitmap`, whose pixels can be read directly.
  std::shared_ptr<const struct ThumbnailFrame> frame;
  // 0: as delivered; 1: a low-quality stand-in (a small fast extract); 2: a cached preview of
  // nearly the wanted size on systems before Windows 10.
  int mark = 0;
};

enum ThumbnailMode { kThumbnailFastPreview = 0, kThumbnailScaled = 1, kThumbnailExtract = 2 };

// The size the cache is asked for in the preview and extract modes.
int ThumbnailCacheSize();

// Asks the cache for a thumbnail of the path. False when the cache cannot be made (Wine has none)
// or has nothing for the request.
bool ShellThumbnail(const std::wstring& path, int wantedSize, int mode, ThumbnailRequest& request);

// Turns (before Windows 8.1), scales, colour-matches and enhances the thumbnail and leaves a screen
// bitmap over the canvas background in *bitmap (unchanged on failure).
bool ThumbnailToBitmap(const ThumbnailRequest& request, int width, int height, HBITMAP* bitmap,
                       WICBitmapTransformOptions transform, IWICColorContext* context);
