// imgprobe: drives the viewer's imaging code the way the viewer does and prints key=value lines.
// It never shows a message box: failures go to the exit code (1) and an "error=..." line; bad
// usage exits with 2.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "base/strings.h"
#include "image/current_image.h"
#include "image/file_types.h"
#include "image/gdiplus_include.h"
#include "image/obj_image.h"
#include "image/wic/factory.h"
#include "tools/imgprobe/probe_commands.h"

namespace {

int Usage() {
  std::fputs(
      "usage: imgprobe info FILE\n"
      "       imgprobe fit FILE W H OUT.png [--enhance MODE]\n"
      "       imgprobe oriented FILE OUT.png [--enhance MODE]\n"
      "       imgprobe rotate FILE cw|ccw [COUNT]\n"
      "       imgprobe save FILE TARGET [QUALITY]\n"
      "       imgprobe resize FILE TARGET W H\n"
      "       imgprobe folder FILE [--loop]\n"
      "       imgprobe render FILE W H OUT.png [zoom:STEPS:X:Y|toggle:X:Y|actual|pan:DX:DY|size:W:H]...\n",
      stderr);
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
  std::vector<std::wstring> args(argv + 1, argv + argc);
  if (args.empty()) return Usage();
  FCAutoInitializeCOM com;
  ULONG_PTR gdiplusToken = 0;
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);
  if (!CreateWicFactory()) {
    std::puts("error=no imaging factory");
    return 1;
  }
  CCurrentImage::Get().SetMessagesEnabled(false);
  const int code = probe::Run(args);
  CCurrentImage::DestroyInstance();
  ReleaseWicFactory();
  Gdiplus::GdiplusShutdown(gdiplusToken);
  std::fflush(stdout);
  return code;
}
