#include "popup_dialog/adjust/effect_window.h"

#include <algorithm>

#include "appconfig/language.h"
#include "popup_dialog/small/dialog_text.h"

namespace {

constexpr wchar_t kSection[] = L"DLG_EFFECT";

struct Preset {
  const wchar_t* control;
  UINT_PTR tag;
  const wchar_t* caption;
  const wchar_t* tooltip;
};
constexpr Preset kPresets[] = {
    {L"brighter", 1, L"2", L"5"},
    {L"colorful", 2, L"3", L"6"},
    {L"hd", 3, L"4", L"7"},
};

}  // namespace

POINT CEffectWnd::PlaceFor(const RECT& button, SIZE window, const RECT& workArea, bool below) {
  LONG y = button.top - kAboveButton;
  if (below || y < workArea.top) {
    // As far below the button as it would have been above it.
    y = button.bottom + std::max<LONG>(0, kAboveButton - window.cy);
  }
  LONG x = button.left - kLeftOfButton;
  x = std::max(workArea.left, std::min(x, workArea.right - window.cx));
  y = std::max(workArea.top, std::min(y, workArea.bottom - window.cy));
  return POINT{x, y};
}

void CEffectWnd::ShowAt(const RECT& buttonScreenRect) {
  if (GetHWND()) return;
  const HWND root = owner_ ? ::GetAncestor(owner_, GA_ROOT) : nullptr;
  // Made hidden, placed, then shown with the focus: losing the focus is how it is dropped.
  if (!Create(root, WS_POPUP | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU, WS_EX_TOOLWINDOW, 0, 0)) {
    return;
  }
  HWND window = GetHWND();
  RECT self{};
  ::GetWindowRect(window, &self);
  const SIZE size{self.right - self.left, self.bottom - self.top};
  MONITORINFO monitor{sizeof(monitor)};
  RECT work{LONG_MIN / 2, LONG_MIN / 2, LONG_MAX / 2, LONG_MAX / 2};
  if (::GetMonitorInfoW(::MonitorFromRect(&buttonScreenRect, MONITOR_DEFAULTTONEAREST), &monitor)) {
    work = monitor.rcWork;
  }
  // A toolbar in the upper half of its window has the picture below it: the pop-up goes there.
  bool below = false;
  if (owner_ && root && owner_ != root) {
    RECT bar{};
    RECT parent{};
    ::GetWindowRect(owner_, &bar);
    ::GetWindowRect(root, &parent);
    below = (bar.top + bar.bottom) / 2 < (parent.top + parent.bottom) / 2;
  }
  const POINT at = PlaceFor(buttonScreenRect, size, work, below);
  ::SetWindowPos(window, HWND_TOP, at.x, at.y, 0, 0, SWP_NOSIZE);
  ::ShowWindow(window, SW_SHOW);
  ::SetForegroundWindow(window);
  ::SetFocus(window);
}

void CEffectWnd::OnWindowInit() {
  popup_dialog::SetLanguageText(*this, L"title", kSection, L"1");
  for (const Preset& preset : kPresets) {
    if (skin::Control* button = FindControl(preset.control)) {
      button->SetTag(preset.tag);
      button->SetText(GetLanguageString(kSection, preset.caption));
      button->SetTooltip(GetLanguageString(kSection, preset.tooltip));
    }
  }
}

void CEffectWnd::Report(UINT_PTR preset) {
  HWND window = GetHWND();
  if (reported_ || !window) return;
  reported_ = true;
  if (owner_) ::PostMessageW(owner_, services::WM_ADJUST_WINDOW_CLOSED, preset, reinterpret_cast<LPARAM>(window));
  // Gone from the screen at once; the owner deletes the object when the message arrives.
  ::ShowWindow(window, SW_HIDE);
}

void CEffectWnd::OnNotify(skin::Notification& notification) {
  if (notification.Is(L"click") && notification.sender) {
    const UINT_PTR tag = notification.sender->Tag();
    if (tag >= 1 && tag <= 3) {
      Report(tag);
      return;
    }
  }
  CUseZipResourceDuiWnd::OnNotify(notification);
}

LRESULT CEffectWnd::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
  switch (message) {
    case WM_KILLFOCUS:
      Report(0);
      break;
    case WM_ACTIVATE:
      if (LOWORD(wParam) == WA_INACTIVE) Report(0);
      break;
    case WM_KEYDOWN:
      // Escape drops the pop-up, and so does Ctrl+E, the key that opened it.
      if (wParam == VK_ESCAPE || (wParam == 'E' && ::GetKeyState(VK_CONTROL) < 0)) {
        Report(0);
        handled = true;
        return 0;
      }
      break;
    case WM_CLOSE:
      // Closed from outside (Alt+F4 among others): dropped, and deleted by the owner.
      Report(0);
      handled = true;
      return 0;
    default:
      break;
  }
  return CUseZipResourceDuiWnd::OnMessage(message, wParam, lParam, handled);
}
