#pragma once
// The adjustment pop-up of the toolbar's adjust button (Ctrl+E): three presets, "brighter" (1),
// "colorful" (2) and "hd" (3), that the view applies to the picture on screen. Choosing one, or
// dropping the pop-up (focus lost, Escape, Ctrl+E again), sends WM_ADJUST_WINDOW_CLOSED to the
// owner once: wParam the preset or 0, lParam this window, so that the owner can tell this
// window's message from a late one of a window it already let go. The owner then deletes it.
#include <windows.h>

#include "services/adjust_window.h"
#include "skin/window/skin_window.h"

class CEffectWnd : public CUseZipResourceDuiWnd, public services::IAdjustWindow {
 public:
  // How far the pop-up's top-left corner lies left of and above the button's.
  static constexpr int kLeftOfButton = 100;
  static constexpr int kAboveButton = 126;

  // owner: the window told about the choice (the toolbar).
  explicit CEffectWnd(HWND owner) : owner_(owner) {}

  [[nodiscard]] const wchar_t* WindowClassName() const override { return L"CEffectWnd"; }
  [[nodiscard]] std::wstring SkinFileName() const override { return L"effect.xml"; }
  void OnWindowInit() override;
  void OnNotify(skin::Notification& notification) override;
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  // services::IAdjustWindow
  void ShowAt(const RECT& buttonScreenRect) override;
  [[nodiscard]] HWND GetSafeHwnd() const override { return GetHWND(); }

  // The top-left corner of a pop-up of the given size for a button (screen coordinates): above
  // the button as kLeftOfButton and kAboveButton say, or below it when asked (a toolbar at the top
  // of its window) or when there is no room above; always inside the work area.
  static POINT PlaceFor(const RECT& button, SIZE window, const RECT& workArea, bool below);

 private:
  // Tells the owner once: the chosen preset, or 0 when the pop-up was dropped.
  void Report(UINT_PTR preset);

  HWND owner_;
  bool reported_ = false;
};
