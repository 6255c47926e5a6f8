#pragma once
// One place that pulls in the GDI+ C++ interface. The build defines NOMINMAX, and some editions of
// the GDI+ headers call min/max unqualified, so the standard ones are made visible inside the
// Gdiplus namespace before the headers are read. Include this instead of <gdiplus.h>.
#include <windows.h>

#include <algorithm>

namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus

#include <gdiplus.h>

namespace image {

// Starts GDI+ for the life of the object (the program does this once at start-up; tests and
// tools that use GDI+ on their own hold one too).
class GdiplusSession {
 public:
  GdiplusSession() noexcept {
    Gdiplus::GdiplusStartupInput input;
    ok_ = Gdiplus::GdiplusStartup(&token_, &input, nullptr) == Gdiplus::Ok;
  }
  ~GdiplusSession() {
    if (ok_) Gdiplus::GdiplusShutdown(token_);
  }
  GdiplusSession(const GdiplusSession&) = delete;
  GdiplusSession& operator=(const GdiplusSession&) = delete;
  [[nodiscard]] bool Ok() const noexcept { return ok_; }

 private:
  ULONG_PTR token_ = 0;
  bool ok_ = false;
};

}  // namespace image
