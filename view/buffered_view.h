#pragma once
// The off-screen picture of the image area: a memory device context with a screen-compatible
// bitmap selected into it. Every change of the view is rendered here; painting only copies it.
#include <windows.h>

namespace view_render {

class CBufferedView {
 public:
  // A buffer of width × height (at least 1 × 1) compatible with the screen.
  CBufferedView(int width, int height);
  ~CBufferedView();
  CBufferedView(const CBufferedView&) = delete;
  CBufferedView& operator=(const CBufferedView&) = delete;

  [[nodiscard]] bool IsValid() const noexcept { return dc_ != nullptr && bitmap_ != nullptr; }
  [[nodiscard]] HDC GetSafeHdc() const noexcept { return dc_; }
  [[nodiscard]] HBITMAP Bitmap() const noexcept { return bitmap_; }
  [[nodiscard]] int Width() const noexcept { return width_; }
  [[nodiscard]] int Height() const noexcept { return height_; }

  // Moves the content by (dx, dy) through the scratch bitmap; what is uncovered keeps old pixels.
  void ScrollContent(int dx, int dy);

 private:
  int width_;
  int height_;
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HBITMAP scratch_ = nullptr;  // made on first scroll
  HGDIOBJ previous_ = nullptr;
};

}  // namespace view_render
