// Metadata conversion rules over the product's EXIF reader, orientation arithmetic and the save
// helpers that decide names and replace files.
#include <gtest/gtest.h>
#include <wincodec.h>

#include <vector>

#include "base/com.h"
#include "image/exif/reader.h"
#include "image/exif/metadata.h"
#include "image/save/save.h"
#include "image/thumbnail/thumbnail.h"
#include "image/wic/factory.h"
#include "tests/support/test_support.h"

using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

// A little-endian EXIF block inside a minimal JPEG, built entry by entry.
class JpegExifBuilder {
 public:
  struct Entry {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> data;
  };
  std::vector<Entry> ifd0, exif, gps;

  static Entry Short(uint16_t tag, uint16_t v) { return {tag, 3, 1, {uint8_t(v), uint8_t(v >> 8)}}; }
  static Entry Ascii(uint16_t tag, const std::string& s) {
    std::vector<uint8_t> d(s.begin(), s.end());
    d.push_back(0);
    return {tag, 2, static_cast<uint32_t>(d.size()), d};
  }
  static Entry Rationals(uint16_t tag, std::vector<std::pair<uint32_t, uint32_t>> values) {
    std::vector<uint8_t> d;
    for (auto [n, dn] : values) {
      for (uint32_t v : {n, dn}) for (int i = 0; i < 4; ++i) d.push_back(uint8_t(v >> (8 * i)));
    }
    return {tag, 5, static_cast<uint32_t>(values.size()), d};
  }

  std::vector<uint8_t> Build() const {
    // TIFF: header, IFD0 (with pointers), EXIF IFD, GPS IFD, then values.
    std::vector<Entry> first = ifd0;
    if (!exif.empty()) first.push_back({0x8769, 4, 1, {0, 0, 0, 0}});
    if (!gps.empty()) first.push_back({0x8825, 4, 1, {0, 0, 0, 0}});
    auto ifdSize = [](const std::vector<Entry>& e) { return e.empty() ? 0u : 2u + 12u * e.size() + 4u; };
    const uint32_t ifd0At = 8, exifAt = ifd0At + ifdSize(first), gpsAt = exifAt + ifdSize(exif);
    uint32_t valuesAt = gpsAt + ifdSize(gps);
    std::vector<uint8_t> tiff = {'I', 'I', 42, 0, 8, 0, 0, 0};
    std::vector<uint8_t> values;
    auto put32 = [](std::vector<uint8_t>& v, uint32_t x) { for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i))); };
    auto writeIfd = [&](std::vector<Entry> entries) {
      if (entries.empty()) return;
      tiff.push_back(uint8_t(entries.size()));
      tiff.push_back(0);
      for (auto& e : entries) {
        if (e.tag == 0x8769) e.data = {uint8_t(exifAt), uint8_t(exifAt >> 8), 0, 0};
        if (e.tag == 0x8825) e.data = {uint8_t(gpsAt), uint8_t(gpsAt >> 8), 0, 0};
        tiff.push_back(uint8_t(e.tag)); tiff.push_back(uint8_t(e.tag >> 8));
        tiff.push_back(uint8_t(e.type)); tiff.push_back(0);
        put32(tiff, e.count);
        if (e.data.size() <= 4) {
          std::vector<uint8_t> inline4 = e.data;
          inline4.resize(4, 0);
          tiff.insert(tiff.end(), inline4.begin(), inline4.end());
        } else {
          put32(tiff, valuesAt + static_cast<uint32_t>(values.size()));
          values.insert(values.end(), e.data.begin(), e.data.end());
        }
      }
      put32(tiff, 0);
    };
    writeIfd(first);
    writeIfd(exif);
    writeIfd(gps);
    tiff.insert(tiff.end(), values.begin(), values.end());
    std::vector<uint8_t> jpeg = {0xFF, 0xD8, 0xFF, 0xE1};
    const size_t len = tiff.size() + 8;
    jpeg.push_back(uint8_t(len >> 8));
    jpeg.push_back(uint8_t(len));
    for (char c : std::string("Exif\0\0", 6)) jpeg.push_back(uint8_t(c));
    jpeg.insert(jpeg.end(), tiff.begin(), tiff.end());
    jpeg.insert(jpeg.end(), {0xFF, 0xD9});
    return jpeg;
  }
};

ImageMetadata ReadFrom(const std::vector<uint8_t>& jpeg) {
  base::ComPtr<IWICMetadataQueryReader> reader;
  EXPECT_TRUE(SUCCEEDED(CreateExifQueryReaderFromBytes(jpeg.data(), jpeg.size(), &reader)));
  ImageMetadata m;
  ReadMetadataFrom(reader.Get(), 71.6, m);
  return m;
}

class ComScope : public ::testing::Test {
 protected:
  FCAutoInitializeCOM com_;
};

}  // namespace

using Metadata = ComScope;

TEST_F(Metadata, ConversionRulesForEveryMemberKind) {
  JpegExifBuilder b;
  b.ifd0 = {JpegExifBuilder::Ascii(271, "Maker"), JpegExifBuilder::Short(274, 8)};
  b.exif = {JpegExifBuilder::Rationals(33437, {{28, 0}}),        // zero denominator
            JpegExifBuilder::Rationals(37381, {{7, 2}}),         // 3.5
            JpegExifBuilder::Rationals(33434, {{10, 2000}}),     // kept unreduced
            JpegExifBuilder::Short(34855, 400),
            {37385, 4, 1, {16, 0, 0, 0}},                        // LONG: not an unsigned 16-bit value
            JpegExifBuilder::Ascii(36867, "2020:01:02 03:04:05")};
  b.gps = {JpegExifBuilder::Ascii(1, "s"), JpegExifBuilder::Rationals(2, {{10, 1}, {30, 1}, {0, 1}}),
           JpegExifBuilder::Ascii(3, "E"), JpegExifBuilder::Rationals(4, {{100, 1}, {15, 1}, {36, 1}})};
  const ImageMetadata m = ReadFrom(b.Build());
  EXPECT_EQ(m.maker, L"Maker");
  EXPECT_EQ(m.orientation, 8);
  EXPECT_EQ(m.aperture, L"0.0");
  EXPECT_EQ(m.max_aperture, L"3.5");
  EXPECT_EQ(m.exposure_time, L"10/2000");
  EXPECT_EQ(m.iso, L"400");
  EXPECT_EQ(m.flash, L"");
  EXPECT_EQ(m.shooting_time, L"2020:01:02 03:04:05");
  EXPECT_EQ(m.gps, L"-10.500000,100.260002");  // single precision, lower-case reference negates
  EXPECT_EQ(m.resolution, 72);
  EXPECT_EQ(m.model, L"");
}

TEST_F(Metadata, GpsNeedsBothCoordinatesAndNonZeroDenominators) {
  JpegExifBuilder onlyLatitude;
  onlyLatitude.ifd0 = {JpegExifBuilder::Short(274, 1)};
  onlyLatitude.gps = {JpegExifBuilder::Rationals(2, {{1, 1}, {0, 1}, {0, 1}})};
  EXPECT_EQ(ReadFrom(onlyLatitude.Build()).gps, L"");

  JpegExifBuilder zeroSeconds;
  zeroSeconds.ifd0 = {JpegExifBuilder::Short(274, 1)};
  zeroSeconds.gps = {JpegExifBuilder::Rationals(2, {{1, 1}, {0, 1}, {5, 0}}),
                     JpegExifBuilder::Rationals(4, {{2, 1}, {0, 1}, {0, 1}}), JpegExifBuilder::Ascii(3, "w")};
  EXPECT_EQ(ReadFrom(zeroSeconds.Build()).gps, L"0.000000,-2.000000");
}

TEST(Orientation, TransformsAndRotationCycles) {
  const std::pair<int, int> table[] = {{0, 0}, {1, 0}, {2, 8}, {3, 2}, {4, 16}, {5, 17}, {6, 1}, {7, 9}, {8, 3}, {9, 0}};
  for (auto [o, t] : table) EXPECT_EQ(OrientationToTransform(o), t) << o;
  for (int start = 0; start <= 9; ++start) {
    ImageMetadata m;
    m.orientation = start;
    const int first = StepOrientation(m, true);
    for (int i = 0; i < 3; ++i) StepOrientation(m, true);
    EXPECT_EQ(m.orientation, first == 0 ? 0 : (start < 1 ? 1 : start > 8 ? 8 : start)) << start;
    const bool mirrored = first == 2 || first == 4 || first == 5 || first == 7;
    EXPECT_EQ(mirrored, start == 2 || start == 4 || start == 5 || start == 7) << start;
  }
  ImageMetadata m;
  EXPECT_EQ(StepOrientation(m, true), 6);
  EXPECT_EQ(StepOrientation(m, false), 1);
  EXPECT_EQ(StepOrientation(m, false), 8);
  m.orientation = 2;
  EXPECT_EQ(StepOrientation(m, true), 7);
  EXPECT_EQ(StepOrientation(m, false), 2);
  EXPECT_EQ(StepOrientation(m, false), 5);
}

TEST(Orientation, MapAddressesCarryTheTextUnchanged) {
  EXPECT_NE(MapAddressFor(L"1.5,-2.25", 0).find(L"https://"), std::wstring::npos);
  EXPECT_NE(MapAddressFor(L"1.5,-2.25", 0).find(L"/uri/v1/marker?marker=coord:1.5,-2.25;title:Here&coord_type=1&referer=PhotoSrc"),
            std::wstring::npos);
  EXPECT_NE(MapAddressFor(L"1.5,-2.25", 1).find(L"http://"), std::wstring::npos);
  EXPECT_NE(MapAddressFor(L"1.5,-2.25", 1).find(
                L"/marker?location=1.5,-2.25&title=Here&content=拍摄地&output=html&coord_type=wgs84&src=PhotoSrc"),
            std::wstring::npos);
}

TEST(SaveNames, ProposalSkipsExistingNamesAndFilterAddsExtension) {
  TempDir dir;
  EXPECT_EQ(ProposeSaveAsName(dir.File(L"cat.png")), dir.File(L"cat(1).jpg"));
  ASSERT_TRUE(WriteBytes(dir.File(L"cat(1).jpg"), {1}));
  EXPECT_EQ(ProposeSaveAsName(dir.File(L"cat.png")), dir.File(L"cat(2).jpg"));
  EXPECT_EQ(ApplySaveAsFilter(L"C:\\a\\name", 2), L"C:\\a\\name.png");
  EXPECT_EQ(ApplySaveAsFilter(L"C:\\a\\name", 5), L"C:\\a\\name.tiff");
  EXPECT_EQ(ApplySaveAsFilter(L"C:\\a\\name.txt", 9), L"C:\\a\\name.txt.jpg");
  EXPECT_EQ(ApplySaveAsFilter(L"C:\\a\\name.GIF", 2), L"C:\\a\\name.GIF");
}

TEST(SaveReplace, TemporaryNameBesideEveryTargetAndAtomicReplacement) {
  TempDir dir;
  // Even a new name is written under a temporary name first, reserved beside it.
  const std::wstring fresh = dir.File(L"new.png");
  const SaveTarget first = MakeSaveTarget(fresh);
  EXPECT_EQ(first.written.rfind(dir.Path() + L"tmp", 0), 0u);
  EXPECT_TRUE(ReadBytes(first.written).empty());
  EXPECT_NE(MakeSaveTarget(fresh).written, first.written);
  EXPECT_EQ(::GetFileAttributesW(fresh.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(MakeSaveTarget(dir.File(L"no folder\\new.png")).written.empty());

  const std::wstring target = dir.File(L"old.png");
  ASSERT_TRUE(WriteBytes(target, {1, 2, 3}));
  const SaveTarget job = MakeSaveTarget(target);
  ASSERT_NE(job.written, target);
  EXPECT_EQ(job.written.rfind(dir.Path() + L"tmp", 0), 0u);
  EXPECT_EQ(job.written.substr(job.written.size() - 4), L".png");
  ASSERT_TRUE(WriteBytes(job.written, {9, 9}));
  ASSERT_TRUE(::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(ReplaceTarget(job));
  EXPECT_EQ(ReadBytes(target), (std::vector<uint8_t>{9, 9}));
  EXPECT_EQ(::GetFileAttributesW(job.written.c_str()), INVALID_FILE_ATTRIBUTES);

  // A missing written file fails and leaves the target alone.
  EXPECT_FALSE(ReplaceTarget(SaveTarget{target, dir.File(L"nothing.png")}));
  EXPECT_EQ(ReadBytes(target), (std::vector<uint8_t>{9, 9}));
  EXPECT_FALSE(ReplaceTarget(SaveTarget{target, L""}));
}

namespace {
// A shared bitmap as the system cache hands one out, over a bitmap of ours.
class FakeSharedBitmap final : public ISharedBitmap {
 public:
  FakeSharedBitmap(HBITMAP bitmap, WTS_ALPHATYPE alpha) : bitmap_(bitmap), alpha_(alpha) {}
  virtual ~FakeSharedBitmap() { ::DeleteObject(bitmap_); }
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    if (riid == IID_IUnknown || riid == __uuidof(ISharedBitmap)) {
      *out = static_cast<ISharedBitmap*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refs_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  HRESULT STDMETHODCALLTYPE GetSharedBitmap(HBITMAP* out) override { *out = bitmap_; return S_OK; }
  HRESULT STDMETHODCALLTYPE GetSize(SIZE* size) override {
    BITMAP bm{};
    ::GetObjectW(bitmap_, sizeof(bm), &bm);
    *size = SIZE{bm.bmWidth, bm.bmHeight};
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetFormat(WTS_ALPHATYPE* alpha) override { *alpha = alpha_; return S_OK; }
  HRESULT STDMETHODCALLTYPE InitializeBitmap(HBITMAP, WTS_ALPHATYPE) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Detach(HBITMAP*) override { return E_NOTIMPL; }

 private:
  HBITMAP bitmap_;
  WTS_ALPHATYPE alpha_;
  ULONG refs_ = 1;
};
}  // namespace

TEST_F(Metadata, ThumbnailBitmapIsScaledOntoTheCanvas) {
  ASSERT_TRUE(CreateWicFactory());
  // A 40 x 20 picture of solid blue-green (B=200, G=100, R=0).
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 40, -20, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP section = ::CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  ASSERT_TRUE(section);
  for (int i = 0; i < 40 * 20; ++i) static_cast<uint32_t*>(bits)[i] = 0xFF0064C8u;
  ThumbnailRequest request;
  base::Adopt(request.bitmap, new FakeSharedBitmap(section, WTSAT_RGB));
  HBITMAP out = nullptr;
  ASSERT_TRUE(ThumbnailToBitmap(request, 10, 5, &out, WICBitmapTransformRotate0, nullptr));
  ASSERT_TRUE(out);
  BITMAP bm{};
  ::GetObjectW(out, sizeof(bm), &bm);
  EXPECT_EQ(bm.bmWidth, 10);
  EXPECT_EQ(bm.bmHeight, 5);
  BITMAPINFO readInfo{};
  readInfo.bmiHeader = {sizeof(BITMAPINFOHEADER), 10, -5, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<uint32_t> pixels(50);
  HDC dc = ::GetDC(nullptr);
  ASSERT_EQ(::GetDIBits(dc, out, 0, 5, pixels.data(), &readInfo, DIB_RGB_COLORS), 5);
  ::ReleaseDC(nullptr, dc);
  EXPECT_EQ(pixels[27] & 0xFFFFFFu, 0x0064C8u);
  ::DeleteObject(out);
  // Nothing to convert: the handle stays as it was.
  ThumbnailRequest empty;
  HBITMAP untouched = nullptr;
  EXPECT_FALSE(ThumbnailToBitmap(empty, 10, 5, &untouched, WICBitmapTransformRotate0, nullptr));
  EXPECT_EQ(untouched, nullptr);
  EXPECT_FALSE(ShellThumbnail(L"Z:\\no\\such\\file.jpg", 256, kThumbnailFastPreview, request));
}
