#include "ipc/pickle.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

constexpr size_t kInitialCapacity = 64;

constexpr size_t AlignUp(size_t value, size_t alignment) noexcept { return (value + alignment - 1) / alignment * alignment; }

uint32_t ReadWord(const uint8_t* at) noexcept {
  uint32_t value = 0;
  std::memcpy(&value, at, sizeof(value));
  return value;
}

std::atomic<uint32_t>& SequenceCounter() {
  static std::atomic<uint32_t> counter{0};
  return counter;
}

}  // namespace

Pickle::Pickle(size_t headerSize) : header_size_(AlignUp(std::max<size_t>(headerSize, 4), 4)) {
  const size_t capacity = AlignUp(std::max(kInitialCapacity, header_size_), 64);
  header_ = static_cast<uint8_t*>(std::calloc(capacity, 1));
  capacity_ = header_ ? static_cast<ptrdiff_t>(capacity) : 0;
}

Pickle::Pickle(const uint8_t* data, size_t length, size_t expectedHeaderSize) : capacity_(-1) {
  if (!data || length < 4 || length > kMaxMessageBytes) return;
  const size_t payload = ReadWord(data);
  // The header size is whatever the payload size leaves of the buffer; it must be exactly the one
  // this kind of message writes, so that no field is read from somewhere else.
  if (payload > length) return;
  const size_t headerSize = length - payload;
  if (headerSize == 0 || headerSize % 4 != 0 || headerSize != expectedHeaderSize) return;
  header_ = const_cast<uint8_t*>(data);
  header_size_ = headerSize;
}

Pickle::Pickle(const Pickle& other) : header_size_(other.header_size_) {
  if (!other.header_) return;
  const size_t used = other.size();
  const size_t capacity = AlignUp(used, 64);
  header_ = static_cast<uint8_t*>(std::calloc(capacity, 1));
  if (!header_) {
    header_size_ = 0;
    return;
  }
  std::memcpy(header_, other.header_, used);
  capacity_ = static_cast<ptrdiff_t>(capacity);
}

Pickle& Pickle::operator=(const Pickle& other) {
  if (this == &other) return *this;
  Pickle copy(other);
  std::swap(header_, copy.header_);
  std::swap(header_size_, copy.header_size_);
  std::swap(capacity_, copy.capacity_);
  return *this;
}

Pickle::~Pickle() {
  if (capacity_ >= 0) std::free(header_);
}

uint32_t Pickle::payload_size() const noexcept { return header_ ? ReadWord(header_) : 0; }

uint32_t Pickle::HeaderWord(size_t offset) const noexcept {
  if (!header_ || offset + 4 > header_size_) return 0;
  return ReadWord(header_ + offset);
}

void Pickle::SetHeaderWord(size_t offset, uint32_t value) noexcept {
  uint8_t* header = mutable_header();
  if (!header || offset + 4 > header_size_) return;
  std::memcpy(header + offset, &value, sizeof(value));
}

bool Pickle::Reserve(size_t newPayloadSize) {
  if (capacity_ < 0 || !header_) return false;
  if (newPayloadSize > kMaxMessageBytes || header_size_ > kMaxMessageBytes - newPayloadSize) return false;
  const size_t needed = header_size_ + newPayloadSize;
  const size_t capacity = static_cast<size_t>(capacity_);
  if (needed <= capacity) return true;
  const size_t grown = AlignUp(std::max(capacity * 2, needed), 64);
  auto* bigger = static_cast<uint8_t*>(std::realloc(header_, grown));
  if (!bigger) return false;
  std::memset(bigger + capacity, 0, grown - capacity);
  header_ = bigger;
  capacity_ = static_cast<ptrdiff_t>(grown);
  return true;
}

uint8_t* Pickle::BeginWrite(size_t length) {
  if (capacity_ < 0 || !header_) return nullptr;
  // A field starts on a multiple of 4 after whatever padding the previous one left.
  const size_t start = AlignUp(payload_size(), 4);
  if (length > kMaxMessageBytes || start > kMaxMessageBytes - length) return nullptr;
  const size_t end = start + length;
  if (!Reserve(AlignUp(end, 4))) return nullptr;
  uint8_t* at = header_ + header_size_ + start;
  std::memset(header_ + header_size_ + payload_size(), 0, AlignUp(end, 4) - payload_size());
  const uint32_t newPayload = static_cast<uint32_t>(end);
  std::memcpy(header_, &newPayload, sizeof(newPayload));
  return at;
}

bool Pickle::WriteInt(int32_t value) { return WriteBytes(&value, sizeof(value)); }

bool Pickle::WriteString(const std::string& bytes) {
  if (bytes.size() > kMaxMessageBytes) return false;
  uint8_t* at = BeginWrite(4 + bytes.size());
  if (!at) return false;
  const int32_t length = static_cast<int32_t>(bytes.size());
  std::memcpy(at, &length, sizeof(length));
  if (!bytes.empty()) std::memcpy(at + 4, bytes.data(), bytes.size());
  return true;
}

bool Pickle::WriteBytes(const void* bytes, size_t length) {
  if (length > 0 && !bytes) return false;
  uint8_t* at = BeginWrite(length);
  if (!at) return false;
  if (length) std::memcpy(at, bytes, length);
  return true;
}

PickleIterator::PickleIterator(const Pickle& pickle) noexcept
    : cursor_(pickle.payload()), end_(pickle.payload() ? pickle.payload() + pickle.payload_size() : nullptr) {}

const uint8_t* PickleIterator::Advance(size_t length) noexcept {
  if (!cursor_ || !end_) return nullptr;
  const size_t left = static_cast<size_t>(end_ - cursor_);
  if (length > left) return nullptr;
  const uint8_t* at = cursor_;
  // The next field starts on a multiple of 4; the padding of the last field may be missing.
  const size_t step = AlignUp(length, 4);
  cursor_ = step >= left ? end_ : cursor_ + step;
  return at;
}

bool PickleIterator::ReadInt(int32_t* value) noexcept {
  const uint8_t* at = Advance(4);
  if (!at || !value) return false;
  std::memcpy(value, at, 4);
  return true;
}

bool PickleIterator::ReadString(std::string* bytes) {
  int32_t length = 0;
  const uint8_t* saved = cursor_;
  if (!ReadInt(&length) || length < 0) {
    cursor_ = saved;
    return false;
  }
  const uint8_t* at = Advance(static_cast<size_t>(length));
  if (!at || !bytes) {
    cursor_ = saved;
    return false;
  }
  bytes->assign(reinterpret_cast<const char*>(at), static_cast<size_t>(length));
  return true;
}

bool PickleIterator::ReadBytes(const uint8_t** bytes, size_t length) noexcept {
  const uint8_t* at = Advance(length);
  if (!at || !bytes) return false;
  *bytes = at;
  return true;
}

namespace IPC {

Message::Message(int32_t routingId, uint32_t type, uint32_t priority) : Pickle(kHeaderSize) {
  const uint32_t sequence = SequenceCounter().fetch_add(1) + 1;
  SetHeaderWord(4, static_cast<uint32_t>(routingId));
  SetHeaderWord(8, type);
  SetHeaderWord(12, MakeFlags(::GetCurrentProcessId(), sequence, priority));
}

Message::Message(const uint8_t* data, size_t length) : Pickle(data, length, kHeaderSize) {}

uint32_t Message::MakeFlags(uint32_t processId, uint32_t sequence, uint32_t priority) noexcept {
  return (((processId << 14) | (sequence & 0x3FFF)) << 8) | (priority & 0xFF);
}

}  // namespace IPC
