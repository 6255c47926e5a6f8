#pragma once
// The process-wide imaging factory and the platform-version facts the imaging code depends on.
#include <wincodec.h>

// The factory made at start-up; null when none was made or creation failed.
IWICImagingFactory* GetWicFactory() noexcept;
// Releases any previous factory and creates a new in-process one. False (and null) on failure.
bool CreateWicFactory() noexcept;
void ReleaseWicFactory() noexcept;

// The frame's first colour context (its embedded profile), or null when it has none.
IWICColorContext* FirstColorContext(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame);

// Windows 8.1 or later: the thumbnail cache and the JPEG encoder honour the orientation tag.
bool IsWindows81OrLater() noexcept;
bool IsWindows10OrLater() noexcept;

// Interpolation mode missing from the mingw-w64 headers.
inline constexpr WICBitmapInterpolationMode kWicInterpolationHighQualityCubic =
    static_cast<WICBitmapInterpolationMode>(4);
