#pragma once
// The message channel to the tray companion: typed messages with a byte payload.
#include <cstdint>
#include <vector>

namespace services {

// Message types the viewer sends or obeys.
enum ChannelMessageType : uint32_t {
  kChannelQuickIndex = 1,   // payload: 4-byte Boolean
  kChannelExit = 2,         // the viewer ends / the companion asks the viewer to end
  kChannelHotkey = 3,       // payload: the hotkey
  kChannelAssociation = 4,  // file-type choices changed
};

class IChannelListener {
 public:
  virtual ~IChannelListener() = default;
  [[nodiscard]] virtual int GetRoutingID() const = 0;
  // Answers non-zero when the message was taken.
  virtual int OnMessageReceived(uint32_t type, const std::vector<uint8_t>& payload) = 0;
  virtual void OnPeerGone() {}
};

class IMessageChannel {
 public:
  virtual ~IMessageChannel() = default;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual void AddListener(IChannelListener* listener) = 0;
  virtual void RemoveListener(IChannelListener* listener) = 0;
  // False when the message could not be sent (no peer).
  virtual bool Send(uint32_t type, const std::vector<uint8_t>& payload) = 0;
};

}  // namespace services
