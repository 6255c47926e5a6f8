#pragma once
// The EXIF-derived facts of an opened picture and the orientation rules built on them.
#include <wincodec.h>

#include <string>

struct ImageMetadata {
  std::wstring shooting_time;
  int orientation = 0;  // 1..8 as stored; 0 when absent or suppressed
  std::wstring gps;     // "lat,lon" in signed degrees, empty unless both are known
  int resolution = 0;   // dots per inch
  std::wstring maker;
  std::wstring model;
  std::wstring lens;
  std::wstring aperture;
  std::wstring max_aperture;
  std::wstring exposure_time;
  std::wstring iso;
  std::wstring focal_length;
  std::wstring metering;
  std::wstring flash;
  std::wstring white_balance;
  std::wstring exposure_program;
};

// Fills the record from a frame's metadata. The path lets the product's own EXIF reader stand in
// when the platform's reader finds no EXIF block in a JPEG.
void ReadMetadata(IWICBitmapFrameDecode* frame, const wchar_t* path, ImageMetadata& record);
// The same from a query reader and a horizontal resolution (the testable core).
void ReadMetadataFrom(IWICMetadataQueryReader* reader, double dpiX, ImageMetadata& record);

// EXIF orientation -> WIC transform options (bit 0 set = a quarter turn).
WICBitmapTransformOptions OrientationToTransform(int orientation) noexcept;
inline bool IsQuarterTurn(WICBitmapTransformOptions options) noexcept { return (options & 1) != 0; }
// Steps the record's orientation one quarter turn and answers the new value.
int StepOrientation(ImageMetadata& record, bool clockwise) noexcept;

// The web-map address for a GPS text (vendor 1: the marker page over HTTP, 0: the URI interface
// over HTTPS). Host names are configuration values of ours.
std::wstring MapAddressFor(const std::wstring& gps, int vendor);
// Opens the map page for the text in the default browser; nothing when the text is empty.
void ShowOnMap(const std::wstring& gps);
