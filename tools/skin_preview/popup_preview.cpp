#include "tools/skin_preview/popup_preview.h"

#include <algorithm>
#include <memory>

#include "base/handles.h"
#include "image/current_image.h"
#include "image/obj_image.h"
#include "image/save/png_writer.h"
#include "popup_dialog/info_panel/show_exif.h"
#include "popup_dialog/menus/context_menu.h"
#include "popup_dialog/menus/main_menu.h"

namespace {

void PumpFor(DWORD milliseconds) {
  const UINT_PTR timer = ::SetTimer(nullptr, 0, milliseconds, nullptr);
  MSG msg{};
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    if (msg.message == WM_TIMER && msg.hwnd == nullptr && msg.wParam == timer) break;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  ::KillTimer(nullptr, timer);
}

// The window's pixels inside its region (the whole window without one), cropped to the region.
bool SaveVisible(HWND window, const std::wstring& path) {
  RECT client{};
  ::GetClientRect(window, &client);
  base::RegionHandle region(::CreateRectRgn(0, 0, 0, 0));
  RECT box = client;
  const bool shaped = region && ::GetWindowRgn(window, region.Get()) != ERROR;
  if (shaped) ::GetRgnBox(region.Get(), &box);
  FCObjImage image;
  if (!image.Create(box.right - box.left, box.bottom - box.top, 32)) return false;
  base::WindowDc screen(window);
  base::MemoryDc memory(::CreateCompatibleDC(screen.Get()));
  {
    base::SelectGuard select(memory.Get(), image.SectionHandle());
    ::BitBlt(memory.Get(), 0, 0, image.Width(), image.Height(), screen.Get(), box.left, box.top, SRCCOPY);
  }
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) {
      uint8_t* pixel = image.PixelPointer(x, y);
      const bool inside = !shaped || ::PtInRegion(region.Get(), box.left + x, box.top + y);
      if (inside) {
        pixel[3] = 255;
      } else {
        pixel[0] = pixel[1] = pixel[2] = pixel[3] = 0;
      }
    }
  }
  return WriteImagePng(image, path);
}

}  // namespace

int RunPopupPreview(const std::wstring& name, AppConfig& config, const std::wstring& out, const std::wstring& picture) {
  if (name != L"menu" && name != L"context" && name != L"info") return -1;
  CCurrentImage::Get().SetMessagesEnabled(false);
  if (!picture.empty()) CCurrentImage::Get().Open(picture);

  std::unique_ptr<CUseZipResourceDuiWnd> window;
  if (name == L"menu") {
    // Ticked: the default viewer and zooming with the wheel, as a user who chose both sees it.
    config.set_default_viewer = 1;
    config.mouse_wheel_action = 1;
    auto menu = std::make_unique<CMainMenu>(nullptr, config);
    menu->ShowAt(RECT{560, 120, 590, 150});
    // The pointer on the wheel entry opens the sub-list.
    if (const skin::Control* entry = menu->FindControl(L"wheel_menu")) {
      POINT at{(entry->Rect().left + entry->Rect().right) / 2, (entry->Rect().top + entry->Rect().bottom) / 2};
      ::ClientToScreen(menu->GetHWND(), &at);
      ::SetCursorPos(at.x, at.y);
    }
    window = std::move(menu);
  } else if (name == L"context") {
    auto menu = std::make_unique<CContextMenu>(nullptr);
    menu->ShowAtPoint(POINT{200, 120});
    ::SetCursorPos(10, 10);
    window = std::move(menu);
  } else {
    auto panel = std::make_unique<WndShowExif2>(nullptr, config, nullptr);
    if (!panel->Open()) return 1;
    panel->Place(RECT{120, 700, 172, 752});
    ::SetCursorPos(10, 10);
    window = std::move(panel);
  }
  PumpFor(1500);
  const bool written = window->GetHWND() && SaveVisible(window->GetHWND(), out);
  window.reset();
  CCurrentImage::DestroyInstance();
  return written ? 0 : 1;
}
