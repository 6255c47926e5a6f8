#include "ipc/channel.h"

#include <cstring>
#include <vector>

namespace ipc {
std::wstring ClientWindowName(const std::wstring& channel) { return L"Quellin.Client.MsgClass." + channel; }
std::wstring ServerWindowName(const std::wstring& channel) { return L"Quellin.Server.MsgClass." + channel; }
}  // namespace ipc

namespace {

constexpr size_t kMaxNameLength = 260;

// A received message waiting in the own queue.
struct QueuedRecord {
  std::vector<uint8_t> bytes;
};

}  // namespace

CChannelImpl::CChannelImpl(std::wstring ownName, std::wstring peerName)
    : own_name_(std::move(ownName)), peer_name_(std::move(peerName)) {}

CChannelImpl::~CChannelImpl() { Close(); }

HWND CChannelImpl::FindPeer() const { return ::FindWindowW(peer_name_.c_str(), peer_name_.c_str()); }

bool CChannelImpl::Connect() {
  if (own_name_.size() > kMaxNameLength || peer_name_.size() > kMaxNameLength) return false;
  peer_ = FindPeer();
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;
  wc.lpfnWndProc = &CChannelImpl::WindowProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = own_name_.c_str();
  // A class left registered by an earlier channel of this process is reused.
  if (!::RegisterClassExW(&wc) && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  window_ = ::CreateWindowExW(0, own_name_.c_str(), own_name_.c_str(), WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                              instance, this);
  if (!window_) return false;
  // The companion may run with other rights than the viewer.
  ::ChangeWindowMessageFilterEx(window_, WM_COPYDATA, MSGFLT_ALLOW, nullptr);
  return true;
}

LRESULT CALLBACK CChannelImpl::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<CChannelImpl*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
  }
  auto* self = reinterpret_cast<CChannelImpl*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || self->window_ != window) {
    // A record posted to a channel that is gone is freed unread.
    if (message == ipc::kDispatchRecord) delete reinterpret_cast<QueuedRecord*>(lParam);
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    return ::DefWindowProcW(window, message, wParam, lParam);
  }
  return self->OnMessage(message, wParam, lParam);
}

LRESULT CChannelImpl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      ::SetTimer(window_, ipc::kPeerWatchTimer, 1000, nullptr);
      return 0;
    case WM_TIMER:
      if (wParam == ipc::kPeerWatchTimer) OnPeerWatch();
      return 0;
    case WM_QUERYENDSESSION:
      session_ending_ = true;
      return TRUE;
    case WM_COPYDATA: {
      const auto* record = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
      if (!record || !record->lpData || record->cbData == 0 || record->cbData > Pickle::kMaxMessageBytes) return TRUE;
      const auto* bytes = static_cast<const uint8_t*>(record->lpData);
      if (record->dwData == ipc::kCopyDataImmediate) {
        Dispatch(bytes, record->cbData);
      } else if (record->dwData == ipc::kCopyDataQueued) {
        auto* queued = new QueuedRecord{std::vector<uint8_t>(bytes, bytes + record->cbData)};
        if (!::PostMessageW(window_, ipc::kDispatchRecord, reinterpret_cast<WPARAM>(window_),
                            reinterpret_cast<LPARAM>(queued))) {
          delete queued;
        }
      }
      return TRUE;
    }
    case ipc::kDispatchRecord: {
      std::unique_ptr<QueuedRecord> queued(reinterpret_cast<QueuedRecord*>(lParam));
      if (queued) Dispatch(queued->bytes.data(), queued->bytes.size());
      return 0;
    }
    case ipc::kDestroyChannelWindow:
      ::DestroyWindow(window_);
      return 0;
    default:
      return ::DefWindowProcW(window_, message, wParam, lParam);
  }
}

void CChannelImpl::OnPeerWatch() {
  if (!peer_) {
    peer_ = FindPeer();
    if (peer_) peer_gone_told_ = false;
    return;
  }
  if (::IsWindow(peer_) || peer_gone_told_) return;
  peer_gone_told_ = true;
  std::vector<IChannelListener*> listeners;
  {
    base::CriticalSectionLock lock(listener_lock_);
    for (const auto& entry : listeners_) listeners.push_back(entry.first);
  }
  for (IChannelListener* listener : listeners) {
    // A listener that left during the calls before is not called.
    {
      base::CriticalSectionLock lock(listener_lock_);
      if (!listeners_.count(listener)) continue;
    }
    if (auto* listener2 = dynamic_cast<IChannelListener2*>(listener)) listener2->OnPeerGone(session_ending_);
  }
}

void CChannelImpl::Dispatch(const uint8_t* bytes, size_t length) {
  const IPC::Message message(bytes, length);
  // A buffer that does not hold a whole message is dropped, never dispatched.
  if (!message.IsValid()) return;
  std::vector<IChannelListener*> listeners;
  {
    base::CriticalSectionLock lock(listener_lock_);
    for (const auto& entry : listeners_) listeners.push_back(entry.first);
  }
  const int32_t routing = message.routing_id();
  for (IChannelListener* listener : listeners) {
    {
      base::CriticalSectionLock lock(listener_lock_);
      if (!listeners_.count(listener)) continue;
    }
    if (routing == 0 || listener->GetRoutingID() == routing) listener->OnMessageReceived(message);
  }
}

bool CChannelImpl::SendTo(HWND target, const IPC::Message& message, bool immediate) {
  if (!message.IsValid() || !window_) return false;
  COPYDATASTRUCT record{immediate ? ipc::kCopyDataImmediate : ipc::kCopyDataQueued,
                        static_cast<DWORD>(message.size()), const_cast<uint8_t*>(message.data())};
  DWORD_PTR answer = 0;
  return ::SendMessageTimeoutW(target, WM_COPYDATA, reinterpret_cast<WPARAM>(window_), reinterpret_cast<LPARAM>(&record),
                               SMTO_NOTIMEOUTIFNOTHUNG, 5000, &answer) != 0 &&
         answer != 0;
}

bool CChannelImpl::Send(const IPC::Message& message, bool immediate) {
  if (closing_) return false;
  if (!peer_ || !::IsWindow(peer_)) {
    peer_ = FindPeer();
    if (peer_) peer_gone_told_ = false;
  }
  // The answer says whether the peer really took the message, not only whether one is known.
  const bool delivered = peer_ && SendTo(peer_, message, immediate);
  if (message.routing_id() == 0 && window_) SendTo(window_, message, immediate);
  return delivered;
}

void CChannelImpl::AddListener(IChannelListener* listener) {
  if (!listener) return;
  base::CriticalSectionLock lock(listener_lock_);
  listeners_[listener] = true;
}

void CChannelImpl::RemoveListener(IChannelListener* listener) {
  base::CriticalSectionLock lock(listener_lock_);
  listeners_.erase(listener);
}

void CChannelImpl::Close() {
  if (closing_) return;
  closing_ = true;
  if (window_) {
    ::KillTimer(window_, ipc::kPeerWatchTimer);
    ::SendMessageW(window_, ipc::kDestroyChannelWindow, 0, 0);
  }
}

bool CChannel::Open(const std::wstring& name, bool client) {
  if (impl_) return true;
  const std::wstring client_name = ipc::ClientWindowName(name);
  const std::wstring server_name = ipc::ServerWindowName(name);
  auto impl = std::make_unique<CChannelImpl>(client ? client_name : server_name, client ? server_name : client_name);
  if (!impl->Connect()) return false;
  impl_ = std::move(impl);
  return true;
}

bool CChannel::Send(const IPC::Message& message, bool immediate) { return impl_ && impl_->Send(message, immediate); }

void CChannel::AddListener(IChannelListener* listener) {
  if (impl_) impl_->AddListener(listener);
}

void CChannel::RemoveListener(IChannelListener* listener) {
  if (impl_) impl_->RemoveListener(listener);
}

void CChannel::Close() { impl_.reset(); }

namespace {
CIPCMessageMgr* g_manager = nullptr;
base::CriticalSection& ManagerLock() {
  static base::CriticalSection lock;
  return lock;
}
}  // namespace

CIPCMessageMgr& CIPCMessageMgr::Get() {
  if (!g_manager) {
    base::CriticalSectionLock lock(ManagerLock());
    if (!g_manager) g_manager = new CIPCMessageMgr();
  }
  return *g_manager;
}

void CIPCMessageMgr::DestroyInstance() {
  base::CriticalSectionLock lock(ManagerLock());
  delete g_manager;
  g_manager = nullptr;
}

void CIPCMessageMgr::Connect() { channel_.Open(kChannelName, true); }
