#include "skin/window/skin_window.h"

#include <windowsx.h>
#include <commctrl.h>

#include <algorithm>

#include "base/handles.h"
#include "skin/archive/resource_archive.h"
#include "skin/controls/edit.h"
#include "skin/render/resources.h"
#include "skin/window/shadow_window.h"
#include "skin/window/skin_failure.h"

namespace {

// The caption bits the skin draws itself, and the clipping every skinned window wants.
constexpr LONG_PTR kCaptionBits = WS_CAPTION;  // 0x00C00000
constexpr LONG_PTR kClipBits = WS_CLIPCHILDREN | WS_CLIPSIBLINGS;  // 0x06000000
// The shadow of a skin that asks for one and names no picture of its own.
constexpr wchar_t kDefaultShadow[] = L"file='share/shadow.png' corner='4,2,4,6' hole='true'";

}  // namespace

CUseZipResourceDuiWnd::CUseZipResourceDuiWnd() : alive_(std::make_shared<bool>(true)) {}

CUseZipResourceDuiWnd::~CUseZipResourceDuiWnd() {
  *alive_ = false;
  if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
}

std::wstring CUseZipResourceDuiWnd::ArchiveName() const { return skin::RegisteredArchiveName(); }

LRESULT CUseZipResourceDuiWnd::OnMessage(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

LRESULT CUseZipResourceDuiWnd::OnCustomMessage(UINT, WPARAM, LPARAM, bool& handled) {
  handled = false;
  return 0;
}

void CUseZipResourceDuiWnd::OnNotify(skin::Notification& notification) {
  if (!notification.Is(L"click") || !notification.sender || !window_) return;
  const std::wstring& name = notification.sender->Name();
  if (name == L"closebtn") {
    Close(1);
  } else if (name == L"minbtn") {
    ::SendMessageW(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  } else if (name == L"maxbtn") {
    ::SendMessageW(window_, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
  } else if (name == L"restorebtn") {
    ::SendMessageW(window_, WM_SYSCOMMAND, SC_RESTORE, 0);
  }
}

void CUseZipResourceDuiWnd::Close(UINT_PTR code) const {
  if (window_ && ::IsWindow(window_)) ::PostMessageW(window_, WM_CLOSE, code, 0);
}

skin::Control* CUseZipResourceDuiWnd::FindControl(std::wstring_view name) const {
  return root_ && !name.empty() ? root_->FindControl(name) : nullptr;
}

CUseZipResourceDuiWnd* CUseZipResourceDuiWnd::FromHandle(HWND window) {
  if (!window) return nullptr;
  // The class's procedure: the tooltip subclasses the window itself.
  WNDPROC procedure = reinterpret_cast<WNDPROC>(::GetClassLongPtrW(window, GCLP_WNDPROC));
  if (procedure != &CUseZipResourceDuiWnd::WindowProcedure) return nullptr;
  return reinterpret_cast<CUseZipResourceDuiWnd*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

bool CUseZipResourceDuiWnd::RegisterWindowClass() const {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{sizeof(existing)};
  if (::GetClassInfoExW(instance, WindowClassName(), &existing)) return true;
  WNDCLASSEXW windowClass{sizeof(windowClass)};
  windowClass.style = CS_DBLCLKS;
  windowClass.lpfnWndProc = &CUseZipResourceDuiWnd::WindowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  windowClass.lpszClassName = WindowClassName();
  return ::RegisterClassExW(&windowClass) != 0;
}

HWND CUseZipResourceDuiWnd::Create(HWND parent, DWORD style, DWORD exStyle, int x, int y) {
  if (window_) return window_;
  if (!RegisterWindowClass()) return nullptr;
  // The skin gives the final size; the window starts small and takes it once the skin is built.
  ::CreateWindowExW(exStyle, WindowClassName(), L"", style, x, y, 100, 100, parent, nullptr,
                    ::GetModuleHandleW(nullptr), this);
  return window_;
}

LRESULT CALLBACK CUseZipResourceDuiWnd::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                        LPARAM lParam) noexcept {
  CUseZipResourceDuiWnd* self = nullptr;
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
    self = static_cast<CUseZipResourceDuiWnd*>(create->lpCreateParams);
    self->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  } else {
    self = reinterpret_cast<CUseZipResourceDuiWnd*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  }
  if (!self) return ::DefWindowProcW(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    const LRESULT result = ::DefWindowProcW(window, message, wParam, lParam);
    self->window_ = nullptr;
    self->tooltip_ = nullptr;
    self->OnFinalMessage();
    return result;
  }
  return self->HandleMessage(message, wParam, lParam);
}

LRESULT CUseZipResourceDuiWnd::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  bool handled = false;
  const LRESULT early = OnMessage(message, wParam, lParam, handled);
  if (handled) return early;

  switch (message) {
    case WM_CREATE:
      return OnCreate(*reinterpret_cast<const CREATESTRUCTW*>(lParam));
    case WM_SIZE:
      layout_needed_ = true;
      LayoutNow();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_NCHITTEST:
      return OnHitTest(lParam);
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && OnSetCursor()) return TRUE;
      break;
    case WM_MOUSEMOVE:
      OnMouseMove(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_MOUSELEAVE:
      tracking_leave_ = false;
      OnMouseLeave();
      return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
      OnButtonDown(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_LBUTTONUP:
      OnButtonUp(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_CAPTURECHANGED:
      OnCaptureLost();
      return 0;
    case WM_COMMAND:
      if (skin::Edit* edit = skin::Edit::FromNative(reinterpret_cast<HWND>(lParam))) {
        edit->OnNativeCommand(HIWORD(wParam));
        return 0;
      }
      break;
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
      if (skin::Edit* edit = skin::Edit::FromNative(reinterpret_cast<HWND>(lParam))) {
        return reinterpret_cast<LRESULT>(edit->OnNativeColour(reinterpret_cast<HDC>(wParam)));
      }
      break;
    case WM_CLOSE:
      OnClose(wParam);
      return 0;
    case WM_WINDOWPOSCHANGED:
      if (shadow_) shadow_->Follow();
      break;
    case WM_DESTROY:
      shadow_.reset();
      // The native edits go with the window; the controls keep their texts.
      hot_ = pressed_ = nullptr;
      if (root_) root_->Attach(nullptr, resources_.get());
      break;
    default: {
      const LRESULT custom = OnCustomMessage(message, wParam, lParam, handled);
      if (handled) return custom;
      break;
    }
  }
  return DefaultProcedure(message, wParam, lParam);
}

LRESULT CUseZipResourceDuiWnd::DefaultProcedure(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

void CUseZipResourceDuiWnd::OnClose(WPARAM) { ::DestroyWindow(window_); }

LRESULT CUseZipResourceDuiWnd::OnCreate(const CREATESTRUCTW& create) {
  // The skin draws its own caption: the platform's goes, at the same client rectangle.
  RECT client{};
  ::GetClientRect(window_, &client);
  ::MapWindowPoints(window_, nullptr, reinterpret_cast<POINT*>(&client), 2);
  const LONG_PTR style = (::GetWindowLongPtrW(window_, GWL_STYLE) & ~kCaptionBits) | kClipBits;
  ::SetWindowLongPtrW(window_, GWL_STYLE, style);
  RECT frame = client;
  ::AdjustWindowRectEx(&frame, static_cast<DWORD>(style), FALSE, create.dwExStyle);
  ::SetWindowPos(window_, nullptr, frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_FRAMECHANGED | SWP_NOZORDER | SWP_NOACTIVATE);

  std::wstring error;
  if (!BuildControls(&error)) {
    skin::ReportSkinFailure(error);
    return -1;
  }
  if (look_.size.cx > 0 && look_.size.cy > 0) {
    RECT sized{0, 0, look_.size.cx, look_.size.cy};
    ::AdjustWindowRectEx(&sized, static_cast<DWORD>(style), FALSE, create.dwExStyle);
    ::SetWindowPos(window_, nullptr, 0, 0, sized.right - sized.left, sized.bottom - sized.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (look_.shadow) CreateShadow();
  tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  if (tooltip_) {
    TOOLINFOW tool{sizeof(tool)};
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = window_;
    tool.uId = reinterpret_cast<UINT_PTR>(window_);
    tool.lpszText = const_cast<wchar_t*>(L"");
    ::SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(tooltip_, TTM_ACTIVATE, FALSE, 0);
  }
  layout_needed_ = true;
  LayoutNow();

  const std::weak_ptr<bool> alive = alive_;
  OnWindowInit();
  if (alive.expired() || !window_) return 0;
  Notify(root_.get(), L"windowinit", 0, 0);
  return 0;
}

void CUseZipResourceDuiWnd::CreateShadow() {
  // A shadow that cannot be drawn is left out: the window works without it.
  skin::ImageDescription description;
  const std::wstring& text = look_.shadow_image.empty() ? std::wstring(kDefaultShadow) : look_.shadow_image;
  if (!skin::ParseImageDescription(text, description) || description.Empty()) return;
  const FCObjImage* picture = resources_->Picture(description.file);
  if (!picture) return;
  auto shadow = std::make_unique<skin::ShadowWindow>(*picture, description);
  if (shadow->Create(window_)) shadow_ = std::move(shadow);
}

HWND CUseZipResourceDuiWnd::ShadowHandle() const { return shadow_ ? shadow_->Handle() : nullptr; }

bool CUseZipResourceDuiWnd::BuildControls(std::wstring* error) {
  if (ResourceKind() != skin::ResourceKind::kZipFile) {
    *error = L"skinned windows read their skins from an archive";
    return false;
  }
  std::shared_ptr<const skin::ZipArchive> archive = skin::OpenResourceArchive(ArchiveName(), error);
  if (!archive) return false;
  skin::BuiltSkin built;
  if (!skin::BuildSkin(archive, SkinFileName(), built, error)) return false;
  resources_ = std::move(built.resources);
  root_ = std::move(built.root);
  look_ = built.window;
  root_->Attach(this, resources_.get());
  return true;
}

void CUseZipResourceDuiWnd::LayoutNow() {
  if (!layout_needed_ || !root_ || !window_) return;
  layout_needed_ = false;
  RECT client{};
  ::GetClientRect(window_, &client);
  root_->SetPos(client);
  // A relayout asked for while placing (a control changing its own size) waits for the next round.
  layout_needed_ = false;
  ::InvalidateRect(window_, nullptr, FALSE);
}

void CUseZipResourceDuiWnd::InvalidateArea(const RECT& area) {
  if (window_) ::InvalidateRect(window_, &area, FALSE);
}

void CUseZipResourceDuiWnd::RequestLayout() {
  layout_needed_ = true;
  if (window_) ::InvalidateRect(window_, nullptr, FALSE);
}

void CUseZipResourceDuiWnd::Notify(skin::Control* sender, const wchar_t* type, WPARAM wParam, LPARAM lParam) {
  if (!window_) return;
  skin::Notification notification{type, sender, wParam, lParam};
  OnNotify(notification);
}

void CUseZipResourceDuiWnd::OnPaint() {
  LayoutNow();
  PAINTSTRUCT paint{};
  HDC screen = ::BeginPaint(window_, &paint);
  RECT client{};
  ::GetClientRect(window_, &client);
  const int width = std::max<LONG>(1, client.right);
  const int height = std::max<LONG>(1, client.bottom);
  // One off-screen bitmap per paint: the windows are small, and nothing flickers.
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  base::BitmapHandle bitmap(::CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  base::MemoryDc memory(::CreateCompatibleDC(screen));
  if (bitmap && memory) {
    base::SelectGuard select(memory.Get(), bitmap.Get());
    const RECT& area = paint.rcPaint;
    ::FillRect(memory.Get(), &area, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::IntersectClipRect(memory.Get(), area.left, area.top, area.right, area.bottom);
    if (root_) root_->Paint(memory.Get(), area);
    ::BitBlt(screen, area.left, area.top, area.right - area.left, area.bottom - area.top, memory.Get(), area.left,
             area.top, SRCCOPY);
  }
  ::EndPaint(window_, &paint);
}

void CUseZipResourceDuiWnd::SetHot(skin::Control* control) {
  if (control == hot_) return;
  const std::weak_ptr<bool> alive = alive_;
  skin::Control* previous = hot_;
  hot_ = control;
  if (previous) previous->OnMouseLeave();
  if (alive.expired() || !window_) return;
  if (hot_ && hot_->IsEnabled()) hot_->OnMouseEnter();
  if (alive.expired() || !window_) return;
  UpdateTooltip();
}

void CUseZipResourceDuiWnd::UpdateTooltip() {
  if (!tooltip_) return;
  TOOLINFOW tool{sizeof(tool)};
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(window_);
  std::wstring text = hot_ ? hot_->Tooltip() : std::wstring();
  tool.lpszText = text.data();
  ::SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageW(tooltip_, TTM_ACTIVATE, text.empty() ? FALSE : TRUE, 0);
}

void CUseZipResourceDuiWnd::OnMouseMove(POINT point) {
  if (!tracking_leave_) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window_, 0};
    tracking_leave_ = ::TrackMouseEvent(&track) != FALSE;
  }
  LayoutNow();
  skin::Control* under = root_ ? root_->ControlAt(point) : nullptr;
  // While a control is pressed only it is hot, and only while the pointer is over it.
  if (pressed_) under = under == pressed_ ? pressed_ : nullptr;
  const std::weak_ptr<bool> alive = alive_;
  SetHot(under);
  if (alive.expired() || !window_) return;
  if (pressed_) {
    pressed_->OnMouseMove(point);
  } else if (hot_) {
    hot_->OnMouseMove(point);
  }
}

void CUseZipResourceDuiWnd::OnMouseLeave() {
  if (!pressed_) SetHot(nullptr);
}

void CUseZipResourceDuiWnd::OnButtonDown(POINT point) {
  LayoutNow();
  skin::Control* under = root_ ? root_->ControlAt(point) : nullptr;
  // A click anywhere but in a field takes the keyboard focus back from the fields. Only from the
  // fields: a window that declines the activation (the information panel) is not made active.
  const HWND focus = ::GetFocus();
  if (!dynamic_cast<skin::Edit*>(under) && focus && ::IsChild(window_, focus)) ::SetFocus(window_);
  if (!under || !under->IsEnabled()) return;
  pressed_ = under;
  SetHot(under);
  ::SetCapture(window_);
  under->OnMouseDown(point);
}

void CUseZipResourceDuiWnd::OnButtonUp(POINT point) {
  skin::Control* pressed = pressed_;
  if (!pressed) return;
  pressed_ = nullptr;
  if (::GetCapture() == window_) ::ReleaseCapture();
  const skin::Control* under = root_ ? root_->ControlAt(point) : nullptr;
  const std::weak_ptr<bool> alive = alive_;
  pressed->OnMouseUp(point, under == pressed);
  if (alive.expired() || !window_) return;
  OnMouseMove(point);
}

void CUseZipResourceDuiWnd::OnCaptureLost() {
  // Another window took the mouse in the middle of a press: the press ends without a click.
  if (!pressed_) return;
  skin::Control* pressed = pressed_;
  pressed_ = nullptr;
  pressed->OnMouseUp(POINT{-1, -1}, false);
}

bool CUseZipResourceDuiWnd::OnSetCursor() {
  POINT point{};
  ::GetCursorPos(&point);
  ::ScreenToClient(window_, &point);
  const skin::Control* under = root_ ? root_->ControlAt(point) : nullptr;
  if (!under) return false;
  ::SetCursor(under->Cursor(point));
  return true;
}

LRESULT CUseZipResourceDuiWnd::OnHitTest(LPARAM lParam) {
  const LRESULT hit = DefaultProcedure(WM_NCHITTEST, 0, lParam);
  if (hit != HTCLIENT) return hit;
  POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
  ::ScreenToClient(window_, &point);
  const RECT& caption = look_.caption;
  RECT client{};
  ::GetClientRect(window_, &client);
  // The caption band: "l,t,r,b" insets from the left, top and right, and b its height.
  const RECT band{client.left + caption.left, client.top + caption.top, client.right - caption.right,
                  client.top + caption.bottom};
  if (caption.bottom > 0 && ::PtInRect(&band, point)) {
    LayoutNow();
    if (!root_ || !root_->ControlAt(point)) return HTCAPTION;
  }
  return HTCLIENT;
}

void CUseZipResourceDuiWnd::CenterWindow(HWND over) const {
  if (!window_) return;
  RECT self{};
  ::GetWindowRect(window_, &self);
  const HMONITOR monitor = ::MonitorFromWindow(over ? over : window_, MONITOR_DEFAULTTONEAREST);
  MONITORINFO info{sizeof(info)};
  if (!::GetMonitorInfoW(monitor, &info)) return;
  const RECT work = info.rcWork;
  RECT target = work;
  if (over && ::IsWindowVisible(over) && !::IsIconic(over)) ::GetWindowRect(over, &target);
  const LONG width = self.right - self.left;
  const LONG height = self.bottom - self.top;
  LONG x = target.left + (target.right - target.left - width) / 2;
  LONG y = target.top + (target.bottom - target.top - height) / 2;
  // Kept on the work area; a window larger than it keeps its top-left corner there.
  x = std::max(work.left, std::min(x, work.right - width));
  y = std::max(work.top, std::min(y, work.bottom - height));
  ::SetWindowPos(window_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
