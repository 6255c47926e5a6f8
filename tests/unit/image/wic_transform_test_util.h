#pragma once
// Shared by the flip/rotate and scaler tests: a real WIC factory, bitmaps made from bytes,
// pixels read back tightly packed, and a source that records what was asked of it.
#include <gtest/gtest.h>
#include <wincodec.h>

#include <cstdint>
#include <vector>

#include "base/com.h"
#include "image/wic/source_base.h"

namespace wic_test {

using base::ComPtr;

class WicTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_PPV_ARGS(&factory_))));
  }

  // rows are tightly packed: width * bytesPerPixel bytes each.
  ComPtr<IWICBitmap> Bitmap(UINT width, UINT height, REFWICPixelFormatGUID format, UINT bytesPerPixel,
                            std::vector<BYTE> pixels) {
    ComPtr<IWICBitmap> bitmap;
    const UINT stride = width * bytesPerPixel;
    EXPECT_EQ(pixels.size(), size_t{stride} * height);
    EXPECT_TRUE(SUCCEEDED(factory_->CreateBitmapFromMemory(width, height, format, stride,
                                                           static_cast<UINT>(pixels.size()), pixels.data(), &bitmap)));
    return bitmap;
  }

  // The pixels of rc (all of them when null), tightly packed; empty when CopyPixels fails.
  static std::vector<BYTE> Pixels(IWICBitmapSource* source, UINT bytesPerPixel, const WICRect* rc = nullptr) {
    UINT w = 0, h = 0;
    source->GetSize(&w, &h);
    if (rc) {
      w = static_cast<UINT>(rc->Width);
      h = static_cast<UINT>(rc->Height);
    }
    std::vector<BYTE> out(size_t{w} * h * bytesPerPixel);
    if (FAILED(source->CopyPixels(rc, w * bytesPerPixel, static_cast<UINT>(out.size()), out.data()))) out.clear();
    return out;
  }

  static std::vector<BYTE> Noise(size_t count, uint32_t seed) {
    std::vector<BYTE> bytes(count);
    for (auto& b : bytes) {
      seed = seed * 1664525u + 1013904223u;
      b = static_cast<BYTE>(seed >> 24);
    }
    return bytes;
  }

  FCAutoInitializeCOM com_;
  ComPtr<IWICImagingFactory> factory_;
};

// Forwards to a real source and remembers every rectangle that CopyPixels was asked for.
class RecordingSource final : public image::FCWicSourceBase {
 public:
  explicit RecordingSource(IWICBitmapSource* inner) : inner_(inner) {}
  HRESULT STDMETHODCALLTYPE GetSize(UINT* w, UINT* h) noexcept override { return inner_->GetSize(w, h); }
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* f) noexcept override {
    return inner_->GetPixelFormat(f);
  }
  HRESULT STDMETHODCALLTYPE GetResolution(double* x, double* y) noexcept override {
    return inner_->GetResolution(x, y);
  }
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* p) noexcept override { return inner_->CopyPalette(p); }
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rc, UINT stride, UINT size, BYTE* buffer) noexcept override {
    if (rc) requests.push_back(*rc);
    return inner_->CopyPixels(rc, stride, size, buffer);
  }
  std::vector<WICRect> requests;

 private:
  ComPtr<IWICBitmapSource> inner_;
};

}  // namespace wic_test
