// The pre-render of an animated GIF: frames loaded by GDI+ in the background, stepped by a timer.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "image/obj_image.h"
#include "tests/unit/view/pre_render_test_support.h"
#include "view/pre_render.h"

using pre_render_test::Canvas;
using pre_render_test::FakeOwner;
using pre_render_test::Near;
using pre_render_test::PreRenderTest;
using testing_support::PumpMessagesUntil;

namespace {

std::vector<int> Delays(const CPreRenderAnimation& animation) {
  std::vector<int> delays;
  for (const auto& frame : animation.Frames()) delays.push_back(frame.second);
  return delays;
}

uint32_t FrontColour(CPreRenderAnimation& animation) {
  Canvas canvas(8, 8);
  animation.Draw(canvas.Dc(), 0, 0, 8, 8);
  return canvas.Pixel(4, 4);
}

}  // namespace

TEST_F(PreRenderTest, AnimationStepsThroughItsFramesWithTheirDelays) {
  Open(L"anim3.gif");
  FakeOwner owner(8, 8, 1.0f);
  CPreRenderAnimation animation(owner);
  // The first frame from the decoder shows until the others have loaded.
  ASSERT_EQ(animation.Frames().size(), 1u);
  EXPECT_EQ(animation.Frames().front().second, 0);
  EXPECT_EQ(animation.TimerInterval(), 0);
  EXPECT_NE(animation.GetFrame(0), nullptr);
  EXPECT_TRUE(Near(FrontColour(animation), 0xFF0000));

  ASSERT_TRUE(PumpMessagesUntil([&] { return animation.Frames().size() == 3; }));
  EXPECT_EQ(Delays(animation), (std::vector<int>{50, 80, 120}));
  EXPECT_EQ(animation.TimerInterval(), 50);
  EXPECT_EQ(animation.Frames().front().first->BitsPerPixel(), 24);
  EXPECT_TRUE(Near(FrontColour(animation), 0xFF0000));

  ASSERT_TRUE(PumpMessagesUntil([&] { return owner.redraws >= 1; }));
  EXPECT_EQ(Delays(animation), (std::vector<int>{80, 120, 50}));
  EXPECT_TRUE(Near(FrontColour(animation), 0x00FF00));
  EXPECT_EQ(animation.TimerInterval(), 80);
  ASSERT_TRUE(PumpMessagesUntil([&] { return owner.redraws >= 2; }));
  EXPECT_TRUE(Near(FrontColour(animation), 0x0000FF));
  EXPECT_EQ(animation.TimerInterval(), 120);
}

TEST_F(PreRenderTest, TwentyMillisecondFramesRunOnTheTenMillisecondTimer) {
  Open(L"anim20.gif");
  FakeOwner owner(8, 8, 1.0f);
  CPreRenderAnimation animation(owner);
  ASSERT_TRUE(PumpMessagesUntil([&] { return animation.Frames().size() == 3; }));
  EXPECT_EQ(Delays(animation), (std::vector<int>{20, 20, 20}));
  EXPECT_EQ(animation.TimerInterval(), 10);
  // The delay never changes, so the timer is never set again.
  ASSERT_TRUE(PumpMessagesUntil([&] { return owner.redraws >= 4; }));
  EXPECT_EQ(animation.TimerInterval(), 10);
}

TEST_F(PreRenderTest, FrameWithoutADelayShowsForATenthOfASecond) {
  // GDI+ gives such a frame a delay of 0 in its table (one entry per frame), which means 100 ms.
  Open(L"animnodelay.gif");
  FakeOwner owner(8, 8, 1.0f);
  CPreRenderAnimation animation(owner);
  ASSERT_TRUE(PumpMessagesUntil([&] { return animation.Frames().size() == 3; }));
  EXPECT_EQ(Delays(animation), (std::vector<int>{50, 100, 120}));
  ASSERT_TRUE(PumpMessagesUntil([&] { return owner.redraws >= 1; }));
  EXPECT_EQ(animation.TimerInterval(), 100);
}

TEST_F(PreRenderTest, AnimationDestroyedBeforeItsFramesArriveIsLeftAlone) {
  Open(L"anim3.gif");
  FakeOwner owner(8, 8, 1.0f);
  auto animation = std::make_unique<CPreRenderAnimation>(owner);
  animation.reset();
  CAsyncTaskQueue& queue = CCurrentImage::Get().Queue();
  ASSERT_TRUE(PumpMessagesUntil([&] { return queue.GetRunningCount() + queue.GetPendingCount() == 0; }));
  ::Sleep(100);
  ASSERT_TRUE(testing_support::PumpPostedMessages());
  EXPECT_EQ(owner.redraws, 0);
}
