#include "main_window/main_dialog.h"

#include <shellapi.h>
#include <windowsx.h>

#include "appconfig/command_line.h"
#include "image/current_image.h"
#include "resources/resource.h"
#include "services/registry.h"
#include "services/statistics.h"
#include "view/view_links.h"

namespace {

// WM_COPYGLOBALDATA, which drag and drop from other processes relies on.
constexpr UINT kCopyGlobalData = 0x0049;
constexpr int kTitleStripHeight = 31;
constexpr int kToolbarHeight = 62;
constexpr int kButtonSize = 30;
constexpr COLORREF kStripColour = RGB(248, 248, 248);
constexpr COLORREF kFrameColour = RGB(193, 193, 193);
constexpr COLORREF kTitleTextColour = RGB(64, 65, 71);

void RegisterMainWindowClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!::GetClassInfoExW(nullptr, L"#32770", &wc)) return;
  wc.hInstance = instance;
  wc.lpszClassName = CDorvaneDlg::kWindowClass;
  // Registering twice in one process fails harmlessly with ERROR_CLASS_ALREADY_EXISTS.
  ::RegisterClassExW(&wc);
}

HFONT MakeTitleFont(int weight) {
  return ::CreateFontW(-12, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                       CLEARTYPE_QUALITY, 0, L"微软雅黑");
}

RECT ClientRect(HWND window) {
  RECT rect{};
  ::GetClientRect(window, &rect);
  return rect;
}

}  // namespace

CDorvaneDlg::CDorvaneDlg(HINSTANCE instance, HWND parent, AppConfig& config)
    : instance_(instance), parent_(parent), config_(config), view_(config), toolbar_(config) {
  RegisterMainWindowClass(instance_);
  accelerators_ = ::LoadAcceleratorsW(instance_, MAKEINTRESOURCEW(IDR_MAINFRAME));
}

CDorvaneDlg::~CDorvaneDlg() {
  if (check_thread_) ::WaitForSingleObject(check_thread_.Get(), INFINITE);
  if (window_) ::DestroyWindow(window_);
}

INT_PTR CDorvaneDlg::DoModal() {
  // A modeless dialog with a loop of our own, so that every message passes the window's
  // pre-translation (accelerators, typed characters, the wheel, the quit message) first.
  HWND window = ::CreateDialogParamW(instance_, MAKEINTRESOURCEW(IDD_QUELLINIMG_DIALOG), parent_, DialogProc,
                                     reinterpret_cast<LPARAM>(this));
  if (!window) return -1;
  running_ = true;
  MSG msg{};
  while (running_) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (PreTranslateMessage(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  if (window_) ::DestroyWindow(window_);
  return result_;
}

void CDorvaneDlg::EndMainDialog(INT_PTR result) {
  exiting_ = true;
  result_ = result;
  running_ = false;
  if (window_) ::PostMessageW(window_, WM_NULL, 0, 0);
}

bool CDorvaneDlg::PreTranslateMessage(MSG& msg) {
  if (!window_) return false;
  const bool ours = msg.hwnd == window_ || ::IsChild(window_, msg.hwnd);
  if (ours) {
    if (accelerators_ && ::TranslateAcceleratorW(window_, accelerators_, &msg)) return true;
    // No child control of the main window takes typed characters.
    if (msg.message == WM_CHAR) return true;
    if (msg.message == WM_MOUSEWHEEL && msg.hwnd != view_.GetSafeHwnd() && view_.GetSafeHwnd()) {
      // The wheel zooms and scrolls wherever the pointer is over the window.
      const HWND target = msg.hwnd;
      ::SendMessageW(view_.GetSafeHwnd(), WM_MOUSEWHEEL, msg.wParam, msg.lParam);
      if (target == window_) return true;
    }
  }
  if (quit_message_ != 0 && msg.message == quit_message_) {
    CloseOpenDialogs();
    EndMainDialog(IDCANCEL);
  }
  CWidgetWindow::RelayToTooltip(msg);
  return ours && ::IsDialogMessageW(window_, &msg);
}

INT_PTR CALLBACK CDorvaneDlg::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_INITDIALOG) {
    auto* self = reinterpret_cast<CDorvaneDlg*>(lParam);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<CDorvaneDlg*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || self->window_ != window) return FALSE;
  const INT_PTR handled = self->OnMessage(message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    self->running_ = false;
  }
  return handled;
}

INT_PTR CDorvaneDlg::Answer(LRESULT result) {
  ::SetWindowLongPtrW(window_, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR CDorvaneDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog();
    case WM_COMMAND:
      return RunCommand(LOWORD(wParam)) ? TRUE : FALSE;
    case WM_SIZE:
      OnSize(static_cast<UINT>(wParam), GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return TRUE;
    case WM_ENTERSIZEMOVE:
      view_.OnSizingStarted();
      return FALSE;
    case WM_EXITSIZEMOVE:
      view_.OnSizingEnded();
      return FALSE;
    case WM_MOVING:
      toolbar_.RepositionPopups();
      return FALSE;
    case WM_GETMINMAXINFO:
      OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
      return TRUE;
    case WM_NCHITTEST:
      return Answer(OnNcHitTest(lParam));
    case WM_PAINT:
      OnPaint();
      return TRUE;
    case WM_CTLCOLORSTATIC:
      return reinterpret_cast<INT_PTR>(OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)));
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      for (CPngButton* button : {&close_button_, &maximize_button_, &minimize_button_}) {
        if (item && item->hwndItem == button->GetSafeHwnd()) {
          button->DrawItem(*item);
          return TRUE;
        }
      }
      return FALSE;
    }
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wParam));
      return TRUE;
    case WM_COPYDATA:
      return Answer(OnCopyData(reinterpret_cast<const COPYDATASTRUCT*>(lParam)));
    case WM_TIMER:
      OnTimer(wParam);
      return TRUE;
    case WM_CLOSE:
      OnClose();
      return TRUE;
    case WM_QUERYENDSESSION:
      RunExitSequence();
      return Answer(TRUE);
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    case WM_TITLE_WIDTH:
      OnTitleWidth(static_cast<int>(wParam), static_cast<int>(lParam));
      return TRUE;
    case WM_STARTUP_OPEN:
      OnStartupOpen();
      return TRUE;
    case WM_OPEN_PATH:
      OnOpenPath(reinterpret_cast<const wchar_t*>(wParam));
      return TRUE;
    case WM_REFRESH_CHROME:
      toolbar_.Invalidate();
      view_.ShowCurrentImage();
      return TRUE;
    case WM_ASK_DEFAULT_VIEWER:
      AskDefaultViewer();
      return TRUE;
    case WM_DEFAULT_VIEWER_CHECKED:
      OnDefaultViewerChecked(lParam != 0);
      return TRUE;
    case WM_QUICK_INDEX_CHANGED: {
      if (auto* base = services::Find<services::IBaseServices>()) base->SetQuickIndexState(static_cast<int>(lParam));
      IPC::Message message(main_channel::kCompanionRouting, main_channel::kQuickIndex);
      message.WriteInt(lParam != 0 ? 1 : 0);
      CIPCMessageMgr::Get().Send(message);
      return TRUE;
    }
    case WM_SET_DEFAULT_VIEWER:
      ApplyDefaultViewer(lParam != 0);
      return TRUE;
    case services::WM_MENU_COMMAND:
      OnMenuCommand(wParam);
      return TRUE;
    case services::WM_FEEDBACK_CLOSED:
      feedback_.reset();
      return TRUE;
    default:
      return FALSE;
  }
}

BOOL CDorvaneDlg::OnInitDialog() {
  // Less privileged starts may hand over files and drop them on the window.
  for (UINT allowed : {static_cast<UINT>(WM_COPYDATA), static_cast<UINT>(WM_DROPFILES), kCopyGlobalData}) {
    ::ChangeWindowMessageFilterEx(window_, allowed, MSGFLT_ALLOW, nullptr);
  }
  config_.ApplyWindowPlacement(window_);
  const auto icon = [this](int size) {
    return static_cast<HICON>(::LoadImageW(instance_, MAKEINTRESOURCEW(IDR_MAINFRAME), IMAGE_ICON, size, size, 0));
  };
  icon_big_.Reset(icon(::GetSystemMetrics(SM_CXICON)));
  icon_small_.Reset(icon(::GetSystemMetrics(SM_CXSMICON)));
  ::SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_big_.Get()));
  ::SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_small_.Get()));
  light_brush_.Reset(::CreateSolidBrush(kStripColour));
  white_brush_.Reset(::CreateSolidBrush(RGB(255, 255, 255)));
  LinkCurrentImageToTitle();

  CreateChildren();
  if (auto* statistics = services::Find<services::IUsageStatistics>()) statistics->ReportStartup();
  ::PostMessageW(window_, WM_STARTUP_OPEN, 0, 0);
  ::DragAcceptFiles(window_, TRUE);
  quit_message_ = ::RegisterWindowMessageW(kQuitMessageName);
  if (CCommandLine::Instance()->HasSwitch(L"setting")) {
    ::PostMessageW(window_, WM_COMMAND, main_command::kSettings, 0);
  }
  SetUpTitleStrip();
  // The thick frame stays, so the window keeps its sizing behaviour.
  const LONG_PTR style = ::GetWindowLongPtrW(window_, GWL_STYLE);
  ::SetWindowLongPtrW(window_, GWL_STYLE, style & ~static_cast<LONG_PTR>(WS_CAPTION));
  ::SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
  CIPCMessageMgr::Get().Connect();
  CIPCMessageMgr::Get().AddListener(this);
  listening_ = true;
  ::SetForegroundWindow(window_);
  ::SetTimer(window_, kCompanionTimer, 1000, nullptr);
  ::SetTimer(window_, kOriginTimer, 1000, nullptr);
  auto* base = services::Find<services::IBaseServices>();
  config_.quick_index_state = base ? base->QueryQuickIndexState() : 0;
  return TRUE;
}

void CDorvaneDlg::CreateChildren() {
  constexpr DWORD kChildStyle = WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_TABSTOP;
  view_.Create(window_, ViewRect(), WndMainImageView::kChildId, kChildStyle);
  toolbar_.Create(window_, ToolbarRect(), WndMainToolbar::kChildId, kChildStyle);
  logo_.Create(window_, RECT{9, 6, 96, 24}, WndMainLogo::kChildId, kChildStyle);
  RECT menu{};
  if (HWND minimize = ::GetDlgItem(window_, IDC_BUTTON_MINIMIZE)) {
    ::GetWindowRect(minimize, &menu);
    ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&menu), 2);
    ::OffsetRect(&menu, -kButtonSize, 0);
  }
  // The logo and the menu button share the child id of the template; neither is looked up by it.
  menubar_.Create(window_, menu, WndMainMenubar::kChildId, kChildStyle);
}

void CDorvaneDlg::SetUpTitleStrip() {
  if (HWND label = ::GetDlgItem(window_, IDC_STATIC_TITLE)) {
    ::SetWindowLongPtrW(label, GWL_STYLE, ::GetWindowLongPtrW(label, GWL_STYLE) | SS_CENTERIMAGE);
    RECT rect{};
    ::GetWindowRect(label, &rect);
    ::SetWindowPos(label, nullptr, 105, 1, rect.right - rect.left, CTitleInfo::kTitleLabelHeight, SWP_NOZORDER);
    // The template's placeholder never shows: the title fills the label once a picture opens.
    ::SetWindowTextW(label, L"");
    ::ShowWindow(label, SW_SHOW);
  }
  title_font_.Reset(MakeTitleFont(FW_NORMAL));
  bold_title_font_.Reset(MakeTitleFont(FW_BOLD));
  if (HWND label = ::GetDlgItem(window_, IDC_STATIC_TITLE)) {
    ::SendMessageW(label, WM_SETFONT, reinterpret_cast<WPARAM>(title_font_.Get()), FALSE);
  }
  close_button_.SubclassDlgItem(window_, IDC_BUTTON_CLOSE);
  maximize_button_.SubclassDlgItem(window_, IDC_BUTTON_MAXIMIZE);
  minimize_button_.SubclassDlgItem(window_, IDC_BUTTON_MINIMIZE);
  close_button_.Load(IDB_PNG_CLOSE, 3, CPngButton::kModeNormalOnLeave);
  maximize_button_.Load(IDB_PNG_MAXIMIZE, 3, CPngButton::kModeNormalOnLeave);
  minimize_button_.Load(IDB_PNG_MINIMIZE, 3, CPngButton::kModeNormalOnLeave);
}

RECT CDorvaneDlg::ToolbarRect() const {
  RECT rect = ClientRect(window_);
  rect.top += kTitleStripHeight;
  if (config_.toolbar_dock != 0) {
    rect.top = rect.bottom - kToolbarHeight;
    rect.bottom -= 2;
  } else {
    rect.top += 2;
    rect.bottom = rect.top + kToolbarHeight - 2;
  }
  return rect;
}

RECT CDorvaneDlg::ViewRect() const {
  RECT rect = ClientRect(window_);
  rect.top += kTitleStripHeight;
  if (config_.toolbar_dock != 0) {
    rect.bottom -= kToolbarHeight;
  } else {
    rect.top += kToolbarHeight;
  }
  if (rect.bottom < rect.top) rect.bottom = rect.top;
  return rect;
}

void CDorvaneDlg::RecalcLayout() {
  if (HWND toolbar = toolbar_.GetSafeHwnd()) {
    const RECT rect = ToolbarRect();
    ::MoveWindow(toolbar, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
    toolbar_.RepositionPopups();
  }
  if (HWND view = view_.GetSafeHwnd()) {
    const RECT rect = ViewRect();
    ::SetWindowPos(view, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOACTIVATE | SWP_NOZORDER);
    view_.UpdateViewSize();
  }
  if (HWND menu = menubar_.GetSafeHwnd()) {
    if (HWND minimize = ::GetDlgItem(window_, IDC_BUTTON_MINIMIZE)) {
      RECT rect{};
      ::GetWindowRect(minimize, &rect);
      ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
      ::OffsetRect(&rect, -kButtonSize, 0);
      ::MoveWindow(menu, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
      menubar_.Invalidate();
    }
  }
}

void CDorvaneDlg::OnSize(UINT type, int cx, int cy) {
  if (type == SIZE_MINIMIZED) return;
  RECT window{};
  ::GetWindowRect(window_, &window);
  POINT corner{window.left, window.top};
  ::ScreenToClient(window_, &corner);
  // The region hides the sizing frame: the client area plus one pixel left and two right and below.
  region_rect_ = RECT{-corner.x - 1, -corner.y, cx - corner.x + 2, cy - corner.y + 2};
  HRGN region = ::CreateRoundRectRgn(region_rect_.left, region_rect_.top, region_rect_.right, region_rect_.bottom, 0, 0);
  // The window owns the region from here on.
  if (region && !::SetWindowRgn(window_, region, TRUE)) ::DeleteObject(region);
  const std::pair<int, int> buttons[] = {{IDC_BUTTON_CLOSE, 30}, {IDC_BUTTON_MAXIMIZE, 60}, {IDC_BUTTON_MINIMIZE, 90}};
  for (const auto& [id, offset] : buttons) {
    if (HWND button = ::GetDlgItem(window_, id)) ::MoveWindow(button, cx - offset, 1, kButtonSize, kButtonSize, TRUE);
  }
  RecalcLayout();
  ::InvalidateRect(window_, nullptr, TRUE);
}

void CDorvaneDlg::OnGetMinMaxInfo(MINMAXINFO* info) {
  if (!info) return;
  info->ptMinTrackSize = POINT{700, 500};
  RECT work{};
  if (::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0)) {
    // A maximised borderless window stops at the taskbar.
    const LONG bottom = info->ptMaxPosition.y < 0 ? work.bottom - 2 * info->ptMaxPosition.y : work.bottom;
    info->ptMaxSize.y = bottom - work.top;
  }
}

LRESULT CDorvaneDlg::OnNcHitTest(LPARAM lParam) {
  const LRESULT hit = ::DefWindowProcW(window_, WM_NCHITTEST, 0, lParam);
  if (full_screen_) return hit;
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ScreenToClient(window_, &point);
  const RECT client = ClientRect(window_);
  if (point.x >= client.left && point.x < client.right && point.y >= client.top && point.y < 30) return HTCAPTION;
  return hit;
}

void CDorvaneDlg::OnPaint() {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(window_, &paint);
  if (!dc) return;
  const RECT client = ClientRect(window_);
  ::FillRect(dc, &client, light_brush_.Get());
  base::RegionHandle frame(::CreateRoundRectRgn(client.left - 1, client.top, client.right + 2, client.bottom + 2, 0, 0));
  base::BrushHandle line(::CreateSolidBrush(kFrameColour));
  if (frame && line) ::FrameRgn(dc, frame.Get(), line.Get(), 1, 1);
  ::EndPaint(window_, &paint);
}

HBRUSH CDorvaneDlg::OnCtlColorStatic(HDC dc, HWND control) {
  const int id = ::GetDlgCtrlID(control);
  if (id == IDC_STATIC_TITLE) {
    ::SetTextColor(dc, kTitleTextColour);
    ::SetBkMode(dc, TRANSPARENT);
    const bool empty = CTitleInfo::Get().FileName().empty();
    ::SelectObject(dc, empty ? bold_title_font_.Get() : title_font_.Get());
    return light_brush_.Get();
  }
  if (id == IDC_STATIC_LOGO) return light_brush_.Get();
  ::SetTextColor(dc, RGB(0, 0, 0));
  ::SetBkColor(dc, RGB(255, 255, 255));
  return white_brush_.Get();
}

void CDorvaneDlg::OnTitleWidth(int width, int height) {
  logo_.SetLogoMode(CCurrentImage::Get().Path().empty());
  RECT logo{};
  if (logo_.GetSafeHwnd()) ::GetClientRect(logo_.GetSafeHwnd(), &logo);
  if (HWND label = ::GetDlgItem(window_, IDC_STATIC_TITLE)) {
    ::SetWindowPos(label, nullptr, logo.right + 20, 1, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

void CDorvaneDlg::OnTimer(UINT_PTR id) {
  switch (id) {
    case kForcedExitTimer:
      // The shutdown hangs: end anyway, the settings were saved when the window went.
      ::ExitProcess(0);
    case kCompanionTimer:
      ::KillTimer(window_, id);
      if (companion_starter_) companion_starter_();
      break;
    case kOriginTimer: {
      ::KillTimer(window_, id);
      // Reported once per start, also without the switch ("unknown").
      std::wstring origin;
      CCommandLine::Instance()->GetSwitchValue(L"from", origin);
      if (auto* statistics = services::Find<services::IUsageStatistics>()) statistics->ReportOrigin(origin);
      break;
    }
    default:
      break;
  }
}

void CDorvaneDlg::OnDestroy() {
  config_.last_position = config_.MakeWindowPlacement(window_);
  config_.Save();
  if (listening_) {
    CIPCMessageMgr::Get().RemoveListener(this);
    CIPCMessageMgr::Get().Close();
    listening_ = false;
  }
  view_.Destroy();
}
