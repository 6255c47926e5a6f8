// The EXIF reader over real files and streams, and the choice between the platform's frame reader
// and ours for pictures decoded through the imaging component.
#include <gtest/gtest.h>
#include <windows.h>
#include <propidl.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <cstring>
#include <iostream>

#include "base/com.h"
#include "base/handles.h"
#include "exif_test_builder.h"
#include "image/exif/reader.h"
#include "tests/support/test_support.h"

namespace {

using base::ComPtr;
using exif::Directory;
using exif_test::Pv;
using exif_test::TiffBuilder;

class ExifFallback : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                 IID_PPV_ARGS(factory_.GetAddressOf())), S_OK);
  }

  // A real 16 x 8 picture from the platform's encoder for `container`.
  std::vector<uint8_t> Encode(const GUID& container) {
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    EXPECT_EQ(::CreateStreamOnHGlobal(nullptr, TRUE, stream.GetAddressOf()), S_OK);
    EXPECT_EQ(factory_->CreateEncoder(container, nullptr, encoder.GetAddressOf()), S_OK);
    if (!encoder) return {};
    EXPECT_EQ(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache), S_OK);
    EXPECT_EQ(encoder->CreateNewFrame(frame.GetAddressOf(), nullptr), S_OK);
    EXPECT_EQ(frame->Initialize(nullptr), S_OK);
    EXPECT_EQ(frame->SetSize(16, 8), S_OK);
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    EXPECT_EQ(frame->SetPixelFormat(&format), S_OK);
    std::vector<BYTE> pixels(16 * 8 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<BYTE>(i * 7);
    EXPECT_EQ(frame->WritePixels(8, 48, static_cast<UINT>(pixels.size()), pixels.data()), S_OK);
    EXPECT_EQ(frame->Commit(), S_OK);
    EXPECT_EQ(encoder->Commit(), S_OK);
    STATSTG stat{};
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    std::vector<uint8_t> bytes(static_cast<size_t>(stat.cbSize.QuadPart));
    LARGE_INTEGER zero{};
    ULONG got = 0;
    EXPECT_EQ(stream->Seek(zero, STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &got), S_OK);
    bytes.resize(got);
    return bytes;
  }

  ComPtr<IWICBitmapFrameDecode> Decode(const std::wstring& path) {
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    EXPECT_EQ(factory_->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.GetAddressOf()), S_OK);
    if (decoder) {
      EXPECT_EQ(decoder->GetFrame(0, frame.GetAddressOf()), S_OK);
    }
    return frame;
  }

  FCAutoInitializeCOM com_;
  ComPtr<IWICImagingFactory> factory_;
  testing_support::TempDir dir_;
};

// Puts an APP1 "Exif" segment right after the SOI of an encoded JPEG.
std::vector<uint8_t> WithExif(const std::vector<uint8_t>& jpeg, const std::vector<uint8_t>& tiff) {
  const std::vector<uint8_t> wrapped = exif_test::WrapInJpeg(tiff, {});
  std::vector<uint8_t> out(wrapped.begin(), wrapped.end());
  out.erase(out.begin() + 2, out.begin() + 20);  // keep the encoder's own APP0, drop ours
  out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
  return out;
}

TiffBuilder CameraBlock() {
  TiffBuilder b(true);
  b.Shorts(Directory::kIfd0, 274, {6})
      .Rationals(Directory::kExif, 33434, {{10, 2000}})
      .Ascii(Directory::kGps, 1, "S")
      .Rationals(Directory::kGps, 2, {{33, 1}, {51, 1}, {5460, 100}});
  return b;
}

uint16_t Orientation(IWICMetadataQueryReader* reader) {
  Pv pv;
  if (reader->GetMetadataByName(L"/app1/ifd/{ushort=274}", &pv.v) != S_OK || pv.v.vt != VT_UI2) return 0;
  return pv.v.uiVal;
}

TEST_F(ExifFallback, ReadsFilesAndStreamsWithoutDisturbingThem) {
  const std::vector<uint8_t> jpeg = WithExif(Encode(GUID_ContainerFormatJpeg), CameraBlock().Build());
  const std::wstring path = dir_.File(L"camera.jpg");
  ASSERT_TRUE(testing_support::WriteBytes(path, jpeg));

  ComPtr<IWICMetadataQueryReader> fromFile;
  ASSERT_EQ(CreateExifQueryReaderFromFile(path.c_str(), fromFile.GetAddressOf()), S_OK);
  EXPECT_EQ(Orientation(fromFile.Get()), 6);
  EXPECT_EQ(testing_support::ReadBytes(path), jpeg);
  // The file stays free for other readers and writers while we hold the reader.
  base::KernelHandle writer(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  EXPECT_TRUE(writer.IsValid());

  ComPtr<IStream> stream;
  base::Adopt(stream, ::SHCreateMemStream(jpeg.data(), static_cast<UINT>(jpeg.size())));
  ASSERT_TRUE(stream);
  LARGE_INTEGER middle{};
  middle.QuadPart = 123;
  ASSERT_EQ(stream->Seek(middle, STREAM_SEEK_SET, nullptr), S_OK);
  ComPtr<IWICMetadataQueryReader> fromStream;
  ASSERT_EQ(CreateExifQueryReaderFromStream(stream.Get(), fromStream.GetAddressOf()), S_OK);
  EXPECT_EQ(Orientation(fromStream.Get()), 6);
  LARGE_INTEGER zero{};
  ULARGE_INTEGER now{};
  ASSERT_EQ(stream->Seek(zero, STREAM_SEEK_CUR, &now), S_OK);
  EXPECT_EQ(now.QuadPart, 123u);

  ComPtr<IWICMetadataQueryReader> none;
  EXPECT_EQ(CreateExifQueryReaderFromFile(dir_.File(L"missing.jpg").c_str(), none.GetAddressOf()),
            HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateExifQueryReaderFromFile(nullptr, none.GetAddressOf()), E_INVALIDARG);
  EXPECT_EQ(CreateExifQueryReaderFromStream(nullptr, none.GetAddressOf()), E_INVALIDARG);
  EXPECT_FALSE(none);
}

TEST_F(ExifFallback, FrameOfAnExifJpegAlwaysAnswersTheViewerQueries) {
  const std::vector<uint8_t> jpeg = WithExif(Encode(GUID_ContainerFormatJpeg), CameraBlock().Build());
  const std::wstring path = dir_.File(L"exif.jpg");
  ASSERT_TRUE(testing_support::WriteBytes(path, jpeg));
  ComPtr<IWICBitmapFrameDecode> frame = Decode(path);
  ASSERT_TRUE(frame);
  UINT w = 0, h = 0;
  ASSERT_EQ(frame->GetSize(&w, &h), S_OK);  // the spliced file is still a valid picture
  EXPECT_EQ(w, 16u);

  // What the platform's own frame reader makes of the block (Wine 8 finds no "/app1").
  ComPtr<IWICMetadataQueryReader> platform;
  const HRESULT platformHr = frame->GetMetadataQueryReader(platform.GetAddressOf());
  HRESULT app1 = platformHr;
  if (platform) {
    Pv pv;
    app1 = platform->GetMetadataByName(L"/app1", &pv.v);
  }
  std::cout << "platform frame reader: 0x" << std::hex << platformHr << ", \"/app1\": 0x" << app1
            << std::dec << std::endl;

  ComPtr<IWICMetadataQueryReader> reader;
  ASSERT_EQ(GetFrameQueryReaderWithFallback(frame.Get(), path.c_str(), reader.GetAddressOf()), S_OK);
  ASSERT_TRUE(reader);
  EXPECT_EQ(Orientation(reader.Get()), 6);
  const wchar_t* queries[] = {L"/app1/ifd/exif/{ushort=33434}", L"/app1/ifd/gps/{ushort=1}",
                              L"/app1/ifd/gps/{ushort=2}"};
  for (const wchar_t* q : queries) {
    Pv mine;
    ASSERT_EQ(reader->GetMetadataByName(q, &mine.v), S_OK) << q;
    if (SUCCEEDED(app1)) {  // a platform that reads the block must give the same answer
      Pv theirs;
      ASSERT_EQ(platform->GetMetadataByName(q, &theirs.v), S_OK) << q;
      EXPECT_EQ(theirs.v.vt, mine.v.vt) << q;
    }
  }
  Pv exposure;
  ASSERT_EQ(reader->GetMetadataByName(queries[0], &exposure.v), S_OK);
  EXPECT_EQ(exposure.v.vt, VT_UI8);
  EXPECT_EQ(exposure.v.uhVal.QuadPart, (2000ull << 32) | 10);
}

TEST_F(ExifFallback, OtherPicturesKeepThePlatformReader) {
  // A JPEG without EXIF: nothing of ours to offer, the platform's reader is handed back.
  const std::wstring plain = dir_.File(L"plain.jpg");
  ASSERT_TRUE(testing_support::WriteBytes(plain, Encode(GUID_ContainerFormatJpeg)));
  ComPtr<IWICBitmapFrameDecode> frame = Decode(plain);
  ASSERT_TRUE(frame);
  ComPtr<IWICMetadataQueryReader> reader;
  ASSERT_EQ(GetFrameQueryReaderWithFallback(frame.Get(), plain.c_str(), reader.GetAddressOf()), S_OK);
  GUID format{};
  ASSERT_EQ(reader->GetContainerFormat(&format), S_OK);
  EXPECT_TRUE(IsEqualGUID(format, GUID_ContainerFormatJpeg));
  EXPECT_EQ(Orientation(reader.Get()), 0);

  // A PNG is never read as EXIF, even when handed the path of a JPEG that has a block.
  const std::wstring png = dir_.File(L"picture.png");
  const std::wstring exifJpeg = dir_.File(L"other.jpg");
  ASSERT_TRUE(testing_support::WriteBytes(png, Encode(GUID_ContainerFormatPng)));
  ASSERT_TRUE(testing_support::WriteBytes(
      exifJpeg, WithExif(Encode(GUID_ContainerFormatJpeg), CameraBlock().Build())));
  ComPtr<IWICBitmapFrameDecode> pngFrame = Decode(png);
  ASSERT_TRUE(pngFrame);
  ComPtr<IWICMetadataQueryReader> pngReader;
  const HRESULT hr = GetFrameQueryReaderWithFallback(pngFrame.Get(), png.c_str(), pngReader.GetAddressOf());
  if (SUCCEEDED(hr)) {
    ASSERT_EQ(pngReader->GetContainerFormat(&format), S_OK);
    EXPECT_TRUE(IsEqualGUID(format, GUID_ContainerFormatPng));
  } else {
    EXPECT_FALSE(pngReader);
  }
  ComPtr<IWICMetadataQueryReader> viaOtherPath;
  (void)GetFrameQueryReaderWithFallback(pngFrame.Get(), exifJpeg.c_str(), viaOtherPath.GetAddressOf());
  if (viaOtherPath) {
    ASSERT_EQ(viaOtherPath->GetContainerFormat(&format), S_OK);
    EXPECT_FALSE(IsEqualGUID(format, GUID_ContainerFormatJpeg));
  }

  EXPECT_EQ(GetFrameQueryReaderWithFallback(nullptr, plain.c_str(), reader.ReleaseAndGetAddressOf()), E_INVALIDARG);
  EXPECT_FALSE(reader);
  EXPECT_EQ(GetFrameQueryReaderWithFallback(frame.Get(), plain.c_str(), nullptr), E_INVALIDARG);
}

}  // namespace
