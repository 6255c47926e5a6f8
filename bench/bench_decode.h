#pragma once
// The bare platform decode the benchmarks compare with: decoder, Fant scaler, converter to
// premultiplied BGRA and CopyPixels, nothing else.
#include <windows.h>
#include <wincodec.h>

#include <string>
#include <vector>

#include "base/com.h"

namespace bench {

inline bool BareDecode(IWICImagingFactory* factory, const std::wstring& file, UINT width, UINT height,
                       std::vector<BYTE>& out) {
  base::ComPtr<IWICBitmapDecoder> decoder;
  base::ComPtr<IWICBitmapFrameDecode> frame;
  base::ComPtr<IWICBitmapScaler> scaler;
  base::ComPtr<IWICFormatConverter> converter;
  out.resize(size_t{width} * height * 4);
  return SUCCEEDED(factory->CreateDecoderFromFilename(file.c_str(), nullptr, GENERIC_READ,
                                                      WICDecodeMetadataCacheOnDemand, &decoder)) &&
         SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(factory->CreateBitmapScaler(&scaler)) &&
         SUCCEEDED(scaler->Initialize(frame.Get(), width, height, WICBitmapInterpolationModeFant)) &&
         SUCCEEDED(factory->CreateFormatConverter(&converter)) &&
         SUCCEEDED(converter->Initialize(scaler.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                         0.0, WICBitmapPaletteTypeCustom)) &&
         SUCCEEDED(converter->CopyPixels(nullptr, width * 4, static_cast<UINT>(out.size()), out.data()));
}

}  // namespace bench
