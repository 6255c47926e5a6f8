#include "popup_dialog/settings/hotkey_field.h"

#include <algorithm>
#include <string>

namespace popup_dialog {

namespace {

constexpr COLORREF kValueColour = RGB(0x2F, 0x6F, 0xDE);
constexpr COLORREF kPromptColour = RGB(134, 134, 134);
// What the edit keeps clear of the place's edges, where the skin draws the frame.
constexpr int kFrame = 2;

std::wstring WindowText(HWND window) {
  const int length = ::GetWindowTextLengthW(window);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  text.resize(static_cast<size_t>(::GetWindowTextW(window, text.data(), length + 1)));
  return text;
}

}  // namespace

HotkeyField::HotkeyField(HotkeyPrompts prompts) : prompts_(std::move(prompts)) {
  font_.Reset(::CreateFontW(-14, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                            CLIP_DEFAULT_PRECIS, CLEARTYPE_QUALITY, DEFAULT_PITCH, L"微软雅黑"));
}

HotkeyField::~HotkeyField() {
  if (dialog_ && ::IsWindow(dialog_)) ::KillTimer(dialog_, kTimerId);
  // The capture control lives inside the edit: it goes first.
  control_.reset();
  if (edit_ && ::IsWindow(edit_)) ::DestroyWindow(edit_);
}

bool HotkeyField::Show(HWND dialog, const RECT& place, int value) {
  // Inside the frame the skin draws around the place, as tall as a line of text and centred in
  // it (a one-line edit draws its text at its top).
  int lineHeight = 20;
  if (HDC dc = ::GetDC(dialog)) {
    const HGDIOBJ old = ::SelectObject(dc, font_.Get());
    TEXTMETRICW metrics{};
    if (::GetTextMetricsW(dc, &metrics)) lineHeight = metrics.tmHeight + 4;
    ::SelectObject(dc, old);
    ::ReleaseDC(dialog, dc);
  }
  const int width = std::max(0, static_cast<int>(place.right - place.left) - 2 * kFrame);
  const int height = std::clamp(lineHeight, 0, std::max(0, static_cast<int>(place.bottom - place.top) - 2 * kFrame));
  const int left = place.left + kFrame;
  const int top = place.top + (place.bottom - place.top - height) / 2;
  if (!edit_ || !::IsWindow(edit_)) {
    dialog_ = dialog;
    edit_ = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | ES_CENTER | ES_AUTOHSCROLL, left, top, width, height, dialog,
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditId)), ::GetModuleHandleW(nullptr),
                              nullptr);
    if (!edit_) return false;
    ::SendMessageW(edit_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  } else {
    ::SetWindowPos(edit_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ShowValue(value);
  ::ShowWindow(edit_, SW_SHOW);
  ::KillTimer(dialog_, kTimerId);
  return true;
}

void HotkeyField::Hide() {
  if (edit_ && ::IsWindow(edit_)) ::ShowWindow(edit_, SW_HIDE);
}

std::optional<int> HotkeyField::OnEditCommand(WORD code) {
  if (code == EN_SETFOCUS) {
    // The capture control takes the focus from the edit once the click that gave it is done.
    ::SetTimer(dialog_, kTimerId, 1, nullptr);
    return std::nullopt;
  }
  if (code != EN_CHANGE || !armed_ || !control_ || !control_->IsCreated()) return std::nullopt;
  BYTE key = 0;
  BYTE modifiers = 0;
  control_->GetHotKey(key, modifiers);
  if (key == 0) return std::nullopt;
  return hotkey::MakeValue(key, modifiers);
}

void HotkeyField::OnTimer() {
  ::KillTimer(dialog_, kTimerId);
  if (!edit_ || !::IsWindowVisible(edit_)) return;
  if (!control_) control_ = CreateHotkeyControl(prompts_);
  RECT client{};
  ::GetClientRect(edit_, &client);
  armed_ = false;
  if (!control_->Create(edit_, client.left, client.top, client.right, client.bottom, font_.Get(), kEditId)) return;
  control_->SetHotKey(hotkey::KeyOf(value_), hotkey::ModifiersOf(value_));
  armed_ = true;
}

void HotkeyField::ShowValue(int value) {
  value_ = value;
  if (!edit_) return;
  const std::wstring text = value != 0 ? hotkey::HotkeyText(value) : prompts_.idle;
  const bool wasArmed = armed_;
  armed_ = false;
  ::SetWindowTextW(edit_, text.c_str());
  armed_ = wasArmed;
}

HBRUSH HotkeyField::OnColour(HDC dc) const {
  ::SetBkColor(dc, RGB(255, 255, 255));
  ::SetTextColor(dc, value_ != 0 && WindowText(edit_) != prompts_.idle ? kValueColour : kPromptColour);
  return static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
}

}  // namespace popup_dialog
