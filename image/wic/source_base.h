#pragma once
// Plumbing shared by our own WIC bitmap sources (flip/rotate and scaling): reference counting,
// interface lookup, pixel-format facts and the argument checks every CopyPixels makes.
#include <windows.h>
#include <wincodec.h>

#include <atomic>
#include <cstddef>

namespace image {

// IUnknown for a heap object that answers IWICBitmapSource. Objects start with one reference,
// which the creating function hands to its caller.
class FCWicSourceBase : public IWICBitmapSource {
 public:
  FCWicSourceBase(const FCWicSourceBase&) = delete;
  FCWicSourceBase& operator=(const FCWicSourceBase&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) noexcept override;
  ULONG STDMETHODCALLTYPE AddRef() noexcept override;
  ULONG STDMETHODCALLTYPE Release() noexcept override;

 protected:
  FCWicSourceBase() = default;
  virtual ~FCWicSourceBase() = default;

 private:
  std::atomic<ULONG> refs_{1};
};

// Bits per pixel of a WIC pixel format, through the factory's component information.
[[nodiscard]] HRESULT PixelFormatBits(IWICImagingFactory* factory, REFWICPixelFormatGUID format, UINT* bits) noexcept;

// Resolves prc (null means the whole picture) against a picture of width x height and checks the
// caller's stride and buffer for bytesPerPixel-sized pixels. Fails like the platform sources do:
// E_INVALIDARG for a rectangle outside the picture or a stride shorter than a row,
// WINCODEC_ERR_INSUFFICIENTBUFFER when the buffer cannot hold the rows.
[[nodiscard]] HRESULT ResolveCopyRect(const WICRect* prc, UINT width, UINT height, UINT bytesPerPixel, UINT stride,
                                      UINT bufferSize, const BYTE* buffer, WICRect* rect) noexcept;

// Rows of rowBytes each that fit the working budget of one strip read (at least one).
UINT StripRows(size_t rowBytes) noexcept;

// Budget of one strip of source rows held while a transform reads its source.
inline constexpr size_t kStripBudgetBytes = size_t{1} << 20;

}  // namespace image
