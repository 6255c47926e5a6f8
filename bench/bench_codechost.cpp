// Decoding a picture through CodecHost.dll exactly as the viewer calls it (load the library, call
// load_image with the process's imaging factory, free the library), against the decoder alone on the
// same bytes already in memory (libwebp's time, as dwebp reports it).
//   bench_codechost.exe FILE [rounds]      (default 5 rounds; tools/bench_webp.sh makes a 24-megapixel
//   WebP and puts dwebp's own decode time of the same file beside these figures)
#include <windows.h>
#include <shellapi.h>
#include <wincodec.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/com.h"
#include "bench/bench_files.h"
#include "bench/bench_timing.h"
#include "companions/codechost/decoders.h"

namespace {

class MemoryCanvas : public codechost::Canvas {
 public:
  uint8_t* Begin(uint32_t width, uint32_t height, uint32_t* stride) override {
    pixels.resize(static_cast<size_t>(width) * height * 4);
    *stride = width * 4;
    return pixels.data();
  }
  std::vector<uint8_t> pixels;
};

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (!argv) return 2;
  if (argc < 2) {
    std::fputs("usage: bench_codechost FILE [rounds]\n", stderr);
    return 2;
  }
  const std::wstring path = argv[1];
  const int rounds = argc > 2 ? std::max(1, _wtoi(argv[2])) : 5;
  FCAutoInitializeCOM com;
  base::ComPtr<IWICImagingFactory> factory;
  if (FAILED(::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory)))) {
    std::puts("error=no imaging factory");
    return 1;
  }
  wchar_t self[MAX_PATH] = {};
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring library = self;
  library = library.substr(0, library.find_last_of(L'\\') + 1) + L"..\\bin\\CodecHost.dll";
  std::vector<uint8_t> bytes;
  if (!bench::ReadFileBytes(path, bytes)) {
    std::puts("error=cannot read the file");
    return 1;
  }
  UINT width = 0, height = 0;
  bool ok = true;
  bench::Rounds table;
  table.Add("decoder alone, bytes in memory", nullptr, [&] {
    MemoryCanvas canvas;
    ok = ok && codechost::Decode(bytes.data(), bytes.size(), canvas) == codechost::DecodeResult::kOk;
  });
  table.Add("CodecHost.dll load_image, as the viewer", nullptr, [&] {
    HMODULE module = ::LoadLibraryW(library.c_str());
    using LoadImageFn = IUnknown*(WINAPI*)(const wchar_t*, IWICImagingFactory*);
    auto load = module ? reinterpret_cast<LoadImageFn>(::GetProcAddress(module, "load_image")) : nullptr;
    IUnknown* object = load ? load(path.c_str(), factory.Get()) : nullptr;
    if (module) ::FreeLibrary(module);
    base::ComPtr<IWICBitmapSource> source;
    ok = ok && object && SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&source))) &&
         SUCCEEDED(source->GetSize(&width, &height));
    if (object) object->Release();
  }, 1.15);
  table.Run(rounds);
  if (!ok) {
    std::puts("error=the file did not decode");
    return 1;
  }
  std::printf("%u x %u, %zu bytes, %d rounds\n", width, height, bytes.size(), rounds);
  table.Print();
  return 0;
}
