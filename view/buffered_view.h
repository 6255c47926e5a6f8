#pragma once
// The off-screen picture of the image area: a memory device context with a screen-compatible
// bitmap selected into it. Every change of the view is rendered here; painting only copies it.
#include <windows.h>

#include <memory>

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

// The view keeps its size from one picture to the next, so the renderer made for the next picture
// takes over the buffer of the one before instead of making a fresh one (which costs a new bitmap and
// its first touch of every page). One buffer waits at most; user-interface thread only.
std::unique_ptr<CBufferedView> AcquireBuffer(int width, int height);
void ReleaseBuffer(std::unique_ptr<CBufferedView> buffer);

}  // namespace view_render
