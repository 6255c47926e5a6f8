#include "image/save/encoder_format.h"

#include <cstdint>
#include <vector>

#include "base/com.h"
#include "image/wic/factory.h"

namespace {

bool Is(REFWICPixelFormatGUID a, REFWICPixelFormatGUID b) { return IsEqualGUID(a, b) != FALSE; }

UINT IndexedColours(REFWICPixelFormatGUID format) {
  if (Is(format, GUID_WICPixelFormat1bppIndexed)) return 2;
  if (Is(format, GUID_WICPixelFormat2bppIndexed)) return 4;
  if (Is(format, GUID_WICPixelFormat4bppIndexed)) return 16;
  if (Is(format, GUID_WICPixelFormat8bppIndexed)) return 256;
  return 0;
}

bool HasAlphaChannel(REFWICPixelFormatGUID format) {
  static const GUID* const kWithAlpha[] = {
      &GUID_WICPixelFormat32bppBGRA,        &GUID_WICPixelFormat32bppPBGRA,       &GUID_WICPixelFormat32bppRGBA,
      &GUID_WICPixelFormat32bppPRGBA,       &GUID_WICPixelFormat64bppRGBA,        &GUID_WICPixelFormat64bppPRGBA,
      &GUID_WICPixelFormat64bppBGRA,        &GUID_WICPixelFormat64bppPBGRA,       &GUID_WICPixelFormat16bppBGRA5551,
      &GUID_WICPixelFormat64bppRGBAHalf,    &GUID_WICPixelFormat64bppPRGBAHalf,   &GUID_WICPixelFormat128bppRGBAFloat,
      &GUID_WICPixelFormat128bppPRGBAFloat, &GUID_WICPixelFormat40bppCMYKAlpha,   &GUID_WICPixelFormat80bppCMYKAlpha,
      &GUID_WICPixelFormat32bppRGBA1010102, &GUID_WICPixelFormat64bppBGRAFixedPoint};
  for (const GUID* known : kWithAlpha) {
    if (Is(format, *known)) return true;
  }
  return false;
}

bool IsCmyk(REFWICPixelFormatGUID format) {
  return Is(format, GUID_WICPixelFormat32bppCMYK) || Is(format, GUID_WICPixelFormat64bppCMYK) ||
         Is(format, GUID_WICPixelFormat40bppCMYKAlpha) || Is(format, GUID_WICPixelFormat80bppCMYKAlpha);
}

// An alpha channel, or a palette with transparent entries (a GIF's transparent colour, a PNG's tRNS).
bool MayBeTransparent(IWICBitmapSource* source, REFWICPixelFormatGUID format) {
  if (HasAlphaChannel(format)) return true;
  if (IndexedColours(format) == 0) return false;
  base::ComPtr<IWICPalette> palette;
  BOOL alpha = FALSE;
  return SUCCEEDED(GetWicFactory()->CreatePalette(&palette)) && SUCCEEDED(source->CopyPalette(palette.Get())) &&
         SUCCEEDED(palette->HasAlpha(&alpha)) && alpha;
}

// What the encoder is asked for: the picture's own format, except that CMYK is written as the viewer
// shows it (Wine's JPEG encoder stores CMYK inverted, and we have no separation to keep), and a
// palette with transparent entries asks for an alpha channel, as no encoder writes a transparent index.
WICPixelFormatGUID FormatToAsk(IWICBitmapSource* source, REFWICPixelFormatGUID format) {
  if (IsCmyk(format)) return HasAlphaChannel(format) ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
  if (IndexedColours(format) != 0 && MayBeTransparent(source, format)) return GUID_WICPixelFormat32bppBGRA;
  return format;
}

// The platform's conversion, materialised: Wine's converter accepts most pairs of formats and then
// fails to copy the pixels of any pair not ending in 32bppBGRA, which must fail here and not in the
// middle of the encoder.
HRESULT PlatformConvert(IWICBitmapSource* source, REFWICPixelFormatGUID format, IWICPalette* palette,
                        IWICBitmap** out) {
  IWICImagingFactory* factory = GetWicFactory();
  base::ComPtr<IWICFormatConverter> converter;
  HRESULT hr = factory->CreateFormatConverter(&converter);
  if (SUCCEEDED(hr)) {
    hr = converter->Initialize(source, format, palette ? WICBitmapDitherTypeErrorDiffusion : WICBitmapDitherTypeNone,
                               palette, 0.0, WICBitmapPaletteTypeCustom);
  }
  if (SUCCEEDED(hr)) hr = factory->CreateBitmapFromSource(converter.Get(), WICBitmapCacheOnLoad, out);
  return hr;
}

// Our own last step: 32bppBGRA (straight alpha) composed over the background into opaque 24bppBGR
// or 32bppBGRA.
HRESULT ComposeOverBackground(IWICBitmap* bgra, bool threeBytes, IWICBitmap** out) {
  UINT w = 0, h = 0;
  HRESULT hr = bgra->GetSize(&w, &h);
  if (FAILED(hr)) return hr;
  const uint64_t inStride = uint64_t{w} * 4;
  const uint64_t outStride = threeBytes ? (uint64_t{w} * 3 + 3) & ~uint64_t{3} : inStride;
  if (inStride * h > UINT32_MAX) return E_OUTOFMEMORY;
  std::vector<BYTE> pixels(static_cast<size_t>(inStride * h));
  hr = bgra->CopyPixels(nullptr, static_cast<UINT>(inStride), static_cast<UINT>(pixels.size()), pixels.data());
  if (FAILED(hr)) return hr;
  const BYTE background[3] = {GetBValue(kFlattenBackground), GetGValue(kFlattenBackground),
                              GetRValue(kFlattenBackground)};
  std::vector<BYTE> composed(static_cast<size_t>(outStride * h));
  for (UINT y = 0; y < h; ++y) {
    const BYTE* from = pixels.data() + inStride * y;
    BYTE* to = composed.data() + outStride * y;
    for (UINT x = 0; x < w; ++x, from += 4, to += threeBytes ? 3 : 4) {
      const unsigned alpha = from[3];
      for (int c = 0; c < 3; ++c) to[c] = static_cast<BYTE>((from[c] * alpha + background[c] * (255 - alpha) + 127) / 255);
      if (!threeBytes) to[3] = 255;
    }
  }
  return GetWicFactory()->CreateBitmapFromMemory(
      w, h, threeBytes ? GUID_WICPixelFormat24bppBGR : GUID_WICPixelFormat32bppBGRA, static_cast<UINT>(outStride),
      static_cast<UINT>(composed.size()), composed.data(), out);
}

// The way that always works where the platform decodes at all: the platform's conversion to
// 32bppBGRA, our composition where the target keeps no transparency, then a palette for an indexed
// target or the platform's conversion from plain pixels for any other.
HRESULT ConvertThroughBgra(IWICBitmapSource* source, REFWICPixelFormatGUID target, bool flatten,
                           IWICPalette** palette, IWICBitmap** out) {
  base::ComPtr<IWICBitmap> current;
  HRESULT hr = PlatformConvert(source, GUID_WICPixelFormat32bppBGRA, nullptr, &current);
  if (FAILED(hr)) return hr;
  const UINT colours = IndexedColours(target);
  if (flatten || colours != 0) {
    base::ComPtr<IWICBitmap> composed;
    hr = ComposeOverBackground(current.Get(), Is(target, GUID_WICPixelFormat24bppBGR), &composed);
    if (FAILED(hr)) return hr;
    current = composed;
  }
  WICPixelFormatGUID now{};
  hr = current->GetPixelFormat(&now);
  if (FAILED(hr)) return hr;
  if (Is(now, target)) {
    *out = current.Detach();
    return S_OK;
  }
  if (colours == 0) return PlatformConvert(current.Get(), target, nullptr, out);
  base::ComPtr<IWICPalette> made;
  hr = GetWicFactory()->CreatePalette(&made);
  if (SUCCEEDED(hr)) hr = made->InitializeFromBitmap(current.Get(), colours, FALSE);
  if (SUCCEEDED(hr)) hr = PlatformConvert(current.Get(), target, made.Get(), out);
  if (SUCCEEDED(hr)) *palette = made.Detach();
  return hr;
}

// The source's pixels in the target format, with the palette to give the frame for an indexed one.
HRESULT Prepare(IWICBitmapSource* source, REFWICPixelFormatGUID sourceFormat, REFWICPixelFormatGUID target,
                IWICBitmapSource** out, IWICPalette** palette) {
  const bool flatten = !HasAlphaChannel(target) && MayBeTransparent(source, sourceFormat);
  if (Is(sourceFormat, target) && !flatten) {
    if (IndexedColours(target) != 0) {
      base::ComPtr<IWICPalette> own;
      HRESULT hr = GetWicFactory()->CreatePalette(&own);
      if (SUCCEEDED(hr)) hr = source->CopyPalette(own.Get());
      if (FAILED(hr)) return hr;
      *palette = own.Detach();
    }
    source->AddRef();
    *out = source;
    return S_OK;
  }
  base::ComPtr<IWICBitmap> converted;
  if (flatten || IndexedColours(target) != 0 ||
      FAILED(PlatformConvert(source, target, nullptr, &converted))) {
    HRESULT hr = ConvertThroughBgra(source, target, flatten, palette, &converted);
    if (FAILED(hr)) return hr;
  }
  *out = converted.Detach();
  return S_OK;
}

}  // namespace

HRESULT WriteSourceToFrame(IWICBitmapFrameEncode* frame, IWICBitmapSource* source) {
  if (!frame || !source || !GetWicFactory()) return E_INVALIDARG;
  UINT w = 0, h = 0;
  HRESULT hr = source->GetSize(&w, &h);
  if (SUCCEEDED(hr)) hr = frame->SetSize(w, h);
  WICPixelFormatGUID sourceFormat{};
  if (SUCCEEDED(hr)) hr = source->GetPixelFormat(&sourceFormat);
  if (FAILED(hr)) return hr;

  WICPixelFormatGUID target = FormatToAsk(source, sourceFormat);
  base::ComPtr<IWICBitmapSource> pixels;
  base::ComPtr<IWICPalette> palette;
  hr = frame->SetPixelFormat(&target);
  if (SUCCEEDED(hr)) hr = Prepare(source, sourceFormat, target, &pixels, &palette);
  if (FAILED(hr)) {
    // The answer was a format we could not reach: ask again for plain pixels, which we always make.
    target = MayBeTransparent(source, sourceFormat) ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    palette.Reset();
    hr = frame->SetPixelFormat(&target);
    if (SUCCEEDED(hr)) hr = Prepare(source, sourceFormat, target, &pixels, &palette);
    if (FAILED(hr)) return hr;
  }
  if (palette) {
    hr = frame->SetPalette(palette.Get());
    if (FAILED(hr)) return hr;
  }
  return frame->WriteSource(pixels.Get(), nullptr);
}
