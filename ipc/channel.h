#pragma once
// The message channel between the viewer (client) and its tray companion (server): each side owns a
// hidden top-level window named after the channel, and messages travel between the two windows as
// WM_COPYDATA. Received bytes are checked before they are read and dispatched to listeners by their
// routing id. Windows, listeners and dispatch live on the thread that opened the channel.
#include <windows.h>

#include <map>
#include <memory>
#include <string>

#include "base/handles.h"
#include "ipc/pickle.h"

class IChannelListener {
 public:
  virtual ~IChannelListener() = default;
  virtual void OnMessageReceived(const IPC::Message& message) = 0;
  // The routing id the listener answers to; messages with routing 0 reach every listener.
  [[nodiscard]] virtual int32_t GetRoutingID() const = 0;
};

class IChannelListener2 : public IChannelListener {
 public:
  // The peer's window went away (sessionEnding: the system is ending the session).
  virtual void OnPeerGone(bool sessionEnding) = 0;
};

namespace ipc {
// WM_COPYDATA kinds of the channel.
inline constexpr ULONG_PTR kCopyDataQueued = 0x8888;     // the receiver dispatches later
inline constexpr ULONG_PTR kCopyDataImmediate = 0x8889;  // the receiver dispatches inside the send
inline constexpr UINT kDispatchRecord = 0x0464;
inline constexpr UINT kDestroyChannelWindow = 0x0465;
inline constexpr UINT_PTR kPeerWatchTimer = 100;
// The window names of the two sides of a channel.
std::wstring ClientWindowName(const std::wstring& channel);
std::wstring ServerWindowName(const std::wstring& channel);
}  // namespace ipc

class CChannelImpl {
 public:
  CChannelImpl(std::wstring ownName, std::wstring peerName);
  ~CChannelImpl();
  CChannelImpl(const CChannelImpl&) = delete;
  CChannelImpl& operator=(const CChannelImpl&) = delete;

  // Looks for the peer and creates the own window; false when the window could not be made.
  bool Connect();
  // Sends at once (immediate: the peer dispatches inside the call). True only when the peer took
  // it; a broadcast (routing 0) also reaches this side's own listeners.
  bool Send(const IPC::Message& message, bool immediate);
  void AddListener(IChannelListener* listener);
  void RemoveListener(IChannelListener* listener);
  void Close();

  [[nodiscard]] HWND Window() const noexcept { return window_; }
  [[nodiscard]] HWND Peer() const noexcept { return peer_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPeerWatch();
  void Dispatch(const uint8_t* bytes, size_t length);
  bool SendTo(HWND target, const IPC::Message& message, bool immediate);
  HWND FindPeer() const;

  std::wstring own_name_;
  std::wstring peer_name_;
  HWND window_ = nullptr;
  HWND peer_ = nullptr;
  bool peer_gone_told_ = false;
  bool closing_ = false;
  bool session_ending_ = false;
  base::CriticalSection listener_lock_;
  std::map<IChannelListener*, bool> listeners_;
};

class CChannel {
 public:
  CChannel() = default;
  ~CChannel() { Close(); }
  CChannel(const CChannel&) = delete;
  CChannel& operator=(const CChannel&) = delete;

  // Opens the channel as its client or server side; nothing when already open.
  bool Open(const std::wstring& name, bool client);
  // False when closed or when the peer did not take the message.
  bool Send(const IPC::Message& message, bool immediate = false);
  void AddListener(IChannelListener* listener);
  void RemoveListener(IChannelListener* listener);
  void Close();
  [[nodiscard]] bool IsOpen() const noexcept { return impl_ != nullptr; }
  [[nodiscard]] CChannelImpl* Impl() const noexcept { return impl_.get(); }

 private:
  std::unique_ptr<CChannelImpl> impl_;
};

// The viewer's one channel to the tray companion.
class CIPCMessageMgr {
 public:
  static constexpr wchar_t kChannelName[] = L"QlIPC-be3d8fcf43482b49";

  static CIPCMessageMgr& Get();
  static void DestroyInstance();

  void Connect();
  void AddListener(IChannelListener* listener) { channel_.AddListener(listener); }
  void RemoveListener(IChannelListener* listener) { channel_.RemoveListener(listener); }
  // True when the companion took the message.
  bool Send(const IPC::Message& message) { return channel_.Send(message, false); }
  void Close() { channel_.Close(); }

 private:
  CIPCMessageMgr() = default;
  CChannel channel_;
};
