#include "integration/companion_messages.h"

#include <windows.h>

#include "ipc/channel.h"

namespace integration {

namespace {

enum : uint32_t { kQuickIndex = 1, kHotkey = 3, kAssociation = 4 };

std::string ToAnsi(const std::wstring& text) {
  if (text.empty()) return {};
  const int size =
      ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

}  // namespace

IPC::Message QuickIndexMessage(bool enabled) {
  IPC::Message message(kCompanionRouting, kQuickIndex);
  message.WriteInt(enabled ? 1 : 0);
  return message;
}

IPC::Message HotkeyMessage(int32_t hotkey) {
  IPC::Message message(kCompanionRouting, kHotkey);
  message.WriteInt(hotkey);
  return message;
}

IPC::Message AssociationMessage(const std::wstring& name, bool associate) {
  std::wstring lowered(name);
  ::CharLowerBuffW(lowered.data(), static_cast<DWORD>(lowered.size()));
  IPC::Message message(kCompanionRouting, kAssociation);
  message.WriteString(ToAnsi(lowered));
  message.WriteInt(associate ? 1 : 0);
  return message;
}

bool SendToCompanion(const IPC::Message& message) { return CIPCMessageMgr::Get().Send(message); }

}  // namespace integration
