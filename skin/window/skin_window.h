#pragma once
// The base of every skinned window: a top-level window whose whole content is built from a skin
// file of the resource archive. A window class of the program supplies a handful of hooks; the
// base creates the window, builds the controls, lays them out, paints them double-buffered,
// routes the mouse to them and reports what the user does as notifications.
//
// Creation (Create): the window is made with the given styles; on its create message it loses
// the caption bits, gains clip-children and clip-siblings and has its frame recomputed around the
// same client rectangle; the archive named by ArchiveName is opened, the skin named by
// SkinFileName is built and attached (a skin that cannot be built is fatal: skin_failure.h); the
// window takes the skin's size; a skin with shadow="true" gets a drop shadow (shadow_window.h:
// its shadowimage, or "file='share/shadow.png' corner='4,2,4,6' hole='true'"); OnWindowInit runs
// and the notification "windowinit" follows.
//
// Notifications carry a type ("click", "selectchanged", "itemselect", "tabselect",
// "textchanged", "setfocus", "killfocus", "mouseenter", "mouseleave", "windowinit"), the sender
// control and two integers. The base handler gives every window the buttons "closebtn" (posts
// WM_CLOSE with wParam 1), "minbtn", "maxbtn" and "restorebtn"; a window that handles
// notifications calls the base for those it leaves alone.
// User-interface thread only.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>

#include "skin/build/skin_builder.h"
#include "skin/controls/control.h"

namespace skin {

struct Notification {
  std::wstring type;
  Control* sender = nullptr;
  WPARAM wParam = 0;
  LPARAM lParam = 0;

  [[nodiscard]] bool Is(const wchar_t* name) const { return type == name; }
  [[nodiscard]] bool From(std::wstring_view name) const { return sender && sender->Name() == name; }
};

enum class ResourceKind { kZipFile };

}  // namespace skin

namespace skin {
class ShadowWindow;
}  // namespace skin

class CUseZipResourceDuiWnd : public skin::ControlHost {
 public:
  CUseZipResourceDuiWnd();
  // Destroys the window if it still exists.
  ~CUseZipResourceDuiWnd() override;
  CUseZipResourceDuiWnd(const CUseZipResourceDuiWnd&) = delete;
  CUseZipResourceDuiWnd& operator=(const CUseZipResourceDuiWnd&) = delete;

  // Hooks, in the order of their slots.
  [[nodiscard]] virtual const wchar_t* WindowClassName() const = 0;
  // Sees every message first; set handled to stop the base from acting on it.
  virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
  // Once, after the controls exist.
  virtual void OnWindowInit() {}
  virtual void OnNotify(skin::Notification& notification);
  [[nodiscard]] virtual std::wstring SkinFileName() const = 0;
  [[nodiscard]] virtual skin::ResourceKind ResourceKind() const { return skin::ResourceKind::kZipFile; }
  // The registered archive ("res.zip").
  [[nodiscard]] virtual std::wstring ArchiveName() const;
  // Messages the base does not handle itself.
  virtual LRESULT OnCustomMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);

  // Creates the window (owned by parent for pop-ups). Null when it could not be made.
  HWND Create(HWND parent, DWORD style, DWORD exStyle, int x = CW_USEDEFAULT, int y = CW_USEDEFAULT);
  [[nodiscard]] HWND GetHWND() const { return window_; }
  // The skinned window object of a window handle (null for any other window).
  static CUseZipResourceDuiWnd* FromHandle(HWND window);
  // Centres the window over another one (or the work area when null), kept on the work area.
  void CenterWindow(HWND over = nullptr) const;
  // Posts WM_CLOSE with the code as wParam, if the window still exists.
  void Close(UINT_PTR code = 0) const;

  [[nodiscard]] skin::Control* FindControl(std::wstring_view name) const;
  template <typename T>
  [[nodiscard]] T* FindControlAs(std::wstring_view name) const {
    return dynamic_cast<T*>(FindControl(name));
  }
  [[nodiscard]] skin::Control* Root() const { return root_.get(); }
  [[nodiscard]] const skin::WindowLook& Look() const { return look_; }
  // The drop shadow's window, when the skin asked for one.
  [[nodiscard]] HWND ShadowHandle() const;
  // Lays the controls out now if something changed since the last layout.
  void LayoutNow();

  // ControlHost.
  void InvalidateArea(const RECT& area) override;
  void RequestLayout() override;
  void Notify(skin::Control* sender, const wchar_t* type, WPARAM wParam, LPARAM lParam) override;
  [[nodiscard]] HWND Window() const override { return window_; }

 protected:
  // The window procedure's default for what neither hook took.
  LRESULT DefaultProcedure(UINT message, WPARAM wParam, LPARAM lParam);
  // WM_CLOSE: destroys the window (dialogs end instead).
  virtual void OnClose(WPARAM wParam);
  // WM_NCDESTROY has run: the window is gone.
  virtual void OnFinalMessage() {}

 private:
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool RegisterWindowClass() const;
  LRESULT OnCreate(const CREATESTRUCTW& create);
  bool BuildControls(std::wstring* error);
  void OnPaint();
  void OnMouseMove(POINT point);
  void OnMouseLeave();
  void OnButtonDown(POINT point);
  void OnButtonUp(POINT point);
  void OnCaptureLost();
  bool OnSetCursor();
  LRESULT OnHitTest(LPARAM lParam);
  void SetHot(skin::Control* control);
  void UpdateTooltip();
  void CreateShadow();

  HWND window_ = nullptr;
  std::unique_ptr<skin::SkinResources> resources_;
  std::unique_ptr<skin::Control> root_;
  skin::WindowLook look_;
  std::unique_ptr<skin::ShadowWindow> shadow_;
  skin::Control* hot_ = nullptr;
  skin::Control* pressed_ = nullptr;
  HWND tooltip_ = nullptr;
  bool tracking_leave_ = false;
  bool layout_needed_ = true;
  // Cleared when the window object dies, so that code which notified can tell afterwards.
  std::shared_ptr<bool> alive_;
};
