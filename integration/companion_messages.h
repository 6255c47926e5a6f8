#pragma once
// The viewer's messages to the tray companion (routing 1) and their sending. The settings dialog
// sends the hotkey and the file-type choices; the main window the quick-index option and the exit.
#include <cstdint>
#include <string>

#include "ipc/pickle.h"

namespace integration {

inline constexpr int32_t kCompanionRouting = 1;

// Type 1: the quick-index option, 0 or 1.
IPC::Message QuickIndexMessage(bool enabled);
// Type 3: the screen-capture hotkey, the hotkey control's value (low byte key, next byte flags).
IPC::Message HotkeyMessage(int32_t hotkey);
// Type 4: an extension (lower-cased here) or "open", in the thread's ANSI code page, then the state.
IPC::Message AssociationMessage(const std::wstring& name, bool associate);

// Sends on the viewer's channel; true when the companion took the message.
bool SendToCompanion(const IPC::Message& message);

}  // namespace integration
