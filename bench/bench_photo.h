#pragma once
// A 24-megapixel test photo for the benchmarks: smooth gradients plus noise, so that the JPEG is
// as costly to decode as a real one, written with the platform's JPEG encoder. The noise is the
// same in the three channels, or, as a camera sensor's, independent per channel.
#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/com.h"

namespace bench {

// A camera sensor's noise, nearly Gaussian: the sum of four uniform values of -3.5..3.5, sigma
// about 4.6.
class SensorNoise {
 public:
  explicit SensorNoise(uint32_t seed) : seed_(seed) {}
  int Next() {
    seed_ = seed_ * 1664525u + 1013904223u;
    const uint32_t r = seed_;
    return static_cast<int>((r & 7) + (r >> 8 & 7) + (r >> 16 & 7) + (r >> 24 & 7)) - 14;
  }

 private:
  uint32_t seed_;
};

enum class Noise { kShared, kSensor };

inline bool WritePhoto(IWICImagingFactory* factory, const std::wstring& path, UINT width = 6000, UINT height = 4000,
                       Noise kind = Noise::kShared) {
  std::vector<BYTE> px(size_t{width} * height * 3);
  uint32_t seed = 12345;
  SensorNoise sensor(54321);
  for (UINT y = 0; y < height; ++y) {
    BYTE* row = px.data() + size_t{y} * width * 3;
    for (UINT x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      const int shared = static_cast<int>(seed >> 28) - 8;
      const bool own = kind == Noise::kSensor;
      row[x * 3 + 0] = static_cast<BYTE>(std::clamp(int(x * 255 / width) + (own ? sensor.Next() : shared), 0, 255));
      row[x * 3 + 1] = static_cast<BYTE>(std::clamp(int(y * 255 / height) + (own ? sensor.Next() : shared), 0, 255));
      row[x * 3 + 2] =
          static_cast<BYTE>(std::clamp(int((x + y) % 512 / 2) + (own ? sensor.Next() : shared), 0, 255));
    }
  }
  base::ComPtr<IWICStream> stream;
  base::ComPtr<IWICBitmapEncoder> encoder;
  base::ComPtr<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  return SUCCEEDED(factory->CreateStream(&stream)) &&
         SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
         SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) &&
         SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
         SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
         SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
         format == GUID_WICPixelFormat24bppBGR &&
         SUCCEEDED(frame->WritePixels(height, width * 3, static_cast<UINT>(px.size()), px.data())) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

}  // namespace bench
