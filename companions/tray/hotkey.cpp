#include "companions/tray/hotkey.h"

#include <commctrl.h>

namespace tray {

std::optional<HotkeyBinding> BindingFromControlValue(int32_t value) {
  if (value <= 0 || value > 0xFFFF) return std::nullopt;
  const UINT virtualKey = static_cast<UINT>(value) & 0xFF;
  const UINT flags = (static_cast<UINT>(value) >> 8) & 0xFF;
  constexpr UINT kKnownFlags = HOTKEYF_SHIFT | HOTKEYF_CONTROL | HOTKEYF_ALT | HOTKEYF_EXT;
  if (virtualKey == 0 || (flags & ~kKnownFlags) != 0) return std::nullopt;
  HotkeyBinding binding;
  binding.virtualKey = virtualKey;
  if (flags & HOTKEYF_SHIFT) binding.modifiers |= MOD_SHIFT;
  if (flags & HOTKEYF_CONTROL) binding.modifiers |= MOD_CONTROL;
  if (flags & HOTKEYF_ALT) binding.modifiers |= MOD_ALT;
  return binding;
}

bool GlobalHotkey::Set(const HotkeyBinding& binding) {
  Clear();
  registered_ = ::RegisterHotKey(window_, id_, binding.modifiers | MOD_NOREPEAT, binding.virtualKey) != FALSE;
  return registered_;
}

void GlobalHotkey::Clear() {
  if (registered_) ::UnregisterHotKey(window_, id_);
  registered_ = false;
}

}  // namespace tray
