#pragma once
// The viewer's messages to the companion (routing 1), read with every field checked. A message
// whose payload does not hold what its type needs is dropped.
#include <cstdint>
#include <optional>
#include <string>

#include "ipc/pickle.h"

namespace tray {

enum class RequestKind { kQuickIndex = 1, kExit = 2, kHotkey = 3, kAssociation = 4 };

struct ViewerRequest {
  RequestKind kind = RequestKind::kExit;
  int32_t value = 0;       // quick-index state, hotkey value or association state
  std::wstring extension;  // type 4: "jpg" and so on, or "open" for the default-viewer switch
};

// Type 1: int32 0 or 1. Type 2: nothing. Type 3: int32 hotkey value. Type 4: byte string of 1 to 16
// characters (ANSI code page) naming an extension in lower case or "open", then int32 0 or 1.
std::optional<ViewerRequest> DecodeViewerMessage(const IPC::Message& message);

}  // namespace tray
