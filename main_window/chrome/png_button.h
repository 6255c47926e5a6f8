#pragma once
// The owner-drawn push buttons of the title strip (close, maximise, minimise): a PNG resource
// holding the state frames side by side, drawn for normal, hover, pressed and disabled.
#include <windows.h>

#include <memory>

namespace Gdiplus {
class Bitmap;
}

class CPngButton {
 public:
  enum Mode : int { kModeNormalOnLeave = 16, kModePressedOnLeave = 17 };
  enum State : int { kNormal = 1, kHover = 2, kPressed = 3, kDisabled = 4 };

  CPngButton();
  ~CPngButton();
  CPngButton(const CPngButton&) = delete;
  CPngButton& operator=(const CPngButton&) = delete;

  // Takes over a button control of a dialog: owner drawing and clip-siblings on, our mouse handling.
  bool SubclassDlgItem(HWND dialog, int controlId);
  // Reads PNG resource resourceId of the executable; frames: 1, 3 or 4. Resizes the button to one
  // frame. False (the button draws nothing) when the resource is missing or not a picture.
  bool Load(int resourceId, int frames, int mode);
  // WM_DRAWITEM of the button, forwarded by its dialog.
  void DrawItem(const DRAWITEMSTRUCT& item);

  [[nodiscard]] HWND GetSafeHwnd() const noexcept { return button_; }
  [[nodiscard]] int GetState() const noexcept { return state_; }

 private:
  static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                       DWORD_PTR data) noexcept;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void SetState(int state);

  HWND button_ = nullptr;
  BOOL tracking_ = FALSE;
  int frames_ = 1;
  std::unique_ptr<Gdiplus::Bitmap> picture_;
  int state_ = kNormal;
  int mode_ = kModeNormalOnLeave;
  bool pressed_once_ = false;
};
