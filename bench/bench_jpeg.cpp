// Decoding a large camera-sized JPEG: the platform's full decode against our libjpeg-turbo path at
// the reductions the thumbnail code uses, measured side by side in one run.
//   bench_jpeg.exe [width height [rounds]]     (default 6000 x 4000, 5 rounds; medians shown, with
//   each one's ratio to the platform's decode: 0.10x means ten times as fast)
#include <windows.h>
#include <shlwapi.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/com.h"
#include "bench/bench_timing.h"
#include "image/jpeg_fast.h"
#include "image/obj_image.h"

using base::ComPtr;

namespace {

// A photo-like picture: smooth colour fields with fine noise, so the entropy-coded data has the
// density of a real photograph rather than of a flat test card.
std::vector<BYTE> PhotoLike(int width, int height) {
  std::vector<BYTE> bgr(static_cast<size_t>(width) * height * 3);
  uint32_t seed = 1;
  for (int y = 0; y < height; ++y) {
    BYTE* p = &bgr[static_cast<size_t>(y) * width * 3];
    for (int x = 0; x < width; ++x, p += 3) {
      seed = seed * 1664525u + 1013904223u;
      const int noise = static_cast<int>(seed >> 28) - 8;
      p[0] = static_cast<BYTE>(std::clamp(40 + 160 * y / height + noise, 0, 255));
      p[1] = static_cast<BYTE>(std::clamp(90 + 100 * ((x / 97 + y / 61) % 2) + noise, 0, 255));
      p[2] = static_cast<BYTE>(std::clamp(200 - 150 * x / width + noise, 0, 255));
    }
  }
  return bgr;
}

std::vector<uint8_t> EncodeJpeg(IWICImagingFactory* factory, int width, int height) {
  std::vector<BYTE> pixels = PhotoLike(width, height);
  std::vector<uint8_t> out;
  ComPtr<IWICBitmap> bitmap;
  ComPtr<IStream> stream;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
  if (FAILED(factory->CreateBitmapFromMemory(width, height, format, width * 3, static_cast<UINT>(pixels.size()),
                                             pixels.data(), &bitmap)) ||
      FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
      FAILED(factory->CreateEncoder(GUID_ContainerFormatJpeg, nullptr, &encoder)) ||
      FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
      FAILED(encoder->CreateNewFrame(&frame, nullptr)) || FAILED(frame->Initialize(nullptr)) ||
      FAILED(frame->SetSize(width, height)) || FAILED(frame->SetPixelFormat(&format)) ||
      FAILED(frame->WriteSource(bitmap.Get(), nullptr)) || FAILED(frame->Commit()) || FAILED(encoder->Commit())) {
    return out;
  }
  STATSTG stat{};
  const LARGE_INTEGER start{};
  ULONG read = 0;
  if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return out;
  out.resize(static_cast<size_t>(stat.cbSize.QuadPart));
  if (FAILED(stream->Seek(start, STREAM_SEEK_SET, nullptr)) ||
      FAILED(stream->Read(out.data(), static_cast<ULONG>(out.size()), &read)) || read != out.size()) {
    out.clear();
  }
  return out;
}

// The platform path the viewer takes without the fast decoder: decoder, frame, 32 bpp BGRA pixels.
bool WicFullDecode(IWICImagingFactory* factory, const std::vector<uint8_t>& jpeg, FCObjImage& out) {
  ComPtr<IStream> stream;
  base::Adopt(stream, ::SHCreateMemStream(jpeg.data(), static_cast<UINT>(jpeg.size())));
  ComPtr<IWICBitmapDecoder> decoder;
  ComPtr<IWICBitmapFrameDecode> frame;
  return stream &&
         SUCCEEDED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, &decoder)) &&
         SUCCEEDED(decoder->GetFrame(0, &frame)) && out.LoadFromWicSource(frame.Get(), GUID_WICPixelFormat32bppBGRA);
}

}  // namespace

int main(int argc, char** argv) {
  const int width = argc > 2 ? std::atoi(argv[1]) : 6000;
  const int height = argc > 2 ? std::atoi(argv[2]) : 4000;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
  if (width <= 0 || height <= 0) return 2;

  FCAutoInitializeCOM com;
  ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
    std::fprintf(stderr, "no imaging factory\n");
    return 1;
  }
  const std::vector<uint8_t> jpeg = EncodeJpeg(factory.Get(), width, height);
  if (jpeg.empty()) {
    std::fprintf(stderr, "the platform's JPEG encoder failed\n");
    return 1;
  }
  std::printf("JPEG %d x %d, %zu bytes, %d interleaved rounds\n", width, height, jpeg.size(), rounds);

  bool failed = false;
  FCObjImage image;
  bench::Rounds bench;
  bench.Add("platform full decode to 32 bpp BGRA", nullptr,
            [&] { failed |= !WicFullDecode(factory.Get(), jpeg, image); });
  for (int reduction : {1, 2, 4, 8}) {
    // The box of exactly 1/reduction of the picture selects that reduction.
    const int boxWidth = width / reduction;
    const int boxHeight = height / reduction;
    bench.Add("fast decode at 1/" + std::to_string(reduction), nullptr, [&, boxWidth, boxHeight] {
      failed |= !FastJpegDecodeScaled(jpeg.data(), jpeg.size(), boxWidth, boxHeight, image);
    });
  }
  int w = 0, h = 0;
  bench.Add("fast header dimensions", nullptr,
            [&] { failed |= !FastJpegDimensions(jpeg.data(), jpeg.size(), w, h) || w != width || h != height; });
  bench.Run(rounds);
  bench.Print();
  if (failed) std::fprintf(stderr, "a decode failed\n");
  return failed ? 1 : 0;
}
