#include "image/thumbnail/frame.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <utility>

#include "base/handles.h"

SIZE FitThumbnailSize(int width, int height, int maxSide) noexcept {
  if (width <= 0 || height <= 0 || maxSide <= 0) return SIZE{0, 0};
  const int larger = width > height ? width : height;
  if (larger <= maxSide) return SIZE{width, height};
  auto fit = [&](int side) {
    const int64_t v = (int64_t{side} * maxSide + larger / 2) / larger;
    return static_cast<LONG>(v < 1 ? 1 : v);
  };
  return width >= height ? SIZE{maxSide, fit(height)} : SIZE{fit(width), maxSide};
}

namespace {

// A 32 bpp top-down DIB section holding a copy of the frame's pixels.
HBITMAP CopySection(const FCObjImage& image) noexcept {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = image.Width();
  info.bmiHeader.biHeight = -image.Height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP copy = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!copy || !bits) return nullptr;
  for (int y = 0; y < image.Height(); ++y) {
    std::memcpy(static_cast<uint8_t*>(bits) + static_cast<size_t>(y) * image.Width() * 4, image.RowPointer(y),
                static_cast<size_t>(image.Width()) * 4);
  }
  return copy;
}

class FCSharedThumbnail final : public ISharedBitmap {
 public:
  explicit FCSharedThumbnail(ThumbnailFramePtr frame)
      : frame_(std::move(frame)), alpha_(frame_->hasAlpha ? WTSAT_ARGB : WTSAT_RGB) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, __uuidof(IUnknown)) || IsEqualIID(iid, __uuidof(ISharedBitmap))) {
      *out = static_cast<ISharedBitmap*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() noexcept override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() noexcept override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetSharedBitmap(HBITMAP* bitmap) noexcept override {
    if (!bitmap) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    *bitmap = frame_ ? frame_->image.SectionHandle() : owned_.Get();
    return *bitmap ? S_OK : E_UNEXPECTED;
  }
  HRESULT STDMETHODCALLTYPE GetSize(SIZE* size) noexcept override {
    if (!size) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    if (frame_) {
      *size = SIZE{frame_->image.Width(), frame_->image.Height()};
      return S_OK;
    }
    BITMAP info{};
    if (!owned_ || ::GetObjectW(owned_.Get(), sizeof(info), &info) == 0) return E_UNEXPECTED;
    *size = SIZE{info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFormat(WTS_ALPHATYPE* alpha) noexcept override {
    if (!alpha) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    *alpha = alpha_;
    return frame_ || owned_ ? S_OK : E_UNEXPECTED;
  }
  HRESULT STDMETHODCALLTYPE InitializeBitmap(HBITMAP bitmap, WTS_ALPHATYPE alpha) noexcept override {
    if (!bitmap) return E_INVALIDARG;
    std::lock_guard<std::mutex> lock(mutex_);
    frame_.reset();
    owned_.Reset(bitmap);
    alpha_ = alpha;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE Detach(HBITMAP* bitmap) noexcept override {
    if (!bitmap) return E_POINTER;
    std::lock_guard<std::mutex> lock(mutex_);
    *bitmap = nullptr;
    if (owned_) {
      *bitmap = owned_.Release();
      return S_OK;
    }
    if (!frame_) return E_UNEXPECTED;
    *bitmap = CopySection(frame_->image);
    if (!*bitmap) return E_OUTOFMEMORY;
    frame_.reset();
    return S_OK;
  }

 private:
  ~FCSharedThumbnail() = default;

  std::atomic<ULONG> refs_{1};
  std::mutex mutex_;
  ThumbnailFramePtr frame_;
  base::BitmapHandle owned_;
  WTS_ALPHATYPE alpha_;
};

}  // namespace

HRESULT CreateSharedThumbnail(ThumbnailFramePtr frame, ISharedBitmap** out) noexcept {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!frame || !frame->image.IsValid() || !frame->image.SectionHandle() || frame->image.BitsPerPixel() != 32) {
    return E_INVALIDARG;
  }
  *out = new (std::nothrow) FCSharedThumbnail(std::move(frame));
  return *out ? S_OK : E_OUTOFMEMORY;
}
