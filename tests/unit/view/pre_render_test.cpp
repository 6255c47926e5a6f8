// The pre-render of a still picture, on real files, real WIC decoding, real GDI device contexts and
// Direct2D under the test display.
#include <gtest/gtest.h>

#include "appconfig/app_config.h"
#include "tests/unit/view/pre_render_test_support.h"
#include "view/pre_render.h"
#include "view/pre_render_tasks.h"
#include "view/system_cache.h"

using pre_render_test::Canvas;
using pre_render_test::FakeOwner;
using pre_render_test::Near;
using pre_render_test::PreRenderTest;
using testing_support::PumpMessagesUntil;
using testing_support::PumpPostedMessages;
using Source = CPreRenderKeyFrame::FrameSource;

namespace {

constexpr uint32_t kRed = 0xFF0000, kLime = 0x00FF00, kBlue = 0x0000FF, kYellow = 0xFFFF00;

// Draws at the owner's zoom into the canvas with the picture placed as the view would place it:
// the drawn image at (x, y) with the drawn size for that zoom.
void DrawAt(CPreRenderKeyFrame& render, const FakeOwner& owner, Canvas& canvas, int x, int y) {
  const int w = pre_render::ScaledExtent(owner.zoom, owner.ImageWidth());
  const int h = pre_render::ScaledExtent(owner.zoom, owner.ImageHeight());
  render.Draw(canvas.Dc(), x, y, x + w, y + h);
}

}  // namespace

TEST(PreRenderExtent, IntegerPartAndOneBelowTwo) {
  EXPECT_EQ(pre_render::ScaledExtent(0.6f, 1), 1);
  EXPECT_EQ(pre_render::ScaledExtent(0.6f, 3), 1);  // 1.8 is below 2
  EXPECT_EQ(pre_render::ScaledExtent(0.6f, 4), 2);
  EXPECT_EQ(pre_render::ScaledExtent(0.3f, 1281), 384);
  EXPECT_EQ(pre_render::ScaledExtent(1.0f, 1281), 1281);
  EXPECT_EQ(pre_render::ScaledExtent(0.0f, 1000), 1);
  EXPECT_EQ(pre_render::ScaledExtent(1e9f, 1000000), INT_MAX);
}

TEST_F(PreRenderTest, PictureOf1281SquaredWaitsForTheBackgroundFrame) {
  Open(L"big1281.png", true);
  FakeOwner owner(1281, 1281, 0.25f);
  auto render = std::make_unique<CPreRenderKeyFrame>(owner, 320, 320);
  EXPECT_EQ(render->GetFrameSource(), Source::kTask);
  EXPECT_FALSE(render->IsFitFrameReady());
  EXPECT_EQ(render->GetFrame(1), nullptr) << "only a final fit bitmap counts beyond index 0";
  EXPECT_EQ(owner.redraws, 0);

  ASSERT_TRUE(PumpMessagesUntil([&] { return render->IsFitFrameReady(); }));
  ASSERT_TRUE(PumpPostedMessages());
  ASSERT_NE(render->GetFrame(0), nullptr);
  EXPECT_EQ(render->GetFrame(1), render->GetFrame(0));
  EXPECT_GE(owner.redraws, 1);
  EXPECT_EQ(owner.view.arrived, 1) << "the view hears of the first bitmap once";
  BITMAP info{};
  ASSERT_TRUE(::GetObjectW(render->GetFrame(0), sizeof(info), &info));
  EXPECT_EQ(info.bmWidth, 320);
  EXPECT_EQ(info.bmHeight, 320);
}

TEST_F(PreRenderTest, OnePixelFewerDecodesAtOnce) {
  Open(L"big1280.png");
  FakeOwner owner(1280, 1281, 0.25f);
  CPreRenderKeyFrame render(owner, 320, 320);
  EXPECT_EQ(render.GetFrameSource(), Source::kImmediate);
  EXPECT_TRUE(render.IsFitFrameReady());
  EXPECT_NE(render.GetFrame(1), nullptr);
  ASSERT_TRUE(PumpPostedMessages());
  EXPECT_EQ(owner.view.arrived, 1);
}

// A large JPEG cut short after its header: the size is known, the pixels are not. The view hears
// that nothing can be shown (and shows the load error instead of an empty view).
TEST_F(PreRenderTest, PixelsThatCannotBeReadAreReportedToTheView) {
  Open(L"cut_large.jpg");
  FakeOwner owner(1400, 1400, 0.25f);
  CPreRenderKeyFrame render(owner, 350, 350);
  ASSERT_TRUE(PumpMessagesUntil([&] { return render.IsFitFrameReady(); }));
  ASSERT_TRUE(PumpPostedMessages());
  EXPECT_EQ(render.GetFrame(0), nullptr);
  EXPECT_EQ(owner.view.failed, 1);
  EXPECT_EQ(owner.view.arrived, 0);
}

TEST_F(PreRenderTest, ZoomAtTheFitStretchesTheFitBitmap) {
  Open(L"quad.png");
  FakeOwner owner(200, 200, 0.5f);
  CPreRenderKeyFrame render(owner, 100, 100);
  ASSERT_TRUE(render.IsFitFrameReady());
  Canvas canvas(200, 200);
  DrawAt(render, owner, canvas, 50, 50);
  EXPECT_FALSE(render.HasZoomContext()) << "a draw at the fit starts no zoom context";
  EXPECT_TRUE(Near(canvas.Pixel(70, 70), kRed));
  EXPECT_TRUE(Near(canvas.Pixel(130, 70), kLime));
  EXPECT_TRUE(Near(canvas.Pixel(70, 130), kBlue));
  EXPECT_TRUE(Near(canvas.Pixel(130, 130), kYellow));
  EXPECT_EQ(canvas.Pixel(20, 20), 0xFFFFFFu) << "nothing is drawn outside the rectangle";
}

TEST_F(PreRenderTest, SmallPictureKeyFramesForEachFitRatio) {
  Open(L"quad.png");
  struct Case {
    float fit;
    float a, b, c;
  };
  const Case cases[] = {{0.3f, 0.6f, 0.0f, 1.0f}, {0.2f, 0.4f, 0.8f, 1.0f}, {0.6f, 0.0f, 0.0f, 1.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fit);
    FakeOwner owner(200, 200, c.fit);
    CPreRenderKeyFrame render(owner, pre_render::ScaledExtent(c.fit, 200), pre_render::ScaledExtent(c.fit, 200));
    owner.zoom = c.fit * 1.5f;
    Canvas canvas(200, 200);
    DrawAt(render, owner, canvas, 0, 0);
    // Small pictures get their key frames during the draw itself.
    EXPECT_TRUE(render.HasZoomContext());
    EXPECT_FLOAT_EQ(render.KeyFrameRatio(0), c.a);
    EXPECT_FLOAT_EQ(render.KeyFrameRatio(1), c.b);
    EXPECT_FLOAT_EQ(render.KeyFrameRatio(2), c.c);
  }
}

TEST_F(PreRenderTest, LargePictureKeyFramesArriveFromTheQueue) {
  Open(L"bigquad.png");
  FakeOwner owner(1400, 1400, 0.2f);
  CPreRenderKeyFrame render(owner, 280, 280);
  ASSERT_TRUE(PumpMessagesUntil([&] { return render.IsFitFrameReady(); }));
  owner.zoom = 0.3f;
  Canvas canvas(280, 280);
  DrawAt(render, owner, canvas, -70, -70);
  EXPECT_TRUE(render.HasZoomContext());
  EXPECT_EQ(render.KeyFrameRatio(0), 0.0f) << "the frames are made in the background";
  const int redrawsBefore = owner.redraws;
  ASSERT_TRUE(PumpMessagesUntil([&] { return render.KeyFrameRatio(2) != 0.0f; }));
  EXPECT_FLOAT_EQ(render.KeyFrameRatio(0), 0.4f);
  EXPECT_FLOAT_EQ(render.KeyFrameRatio(1), 0.8f);
  EXPECT_FLOAT_EQ(render.KeyFrameRatio(2), 1.0f);
  // A and B are handed over while the build goes on, then the whole set once more.
  EXPECT_GE(owner.redraws - redrawsBefore, 3);

  // At 0.3 the picture is 420 pixels: quadrants meet at 210, shown at 140 in the canvas.
  canvas.Fill(0x808080);
  DrawAt(render, owner, canvas, -70, -70);
  EXPECT_TRUE(Near(canvas.Pixel(100, 100), kRed));
  EXPECT_TRUE(Near(canvas.Pixel(180, 100), kLime));
  EXPECT_TRUE(Near(canvas.Pixel(100, 180), kBlue));
  EXPECT_TRUE(Near(canvas.Pixel(180, 180), kYellow));
}

TEST_F(PreRenderTest, ZoomedDrawShowsTheFullResolutionDetail) {
  Open(L"quad.png");
  FakeOwner owner(200, 200, 0.25f);
  CPreRenderKeyFrame render(owner, 50, 50);
  owner.zoom = 2.0f;
  Canvas canvas(200, 200);
  // 400 × 400 drawn, scrolled so that image pixel (50, 50) is at the canvas origin.
  DrawAt(render, owner, canvas, -100, -100);
  ASSERT_FLOAT_EQ(render.KeyFrameRatio(2), 1.0f);
  EXPECT_FALSE(render.KeyFrameUsesGdiplus(2));
  EXPECT_TRUE(Near(canvas.Pixel(50, 50), kRed));
  EXPECT_TRUE(Near(canvas.Pixel(150, 50), kLime));
  EXPECT_TRUE(Near(canvas.Pixel(50, 150), kBlue));
  EXPECT_TRUE(Near(canvas.Pixel(150, 150), kYellow));
  // The one-pixel line at x = 101 lands at 102..103; the 50-pixel fit bitmap has lost it.
  const uint32_t line = canvas.Pixel(103, 120);
  EXPECT_LT((line >> 8) & 0xFF, 100u) << std::hex << line;
  EXPECT_LT(line & 0xFF, 100u) << std::hex << line;
}

TEST_F(PreRenderTest, RecreateTargetDropsTheKeyFramesAndTheNextDrawBuildsThemAgain) {
  Open(L"quad.png");
  FakeOwner owner(200, 200, 0.3f);
  CPreRenderKeyFrame render(owner, 60, 60);
  owner.zoom = 0.9f;
  Canvas canvas(200, 200);
  DrawAt(render, owner, canvas, 0, 0);
  ASSERT_FLOAT_EQ(render.KeyFrameRatio(0), 0.6f);
  const HWND before = render.GetHwnd();
  render.RecreateTarget();
  EXPECT_FALSE(render.HasZoomContext());
  EXPECT_EQ(render.KeyFrameRatio(0), 0.0f);
  EXPECT_EQ(render.KeyFrameRatio(2), 0.0f);
  EXPECT_FALSE(::IsWindow(before));
  EXPECT_TRUE(::IsWindow(render.GetHwnd()));
  EXPECT_NE(render.GetFrame(0), nullptr) << "the fit bitmap stays";
  DrawAt(render, owner, canvas, 0, 0);
  EXPECT_FLOAT_EQ(render.KeyFrameRatio(0), 0.6f);
  EXPECT_FLOAT_EQ(render.KeyFrameRatio(2), 1.0f);
}

TEST_F(PreRenderTest, DestroyedWhileItsTasksRunHearsNothing) {
  Open(L"bigquad.png");
  FakeOwner owner(1400, 1400, 0.2f);
  auto render = std::make_unique<CPreRenderKeyFrame>(owner, 280, 280);
  ASSERT_TRUE(PumpMessagesUntil([&] { return render->IsFitFrameReady(); }));
  owner.zoom = 0.5f;
  Canvas canvas(100, 100);
  DrawAt(*render, owner, canvas, 0, 0);
  CAsyncTaskQueue& queue = CCurrentImage::Get().Queue();
  EXPECT_EQ(queue.GetRunningCount() + queue.GetPendingCount(), 1u);
  const int redraws = owner.redraws;
  render.reset();
  // A second pre-render made at once, as the view does after a resize, must not get the results.
  auto fresh = std::make_unique<CPreRenderKeyFrame>(owner, 280, 280);
  ASSERT_TRUE(PumpMessagesUntil([&] { return queue.GetRunningCount() + queue.GetPendingCount() == 0; }));
  ASSERT_TRUE(PumpPostedMessages());
  EXPECT_EQ(fresh->KeyFrameRatio(2), 0.0f);
  EXPECT_FALSE(fresh->HasZoomContext());
  // Only the fresh pre-render's own fit frame redraws.
  EXPECT_LE(owner.redraws - redraws, 1);
}

TEST_F(PreRenderTest, ForgedCompletionMessagesAreIgnored) {
  Open(L"bigquad.png", true);
  FakeOwner owner(1400, 1400, 0.2f);
  CPreRenderKeyFrame render(owner, 280, 280);
  // Addresses that are no task of this window (and one that is not even memory) change nothing.
  static int notATask = 0;
  ::SendMessageW(render.GetHwnd(), WM_FIT_VIEW_READY, reinterpret_cast<WPARAM>(&notATask), 0);
  ::SendMessageW(render.GetHwnd(), WM_FIT_VIEW_READY, 0x10, 0);
  ::SendMessageW(render.GetHwnd(), WM_ZOOM_FRAMES_READY, 0x10, 0);
  ::SendMessageW(render.GetHwnd(), WM_SYSTEM_CACHE_READY, 0, 0);
  ASSERT_EQ(render.GetFrameSource(), Source::kTask);
  EXPECT_FALSE(render.IsFitFrameReady());
  EXPECT_EQ(owner.redraws, 0);
  ASSERT_TRUE(PumpMessagesUntil([&] { return render.IsFitFrameReady(); }));
}

TEST_F(PreRenderTest, ViewEnhancementReachesTheZoomFrames) {
  Open(L"quad.png");
  struct ModeGuard {
    int saved = AppConfig::Get().view_enhance_mode;
    ~ModeGuard() { AppConfig::Get().view_enhance_mode = saved; }
  } guard;
  AppConfig::Get().view_enhance_mode = 1;  // brightness + 20
  FakeOwner owner(200, 200, 0.25f);
  CPreRenderKeyFrame render(owner, 50, 50);
  owner.zoom = 2.0f;
  Canvas canvas(200, 200);
  DrawAt(render, owner, canvas, -100, -100);
  ASSERT_FLOAT_EQ(render.KeyFrameRatio(2), 1.0f);
  EXPECT_TRUE(Near(canvas.Pixel(50, 150), 0x1414FF, 6)) << std::hex << canvas.Pixel(50, 150);
  // Built again, the frames are enhanced once, not once more.
  render.RecreateTarget();
  DrawAt(render, owner, canvas, -100, -100);
  EXPECT_TRUE(Near(canvas.Pixel(50, 150), 0x1414FF, 6)) << std::hex << canvas.Pixel(50, 150);
}
