#pragma once
// The screen-capture hotkey as the viewer's settings send it (the value of the system hotkey
// control: low byte the virtual key, next byte HOTKEYF_* flags) and as RegisterHotKey wants it
// (MOD_* flags, whose Shift and Alt bits are the other way round).
#include <windows.h>

#include <cstdint>
#include <optional>

namespace tray {

struct HotkeyBinding {
  UINT modifiers = 0;  // MOD_ALT, MOD_CONTROL, MOD_SHIFT
  UINT virtualKey = 0;
  bool operator==(const HotkeyBinding&) const = default;
};

// The binding for a control value; nullopt for 0 (no hotkey) and for values that are no hotkey:
// negative, above 16 bits, without a key, or with flags the control never sets. The extended-key
// flag names the key more exactly but has no RegisterHotKey counterpart: it is dropped.
std::optional<HotkeyBinding> BindingFromControlValue(int32_t value);

// A hotkey registered for a window, unregistered when replaced or destroyed.
class GlobalHotkey {
 public:
  GlobalHotkey(HWND window, int id) : window_(window), id_(id) {}
  ~GlobalHotkey() { Clear(); }
  GlobalHotkey(const GlobalHotkey&) = delete;
  GlobalHotkey& operator=(const GlobalHotkey&) = delete;

  // Replaces the registration; false (and nothing registered) when the system refused it, for
  // example because another program holds the combination.
  bool Set(const HotkeyBinding& binding);
  void Clear();
  [[nodiscard]] bool IsRegistered() const noexcept { return registered_; }

 private:
  HWND window_;
  int id_;
  bool registered_ = false;
};

}  // namespace tray
