#pragma once
// The byte format of the message channel between the viewer and its tray companion: a header whose
// first word is the payload size, then 32-bit aligned fields (integers, length-prefixed byte strings,
// raw bytes). A Pickle either owns a growing buffer that is being written, or is a read-only view
// over bytes another process sent, which are checked before anything is read from them.
#include <cstddef>
#include <cstdint>
#include <string>

class Pickle {
 public:
  // Writes refuse to grow a message beyond this; received messages larger than it are refused.
  static constexpr size_t kMaxMessageBytes = 1 << 20;

  // An empty message with a header of headerSize bytes (rounded up to a multiple of 4).
  explicit Pickle(size_t headerSize);
  // A read-only view over received bytes, which must outlive it. Refused (empty, IsValid false)
  // unless the header size the buffer implies equals expectedHeaderSize.
  Pickle(const uint8_t* data, size_t length, size_t expectedHeaderSize);
  Pickle(const Pickle& other);
  Pickle& operator=(const Pickle& other);
  virtual ~Pickle();

  [[nodiscard]] bool IsValid() const noexcept { return header_ != nullptr; }
  [[nodiscard]] const uint8_t* data() const noexcept { return header_; }
  // Header and payload, the bytes that travel.
  [[nodiscard]] size_t size() const noexcept { return header_ ? header_size_ + payload_size() : 0; }
  [[nodiscard]] size_t header_size() const noexcept { return header_size_; }
  [[nodiscard]] uint32_t payload_size() const noexcept;
  [[nodiscard]] const uint8_t* payload() const noexcept { return header_ ? header_ + header_size_ : nullptr; }

  // False (and nothing written) for a read-only view or when the message would grow too large.
  bool WriteInt(int32_t value);
  bool WriteString(const std::string& bytes);
  bool WriteBytes(const void* bytes, size_t length);

 protected:
  [[nodiscard]] uint8_t* mutable_header() noexcept { return capacity_ >= 0 ? header_ : nullptr; }
  // A 32-bit word of the header (offset a multiple of 4 inside the header); 0 when absent.
  [[nodiscard]] uint32_t HeaderWord(size_t offset) const noexcept;
  void SetHeaderWord(size_t offset, uint32_t value) noexcept;

 private:
  bool Reserve(size_t newPayloadSize);
  uint8_t* BeginWrite(size_t length);

  uint8_t* header_ = nullptr;
  size_t header_size_ = 0;
  // Bytes owned; -1 for a read-only view over foreign bytes.
  ptrdiff_t capacity_ = 0;
};

// Reads the fields of a payload in order; every read checks the bounds first.
class PickleIterator {
 public:
  explicit PickleIterator(const Pickle& pickle) noexcept;
  bool ReadInt(int32_t* value) noexcept;
  bool ReadString(std::string* bytes);
  // Points into the pickle's payload.
  bool ReadBytes(const uint8_t** bytes, size_t length) noexcept;

 private:
  const uint8_t* Advance(size_t length) noexcept;

  const uint8_t* cursor_;
  const uint8_t* end_;
};

namespace IPC {

// A message of the channel: the header carries the payload size, the routing id (0: every
// listener), the type and the flags (priority, sequence number, sender process id).
class Message : public Pickle {
 public:
  static constexpr size_t kHeaderSize = 16;
  static constexpr uint32_t kPriorityNormal = 2;

  // A message being written, with the next sequence number of the process.
  Message(int32_t routingId, uint32_t type, uint32_t priority = kPriorityNormal);
  // A view over received bytes; refused (IsValid false) unless they hold a whole message.
  Message(const uint8_t* data, size_t length);
  ~Message() override = default;
  Message(const Message&) = default;
  Message& operator=(const Message&) = default;

  [[nodiscard]] int32_t routing_id() const noexcept { return static_cast<int32_t>(HeaderWord(4)); }
  [[nodiscard]] uint32_t type() const noexcept { return HeaderWord(8); }
  [[nodiscard]] uint32_t flags() const noexcept { return HeaderWord(12); }

  // The flags word for a process id, a sequence number and a priority.
  static uint32_t MakeFlags(uint32_t processId, uint32_t sequence, uint32_t priority) noexcept;
};

}  // namespace IPC
