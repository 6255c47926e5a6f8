#pragma once
// The whole of a WIC bitmap of four bytes a pixel, locked, with its memory checked: `height` rows
// of `stride` bytes, each at least width x 4, lie inside what the lock hands out.
#include <windows.h>
#include <wincodec.h>

#include "base/com.h"

struct LockedPixels {
  base::ComPtr<IWICBitmapLock> lock;
  BYTE* data = nullptr;
  UINT stride = 0;
};

// flags: WICBitmapLockRead and/or WICBitmapLockWrite. E_FAIL when the memory is not as promised.
[[nodiscard]] HRESULT LockWholeBitmap(IWICBitmap* bitmap, UINT width, UINT height, DWORD flags, LockedPixels& out);
