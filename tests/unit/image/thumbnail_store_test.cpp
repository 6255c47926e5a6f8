// The in-process thumbnail store behind ShellThumbnail: real pictures written to disk with the
// platform's encoders, decoded by the store's JPEG and platform paths, and handed on through
// ThumbnailToBitmap.
#include <gtest/gtest.h>
#include <wincodec.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "image/thumbnail/thumbnail.h"
#include "image/thumbnail/decode.h"
#include "image/thumbnail/store.h"
#include "image/wic/factory.h"
#include "tests/support/test_support.h"
#include "tests/unit/image/exif_test_builder.h"
#include "tests/unit/image/test_pictures.h"

using base::ComPtr;
using testing_support::ReadBytes;
using testing_support::TempDir;
using testing_support::WriteBytes;

namespace {

using test_pictures::AddOrientation;
using test_pictures::Fill;
using test_pictures::kBlue;
using test_pictures::kGreen;
using test_pictures::kRed;
using test_pictures::WritePicture;

uint32_t PixelAt(const ThumbnailFrame& frame, int x, int y) {
  const uint8_t* p = frame.image.PixelPointer(x, y);
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// Each channel within 24 of the expected colour (JPEG and averaging blur the values a little).
::testing::AssertionResult Near(uint32_t got, uint32_t want) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int a = (got >> shift) & 0xFF, b = (want >> shift) & 0xFF;
    if (a - b > 24 || b - a > 24) return ::testing::AssertionFailure() << std::hex << got << " vs " << want;
  }
  return ::testing::AssertionSuccess();
}

void SetWriteTime(const std::wstring& path, int64_t shift100ns) {
  HANDLE h = ::CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  FILETIME t{};
  ::GetFileTime(h, nullptr, nullptr, &t);
  ULARGE_INTEGER v{{t.dwLowDateTime, t.dwHighDateTime}};
  v.QuadPart += static_cast<uint64_t>(shift100ns);
  t = {v.LowPart, v.HighPart};
  EXPECT_TRUE(::SetFileTime(h, nullptr, nullptr, &t));
  ::CloseHandle(h);
}

class ThumbStore : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(CreateWicFactory()); }
  // A 3000 x 2000 JPEG, blue with a red 600 x 400 block in its top-left corner.
  std::wstring Photo(const std::wstring& name, uint32_t corner = kRed) {
    const std::wstring path = dir_.File(name);
    EXPECT_TRUE(WritePicture(path, GUID_ContainerFormatJpeg, 3000, 2000,
                             [&](UINT x, UINT y) { return x < 600 && y < 400 ? corner : kBlue; }));
    return path;
  }
  std::wstring Png(const std::wstring& name, UINT w, UINT h, const Fill& fill) {
    const std::wstring path = dir_.File(name);
    EXPECT_TRUE(WritePicture(path, GUID_ContainerFormatPng, w, h, fill));
    return path;
  }

  FCAutoInitializeCOM com_;
  TempDir dir_;
};

}  // namespace

TEST(ThumbnailFit, LargerSideBecomesTheBoxAndSmallPicturesStay) {
  const struct { int w, h, box, cx, cy; } cases[] = {
      {6000, 4000, 1280, 1280, 853}, {4000, 6000, 1280, 853, 1280}, {1000, 3, 100, 100, 1},
      {800, 600, 1280, 800, 600},    {0, 600, 1280, 0, 0},          {800, 600, 0, 0, 0}};
  for (const auto& c : cases) {
    const SIZE got = FitThumbnailSize(c.w, c.h, c.box);
    EXPECT_EQ(got.cx, c.cx) << c.w << "x" << c.h;
    EXPECT_EQ(got.cy, c.cy) << c.w << "x" << c.h;
  }
}

TEST_F(ThumbStore, LookupMissesUntilExtractThenHitsGood) {
  ThumbnailStore store(1280, true);
  const std::wstring path = Photo(L"photo.jpg");
  ThumbnailStore::Answer answer;
  EXPECT_FALSE(store.Lookup(path, 1280, answer));
  EXPECT_EQ(store.DecodeCount(), 0);

  ASSERT_TRUE(store.Extract(path, answer));
  EXPECT_FALSE(answer.lowQuality);
  EXPECT_EQ(answer.frame->image.Width(), 1280);
  EXPECT_EQ(answer.frame->image.Height(), 853);
  EXPECT_TRUE(Near(PixelAt(*answer.frame, 10, 10), kRed));
  EXPECT_TRUE(Near(PixelAt(*answer.frame, 1270, 843), kBlue));
  const ThumbnailFramePtr first = answer.frame;

  // The same file under another spelling of its name is the same entry.
  std::wstring upper = path;
  for (wchar_t& c : upper) c = static_cast<wchar_t>(::towupper(c));
  ASSERT_TRUE(store.Lookup(upper, 1000, answer));
  EXPECT_EQ(answer.frame.get(), first.get());
  EXPECT_FALSE(answer.lowQuality);
  // Asked for more than the stored frame holds: served, but marked low quality.
  ASSERT_TRUE(store.Lookup(path, 2000, answer));
  EXPECT_TRUE(answer.lowQuality);
  // A second extract is a hit, not a decode.
  ASSERT_TRUE(store.Extract(path, answer));
  EXPECT_EQ(answer.frame.get(), first.get());
  EXPECT_EQ(store.DecodeCount(), 1);
}

TEST_F(ThumbStore, OrientationSixComesBackTurnedClockwise) {
  const std::wstring path = Photo(L"turned.jpg");
  ASSERT_TRUE(AddOrientation(path, 6));
  ThumbnailStore::Answer answer;
  ThumbnailStore turning(1280, true);
  ASSERT_TRUE(turning.Extract(path, answer));
  const ThumbnailFrame& f = *answer.frame;
  ASSERT_EQ(f.image.Width(), 853);
  ASSERT_EQ(f.image.Height(), 1280);
  // The stored top-left corner is shown at the top right.
  EXPECT_TRUE(Near(PixelAt(f, 848, 5), kRed));
  EXPECT_TRUE(Near(PixelAt(f, 5, 5), kBlue));
  EXPECT_TRUE(Near(PixelAt(f, 848, 1275), kBlue));

  // Systems whose callers turn the thumbnail themselves get it as stored.
  ThumbnailStore plain(1280, false);
  ASSERT_TRUE(plain.Extract(path, answer));
  EXPECT_EQ(answer.frame->image.Width(), 1280);
  EXPECT_TRUE(Near(PixelAt(*answer.frame, 5, 5), kRed));
}

TEST_F(ThumbStore, SmallPicturesStayWholeAndKeepTheirAlpha) {
  // Left half fully transparent, right half opaque green.
  const std::wstring clear = Png(L"clear.png", 200, 100, [](UINT x, UINT) { return x < 100 ? 0u : kGreen; });
  const std::wstring solid = Png(L"solid.png", 200, 100, [](UINT, UINT) { return kGreen; });
  ThumbnailStore store(1280, true);
  ThumbnailStore::Answer answer;
  ASSERT_TRUE(store.Extract(clear, answer));
  EXPECT_EQ(answer.frame->image.Width(), 200);  // never enlarged
  EXPECT_EQ(answer.frame->image.Height(), 100);
  EXPECT_TRUE(answer.frame->hasAlpha);
  EXPECT_EQ(PixelAt(*answer.frame, 10, 50) >> 24, 0u);
  EXPECT_TRUE(Near(PixelAt(*answer.frame, 190, 50), kGreen));
  // The whole picture is as good as it gets, whatever size is asked for.
  ASSERT_TRUE(store.Lookup(clear, 3000, answer));
  EXPECT_FALSE(answer.lowQuality);

  auto alphaOf = [](const ThumbnailFramePtr& frame) {
    ComPtr<ISharedBitmap> shared;
    WTS_ALPHATYPE alpha = WTSAT_UNKNOWN;
    EXPECT_TRUE(SUCCEEDED(CreateSharedThumbnail(frame, &shared)) && SUCCEEDED(shared->GetFormat(&alpha)));
    return alpha;
  };
  EXPECT_EQ(alphaOf(answer.frame), WTSAT_ARGB);
  ASSERT_TRUE(store.Extract(solid, answer));
  EXPECT_FALSE(answer.frame->hasAlpha);
  EXPECT_EQ(alphaOf(answer.frame), WTSAT_RGB);
}

TEST_F(ThumbStore, ScaledModeShrinksTheStoredFrameOrDecodesLarger) {
  ThumbnailStore store(1280, true);
  const std::wstring path = Photo(L"scaled.jpg");
  ThumbnailStore::Answer answer;
  ASSERT_TRUE(store.Scaled(path, 400, answer));
  EXPECT_EQ(answer.frame->image.Width(), 400);
  EXPECT_EQ(answer.frame->image.Height(), 267);
  EXPECT_TRUE(Near(PixelAt(*answer.frame, 3, 3), kRed));
  // The decode was made at the store's size and kept for later look-ups.
  ASSERT_TRUE(store.Lookup(path, 1280, answer));
  EXPECT_EQ(answer.frame->image.Width(), 1280);
  EXPECT_FALSE(answer.lowQuality);
  EXPECT_EQ(store.DecodeCount(), 1);

  ASSERT_TRUE(store.Scaled(path, 2000, answer));
  EXPECT_EQ(answer.frame->image.Width(), 2000);
  EXPECT_EQ(answer.frame->image.Height(), 1333);
  EXPECT_EQ(store.DecodeCount(), 2);
  // The larger decode does not replace the frame at the store's size.
  ASSERT_TRUE(store.Lookup(path, 1280, answer));
  EXPECT_EQ(answer.frame->image.Width(), 1280);
  EXPECT_FALSE(store.Scaled(path, 0, answer));
}

TEST_F(ThumbStore, RewrittenFileMissesAndIsReplaced) {
  ThumbnailStore store(1280, true);
  const std::wstring path = Photo(L"rewritten.jpg");
  ThumbnailStore::Answer answer;
  ASSERT_TRUE(store.Extract(path, answer));
  EXPECT_TRUE(Near(PixelAt(*answer.frame, 5, 5), kRed));

  Photo(L"rewritten.jpg", kGreen);
  SetWriteTime(path, 20000000);  // two seconds on, whatever the file system's clock resolution
  EXPECT_FALSE(store.Lookup(path, 1280, answer));
  EXPECT_EQ(store.Count(), 0u);  // the stale frame went with the miss
  ASSERT_TRUE(store.Extract(path, answer));
  EXPECT_TRUE(Near(PixelAt(*answer.frame, 5, 5), kGreen));
  EXPECT_EQ(store.DecodeCount(), 2);
  EXPECT_EQ(store.Count(), 1u);
}

TEST_F(ThumbStore, SmallBudgetEvictsTheLeastRecentlyUsed) {
  const Fill grey = [](UINT x, UINT y) { return 0xFF000000u | ((x + y) & 0xFF) * 0x010101u; };
  const std::wstring a = Png(L"a.png", 300, 300, grey), b = Png(L"b.png", 300, 300, grey),
                     c = Png(L"c.png", 300, 300, grey);
  const size_t frame = 300 * 300 * 4;
  ThumbnailStore store(1280, true, 2 * frame + frame / 2);
  ThumbnailStore::Answer answer;
  ASSERT_TRUE(store.Extract(a, answer));
  ASSERT_TRUE(store.Extract(b, answer));
  ASSERT_TRUE(store.Lookup(a, 1280, answer));  // a is now the more recent
  ASSERT_TRUE(store.Extract(c, answer));
  EXPECT_TRUE(store.Contains(a));
  EXPECT_FALSE(store.Contains(b));
  EXPECT_TRUE(store.Contains(c));
  EXPECT_EQ(store.BytesUsed(), 2 * frame);
  // A frame held by a caller outlives its eviction.
  const ThumbnailFramePtr held = answer.frame;
  store.SetBudget(frame / 2);
  EXPECT_EQ(store.Count(), 0u);
  EXPECT_EQ(store.BytesUsed(), 0u);
  EXPECT_EQ(held->image.Width(), 300);
  // A frame larger than the whole budget is handed out but not kept.
  ASSERT_TRUE(store.Extract(a, answer));
  EXPECT_FALSE(store.Contains(a));
}

TEST_F(ThumbStore, ConcurrentExtractsOfOneFileDecodeOnce) {
  const std::wstring path = Photo(L"shared.jpg");
  // A slow decoder keeps the first decode running while the other threads arrive.
  ThumbnailStore store(1280, true, ThumbnailStore::kDefaultBudgetBytes,
                       [](const std::wstring& p, int side, ThumbnailFrame& out) {
                         std::this_thread::sleep_for(std::chrono::milliseconds(300));
                         return DecodeThumbnail(p, side, true, out);
                       });
  constexpr int kThreads = 6;
  std::vector<ThumbnailFramePtr> got(kThreads);
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i) {
    threads.emplace_back([&, i] {
      ThumbnailStore::Answer answer;
      if (store.Extract(path, answer)) got[i] = answer.frame;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(store.DecodeCount(), 1);
  for (const ThumbnailFramePtr& frame : got) {
    ASSERT_TRUE(frame);
    EXPECT_EQ(frame.get(), got[0].get());
  }
}

TEST_F(ThumbStore, DamagedMissingAndAbsurdFilesFailCleanly) {
  const std::wstring photo = Photo(L"whole.jpg");
  std::vector<uint8_t> bytes = ReadBytes(photo);
  ASSERT_GT(bytes.size(), 1000u);
  const std::wstring cut = dir_.File(L"cut.jpg");
  ASSERT_TRUE(WriteBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2)));
  const std::wstring empty = dir_.File(L"empty.jpg");
  ASSERT_TRUE(WriteBytes(empty, {}));
  std::vector<uint8_t> noise = {0xFF, 0xD8, 0xFF, 0xE0};
  for (int i = 0; i < 3000; ++i) noise.push_back(static_cast<uint8_t>(i * 7919 >> 3));
  const std::wstring garbage = dir_.File(L"garbage.jpg");
  ASSERT_TRUE(WriteBytes(garbage, noise));
  // A frame header claiming 60000 x 60000 pixels, then nothing worth decoding.
  std::vector<uint8_t> huge = {0xFF, 0xD8, 0xFF, 0xC0, 0, 17, 8, 0xEA, 0x60, 0xEA, 0x60, 3,
                               1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0, 0xFF, 0xD9};
  const std::wstring absurd = dir_.File(L"absurd.jpg");
  ASSERT_TRUE(WriteBytes(absurd, huge));
  // A PNG header claiming 100000 x 100000 pixels with no image data.
  const std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13, 'I', 'H', 'D', 'R',
                                    0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0, 8, 6, 0, 0, 0, 0x4C, 0x3D, 0x6A, 0x2E};
  const std::wstring absurdPng = dir_.File(L"absurd.png");
  ASSERT_TRUE(WriteBytes(absurdPng, png));

  ThumbnailStore store(1280, true);
  for (const std::wstring& path : {cut, empty, garbage, absurd, absurdPng, dir_.File(L"missing.jpg"), dir_.Path()}) {
    for (int mode = 0; mode <= 2; ++mode) {
      ThumbnailStore::Answer answer;
      EXPECT_FALSE(store.Get(path, 1280, mode, answer)) << mode;
      EXPECT_FALSE(answer.frame);
    }
  }
  EXPECT_EQ(store.Count(), 0u);
  ThumbnailStore::Answer answer;
  EXPECT_FALSE(store.Get(photo, 1280, 3, answer));
}

TEST_F(ThumbStore, ShellThumbnailFallsBackToTheStoreForThumbnailToBitmap) {
  const std::wstring path = Photo(L"shell.jpg");
  ThumbnailRequest request;
  ASSERT_TRUE(ShellThumbnail(path, 0, kThumbnailExtract, request));
  EXPECT_FALSE(request.cache);
  EXPECT_FALSE(request.item);
  ASSERT_TRUE(request.bitmap);
  EXPECT_EQ(request.cache_flags & WTS_LOWQUALITY, 0u);
  SIZE size{};
  ASSERT_TRUE(SUCCEEDED(request.bitmap->GetSize(&size)));
  EXPECT_EQ(size.cx, ThumbnailCacheSize());

  AppConfig::Get().view_enhance_mode = 0;
  HBITMAP screen = nullptr;
  ASSERT_TRUE(ThumbnailToBitmap(request, 300, 200, &screen, WICBitmapTransformRotate0, nullptr));
  BITMAP bm{};
  ASSERT_TRUE(::GetObjectW(screen, sizeof(bm), &bm));
  EXPECT_EQ(bm.bmWidth, 300);
  EXPECT_EQ(bm.bmHeight, 200);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), 300, -200, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<uint32_t> pixels(300 * 200);
  HDC dc = ::GetDC(nullptr);
  EXPECT_EQ(::GetDIBits(dc, screen, 0, 200, pixels.data(), &info, DIB_RGB_COLORS), 200);
  ::ReleaseDC(nullptr, dc);
  ::DeleteObject(screen);
  EXPECT_TRUE(Near(pixels[5 * 300 + 5] | 0xFF000000u, kRed));
  EXPECT_TRUE(Near(pixels[195 * 300 + 295] | 0xFF000000u, kBlue));

  // Look-up now finds it; asking for more than the store keeps is marked low quality.
  ThumbnailRequest lookup;
  ASSERT_TRUE(ShellThumbnail(path, 4000, kThumbnailFastPreview, lookup));
  EXPECT_NE(lookup.cache_flags & WTS_LOWQUALITY, 0u);
  // Detach hands out a copy: the stored frame stays for the next caller.
  HBITMAP detached = nullptr;
  ASSERT_TRUE(SUCCEEDED(lookup.bitmap->Detach(&detached)));
  ASSERT_TRUE(detached);
  ::DeleteObject(detached);
  EXPECT_TRUE(ThumbnailStore::Process().Contains(path));
  ThumbnailRequest again;
  EXPECT_TRUE(ShellThumbnail(path, 1280, kThumbnailFastPreview, again));
  EXPECT_EQ(again.cache_flags & WTS_LOWQUALITY, 0u);
}

namespace {

constexpr int kPoolFiles = 4, kPoolWorkers = 8;

struct PoolShared {
  std::vector<std::wstring> paths;
  std::atomic<int> next{0}, left{kPoolWorkers}, good{0};
};

void CALLBACK ExtractOnPool(PTP_CALLBACK_INSTANCE, void* context) {
  PoolShared& s = *static_cast<PoolShared*>(context);
  {
    FCAutoInitializeCOM com;
    ThumbnailRequest request;
    HBITMAP screen = nullptr;
    BITMAP bm{};
    if (ShellThumbnail(s.paths[s.next++ % kPoolFiles], 0, kThumbnailExtract, request) &&
        ThumbnailToBitmap(request, 640, 427, &screen, WICBitmapTransformRotate0, nullptr) &&
        ::GetObjectW(screen, sizeof(bm), &bm) && bm.bmWidth == 640 && bm.bmHeight == 427) {
      ++s.good;
    }
    if (screen) ::DeleteObject(screen);
  }
  --s.left;
}

}  // namespace

TEST_F(ThumbStore, AFrameWithinAPixelOfTheFitIsCopiedNotResampled) {
  const std::wstring path = Photo(L"near.jpg");
  ThumbnailRequest request;
  ASSERT_TRUE(ShellThumbnail(path, 0, kThumbnailExtract, request));
  ASSERT_TRUE(request.frame);
  const FCObjImage& stored = request.frame->image;
  AppConfig::Get().view_enhance_mode = 0;
  // The stored size itself and one pixel less on both sides: the pixels are the stored ones, unmoved.
  for (const SIZE size : {SIZE{stored.Width(), stored.Height()}, SIZE{stored.Width() - 1, stored.Height() - 1}}) {
    HBITMAP screen = nullptr;
    ASSERT_TRUE(ThumbnailToBitmap(request, size.cx, size.cy, &screen, WICBitmapTransformRotate0, nullptr));
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), size.cx, -size.cy, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    std::vector<uint32_t> pixels(static_cast<size_t>(size.cx) * size.cy);
    HDC dc = ::GetDC(nullptr);
    EXPECT_EQ(::GetDIBits(dc, screen, 0, size.cy, pixels.data(), &info, DIB_RGB_COLORS), size.cy);
    ::ReleaseDC(nullptr, dc);
    ::DeleteObject(screen);
    // Across the red block's edge (x 256 of the stored frame), where any resampling would mix colours.
    for (int x = 246; x < 266; ++x) {
      const int y = 50;
      EXPECT_EQ(pixels[static_cast<size_t>(y) * size.cx + x] & 0xFFFFFFu, PixelAt(*request.frame, x, y) & 0xFFFFFFu)
          << size.cx << " x " << size.cy << " at " << x;
    }
  }
}

TEST_F(ThumbStore, PoolThreadsExtractAndConvertSeveralFilesAtOnce) {
  PoolShared shared;
  for (int i = 0; i < kPoolFiles; ++i) shared.paths.push_back(Photo(L"pool" + std::to_wstring(i) + L".jpg"));
  for (int i = 0; i < kPoolWorkers; ++i) ASSERT_TRUE(::TrySubmitThreadpoolCallback(ExtractOnPool, &shared, nullptr));
  for (int waited = 0; shared.left > 0 && waited < 60000; waited += 20) ::Sleep(20);
  ASSERT_EQ(shared.left.load(), 0);
  EXPECT_EQ(shared.good.load(), kPoolWorkers);
  for (const std::wstring& path : shared.paths) EXPECT_TRUE(ThumbnailStore::Process().Contains(path));
}
