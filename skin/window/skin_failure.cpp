#include "skin/window/skin_failure.h"

#include <windows.h>

#include "appconfig/app_config.h"

namespace skin {
namespace {

std::function<void(const std::wstring&)>& TestHandler() {
  static auto* handler = new std::function<void(const std::wstring&)>();
  return *handler;
}

}  // namespace

void SetSkinFailureHandlerForTesting(std::function<void(const std::wstring&)> handler) {
  TestHandler() = std::move(handler);
}

void ReportSkinFailure(const std::wstring& detail) {
  if (TestHandler()) {
    TestHandler()(detail);
    return;
  }
  // The message box runs a message loop in which another window may fail too: only the first
  // failure is reported, and it ends the process when the box is closed.
  static LONG reporting = 0;
  if (::InterlockedExchange(&reporting, 1) != 0) return;
  ::OutputDebugStringW((L"skin: " + detail + L"\n").c_str());
  // Whatever the user changed in this run is kept: the process ends without the usual exit path.
  AppConfig::Get().Save();
  ::MessageBoxW(nullptr, L"加载资源文件失败", L"Duilib", MB_OK | MB_ICONERROR);
  ::ExitProcess(1);
}

}  // namespace skin
