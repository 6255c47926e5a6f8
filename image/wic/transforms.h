#pragma once
// Flip/rotate and scaling of WIC bitmap sources. The platform's objects are used where they
// deliver what is asked; our own sources (wic_flip_rotator.h, wic_scaler.h) stand in where the
// platform's flip-rotator cannot turn or its scaler samples instead of averaging.
#include <windows.h>
#include <wincodec.h>

// A source that turns and flips `source` by `options` (rotation clockwise, then the flips).
// The platform's flip-rotator when it initialises and delivers a first row of pixels, ours
// otherwise. E_INVALIDARG for options outside the platform's set.
[[nodiscard]] HRESULT CreateFlipRotator(IWICImagingFactory* factory, IWICBitmapSource* source,
                                        WICBitmapTransformOptions options, IWICBitmapSource** out) noexcept;

// Whether the platform's scaler averages when it reduces (as it does on Windows) rather than
// sampling the nearest pixel. Probed once with a small pattern and remembered for the process.
[[nodiscard]] bool PlatformScalerAverages(IWICImagingFactory* factory) noexcept;

// A source that scales `source` to width x height. Nearest-neighbour requests, and every request
// when the platform's scaler averages, go to the platform's scaler; the rest, and anything the
// platform's scaler refuses, to ours (whose output format may differ: see FCWicScaler).
[[nodiscard]] HRESULT CreateScaler(IWICImagingFactory* factory, IWICBitmapSource* source, UINT width, UINT height,
                                   WICBitmapInterpolationMode mode, IWICBitmapSource** out) noexcept;

// Our own sources whatever the platform can do (formats whose pixels are not whole bytes are
// turned as 32bppBGRA).
[[nodiscard]] HRESULT CreateOwnFlipRotator(IWICImagingFactory* factory, IWICBitmapSource* source,
                                           WICBitmapTransformOptions options, IWICBitmapSource** out) noexcept;
[[nodiscard]] HRESULT CreateOwnScaler(IWICBitmapSource* source, UINT width, UINT height,
                                      WICBitmapInterpolationMode mode, IWICBitmapSource** out) noexcept;
