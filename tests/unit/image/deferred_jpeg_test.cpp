// Large JPEGs open from their header; the platform decoder is made when pixels are first needed,
// and what comes out is what the direct path gives.
#include <gtest/gtest.h>
#include <wincodec.h>

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
  }
  // A file that changed into something else after opening yields no pixels.
  const std::wstring gone = Photo(L"gone.jpg", 1600, 1200);
  const CWICImageLoaderPtr loader = OpenImage(gone);
  ASSERT_TRUE(loader->IsDeferred());
  ASSERT_TRUE(testing_support::WriteBytes(gone, {'n', 'o', 't', ' ', 'a', ' ', 'j', 'p', 'e', 'g'}));
  FCObjImage image;
  EXPECT_FALSE(DecodeToFitImage(*loader, 160, 120, image));
  EXPECT_FALSE(image.IsValid());
}

}  // namespace
