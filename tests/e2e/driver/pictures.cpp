#include "tests/e2e/driver/pictures.h"

#include <wincodec.h>

#include <algorithm>
#include <vector>

#include "base/com.h"
#include "base/handles.h"

namespace e2e {
namespace {

base::ComPtr<IWICImagingFactory> Factory() {
  base::ComPtr<IWICImagingFactory> factory;
  ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory));
  return factory;
}

GUID Container(PictureFormat format) {
  switch (format) {
    case PictureFormat::kJpeg: return GUID_ContainerFormatJpeg;
    case PictureFormat::kGif: return GUID_ContainerFormatGif;
    case PictureFormat::kBmp: return GUID_ContainerFormatBmp;
    case PictureFormat::kPng: break;
  }
  return GUID_ContainerFormatPng;
}

// Encodes one frame of pixels in exactly the given format (the encoder must take it as it is);
// a palette is given for indexed formats.
bool Encode(const std::wstring& path, const GUID& container, UINT width, UINT height, const GUID& pixelFormat,
            UINT stride, std::vector<BYTE>& pixels, IWICPalette* palette = nullptr) {
  base::ComPtr<IWICImagingFactory> factory = Factory();
  base::ComPtr<IWICStream> stream;
  base::ComPtr<IWICBitmapEncoder> encoder;
  base::ComPtr<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = pixelFormat;
  const bool ok = factory && SUCCEEDED(factory->CreateStream(&stream)) &&
                  SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
                  SUCCEEDED(factory->CreateEncoder(container, nullptr, &encoder)) &&
                  SUCCEEDED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) &&
                  SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
                  SUCCEEDED(frame->SetSize(width, height)) && SUCCEEDED(frame->SetPixelFormat(&format)) &&
                  format == pixelFormat && (!palette || SUCCEEDED(frame->SetPalette(palette))) &&
                  SUCCEEDED(frame->WritePixels(height, stride, static_cast<UINT>(pixels.size()), pixels.data())) &&
                  SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
  if (!ok) ::DeleteFileW(path.c_str());
  return ok;
}

std::vector<BYTE> SolidBgr(UINT width, UINT height, COLORREF colour) {
  std::vector<BYTE> pixels(size_t{width} * height * 3);
  for (size_t i = 0; i < pixels.size(); i += 3) {
    pixels[i] = GetBValue(colour);
    pixels[i + 1] = GetGValue(colour);
    pixels[i + 2] = GetRValue(colour);
  }
  return pixels;
}

std::vector<uint8_t> FileBytes(const std::wstring& path) {
  std::vector<uint8_t> bytes;
  base::KernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
  LARGE_INTEGER size{};
  if (!file || !::GetFileSizeEx(file.Get(), &size) || size.QuadPart > (256LL << 20)) return bytes;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  DWORD read = 0;
  if (!bytes.empty() && !::ReadFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr)) read = 0;
  bytes.resize(read);
  return bytes;
}

// The orientation entry of a TIFF structure (the body of an EXIF block); 1 when absent or unreadable.
int TiffOrientation(const uint8_t* tiff, size_t size) {
  if (size < 8) return 1;
  const bool little = tiff[0] == 'I' && tiff[1] == 'I';
  if (!little && !(tiff[0] == 'M' && tiff[1] == 'M')) return 1;
  const auto u16 = [&](size_t at) -> unsigned {
    return little ? tiff[at] | (tiff[at + 1] << 8) : (tiff[at] << 8) | tiff[at + 1];
  };
  const auto u32 = [&](size_t at) -> size_t {
    return little ? size_t{tiff[at]} | (size_t{tiff[at + 1]} << 8) | (size_t{tiff[at + 2]} << 16) |
                        (size_t{tiff[at + 3]} << 24)
                  : (size_t{tiff[at]} << 24) | (size_t{tiff[at + 1]} << 16) | (size_t{tiff[at + 2]} << 8) |
                        size_t{tiff[at + 3]};
  };
  const size_t ifd = u32(4);
  if (ifd + 2 > size) return 1;
  const unsigned count = u16(ifd);
  for (unsigned i = 0; i < count; ++i) {
    const size_t entry = ifd + 2 + size_t{i} * 12;
    if (entry + 12 > size) break;
    if (u16(entry) == 0x0112 && u16(entry + 2) == 3) return static_cast<int>(u16(entry + 8));
  }
  return 1;
}

}  // namespace

bool WriteSolidPicture(const std::wstring& path, PictureFormat format, UINT width, UINT height, COLORREF colour) {
  if (format == PictureFormat::kGif) {
    // One palette entry, every pixel pointing at it.
    base::ComPtr<IWICImagingFactory> factory = Factory();
    base::ComPtr<IWICPalette> palette;
    WICColor entry = 0xFF000000u | (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
    if (!factory || FAILED(factory->CreatePalette(&palette)) || FAILED(palette->InitializeCustom(&entry, 1))) {
      return false;
    }
    std::vector<BYTE> indices(size_t{width} * height, 0);
    return Encode(path, GUID_ContainerFormatGif, width, height, GUID_WICPixelFormat8bppIndexed, width, indices,
                  palette.Get());
  }
  std::vector<BYTE> pixels = SolidBgr(width, height, colour);
  return Encode(path, Container(format), width, height, GUID_WICPixelFormat24bppBGR, width * 3, pixels);
}

bool WriteDeepPng(const std::wstring& path, UINT width, UINT height, COLORREF colour) {
  std::vector<BYTE> pixels(size_t{width} * height * 6);
  const BYTE channels[3] = {GetRValue(colour), GetGValue(colour), GetBValue(colour)};
  for (size_t i = 0; i < pixels.size(); i += 6) {
    for (int c = 0; c < 3; ++c) {
      // 16-bit little-endian samples: the 8-bit value repeated fills the whole range.
      pixels[i + c * 2] = channels[c];
      pixels[i + c * 2 + 1] = channels[c];
    }
  }
  return Encode(path, GUID_ContainerFormatPng, width, height, GUID_WICPixelFormat48bppRGB, width * 6, pixels);
}

bool WriteTranslucentPng(const std::wstring& path, UINT width, UINT height, COLORREF colour, BYTE alpha) {
  std::vector<BYTE> pixels(size_t{width} * height * 4);
  for (size_t i = 0; i < pixels.size(); i += 4) {
    pixels[i] = GetBValue(colour);
    pixels[i + 1] = GetGValue(colour);
    pixels[i + 2] = GetRValue(colour);
    pixels[i + 3] = alpha;
  }
  return Encode(path, GUID_ContainerFormatPng, width, height, GUID_WICPixelFormat32bppBGRA, width * 4, pixels);
}

bool WritePhotoJpeg(const std::wstring& path, UINT width, UINT height, COLORREF colour, uint32_t seed) {
  std::vector<BYTE> pixels(size_t{width} * height * 3);
  const int base[3] = {GetBValue(colour), GetGValue(colour), GetRValue(colour)};
  for (UINT y = 0; y < height; ++y) {
    BYTE* row = pixels.data() + size_t{y} * width * 3;
    for (UINT x = 0; x < width; ++x) {
      seed = seed * 1664525u + 1013904223u;
      // Noise of +-12 and a gentle wave of +-16 keep the colour dominant but the data dense.
      const int noise = static_cast<int>(seed >> 27) - 16 + static_cast<int>((x / 7 + y / 5) % 32) - 16;
      for (int c = 0; c < 3; ++c) row[x * 3 + c] = static_cast<BYTE>(std::clamp(base[c] + noise * (c + 1) / 3, 0, 255));
    }
  }
  return Encode(path, GUID_ContainerFormatJpeg, width, height, GUID_WICPixelFormat24bppBGR, width * 3, pixels);
}

bool WriteTruncatedCopy(const std::wstring& source, const std::wstring& target, size_t bytes) {
  std::vector<uint8_t> content = FileBytes(source);
  if (content.size() <= bytes) return false;
  content.resize(bytes);
  base::KernelHandle file(::CreateFileW(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  return file && ::WriteFile(file.Get(), content.data(), static_cast<DWORD>(content.size()), &written, nullptr) &&
         written == content.size();
}

bool ReadPictureSize(const std::wstring& path, UINT& width, UINT& height) {
  base::ComPtr<IWICImagingFactory> factory = Factory();
  base::ComPtr<IWICBitmapDecoder> decoder;
  base::ComPtr<IWICBitmapFrameDecode> frame;
  return factory &&
         SUCCEEDED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                      WICDecodeMetadataCacheOnDemand, &decoder)) &&
         SUCCEEDED(decoder->GetFrame(0, &frame)) && SUCCEEDED(frame->GetSize(&width, &height));
}

int ReadJpegOrientation(const std::wstring& path) {
  const std::vector<uint8_t> bytes = FileBytes(path);
  if (bytes.size() < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return 1;
  size_t at = 2;
  while (at + 4 <= bytes.size() && bytes[at] == 0xFF) {
    const uint8_t marker = bytes[at + 1];
    if (marker == 0xDA || marker == 0xD9) break;  // the picture data starts: no more headers
    const size_t length = (size_t{bytes[at + 2]} << 8) | bytes[at + 3];
    if (length < 2 || at + 2 + length > bytes.size()) break;
    const uint8_t* body = bytes.data() + at + 4;
    if (marker == 0xE1 && length >= 8 && std::equal(body, body + 6, "Exif\0\0")) {
      return TiffOrientation(body + 6, length - 8);
    }
    at += 2 + length;
  }
  return 1;
}

bool ReadShownSize(const std::wstring& path, UINT& width, UINT& height) {
  if (!ReadPictureSize(path, width, height)) return false;
  std::vector<uint8_t> head = FileBytes(path);
  if (head.size() >= 2 && head[0] == 0xFF && head[1] == 0xD8 && ReadJpegOrientation(path) >= 5) {
    std::swap(width, height);
  }
  return true;
}

}  // namespace e2e
