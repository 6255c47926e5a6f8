// Pictures that only the decoder library opens, read through the viewer's loading path in the real
// imgprobe.exe (CodecHost.dll lies beside it): each must show the pixels of a reference that
// Debian's own tools (dwebp, ImageMagick) made of the same file.
#include <gtest/gtest.h>
#include <wincodec.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/com.h"
#include "base/paths.h"
#include "tests/support/test_support.h"

namespace {

struct Bgra {
  UINT width = 0, height = 0;
  std::vector<uint8_t> pixels;
};

// A PNG as straight-alpha BGRA through the platform's decoder.
bool ReadPng(const std::wstring& path, Bgra* out) {
  base::ComPtr<IWICImagingFactory> factory;
  base::ComPtr<IWICBitmapDecoder> decoder;
  base::ComPtr<IWICBitmapFrameDecode> frame;
  base::ComPtr<IWICFormatConverter> converter;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))) ||
      FAILED(factory->CreateDecoderFromFilename(path.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame)) || FAILED(factory->CreateFormatConverter(&converter)) ||
      FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                   WICBitmapPaletteTypeCustom)) ||
      FAILED(converter->GetSize(&out->width, &out->height))) {
    return false;
  }
  out->pixels.resize(size_t{out->width} * out->height * 4);
  return SUCCEEDED(converter->CopyPixels(nullptr, out->width * 4, static_cast<UINT>(out->pixels.size()),
                                         out->pixels.data()));
}

std::wstring Fixture(const std::wstring& name) {
  return base::WithTrailingBackslash(testing_support::EnvPath(L"QL_FIXTURE_DIR")) + name;
}

std::wstring Q(const std::wstring& path) { return L"\"" + path + L"\""; }

}  // namespace

TEST(CodecLibrary, EveryFormatShowsThePixelsOfItsReference) {
  FCAutoInitializeCOM com;
  testing_support::TempDir dir;
  // File, and how far a premultiplied channel may stray: the viewer's own path premultiplies once and
  // writes straight alpha again, and Photoshop's merged picture with transparency is matted against
  // white (taking the white out again rounds).
  const struct {
    const wchar_t* file;
    int tolerance;
  } cases[] = {{L"codec_lossy.webp", 2}, {L"codec_lossless.webp", 1}, {L"codec_alpha.webp", 2},
               {L"codec_anim.webp", 1},  {L"codec_rgb.psd", 1},      {L"codec_raw.psd", 1},
               {L"codec_deep.psd", 1},   {L"codec_grey.psd", 1},     {L"codec_cmyk.psd", 3},
               {L"codec_alpha.psd", 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(std::wstring(c.file)));
    const std::wstring shown = dir.File(std::wstring(c.file) + L".out.png");
    std::string text;
    ASSERT_EQ(testing_support::RunProcess(testing_support::BinDir() + L"imgprobe.exe",
                                          L"oriented " + Q(Fixture(c.file)) + L" " + Q(shown), 60000, L"", &text),
              0)
        << text;
    Bgra got, want;
    ASSERT_TRUE(ReadPng(shown, &got));
    ASSERT_TRUE(ReadPng(Fixture(std::wstring(c.file) + L".png"), &want));
    ASSERT_EQ(got.width, want.width);
    ASSERT_EQ(got.height, want.height);
    int worst = 0;
    size_t worstAt = 0;
    for (size_t i = 0; i < got.pixels.size(); i += 4) {
      const int ga = got.pixels[i + 3], wa = want.pixels[i + 3];
      int diff = std::abs(ga - wa);
      for (int k = 0; k < 3; ++k) {
        diff = std::max(diff, std::abs(got.pixels[i + k] * ga / 255 - want.pixels[i + k] * wa / 255));
      }
      if (diff > worst) worst = diff, worstAt = i / 4;
    }
    EXPECT_LE(worst, c.tolerance) << "at pixel " << worstAt % got.width << "," << worstAt / got.width;
  }
}

TEST(CodecLibrary, DamagedFilesOfTheNewFormatsFailCleanly) {
  testing_support::TempDir dir;
  // Cut short, and a header claiming a picture far larger than the file: both a clear failure.
  for (const wchar_t* name : {L"codec_lossy.webp", L"codec_rgb.psd"}) {
    std::vector<uint8_t> bytes = testing_support::ReadBytes(Fixture(name));
    ASSERT_GT(bytes.size(), 40u);
    const std::wstring cut = dir.File(std::wstring(L"cut_") + name);
    ASSERT_TRUE(testing_support::WriteBytes(cut, std::vector<uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2)));
    std::string text;
    EXPECT_EQ(testing_support::RunProcess(testing_support::BinDir() + L"imgprobe.exe", L"info " + Q(cut), 60000, L"",
                                          &text),
              1)
        << text;
  }
}
