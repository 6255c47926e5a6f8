#include "widget/widget_window.h"

#include <commctrl.h>
#include <windowsx.h>

#include "base/handles.h"

namespace {

constexpr wchar_t kWidgetClass[] = L"QuellinWidgetWindow";

}  // namespace

ATOM CWidgetWindow::RegisterWidgetClass() {
  static const ATOM atom = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    // Double clicks are part of the view's vocabulary (toggle zoom).
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &CWidgetWindow::StaticProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWidgetClass;
    return ::RegisterClassExW(&wc);
  }();
  return atom;
}

void FCTrackMouseHover::TrackHoverMessage(HWND window, UINT message) {
  if (message == WM_MOUSEMOVE && !tracking_) {
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, window, 0};
    tracking_ = ::TrackMouseEvent(&track);
    OnMouseEnter();
    ::InvalidateRect(window, nullptr, FALSE);
  } else if (message == WM_MOUSELEAVE && tracking_) {
    tracking_ = FALSE;
    OnMouseLeave();
    ::InvalidateRect(window, nullptr, FALSE);
  }
}

void CWidgetItem::AddTool(HWND tooltip, HWND owner, UINT toolId) {
  if (tooltip_.empty() || !tooltip) return;
  TTTOOLINFOW info{};
  info.cbSize = sizeof(info);
  info.hwnd = owner;
  info.uId = toolId;
  info.rect = rect_;
  info.lpszText = const_cast<wchar_t*>(tooltip_.c_str());
  ::SendMessageW(tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
}

CWidgetWindow::~CWidgetWindow() {
  Destroy();
  while (!items_.empty()) items_.pop_back();
  layout_.reset();
  DestroyTooltip();
}

bool CWidgetWindow::Create(HWND parent, const RECT& rect, int childId, DWORD style) {
  Destroy();
  if (!RegisterWidgetClass()) return false;
  HWND window = ::CreateWindowExW(0, kWidgetClass, L"", style, rect.left, rect.top, rect.right - rect.left,
                                  rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(childId)),
                                  ::GetModuleHandleW(nullptr), this);
  if (!window) return false;
  OnCreated();
  OnSizeLayout();
  return true;
}

void CWidgetWindow::Destroy() {
  if (!window_) return;
  OnDestroying();
  HWND window = window_;
  window_ = nullptr;
  // Unbound first: nothing sent during the destruction reaches a half-destroyed object.
  ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  ::DestroyWindow(window);
  DestroyTooltip();
}

CWidgetWindow* CWidgetWindow::FromHandle(HWND window) noexcept {
  if (!window || ::GetClassLongPtrW(window, GCW_ATOM) != RegisterWidgetClass()) return nullptr;
  DWORD process = 0;
  ::GetWindowThreadProcessId(window, &process);
  if (process != ::GetCurrentProcessId()) return nullptr;
  return reinterpret_cast<CWidgetWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

void CWidgetWindow::RelayToTooltip(const MSG& message) noexcept {
  CWidgetWindow* widget = FromHandle(message.hwnd);
  if (!widget || !widget->tooltip_) return;
  MSG copy = message;
  ::SendMessageW(widget->tooltip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&copy));
}

LRESULT CALLBACK CWidgetWindow::StaticProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    auto* creating = static_cast<CWidgetWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creating));
    creating->window_ = window;
  }
  if (message == WM_NCDESTROY) {
    // Destroyed from outside (with its parent): forget the handle; the object lives on.
    auto* self = reinterpret_cast<CWidgetWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    if (self && self->window_ == window) self->window_ = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  auto* self = reinterpret_cast<CWidgetWindow*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || self->window_ != window) return ::DefWindowProcW(window, message, wParam, lParam);
  return self->WindowProc(message, wParam, lParam);
}

LRESULT CWidgetWindow::DefaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return ::DefWindowProcW(window_, message, wParam, lParam);
}

LRESULT CWidgetWindow::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  TrackHoverMessage(window_, message);
  switch (message) {
    case WM_SIZE:
      OnSizeLayout();
      return DefaultProc(message, wParam, lParam);
    case WM_PAINT:
      Paint();
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_MOUSEMOVE:
      UpdateHover(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return DefaultProc(message, wParam, lParam);
    case WM_LBUTTONDOWN:
      OnLButtonDown(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONDBLCLK:
      OnLButtonDblClk(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
      return 0;
    default:
      return DefaultProc(message, wParam, lParam);
  }
}

void CWidgetWindow::AddItem(std::unique_ptr<CWidgetItem> item) {
  if (item) items_.push_back(std::move(item));
}

void CWidgetWindow::RemoveItem(int id) {
  for (auto it = items_.begin(); it != items_.end(); ++it) {
    if ((*it)->GetID() == id) {
      if (window_) ::InvalidateRect(window_, &(*it)->Rect(), FALSE);
      items_.erase(it);
      return;
    }
  }
}

CWidgetItem* CWidgetWindow::ItemAt(int x, int y) const noexcept {
  for (const auto& item : items_) {
    if (item->IsActive() && item->Contains(x, y)) return item.get();
  }
  return nullptr;
}

CWidgetItem* CWidgetWindow::ItemById(int id) const noexcept {
  for (const auto& item : items_) {
    if (item->GetID() == id) return item.get();
  }
  return nullptr;
}

void CWidgetWindow::UpdateHover(int x, int y) {
  CWidgetItem* now = nullptr;
  CWidgetItem* before = nullptr;
  for (const auto& item : items_) {
    if (!now && item->IsActive() && item->Contains(x, y)) now = item.get();
    if (item->Has(CWidgetItem::kHover)) before = item.get();
  }
  if (now == before) return;
  if (before) {
    before->Set(CWidgetItem::kHover, false);
    before->OnMouseLeave();
    InvalidateItem(*before);
  }
  if (now) {
    now->Set(CWidgetItem::kHover, true);
    now->OnMouseEnter();
    InvalidateItem(*now);
  }
}

void CWidgetWindow::InvalidateItem(const CWidgetItem& item) const {
  if (window_) ::InvalidateRect(window_, &item.Rect(), FALSE);
}

void CWidgetWindow::Invalidate() const {
  if (window_) ::InvalidateRect(window_, nullptr, FALSE);
}

HFONT CWidgetWindow::DefaultFont() {
  static const HFONT font = [] {
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    LOGFONTW face{};
    if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) face = metrics.lfMenuFont;
    base::WindowDc screen(nullptr);
    const int dpi = screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
    face.lfHeight = -::MulDiv(9, dpi, 72);
    face.lfWidth = 0;
    return ::CreateFontIndirectW(&face);
  }();
  return font;
}

void CWidgetWindow::OnSizeLayout() {
  if (!layout_ || !window_) return;
  layout_->Layout(window_, items_);
  // Tools are numbered from 100 over the visible items; only items with a text get one.
  std::vector<ToolRecord> tools;
  UINT toolId = 100;
  for (const auto& item : items_) {
    if (!item->Has(CWidgetItem::kVisible)) continue;
    if (!item->Tooltip().empty()) tools.push_back(ToolRecord{static_cast<int>(toolId), item->Rect(), item->Tooltip()});
    ++toolId;
  }
  // Remaking the tooltip control costs a window; a layout that changes no tool keeps it.
  if (!(tooltip_ && tools == tools_)) {
    DestroyTooltip();
    tools_ = tools;
    toolId = 100;
    for (const auto& item : items_) {
      if (!item->Has(CWidgetItem::kVisible)) continue;
      if (!item->Tooltip().empty()) {
        if (!tooltip_) CreateToolTip();
        item->AddTool(tooltip_, window_, toolId);
      }
      ++toolId;
    }
  }
  Invalidate();
}

void CWidgetWindow::CreateToolTip() {
  if (tooltip_ || !window_) return;
  tooltip_ = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  if (tooltip_) ::SendMessageW(tooltip_, TTM_ACTIVATE, TRUE, 0);
}

void CWidgetWindow::DestroyTooltip() {
  if (tooltip_) ::DestroyWindow(tooltip_);
  tooltip_ = nullptr;
  tools_.clear();
}

void CWidgetWindow::DrawBackground(HDC, int, int, int, int) {}

int CWidgetWindow::OnItemPress(CWidgetItem*) { return 0; }

void CWidgetWindow::OnItemRelease(CWidgetItem* item, int x, int y, bool released) {
  if (released && item && ItemAt(x, y) == item) OnItemClick(item);
}

void CWidgetWindow::OnItemClick(CWidgetItem*) {}

void CWidgetWindow::OnLButtonDblClk(int x, int y) { OnLButtonDown(x, y); }

void CWidgetWindow::OnMouseLeave() { UpdateHover(kNoPoint, kNoPoint); }

bool CWidgetWindow::TrackCapture(const std::function<void(int x, int y, bool released)>& track) {
  HWND self = window_;
  ::SetCapture(self);
  MSG msg{};
  while (::GetCapture() == self) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      // The program is ending: leave the quit for the main loop.
      if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    if (msg.hwnd == self && (msg.message == WM_MOUSEMOVE || msg.message == WM_LBUTTONUP)) {
      const bool released = msg.message == WM_LBUTTONUP;
      if (released) ::ReleaseCapture();
      track(GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam), released);
      if (released) return true;
      continue;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  if (::GetCapture() == self) ::ReleaseCapture();
  return false;
}

void CWidgetWindow::OnLButtonDown(int x, int y) {
  Invalidate();
  UpdateHover(x, y);
  CWidgetItem* pressed = ItemAt(x, y);
  if (OnItemPress(pressed) != 0) return;
  HWND self = window_;
  if (pressed) pressed->Set(CWidgetItem::kPressed, true);
  int lastX = x;
  int lastY = y;
  const bool released = TrackCapture([&](int px, int py, bool) {
    lastX = px;
    lastY = py;
    if (!pressed) return;
    const bool over = ItemAt(px, py) == pressed;
    if (over != pressed->Has(CWidgetItem::kHover)) {
      pressed->Set(CWidgetItem::kHover, over);
      InvalidateItem(*pressed);
    }
  });
  // The window may have gone while the loop dispatched (the program closing).
  if (window_ != self) return;
  OnItemRelease(pressed, lastX, lastY, released);
  if (pressed && ItemById(pressed->GetID()) == pressed) pressed->Set(CWidgetItem::kPressed, false);
  Invalidate();
}

void CWidgetWindow::Paint() {
  PAINTSTRUCT paint{};
  HDC dc = ::BeginPaint(window_, &paint);
  if (!dc) return;
  const RECT area = paint.rcPaint;
  const int width = area.right - area.left;
  const int height = area.bottom - area.top;
  if (width > 0 && height > 0) {
    base::BitmapHandle bitmap(::CreateCompatibleBitmap(dc, width, height));
    base::MemoryDc memory(::CreateCompatibleDC(dc));
    if (bitmap && memory) {
      HDC mem = memory.Get();
      base::SelectGuard selectBitmap(mem, bitmap.Get());
      base::SelectGuard selectFont(mem, font_ ? font_ : DefaultFont());
      ::SetBkMode(mem, TRANSPARENT);
      ::SetViewportOrgEx(mem, -area.left, -area.top, nullptr);
      DrawBackground(mem, area.left, area.top, area.right, area.bottom);
      for (const auto& item : items_) {
        if (!item->Has(CWidgetItem::kVisible)) continue;
        RECT overlap{};
        if (!::IntersectRect(&overlap, &item->Rect(), &area)) continue;
        ::SetViewportOrgEx(mem, item->Rect().left - area.left, item->Rect().top - area.top, nullptr);
        item->Draw(mem);
        ::SetViewportOrgEx(mem, -area.left, -area.top, nullptr);
      }
      ::BitBlt(dc, area.left, area.top, width, height, mem, area.left, area.top, SRCCOPY);
    }
  }
  ::EndPaint(window_, &paint);
}

namespace widget_window {

void CWidgetItemImage::Draw(HDC dc) {
  if (image_ && image_->IsValid()) image_->Draw(dc, 0, 0, Width(), Height());
}

SIZE CWidgetItemImage::PictureSize() const noexcept {
  if (!image_ || !image_->IsValid()) return SIZE{0, 0};
  return SIZE{image_->Width(), image_->Height()};
}

}  // namespace widget_window
