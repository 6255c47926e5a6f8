#include "tools/imgprobe/probe_folder.h"

#include <windows.h>

#include <cstdio>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "base/message_window.h"
#include "base/strings.h"
#include "view/current_folder_image.h"
#include "tools/imgprobe/probe_pump.h"

namespace {

constexpr DWORD kScanLimitMs = 30000;

// Stands in for the main image view: the list tells it when the folder has been collected.
class CollectedWatcher : public FCMessageWindow {
 public:
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_FOLDER_IMAGE_COLLECTED) {
      collected = true;
      return 0;
    }
    return FCMessageWindow::HandleMessage(message, wParam, lParam);
  }
  bool collected = false;
};

std::wstring FullPath(const std::wstring& path) {
  const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (size == 0) return {};
  std::wstring full(size, L'\0');
  const DWORD written = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
  if (written == 0 || written >= size) return {};
  full.resize(written);
  return full;
}

void PrintLine(const char* key, const std::wstring& value) {
  std::printf("%s=%s\n", key, base::WideToUtf8(value).c_str());
}

}  // namespace

int RunFolderProbe(const std::vector<std::wstring>& args) {
  bool loop = false;
  std::wstring file;
  for (const std::wstring& arg : args) {
    if (arg == L"--loop") {
      loop = true;
    } else if (file.empty() && !arg.empty() && arg[0] != L'-') {
      file = arg;
    } else {
      std::fprintf(stderr, "usage: imgprobe folder FILE [--loop]\n");
      return 2;
    }
  }
  if (file.empty()) {
    std::fprintf(stderr, "usage: imgprobe folder FILE [--loop]\n");
    return 2;
  }
  const std::wstring path = FullPath(file);
  const DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    std::fprintf(stderr, "no such file: %s\n", base::WideToUtf8(file).c_str());
    return 1;
  }

  FCAutoInitializeCOM com;
  AppConfig config(L"");  // defaults only; the user's settings stay untouched
  config.view_folder_loop = loop ? 1 : 0;
  CCurrentFolderImage list(config);
  CollectedWatcher watcher;
  if (!watcher.CreateMessageWindow(nullptr)) {
    std::fprintf(stderr, "cannot create a message window\n");
    return 1;
  }
  list.SetCurrentFile(watcher.GetHwnd(), path);
  if (!probe::PumpUntil([&] { return watcher.collected && !list.IsScanning(); }, kScanLimitMs)) {
    std::fprintf(stderr, "the folder scan did not finish in %lu ms\n", static_cast<unsigned long>(kScanLimitMs));
    return 1;
  }
  std::printf("count=%d\n", list.GetCount());
  std::printf("index=%d\n", list.GetCurrentIndex());
  for (const std::wstring& name : list.GetNames()) PrintLine("name", name);
  PrintLine("prev", list.GetNeighbourPath(-1));
  PrintLine("next", list.GetNeighbourPath(1));
  std::fflush(stdout);
  return 0;
}
