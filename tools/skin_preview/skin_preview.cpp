// skin_preview DIALOG LANGUAGE OUT.png
//   DIALOG: delete, default, wheel, about, or settings0 to settings3 (the settings on that page);
//   LANGUAGE: a language file name (en.ini, cn_simp.ini).
// Opens the dialog as the viewer would, waits until it has been drawn, saves the window's pixels
// as a PNG and closes it. Exit code 0 when the picture was written.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>

#include "appconfig/app_config.h"
#include "appconfig/folders.h"
#include "appconfig/language.h"
#include "base/com.h"
#include "base/handles.h"
#include "base/paths.h"
#include "image/gdiplus_include.h"
#include "image/obj_image.h"
#include "image/save/png_writer.h"
#include "image/wic/factory.h"
#include "popup_dialog/settings/setting_dialog.h"
#include "popup_dialog/small/about.h"
#include "popup_dialog/small/default_viewer.h"
#include "popup_dialog/small/delete_confirm.h"
#include "popup_dialog/small/wheel_favorite.h"
#include "skin/archive/resource_archive.h"
#include "skin/controls/list.h"

namespace {

std::wstring g_out;
const wchar_t* g_class = nullptr;
bool g_written = false;
int g_settings_page = -1;

// The settings as a user who has chosen a few types and a hotkey sees them.
class PreviewEffects : public popup_dialog::SettingsEffects {
 public:
  bool IsTypeAssociated(const std::wstring& name) override { return name == L"jpg" || name == L"png" || name == L"gif"; }
  void RecordTypeChoice(const std::wstring&, bool) override {}
  void ApplyTypeChoices() override {}
  bool OffersDefaultProgramsPage() override { return true; }
  void OpenDefaultProgramsPage() override {}
  bool SendHotkey(int) override { return true; }
  void RefreshReceivers() override {}
};

void CALLBACK OnShowPage(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  auto* dialog = dynamic_cast<DlgSetting2*>(CUseZipResourceDuiWnd::FromHandle(::FindWindowW(g_class, nullptr)));
  if (!dialog) return;
  if (auto* pages = dialog->FindControlAs<skin::List>(L"pagelist")) pages->SelectItem(g_settings_page);
  if (g_settings_page == 3) dialog->ApplyHotkey(0x0444);
}

bool Capture(HWND window, const std::wstring& path) {
  RECT client{};
  ::GetClientRect(window, &client);
  FCObjImage image;
  if (!image.Create(client.right, client.bottom, 32)) return false;
  base::WindowDc screen(window);
  base::MemoryDc memory(::CreateCompatibleDC(screen.Get()));
  {
    base::SelectGuard select(memory.Get(), image.SectionHandle());
    ::BitBlt(memory.Get(), 0, 0, client.right, client.bottom, screen.Get(), 0, 0, SRCCOPY);
  }
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) image.PixelPointer(x, y)[3] = 255;
  }
  return WriteImagePng(image, path);
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  HWND window = ::FindWindowW(g_class, nullptr);
  if (window) {
    g_written = Capture(window, g_out);
    ::PostMessageW(window, WM_CLOSE, 0, 0);
  } else {
    ::PostQuitMessage(1);
  }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fwprintf(stderr, L"usage: skin_preview delete|default|wheel|about|settings0-3 LANGUAGE.ini OUT.png\n");
    return 2;
  }
  const std::wstring dialog = argv[1];
  g_out = argv[3];
  FCAutoInitializeCOM com;
  image::GdiplusSession gdiplus;
  (void)CreateWicFactory();
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES};
  ::InitCommonControlsEx(&controls);
  AppConfig config(L"");
  if (!SetCurrentLanguageName(argv[2])) return 2;
  skin::SetResourceFolder(base::JoinPath(base::GetModuleFolder(), L"res"), L"res.zip");

  std::unique_ptr<CDlgBase> window;
  if (dialog == L"delete") {
    window = std::make_unique<DlgDeleteConfirm2>(config, L"C:\\Users\\Lin\\Pictures\\lake at dusk.jpg");
  } else if (dialog == L"default") {
    window = std::make_unique<DlgSetDefaultViewer2>(config);
  } else if (dialog == L"wheel") {
    window = std::make_unique<DlgMouseWheelFavorite2>(config);
  } else if (dialog.size() == 9 && dialog.rfind(L"settings", 0) == 0 && dialog[8] >= L'0' && dialog[8] <= L'3') {
    g_settings_page = dialog[8] - L'0';
    config.mouse_wheel_action = 0;
    window = std::make_unique<DlgSetting2>(config, std::make_unique<PreviewEffects>());
    ::SetTimer(nullptr, 0, 600, &OnShowPage);
  } else if (dialog == L"about") {
    window = std::make_unique<DlgAbout2>(L"1.0.0.1", nullptr);
  } else {
    return 2;
  }
  g_class = window->WindowClassName();
  ::SetTimer(nullptr, 0, 1500, &OnTimer);
  window->DoModal(nullptr);
  ReleaseWicFactory();
  return g_written ? 0 : 1;
}
