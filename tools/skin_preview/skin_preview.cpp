// skin_preview DIALOG LANGUAGE OUT.png [PICTURE]
//   DIALOG: delete, default, wheel, about, effect, resize, the feedback form fresh (feedback), sent
//   empty (feedback_tips) or filled in and sent with no server set up (feedback_error), the
//   settings on one of their pages (settings0 to settings3), or one of the pop-ups menu, context or
//   info (over PICTURE when given);
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
#include "popup_dialog/adjust/effect_window.h"
#include "popup_dialog/adjust/resize_dialog.h"
#include "popup_dialog/feedback/dlg_feedback.h"
#include "popup_dialog/settings/setting_dialog.h"
#include "popup_dialog/small/about.h"
#include "popup_dialog/small/default_viewer.h"
#include "popup_dialog/small/delete_confirm.h"
#include "popup_dialog/small/wheel_favorite.h"
#include "skin/archive/resource_archive.h"
#include "skin/controls/edit.h"
#include "tools/skin_preview/popup_preview.h"
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

// The feedback form runs modelessly: shown, brought to the state asked for as a user would bring
// it there, and served until the timer has closed it.
int RunFeedbackForm(const std::wstring& state, AppConfig& config) {
  CFeedbackDlg form(config, base::GetModuleFolder());
  form.Show(nullptr);
  HWND window = form.GetHWND();
  if (!window) return 1;
  const auto type = [&](const wchar_t* field, const wchar_t* text) {
    if (const auto* edit = form.FindControlAs<skin::Edit>(field)) {
      ::SetFocus(edit->NativeWindow());
      ::SetWindowTextW(edit->NativeWindow(), text);
    }
  };
  if (state == L"feedback_error") {
    const bool chinese = GetCurrentLanguageName() == L"cn_simp.ini";
    type(L"content", chinese ? L"打开很大的全景照片时，窗口会停顿几秒钟。" : L"The window stops for a few seconds when I open a large panorama.");
    type(L"email", L"lin@example.com");
    type(L"phone", L"13800138000");
  }
  if (state != L"feedback") {
    form.LayoutNow();
    if (const skin::Control* commit = form.FindControl(L"commit")) {
      const RECT& r = commit->Rect();
      const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
      ::PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, at);
      ::PostMessageW(window, WM_LBUTTONUP, 0, at);
    }
  }
  MSG message{};
  while (::IsWindow(window) && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4 && argc != 5) {
    std::fwprintf(stderr, L"usage: skin_preview delete|default|wheel|about|effect|resize|feedback[_tips|_error]|"
                          L"settings0-3|menu|context|info LANGUAGE.ini OUT.png [PICTURE]\n");
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

  if (dialog.rfind(L"feedback", 0) == 0) {
    g_class = L"CFeedbackDlg";
    ::SetTimer(nullptr, 0, 1500, &OnTimer);
    const int run = RunFeedbackForm(dialog, config);
    ReleaseWicFactory();
    return run == 0 && g_written ? 0 : 1;
  }
  if (dialog == L"effect") {
    // The pop-up is no dialog: shown over a button in the middle of the screen, with a loop of
    // its own that the timer ends.
    CEffectWnd popup(nullptr);
    g_class = popup.WindowClassName();
    const int x = ::GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = ::GetSystemMetrics(SM_CYSCREEN) / 2;
    popup.ShowAt(RECT{x, y, x + 52, y + 52});
    ::SetTimer(nullptr, 0, 1500, &OnTimer);
    MSG message{};
    while (!g_written && ::GetMessageW(&message, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
    }
    ReleaseWicFactory();
    return g_written ? 0 : 1;
  }
  if (const int code = RunPopupPreview(dialog, config, g_out, argc == 5 ? argv[4] : L""); code >= 0) {
    ReleaseWicFactory();
    return code;
  }
  std::unique_ptr<CDlgBase> window;
  if (dialog == L"resize") {
    window = std::make_unique<DlgResizeImage2>(SIZE{4000, 3000}, L"C:\\Users\\Lin\\Pictures\\lake at dusk.jpg", nullptr);
  } else if (dialog == L"delete") {
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
