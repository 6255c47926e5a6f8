#include "image/exif/metadata.h"

#include <propvarutil.h>
#include <shellapi.h>

#include <cmath>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "base/strings.h"
#include "image/exif/reader.h"

namespace {

// Owns a PROPVARIANT for one query.
class QueryValue {
 public:
  QueryValue() { ::PropVariantInit(&value_); }
  ~QueryValue() { ::PropVariantClear(&value_); }
  QueryValue(const QueryValue&) = delete;
  QueryValue& operator=(const QueryValue&) = delete;
  PROPVARIANT* Put() { ::PropVariantClear(&value_); return &value_; }
  const PROPVARIANT& Get() const { return value_; }

 private:
  PROPVARIANT value_;
};

bool Query(IWICMetadataQueryReader* reader, const wchar_t* templ, int tag, QueryValue& out) {
  const std::wstring path = base::FormatW(templ, tag);
  return SUCCEEDED(reader->GetMetadataByName(path.c_str(), out.Put()));
}

constexpr wchar_t kExif[] = L"/app1/ifd/exif/{ushort=%d}";
constexpr wchar_t kIfd0[] = L"/app1/ifd/{ushort=%d}";
constexpr wchar_t kGps[] = L"/app1/ifd/gps/{ushort=%d}";

std::wstring TextOf(const PROPVARIANT& v) {
  switch (v.vt) {
    case VT_LPSTR:
      return v.pszVal ? base::AnsiToWide(v.pszVal) : std::wstring();
    case VT_LPWSTR:
      return v.pwszVal ? std::wstring(v.pwszVal) : std::wstring();
    case VT_VECTOR | VT_LPSTR:
      if (v.calpstr.cElems > 0 && v.calpstr.pElems[0]) return base::AnsiToWide(v.calpstr.pElems[0]);
      return {};
    default:
      return {};
  }
}

std::wstring ReadText(IWICMetadataQueryReader* reader, const wchar_t* templ, int tag) {
  QueryValue v;
  return Query(reader, templ, tag, v) ? TextOf(v.Get()) : std::wstring();
}

std::wstring ReadUShort(IWICMetadataQueryReader* reader, const wchar_t* templ, int tag) {
  QueryValue v;
  if (!Query(reader, templ, tag, v) || v.Get().vt != VT_UI2) return {};
  return base::FormatW(L"%d", static_cast<int>(v.Get().uiVal));
}

// Any value read is formatted; an unsigned rational with a non-zero denominator gives its quotient
// in single precision, everything else "0.0".
std::wstring ReadDecimal(IWICMetadataQueryReader* reader, const wchar_t* templ, int tag) {
  QueryValue v;
  if (!Query(reader, templ, tag, v)) return {};
  float value = 0.0f;
  if (v.Get().vt == VT_UI8) {
    const uint32_t num = static_cast<uint32_t>(v.Get().uhVal.QuadPart & 0xFFFFFFFFu);
    const uint32_t den = static_cast<uint32_t>(v.Get().uhVal.QuadPart >> 32);
    if (den != 0) value = static_cast<float>(num) / static_cast<float>(den);
  }
  return base::FormatW(L"%.1f", static_cast<double>(value));
}

std::wstring ReadExposure(IWICMetadataQueryReader* reader) {
  QueryValue v;
  if (!Query(reader, kExif, 33434, v) || v.Get().vt != VT_UI8) return {};
  const uint32_t num = static_cast<uint32_t>(v.Get().uhVal.QuadPart & 0xFFFFFFFFu);
  const uint32_t den = static_cast<uint32_t>(v.Get().uhVal.QuadPart >> 32);
  return base::FormatW(L"%d/%d", static_cast<int>(num), static_cast<int>(den));
}

float RationalOf(uint64_t packed) {
  const uint32_t num = static_cast<uint32_t>(packed & 0xFFFFFFFFu);
  const uint32_t den = static_cast<uint32_t>(packed >> 32);
  return static_cast<float>(num) / static_cast<float>(den);
}

std::wstring ReadCoordinate(IWICMetadataQueryReader* reader, int valueTag, int refTag, const wchar_t* negative) {
  QueryValue v;
  if (!Query(reader, kGps, valueTag, v)) return {};
  float degrees = 0.0f;
  const PROPVARIANT& p = v.Get();
  if (p.vt == (VT_VECTOR | VT_UI8) && p.cauh.cElems >= 3) {
    const ULARGE_INTEGER* e = p.cauh.pElems;
    if ((e[0].QuadPart >> 32) != 0 && (e[1].QuadPart >> 32) != 0 && (e[2].QuadPart >> 32) != 0) {
      degrees = RationalOf(e[0].QuadPart) + RationalOf(e[1].QuadPart) / 60.0f + RationalOf(e[2].QuadPart) / 3600.0f;
    }
  }
  if (base::EqualsNoCase(ReadText(reader, kGps, refTag), negative)) degrees = -degrees;
  return base::FormatW(L"%f", static_cast<double>(degrees));
}

std::wstring ReadGps(IWICMetadataQueryReader* reader) {
  const std::wstring latitude = ReadCoordinate(reader, 2, 1, L"S");
  if (latitude.empty()) return {};
  const std::wstring longitude = ReadCoordinate(reader, 4, 3, L"W");
  if (longitude.empty()) return {};
  return latitude + L"," + longitude;
}

}  // namespace

void ReadMetadataFrom(IWICMetadataQueryReader* reader, double dpiX, ImageMetadata& record) {
  if (!reader) return;
  record.shooting_time = ReadText(reader, kExif, 36867);
  record.gps = ReadGps(reader);
  record.resolution = static_cast<int>(dpiX + 0.5);
  record.maker = ReadText(reader, kIfd0, 271);
  record.model = ReadText(reader, kIfd0, 272);
  record.lens = ReadText(reader, kExif, 42036);
  record.aperture = ReadDecimal(reader, kExif, 33437);
  record.max_aperture = ReadDecimal(reader, kExif, 37381);
  record.exposure_time = ReadExposure(reader);
  record.iso = ReadUShort(reader, kExif, 34855);
  record.focal_length = ReadDecimal(reader, kExif, 37386);
  record.metering = ReadUShort(reader, kExif, 37383);
  record.flash = ReadUShort(reader, kExif, 37385);
  record.white_balance = ReadUShort(reader, kExif, 41987);
  record.exposure_program = ReadUShort(reader, kExif, 34850);
  QueryValue orientation;
  if (Query(reader, kIfd0, 274, orientation)) {
    const PROPVARIANT& p = orientation.Get();
    uint32_t raw = 0;
    switch (p.vt) {
      case VT_UI2: raw = p.uiVal; break;
      case VT_UI4: raw = p.ulVal; break;
      case VT_I4: raw = static_cast<uint32_t>(p.lVal); break;
      case VT_UI1: raw = p.bVal; break;
      default: raw = 0; break;
    }
    record.orientation = static_cast<int>(raw & 0xFFFF);
  }
}

void ReadMetadata(IWICBitmapFrameDecode* frame, const wchar_t* path, ImageMetadata& record) {
  if (!frame) return;
  base::ComPtr<IWICMetadataQueryReader> reader;
  if (FAILED(GetFrameQueryReaderWithFallback(frame, path, &reader)) || !reader) return;
  double dpiX = 0, dpiY = 0;
  if (FAILED(frame->GetResolution(&dpiX, &dpiY))) dpiX = 0;
  ReadMetadataFrom(reader.Get(), dpiX, record);
}

WICBitmapTransformOptions OrientationToTransform(int orientation) noexcept {
  switch (orientation) {
    case 2: return WICBitmapTransformFlipHorizontal;
    case 3: return WICBitmapTransformRotate180;
    case 4: return WICBitmapTransformFlipVertical;
    case 5: return static_cast<WICBitmapTransformOptions>(WICBitmapTransformRotate90 | WICBitmapTransformFlipVertical);
    case 6: return WICBitmapTransformRotate90;
    case 7: return static_cast<WICBitmapTransformOptions>(WICBitmapTransformRotate90 | WICBitmapTransformFlipHorizontal);
    case 8: return WICBitmapTransformRotate270;
    default: return WICBitmapTransformRotate0;
  }
}

int StepOrientation(ImageMetadata& record, bool clockwise) noexcept {
  int o = record.orientation;
  if (o < 1) o = 1;
  if (o > 8) o = 8;
  // Index = orientation; value = the next one in the cycle.
  static constexpr int kClockwise[9] = {0, 6, 7, 8, 5, 2, 3, 4, 1};
  static constexpr int kCounter[9] = {0, 8, 5, 6, 7, 4, 1, 2, 3};
  record.orientation = clockwise ? kClockwise[o] : kCounter[o];
  return record.orientation;
}

std::wstring MapAddressFor(const std::wstring& gps, int vendor) {
  if (vendor == 1) {
    return L"http://api.map.baidu.com/marker?location=" + gps +
           L"&title=Here&content=拍摄地&output=html&coord_type=wgs84&src=PhotoSrc";
  }
  return L"https://apis.map.qq.com/uri/v1/marker?marker=coord:" + gps +
         L";title:Here&coord_type=1&referer=PhotoSrc";
}

void ShowOnMap(const std::wstring& gps) {
  if (gps.empty()) return;
  const std::wstring address = MapAddressFor(gps, AppConfig::Get().gps_map_vendor);
  ::ShellExecuteW(nullptr, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
