// Decode-to-fit of a 24-megapixel JPEG through the viewer's loader, against the bare platform
// decode of the same file to the same size (decoder, scaler, converter, CopyPixels), measured side
// by side in interleaved rounds of one run.
//   bench_decode_fit.exe [rounds]     (default 5)
#include <windows.h>
#include <wincodec.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "bench/bench_decode.h"
#include "bench/bench_photo.h"
#include "bench/bench_timing.h"
#include "image/obj_image.h"
#include "image/wic/factory.h"
#include "image/wic/loader.h"

namespace {

constexpr UINT kFitWidth = 1280, kFitHeight = 853;

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  FCAutoInitializeCOM com;
  if (!CreateWicFactory()) return 1;
  IWICImagingFactory* factory = GetWicFactory();
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring stem = std::wstring(temp) + L"ql_bench_fit_" + std::to_wstring(::GetCurrentProcessId());
  const std::wstring file = stem + L".jpg";
  // The same photo with a camera sensor's noise: larger, slower to decode, as real photos are.
  const std::wstring sensor = stem + L"_sensor.jpg";
  if (!bench::WritePhoto(factory, file) || !bench::WritePhoto(factory, sensor, 6000, 4000, bench::Noise::kSensor)) {
    std::puts("could not write the test photos");
    return 1;
  }
  AppConfig::Get().view_enhance_mode = 0;
  std::vector<BYTE> bare;
  bool ok = true;
  bench::Rounds r;
  r.Add("bare platform decode to 1280x853", nullptr, [&] { ok = bench::BareDecode(factory, file, kFitWidth, kFitHeight, bare) && ok; });
  r.Add("viewer DecodeToFitImage to 1280x853", nullptr, [&] {
    auto loader = OpenImage(file);
    FCObjImage image;
    ok = DecodeToFitImage(*loader, kFitWidth, kFitHeight, image) && ok;
  }, 1.15);
  r.AddBaseline("bare platform decode, sensor noise", nullptr,
        [&] { ok = bench::BareDecode(factory, sensor, kFitWidth, kFitHeight, bare) && ok; });
  r.Add("viewer DecodeToFitImage, sensor noise", nullptr, [&] {
    auto loader = OpenImage(sensor);
    FCObjImage image;
    ok = DecodeToFitImage(*loader, kFitWidth, kFitHeight, image) && ok;
  }, 1.15);
  r.Run(rounds);
  std::printf("6000x4000 JPEG, %d rounds\n", rounds);
  r.Print();
  ::DeleteFileW(file.c_str());
  ::DeleteFileW(sensor.c_str());
  ReleaseWicFactory();
  return ok ? 0 : 1;
}
