#include "companions/tray/viewer_messages.h"

#include <windows.h>

namespace tray {

namespace {

constexpr size_t kMaxExtensionBytes = 16;

bool IsExtensionWord(const std::string& bytes) {
  if (bytes.empty() || bytes.size() > kMaxExtensionBytes) return false;
  for (char c : bytes) {
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

}  // namespace

std::optional<ViewerRequest> DecodeViewerMessage(const IPC::Message& message) {
  if (!message.IsValid()) return std::nullopt;
  PickleIterator reader(message);
  ViewerRequest request;
  switch (message.type()) {
    case 1:
      request.kind = RequestKind::kQuickIndex;
      if (!reader.ReadInt(&request.value) || (request.value != 0 && request.value != 1)) return std::nullopt;
      return request;
    case 2:
      request.kind = RequestKind::kExit;
      return request;
    case 3:
      request.kind = RequestKind::kHotkey;
      if (!reader.ReadInt(&request.value)) return std::nullopt;
      return request;
    case 4: {
      request.kind = RequestKind::kAssociation;
      std::string bytes;
      if (!reader.ReadString(&bytes) || !reader.ReadInt(&request.value)) return std::nullopt;
      if (!IsExtensionWord(bytes) || (request.value != 0 && request.value != 1)) return std::nullopt;
      // Plain ASCII letters and digits read the same in every ANSI code page.
      request.extension.assign(bytes.begin(), bytes.end());
      return request;
    }
    default:
      return std::nullopt;
  }
}

}  // namespace tray
