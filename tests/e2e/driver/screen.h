#pragma once
// What is on screen: a copy of the screen's pixels over a rectangle, taken from the screen's own
// device context, so it holds exactly what the user sees there (other windows on top included),
// and the questions the tests ask about it.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace e2e {

// Whether two colours differ by at most the tolerance in each channel.
bool Near(COLORREF a, COLORREF b, int tolerance);

class Capture {
 public:
  // The screen's pixels over a rectangle in screen coordinates (clipped to the screen).
  static Capture Screen(const RECT& screenRect);
  // The client area of a window (of any process) as it is on screen.
  static Capture Client(HWND window);

  [[nodiscard]] bool IsValid() const noexcept { return width_ > 0 && height_ > 0; }
  [[nodiscard]] int Width() const noexcept { return width_; }
  [[nodiscard]] int Height() const noexcept { return height_; }
  // Where the capture's (0, 0) lies on screen.
  [[nodiscard]] POINT Origin() const noexcept { return origin_; }
  [[nodiscard]] RECT Bounds() const noexcept { return RECT{0, 0, width_, height_}; }

  // The colour at a point of the capture (black outside it).
  [[nodiscard]] COLORREF At(int x, int y) const;
  // The share (0..1) of the pixels of a rectangle of the capture that are near the colour.
  [[nodiscard]] double Share(const RECT& rect, COLORREF colour, int tolerance) const;
  // The smallest rectangle holding every pixel near the colour inside `within`; none when no
  // pixel is.
  [[nodiscard]] std::optional<RECT> BoxOf(COLORREF colour, int tolerance, const RECT& within) const;
  // The same for every pixel that is not near the background colour.
  [[nodiscard]] std::optional<RECT> BoxOfAllBut(COLORREF background, int tolerance, const RECT& within) const;
  // How many pixels of a rectangle differ (beyond the tolerance) from the same place in another
  // capture of the same size.
  [[nodiscard]] int CountDifferent(const Capture& other, const RECT& rect, int tolerance) const;

  // Writes the capture as a PNG file.
  bool SavePng(const std::wstring& path) const;

 private:
  int width_ = 0;
  int height_ = 0;
  POINT origin_{};
  std::vector<uint32_t> pixels_;  // top-down, 0x00RRGGBB
};

// The client rectangle of a window in screen coordinates.
RECT ClientOnScreen(HWND window);
// A rectangle of a window's client area moved into another window's client coordinates.
RECT MapRect(HWND from, HWND to, const RECT& rect);
std::wstring Describe(const RECT& rect);

}  // namespace e2e
