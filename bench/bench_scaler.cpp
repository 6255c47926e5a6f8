// Decode-to-fit of a 24-megapixel photo: our averaging scaler against the platform's scaler,
// measured side by side in interleaved rounds of one run.
//   bench_scaler.exe [rounds [target width]]     (default 5 rounds, 1280 wide; medians shown)
//
// The photo (6000 x 4000, smooth gradients plus noise, so that the JPEG is as costly to decode as
// a real one) is made with the platform's JPEG encoder in a temporary folder and removed after.
#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/com.h"
#include "bench/bench_photo.h"
#include "bench/bench_timing.h"
#include "image/wic/transforms.h"

namespace {

using base::ComPtr;

constexpr UINT kWidth = 6000, kHeight = 4000;

enum class Path { DecodeOnly, Platform, Ours, OursAfterBgra };

// Scales with ours or with the platform's scaler (Fant).
bool Scale(IWICImagingFactory* factory, IWICBitmapSource* source, bool ours, UINT width, UINT height,
           ComPtr<IWICBitmapSource>& scaled) {
  if (ours) return SUCCEEDED(CreateOwnScaler(source, width, height, WICBitmapInterpolationModeFant, &scaled));
  ComPtr<IWICBitmapScaler> scaler;
  if (FAILED(factory->CreateBitmapScaler(&scaler)) ||
      FAILED(scaler->Initialize(source, width, height, WICBitmapInterpolationModeFant))) {
    return false;
  }
  scaled = scaler;
  return true;
}

// One decode of the file to width x height pixels in 32bppPBGRA (or, for DecodeOnly, to the
// full picture in the frame's 24bppBGR).
bool DecodeToFit(IWICImagingFactory* factory, const std::wstring& file, Path path, UINT width, UINT height,
                 std::vector<BYTE>& out) {
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  if (FAILED(factory->CreateDecoderFromFilename(file.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnDemand,
                                                &decoder)) ||
      FAILED(decoder->GetFrame(0, &frame))) {
    return false;
  }
  if (path == Path::DecodeOnly) {
    out.resize(size_t{kWidth} * kHeight * 3);
    return SUCCEEDED(frame->CopyPixels(nullptr, kWidth * 3, static_cast<UINT>(out.size()), out.data()));
  }
  ComPtr<IWICBitmapSource> source = frame;
  if (path == Path::OursAfterBgra) {
    ComPtr<IWICBitmapSource> bgra;
    if (FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, source.Get(), &bgra))) return false;
    source = bgra;
  }
  ComPtr<IWICBitmapSource> scaled, converted;
  if (!Scale(factory, source.Get(), path != Path::Platform, width, height, scaled) ||
      FAILED(::WICConvertBitmapSource(GUID_WICPixelFormat32bppPBGRA, scaled.Get(), &converted))) {
    return false;
  }
  out.resize(size_t{width} * height * 4);
  return SUCCEEDED(converted->CopyPixels(nullptr, width * 4, static_cast<UINT>(out.size()), out.data()));
}

// The photo already decoded into memory, scaled in its own 24bppBGR format.
bool ScaleInMemory(IWICImagingFactory* factory, IWICBitmap* photo, bool ours, UINT width, UINT height,
                   std::vector<BYTE>& out) {
  ComPtr<IWICBitmapSource> scaled;
  if (!Scale(factory, photo, ours, width, height, scaled)) return false;
  out.resize(size_t{width} * height * 3);
  return SUCCEEDED(scaled->CopyPixels(nullptr, width * 3, static_cast<UINT>(out.size()), out.data()));
}

bool DecodeIntoMemory(IWICImagingFactory* factory, const std::wstring& file, ComPtr<IWICBitmap>& photo) {
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  return SUCCEEDED(factory->CreateDecoderFromFilename(file.c_str(), nullptr, GENERIC_READ,
                                                      WICDecodeMetadataCacheOnDemand, &decoder)) &&
         SUCCEEDED(decoder->GetFrame(0, &frame)) &&
         SUCCEEDED(factory->CreateBitmapFromSource(frame.Get(), WICBitmapCacheOnLoad, &photo));
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const UINT width = argc > 2 ? static_cast<UINT>(std::clamp(std::atoi(argv[2]), 16, 6000)) : 1280;
  const UINT height = static_cast<UINT>((uint64_t{kHeight} * width + kWidth / 2) / kWidth);
  FCAutoInitializeCOM com;
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
    std::fprintf(stderr, "no imaging factory\n");
    return 1;
  }
  wchar_t temp[MAX_PATH] = L"";
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring file = std::wstring(temp) + L"ql_bench_scaler_" + std::to_wstring(::GetCurrentProcessId()) + L".jpg";
  const double t = bench::NowMs();
  ComPtr<IWICBitmap> photo;
  const bool ready = bench::WritePhoto(factory.Get(), file) && DecodeIntoMemory(factory.Get(), file, photo);
  if (!ready) {
    std::fprintf(stderr, "could not write and read back the test photo\n");
    ::DeleteFileW(file.c_str());
    return 1;
  }
  std::printf("photo %ux%u JPEG written and read back in %.0f ms; target %ux%u; %d rounds\n", kWidth, kHeight,
              bench::NowMs() - t, width, height, rounds);
  std::printf("platform scaler averages: %s\n\n", PlatformScalerAverages(factory.Get()) ? "yes" : "no (it samples)");

  bool ok = true;
  std::vector<BYTE> out;
  const auto decode = [&](Path path) { return [&, path] { ok = DecodeToFit(factory.Get(), file, path, width, height, out) && ok; }; };
  std::printf("Decode to fit from the JPEG file, ratio to the bare platform path:\n");
  bench::Rounds fromFile;
  fromFile.Add("platform: scaler (Fant) + converter", nullptr, decode(Path::Platform));
  fromFile.Add("decode only: full 24bpp CopyPixels", nullptr, decode(Path::DecodeOnly));
  fromFile.Add("ours: scaler on 24bppBGR + converter", nullptr, decode(Path::Ours));
  fromFile.Add("ours: converter to 32bppBGRA, then scaler", nullptr, decode(Path::OursAfterBgra));
  fromFile.Run(rounds);
  fromFile.Print();

  std::printf("\nScaling alone, the photo already in memory (24bppBGR), ratio to memcpy of its 72 MB:\n");
  std::vector<BYTE> bytes(size_t{kWidth} * kHeight * 3, 1), copy(bytes.size());
  bench::Rounds inMemory;
  inMemory.Add("memcpy of the photo's bytes", nullptr, [&] { std::memcpy(copy.data(), bytes.data(), bytes.size()); });
  inMemory.Add("platform scaler (Fant)", nullptr,
               [&] { ok = ScaleInMemory(factory.Get(), photo.Get(), false, width, height, out) && ok; });
  inMemory.Add("ours", nullptr, [&] { ok = ScaleInMemory(factory.Get(), photo.Get(), true, width, height, out) && ok; });
  inMemory.Run(rounds);
  inMemory.Print();
  ::DeleteFileW(file.c_str());
  if (!ok) {
    std::fprintf(stderr, "a run failed\n");
    return 1;
  }
  return 0;
}
