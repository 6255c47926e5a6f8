#pragma once
// A metadata query reader over a JPEG's EXIF block, read by our own parser. It answers the same
// queries with the same value types as the platform's JPEG query reader ("/app1/ifd/{ushort=N}",
// "/app1/ifd/exif/{ushort=N}", "/app1/ifd/gps/{ushort=N}"), so metadata code written against the
// platform reader runs unchanged on either. It is used where the platform's frame reader finds no
// APP1 block in a JPEG that has one (Wine's does not read it).
//
// Value types, as the platform types them: BYTE VT_UI1, SBYTE VT_I1, SHORT VT_UI2, SSHORT VT_I2,
// LONG VT_UI4, SLONG VT_I4, RATIONAL VT_UI8 and SRATIONAL VT_I8 (numerator in the low, denominator
// in the high 32 bits), FLOAT VT_R4, DOUBLE VT_R8, each VT_VECTOR | type when the count is above
// one; ASCII VT_LPSTR; UNDEFINED VT_BLOB. Memory is CoTaskMemAlloc'd (PropVariantClear frees it).
// A block query ("/app1/ifd/exif") gives VT_UNKNOWN holding a nested reader at that location.
#include <windows.h>
#include <wincodec.h>

#include <cstddef>
#include <cstdint>

// Each factory fails with WINCODEC_ERR_UNKNOWNIMAGEFORMAT when the data is not a JPEG and with
// WINCODEC_ERR_PROPERTYNOTFOUND when it holds no usable EXIF block; *out is then null.
[[nodiscard]] HRESULT CreateExifQueryReaderFromBytes(const uint8_t* data, size_t size,
                                                     IWICMetadataQueryReader** out) noexcept;
// Reads from the start of the stream whatever its position; the position is restored.
[[nodiscard]] HRESULT CreateExifQueryReaderFromStream(IStream* stream,
                                                      IWICMetadataQueryReader** out) noexcept;
// Opens the file for reading only, sharing it fully, and reads just the segments before the image.
[[nodiscard]] HRESULT CreateExifQueryReaderFromFile(const wchar_t* path,
                                                    IWICMetadataQueryReader** out) noexcept;

// The frame's own query reader, unless the frame is a JPEG whose platform reader is missing or
// finds no "/app1" block: then our reader over `path` when the file has an EXIF block. Falls back
// to the platform's reader (or its failure) whenever ours cannot be made.
[[nodiscard]] HRESULT GetFrameQueryReaderWithFallback(IWICBitmapFrameDecode* frame,
                                                      const wchar_t* path,
                                                      IWICMetadataQueryReader** out) noexcept;
