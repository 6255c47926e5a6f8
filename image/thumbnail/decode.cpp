#include "image/thumbnail/decode.h"

#include <algorithm>
#include <span>
#include <vector>

#include "base/com.h"
#include "base/handles.h"
#include "image/exif/parse.h"
#include "image/jpeg_fast.h"
#include "image/exif/metadata.h"
#include "image/wic/factory.h"
#include "image/wic/loader.h"

namespace {

bool PixelCountSane(uint64_t width, uint64_t height) {
  return width > 0 && height > 0 && width * height <= kThumbnailMaxSourcePixels;
}

// The whole file, when it is a plausible JPEG of a size worth reading at once.
bool ReadJpegFile(const std::wstring& path, std::vector<uint8_t>& bytes) {
  base::KernelHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!file) return false;
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart < 4 ||
      static_cast<uint64_t>(size.QuadPart) > kThumbnailMaxJpegBytes) {
    return false;
  }
  uint8_t head[2] = {};
  DWORD got = 0;
  if (!::ReadFile(file.Get(), head, 2, &got, nullptr) || got != 2 || head[0] != 0xFF || head[1] != 0xD8) return false;
  bytes.resize(static_cast<size_t>(size.QuadPart));
  bytes[0] = head[0];
  bytes[1] = head[1];
  size_t at = 2;
  while (at < bytes.size()) {
    const DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, size_t{1} << 24));
    if (!::ReadFile(file.Get(), bytes.data() + at, want, &got, nullptr) || got == 0) break;
    at += got;
  }
  bytes.resize(at);  // a file that shrank while we read is decoded as far as it goes (and refused if cut)
  return at > 2;
}

// The component count of the first frame header, 0 when none is found before the scan. Bounded
// by the bytes given; used only to tell a four-component (CMYK) JPEG, which libjpeg-turbo cannot
// turn into RGB, from a damaged one.
int JpegComponents(std::span<const uint8_t> jpeg) {
  size_t at = 2;
  while (at + 4 <= jpeg.size()) {
    if (jpeg[at] != 0xFF) return 0;
    const uint8_t marker = jpeg[at + 1];
    if (marker == 0xFF) {
      ++at;
      continue;
    }
    if (marker == 0xDA || marker == 0xD9) return 0;
    const size_t length = (size_t{jpeg[at + 2]} << 8) | jpeg[at + 3];
    const bool frameHeader = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
    if (frameHeader) return length >= 8 && at + 9 < jpeg.size() ? jpeg[at + 9] : 0;
    if (length < 2) return 0;
    at += 2 + length;
  }
  return 0;
}

int JpegOrientation(std::span<const uint8_t> jpeg) {
  const auto block = exif::ReadExifFromJpeg(jpeg);
  if (!block) return 0;
  const exif::Entry* entry = block->Find(exif::Directory::kIfd0, exif::kTagOrientation);
  if (!entry || entry->type != exif::FieldType::kShort) return 0;
  const uint64_t value = block->ElementBits(*entry, 0);
  return value >= 1 && value <= 8 ? static_cast<int>(value) : 0;
}

// Scales (area averaging), turns and copies a source into the frame's 32 bpp pixels. `format` is
// the source's own 32 bpp format, so that no conversion runs: straight alpha for pictures that may
// have transparency, premultiplied (the same bytes when every pixel is opaque) otherwise.
bool FinishFrame(IWICBitmapSource* source, SIZE fit, WICBitmapTransformOptions options, REFWICPixelFormatGUID format,
                 ThumbnailFrame& out) {
  base::ComPtr<IWICBitmapSource> current;
  if (FAILED(ScaleSource(source, fit.cx, fit.cy, WICBitmapInterpolationModeFant, &current))) return false;
  if (options != WICBitmapTransformRotate0) {
    base::ComPtr<IWICBitmap> materialised;
    base::ComPtr<IWICBitmapSource> turned;
    if (FAILED(Materialise(current.Get(), &materialised)) ||
        FAILED(FlipRotate(materialised.Get(), options, &turned))) {
      return false;
    }
    current = turned;
  }
  return out.image.LoadFromWicSource(current.Get(), format);
}

bool AnyTransparent(const FCObjImage& image) {
  for (int y = 0; y < image.Height(); ++y) {
    const uint8_t* row = image.RowPointer(y);
    for (int x = 0; x < image.Width(); ++x) {
      if (row[x * 4 + 3] != 255) return true;
    }
  }
  return false;
}

// The picture's bytes as a WIC bitmap over a copy of the pixels (format gives the alpha meaning).
bool WrapImage(const FCObjImage& image, REFWICPixelFormatGUID format, base::ComPtr<IWICBitmap>& out) {
  IWICImagingFactory* factory = GetWicFactory();
  if (!factory || !image.IsValid() || image.BitsPerPixel() != 32 || image.SignedHeight() > 0) return false;
  const UINT stride = static_cast<UINT>(image.Stride());
  return SUCCEEDED(factory->CreateBitmapFromMemory(static_cast<UINT>(image.Width()), static_cast<UINT>(image.Height()),
                                                   format, stride, stride * static_cast<UINT>(image.Height()),
                                                   image.PixelMemory(), &out));
}

// 0 when the file is no JPEG for libjpeg-turbo (try the platform), 1 done, -1 refused for good.
int DecodeJpeg(const std::wstring& path, int maxSide, bool turn, ThumbnailFrame& out) {
  std::vector<uint8_t> bytes;
  if (!ReadJpegFile(path, bytes)) return 0;
  int width = 0, height = 0;
  if (!FastJpegDimensions(bytes.data(), bytes.size(), width, height)) return 0;
  if (!PixelCountSane(static_cast<uint64_t>(width), static_cast<uint64_t>(height))) return -1;
  const SIZE fit = FitThumbnailSize(width, height, maxSide);
  FCObjImage reduced;
  if (!FastJpegDecodeScaled(bytes.data(), bytes.size(), fit.cx, fit.cy, reduced)) {
    // CMYK goes to the platform; anything else libjpeg-turbo refuses is damaged, and a damaged
    // picture is no thumbnail to keep.
    return JpegComponents(bytes) == 4 ? 0 : -1;
  }
  const int orientation = turn ? JpegOrientation(bytes) : 0;
  bytes = {};
  base::ComPtr<IWICBitmap> wrapped;
  // libjpeg-turbo writes an opaque fourth byte: premultiplied and straight are the same then, and
  // our averaging scaler works on premultiplied pixels without weighting by alpha.
  if (!WrapImage(reduced, GUID_WICPixelFormat32bppPBGRA, wrapped)) return 0;
  reduced.Destroy();
  if (!FinishFrame(wrapped.Get(), fit, OrientationToTransform(orientation), GUID_WICPixelFormat32bppPBGRA, out)) return 0;
  out.hasAlpha = false;
  out.complete = fit.cx == width && fit.cy == height;
  return 1;
}

bool DecodeWithPlatform(const std::wstring& path, int maxSide, bool turn, ThumbnailFrame& out) {
  if (!GetWicFactory()) return false;
  const CWICImageLoaderPtr loader = OpenImage(path);
  IWICBitmapSource* frame = loader->FrameSource();
  UINT width = 0, height = 0;
  if (!frame || FAILED(frame->GetSize(&width, &height)) || !PixelCountSane(width, height)) return false;
  base::ComPtr<IWICBitmapSource> converted;
  if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame, &converted))) return false;
  const SIZE fit = FitThumbnailSize(static_cast<int>(width), static_cast<int>(height), maxSide);
  if (!FinishFrame(converted.Get(), fit, turn ? loader->Transform() : WICBitmapTransformRotate0,
                   GUID_WICPixelFormat32bppBGRA, out)) return false;
  out.hasAlpha = AnyTransparent(out.image);
  out.complete = fit.cx == static_cast<LONG>(width) && fit.cy == static_cast<LONG>(height);
  return true;
}

}  // namespace

bool DecodeThumbnail(const std::wstring& path, int maxSide, bool turn, ThumbnailFrame& out) {
  out.image.Destroy();
  out.hasAlpha = out.complete = false;
  if (maxSide <= 0 || path.empty()) return false;
  const int fast = DecodeJpeg(path, maxSide, turn, out);
  bool ok = fast == 1 || (fast == 0 && DecodeWithPlatform(path, maxSide, turn, out));
  ok = ok && out.image.IsValid();
  if (!ok) {
    out.image.Destroy();
    out.hasAlpha = out.complete = false;
  }
  return ok;
}

bool FitThumbnailFrame(const ThumbnailFrame& frame, int maxSide, ThumbnailFrame& out) {
  out.image.Destroy();
  const SIZE fit = FitThumbnailSize(frame.image.Width(), frame.image.Height(), maxSide);
  base::ComPtr<IWICBitmap> wrapped;
  // Opaque frames skip the alpha weighting: premultiplied and straight are the same bytes then.
  const WICPixelFormatGUID format = frame.hasAlpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat32bppPBGRA;
  if (fit.cx <= 0 || !WrapImage(frame.image, format, wrapped) ||
      !FinishFrame(wrapped.Get(), fit, WICBitmapTransformRotate0, format, out)) {
    out.image.Destroy();
    return false;
  }
  out.hasAlpha = frame.hasAlpha;
  out.complete = frame.complete && fit.cx == frame.image.Width() && fit.cy == frame.image.Height();
  return true;
}
