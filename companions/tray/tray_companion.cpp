#include "companions/tray/tray_companion.h"

#include "appconfig/language.h"
#include "companions/assoc/assoc_kit_client.h"
#include "companions/assoc/assoc_list.h"
#include "companions/tray/companion_names.h"
#include "companions/tray/screen_capture.h"
#include "companions/tray/tray_resource.h"

namespace tray {

namespace {

constexpr UINT kIconCallback = WM_APP + 1;
constexpr UINT kIconId = 1;
constexpr wchar_t kChannelName[] = L"QlIPC-be3d8fcf43482b49";
// The main window of every viewer listens with this routing id.
constexpr int32_t kViewerRouting = 2;
constexpr uint32_t kQuitType = 2;

std::wstring Text(const wchar_t* key, const wchar_t* fallback) {
  std::wstring text = GetLanguageString(L"TRAY", key);
  return text.empty() ? fallback : text;
}

}  // namespace

CTrayCompanion::CTrayCompanion(HINSTANCE instance, std::wstring programFolder, std::wstring dataFolder)
    : instance_(instance), program_folder_(std::move(programFolder)), data_folder_(std::move(dataFolder)) {}

CTrayCompanion::~CTrayCompanion() {
  channel_.Close();
  hotkey_.reset();
  RemoveIcon();
  if (window_) ::DestroyWindow(window_);
}

bool CTrayCompanion::Start() {
  settings_ = LoadTraySettings(data_folder_.empty() ? L"" : data_folder_ + kTraySettingsFile);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &CTrayCompanion::WindowProc;
  wc.hInstance = instance_;
  wc.lpszClassName = kTrayWindowClass;
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  // A hidden top-level window: message-only windows miss the broadcast that a restarted shell sends.
  if (!::CreateWindowExW(0, kTrayWindowClass, L"QuellinTray", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance_,
                         this)) {
    return false;
  }
  taskbar_created_ = ::RegisterWindowMessageW(L"TaskbarCreated");
  hotkey_ = std::make_unique<GlobalHotkey>(window_, kCaptureHotkeyId);
  if (const auto binding = BindingFromControlValue(settings_.hotkey)) hotkey_->Set(*binding);
  const int size = ::GetSystemMetrics(SM_CXSMICON);
  icon_.Reset(static_cast<HICON>(
      ::LoadImageW(instance_, MAKEINTRESOURCEW(IDI_TRAY_ICON), IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
  AddIcon();
  if (channel_.Open(kChannelName, false)) channel_.AddListener(this);
  return true;
}

int CTrayCompanion::Run() {
  MSG message{};
  while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

LRESULT CALLBACK CTrayCompanion::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<CTrayCompanion*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<CTrayCompanion*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  return self->OnMessage(message, wParam, lParam);
}

LRESULT CTrayCompanion::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case kIconCallback:
      OnIconEvent(static_cast<UINT>(lParam));
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_HOTKEY:
      if (static_cast<int>(wParam) == kCaptureHotkeyId) OnCaptureHotkey();
      return 0;
    case WM_CLOSE:
      ::DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      hotkey_.reset();
      RemoveIcon();
      ::PostQuitMessage(0);
      return 0;
    default:
      if (message == taskbar_created_ && taskbar_created_ != 0) {
        // The shell started again and forgot every icon.
        icon_added_ = false;
        AddIcon();
        return 0;
      }
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

void CTrayCompanion::OnIconEvent(UINT mouseMessage) {
  switch (mouseMessage) {
    case WM_LBUTTONDBLCLK:
      OpenViewer(L"--from=tray");
      break;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
      ShowMenu();
      break;
    default:
      break;
  }
}

void CTrayCompanion::OnCommand(UINT command) {
  if (command == kCommandOpenViewer) OpenViewer(L"--from=tray");
  if (command == kCommandQuit) QuitWithViewers();
}

void CTrayCompanion::OnCaptureHotkey() {
  const std::wstring picture = CaptureScreenToFolder(PicturesFolder());
  if (!picture.empty()) OpenViewer(L"\"" + picture + L"\" --from=tray");
}

void CTrayCompanion::AddIcon() {
  if (icon_added_ || !window_) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = window_;
  data.uID = kIconId;
  data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  data.uCallbackMessage = kIconCallback;
  data.hIcon = icon_.Get();
  const std::wstring tip = Text(L"TIP", L"Quellin");
  ::lstrcpynW(data.szTip, tip.c_str(), ARRAYSIZE(data.szTip));
  icon_added_ = ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void CTrayCompanion::RemoveIcon() {
  if (!icon_added_ || !window_) return;
  NOTIFYICONDATAW data{};
  data.cbSize = sizeof(data);
  data.hWnd = window_;
  data.uID = kIconId;
  ::Shell_NotifyIconW(NIM_DELETE, &data);
  icon_added_ = false;
}

void CTrayCompanion::ShowMenu() {
  HMENU menu = ::CreatePopupMenu();
  if (!menu) return;
  ::AppendMenuW(menu, MF_STRING, kCommandOpenViewer, Text(L"OPEN_VIEWER", L"Open Quellin").c_str());
  ::AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
  ::AppendMenuW(menu, MF_STRING, kCommandQuit, Text(L"QUIT", L"Quit").c_str());
  POINT at{};
  ::GetCursorPos(&at);
  // The menu closes when the user clicks elsewhere only if its owner is in the foreground.
  ::SetForegroundWindow(window_);
  ::TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_BOTTOMALIGN, at.x, at.y, 0, window_, nullptr);
  ::PostMessageW(window_, WM_NULL, 0, 0);
  ::DestroyMenu(menu);
}

void CTrayCompanion::OpenViewer(const std::wstring& parameters) const {
  // Without a known folder (a path past MAX_PATH) nothing is started from the search path instead.
  if (program_folder_.empty()) return;
  const std::wstring viewer = program_folder_ + kViewerProgram;
  ::ShellExecuteW(nullptr, L"open", viewer.c_str(), parameters.c_str(), program_folder_.c_str(), SW_SHOWNORMAL);
}

void CTrayCompanion::QuitWithViewers() {
  channel_.SendToAllPeers(IPC::Message(kViewerRouting, kQuitType));
  ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

void CTrayCompanion::OnMessageReceived(const IPC::Message& message) {
  const auto request = DecodeViewerMessage(message);
  if (!request) return;
  switch (request->kind) {
    case RequestKind::kQuickIndex:
      ApplyQuickIndex(request->value);
      break;
    case RequestKind::kExit:
      // Ended from the message loop, not inside the channel's dispatch.
      if (window_) ::PostMessageW(window_, WM_CLOSE, 0, 0);
      break;
    case RequestKind::kHotkey:
      ApplyHotkey(request->value);
      break;
    case RequestKind::kAssociation:
      ApplyAssociation(request->extension, request->value != 0);
      break;
  }
}

void CTrayCompanion::ApplyQuickIndex(int state) {
  if (settings_.quickIndex == state) return;
  settings_.quickIndex = state;
  Persist();
}

void CTrayCompanion::ApplyHotkey(int32_t value) {
  const auto binding = BindingFromControlValue(value);
  // A value that is no hotkey changes nothing; 0 removes the hotkey.
  if (!binding && value != 0) return;
  if (binding) {
    hotkey_->Set(*binding);
  } else {
    hotkey_->Clear();
  }
  // The user's choice is kept even when another program holds the keys now: the next start
  // tries again.
  settings_.hotkey = value;
  Persist();
  if (!data_folder_.empty()) WriteViewerHotkey(data_folder_ + L"config.ini", value);
}

void CTrayCompanion::ApplyAssociation(const std::wstring& extension, bool associate) const {
  const assoc::AssocKitClient library(program_folder_);
  if (extension == L"open") {
    if (associate) {
      library.SetDefaultImageViewer();
    } else {
      library.UnInstall(HKEY_CURRENT_USER);
    }
    return;
  }
  std::map<std::wstring, int> choices;
  for (const std::wstring& member : assoc::ExpandChoice(extension)) choices[member] = associate ? 1 : 0;
  if (!choices.empty()) library.SetAssociation(assoc::BuildList(choices));
}

void CTrayCompanion::Persist() const {
  if (!data_folder_.empty()) SaveTraySettings(data_folder_ + kTraySettingsFile, settings_);
}

}  // namespace tray
