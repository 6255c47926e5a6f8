#pragma once
// Picture files with known content for the end-to-end runs, written through the platform's
// encoders at run time, and what a picture file on disk holds afterwards. The calling thread must
// have COM initialised.
#include <windows.h>

#include <cstdint>
#include <string>

namespace e2e {

enum class PictureFormat { kPng, kJpeg, kGif, kBmp };

// One colour over the whole picture.
bool WriteSolidPicture(const std::wstring& path, PictureFormat format, UINT width, UINT height, COLORREF colour);
// A PNG with 16 bits per channel in one colour.
bool WriteDeepPng(const std::wstring& path, UINT width, UINT height, COLORREF colour);
// A PNG in one colour at the given opacity (0..255), straight alpha.
bool WriteTranslucentPng(const std::wstring& path, UINT width, UINT height, COLORREF colour, BYTE alpha);
// A photo-like JPEG: the colour with gradients and noise over it, as costly to decode as a real
// photo; the seed makes each picture's noise its own.
bool WritePhotoJpeg(const std::wstring& path, UINT width, UINT height, COLORREF colour, uint32_t seed);
// The first `bytes` bytes of a file, as a damaged copy of it.
bool WriteTruncatedCopy(const std::wstring& source, const std::wstring& target, size_t bytes);

// The picture's stored pixel size; false when the file does not decode.
bool ReadPictureSize(const std::wstring& path, UINT& width, UINT& height);
// The EXIF orientation (1..8) of a JPEG; 1 when it has none.
int ReadJpegOrientation(const std::wstring& path);
// The size the picture shows at: the stored size, turned when the EXIF orientation says so.
bool ReadShownSize(const std::wstring& path, UINT& width, UINT& height);

}  // namespace e2e
