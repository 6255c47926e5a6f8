#pragma once
// Pictures written at test time with the platform's encoders, and EXIF orientation put into them.
#include <windows.h>
#include <wincodec.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/com.h"
#include "image/wic/factory.h"
#include "tests/support/test_support.h"
#include "tests/unit/image/exif_test_builder.h"

namespace test_pictures {

using Fill = std::function<uint32_t(UINT x, UINT y)>;  // 0xAARRGGBB

constexpr uint32_t kRed = 0xFFFF0000u, kBlue = 0xFF0000FFu, kGreen = 0xFF00FF00u;

// Writes a picture with the platform's encoder: JPEG as 24 bpp, PNG as 32 bpp with alpha.
inline bool WritePicture(const std::wstring& path, REFGUID container, UINT width, UINT height, const Fill& fill) {
  const bool alpha = IsEqualGUID(container, GUID_ContainerFormatPng);
  const UINT bpp = alpha ? 4 : 3;
  std::vector<BYTE> px(size_t{width} * height * bpp);
  for (UINT y = 0; y < height; ++y) {
    for (UINT x = 0; x < width; ++x) {
      const uint32_t c = fill(x, y);
      BYTE* p = px.data() + (size_t{y} * width + x) * bpp;
      p[0] = BYTE(c), p[1] = BYTE(c >> 8), p[2] = BYTE(c >> 16);
      if (alpha) p[3] = BYTE(c >> 24);
    }
  }
  IWICImagingFactory* factory = GetWicFactory();
  base::ComPtr<IWICStream> stream;
  base::ComPtr<IWICBitmapEncoder> encoder;
  base::ComPtr<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
  const WICPixelFormatGUID asked = format;
  return factory && SUCCEEDED(factory->CreateStream(&stream)) &&
         SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
         SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
         SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
         SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
         SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
         IsEqualGUID(format, asked) &&
         SUCCEEDED(frame->WritePixels(height, width * bpp, static_cast<UINT>(px.size()), px.data())) &&
         SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

// Puts an EXIF block with the orientation right after the JPEG's start marker.
inline bool AddOrientation(const std::wstring& path, uint16_t orientation) {
  std::vector<uint8_t> jpeg = testing_support::ReadBytes(path);
  if (jpeg.size() < 4) return false;
  const std::vector<uint8_t> tiff =
      exif_test::TiffBuilder().Shorts(exif::Directory::kIfd0, exif::kTagOrientation, {orientation}).Build();
  const size_t length = 2 + 6 + tiff.size();
  std::vector<uint8_t> app1 = {0xFF, 0xE1, uint8_t(length >> 8), uint8_t(length), 'E', 'x', 'i', 'f', 0, 0};
  app1.insert(app1.end(), tiff.begin(), tiff.end());
  jpeg.insert(jpeg.begin() + 2, app1.begin(), app1.end());
  return testing_support::WriteBytes(path, jpeg);
}

}  // namespace test_pictures
