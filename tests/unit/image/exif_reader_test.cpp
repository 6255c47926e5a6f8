// The EXIF query reader: value types for every field type in both byte orders, checked against
// the platform's own IFD reader; the query errors, nested blocks and reference counting.
#include <gtest/gtest.h>
#include <windows.h>
#include <propidl.h>
#include <shlwapi.h>
#include <wincodec.h>
#include <wincodecsdk.h>

#include <cstring>
#include <string>

#include "base/com.h"
#include "exif_test_builder.h"
#include "image/exif/reader.h"

namespace {

using base::ComPtr;
using exif::Directory;
using exif_test::Pv;
using exif_test::TiffBuilder;
using exif_test::WrapInJpeg;

// Spelled out: the import libraries lack the metadata reader's class and persistence interface.
constexpr CLSID kIfdReaderClass = {0x8f914656, 0x9d0a, 0x4eb2, {0x90, 0x19, 0x0b, 0xf9, 0x6d, 0x8a, 0x9e, 0xe6}};
constexpr IID kMetadataReaderIid = {0x9204fe99, 0xd8fc, 0x4fd5, {0xa0, 0x01, 0x95, 0x36, 0xb0, 0x67, 0xa8, 0x99}};
constexpr IID kPersistStreamIid = {0x00675040, 0x6908, 0x45f8, {0x86, 0xa3, 0x49, 0xc7, 0xdf, 0xd6, 0xd9, 0xad}};

class ExifReader : public testing::Test {
 protected:
  FCAutoInitializeCOM com_;
};

ComPtr<IWICMetadataQueryReader> ReaderOver(const std::vector<uint8_t>& jpeg) {
  ComPtr<IWICMetadataQueryReader> reader;
  EXPECT_EQ(CreateExifQueryReaderFromBytes(jpeg.data(), jpeg.size(), reader.GetAddressOf()), S_OK);
  return reader;
}

HRESULT Query(IWICMetadataQueryReader* r, const std::wstring& path, Pv& out) {
  return r->GetMetadataByName(path.c_str(), &out.v);
}

std::wstring Ifd0(uint16_t tag) { return L"/app1/ifd/{ushort=" + std::to_wstring(tag) + L"}"; }

// One entry of every field type, single values and vectors, in the first IFD.
TiffBuilder EveryType(bool bigEndian) {
  TiffBuilder b(bigEndian);
  b.Add(Directory::kIfd0, 0x1001, 1, 1, {7})
      .Add(Directory::kIfd0, 0x1002, 1, 1, {1, 2, 3, 4, 5})
      .Ascii(Directory::kIfd0, 0x1003, "Quellin Camera")
      .Shorts(Directory::kIfd0, 0x1004, {65535})
      .Shorts(Directory::kIfd0, 0x1005, {1, 2, 3})
      .Longs(Directory::kIfd0, 0x1006, {0xDEADBEEF})
      .Longs(Directory::kIfd0, 0x1007, {1, 0x80000000u})
      .Rationals(Directory::kIfd0, 0x1008, {{1, 250}})
      .Rationals(Directory::kIfd0, 0x1009, {{33, 1}, {51, 1}, {273, 5}})
      .Add(Directory::kIfd0, 0x100A, 6, 1, {0xFB})
      .AddRaw(Directory::kIfd0, 0x100B, 7, 4, {'0', '2', '3', '2'})
      .AddRaw(Directory::kIfd0, 0x100C, 7, 9, {9, 8, 7, 6, 5, 4, 3, 2, 1})
      .Add(Directory::kIfd0, 0x100D, 8, 2, {0xFFFE})
      .Add(Directory::kIfd0, 0x100E, 9, 4, {static_cast<uint32_t>(-70000)})
      .Rationals(Directory::kIfd0, 0x100F, {{-1, 3}}, 10)
      .Add(Directory::kIfd0, 0x1010, 11, 4, {0x3FC00000})           // 1.5f
      .Add(Directory::kIfd0, 0x1011, 12, 8, {0xC002000000000000ull})  // -2.25
      .Add(Directory::kIfd0, 0x1012, 8, 2, {0xFFFF, 2})
      .Add(Directory::kIfd0, 0x1013, 6, 1, {0xFF, 5});
  return b;
}

TEST_F(ExifReader, TypesEveryFieldTypeAsThePlatformDoes) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "MM" : "II");
    auto reader = ReaderOver(WrapInJpeg(EveryType(bigEndian).Build()));
    ASSERT_TRUE(reader);
    auto get = [&](uint16_t tag, VARTYPE vt, Pv& pv) {
      ASSERT_EQ(Query(reader.Get(), Ifd0(tag), pv), S_OK) << tag;
      ASSERT_EQ(pv.v.vt, vt) << tag;
    };
    { Pv p; get(0x1001, VT_UI1, p); EXPECT_EQ(p.v.bVal, 7); }
    { Pv p; get(0x1002, VT_VECTOR | VT_UI1, p);
      ASSERT_EQ(p.v.caub.cElems, 5u); EXPECT_EQ(p.v.caub.pElems[4], 5); }
    { Pv p; get(0x1003, VT_LPSTR, p); EXPECT_STREQ(p.v.pszVal, "Quellin Camera"); }
    { Pv p; get(0x1004, VT_UI2, p); EXPECT_EQ(p.v.uiVal, 65535); }
    { Pv p; get(0x1005, VT_VECTOR | VT_UI2, p);
      ASSERT_EQ(p.v.caui.cElems, 3u); EXPECT_EQ(p.v.caui.pElems[2], 3); }
    { Pv p; get(0x1006, VT_UI4, p); EXPECT_EQ(p.v.ulVal, 0xDEADBEEFu); }
    { Pv p; get(0x1007, VT_VECTOR | VT_UI4, p);
      ASSERT_EQ(p.v.caul.cElems, 2u); EXPECT_EQ(p.v.caul.pElems[1], 0x80000000u); }
    { Pv p; get(0x1008, VT_UI8, p);
      EXPECT_EQ(p.v.uhVal.LowPart, 1u); EXPECT_EQ(p.v.uhVal.HighPart, 250u); }
    { Pv p; get(0x1009, VT_VECTOR | VT_UI8, p);
      ASSERT_EQ(p.v.cauh.cElems, 3u);
      EXPECT_EQ(p.v.cauh.pElems[0].LowPart, 33u);
      EXPECT_EQ(p.v.cauh.pElems[2].LowPart, 273u);
      EXPECT_EQ(p.v.cauh.pElems[2].HighPart, 5u); }
    { Pv p; get(0x100A, VT_I1, p); EXPECT_EQ(p.v.cVal, -5); }
    { Pv p; get(0x100B, VT_BLOB, p);
      ASSERT_EQ(p.v.blob.cbSize, 4u); EXPECT_EQ(std::memcmp(p.v.blob.pBlobData, "0232", 4), 0); }
    { Pv p; get(0x100C, VT_BLOB, p);
      ASSERT_EQ(p.v.blob.cbSize, 9u); EXPECT_EQ(p.v.blob.pBlobData[8], 1); }
    { Pv p; get(0x100D, VT_I2, p); EXPECT_EQ(p.v.iVal, -2); }
    { Pv p; get(0x100E, VT_I4, p); EXPECT_EQ(p.v.lVal, -70000); }
    { Pv p; get(0x100F, VT_I8, p);
      EXPECT_EQ(static_cast<int32_t>(p.v.hVal.LowPart), -1); EXPECT_EQ(p.v.hVal.HighPart, 3); }
    { Pv p; get(0x1010, VT_R4, p); EXPECT_EQ(p.v.fltVal, 1.5f); }
    { Pv p; get(0x1011, VT_R8, p); EXPECT_EQ(p.v.dblVal, -2.25); }
    { Pv p; get(0x1012, VT_VECTOR | VT_I2, p);
      ASSERT_EQ(p.v.cai.cElems, 2u); EXPECT_EQ(p.v.cai.pElems[0], -1); }
    { Pv p; get(0x1013, VT_VECTOR | VT_I1, p);
      ASSERT_EQ(p.v.cac.cElems, 2u); EXPECT_EQ(p.v.cac.pElems[0], -1); }
  }
}

size_t UnitOf(VARTYPE element) {
  switch (element) {
    case VT_UI8: case VT_I8: case VT_R8: return 8;
    case VT_UI4: case VT_I4: case VT_R4: return 4;
    case VT_UI2: case VT_I2: return 2;
    default: return 1;
  }
}

bool SameValue(const PROPVARIANT& a, const PROPVARIANT& b) {
  if (a.vt != b.vt) return false;
  if (a.vt == VT_LPSTR) return std::strcmp(a.pszVal, b.pszVal) == 0;
  if (a.vt == VT_BLOB) {
    return a.blob.cbSize == b.blob.cbSize &&
           std::memcmp(a.blob.pBlobData, b.blob.pBlobData, a.blob.cbSize) == 0;
  }
  const size_t unit = UnitOf(a.vt & ~VT_VECTOR);
  if (a.vt & VT_VECTOR) {  // every counted array has the same layout
    return a.caub.cElems == b.caub.cElems &&
           std::memcmp(a.caub.pElems, b.caub.pElems, unit * a.caub.cElems) == 0;
  }
  return std::memcmp(&a.uhVal, &b.uhVal, unit) == 0;
}

// The platform's own IFD reader, loaded with the same TIFF bytes, is the reference for types.
TEST_F(ExifReader, AgreesWithThePlatformIfdReader) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "MM" : "II");
    const std::vector<uint8_t> tiff = EveryType(bigEndian).Build();
    ComPtr<IWICMetadataReader> platform;
    ASSERT_EQ(::CoCreateInstance(kIfdReaderClass, nullptr, CLSCTX_INPROC_SERVER, kMetadataReaderIid,
                                 reinterpret_cast<void**>(platform.GetAddressOf())), S_OK);
    ComPtr<IWICPersistStream> persist;
    ASSERT_EQ(platform->QueryInterface(kPersistStreamIid, reinterpret_cast<void**>(persist.GetAddressOf())), S_OK);
    ComPtr<IStream> stream;
    base::Adopt(stream, ::SHCreateMemStream(tiff.data(), static_cast<UINT>(tiff.size())));
    ASSERT_TRUE(stream);
    LARGE_INTEGER ifd0{};
    ifd0.QuadPart = 8;
    ASSERT_EQ(stream->Seek(ifd0, STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(persist->LoadEx(stream.Get(), nullptr,
                              bigEndian ? WICPersistOptionBigEndian : WICPersistOptionLittleEndian), S_OK);

    auto ours = ReaderOver(WrapInJpeg(tiff));
    ASSERT_TRUE(ours);
    for (uint16_t tag = 0x1001; tag <= 0x1013; ++tag) {
      Pv id, theirs, mine;
      id.v.vt = VT_UI2;
      id.v.uiVal = tag;
      ASSERT_EQ(platform->GetValue(nullptr, &id.v, &theirs.v), S_OK) << std::hex << tag;
      ASSERT_EQ(Query(ours.Get(), Ifd0(tag), mine), S_OK) << std::hex << tag;
      EXPECT_EQ(mine.v.vt, theirs.v.vt) << std::hex << tag;
      EXPECT_TRUE(SameValue(mine.v, theirs.v)) << std::hex << tag;
    }
  }
}

TEST_F(ExifReader, AnswersTheViewerQueriesInBothByteOrders) {
  for (bool bigEndian : {false, true}) {
    SCOPED_TRACE(bigEndian ? "MM" : "II");
    TiffBuilder b(bigEndian);
    b.Shorts(Directory::kIfd0, 274, {6})
        .Ascii(Directory::kIfd0, 271, "Quellin")
        .Ascii(Directory::kExif, 36867, "2021:07:14 09:30:05")
        .Rationals(Directory::kExif, 33434, {{10, 2000}})
        .Rationals(Directory::kExif, 33437, {{28, 0}})  // F-number with a zero denominator
        .Shorts(Directory::kExif, 34855, {400})
        .Ascii(Directory::kGps, 1, "s")
        .Rationals(Directory::kGps, 2, {{33, 1}, {51, 1}, {5460, 100}});
    auto reader = ReaderOver(WrapInJpeg(b.Build()));
    ASSERT_TRUE(reader);
    Pv orientation, maker, time, exposure, fnumber, iso, ref, latitude;
    ASSERT_EQ(Query(reader.Get(), L"/app1/ifd/{ushort=274}", orientation), S_OK);
    EXPECT_EQ(orientation.v.vt, VT_UI2);
    EXPECT_EQ(orientation.v.uiVal, 6);
    ASSERT_EQ(Query(reader.Get(), L"/app1/ifd/{ushort=271}", maker), S_OK);
    EXPECT_STREQ(maker.v.pszVal, "Quellin");
    ASSERT_EQ(Query(reader.Get(), L"/app1/ifd/exif/{ushort=36867}", time), S_OK);
    EXPECT_STREQ(time.v.pszVal, "2021:07:14 09:30:05");
    ASSERT_EQ(Query(reader.Get(), L"/app1/ifd/exif/{ushort=33434}", exposure), S_OK);
    EXPECT_EQ(exposure.v.uhVal.QuadPart, (2000ull << 32) | 10);  // unreduced
    ASSERT_EQ(Query(reader.Get(), L"/app1/ifd/exif/{ushort=33437}", fnumber), S_OK);
    EXPECT_EQ(fnumber.v.uhVal.QuadPart, 28ull);
    ASSERT_EQ(Query(reader.Get(), L"/app1/ifd/exif/{ushort=34855}", iso), S_OK);
    EXPECT_EQ(iso.v.uiVal, 400);
    ASSERT_EQ(Query(reader.Get(), L"/app1/ifd/gps/{ushort=1}", ref), S_OK);
    EXPECT_STREQ(ref.v.pszVal, "s");
    ASSERT_EQ(Query(reader.Get(), L"/app1/ifd/gps/{ushort=2}", latitude), S_OK);
    ASSERT_EQ(latitude.v.vt, VT_VECTOR | VT_UI8);
    ASSERT_EQ(latitude.v.cauh.cElems, 3u);
    EXPECT_EQ(latitude.v.cauh.pElems[1].QuadPart, (1ull << 32) | 51);
    EXPECT_EQ(latitude.v.cauh.pElems[2].QuadPart, (100ull << 32) | 5460);
  }
}

TEST_F(ExifReader, ReportsMissingAndMalformedQueries) {
  TiffBuilder b;
  b.Shorts(Directory::kIfd0, 274, {1});  // no EXIF or GPS directory
  auto reader = ReaderOver(WrapInJpeg(b.Build()));
  ASSERT_TRUE(reader);
  Pv pv;
  EXPECT_EQ(Query(reader.Get(), L"/app1/ifd/{ushort=271}", pv), WINCODEC_ERR_PROPERTYNOTFOUND);
  EXPECT_EQ(Query(reader.Get(), L"/app1/ifd/exif/{ushort=33434}", pv), WINCODEC_ERR_PROPERTYNOTFOUND);
  EXPECT_EQ(Query(reader.Get(), L"/app1/ifd/exif", pv), WINCODEC_ERR_PROPERTYNOTFOUND);
  EXPECT_EQ(Query(reader.Get(), L"/xmp/dc:title", pv), WINCODEC_ERR_PROPERTYNOTFOUND);
  EXPECT_EQ(Query(reader.Get(), L"/app1/ifd/{uint=274}", pv), WINCODEC_ERR_PROPERTYNOTFOUND);
  EXPECT_EQ(Query(reader.Get(), L"/app1/ifd/exif/interop/{ushort=1}", pv), WINCODEC_ERR_PROPERTYNOTFOUND);
  for (const wchar_t* bad : {L"/bogus", L"app1/ifd", L"", L"/", L"/app1//ifd", L"/app1/ifd/",
                             L"/app1/ifd/{ushort=x}", L"/app1/ifd/{ushort=65536}", L"/app1/ifd/{=1}",
                             L"/app1/ifd/{ushort=274", L"/app1/ifd/{ushort=274}/more",
                             L"/app1/ifd/exif/gps/{ushort=1}"}) {
    EXPECT_EQ(Query(reader.Get(), bad, pv), WINCODEC_ERR_INVALIDQUERYREQUEST) << bad;
  }
  // Names ignore case, numbers may be hexadecimal.
  ASSERT_EQ(Query(reader.Get(), L"/APP1/Ifd/{USHORT=0x112}", pv), S_OK);
  EXPECT_EQ(pv.v.uiVal, 1);
  ::PropVariantClear(&pv.v);
  EXPECT_EQ(pv.v.vt, VT_EMPTY);
  EXPECT_EQ(reader->GetMetadataByName(nullptr, &pv.v), E_INVALIDARG);
  // A null value asks only whether the item exists.
  EXPECT_EQ(reader->GetMetadataByName(L"/app1/ifd/{ushort=274}", nullptr), S_OK);
  EXPECT_EQ(reader->GetMetadataByName(L"/app1/ifd", nullptr), S_OK);
  EXPECT_EQ(reader->GetMetadataByName(L"/app1/ifd/{ushort=272}", nullptr), WINCODEC_ERR_PROPERTYNOTFOUND);
  EXPECT_EQ(reader->GetContainerFormat(nullptr), E_INVALIDARG);
  EXPECT_EQ(reader->GetEnumerator(nullptr), E_INVALIDARG);
}

TEST_F(ExifReader, NestedBlocksAnswerRelativeQueriesAndOutliveTheRoot) {
  TiffBuilder b;
  b.Shorts(Directory::kIfd0, 274, {8}).Shorts(Directory::kExif, 37383, {5});
  auto root = ReaderOver(WrapInJpeg(b.Build()));
  ASSERT_TRUE(root);
  GUID format{};
  ASSERT_EQ(root->GetContainerFormat(&format), S_OK);
  EXPECT_TRUE(IsEqualGUID(format, GUID_ContainerFormatJpeg));

  ComPtr<IWICMetadataQueryReader> exifBlock;
  {
    Pv pv;
    ASSERT_EQ(Query(root.Get(), L"/app1/ifd/exif", pv), S_OK);
    ASSERT_EQ(pv.v.vt, VT_UNKNOWN);
    ASSERT_EQ(pv.v.punkVal->QueryInterface(IID_PPV_ARGS(exifBlock.GetAddressOf())), S_OK);
  }
  root.Reset();  // the nested reader keeps the parsed block alive
  Pv metering;
  ASSERT_EQ(Query(exifBlock.Get(), L"/{ushort=37383}", metering), S_OK);
  EXPECT_EQ(metering.v.uiVal, 5);
  Pv absent;
  EXPECT_EQ(Query(exifBlock.Get(), L"/{ushort=274}", absent), WINCODEC_ERR_PROPERTYNOTFOUND);

  UINT length = 0;
  ASSERT_EQ(exifBlock->GetLocation(0, nullptr, &length), S_OK);
  EXPECT_EQ(length, 15u);  // "/app1/ifd/exif" and its terminator
  wchar_t small[4];
  EXPECT_EQ(exifBlock->GetLocation(4, small, &length), WINCODEC_ERR_INSUFFICIENTBUFFER);
  wchar_t location[32];
  ASSERT_EQ(exifBlock->GetLocation(32, location, &length), S_OK);
  EXPECT_STREQ(location, L"/app1/ifd/exif");
  EXPECT_EQ(exifBlock->GetLocation(32, location, nullptr), E_INVALIDARG);

  // Reference counting: QueryInterface and AddRef add one each, Release takes them back.
  IWICMetadataQueryReader* raw = exifBlock.Get();
  EXPECT_EQ(raw->AddRef(), 2u);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(raw->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown->Release(), 2u);
  EXPECT_EQ(raw->Release(), 1u);
  void* other = raw;
  EXPECT_EQ(raw->QueryInterface(IID_IWICBitmapSource, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
}

TEST_F(ExifReader, DamagedBlocksNeverCrashTheReader) {
  const std::vector<uint8_t> good = WrapInJpeg(EveryType(true).Build());
  const wchar_t* queries[] = {L"/app1/ifd/{ushort=4099}", L"/app1/ifd/{ushort=4105}",
                              L"/app1/ifd/{ushort=4108}", L"/app1/ifd/{ushort=4113}",
                              L"/app1/ifd/exif", L"/app1/ifd/gps/{ushort=2}"};
  uint32_t state = 7;
  auto next = [&state] { return state = state * 1103515245u + 12345u; };
  int answered = 0;
  for (int round = 0; round < 1500; ++round) {
    std::vector<uint8_t> damaged = good;
    for (int i = 0; i < 4; ++i) {
      damaged[exif_test::kTiffOffsetInJpeg + (next() >> 8) % (good.size() - exif_test::kTiffOffsetInJpeg)] =
          static_cast<uint8_t>(next() >> 16);
    }
    ComPtr<IWICMetadataQueryReader> reader;
    if (FAILED(CreateExifQueryReaderFromBytes(damaged.data(), damaged.size(), reader.GetAddressOf()))) {
      EXPECT_FALSE(reader);
      continue;
    }
    for (const wchar_t* q : queries) {
      Pv pv;
      if (reader->GetMetadataByName(q, &pv.v) == S_OK) ++answered;
    }
  }
  EXPECT_GT(answered, 1000);
  ComPtr<IWICMetadataQueryReader> reader;
  EXPECT_EQ(CreateExifQueryReaderFromBytes(good.data(), 40, reader.GetAddressOf()), WINCODEC_ERR_PROPERTYNOTFOUND);
  const uint8_t png[] = {0x89, 'P', 'N', 'G', 13, 10, 26, 10};
  EXPECT_EQ(CreateExifQueryReaderFromBytes(png, sizeof(png), reader.GetAddressOf()), WINCODEC_ERR_UNKNOWNIMAGEFORMAT);
  EXPECT_EQ(CreateExifQueryReaderFromBytes(nullptr, 10, reader.GetAddressOf()), E_INVALIDARG);
  EXPECT_EQ(CreateExifQueryReaderFromBytes(good.data(), good.size(), nullptr), E_INVALIDARG);
  EXPECT_FALSE(reader);
}

}  // namespace
