#include "popup_dialog/settings/hotkey_control.h"

#include <imm.h>

#include <vector>

namespace hotkey {

namespace {

// Key names longer than this are cut: no layout names a key with more, and a name that keeps
// growing must not make the buffer grow without end.
constexpr int kLongestKeyName = 4096;

bool IsNavigationKey(UINT key) {
  return (key >= VK_PRIOR && key <= VK_DOWN) || key == VK_INSERT || key == VK_DELETE || key == VK_NUMLOCK;
}

}  // namespace

std::wstring KeyName(UINT key, bool extended) {
  LONG lParam = static_cast<LONG>(::MapVirtualKeyW(key, MAPVK_VK_TO_VSC) << 16);
  if (extended || IsNavigationKey(key)) lParam |= 1 << 24;
  for (int size = 128;; size *= 2) {
    std::vector<wchar_t> name(static_cast<size_t>(size), L'\0');
    const int length = ::GetKeyNameTextW(lParam, name.data(), size);
    if (length <= 0) return {};
    if (length < size - 1 || size >= kLongestKeyName) return std::wstring(name.data(), static_cast<size_t>(length));
  }
}

std::wstring HotkeyText(BYTE key, BYTE modifiers) {
  if (key == 0 && modifiers == 0) return {};
  std::wstring text;
  if (modifiers & HOTKEYF_CONTROL) text += KeyName(VK_CONTROL, false) + L" + ";
  if (modifiers & HOTKEYF_SHIFT) text += KeyName(VK_SHIFT, false) + L" + ";
  if (modifiers & HOTKEYF_ALT) text += KeyName(VK_MENU, false) + L" + ";
  return text + KeyName(key, (modifiers & HOTKEYF_EXT) != 0);
}

std::wstring HotkeyText(int value) { return HotkeyText(KeyOf(value), ModifiersOf(value)); }

WORD WithDefaultModifiers(WORD value) {
  const BYTE key = LOBYTE(value);
  const BYTE modifiers = HIBYTE(value);
  if (key == 0 || (modifiers & ~HOTKEYF_EXT) != 0) return value;
  return MAKEWORD(key, modifiers | kDefaultModifiers);
}

}  // namespace hotkey

namespace {

// The design's colours: the combination in the accent, the prompts in grey and, while the
// control waits for keys, in the warm colour that asks for input.
constexpr COLORREF kValueColour = RGB(0x2F, 0x6F, 0xDE);
constexpr COLORREF kIdlePromptColour = RGB(134, 134, 134);
constexpr COLORREF kActivePromptColour = RGB(255, 187, 56);
constexpr UINT_PTR kSubclassId = 0x51A7;

class CHotctrlPaint final : public HotkeyCtrlBase {
 public:
  explicit CHotctrlPaint(HotkeyPrompts prompts) : prompts_(std::move(prompts)) {}
  ~CHotctrlPaint() override {
    if (control_ && ::IsWindow(control_)) {
      ::RemoveWindowSubclass(control_, &CHotctrlPaint::Procedure, kSubclassId);
      ::DestroyWindow(control_);
    }
  }

  bool Create(HWND host, int left, int top, int right, int bottom, HFONT font, int id) override {
    if (control_ && ::IsWindow(control_)) ::DestroyWindow(control_);
    control_ = nullptr;
    created_ = false;
    HWND control = ::CreateWindowExW(0, HOTKEY_CLASSW, L"", WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, left, top,
                                     right - left, bottom - top, host,
                                     reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr),
                                     nullptr);
    if (!control) return false;
    control_ = control;
    created_ = true;
    host_ = host;
    ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    // A key pressed without a modifier is not taken as it is: it gets Ctrl+Alt.
    ::SendMessageW(control, HKM_SETRULES, HKCOMB_NONE, MAKELPARAM(hotkey::kDefaultModifiers, 0));
    // Keys, not composed text: no input method on this window.
    ::ImmAssociateContext(control, nullptr);
    Subclass(control);
    ::ShowWindow(control, SW_SHOW);
    ::SetFocus(control);
    return true;
  }

  void Subclass(HWND control) override {
    ::SetWindowSubclass(control, &CHotctrlPaint::Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    const LONG_PTR exStyle = ::GetWindowLongPtrW(control, GWL_EXSTYLE);
    ::SetWindowLongPtrW(control, GWL_EXSTYLE, exStyle | WS_EX_STATICEDGE);
    ::SetWindowPos(control, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
  }

  void Refresh() override {
    if (control_) ::RedrawWindow(control_, nullptr, nullptr, RDW_FRAME | RDW_INVALIDATE);
    if (host_) ::InvalidateRect(host_, nullptr, TRUE);
  }

  void SetHotKey(BYTE key, BYTE modifiers) override {
    if (control_) ::SendMessageW(control_, HKM_SETHOTKEY, MAKEWORD(key, modifiers), 0);
  }

  void GetHotKey(BYTE& key, BYTE& modifiers) const override {
    const WORD value = control_ ? LOWORD(::SendMessageW(control_, HKM_GETHOTKEY, 0, 0)) : 0;
    key = LOBYTE(value);
    modifiers = HIBYTE(value);
  }

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR data) noexcept {
    return reinterpret_cast<CHotctrlPaint*>(data)->OnMessage(window, message, wParam, lParam);
  }

  LRESULT OnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
      case WM_SETFOCUS:
        Refresh();
        break;
      case WM_KILLFOCUS: {
        const LRESULT result = ::DefSubclassProc(window, message, wParam, lParam);
        OnLostFocus();
        return result;
      }
      case WM_PAINT:
        Paint(window);
        return 0;
      case WM_NCPAINT:
        PaintFrame(window);
        return 0;
      case WM_CHAR:
        if (wParam == VK_RETURN) Leave();
        return 0;
      case WM_KEYDOWN:
        // Enter confirms what was typed (the system control would clear it first).
        if (wParam == VK_RETURN) {
          Leave();
          return 0;
        }
        break;
      case WM_KEYUP:
        if (wParam == VK_BACK || wParam == VK_ESCAPE) break;
        return OnKeyUp(window, wParam, lParam);
      case WM_NCDESTROY:
        ::RemoveWindowSubclass(window, &CHotctrlPaint::Procedure, kSubclassId);
        if (control_ == window) control_ = nullptr;
        break;
      default:
        break;
    }
    return ::DefSubclassProc(window, message, wParam, lParam);
  }

  LRESULT OnKeyUp(HWND window, WPARAM key, LPARAM lParam) {
    const LRESULT result = ::DefSubclassProc(window, WM_KEYUP, key, lParam);
    const WORD value = LOWORD(::SendMessageW(window, HKM_GETHOTKEY, 0, 0));
    const WORD completed = hotkey::WithDefaultModifiers(value);
    if (completed != value) ::SendMessageW(window, HKM_SETHOTKEY, completed, 0);
    ::InvalidateRect(window, nullptr, TRUE);
    return result;
  }

  // Hides the control: the focus goes to the top-level window, so the combination is handed over
  // (on losing the focus) and the host does not take the focus and open the capture again.
  void Leave() {
    if (!control_) return;
    if (::GetFocus() == control_) {
      ::SetFocus(::GetAncestor(control_, GA_ROOT));
    } else {
      ::ShowWindow(control_, SW_HIDE);
    }
  }

  void OnLostFocus() {
    if (!control_) return;
    ::ShowWindow(control_, SW_HIDE);
    BYTE key = 0;
    BYTE modifiers = 0;
    GetHotKey(key, modifiers);
    if (key != 0 && host_ && ::IsWindow(host_)) ::SetWindowTextW(host_, hotkey::HotkeyText(key, modifiers).c_str());
  }

  void Paint(HWND window) const {
    PAINTSTRUCT paint{};
    HDC dc = ::BeginPaint(window, &paint);
    RECT client{};
    ::GetClientRect(window, &client);
    HWND parent = ::GetParent(window);
    auto brush = reinterpret_cast<HBRUSH>(
        ::SendMessageW(parent, WM_CTLCOLOREDIT, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(window)));
    ::FillRect(dc, &client, brush ? brush : static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));

    const WORD value = LOWORD(::SendMessageW(window, HKM_GETHOTKEY, 0, 0));
    std::wstring text = hotkey::HotkeyText(LOBYTE(value), HIBYTE(value));
    COLORREF colour = kValueColour;
    if (text.empty()) {
      const bool focused = ::GetFocus() == window;
      text = focused ? prompts_.active : prompts_.idle;
      colour = focused ? kActivePromptColour : kIdlePromptColour;
    }
    auto font = reinterpret_cast<HFONT>(::SendMessageW(window, WM_GETFONT, 0, 0));
    if (!font) font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    const HGDIOBJ old = ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, colour);
    constexpr UINT kFormat = DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX;
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &client, kFormat);
    // The caret just after the centred text, where the next key would go.
    SIZE extent{};
    ::GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ::SetCaretPos(client.left + (client.right - client.left + extent.cx) / 2,
                  client.top + (client.bottom - client.top - extent.cy) / 2);
    ::SelectObject(dc, old);
    ::EndPaint(window, &paint);
  }

  static void PaintFrame(HWND window) {
    HDC dc = ::GetWindowDC(window);
    if (!dc) return;
    RECT whole{};
    ::GetWindowRect(window, &whole);
    // The client area, in window coordinates, is the paint's to draw.
    RECT client{};
    ::GetClientRect(window, &client);
    ::MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    ::OffsetRect(&client, -whole.left, -whole.top);
    ::OffsetRect(&whole, -whole.left, -whole.top);
    ::ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    ::FillRect(dc, &whole, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ::ReleaseDC(window, dc);
  }

  HotkeyPrompts prompts_;
};

}  // namespace

std::unique_ptr<HotkeyCtrlBase> CreateHotkeyControl(HotkeyPrompts prompts) {
  return std::make_unique<CHotctrlPaint>(std::move(prompts));
}
