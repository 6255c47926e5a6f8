#pragma once
// A large JPEG opened without its pixels. Some platform decoders (Wine's among them) decode the
// whole picture as soon as the decoder is made, which would keep the user-interface thread busy for
// a large photo. This source answers size, format and resolution from the frame header and makes
// the platform decoder only when pixels, the decoder or the colour profile are first asked for,
// which is on the thread that needs them (a background task, as a rule).
#include <windows.h>
#include <wincodec.h>

#include <mutex>
#include <string>

#include "base/com.h"

class CDeferredJpegSource final : public IWICBitmapSource {
 public:
  // A source for the file when it is a JPEG of at least minPixels pixels whose pixels the platform
  // gives as 24-bit colour or 8-bit grey and that carries no colour profile; otherwise null.
  static base::ComPtr<CDeferredJpegSource> TryOpen(const std::wstring& path, long long minPixels);

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  // IWICBitmapSource
  HRESULT STDMETHODCALLTYPE GetSize(UINT* width, UINT* height) override;
  HRESULT STDMETHODCALLTYPE GetPixelFormat(WICPixelFormatGUID* format) override;
  HRESULT STDMETHODCALLTYPE GetResolution(double* dpiX, double* dpiY) override;
  HRESULT STDMETHODCALLTYPE CopyPalette(IWICPalette* palette) override;
  HRESULT STDMETHODCALLTYPE CopyPixels(const WICRect* rect, UINT stride, UINT size, BYTE* buffer) override;

  // The platform decoder and frame, made on first use (null when the file can no longer be
  // decoded). Safe from any thread.
  IWICBitmapDecoder* Decoder();
  IWICBitmapFrameDecode* Frame();
  IWICColorContext* ColorContext();
  [[nodiscard]] bool IsDecoderMade() const;
  // The whole picture decoded by our own JPEG decoder, turned by `options` as the rows arrive, into
  // a new bitmap of `format` (32bppBGRA or 32bppPBGRA: a JPEG is opaque, so both hold the same
  // bytes). No platform decoder is made, and no picture-sized buffer beside the bitmap: the view's
  // full-resolution frame then costs the bitmap and the file's bytes. Fails, with nothing made,
  // wherever our decoder refuses the file (damage included); the platform path remains.
  HRESULT DecodeOriented(WICBitmapTransformOptions options, const WICPixelFormatGUID& format, IWICBitmap** out) const;
  // Lets the platform decoder go (some keep the whole decoded picture); the next request makes it
  // again. Only where nobody holds the decoder or frame handed out before.
  void ReleaseDecoder();

 private:
  CDeferredJpegSource() = default;
  ~CDeferredJpegSource() = default;
  void MakeDecoder();

  LONG refs_ = 1;
  std::wstring path_;
  UINT width_ = 0;
  UINT height_ = 0;
  WICPixelFormatGUID format_{};
  double dpi_x_ = 96.0;
  double dpi_y_ = 96.0;
  mutable std::mutex mutex_;
  bool tried_ = false;
  base::ComPtr<IWICBitmapDecoder> decoder_;
  base::ComPtr<IWICBitmapFrameDecode> frame_;
  base::ComPtr<IWICColorContext> context_;
};
