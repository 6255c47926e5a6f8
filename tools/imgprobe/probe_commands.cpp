#include "tools/imgprobe/probe_commands.h"

#include <cstdio>
#include <cwchar>

#include <windows.h>
#include <shellapi.h>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "base/strings.h"
#include "image/current_image.h"
#include "image/effect/effects.h"
#include "image/file_types.h"
#include "image/obj_image.h"
#include "image/save/png_writer.h"
#include "image/wic/factory.h"
#include "tools/imgprobe/probe_folder.h"
#include "tools/imgprobe/probe_render.h"

namespace probe {

void Print(const char* key, const std::wstring& value) {
  std::printf("%s=%s\n", key, base::WideToUtf8(value).c_str());
}
void Print(const char* key, long long value) { std::printf("%s=%lld\n", key, value); }
int Fail(const std::string& message) {
  std::printf("error=%s\n", message.c_str());
  return 1;
}

namespace {

bool ParseInt(const std::wstring& text, int& value) {
  if (text.empty()) return false;
  wchar_t* end = nullptr;
  const long v = std::wcstol(text.c_str(), &end, 10);
  if (*end != L'\0' || v < 0 || v > 1000000) return false;
  value = static_cast<int>(v);
  return true;
}

// Takes "--enhance MODE" off the end of the arguments.
bool TakeEnhance(std::vector<std::wstring>& args) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == L"--enhance") {
      int mode = 0;
      if (i + 1 >= args.size() || !ParseInt(args[i + 1], mode)) return false;
      AppConfig::Get().view_enhance_mode = mode;
      args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
      return true;
    }
  }
  return true;
}

bool OpenOrFail(const std::wstring& file) {
  CCurrentImage::Get().Open(file);
  return CCurrentImage::Get().GetDisplaySize().cx > 0;
}

void PrintSize() {
  const SIZE size = CCurrentImage::Get().GetDisplaySize();
  Print("width", size.cx);
  Print("height", size.cy);
}

int Info(const std::vector<std::wstring>& a) {
  if (a.size() != 2) return 2;
  CCurrentImage& current = CCurrentImage::Get();
  current.Open(a[1]);
  auto loader = current.Loader();
  Print("class", static_cast<long long>(image::ClassifyImageFile(a[1].c_str())));
  Print("decoder", base::Utf8ToWide(loader ? loader->DecoderName() : "none"));
  PrintSize();
  UINT frames = 0;
  if (loader && loader->Decoder()) loader->Decoder()->GetFrameCount(&frames);
  else if (loader && loader->FrameSource()) frames = 1;
  Print("frames", frames);
  Print("animated", loader && loader->IsAnimatedPicture() ? 1 : 0);
  const ImageMetadata empty;
  const ImageMetadata& m = loader ? loader->Metadata() : empty;
  Print("orientation", m.orientation);
  Print("transform", loader ? static_cast<long long>(loader->Transform()) : 0);
  Print("color_context", loader && loader->ColorContext() ? 1 : 0);
  Print("shooting_time", m.shooting_time);
  Print("gps", m.gps);
  Print("resolution", m.resolution);
  Print("maker", m.maker);
  Print("model", m.model);
  Print("lens", m.lens);
  Print("aperture", m.aperture);
  Print("max_aperture", m.max_aperture);
  Print("exposure_time", m.exposure_time);
  Print("iso", m.iso);
  Print("focal_length", m.focal_length);
  Print("metering", m.metering);
  Print("flash", m.flash);
  Print("white_balance", m.white_balance);
  Print("exposure_program", m.exposure_program);
  return current.GetDisplaySize().cx > 0 ? 0 : 1;
}

int Fit(std::vector<std::wstring> a) {
  if (!TakeEnhance(a) || a.size() != 5) return 2;
  int w = 0, h = 0;
  if (!ParseInt(a[2], w) || !ParseInt(a[3], h) || w == 0 || h == 0) return 2;
  if (!OpenOrFail(a[1])) return Fail("cannot decode");
  FCObjImage image;
  if (!DecodeToFitImage(*CCurrentImage::Get().Loader(), w, h, image)) return Fail("decode to fit failed");
  if (!WriteImagePng(image, a[4])) return Fail("cannot write png");
  Print("width", image.Width());
  Print("height", image.Height());
  return 0;
}

int Oriented(std::vector<std::wstring> a) {
  if (!TakeEnhance(a) || a.size() != 3) return 2;
  if (!OpenOrFail(a[1])) return Fail("cannot decode");
  base::ComPtr<IWICBitmap> bitmap;
  if (FAILED(CCurrentImage::Get().Loader()->GetOrientedBitmap(false, &bitmap))) return Fail("oriented bitmap failed");
  FCObjImage image;
  if (!image.LoadFromWicSource(bitmap.Get(), GUID_WICPixelFormat32bppPBGRA)) return Fail("no pixels");
  ApplyViewEnhancement(image, nullptr);
  if (!WriteImagePng(image, a[2])) return Fail("cannot write png");
  Print("width", image.Width());
  Print("height", image.Height());
  return 0;
}

int Rotate(const std::vector<std::wstring>& a) {
  if (a.size() != 3 && a.size() != 4) return 2;
  if (a[2] != L"cw" && a[2] != L"ccw") return 2;
  int count = 1;
  if (a.size() == 4 && (!ParseInt(a[3], count) || count < 1)) return 2;
  if (!OpenOrFail(a[1])) return Fail("cannot decode");
  AppConfig::Get().rotate_auto_save = 1;
  CCurrentImage& current = CCurrentImage::Get();
  for (int i = 0; i < count; ++i) current.Rotate(a[2] == L"cw");
  Print("orientation", current.Loader()->Metadata().orientation);
  PrintSize();
  const auto kind = current.LastRotateSave();
  Print("saved", kind == CCurrentImage::SaveKind::kInPlace ? L"in-place"
                 : kind == CCurrentImage::SaveKind::kFull  ? L"full"
                                                           : L"none");
  return 0;
}

int Save(const std::vector<std::wstring>& a) {
  if (a.size() != 3 && a.size() != 4) return 2;
  int quality = AppConfig::Get().save_jpeg_quality;
  if (a.size() == 4 && (!ParseInt(a[3], quality) || quality > 100)) return 2;
  if (!OpenOrFail(a[1])) return Fail("cannot decode");
  if (!CCurrentImage::Get().Save(a[2], quality)) return Fail("save failed");
  PrintSize();
  return 0;
}

int Resize(const std::vector<std::wstring>& a) {
  if (a.size() != 5) return 2;
  int w = 0, h = 0;
  if (!ParseInt(a[3], w) || !ParseInt(a[4], h)) return 2;
  if (!OpenOrFail(a[1])) return Fail("cannot decode");
  bool replaced = false;
  if (!CCurrentImage::Get().SaveResized(a[2], w, h, &replaced)) return Fail("resize failed");
  Print("replaced_open_file", replaced ? 1 : 0);
  return 0;
}

// Sets the picture as wallpaper and reads back what the system now uses.
int Wallpaper(const std::vector<std::wstring>& a) {
  if (a.size() != 2) return 2;
  if (!OpenOrFail(a[1])) return Fail("cannot decode");
  if (!CCurrentImage::Get().SetAsWallpaper()) return Fail("wallpaper failed");
  wchar_t current[MAX_PATH] = {};
  ::SystemParametersInfoW(SPI_GETDESKWALLPAPER, MAX_PATH, current, 0);
  Print("wallpaper", current);
  return 0;
}

// Copies the picture to the clipboard and reports what the clipboard then holds.
int Copy(const std::vector<std::wstring>& a) {
  if (a.size() != 2) return 2;
  if (!OpenOrFail(a[1])) return Fail("cannot decode");
  CCurrentImage::Get().CopyToClipboard();
  if (!::OpenClipboard(nullptr)) return Fail("clipboard busy");
  long long width = 0, height = 0, files = 0;
  if (HANDLE dib = ::GetClipboardData(CF_DIB)) {
    if (const auto* header = static_cast<const BITMAPINFOHEADER*>(::GlobalLock(dib))) {
      width = header->biWidth;
      height = header->biHeight;
      ::GlobalUnlock(dib);
    }
  }
  if (HANDLE drop = ::GetClipboardData(CF_HDROP)) files = ::DragQueryFileW(static_cast<HDROP>(drop), 0xFFFFFFFF, nullptr, 0);
  ::CloseClipboard();
  Print("dib_width", width);
  Print("dib_height", height);
  Print("files", files);
  return width > 0 ? 0 : 1;
}

}  // namespace

int Run(const std::vector<std::wstring>& args) {
  const std::wstring& command = args[0];
  int code = 2;
  if (command == L"info") code = Info(args);
  else if (command == L"fit") code = Fit(args);
  else if (command == L"oriented") code = Oriented(args);
  else if (command == L"rotate") code = Rotate(args);
  else if (command == L"save") code = Save(args);
  else if (command == L"resize") code = Resize(args);
  else if (command == L"wallpaper") code = Wallpaper(args);
  else if (command == L"copy") code = Copy(args);
  else if (command == L"folder") code = RunFolderProbe(std::vector<std::wstring>(args.begin() + 1, args.end()));
  else if (command == L"render") code = RunRenderProbe(std::vector<std::wstring>(args.begin() + 1, args.end()));
  if (code == 2) std::fputs("bad usage (run imgprobe without arguments for help)\n", stderr);
  return code;
}

}  // namespace probe
