// The view drawing over real pictures opened as the current image, rendered into real device
// contexts.
#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cmath>
#include <memory>
#include <vector>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "image/current_image.h"
#include "image/obj_image.h"
#include "image/save/png_writer.h"
#include "image/wic/factory.h"
#include "tests/support/test_support.h"
#include "view/system_cache.h"
#include "view/title_info.h"
#include "view/ui_event.h"
#include "view/view_renderer.h"

namespace {

constexpr COLORREF kTopLeft = RGB(220, 20, 20);
constexpr COLORREF kTopRight = RGB(20, 200, 20);
constexpr COLORREF kBottomLeft = RGB(20, 20, 220);
constexpr COLORREF kBottomRight = RGB(240, 240, 40);

// A picture of four coloured quarters, with a 1-pixel black grid every 50 pixels so that any
// shift of the drawing shows.
bool WriteQuarters(const std::wstring& path, int width, int height) {
  FCObjImage image;
  if (!image.Create(width, height, 24)) return false;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = image.RowPointer(y);
    for (int x = 0; x < width; ++x) {
      COLORREF c = y < height / 2 ? (x < width / 2 ? kTopLeft : kTopRight) : (x < width / 2 ? kBottomLeft : kBottomRight);
      if (x % 50 == 0 || y % 50 == 0) c = RGB(0, 0, 0);
      row[x * 3 + 0] = GetBValue(c);
      row[x * 3 + 1] = GetGValue(c);
      row[x * 3 + 2] = GetRValue(c);
    }
  }
  return WriteImagePng(image, path);
}

bool Near(COLORREF a, COLORREF b, int tolerance = 40) {
  return std::abs(GetRValue(a) - GetRValue(b)) <= tolerance && std::abs(GetGValue(a) - GetGValue(b)) <= tolerance &&
         std::abs(GetBValue(a) - GetBValue(b)) <= tolerance;
}

std::vector<uint32_t> BufferPixels(const CViewRenderer& renderer) {
  const auto& buffer = renderer.Buffer();
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = buffer.Width();
  info.bmiHeader.biHeight = -buffer.Height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  std::vector<uint32_t> pixels(static_cast<size_t>(buffer.Width()) * buffer.Height());
  ::GdiFlush();
  ::GetDIBits(buffer.GetSafeHdc(), buffer.Bitmap(), 0, buffer.Height(), pixels.data(), &info, DIB_RGB_COLORS);
  return pixels;
}

class ZoomEvents : public CUIEventObserver {
 public:
  void OnUIEvent(const CUIEventParam& event) override {
    if (event.GetType() != CUIEventViewZoomChanged::Type()) return;
    const auto& zoom = static_cast<const CUIEventViewZoomChanged&>(event);
    zooms.push_back(zoom.Zoom());
    fits.push_back(zoom.FitRatio());
  }
  std::vector<float> zooms;
  std::vector<float> fits;
};

class ViewRendererTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateWicFactory());
    CCurrentImage::Get().SetMessagesEnabled(false);
    AppConfig::Get().view_enhance_mode = 0;
    config_.max_zoom_ratio = 8;
    config_.RefreshBackgroundBrush();
  }
  void TearDown() override {
    renderer_.reset();
    CCurrentImage::Get().Queue().DrainRunning();
    testing_support::PumpPostedMessages(2000);
    CCurrentImage::Get().Clear();
  }

  // Opens the picture and makes a renderer for an area of width × height, waiting until the fit
  // frame is final.
  void Show(const std::wstring& path, int width, int height) {
    CCurrentImage::Get().Open(path);
    ASSERT_NE(CCurrentImage::Get().Loader(), nullptr);
    bool loading = true;
    renderer_ = std::make_unique<CViewRenderer>(width, height, nullptr, &loading, config_);
    auto* still = dynamic_cast<CPreRenderKeyFrame*>(renderer_->PreRender());
    ASSERT_NE(still, nullptr);
    ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return still->IsFitFrameReady(); }, 30000));
    renderer_->Render();
  }

  // The image pixel under an area point, from the renderer's own placement.
  POINT ImagePointAt(int x, int y) const {
    const POINT origin = renderer_->Geometry().DrawnOrigin();
    return POINT{static_cast<LONG>(std::floor((x - origin.x) / renderer_->XScale())),
                 static_cast<LONG>(std::floor((y - origin.y) / renderer_->YScale()))};
  }

  COLORREF BufferPixel(int x, int y) const { return ::GetPixel(renderer_->Buffer().GetSafeHdc(), x, y); }

  FCAutoInitializeCOM com_;
  testing_support::TempDir dir_;
  AppConfig config_{L""};
  std::unique_ptr<CViewRenderer> renderer_;
};

TEST_F(ViewRendererTest, FitsTheAreaAndTogglesBetweenFitAndItsTarget) {
  const std::wstring path = dir_.File(L"quarters.png");
  ASSERT_TRUE(WriteQuarters(path, 800, 600));
  Show(path, 200, 150);
  EXPECT_FLOAT_EQ(renderer_->Limits().fit_ratio, 0.25f);
  EXPECT_FLOAT_EQ(renderer_->Limits().toggle_target, 0.5f);
  EXPECT_EQ(renderer_->Geometry().DrawnWidth(), 200);
  EXPECT_EQ(renderer_->Geometry().DrawnHeight(), 150);
  EXPECT_EQ(renderer_->Geometry().OverflowX(), 0);
  EXPECT_TRUE(Near(BufferPixel(30, 30), kTopLeft));
  EXPECT_TRUE(Near(BufferPixel(170, 120), kBottomRight));

  renderer_->ToggleZoom(100, 75);
  EXPECT_FLOAT_EQ(renderer_->CurrentZoom(), 0.5f);
  EXPECT_EQ(renderer_->Geometry().DrawnWidth(), 400);
  renderer_->ToggleZoom(100, 75);
  EXPECT_FLOAT_EQ(renderer_->CurrentZoom(), 0.25f);
  renderer_->ToggleActualSize();
  EXPECT_FLOAT_EQ(renderer_->CurrentZoom(), 1.0f);
  // About the centre of the area: the middle of the picture stays there.
  const POINT middle = ImagePointAt(100, 75);
  EXPECT_NEAR(middle.x, 400, 1);
  EXPECT_NEAR(middle.y, 300, 1);
  renderer_->ToggleActualSize();
  EXPECT_FLOAT_EQ(renderer_->CurrentZoom(), 0.25f);

  // With the double-click setting on, the toggle goes to full size.
  config_.double_click_action = 1;
  renderer_->SetViewSize(201, 150);
  EXPECT_FLOAT_EQ(renderer_->Limits().toggle_target, 1.0f);
}

TEST_F(ViewRendererTest, SmallPictureIsCentredAndNeverEnlarged) {
  const std::wstring path = dir_.File(L"small.png");
  ASSERT_TRUE(WriteQuarters(path, 100, 100));
  Show(path, 800, 600);
  EXPECT_FLOAT_EQ(renderer_->Limits().fit_ratio, 1.0f);
  EXPECT_EQ(renderer_->Geometry().DrawnOrigin().x, 350);
  EXPECT_EQ(renderer_->Geometry().DrawnOrigin().y, 250);
  const COLORREF canvas = config_.canvas_back_color;
  EXPECT_TRUE(Near(BufferPixel(10, 10), canvas, 2));
  EXPECT_TRUE(Near(BufferPixel(360, 260), kTopLeft, 2));
  EXPECT_TRUE(Near(BufferPixel(440, 340), kBottomRight, 2));
  // Nothing to drag: the buffer does not change.
  const auto before = BufferPixels(*renderer_);
  renderer_->Pan(40, 40);
  EXPECT_EQ(BufferPixels(*renderer_), before);
}

TEST_F(ViewRendererTest, WheelZoomStaysWithinItsLimitsAndKeepsThePointInPlace) {
  const std::wstring path = dir_.File(L"quarters.png");
  ASSERT_TRUE(WriteQuarters(path, 1000, 800));
  config_.max_zoom_ratio = 4;
  Show(path, 250, 200);
  ZoomEvents events;
  const float fit = renderer_->Limits().fit_ratio;
  ASSERT_FLOAT_EQ(fit, 0.25f);

  // Zoom in about a point off centre: the image pixel under it stays under it.
  const POINT before = ImagePointAt(60, 50);
  renderer_->ZoomBy(3, 60, 50);
  EXPECT_NEAR(renderer_->CurrentZoom(), 0.25f * 1.3f, 1e-5);
  const POINT after = ImagePointAt(60, 50);
  EXPECT_NEAR(after.x, before.x, 4);
  EXPECT_NEAR(after.y, before.y, 4);
  ASSERT_EQ(events.zooms.size(), 1u);
  EXPECT_FLOAT_EQ(events.fits[0], fit);

  for (int i = 0; i < 40; ++i) renderer_->ZoomBy(5, 125, 100);
  EXPECT_FLOAT_EQ(renderer_->CurrentZoom(), 4.0f);
  for (int i = 0; i < 80; ++i) renderer_->ZoomBy(-5, 125, 100);
  EXPECT_FLOAT_EQ(renderer_->CurrentZoom(), 0.05f);  // min(fit, 0.05)
  EXPECT_EQ(renderer_->Geometry().DrawnWidth(), 50);

  // A zoom that leaves the drawn size as it is raises no event.
  const size_t count = events.zooms.size();
  renderer_->SetZoom(0.0501f, 10, 10);
  EXPECT_EQ(events.zooms.size(), count);
}

TEST_F(ViewRendererTest, DraggingStopsAtTheEdgesAndDrawsWhatARenderWould) {
  const std::wstring path = dir_.File(L"quarters.png");
  ASSERT_TRUE(WriteQuarters(path, 800, 600));
  Show(path, 200, 150);
  renderer_->SetZoom(1.0f, 0, 0);
  testing_support::PumpPostedMessages(2000);
  ASSERT_EQ(renderer_->Geometry().OverflowX(), 600);
  renderer_->Pan(-130, -70);  // the picture follows the mouse: the view moves right and down
  EXPECT_EQ(renderer_->Geometry().ScrollRect().left, 130);
  EXPECT_EQ(renderer_->Geometry().ScrollRect().top, 70);
  // Only the uncovered strips were drawn; the result equals a full render.
  const auto panned = BufferPixels(*renderer_);
  renderer_->Render();
  EXPECT_EQ(BufferPixels(*renderer_), panned);

  renderer_->Pan(INT_MIN, INT_MIN);  // however far the mouse went
  EXPECT_EQ(renderer_->Geometry().ScrollRect().right, 800);
  EXPECT_EQ(renderer_->Geometry().ScrollRect().bottom, 600);
  EXPECT_TRUE(Near(BufferPixel(190, 140), kBottomRight));
  renderer_->Pan(INT_MAX, 0);
  EXPECT_EQ(renderer_->Geometry().ScrollRect().left, 0);
  EXPECT_EQ(renderer_->Geometry().ScrollRect().top, 450);
  EXPECT_TRUE(Near(BufferPixel(10, 140), kBottomLeft));
  const auto before = BufferPixels(*renderer_);
  renderer_->Pan(30, 0);  // already at the left edge
  EXPECT_EQ(BufferPixels(*renderer_), before);
}

TEST_F(ViewRendererTest, LongPictureOpensAtFullSizeShowingItsTop) {
  const std::wstring path = dir_.File(L"long.png");
  ASSERT_TRUE(WriteQuarters(path, 300, 1500));
  config_.long_image_mode = 1;
  Show(path, 400, 300);
  EXPECT_FLOAT_EQ(renderer_->CurrentZoom(), 1.0f);
  EXPECT_EQ(renderer_->Geometry().ScrollRect().top, 0);
  EXPECT_EQ(renderer_->Geometry().DrawnOrigin().x, 50);
  EXPECT_EQ(renderer_->Geometry().DrawnOrigin().y, 0);
  renderer_.reset();
  config_.long_image_mode = 0;
  Show(path, 400, 300);
  EXPECT_FLOAT_EQ(renderer_->CurrentZoom(), 0.2f);
}

TEST_F(ViewRendererTest, LiveResizeStretchesTheFitFrameAndKeepsTheZoom) {
  const std::wstring path = dir_.File(L"quarters.png");
  ASSERT_TRUE(WriteQuarters(path, 800, 600));
  Show(path, 200, 150);
  renderer_->SetZoom(0.5f, 100, 75);
  testing_support::PumpPostedMessages(2000);
  view_render::CBufferedView target(400, 200);
  ASSERT_TRUE(target.IsValid());
  renderer_->Paint(target.GetSafeHdc(), 400, 200, true);
  // Fitted into 400 × 200: 266 × 200 centred, canvas on both sides.
  EXPECT_TRUE(Near(::GetPixel(target.GetSafeHdc(), 40, 100), config_.canvas_back_color, 2));
  EXPECT_TRUE(Near(::GetPixel(target.GetSafeHdc(), 90, 30), kTopLeft));
  EXPECT_TRUE(Near(::GetPixel(target.GetSafeHdc(), 310, 170), kBottomRight));
  EXPECT_FLOAT_EQ(renderer_->CurrentZoom(), 0.5f);
  EXPECT_EQ(CTitleInfo::Get().Facts().zoom_percent, 33);  // the temporary fit went to the title
  // Not sizing: a plain copy of the buffer.
  renderer_->Paint(target.GetSafeHdc(), 400, 200, false);
  EXPECT_EQ(::GetPixel(target.GetSafeHdc(), 10, 10), BufferPixel(10, 10));
}

}  // namespace
