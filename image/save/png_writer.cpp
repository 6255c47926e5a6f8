#include "image/save/png_writer.h"

#include <vector>

#include "base/com.h"
#include "image/obj_image.h"
#include "image/wic/factory.h"

bool WriteImagePng(const FCObjImage& image, const std::wstring& path) {
  IWICImagingFactory* factory = GetWicFactory();
  if (!factory || !image.IsValid() || (image.BitsPerPixel() != 24 && image.BitsPerPixel() != 32)) return false;
  // Gather the rows top to bottom, whatever the storage order.
  const int bytesPerRow = image.Width() * image.BitsPerPixel() / 8;
  const int stride = FCObjImage::StrideFor(image.Width(), image.BitsPerPixel());
  std::vector<BYTE> pixels(static_cast<size_t>(stride) * static_cast<size_t>(image.Height()));
  for (int y = 0; y < image.Height(); ++y) {
    std::copy(image.RowPointer(y), image.RowPointer(y) + bytesPerRow, pixels.begin() + static_cast<long>(y) * stride);
  }
  const WICPixelFormatGUID& format =
      image.BitsPerPixel() == 32 ? GUID_WICPixelFormat32bppPBGRA : GUID_WICPixelFormat24bppBGR;
  base::ComPtr<IWICBitmap> bitmap;
  base::ComPtr<IWICStream> stream;
  base::ComPtr<IWICBitmapEncoder> encoder;
  base::ComPtr<IWICBitmapFrameEncode> frame;
  if (FAILED(factory->CreateBitmapFromMemory(static_cast<UINT>(image.Width()), static_cast<UINT>(image.Height()), format,
                                             static_cast<UINT>(stride), static_cast<UINT>(pixels.size()), pixels.data(),
                                             &bitmap)) ||
      FAILED(factory->CreateStream(&stream)) || FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(static_cast<UINT>(image.Width()), static_cast<UINT>(image.Height())))) {
    return false;
  }
  WICPixelFormatGUID negotiated = format;
  if (FAILED(frame->SetPixelFormat(&negotiated))) return false;
  base::ComPtr<IWICBitmapSource> source = bitmap;
  if (!IsEqualGUID(negotiated, format)) {
    base::ComPtr<IWICBitmapSource> converted;
    if (FAILED(::WICConvertBitmapSource(negotiated, bitmap.Get(), &converted))) return false;
    source = converted;
  }
  return SUCCEEDED(frame->WriteSource(source.Get(), nullptr)) && SUCCEEDED(frame->Commit()) &&
         SUCCEEDED(encoder->Commit());
}
