#pragma once
// An opened picture: a WIC bitmap source with what was learnt while opening it. It makes no pixels
// by itself; consumers ask it for the display size, the oriented full-resolution bitmap, a scaled
// source or a screen bitmap fitted to the window.
#include <windows.h>
#include <wincodec.h>

#include <memory>
#include <string>

#include "base/com.h"
#include "image/wic/deferred_jpeg_source.h"
#include "image/exif/metadata.h"

class CWICImageLoader {
 public:
  CWICImageLoader() : metadata_(std::make_unique<ImageMetadata>()) {}
  virtual ~CWICImageLoader() = default;
  CWICImageLoader(const CWICImageLoader&) = delete;
  CWICImageLoader& operator=(const CWICImageLoader&) = delete;

  // For a large JPEG opened without its pixels, the first call makes the platform decoder (which
  // may decode the whole picture): call it where that may take time.
  IWICBitmapDecoder* Decoder() const;
  IWICBitmapSource* FrameSource() const { return frame_source_.Get(); }
  IWICColorContext* ColorContext() const { return color_context_.Get(); }
  ImageMetadata& Metadata() const { return *metadata_; }
  // Which decoder produced the picture: "wic", "gdiplus", "library" or "none".
  const char* DecoderName() const { return decoder_name_; }

  // Whether the picture has several frames to animate; never makes a deferred decoder.
  bool IsAnimatedPicture() const;
  // True while a large JPEG stands for itself from its header (see CDeferredJpegSource).
  bool IsDeferred() const { return deferred_ != nullptr; }

  // (width, height) as displayed: exchanged for a quarter turn; (0, 0) without a source.
  SIZE GetDisplaySize() const;
  WICBitmapTransformOptions Transform() const { return OrientationToTransform(metadata_->orientation); }

  // Full resolution, orientation applied, 32bppBGRA (or 32bppPBGRA when asked: the zoom key
  // frames take their pixels premultiplied); colour-managed to sRGB when asked and a profile exists.
  HRESULT GetOrientedBitmap(bool applyProfile, IWICBitmap** out,
                            const WICPixelFormatGUID& pixelFormat = GUID_WICPixelFormat32bppBGRA) const;
  // The same pixels for the view's zoom frames, made with the least memory at hand: a large JPEG
  // opened from its header is decoded by our own decoder straight into the bitmap, turned as it
  // goes, so neither the platform decoder's whole-picture buffers nor a second turned copy exist
  // (such a JPEG carries no colour profile). Anything else, or a file our decoder refuses, takes
  // GetOrientedBitmap.
  HRESULT GetOrientedViewBitmap(bool applyProfile, IWICBitmap** out, const WICPixelFormatGUID& pixelFormat) const;
  // The oriented picture scaled to (width, height); hands out the colour context.
  HRESULT GetScaledSource(int width, int height, IWICColorContext** context, IWICBitmapSource** out) const;

  // Drops decoder, source and colour context and resets the metadata so the file may be replaced.
  void ReleaseFile();
  // For a large JPEG opened without its pixels: lets the platform decoder made for them go again
  // (it may hold the whole decoded picture), once the caller has what it needed. Only from the
  // picture's task queue, where nobody else uses the decoder.
  void ReleasePlatformDecoder() const;
  // Opens a file into this loader (WIC, then GDI+, then the optional decoder library).
  void Load(const std::wstring& path);

  // Builds a loader around a ready source (in-memory bitmaps, scaled copies for saving).
  static std::shared_ptr<CWICImageLoader> FromSource(IWICBitmapSource* source, IWICColorContext* context);

 private:
  bool LoadDeferredJpeg(const std::wstring& path);
  bool LoadWithWic(const std::wstring& path);
  bool LoadWithGdiplus(const std::wstring& path);
  bool LoadWithLibrary(const std::wstring& path);

  base::ComPtr<IWICBitmapDecoder> decoder_;
  base::ComPtr<CDeferredJpegSource> deferred_;
  base::ComPtr<IWICBitmapSource> frame_source_;
  std::unique_ptr<ImageMetadata> metadata_;
  base::ComPtr<IWICColorContext> color_context_;
  const char* decoder_name_ = "none";
};

using CWICImageLoaderPtr = std::shared_ptr<CWICImageLoader>;

CWICImageLoaderPtr OpenImage(const std::wstring& path);
bool IsAnimated(IWICBitmapDecoder* decoder);

// Decodes at (width, height) in display orientation, colour-managed, turned and enhanced, and leaves
// a screen bitmap drawn over the canvas background in *bitmap (unchanged on failure).
bool DecodeToFitBitmap(const CWICImageLoader& loader, int width, int height, HBITMAP* bitmap);
// The same steps up to the pixel image (used by DecodeToFitBitmap and the probes).
bool DecodeToFitImage(const CWICImageLoader& loader, int width, int height, class FCObjImage& image);

// Support operations shared by the imaging code.
HRESULT ColourManage(IWICBitmapSource* source, IWICColorContext* embedded, bool reverse, IWICBitmapSource** out);
HRESULT FlipRotate(IWICBitmapSource* source, WICBitmapTransformOptions options, IWICBitmapSource** out);
HRESULT ScaleSource(IWICBitmapSource* source, int width, int height, WICBitmapInterpolationMode mode,
                    IWICBitmapSource** out);
// Materialises a source (create bitmap from source, cache on load).
HRESULT Materialise(IWICBitmapSource* source, IWICBitmap** out);
