// The channel's byte format: what a message looks like on the wire, and that bytes from another
// process are checked before anything is read from them.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "ipc/pickle.h"

namespace {

std::vector<uint8_t> Bytes(const Pickle& pickle) {
  return std::vector<uint8_t>(pickle.data(), pickle.data() + pickle.size());
}

uint32_t Word(const std::vector<uint8_t>& bytes, size_t at) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, 4);
  return value;
}

TEST(ChannelMessage, IsWrittenByteForByte) {
  IPC::Message association(1, 4);
  ASSERT_TRUE(association.WriteString("jpg"));
  ASSERT_TRUE(association.WriteInt(1));
  const std::vector<uint8_t> bytes = Bytes(association);
  ASSERT_EQ(bytes.size(), 28u);
  EXPECT_EQ(Word(bytes, 0), 12u);  // payload size
  EXPECT_EQ(Word(bytes, 4), 1u);   // routing
  EXPECT_EQ(Word(bytes, 8), 4u);   // type
  EXPECT_EQ(Word(bytes, 12) & 0xFF, 2u);  // priority
  EXPECT_EQ(Word(bytes, 12) >> 22, ::GetCurrentProcessId() & 0x3FF);
  EXPECT_EQ(Word(bytes, 16), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes.data()) + 20, 4), std::string("jpg\0", 4));
  EXPECT_EQ(Word(bytes, 24), 1u);

  const IPC::Message quit(1, 2);
  EXPECT_EQ(quit.size(), 16u);
  EXPECT_EQ(quit.payload_size(), 0u);

  // One message after another: the sequence in bits 8 to 21 moves by one and wraps after 16383.
  const IPC::Message next(1, 2);
  EXPECT_EQ(((next.flags() >> 8) & 0x3FFF), ((quit.flags() >> 8) + 1) & 0x3FFF);
  EXPECT_EQ(IPC::Message::MakeFlags(5, 16384, 2), IPC::Message::MakeFlags(5, 0, 2));
  EXPECT_EQ(IPC::Message::MakeFlags(5, 16383, 2), (((5u << 14) | 16383u) << 8) | 2u);
}

TEST(ChannelMessage, GrowsAndCopiesWithoutLosingFields) {
  IPC::Message message(0, 9);
  std::string long_text(1000, 'x');
  for (int i = 0; i < 50; ++i) ASSERT_TRUE(message.WriteInt(i));
  ASSERT_TRUE(message.WriteString(long_text));
  ASSERT_TRUE(message.WriteBytes("abc", 3));
  const IPC::Message copy = message;
  const IPC::Message received(copy.data(), copy.size());
  ASSERT_TRUE(received.IsValid());
  PickleIterator it(received);
  for (int i = 0; i < 50; ++i) {
    int32_t value = -1;
    ASSERT_TRUE(it.ReadInt(&value));
    EXPECT_EQ(value, i);
  }
  std::string text;
  ASSERT_TRUE(it.ReadString(&text));
  EXPECT_EQ(text, long_text);
  const uint8_t* raw = nullptr;
  ASSERT_TRUE(it.ReadBytes(&raw, 3));
  EXPECT_EQ(std::memcmp(raw, "abc", 3), 0);
  int32_t beyond = 0;
  EXPECT_FALSE(it.ReadInt(&beyond));

  // A message never grows past the cap; the refused write leaves it as it was.
  IPC::Message huge(0, 9);
  EXPECT_FALSE(huge.WriteString(std::string(Pickle::kMaxMessageBytes, 'y')));
  EXPECT_EQ(huge.payload_size(), 0u);
}

TEST(ChannelMessage, ReceivedBytesThatLieAreRefused) {
  IPC::Message good(2, 4);
  ASSERT_TRUE(good.WriteString("png"));
  std::vector<uint8_t> bytes = Bytes(good);
  const auto with_payload_size = [&](uint32_t size) {
    std::vector<uint8_t> copy = bytes;
    std::memcpy(copy.data(), &size, 4);
    return copy;
  };
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  const Case refused[] = {
      {"shorter than a word", {1, 0, 0}},
      {"payload larger than the buffer", with_payload_size(1000)},
      {"payload leaves no header", with_payload_size(static_cast<uint32_t>(bytes.size()))},
      {"header not a multiple of four", with_payload_size(static_cast<uint32_t>(bytes.size() - 17))},
      {"header of another size", with_payload_size(static_cast<uint32_t>(bytes.size() - 8))},
  };
  for (const Case& c : refused) {
    const IPC::Message message(c.bytes.data(), c.bytes.size());
    EXPECT_FALSE(message.IsValid()) << c.name;
    EXPECT_EQ(message.type(), 0u) << c.name;
  }
  ASSERT_TRUE(IPC::Message(bytes.data(), bytes.size()).IsValid());

  // A string whose length runs past the payload, or is negative, reads nothing.
  for (int32_t length : {100, -5, 0x7FFFFFFF}) {
    std::vector<uint8_t> lying = bytes;
    std::memcpy(lying.data() + 16, &length, 4);
    const IPC::Message message(lying.data(), lying.size());
    ASSERT_TRUE(message.IsValid());
    PickleIterator it(message);
    std::string text = "unchanged";
    EXPECT_FALSE(it.ReadString(&text)) << length;
    EXPECT_EQ(text, "unchanged");
  }
}

TEST(ChannelMessage, RandomBytesNeverReadOutsideTheBuffer) {
  std::mt19937 random(1234);
  IPC::Message seed(0, 4);
  seed.WriteString("jpeg");
  seed.WriteInt(1);
  const std::vector<uint8_t> base = Bytes(seed);
  for (int round = 0; round < 20000; ++round) {
    std::vector<uint8_t> bytes = base;
    const int edits = 1 + static_cast<int>(random() % 4);
    for (int e = 0; e < edits; ++e) {
      switch (random() % 3) {
        case 0: bytes[random() % bytes.size()] = static_cast<uint8_t>(random()); break;
        case 1: bytes.resize(random() % (bytes.size() + 1)); break;
        default: bytes.insert(bytes.begin() + static_cast<long>(random() % (bytes.size() + 1)), static_cast<uint8_t>(random())); break;
      }
      if (bytes.empty()) bytes.push_back(0);
    }
    // Exactly the bytes received, in a buffer of their own, so that a read past the end would be
    // a read past the allocation.
    std::vector<uint8_t> exact(bytes);
    const IPC::Message message(exact.data(), exact.size());
    if (!message.IsValid()) continue;
    EXPECT_LE(message.size(), exact.size());
    PickleIterator it(message);
    std::string text;
    int32_t value = 0;
    const uint8_t* raw = nullptr;
    while (it.ReadString(&text) || it.ReadInt(&value) || it.ReadBytes(&raw, 1)) {
    }
  }
}

}  // namespace
