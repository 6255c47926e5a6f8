#pragma once
// The screenshot hotkey: its value, its text, and the control in which the user types it.
//
// A hotkey value is the system hotkey control's: bits 0-7 the virtual key, bits 8-15 the
// control's modifier flags (HOTKEYF_SHIFT 1, HOTKEYF_CONTROL 2, HOTKEYF_ALT 4, HOTKEYF_EXT 8).
// They are not RegisterHotKey's flags (MOD_ALT 1, MOD_CONTROL 2, MOD_SHIFT 4): the tray companion,
// which registers the hotkey, converts them. 0 means no hotkey.
//
// The control is the system's "msctls_hotkey32", made on demand inside a host edit window and
// subclassed: it paints its own centred text (a prompt while empty), gives Ctrl+Alt to a key
// pressed alone, and when it loses the focus it hides and writes the chosen combination's text
// into its host, whose change notification tells the owner. User-interface thread only.
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>

namespace hotkey {

// Alt+D.
inline constexpr int kResetValue = 0x0444;
// Given to a key pressed without a modifier.
inline constexpr BYTE kDefaultModifiers = HOTKEYF_CONTROL | HOTKEYF_ALT;

constexpr int MakeValue(BYTE key, BYTE modifiers) { return key | (modifiers << 8); }
constexpr BYTE KeyOf(int value) { return static_cast<BYTE>(value & 0xFF); }
constexpr BYTE ModifiersOf(int value) { return static_cast<BYTE>((value >> 8) & 0xFF); }

// A stored value as the dialog takes it: one with bits beyond the key and the four modifier flags,
// or with modifiers but no key, stands for no hotkey (0).
constexpr int StoredValue(int value) {
  const bool known = value >= 0 && value <= 0xFFFF && (ModifiersOf(value) & ~0x0F) == 0;
  return known && KeyOf(value) != 0 ? value : 0;
}

// The keyboard layout's name of a key. The navigation keys (page up and down, end, home, the
// arrows, insert, delete) and num lock are named as extended keys, so Home is not named as the
// keypad's 7; `extended` asks the same for any other key.
std::wstring KeyName(UINT key, bool extended);
// "Ctrl + Shift + Alt + key", each modifier present named in that order; empty for no key and no
// modifier.
std::wstring HotkeyText(BYTE key, BYTE modifiers);
std::wstring HotkeyText(int value);
// The value once a key has gone up: a key without a modifier (or with only the extended flag)
// takes Ctrl+Alt; anything else stays as it is.
WORD WithDefaultModifiers(WORD value);

}  // namespace hotkey

// The prompts the empty control shows: before it has the focus, and while it waits for keys.
struct HotkeyPrompts {
  std::wstring idle;
  std::wstring active;
};

// The owner's handle of one capture control.
class HotkeyCtrlBase {
 public:
  virtual ~HotkeyCtrlBase() = default;
  HotkeyCtrlBase(const HotkeyCtrlBase&) = delete;
  HotkeyCtrlBase& operator=(const HotkeyCtrlBase&) = delete;

  // Makes the control window (an earlier one is destroyed first) at the rectangle of the host's
  // client area, with the font and the identifier, shown and holding the focus. False when the
  // window could not be made.
  virtual bool Create(HWND host, int left, int top, int right, int bottom, HFONT font, int id) = 0;
  // Routes the control window's messages through this object.
  virtual void Subclass(HWND control) = 0;
  // Repaints the control's frame and its host.
  virtual void Refresh() = 0;
  virtual void SetHotKey(BYTE key, BYTE modifiers) = 0;
  virtual void GetHotKey(BYTE& key, BYTE& modifiers) const = 0;

  // The control window, null before Create and after it was destroyed.
  [[nodiscard]] HWND Handle() const { return control_; }
  [[nodiscard]] bool IsCreated() const { return created_ && control_ != nullptr; }
  [[nodiscard]] HWND Host() const { return host_; }

 protected:
  HotkeyCtrlBase() = default;

  HWND control_ = nullptr;
  bool created_ = false;
  HWND host_ = nullptr;
};

// A new capture control, not yet created.
std::unique_ptr<HotkeyCtrlBase> CreateHotkeyControl(HotkeyPrompts prompts);
