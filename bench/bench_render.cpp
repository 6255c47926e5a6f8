// From opening a 24-megapixel JPEG to its picture on screen, through the real view drawing: the
// time to the first fit frame and to the final one, against the bare platform decode of the same
// file at the same size and libjpeg-turbo's scaled decode of it; the same for a neighbour that the
// preloader has prepared; and the longest time the user-interface thread was busy in one piece
// while a large picture loaded.
//   bench_render.exe [rounds]     (default 5)
#include <windows.h>
#include <wincodec.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "base/message_window.h"
#include "bench/bench_decode.h"
#include "bench/bench_photo.h"
#include "bench/bench_files.h"
#include "bench/bench_timing.h"
#include "image/current_image.h"
#include "image/gdiplus_include.h"
#include "image/jpeg_fast.h"
#include "image/obj_image.h"
#include "image/thumbnail/store.h"
#include "image/wic/factory.h"
#include "view/system_cache.h"
#include "view/view_renderer.h"

namespace {

constexpr int kAreaWidth = 1280, kAreaHeight = 853;

class ViewStandIn : public FCMessageWindow {};

struct OpenTimes {
  double first = 0;   // the fit frame (provisional or final) is there
  double final = 0;   // the fit frame is final
  double stall = 0;   // longest single piece of user-interface work
  double open = 0;    // CCurrentImage::Open alone
};

// Opens the file as the view does and pumps messages until the fit frame is final.
OpenTimes OpenAndShow(const std::wstring& file, HWND view, std::unique_ptr<CViewRenderer>& renderer) {
  OpenTimes t;
  renderer.reset();
  const double start = bench::NowMs();
  CCurrentImage::Get().Open(file);
  t.open = bench::NowMs() - start;
  bool loading = false;
  renderer = std::make_unique<CViewRenderer>(kAreaWidth, kAreaHeight, view, &loading);
  t.stall = bench::NowMs() - start;
  auto* still = dynamic_cast<CPreRenderKeyFrame*>(renderer->PreRender());
  if (!still) return t;
  if (still->GetFrame(0)) t.first = bench::NowMs() - start;
  const double deadline = start + 60000;
  while (!still->IsFitFrameReady() && bench::NowMs() < deadline) {
    MSG msg;
    if (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      const double before = bench::NowMs();
      ::DispatchMessageW(&msg);
      t.stall = std::max(t.stall, bench::NowMs() - before);
    } else {
      ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    if (t.first == 0 && still->GetFrame(0)) t.first = bench::NowMs() - start;
  }
  t.final = bench::NowMs() - start;
  return t;
}

void PumpUntil(const std::function<bool()>& done) {
  const double deadline = bench::NowMs() + 60000;
  while (!done() && bench::NowMs() < deadline) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  }
}

void PrintRow(const char* name, const std::vector<double>& times, double base, double aim = 0) {
  const double median = bench::Median(times);
  std::printf("%-46s %9.1f %8.2fx", name, median, base > 0 ? median / base : 0.0);
  if (aim > 0) std::printf("   aim %.2fx %s", aim, median / base <= aim ? "ok" : "OVER");
  std::printf("\n");
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  FCAutoInitializeCOM com;
  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartupInput gdiplusInput;
  Gdiplus::GdiplusStartup(&gdiplusToken, &gdiplusInput, nullptr);
  if (!CreateWicFactory()) return 1;
  IWICImagingFactory* factory = GetWicFactory();
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring folder = std::wstring(temp) + L"ql_bench_render_" + std::to_wstring(::GetCurrentProcessId());
  ::CreateDirectoryW(folder.c_str(), nullptr);
  const std::wstring first = folder + L"\\a.jpg";
  const std::wstring neighbour = folder + L"\\b.jpg";
  if (!bench::WritePhoto(factory, first) || !::CopyFileW(first.c_str(), neighbour.c_str(), FALSE)) {
    std::puts("could not write the test photos");
    return 1;
  }
  AppConfig::Get().view_enhance_mode = 0;
  AppConfig::Get().preload_enable = 1;
  CCurrentImage::Get().SetMessagesEnabled(false);
  ViewStandIn view;
  if (!view.CreateMessageWindow(nullptr)) return 1;

  std::vector<double> bare, scaled, coldFirst, coldFinal, warmFirst, warmFinal, stalls;
  std::vector<BYTE> barePixels;
  std::unique_ptr<CViewRenderer> renderer;
  bool ok = true;
  for (int r = 0; r < rounds; ++r) {
    double start = bench::NowMs();
    ok = bench::BareDecode(factory, first, kAreaWidth, kAreaHeight, barePixels) && ok;
    bare.push_back(bench::NowMs() - start);

    start = bench::NowMs();
    std::vector<uint8_t> bytes;
    FCObjImage small;
    ok = bench::ReadFileBytes(first, bytes) &&
         FastJpegDecodeScaled(bytes.data(), bytes.size(), kAreaWidth, kAreaHeight, small) && ok;
    scaled.push_back(bench::NowMs() - start);

    // Cold: nothing of either file is in the thumbnail cache.
    renderer.reset();
    CCurrentImage::Get().Clear();
    ThumbnailStore::Process().Clear();
    OpenTimes cold = OpenAndShow(first, view.GetHwnd(), renderer);
    coldFirst.push_back(cold.first);
    coldFinal.push_back(cold.final);
    stalls.push_back(cold.stall);

    // The preloader prepares the neighbour, as after the first picture of a folder is shown.
    CSystemCache& preloader = CSystemCache::Get();
    preloader.Start();
    preloader.PreloadAround(folder, 0, folder_order::NameList{L"a.jpg", L"b.jpg"});
    PumpUntil([&] { return preloader.GetRunningCount() == 0 && preloader.GetPendingCount() == 0; });
    OpenTimes warm = OpenAndShow(neighbour, view.GetHwnd(), renderer);
    warmFirst.push_back(warm.first);
    warmFinal.push_back(warm.final);
    stalls.push_back(warm.stall);
    // The next round asks for the neighbour again: forget that it was requested.
    preloader.PreloadAround(L"", 0, folder_order::NameList{});
  }
  renderer.reset();
  std::printf("6000x4000 JPEG into a 1280x853 area, %d rounds (median ms, ratio to the bare platform decode)\n",
              rounds);
  const double base = bench::Median(bare);
  PrintRow("bare platform decode to 1280x853", bare, base);
  PrintRow("libjpeg-turbo scaled decode", scaled, base);
  PrintRow("open -> first fit frame (cold)", coldFirst, base);
  PrintRow("open -> final fit frame (cold)", coldFinal, base);
  PrintRow("open -> first fit frame (preloaded neighbour)", warmFirst, base);
  PrintRow("open -> final fit frame (preloaded neighbour)", warmFinal, base);
  const double scaledBase = bench::Median(scaled);
  std::printf("first frame (cold) / libjpeg-turbo scaled decode: %.2fx   aim 2.00x %s\n",
              bench::Median(coldFirst) / scaledBase, bench::Median(coldFirst) / scaledBase <= 2.0 ? "ok" : "OVER");
  std::printf("first frame (neighbour) / first frame (cold):     %.3fx  aim 0.10x %s\n",
              bench::Median(warmFirst) / bench::Median(coldFirst),
              bench::Median(warmFirst) / bench::Median(coldFirst) <= 0.1 ? "ok" : "OVER");
  double longest = 0;
  for (double s : stalls) longest = std::max(longest, s);
  std::printf("longest user-interface stall while loading:     %.1f ms (median %.1f)  aim 50 ms %s\n", longest,
              bench::Median(stalls), longest <= 50 ? "ok" : "OVER");

  CCurrentImage::Get().Queue().DrainRunning();
  CSystemCache::DestroyInstance();
  CCurrentImage::DestroyInstance();
  ::DeleteFileW(first.c_str());
  ::DeleteFileW(neighbour.c_str());
  ::RemoveDirectoryW(folder.c_str());
  ReleaseWicFactory();
  Gdiplus::GdiplusShutdown(gdiplusToken);
  return ok ? 0 : 1;
}
