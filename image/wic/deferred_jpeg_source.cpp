#include "image/wic/deferred_jpeg_source.h"

#include <shlwapi.h>

#include <climits>
#include <cstring>
#include <new>
#include <vector>

#include "image/jpeg_fast.h"
#include "image/wic/factory.h"
#include "image/wic/flip_rotator.h"
#include "image/wic/locked_pixels.h"

namespace {

// The header of a JPEG (with its EXIF and profile segments) lies at the start; a header that does
// not end within this much is not worth the shortcut.
constexpr DWORD kHeaderBytes = 1u << 20;

bool ReadStart(const std::wstring& path, std::vector<uint8_t>& bytes) {
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bytes.resize(kHeaderBytes);
  DWORD read = 0;
  const bool ok = ::ReadFile(file, bytes.data(), kHeaderBytes, &read, nullptr) != FALSE;
  ::CloseHandle(file);
  bytes.resize(ok ? read : 0);
  return ok && read >= 3 && bytes[0] == 0xFF && bytes[1] == 0xD8 && bytes[2] == 0xFF;
}

// The whole file; false for one that cannot be read or is beyond any sane JPEG.
bool ReadWhole(const std::wstring& path, std::vector<uint8_t>& bytes) {
  constexpr LONGLONG kLargestFile = 1LL << 30;
  HANDLE file = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  bool ok = ::GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart <= kLargestFile;
  if (ok) {
    try {
      bytes.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
      ok = false;
    }
  }
  DWORD read = 0;
  ok = ok && ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr) && read == bytes.size();
  ::CloseHandle(file);
  return ok;
}

// Puts source row `y` (width pixels of four bytes) where `map` sends it in a bitmap of the turned
// size: out(X, Y) = in(sx, sy) as image::FlipRotateMapping defines it, solved for (X, Y).
void PlaceRow(const image::FlipRotateMapping& map, int width, int height, int y, const uint8_t* row, BYTE* data,
              size_t stride) {
  if (!map.swap) {
    BYTE* target = data + stride * static_cast<size_t>(map.reverseY ? height - 1 - y : y);
    if (!map.reverseX) {
      std::memcpy(target, row, static_cast<size_t>(width) * 4);
      return;
    }
    for (int x = 0; x < width; ++x) std::memcpy(target + static_cast<size_t>(width - 1 - x) * 4, row + x * 4, 4);
    return;
  }
  BYTE* column = data + static_cast<size_t>(map.reverseY ? height - 1 - y : y) * 4;
  for (int x = 0; x < width; ++x) {
    const int outY = map.reverseX ? width - 1 - x : x;
    std::memcpy(column + stride * static_cast<size_t>(outY), row + static_cast<size_t>(x) * 4, 4);
  }
}

}  // namespace

base::ComPtr<CDeferredJpegSource> CDeferredJpegSource::TryOpen(const std::wstring& path, long long minPixels) {
  std::vector<uint8_t> start;
  FastJpegHeader header;
  if (!ReadStart(path, start) || !FastJpegReadHeader(start.data(), start.size(), header)) return {};
  if (static_cast<long long>(header.width) * header.height < minPixels || header.has_icc) return {};
  if (header.components != 1 && header.components != 3) return {};
  base::ComPtr<CDeferredJpegSource> source;
  base::Adopt(source, new (std::nothrow) CDeferredJpegSource());
  if (!source) return {};
  source->path_ = path;
  source->width_ = static_cast<UINT>(header.width);
  source->height_ = static_cast<UINT>(header.height);
  source->format_ = header.components == 1 ? GUID_WICPixelFormat8bppGray : GUID_WICPixelFormat24bppBGR;
  source->dpi_x_ = header.dpi_x;
  source->dpi_y_ = header.dpi_y;
  return source;
}

HRESULT CDeferredJpegSource::QueryInterface(REFIID iid, void** out) {
  if (!out) return E_POINTER;
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IWICBitmapSource)) {
    *out = static_cast<IWICBitmapSource*>(this);
    AddRef();
    return S_OK;
  }
  *out = nullptr;
  return E_NOINTERFACE;
}

ULONG CDeferredJpegSource::AddRef() { return static_cast<ULONG>(::InterlockedIncrement(&refs_)); }

ULONG CDeferredJpegSource::Release() {
  const LONG left = ::InterlockedDecrement(&refs_);
  if (left == 0) delete this;
  return static_cast<ULONG>(left);
}

HRESULT CDeferredJpegSource::GetSize(UINT* width, UINT* height) {
  if (!width || !height) return E_INVALIDARG;
  *width = width_;
  *height = height_;
  return S_OK;
}

HRESULT CDeferredJpegSource::GetPixelFormat(WICPixelFormatGUID* format) {
  if (!format) return E_INVALIDARG;
  *format = format_;
  return S_OK;
}

HRESULT CDeferredJpegSource::GetResolution(double* dpiX, double* dpiY) {
  if (!dpiX || !dpiY) return E_INVALIDARG;
  *dpiX = dpi_x_;
  *dpiY = dpi_y_;
  return S_OK;
}

HRESULT CDeferredJpegSource::CopyPalette(IWICPalette*) { return WINCODEC_ERR_PALETTEUNAVAILABLE; }

HRESULT CDeferredJpegSource::CopyPixels(const WICRect* rect, UINT stride, UINT size, BYTE* buffer) {
  IWICBitmapFrameDecode* frame = Frame();
  if (!frame) return WINCODEC_ERR_BADIMAGE;
  // The platform may give another format than the header promised; the caller sized its buffer
  // for ours, so that would be unsafe.
  WICPixelFormatGUID actual{};
  UINT w = 0, h = 0;
  if (FAILED(frame->GetPixelFormat(&actual)) || !IsEqualGUID(actual, format_) || FAILED(frame->GetSize(&w, &h)) ||
      w != width_ || h != height_) {
    return WINCODEC_ERR_BADIMAGE;
  }
  return frame->CopyPixels(rect, stride, size, buffer);
}

HRESULT CDeferredJpegSource::DecodeOriented(WICBitmapTransformOptions options, const WICPixelFormatGUID& format,
                                            IWICBitmap** out) const {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsEqualGUID(format, GUID_WICPixelFormat32bppBGRA) && !IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA)) {
    return E_INVALIDARG;
  }
  if (!image::IsValidTransform(options)) return E_INVALIDARG;
  IWICImagingFactory* factory = GetWicFactory();
  if (!factory || width_ == 0 || height_ == 0 || width_ > INT_MAX / 4 || height_ > INT_MAX / 4) return E_FAIL;
  std::vector<uint8_t> file;
  if (!ReadWhole(path_, file)) return WINCODEC_ERR_BADIMAGE;
  const image::FlipRotateMapping map = image::MappingFor(options);
  const UINT outWidth = map.swap ? height_ : width_;
  const UINT outHeight = map.swap ? width_ : height_;
  base::ComPtr<IWICBitmap> bitmap;
  HRESULT hr = factory->CreateBitmap(outWidth, outHeight, format, WICBitmapCacheOnLoad, &bitmap);
  if (FAILED(hr)) return hr;
  bool decoded = false;
  {
    LockedPixels locked;
    hr = LockWholeBitmap(bitmap.Get(), outWidth, outHeight, WICBitmapLockWrite, locked);
    if (FAILED(hr)) return hr;
    const int width = static_cast<int>(width_);
    const int height = static_cast<int>(height_);
    decoded = FastJpegDecodeRows(file.data(), file.size(), width, height, [&](int y, const uint8_t* row) {
      PlaceRow(map, width, height, y, row, locked.data, locked.stride);
    });
  }
  if (!decoded) return WINCODEC_ERR_BADIMAGE;
  (void)bitmap->SetResolution(map.swap ? dpi_y_ : dpi_x_, map.swap ? dpi_x_ : dpi_y_);
  *out = bitmap.Detach();
  return S_OK;
}

void CDeferredJpegSource::MakeDecoder() {
  if (tried_) return;
  tried_ = true;
  IWICImagingFactory* factory = GetWicFactory();
  base::ComPtr<IStream> stream;
  if (!factory || FAILED(::SHCreateStreamOnFileEx(path_.c_str(), STGM_READ | STGM_SHARE_DENY_NONE,
                                                  FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, &stream))) {
    return;
  }
  base::ComPtr<IWICBitmapDecoder> decoder;
  base::ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame))) {
    return;
  }
  base::Adopt(context_, FirstColorContext(factory, frame.Get()));
  decoder_ = decoder;
  frame_ = frame;
}

void CDeferredJpegSource::ReleaseDecoder() {
  std::lock_guard<std::mutex> lock(mutex_);
  frame_.Reset();
  decoder_.Reset();
  context_.Reset();
  tried_ = false;
}

IWICBitmapDecoder* CDeferredJpegSource::Decoder() {
  std::lock_guard<std::mutex> lock(mutex_);
  MakeDecoder();
  return decoder_.Get();
}

IWICBitmapFrameDecode* CDeferredJpegSource::Frame() {
  std::lock_guard<std::mutex> lock(mutex_);
  MakeDecoder();
  return frame_.Get();
}

IWICColorContext* CDeferredJpegSource::ColorContext() {
  std::lock_guard<std::mutex> lock(mutex_);
  MakeDecoder();
  return context_.Get();
}

bool CDeferredJpegSource::IsDecoderMade() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return tried_;
}
