// The thumbnail store that stands in for the system cache, on a 24-megapixel JPEG: a cold extract
// (decode into the store) plus the conversion to a 1280x853 screen bitmap, against the viewer's
// decode-to-fit of the same file to the same size, against libjpeg-turbo's bare reduced decode
// and the store's decode alone (read, reduced decode, exact fit); then a warm look-up plus the
// same conversion. Interleaved rounds of one run.
//   bench_thumbnail.exe [rounds]     (default 5)
#include <windows.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "bench/bench_photo.h"
#include "bench/bench_files.h"
#include "bench/bench_timing.h"
#include "image/jpeg_fast.h"
#include "image/obj_image.h"
#include "image/thumbnail/thumbnail.h"
#include "image/thumbnail/decode.h"
#include "image/thumbnail/store.h"
#include "image/wic/factory.h"
#include "image/wic/loader.h"

namespace {

constexpr int kFitWidth = 1280, kFitHeight = 853;

// Thumbnail request in the given mode, then the screen bitmap at the fitted size.
bool ThumbnailAtFit(const std::wstring& file, int wanted, int mode) {
  ThumbnailRequest request;
  HBITMAP screen = nullptr;
  const bool ok = ShellThumbnail(file, wanted, mode, request) && (request.cache_flags & WTS_LOWQUALITY) == 0 &&
                  ThumbnailToBitmap(request, kFitWidth, kFitHeight, &screen, WICBitmapTransformRotate0, nullptr);
  if (screen) ::DeleteObject(screen);
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  FCAutoInitializeCOM com;
  if (!CreateWicFactory()) return 1;
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring file =
      std::wstring(temp) + L"ql_bench_thumb_" + std::to_wstring(::GetCurrentProcessId()) + L".jpg";
  if (!bench::WritePhoto(GetWicFactory(), file)) {
    std::puts("could not write the test photo");
    return 1;
  }
  AppConfig::Get().view_enhance_mode = 0;
  std::vector<uint8_t> bytes;
  bool ok = bench::ReadFileBytes(file, bytes);
  ThumbnailStore& store = ThumbnailStore::Process();
  bench::Rounds r;
  r.Add("DecodeToFitBitmap 1280x853", nullptr, [&] {
    auto loader = OpenImage(file);
    HBITMAP screen = nullptr;
    ok = DecodeToFitBitmap(*loader, kFitWidth, kFitHeight, &screen) && ok;
    if (screen) ::DeleteObject(screen);
  });
  r.Add("bare FastJpegDecodeScaled (in memory)", nullptr, [&] {
    FCObjImage image;
    ok = FastJpegDecodeScaled(bytes.data(), bytes.size(), kFitWidth, kFitHeight, image) && ok;
  });
  r.Add("DecodeThumbnail alone (file to frame)", nullptr, [&] {
    ThumbnailFrame frame;
    ok = DecodeThumbnail(file, kFitWidth, true, frame) && ok;
  });
  r.Add("cold mode-2 extract + ThumbnailToBitmap", [&] { store.Clear(); },
        [&] { ok = ThumbnailAtFit(file, 0, kThumbnailExtract) && ok; });
  r.Add("warm mode-0 look-up + ThumbnailToBitmap", [&] { ok = store.Contains(file) && ok; },
        [&] { ok = ThumbnailAtFit(file, kFitWidth, kThumbnailFastPreview) && ok; });
  r.Run(rounds);
  std::printf("6000x4000 JPEG, %d rounds, store frame size %d, decodes into the store %d\n", rounds,
              store.FrameSize(), store.DecodeCount());
  r.Print();
  ::DeleteFileW(file.c_str());
  ReleaseWicFactory();
  if (!ok) std::puts("a step failed");
  return ok ? 0 : 1;
}
