#include "image/wic/locked_pixels.h"

#include <climits>
#include <cstdint>
#include <utility>

HRESULT LockWholeBitmap(IWICBitmap* bitmap, UINT width, UINT height, DWORD flags, LockedPixels& out) {
  out = LockedPixels{};
  if (!bitmap || width == 0 || height == 0 || width > INT_MAX / 4 || height > INT_MAX) return E_INVALIDARG;
  const WICRect all{0, 0, static_cast<INT>(width), static_cast<INT>(height)};
  base::ComPtr<IWICBitmapLock> lock;
  UINT stride = 0, size = 0;
  BYTE* data = nullptr;
  HRESULT hr = bitmap->Lock(&all, flags, &lock);
  if (SUCCEEDED(hr)) hr = lock->GetStride(&stride);
  if (SUCCEEDED(hr)) hr = lock->GetDataPointer(&size, &data);
  if (FAILED(hr)) return hr;
  if (!data || stride < width * 4 || static_cast<uint64_t>(stride) * height > size) return E_FAIL;
  out.lock = std::move(lock);
  out.data = data;
  out.stride = stride;
  return S_OK;
}
