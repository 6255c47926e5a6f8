// Saving every kind of picture the viewer reads as each format it writes, and what a failed save
// leaves behind: pictures made by the fixture script, saved through the current picture as the
// viewer does, and read back by the platform's decoders.
#include <gtest/gtest.h>
#include <process.h>
#include <wincodec.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "base/com.h"
#include "base/handles.h"
#include "base/paths.h"
#include "base/strings.h"
#include "image/current_image.h"
#include "image/wic/factory.h"
#include "tests/support/test_support.h"
#include "tests/unit/image/test_pictures.h"

namespace {

using testing_support::ReadBytes;
using testing_support::TempDir;

// Each fixture is 40 x 30: one colour on the left half, another on the right (0xAARRGGBB).
struct Source {
  const wchar_t* file;
  uint32_t left, right;
};
const Source kSources[] = {
    {L"save_alpha.png", 0x00000000, 0x80FF0000},  // transparent | half-transparent red
    {L"save_palette.png", 0xFFFF0000, 0xFF0000FF},
    {L"save_deep.png", 0xFFFF0000, 0xFF0000FF},    // 16 bits a channel
    {L"save_grey.png", 0xFFCCCCCC, 0xFF333333},    // 16-bit grey
    {L"save_still.gif", 0xFFFF0000, 0xFF0000FF},
    {L"save_clear.gif", 0x00000000, 0xFF0000FF},   // transparent colour in the palette
    {L"save_anim.gif", 0xFFFF0000, 0xFF0000FF},    // the first frame
    {L"save_mono.bmp", 0xFFFFFFFF, 0xFF000000},    // 1 bit a pixel
    {L"save_rgb.bmp", 0xFFFF0000, 0xFF0000FF},
    {L"save_cmyk.jpg", 0xFFFF0000, 0xFF0000FF},
    {L"save_rgb.jpg", 0xFFFF0000, 0xFF0000FF},
    {L"save_rgb.tiff", 0xFFFF0000, 0xFF0000FF},
};
// The writable formats and whether each keeps transparency; the others show it over white.
const std::pair<const wchar_t*, bool> kTargets[] = {
    {L"bmp", false}, {L"jpg", false}, {L"gif", false}, {L"tiff", true}, {L"png", true}};

std::wstring Fixture(const std::wstring& name) {
  return base::WithTrailingBackslash(testing_support::EnvPath(L"QL_FIXTURE_DIR")) + name;
}

uint32_t OverWhite(uint32_t argb) {
  const uint32_t alpha = argb >> 24;
  uint32_t out = 0xFF000000u;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t c = (argb >> shift) & 0xFF;
    out |= ((c * alpha + 255 * (255 - alpha) + 127) / 255) << shift;
  }
  return out;
}

// A picture file read back by the platform: its size and its first frame as 0xAARRGGBB.
struct Decoded {
  UINT width = 0, height = 0;
  std::vector<uint32_t> pixels;
  uint32_t At(UINT x, UINT y) const { return pixels.at(size_t{y} * width + x); }
};
Decoded Decode(const std::wstring& path) {
  Decoded d;
  base::ComPtr<IWICBitmapDecoder> decoder;
  base::ComPtr<IWICBitmapFrameDecode> frame;
  base::ComPtr<IWICBitmapSource> bgra;
  if (FAILED(GetWicFactory()->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ,
                                                        WICDecodeMetadataCacheOnDemand, &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) ||
      FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.Get(), &bgra)) ||
      FAILED(bgra->GetSize(&d.width, &d.height))) {
    return {};
  }
  d.pixels.resize(size_t{d.width} * d.height);
  if (FAILED(bgra->CopyPixels(nullptr, d.width * 4, static_cast<UINT>(d.pixels.size() * 4),
                              reinterpret_cast<BYTE*>(d.pixels.data())))) {
    return {};
  }
  return d;
}

// Colours match within the tolerance; a fully transparent pixel has no colour to compare.
testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tolerance) {
  const int shifts = (expected >> 24) == 0 ? 1 : 4;
  for (int i = 0; i < shifts; ++i) {
    const int shift = 24 - 8 * i;
    const int a = static_cast<int>((actual >> shift) & 0xFF), e = static_cast<int>((expected >> shift) & 0xFF);
    if (std::abs(a - e) > tolerance) {
      char text[64];
      std::snprintf(text, sizeof(text), "%08X is not near %08X", static_cast<unsigned>(actual),
                    static_cast<unsigned>(expected));
      return testing::AssertionFailure() << text;
    }
  }
  return testing::AssertionSuccess();
}

std::set<std::wstring> FilesIn(const TempDir& dir) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW found;
  base::FindHandle find(::FindFirstFileW(dir.File(L"*").c_str(), &found));
  if (!find) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.insert(found.cFileName);
  } while (::FindNextFileW(find.Get(), &found));
  return names;
}

// Other test programs may hold the clipboard for a moment.
bool OpenClipboardWhenFree() {
  for (int i = 0; i < 50; ++i) {
    if (::OpenClipboard(nullptr)) return true;
    ::Sleep(20);
  }
  return false;
}

unsigned __stdcall CloseAfterAMoment(void* handle) {
  ::Sleep(300);
  ::CloseHandle(static_cast<HANDLE>(handle));
  return 0;
}

class SavePictures : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateWicFactory());
    current_.SetMessagesEnabled(false);
  }
  void TearDown() override { current_.Clear(); }

  FCAutoInitializeCOM com_;
  CCurrentImage& current_ = CCurrentImage::Get();
};

}  // namespace

TEST_F(SavePictures, EverySourceSavesAsEveryWritableFormat) {
  TempDir dir;
  std::set<std::wstring> written;
  for (const Source& source : kSources) {
    current_.Open(Fixture(source.file));
    ASSERT_EQ(current_.GetDisplaySize().cx, 40) << base::WideToUtf8(source.file);
    for (const auto& [extension, keepsAlpha] : kTargets) {
      const std::wstring name = std::wstring(source.file) + L"." + extension;
      SCOPED_TRACE(base::WideToUtf8(name));
      const bool saved = current_.Save(dir.File(name), 90);
      EXPECT_TRUE(saved);
      if (!saved) continue;
      written.insert(name);
      const Decoded back = Decode(dir.File(name));
      EXPECT_EQ(back.width, 40u);
      EXPECT_EQ(back.height, 30u);
      if (back.width != 40 || back.height != 30) continue;
      // Away from the edge between the halves, where JPEG blurs the colours.
      EXPECT_TRUE(Near(back.At(5, 15), keepsAlpha ? source.left : OverWhite(source.left), 24));
      EXPECT_TRUE(Near(back.At(34, 15), keepsAlpha ? source.right : OverWhite(source.right), 24));
    }
  }
  // Nothing but the saved pictures: no temporary file is left beside them.
  EXPECT_EQ(FilesIn(dir), written);
}

TEST_F(SavePictures, ResizedCopiesAndTheClipboardTakeEverySource) {
  TempDir dir;
  for (const Source& source : kSources) {
    current_.Open(Fixture(source.file));
    for (const wchar_t* extension : {L"jpg", L"gif"}) {
      const std::wstring name = std::wstring(source.file) + L"." + extension;
      SCOPED_TRACE(base::WideToUtf8(name));
      bool replaced = true;
      const bool saved = current_.SaveResized(dir.File(name), 20, 15, &replaced);
      EXPECT_TRUE(saved);
      EXPECT_FALSE(replaced);
      const Decoded back = Decode(dir.File(name));
      EXPECT_EQ(back.width, 20u);
      EXPECT_EQ(back.height, 15u);
      if (!saved || back.width != 20 || back.height != 15) continue;
      EXPECT_TRUE(Near(back.At(2, 7), OverWhite(source.left), 24));
      EXPECT_TRUE(Near(back.At(17, 7), OverWhite(source.right), 24));
    }
    // No pixels, or more than one buffer can hold: refused, and nothing is written.
    for (const SIZE refused : {SIZE{0, 15}, SIZE{20, 0}, SIZE{65535, 65535}, SIZE{-1, -1}}) {
      EXPECT_FALSE(current_.SaveResized(dir.File(L"refused.png"), refused.cx, refused.cy, nullptr));
      EXPECT_EQ(::GetFileAttributesW(dir.File(L"refused.png").c_str()), INVALID_FILE_ATTRIBUTES);
    }
    // Emptied first, so that the previous picture's bitmap cannot answer for this one.
    ASSERT_TRUE(OpenClipboardWhenFree());
    ::EmptyClipboard();
    ::CloseClipboard();
    current_.CopyToClipboard();
    ASSERT_TRUE(OpenClipboardWhenFree());
    HANDLE dib = ::GetClipboardData(CF_DIB);
    const auto* header = dib ? static_cast<const BITMAPINFOHEADER*>(::GlobalLock(dib)) : nullptr;
    const LONG width = header ? header->biWidth : 0, height = header ? header->biHeight : 0;
    if (header) ::GlobalUnlock(dib);
    ::CloseClipboard();
    EXPECT_EQ(width, 40) << base::WideToUtf8(source.file);
    EXPECT_EQ(height, -30) << base::WideToUtf8(source.file);
  }
}

TEST_F(SavePictures, FailedSaveLeavesNoNewFileAndEveryTargetAsItWas) {
  TempDir dir;
  // A large JPEG opens from its header; its scan ends right after it starts, so its pixels cannot
  // be read and every encoding of it fails part way.
  const std::wstring damaged = dir.File(L"damaged.jpg");
  ASSERT_TRUE(test_pictures::WritePicture(damaged, GUID_ContainerFormatJpeg, 1400, 1400,
                                          [](UINT x, UINT) { return x < 700 ? test_pictures::kRed : test_pictures::kBlue; }));
  std::vector<uint8_t> bytes = ReadBytes(damaged);
  size_t scan = 0;
  for (size_t i = 2; i + 3 < bytes.size() && scan == 0; ++i) {
    if (bytes[i] == 0xFF && bytes[i + 1] == 0xDA) scan = i + 2 + ((size_t{bytes[i + 2]} << 8) | bytes[i + 3]);
  }
  ASSERT_NE(scan, 0u);
  bytes.resize(scan + 16);
  ASSERT_TRUE(testing_support::WriteBytes(damaged, bytes));
  const std::wstring existing = dir.File(L"existing.png");
  ASSERT_TRUE(::CopyFileW(Fixture(L"save_alpha.png").c_str(), existing.c_str(), FALSE));
  const std::vector<uint8_t> existingBytes = ReadBytes(existing);

  current_.Open(damaged);
  ASSERT_EQ(current_.GetDisplaySize().cx, 1400);
  const std::wstring fresh = dir.File(L"fresh.jpg"), elsewhere = dir.File(L"no such folder\\fresh.png");
  for (const std::wstring& target : {fresh, elsewhere}) {
    EXPECT_FALSE(current_.Save(target, 90)) << base::WideToUtf8(target);
    EXPECT_EQ(::GetFileAttributesW(target.c_str()), INVALID_FILE_ATTRIBUTES) << base::WideToUtf8(target);
  }
  EXPECT_FALSE(current_.SaveResized(dir.File(L"small.gif"), 100, 100, nullptr));
  EXPECT_FALSE(current_.Save(existing, 90));
  EXPECT_EQ(ReadBytes(existing), existingBytes);
  // Over itself: the open picture keeps its bytes and stays open.
  EXPECT_FALSE(current_.Save(damaged, 90));
  EXPECT_EQ(ReadBytes(damaged), bytes);
  EXPECT_EQ(current_.GetDisplaySize().cx, 1400);
  EXPECT_EQ(FilesIn(dir), (std::set<std::wstring>{L"damaged.jpg", L"existing.png"}));
}

// Another program reading the target for a moment (a thumbnail being made, a virus scanner) does
// not make the save fail; one that never lets go does, and the target keeps its bytes.
TEST_F(SavePictures, AReaderHoldingTheTargetDelaysTheReplacementAndOneThatStaysStopsIt) {
  TempDir dir;
  const std::wstring target = dir.File(L"held.png");
  ASSERT_TRUE(::CopyFileW(Fixture(L"save_alpha.png").c_str(), target.c_str(), FALSE));
  const std::vector<uint8_t> before = ReadBytes(target);
  current_.Open(Fixture(kSources[0].file));
  ASSERT_EQ(current_.GetDisplaySize().cx, 40);
  const auto hold = [&] {
    return base::KernelHandle(
        ::CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  };

  base::KernelHandle forever = hold();
  ASSERT_TRUE(forever.IsValid());
  EXPECT_FALSE(current_.Save(target, 90));
  forever.Reset();
  EXPECT_EQ(ReadBytes(target), before);

  base::KernelHandle moment = hold();
  ASSERT_TRUE(moment.IsValid());
  HANDLE raw = moment.Release();
  const uintptr_t closer = ::_beginthreadex(nullptr, 0, &CloseAfterAMoment, raw, 0, nullptr);
  ASSERT_NE(closer, 0u);
  EXPECT_TRUE(current_.Save(target, 90));
  ::WaitForSingleObject(reinterpret_cast<HANDLE>(closer), INFINITE);
  ::CloseHandle(reinterpret_cast<HANDLE>(closer));
  EXPECT_NE(ReadBytes(target), before);
  EXPECT_EQ(FilesIn(dir), (std::set<std::wstring>{L"held.png"}));
}
