// The libjpeg-turbo fast path against the platform: real JPEG files made by WIC's encoder, decoded
// scaled by us and in full by WIC, compared by size and by the mean colour of a grid of cells.
#include <gtest/gtest.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "base/com.h"
#include "image/jpeg_fast.h"
#include "image/obj_image.h"

using base::ComPtr;

namespace {

constexpr int kGrid = 4;
using CellMeans = std::vector<std::array<double, 3>>;  // blue, green, red per cell, row by row

class FastJpeg : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                             IID_PPV_ARGS(&factory_))));
  }

  // Four flat quadrants (red, green, blue, a grey ramp) with a soft diagonal shading, so that a
  // swapped channel, a flipped image or a shifted cell shows in the cell means.
  static std::vector<BYTE> Pattern(int width, int height) {
    std::vector<BYTE> bgr(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        BYTE* p = &bgr[(static_cast<size_t>(y) * width + x) * 3];
        const int shade = (x + y) * 40 / (width + height);
        const bool right = x >= width / 2;
        const bool bottom = y >= height / 2;
        int b = 30, g = 30, r = 30;
        if (!right && !bottom) r = 220;
        if (right && !bottom) g = 200;
        if (!right && bottom) b = 210;
        if (right && bottom) r = g = b = 60 + x * 120 / width;
        p[0] = static_cast<BYTE>(b + shade);
        p[1] = static_cast<BYTE>(g + shade);
        p[2] = static_cast<BYTE>(r + shade);
      }
    }
    return bgr;
  }

  // Encodes pixels of the given format with WIC's JPEG encoder into bytes.
  std::vector<uint8_t> Encode(int width, int height, REFWICPixelFormatGUID format, UINT bytesPerPixel,
                              std::vector<BYTE> pixels) {
    std::vector<uint8_t> out;
    ComPtr<IWICBitmap> bitmap;
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    const UINT stride = width * bytesPerPixel;
    WICPixelFormatGUID wanted = format;
    if (FAILED(factory_->CreateBitmapFromMemory(width, height, format, stride, static_cast<UINT>(pixels.size()),
                                                pixels.data(), &bitmap)) ||
        FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
        FAILED(factory_->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(width, height)) || FAILED(frame->SetPixelFormat(&wanted)) || wanted != format ||
        FAILED(frame->WriteSource(bitmap.Get(), nullptr)) || FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
      return out;
    }
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return out;
    out.resize(static_cast<size_t>(stat.cbSize.QuadPart));
    const LARGE_INTEGER start{};
    ULONG read = 0;
    if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr)) ||
        FAILED(stream->Read(out.data(), static_cast<ULONG>(out.size()), &read)) || read != out.size()) {
      out.clear();
    }
    return out;
  }

  std::vector<uint8_t> EncodePattern(int width, int height) {
    return Encode(width, height, GUID_WICPixelFormat24bppBGR, 3, Pattern(width, height));
  }

  // WIC's full decode as a tightly packed 32 bpp BGRA picture; empty on failure.
  bool WicDecode(const std::vector<uint8_t>& jpeg, FCObjImage& out) {
    ComPtr<IStream> stream;
    base::Adopt(stream, ::SHCreateMemStream(jpeg.data(), static_cast<UINT>(jpeg.size())));
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICBitmapSource> bgra;
    if (!stream ||
        FAILED(factory_->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) ||
        FAILED(decoder->GetFrame(0, &frame)) ||
        FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), &bgra))) {
      return false;
    }
    return out.LoadFromWicSource(bgra.Get(), GUID_WICPixelFormat32bppBGRA);
  }

  static CellMeans Means(const FCObjImage& image) {
    CellMeans means(kGrid * kGrid);
    for (int cy = 0; cy < kGrid; ++cy) {
      for (int cx = 0; cx < kGrid; ++cx) {
        // Each cell without a margin of a tenth of its size, where block edges blur across.
        const int x0 = image.Width() * cx / kGrid, x1 = image.Width() * (cx + 1) / kGrid;
        const int y0 = image.Height() * cy / kGrid, y1 = image.Height() * (cy + 1) / kGrid;
        const int mx = (x1 - x0) / 10, my = (y1 - y0) / 10;
        std::array<double, 3> sum{};
        int count = 0;
        for (int y = y0 + my; y < y1 - my; ++y) {
          for (int x = x0 + mx; x < x1 - mx; ++x, ++count) {
            for (int c = 0; c < 3; ++c) sum[c] += image.PixelPointer(x, y)[c];
          }
        }
        for (int c = 0; c < 3; ++c) means[cy * kGrid + cx][c] = sum[c] / count;
      }
    }
    return means;
  }

  static bool AllOpaque(const FCObjImage& image) {
    for (int y = 0; y < image.Height(); ++y) {
      for (int x = 0; x < image.Width(); ++x) {
        if (image.PixelPointer(x, y)[3] != 255) return false;
      }
    }
    return true;
  }

  static void ExpectNear(const CellMeans& actual, const CellMeans& expected, double tolerance) {
    for (size_t i = 0; i < expected.size(); ++i) {
      for (int c = 0; c < 3; ++c) {
        EXPECT_NEAR(actual[i][c], expected[i][c], tolerance) << "cell " << i << " channel " << c;
      }
    }
  }

  FCAutoInitializeCOM com_;
  ComPtr<IWICImagingFactory> factory_;
};

// The stream's first marker segment after SOI: its end offset (where stray bytes may be put).
size_t FirstSegmentEnd(const std::vector<uint8_t>& jpeg) {
  if (jpeg.size() < 6 || jpeg[2] != 0xFF) return 0;
  return 4 + (static_cast<size_t>(jpeg[4]) << 8 | jpeg[5]);
}

}  // namespace

TEST(FastJpegReduction, PicksTheLargestReductionStillCoveringTheFittedSize) {
  // 6000 x 4000 fitted into 1500 x 1500 is 1500 x 1000: a quarter gives exactly that.
  EXPECT_EQ(FastJpegReduction(6000, 4000, 1500, 1500), 4);
  // Fitted 1600 x 1067 is a little more than a quarter: the half is the smallest that covers it.
  EXPECT_EQ(FastJpegReduction(6000, 4000, 1600, 1100), 2);
  EXPECT_EQ(FastJpegReduction(6000, 4000, 1500, 1001), 4) << "the narrower ratio decides";
  EXPECT_EQ(FastJpegReduction(6000, 4000, 750, 9000), 8);
  EXPECT_EQ(FastJpegReduction(6000, 4000, 751, 501), 4);
  EXPECT_EQ(FastJpegReduction(6000, 4000, 100, 100), 8) << "never below an eighth";
  EXPECT_EQ(FastJpegReduction(6000, 4000, 6000, 4000), 1);
  EXPECT_EQ(FastJpegReduction(6000, 4000, 60000, 40000), 1) << "a larger box never enlarges";
  EXPECT_EQ(FastJpegReduction(65500, 65500, INT32_MAX, 1), 8) << "no overflow";
  EXPECT_EQ(FastJpegReduction(0, 4000, 100, 100), 0);
  EXPECT_EQ(FastJpegReduction(6000, 4000, 0, 100), 0);
  EXPECT_EQ(FastJpegReduction(6000, 4000, 100, -1), 0);
}

TEST_F(FastJpeg, ScaledDecodesMatchThePlatformsFullDecode) {
  constexpr int kWidth = 801, kHeight = 603;  // odd sizes: scaled sizes round up
  const std::vector<uint8_t> jpeg = EncodePattern(kWidth, kHeight);
  ASSERT_FALSE(jpeg.empty());

  int w = 0, h = 0;
  ASSERT_TRUE(FastJpegDimensions(jpeg.data(), jpeg.size(), w, h));
  EXPECT_EQ(w, kWidth);
  EXPECT_EQ(h, kHeight);

  FCObjImage reference;
  ASSERT_TRUE(WicDecode(jpeg, reference));
  const CellMeans expected = Means(reference);

  struct Case {
    int boxWidth, boxHeight, width, height;
  };
  const Case cases[] = {{2000, 2000, 801, 603}, {400, 400, 401, 302}, {200, 150, 201, 151}, {64, 64, 101, 76}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "box " << c.boxWidth << " x " << c.boxHeight);
    FCObjImage image;
    ASSERT_TRUE(FastJpegDecodeScaled(jpeg.data(), jpeg.size(), c.boxWidth, c.boxHeight, image));
    EXPECT_EQ(image.Width(), c.width);
    EXPECT_EQ(image.Height(), c.height);
    EXPECT_EQ(image.BitsPerPixel(), 32);
    EXPECT_EQ(image.RowPointer(0), image.PixelMemory()) << "top-down";
    EXPECT_TRUE(AllOpaque(image));
    ExpectNear(Means(image), expected, 4.0);
  }
}

TEST_F(FastJpeg, GreyscaleDecodesToEqualChannelsAndExifOrientationIsLeftToTheCaller) {
  constexpr int kWidth = 96, kHeight = 64;
  std::vector<BYTE> grey(kWidth * kHeight);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) grey[y * kWidth + x] = static_cast<BYTE>(x < kWidth / 2 ? 40 : 200);
  }
  std::vector<uint8_t> jpeg = Encode(kWidth, kHeight, GUID_WICPixelFormat8bppGray, 1, grey);
  ASSERT_FALSE(jpeg.empty());
  // An EXIF block saying "turn 90 degrees" (orientation 6) right after SOI.
  const uint8_t exif[] = {0xFF, 0xE1, 0x00, 0x22, 'E', 'x', 'i', 'f', 0, 0, 'I', 'I', 0x2A, 0, 8, 0, 0, 0,
                          1, 0, 0x12, 0x01, 3, 0, 1, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0};
  jpeg.insert(jpeg.begin() + 2, std::begin(exif), std::end(exif));

  int w = 0, h = 0;
  ASSERT_TRUE(FastJpegDimensions(jpeg.data(), jpeg.size(), w, h));
  EXPECT_EQ(w, kWidth);
  EXPECT_EQ(h, kHeight);
  FCObjImage image;
  ASSERT_TRUE(FastJpegDecodeScaled(jpeg.data(), jpeg.size(), 48, 48, image));
  ASSERT_EQ(image.Width(), 48);
  ASSERT_EQ(image.Height(), 32);
  for (int x : {4, 43}) {
    const uint8_t* p = image.PixelPointer(x, 16);
    EXPECT_EQ(p[0], p[1]);
    EXPECT_EQ(p[1], p[2]);
    EXPECT_NEAR(p[0], x < 24 ? 40 : 200, 6);
    EXPECT_EQ(p[3], 255);
  }
}

TEST_F(FastJpeg, StrayBytesBetweenSegmentsAreToleratedAndChangeNothing) {
  std::vector<uint8_t> jpeg = EncodePattern(64, 48);
  ASSERT_FALSE(jpeg.empty());
  FCObjImage clean;
  ASSERT_TRUE(FastJpegDecodeScaled(jpeg.data(), jpeg.size(), 64, 48, clean));

  const size_t at = FirstSegmentEnd(jpeg);
  ASSERT_GT(at, 0u);
  ASSERT_LT(at, jpeg.size());
  jpeg.insert(jpeg.begin() + static_cast<ptrdiff_t>(at), {0x12, 0x34, 0x56});
  FCObjImage stray;
  ASSERT_TRUE(FastJpegDecodeScaled(jpeg.data(), jpeg.size(), 64, 48, stray));
  ASSERT_EQ(stray.Width(), clean.Width());
  ASSERT_EQ(stray.Height(), clean.Height());
  for (int y = 0; y < clean.Height(); ++y) {
    ASSERT_EQ(0, memcmp(stray.RowPointer(y), clean.RowPointer(y), clean.Width() * 4)) << "row " << y;
  }
}

TEST_F(FastJpeg, DamagedTruncatedAndForeignInputFailsCleanlyAndEmptiesTheOutput) {
  const std::vector<uint8_t> jpeg = EncodePattern(320, 240);
  ASSERT_GT(jpeg.size(), 2000u);
  FCObjImage image;
  int w = -1, h = -1;

  // Cut in the middle of the picture data: the header is whole, the pixels are not.
  const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<ptrdiff_t>(jpeg.size() / 2));
  EXPECT_TRUE(FastJpegDimensions(cut.data(), cut.size(), w, h));
  EXPECT_EQ(w, 320);
  ASSERT_TRUE(image.Create(8, -8, 32));
  EXPECT_FALSE(FastJpegDecodeScaled(cut.data(), cut.size(), 320, 240, image));
  EXPECT_FALSE(image.IsValid()) << "a failed decode leaves no half picture behind";
  EXPECT_FALSE(FastJpegDecodeScaled(cut.data(), cut.size(), 40, 30, image));

  // Cut inside the header: nothing to read at all.
  for (size_t size : {size_t{1}, size_t{2}, size_t{3}, size_t{20}, size_t{200}}) {
    SCOPED_TRACE(size);
    w = h = -1;
    EXPECT_FALSE(FastJpegDimensions(jpeg.data(), size, w, h));
    EXPECT_EQ(w, -1) << "outputs untouched on failure";
    EXPECT_FALSE(FastJpegDecodeScaled(jpeg.data(), size, 100, 100, image));
  }

  // Entropy-coded data overwritten with a marker in the middle.
  std::vector<uint8_t> marked = jpeg;
  marked[marked.size() * 2 / 3] = 0xFF;
  marked[marked.size() * 2 / 3 + 1] = 0xD5;  // RST5 out of sequence
  EXPECT_FALSE(FastJpegDecodeScaled(marked.data(), marked.size(), 320, 240, image));

  std::vector<uint8_t> garbage(4096);
  uint32_t seed = 12345;
  for (auto& b : garbage) b = static_cast<uint8_t>((seed = seed * 1664525u + 1013904223u) >> 24);
  EXPECT_FALSE(FastJpegDimensions(garbage.data(), garbage.size(), w, h));
  EXPECT_FALSE(FastJpegDecodeScaled(garbage.data(), garbage.size(), 100, 100, image));
  // A JPEG start followed by noise.
  garbage[0] = 0xFF;
  garbage[1] = 0xD8;
  EXPECT_FALSE(FastJpegDecodeScaled(garbage.data(), garbage.size(), 100, 100, image));

  const uint8_t png[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
  EXPECT_FALSE(FastJpegDimensions(png, sizeof(png), w, h));
  EXPECT_FALSE(FastJpegDimensions(nullptr, 100, w, h));
  EXPECT_FALSE(FastJpegDecodeScaled(jpeg.data(), 0, 100, 100, image));
  EXPECT_FALSE(FastJpegDecodeScaled(jpeg.data(), jpeg.size(), 0, 100, image)) << "an empty box";
  EXPECT_FALSE(image.IsValid());

  // The decoder still works after all of that.
  EXPECT_TRUE(FastJpegDecodeScaled(jpeg.data(), jpeg.size(), 80, 60, image));
  EXPECT_EQ(image.Width(), 80);
}

TEST_F(FastJpeg, CmykPicturesAreLeftToThePlatform) {
  std::vector<BYTE> cmyk(32 * 32 * 4, 0);
  for (size_t i = 0; i < cmyk.size(); i += 4) cmyk[i] = 200;  // cyan
  const std::vector<uint8_t> jpeg = Encode(32, 32, GUID_WICPixelFormat32bppCMYK, 4, cmyk);
  if (jpeg.empty()) GTEST_SKIP() << "this platform's JPEG encoder does not write CMYK";
  int w = 0, h = 0;
  EXPECT_TRUE(FastJpegDimensions(jpeg.data(), jpeg.size(), w, h));
  EXPECT_EQ(w, 32);
  FCObjImage image;
  EXPECT_FALSE(FastJpegDecodeScaled(jpeg.data(), jpeg.size(), 32, 32, image));
  EXPECT_FALSE(image.IsValid());
}
