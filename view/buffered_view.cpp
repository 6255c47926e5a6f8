#include "view/buffered_view.h"

#include <algorithm>

namespace view_render {

CBufferedView::CBufferedView(int width, int height) : width_(std::max(width, 1)), height_(std::max(height, 1)) {
  HDC screen = ::GetDC(nullptr);
  if (!screen) return;
  dc_ = ::CreateCompatibleDC(screen);
  bitmap_ = ::CreateCompatibleBitmap(screen, width_, height_);
  ::ReleaseDC(nullptr, screen);
  if (dc_ && bitmap_) previous_ = ::SelectObject(dc_, bitmap_);
}

CBufferedView::~CBufferedView() {
  if (dc_ && previous_) ::SelectObject(dc_, previous_);
  if (bitmap_) ::DeleteObject(bitmap_);
  if (scratch_) ::DeleteObject(scratch_);
  if (dc_) ::DeleteDC(dc_);
}

void CBufferedView::ScrollContent(int dx, int dy) {
  if (!IsValid()) return;
  if (!scratch_) {
    scratch_ = ::CreateCompatibleBitmap(dc_, width_, height_);
    if (!scratch_) return;
  }
  HDC scratchDc = ::CreateCompatibleDC(dc_);
  if (!scratchDc) return;
  const HGDIOBJ old = ::SelectObject(scratchDc, scratch_);
  ::BitBlt(scratchDc, 0, 0, width_, height_, dc_, 0, 0, SRCCOPY);
  ::BitBlt(dc_, dx, dy, width_, height_, scratchDc, 0, 0, SRCCOPY);
  ::SelectObject(scratchDc, old);
  ::DeleteDC(scratchDc);
}

}  // namespace view_render

namespace view_render {
namespace {
std::unique_ptr<CBufferedView>& WaitingBuffer() {
  static auto* slot = new std::unique_ptr<CBufferedView>();
  return *slot;
}
}  // namespace

std::unique_ptr<CBufferedView> AcquireBuffer(int width, int height) {
  std::unique_ptr<CBufferedView>& waiting = WaitingBuffer();
  if (waiting && waiting->IsValid() && waiting->Width() == std::max(width, 1) && waiting->Height() == std::max(height, 1)) {
    return std::move(waiting);
  }
  return std::make_unique<CBufferedView>(width, height);
}

void ReleaseBuffer(std::unique_ptr<CBufferedView> buffer) {
  if (buffer && buffer->IsValid()) WaitingBuffer() = std::move(buffer);
}

}  // namespace view_render
