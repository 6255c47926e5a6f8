// Two real channel windows in one process, as the viewer and its companion: routing, the check of
// received bytes, and the watch that notices the peer going and finds a new one.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "ipc/channel.h"
#include "tests/support/test_support.h"

namespace {

class Recorder : public IChannelListener2 {
 public:
  explicit Recorder(int32_t routing) : routing_(routing) {}
  void OnMessageReceived(const IPC::Message& message) override { types.push_back(message.type()); }
  int32_t GetRoutingID() const override { return routing_; }
  void OnPeerGone(bool) override { ++gone; }
  std::vector<uint32_t> types;
  int gone = 0;

 private:
  int32_t routing_;
};

std::wstring UniqueName() { return L"QlTest-" + std::to_wstring(::GetCurrentProcessId()) + L"-" + std::to_wstring(::GetTickCount()); }

TEST(Channel, RoutesByIdAndDropsBytesThatDoNotHoldAMessage) {
  const std::wstring name = UniqueName();
  CChannel server;
  CChannel client;
  ASSERT_TRUE(server.Open(name, false));
  ASSERT_TRUE(client.Open(name, true));
  Recorder viewer(2), other(7);
  client.AddListener(&viewer);
  client.AddListener(&other);

  // The companion's side speaks to the viewer's: routing 0 reaches both, 2 only the viewer, 1 none.
  for (int32_t routing : {0, 2, 1}) ASSERT_TRUE(server.Send(IPC::Message(routing, 10 + routing), true));
  EXPECT_EQ(viewer.types, (std::vector<uint32_t>{10, 12}));
  EXPECT_EQ(other.types, (std::vector<uint32_t>{10}));

  // Queued delivery arrives once the receiving thread runs its messages.
  ASSERT_TRUE(server.Send(IPC::Message(2, 30), false));
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return viewer.types.size() == 3; }, 5000));
  EXPECT_EQ(viewer.types.back(), 30u);

  // Bytes that lie about their size are taken and dropped; the receiver goes on working.
  IPC::Message real(2, 40);
  std::vector<uint8_t> lying(real.data(), real.data() + real.size());
  lying[0] = 0xFF;
  COPYDATASTRUCT record{ipc::kCopyDataImmediate, static_cast<DWORD>(lying.size()), lying.data()};
  ::SendMessageW(client.Impl()->Window(), WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&record));
  ASSERT_TRUE(server.Send(IPC::Message(2, 41), true));
  EXPECT_EQ(viewer.types.back(), 41u);
  EXPECT_EQ(viewer.types.size(), 4u);

  client.RemoveListener(&other);
  ASSERT_TRUE(server.Send(IPC::Message(0, 50), true));
  EXPECT_EQ(other.types.size(), 1u);
}

TEST(Channel, NoticesThePeerGoingOnceAndFindsTheNextOne) {
  const std::wstring name = UniqueName();
  CChannel client;
  ASSERT_TRUE(client.Open(name, true));
  Recorder viewer(2);
  client.AddListener(&viewer);
  // Nobody listens yet: the send says so.
  EXPECT_FALSE(client.Send(IPC::Message(1, 1), true));

  auto server = std::make_unique<CChannel>();
  ASSERT_TRUE(server->Open(name, false));
  Recorder companion(1);
  server->AddListener(&companion);
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return client.Impl()->Peer() != nullptr; }, 5000));
  EXPECT_TRUE(client.Send(IPC::Message(1, 3), true));
  EXPECT_EQ(companion.types, std::vector<uint32_t>{3});

  server.reset();
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return viewer.gone == 1; }, 5000));
  testing_support::PumpMessagesUntil([] { return false; }, 2500);
  EXPECT_EQ(viewer.gone, 1);
  EXPECT_FALSE(client.Send(IPC::Message(1, 2), true));

  // A new companion is found on the next send.
  CChannel again;
  ASSERT_TRUE(again.Open(name, false));
  Recorder second(1);
  again.AddListener(&second);
  EXPECT_TRUE(client.Send(IPC::Message(1, 4), true));
  EXPECT_EQ(second.types, std::vector<uint32_t>{4});
}

}  // namespace
