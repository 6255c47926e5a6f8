#pragma once
// The drop shadow of a skinned window that asks for one: a layered, click-through window just
// behind it, grown by the nine-grid margins of the shadow picture and drawn from that picture with
// its middle left out. It follows the window as it moves, changes size, hides and shows.
#include <windows.h>

#include "image/obj_image.h"
#include "skin/markup/values.h"

namespace skin {

class ShadowWindow {
 public:
  // The picture must outlive the shadow (it belongs to the window's resources).
  ShadowWindow(const FCObjImage& picture, const ImageDescription& description);
  ~ShadowWindow();
  ShadowWindow(const ShadowWindow&) = delete;
  ShadowWindow& operator=(const ShadowWindow&) = delete;

  // Makes the shadow of the target; false when the platform refuses a layered window.
  bool Create(HWND target);
  // Places the shadow behind the target again (after the target moved, sized, showed or hid).
  void Follow();
  [[nodiscard]] HWND Handle() const { return window_; }
  // How far the shadow reaches beyond each side of the target.
  [[nodiscard]] const RECT& Margins() const { return margins_; }

 private:
  void Draw(int width, int height);

  const FCObjImage& picture_;
  ImageDescription description_;
  RECT margins_{};
  HWND target_ = nullptr;
  HWND window_ = nullptr;
  SIZE drawn_{};
};

}  // namespace skin
