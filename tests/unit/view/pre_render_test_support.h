#pragma once
// Shared pieces of the pre-render tests: an owner that records what the pre-render asks of it, a
// 32-bit canvas whose pixels can be read back, and the process set-up (COM, WIC, GDI+).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "base/com.h"
#include "base/handles.h"
#include "base/message_window.h"
#include "image/current_image.h"
#include "image/gdiplus_include.h"
#include "image/wic/factory.h"
#include "tests/support/test_support.h"
#include "view/pre_render.h"

namespace pre_render_test {

// Stands in for the view window: counts the frame-arrived notices posted to it.
class ViewWindow : public FCMessageWindow {
 public:
  ViewWindow() { (void)CreateMessageWindow(nullptr); }
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
    if (message == WM_VIEW_FRAME_ARRIVED) ++(wParam == kFitFrameFailed ? failed : arrived);
    return FCMessageWindow::HandleMessage(message, wParam, lParam);
  }
  int arrived = 0;
  int failed = 0;  // notices that no picture could be made
};

class FakeOwner : public IPreRenderOwner {
 public:
  FakeOwner(int width, int height, float zoom) : width_(width), height_(height), zoom(zoom) {}
  int ImageWidth() const override { return width_; }
  int ImageHeight() const override { return height_; }
  float CurrentZoom() const override { return zoom; }
  HWND ViewWindow() const override { return view.GetHwnd(); }
  void Redraw() override { ++redraws; }

  int width_;
  int height_;
  float zoom;
  int redraws = 0;
  pre_render_test::ViewWindow view;
};

// A top-down 32-bit DIB section selected into a memory DC, filled white.
class Canvas {
 public:
  Canvas(int width, int height) : width_(width), height_(height), dc_(::CreateCompatibleDC(nullptr)) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    bitmap_.Reset(::CreateDIBSection(dc_.Get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    bits_ = static_cast<uint32_t*>(bits);
    old_ = ::SelectObject(dc_.Get(), bitmap_.Get());
    Fill(0xFFFFFF);
  }
  ~Canvas() { ::SelectObject(dc_.Get(), old_); }
  Canvas(const Canvas&) = delete;
  Canvas& operator=(const Canvas&) = delete;

  HDC Dc() const { return dc_.Get(); }
  void Fill(uint32_t rgb) {
    ::GdiFlush();
    for (int i = 0; i < width_ * height_; ++i) bits_[i] = rgb;
  }
  // 0xRRGGBB of the pixel.
  uint32_t Pixel(int x, int y) const {
    ::GdiFlush();
    return bits_[y * width_ + x] & 0xFFFFFF;
  }

 private:
  int width_;
  int height_;
  base::MemoryDc dc_;
  base::BitmapHandle bitmap_;
  uint32_t* bits_ = nullptr;
  HGDIOBJ old_ = nullptr;
};

// Whether two 0xRRGGBB colours are within `tolerance` in every channel.
inline bool Near(uint32_t a, uint32_t b, int tolerance = 40) {
  for (int shift = 0; shift <= 16; shift += 8) {
    const int ca = static_cast<int>((a >> shift) & 0xFF);
    const int cb = static_cast<int>((b >> shift) & 0xFF);
    if (ca - cb > tolerance || cb - ca > tolerance) return false;
  }
  return true;
}

inline std::wstring Fixture(const wchar_t* name) {
  return testing_support::EnvPath(L"QL_FIXTURE_DIR") + L"\\" + name;
}

// COM, the imaging factory and GDI+ for the test process; opens pictures as the current image.
class PreRenderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateWicFactory());
    ASSERT_TRUE(gdiplus_.Ok());
    CCurrentImage::Get().SetMessagesEnabled(false);
  }
  void TearDown() override {
    // Let earlier tasks finish so that one test's work never lands in the next.
    CAsyncTaskQueue& queue = CCurrentImage::Get().Queue();
    queue.ClearPending();
    (void)testing_support::PumpMessagesUntil([&] { return queue.GetRunningCount() == 0; }, 30000);
    (void)testing_support::PumpPostedMessages();
    // Lets go of the file, so the temporary copies can be removed.
    CCurrentImage::Get().Clear();
  }
  // Opens a fixture as the current image; `fresh` opens a copy under a new name, which no thumbnail
  // cache has seen yet.
  void Open(const wchar_t* name, bool fresh = false) {
    std::wstring path = Fixture(name);
    ASSERT_NE(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "missing fixture";
    if (fresh) {
      static int copies = 0;
      const std::wstring copy = temp_.File(std::to_wstring(++copies) + L"_" + name);
      ASSERT_TRUE(::CopyFileW(path.c_str(), copy.c_str(), FALSE));
      path = copy;
    }
    CCurrentImage::Get().Open(path);
    ASSERT_TRUE(CCurrentImage::Get().Loader());
    ASSERT_GT(CCurrentImage::Get().GetDisplaySize().cx, 0);
  }

  FCAutoInitializeCOM com_;
  testing_support::TempDir temp_;
  image::GdiplusSession gdiplus_;
};

}  // namespace pre_render_test
