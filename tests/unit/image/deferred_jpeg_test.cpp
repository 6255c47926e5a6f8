// Large JPEGs open from their header; the platform decoder is made when pixels are first needed,
// and what comes out is what the direct path gives.
#include <gtest/gtest.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "base/com.h"
#include "image/obj_image.h"
#include "image/wic/factory.h"
#include "image/wic/loader.h"
#include "tests/support/test_support.h"
#include "tests/unit/image/test_pictures.h"

namespace {

using test_pictures::kBlue;
using test_pictures::kRed;

class DeferredJpeg : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateWicFactory()); }
  // Blue with a red block in the top-left corner.
  std::wstring Photo(const std::wstring& name, UINT width, UINT height) {
    const std::wstring path = dir_.File(name);
    EXPECT_TRUE(test_pictures::WritePicture(path, GUID_ContainerFormatJpeg, width, height,
                                            [](UINT x, UINT y) { return x < 200 && y < 100 ? kRed : kBlue; }));
    return path;
  }

  FCAutoInitializeCOM com_;
  testing_support::TempDir dir_;
};

TEST_F(DeferredJpeg, LargeJpegOpensFromItsHeaderAndDecodesLikeTheDirectPath) {
  const std::wstring path = Photo(L"large.jpg", 1600, 1200);
  ASSERT_TRUE(test_pictures::AddOrientation(path, 6));
  const CWICImageLoaderPtr loader = OpenImage(path);
  ASSERT_TRUE(loader->IsDeferred());
  EXPECT_STREQ(loader->DecoderName(), "wic");
  EXPECT_EQ(loader->Metadata().orientation, 6);
  EXPECT_EQ(loader->GetDisplaySize().cx, 1200);  // turned a quarter
  EXPECT_EQ(loader->GetDisplaySize().cy, 1600);
  EXPECT_FALSE(loader->IsAnimatedPicture());
  EXPECT_EQ(loader->Metadata().resolution, 96);

  // The fitted picture equals the one made from the platform decoder directly.
  FCObjImage deferred;
  ASSERT_TRUE(DecodeToFitImage(*loader, 300, 400, deferred));
  base::ComPtr<IWICBitmapDecoder> direct;
  base::ComPtr<IWICBitmapFrameDecode> frame;
  ASSERT_HRESULT_SUCCEEDED(GetWicFactory()->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                                      WICDecodeMetadataCacheOnDemand, &direct));
  ASSERT_HRESULT_SUCCEEDED(direct->GetFrame(0, &frame));
  auto plain = CWICImageLoader::FromSource(frame.Get(), nullptr);
  plain->Metadata().orientation = 6;
  FCObjImage reference;
  ASSERT_TRUE(DecodeToFitImage(*plain, 300, 400, reference));
  ASSERT_EQ(deferred.Width(), reference.Width());
  ASSERT_EQ(deferred.Height(), reference.Height());
  for (int y = 0; y < deferred.Height(); ++y) {
    ASSERT_EQ(0, std::memcmp(deferred.RowPointer(y), reference.RowPointer(y), static_cast<size_t>(deferred.Width()) * 4))
        << "row " << y;
  }
  // Turned clockwise: the red corner is now at the top right.
  const uint8_t* corner = deferred.PixelPointer(deferred.Width() - 5, 5);
  EXPECT_GT(corner[2], 200);
  EXPECT_LT(corner[0], 60);
  // The decoder is there once asked for.
  EXPECT_NE(loader->Decoder(), nullptr);
}

// The whole bitmap's bytes (32 bpp, rows packed).
std::vector<BYTE> AllPixels(IWICBitmapSource* source, UINT* width, UINT* height) {
  if (FAILED(source->GetSize(width, height))) return {};
  std::vector<BYTE> pixels(size_t{*width} * *height * 4);
  if (FAILED(source->CopyPixels(nullptr, *width * 4, static_cast<UINT>(pixels.size()), pixels.data()))) return {};
  return pixels;
}

TEST_F(DeferredJpeg, ViewBitmapIsOurOwnDecodeTurnedAsThePlatformPathTurnsIt) {
  // Red top-left, green along the bottom, blue elsewhere: every turn and flip moves the blocks.
  const std::wstring path = dir_.File(L"turned.jpg");
  ASSERT_TRUE(test_pictures::WritePicture(path, GUID_ContainerFormatJpeg, 1600, 1200, [](UINT x, UINT y) {
    return x < 400 && y < 240 ? kRed : (y >= 1000 ? test_pictures::kGreen : kBlue);
  }));
  const std::vector<uint8_t> plain = testing_support::ReadBytes(path);
  for (uint16_t orientation = 1; orientation <= 8; ++orientation) {
    SCOPED_TRACE(orientation);
    ASSERT_TRUE(testing_support::WriteBytes(path, plain));
    ASSERT_TRUE(test_pictures::AddOrientation(path, orientation));
    const CWICImageLoaderPtr loader = OpenImage(path);
    ASSERT_TRUE(loader->IsDeferred());
    base::ComPtr<IWICBitmap> ours, platform;
    ASSERT_HRESULT_SUCCEEDED(loader->GetOrientedViewBitmap(false, &ours, GUID_WICPixelFormat32bppPBGRA));
    ASSERT_HRESULT_SUCCEEDED(loader->GetOrientedBitmap(false, &platform, GUID_WICPixelFormat32bppPBGRA));
    UINT w = 0, h = 0, pw = 0, ph = 0;
    const std::vector<BYTE> a = AllPixels(ours.Get(), &w, &h);
    const std::vector<BYTE> b = AllPixels(platform.Get(), &pw, &ph);
    ASSERT_EQ(w, pw);
    ASSERT_EQ(h, ph);
    ASSERT_EQ(w, orientation >= 5 ? 1200u : 1600u);
    ASSERT_EQ(a.size(), b.size());
    ASSERT_FALSE(a.empty());
    // Decoders differ in how they smooth colour across sharp edges, so single pixels there may
    // differ a lot; the picture as a whole, and every part of it, must not.
    long long total = 0;
    for (size_t i = 0; i < a.size(); ++i) total += std::abs(int{a[i]} - int{b[i]});
    EXPECT_LT(static_cast<double>(total) / static_cast<double>(a.size()), 0.5);
    constexpr UINT kCells = 8;
    for (UINT cy = 0; cy < kCells; ++cy) {
      for (UINT cx = 0; cx < kCells; ++cx) {
        double sumA[4] = {}, sumB[4] = {};
        for (UINT y = cy * h / kCells; y < (cy + 1) * h / kCells; ++y) {
          for (UINT x = cx * w / kCells; x < (cx + 1) * w / kCells; ++x) {
            for (int c = 0; c < 4; ++c) {
              sumA[c] += a[(size_t{y} * w + x) * 4 + c];
              sumB[c] += b[(size_t{y} * w + x) * 4 + c];
            }
          }
        }
        const double n = double(w / kCells) * double(h / kCells);
        for (int c = 0; c < 4; ++c) {
          ASSERT_NEAR(sumA[c] / n, sumB[c] / n, 2.0) << "cell " << cx << "," << cy << " channel " << c;
        }
      }
    }
  }
}

TEST_F(DeferredJpeg, SmallOrDamagedFilesTakeTheUsualPathsAndFailCleanly) {
  const CWICImageLoaderPtr small = OpenImage(Photo(L"small.jpg", 1281, 1280));
  EXPECT_FALSE(small->IsDeferred());
  EXPECT_EQ(small->GetDisplaySize().cx, 1281);

  // A large picture whose data ends early: the header stands, the pixels fail without harm.
  const std::wstring path = Photo(L"cut.jpg", 1600, 1200);
  std::vector<uint8_t> bytes = testing_support::ReadBytes(path);
  bytes.resize(bytes.size() / 3);
  ASSERT_TRUE(testing_support::WriteBytes(path, bytes));
  const CWICImageLoaderPtr cut = OpenImage(path);
  if (cut->IsDeferred()) {
    FCObjImage image;
    (void)DecodeToFitImage(*cut, 160, 120, image);  // whatever the platform makes of it, no crash
    base::ComPtr<IWICBitmap> view;
    (void)cut->GetOrientedViewBitmap(false, &view, GUID_WICPixelFormat32bppPBGRA);  // likewise
  }
  // A file that changed into something else after opening yields no pixels.
  const std::wstring gone = Photo(L"gone.jpg", 1600, 1200);
  const CWICImageLoaderPtr loader = OpenImage(gone);
  ASSERT_TRUE(loader->IsDeferred());
  ASSERT_TRUE(testing_support::WriteBytes(gone, {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'}));
  FCObjImage image;
  EXPECT_FALSE(DecodeToFitImage(*loader, 160, 120, image));
  EXPECT_FALSE(image.IsValid());
  base::ComPtr<IWICBitmap> view;
  EXPECT_HRESULT_FAILED(loader->GetOrientedViewBitmap(false, &view, GUID_WICPixelFormat32bppPBGRA));
  EXPECT_EQ(view, nullptr);
}

}  // namespace
