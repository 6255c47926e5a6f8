// The viewer's speed as a user sees it, measured from outside its window: the real QuellinImg.exe
// steps through a folder of 24-megapixel JPEGs on Right key presses sent as input, and the time
// runs until the next picture's colours are on screen. Each figure is a ratio to libjpeg-turbo's
// scaled decode of the same file to the view's size, measured in the same rounds.
//   Right to the next picture, preloading off            aim <= 2x the scaled decode
//   Right to the next picture, preloaded                 aim <= 0.1x the step above
//   Right held through 50 pictures (30 repeats a second): the longest time the viewer's
//   user-interface thread did not answer (aim < 50 ms), and release to the final picture on
//   screen (aim <= 2x the step without preloading)
//   Working set showing one fitted picture, above the same viewer idle   aim <= 64 MB
// Usage: bench_window.exe [rounds]   (default 5); run under Wine with a display (Xvfb).
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/com.h"
#include "base/paths.h"
#include "bench/bench_files.h"
#include "bench/bench_timing.h"
#include "image/jpeg_fast.h"
#include "image/obj_image.h"
#include "tests/e2e/driver/input.h"
#include "tests/e2e/driver/pictures.h"
#include "tests/e2e/driver/screen.h"
#include "tests/e2e/driver/viewer.h"

namespace {

constexpr UINT kPhotoWidth = 6000, kPhotoHeight = 4000;
constexpr int kHeldSteps = 50;
constexpr int kFileCount = kHeldSteps + 6;
constexpr DWORD kShowMs = 60000;
// Each photo has a colour of its own under its noise, so the screen tells which one is shown.
constexpr COLORREF kColours[] = {RGB(200, 40, 40),  RGB(40, 180, 40),  RGB(40, 40, 200),
                                 RGB(210, 200, 40), RGB(200, 40, 200), RGB(40, 190, 200)};
constexpr int kDistinct = static_cast<int>(sizeof(kColours) / sizeof(kColours[0]));

std::wstring FileName(int index) {
  wchar_t name[16] = {};
  std::swprintf(name, 16, L"p%02d.jpg", index);
  return name;
}

COLORREF ColourOf(int index) { return kColours[index % kDistinct]; }

// Two small pictures to step between: the time the path from key to screen takes under the
// measurement (input, drawing, the screen reaching the X server, reading it back) when the
// picture costs nothing.
bool MakeSmallPictures(const std::wstring& folder) {
  for (int i = 0; i < 2; ++i) {
    if (!e2e::WriteSolidPicture(folder + (i ? L"s1.png" : L"s0.png"), e2e::PictureFormat::kPng, 64, 64, ColourOf(i))) {
      return false;
    }
  }
  return true;
}

// The folder of photos: a few distinct ones written once, the others links to (or copies of)
// them, so that every file name is a picture of its own for the viewer.
bool MakePhotos(const std::wstring& folder) {
  for (int i = 0; i < kFileCount; ++i) {
    const std::wstring path = folder + FileName(i);
    if (i < kDistinct) {
      if (!e2e::WritePhotoJpeg(path, kPhotoWidth, kPhotoHeight, ColourOf(i), 1000u + static_cast<uint32_t>(i))) {
        return false;
      }
      continue;
    }
    const std::wstring source = folder + FileName(i % kDistinct);
    if (!::CreateHardLinkW(path.c_str(), source.c_str(), nullptr) && !::CopyFileW(source.c_str(), path.c_str(), TRUE)) {
      return false;
    }
  }
  return true;
}

// libjpeg-turbo's scaled decode of the file to the view's size, reading included: the work a
// viewer cannot avoid to show a large JPEG.
double ScaledDecodeMs(const std::wstring& path, SIZE area) {
  const double start = bench::NowMs();
  std::vector<uint8_t> bytes;
  FCObjImage small;
  if (!bench::ReadFileBytes(path, bytes) ||
      !FastJpegDecodeScaled(bytes.data(), bytes.size(), static_cast<int>(area.cx), static_cast<int>(area.cy), small)) {
    return -1;
  }
  return bench::NowMs() - start;
}

// The middle of the view, where every fitted photo is.
RECT CentrePatch(HWND view) {
  const RECT client = e2e::ClientOnScreen(view);
  const LONG x = (client.left + client.right) / 2, y = (client.top + client.bottom) / 2;
  return RECT{x - 24, y - 24, x + 24, y + 24};
}

// Whether the patch shows the colour under the photo's noise (its average is near the colour).
bool PatchShows(const RECT& patch, COLORREF colour) {
  const e2e::Capture capture = e2e::Capture::Screen(patch);
  if (!capture.IsValid()) return false;
  long long r = 0, g = 0, b = 0;
  const long long n = static_cast<long long>(capture.Width()) * capture.Height();
  for (int y = 0; y < capture.Height(); ++y) {
    for (int x = 0; x < capture.Width(); ++x) {
      const COLORREF c = capture.At(x, y);
      r += GetRValue(c);
      g += GetGValue(c);
      b += GetBValue(c);
    }
  }
  return e2e::Near(RGB(r / n, g / n, b / n), colour, 30);
}

// Milliseconds from `start` until the patch shows the colour; -1 when it did not in time.
double TimeUntilShown(const RECT& patch, COLORREF colour, double start, DWORD timeoutMs = kShowMs) {
  while (bench::NowMs() - start < timeoutMs) {
    if (PatchShows(patch, colour)) return bench::NowMs() - start;
    ::Sleep(0);
  }
  return -1;
}

// One viewer with a data folder of its own.
struct Session {
  Session(const std::wstring& program, const std::wstring& data) : viewer(program, data) {}
  e2e::Viewer viewer;
  RECT patch{};
  SIZE area{};
};

bool StartSession(Session& session, const std::vector<std::string>& settings, const std::wstring& picture,
                  COLORREF colour) {
  e2e::Viewer& viewer = session.viewer;
  // No default-viewer question over the pictures (the association library lies beside the viewer).
  std::vector<std::string> keys = settings;
  keys.push_back("default_viewer_start_tip=0");
  if (!viewer.WriteSettings(keys) || !viewer.Start(picture) || !viewer.Focus()) return false;
  RECT client{};
  ::GetClientRect(viewer.View(), &client);
  session.area = SIZE{client.right, client.bottom};
  session.patch = CentrePatch(viewer.View());
  if (!picture.empty() && TimeUntilShown(session.patch, colour, bench::NowMs()) < 0) return false;
  return viewer.WaitUntilQuiet(600, kShowMs);
}

// Steps once with Right from `from` and answers the milliseconds until the next photo shows.
double StepRight(Session& session, int from) {
  const double start = bench::NowMs();
  e2e::PressKey(VK_RIGHT);
  return TimeUntilShown(session.patch, ColourOf(from + 1), start);
}

// Measures the longest round trip of a message to the window while it runs: the longest time
// the window's thread did not look at its messages.
class StallWatcher {
 public:
  explicit StallWatcher(HWND window)
      : thread_([this, window] {
          while (!stop_) {
            const double start = bench::NowMs();
            DWORD_PTR answer = 0;
            ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &answer);
            const double took = bench::NowMs() - start;
            longest_ = std::max(longest_.load(), took);
            ::Sleep(1);
          }
        }) {}
  ~StallWatcher() { Stop(); }
  double Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return longest_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::atomic<double> longest_{0};
  std::thread thread_;
};

void PrintAim(const char* name, double value, const char* unit, double aim, const char* aimText) {
  std::printf("%-52s %9.2f%s   aim %s %s\n", name, value, unit, aimText, value >= 0 && value <= aim ? "ok" : "OVER");
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::clamp(std::atoi(argv[1]), 1, kHeldSteps / 2) : 5;
  FCAutoInitializeCOM com;
  // Held for the whole run, so that no viewer starts a tray companion that would outlive it.
  const HANDLE companion = ::CreateMutexW(nullptr, FALSE, L"Global\\QlTray-95745a12eeaa410d");
  wchar_t temp[MAX_PATH] = {};
  ::GetTempPathW(MAX_PATH, temp);
  const std::wstring work = std::wstring(temp) + L"ql_bench_window_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
  const std::wstring photos = work + L"photos\\";
  const std::wstring small = work + L"small\\";
  const std::wstring program = base::GetModuleFolder() + L"..\\bin\\";
  if (!::CreateDirectoryW(work.c_str(), nullptr) || !::CreateDirectoryW(photos.c_str(), nullptr) ||
      !::CreateDirectoryW(small.c_str(), nullptr)) {
    return 1;
  }
  std::printf("writing %d photos of %ux%u...\n", kDistinct, kPhotoWidth, kPhotoHeight);
  std::fflush(stdout);
  if (!MakePhotos(photos) || !MakeSmallPictures(small)) {
    std::puts("could not write the test photos");
    base::DeleteTree(work);
    return 1;
  }
  bool ok = true;
  const auto dataFolder = [&](const wchar_t* name) {
    const std::wstring folder = work + name + L"\\";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
  };
  const std::vector<std::string> common = {"show_wheel_favorite=0", "mouse_wheel_action=0", "toolbar_dock=1",
                                           "show_delete_confirm=0"};
  std::vector<std::string> noPreload = common, preload = common;
  noPreload.push_back("preload_enable=0");
  preload.push_back("preload_enable=1");

  // The floor: Right and Left between two small pictures.
  std::vector<double> floor;
  {
    Session session(program, dataFolder(L"floor"));
    ok = StartSession(session, noPreload, small + L"s0.png", ColourOf(0)) && ok;
    for (int r = 0; ok && r < rounds; ++r) {
      double start = bench::NowMs();
      e2e::PressKey(VK_RIGHT);
      const double forward = TimeUntilShown(session.patch, ColourOf(1), start);
      start = bench::NowMs();
      e2e::PressKey(VK_LEFT);
      const double back = TimeUntilShown(session.patch, ColourOf(0), start);
      ok = forward >= 0 && back >= 0 && ok;
      floor.push_back(forward);
      floor.push_back(back);
    }
  }
  // Steps without preloading, each after a scaled decode of the file it steps to.
  std::vector<double> scaled, cold, warm;
  SIZE area{};
  {
    Session session(program, dataFolder(L"cold"));
    ok = StartSession(session, noPreload, photos + FileName(0), ColourOf(0)) && ok;
    area = session.area;
    for (int r = 0; ok && r < rounds; ++r) {
      scaled.push_back(ScaledDecodeMs(photos + FileName(r + 1), area));
      const double step = StepRight(session, r);
      ok = step >= 0 && session.viewer.WaitUntilQuiet(600, kShowMs) && ok;
      cold.push_back(step);
    }
  }
  // Steps to a neighbour the preloader has prepared while the viewer sat on the picture before.
  {
    Session session(program, dataFolder(L"warm"));
    ok = StartSession(session, preload, photos + FileName(0), ColourOf(0)) && ok;
    for (int r = 0; ok && r < rounds; ++r) {
      const double step = StepRight(session, r);
      ok = step >= 0 && session.viewer.WaitUntilQuiet(600, kShowMs) && ok;
      warm.push_back(step);
    }
  }
  // Right held through 50 pictures: key repeats at 30 a second, then the release.
  double stall = -1, settle = -1;
  int reached = -1;
  {
    Session session(program, dataFolder(L"held"));
    ok = StartSession(session, preload, photos + FileName(0), ColourOf(0)) && ok;
    if (ok) {
      StallWatcher watcher(session.viewer.Main());
      const double begin = bench::NowMs();
      for (int i = 0; i < kHeldSteps; ++i) {
        e2e::KeyDown(VK_RIGHT);
        const double next = begin + (i + 1) * (1000.0 / 30.0);
        while (bench::NowMs() < next) ::Sleep(1);
      }
      e2e::KeyUp(VK_RIGHT);
      const double released = bench::NowMs();
      const std::wstring finalName = FileName(kHeldSteps);
      const bool named = session.viewer.WaitForCaptionStart(finalName, kShowMs);
      settle = named ? TimeUntilShown(session.patch, ColourOf(kHeldSteps), released) : -1;
      stall = watcher.Stop();
      const std::wstring caption = session.viewer.Caption();
      for (int i = 0; i < kFileCount; ++i) {
        if (caption.rfind(FileName(i), 0) == 0) reached = i;
      }
      ok = named && settle >= 0 && ok;
    }
  }
  // Memory: the same viewer idle on its welcome screen, then showing a small picture dropped on it
  // (what showing any picture costs at all), then a photo alone in its folder.
  double idleMb = 0, smallMb = 0, shownMb = 0;
  {
    const std::wstring single = work + L"single\\";
    ::CreateDirectoryW(single.c_str(), nullptr);
    const std::wstring photo = single + FileName(0);
    ok = (::CreateHardLinkW(photo.c_str(), (photos + FileName(0)).c_str(), nullptr) ||
          ::CopyFileW((photos + FileName(0)).c_str(), photo.c_str(), TRUE)) &&
         ok;
    Session session(program, dataFolder(L"memory"));
    ok = StartSession(session, preload, L"", 0) && ok;
    const auto megabytes = [&] { return static_cast<double>(session.viewer.WorkingSetBytes()) / (1024.0 * 1024.0); };
    const auto show = [&](const std::wstring& path, COLORREF colour) {
      return session.viewer.DropFiles({path}) && TimeUntilShown(session.patch, colour, bench::NowMs()) >= 0 &&
             session.viewer.WaitUntilQuiet(600, kShowMs);
    };
    idleMb = megabytes();
    ok = show(small + L"s1.png", ColourOf(1)) && ok;
    smallMb = megabytes();
    ok = show(photo, ColourOf(0)) && ok;
    shownMb = megabytes();
  }

  const double base = bench::Median(scaled), coldMs = bench::Median(cold), warmMs = bench::Median(warm);
  std::printf("\nThe viewer's window, %ux%u JPEGs in a %ldx%ld view, %d rounds (median ms)\n", kPhotoWidth,
              kPhotoHeight, area.cx, area.cy, rounds);
  std::printf("%-52s %9.1f ms\n", "Right -> a small picture on screen (the floor)", bench::Median(floor));
  std::printf("%-52s %9.1f ms\n", "libjpeg-turbo scaled decode of the file (baseline)", base);
  std::printf("%-52s %9.1f ms\n", "Right -> next picture on screen, no preloading", coldMs);
  std::printf("%-52s %9.1f ms\n", "Right -> next picture on screen, preloaded", warmMs);
  PrintAim("no preloading / scaled decode", base > 0 ? coldMs / base : -1, "x", 2.0, "2.00x");
  PrintAim("preloaded / no preloading", coldMs > 0 ? warmMs / coldMs : -1, "x", 0.1, "0.10x");
  std::printf("holding Right through %d pictures: ended on %ls\n", kHeldSteps,
              reached >= 0 ? FileName(reached).c_str() : L"(unknown)");
  PrintAim("  longest user-interface stall", stall, " ms", 50.0, "< 50 ms");
  std::printf("%-52s %9.1f ms\n", "  release -> final picture on screen", settle);
  PrintAim("  release -> final picture / no preloading", coldMs > 0 && settle >= 0 ? settle / coldMs : -1, "x", 2.0,
           "2.00x");
  std::printf("%-52s %9.1f MB idle, %.1f MB with a small picture, %.1f MB with the photo\n", "working set", idleMb,
              smallMb, shownMb);
  std::printf("%-52s %9.1f MB\n", "  showing a small picture, above idle", smallMb - idleMb);
  PrintAim("  showing one fitted photo, above idle", shownMb - idleMb, " MB", 64.0, "64 MB");
  if (!ok) std::puts("some steps did not complete: the figures above are incomplete");
  base::DeleteTree(work);
  if (companion) ::CloseHandle(companion);
  return ok ? 0 : 1;
}
