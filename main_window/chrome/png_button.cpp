#include "main_window/chrome/png_button.h"

#include <commctrl.h>
#include <objidl.h>

#include <cstring>

#include "base/com.h"
#include "image/gdiplus_include.h"

CPngButton::CPngButton() = default;

CPngButton::~CPngButton() {
  if (button_) ::RemoveWindowSubclass(button_, &CPngButton::SubclassProc, 1);
}

bool CPngButton::SubclassDlgItem(HWND dialog, int controlId) {
  HWND button = ::GetDlgItem(dialog, controlId);
  if (!button) return false;
  button_ = button;
  const LONG_PTR style = ::GetWindowLongPtrW(button, GWL_STYLE);
  ::SetWindowLongPtrW(button, GWL_STYLE, (style & ~static_cast<LONG_PTR>(BS_TYPEMASK)) | BS_OWNERDRAW | WS_CLIPSIBLINGS);
  return ::SetWindowSubclass(button, &CPngButton::SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this)) != FALSE;
}

bool CPngButton::Load(int resourceId, int frames, int mode) {
  frames_ = (frames == 3 || frames == 4) ? frames : 1;
  mode_ = mode;
  picture_.reset();
  HMODULE module = ::GetModuleHandleW(nullptr);
  HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(resourceId), L"PNG");
  if (!resource) return false;
  const DWORD size = ::SizeofResource(module, resource);
  HGLOBAL loaded = ::LoadResource(module, resource);
  const void* bytes = loaded ? ::LockResource(loaded) : nullptr;
  if (!bytes || size == 0) return false;
  HGLOBAL copy = ::GlobalAlloc(GMEM_MOVEABLE, size);
  if (!copy) return false;
  if (void* target = ::GlobalLock(copy)) {
    std::memcpy(target, bytes, size);
    ::GlobalUnlock(copy);
  }
  base::ComPtr<IStream> stream;
  // The stream frees the memory when it goes.
  if (FAILED(::CreateStreamOnHGlobal(copy, TRUE, &stream))) {
    ::GlobalFree(copy);
    return false;
  }
  auto picture = std::make_unique<Gdiplus::Bitmap>(stream.Get());
  if (picture->GetLastStatus() != Gdiplus::Ok || picture->GetWidth() == 0) return false;
  picture_ = std::move(picture);
  if (button_) {
    ::SetWindowPos(button_, nullptr, 0, 0, static_cast<int>(picture_->GetWidth()) / frames_,
                   static_cast<int>(picture_->GetHeight()), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return true;
}

void CPngButton::DrawItem(const DRAWITEMSTRUCT& item) {
  if (!::IsWindowEnabled(button_)) state_ = kDisabled;
  HDC dc = item.hDC;
  const RECT& rect = item.rcItem;
  ::FillRect(dc, &rect, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  if (!picture_) return;
  const int width = static_cast<int>(picture_->GetWidth());
  const int height = static_cast<int>(picture_->GetHeight());
  int left = 0;
  int right = width;
  if (frames_ > 1) {
    if (frames_ == 3 && state_ == kDisabled) return;
    left = (state_ - 1) * width / frames_;
    right = state_ * width / frames_;
  }
  Gdiplus::Graphics graphics(dc);
  const Gdiplus::Rect target(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
  graphics.DrawImage(picture_.get(), target, left, 0, right - left, height, Gdiplus::UnitPixel);
}

void CPngButton::SetState(int state) {
  if (state_ == state) return;
  state_ = state;
  ::InvalidateRect(button_, nullptr, FALSE);
}

LRESULT CALLBACK CPngButton::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                          DWORD_PTR data) noexcept {
  auto* self = reinterpret_cast<CPngButton*>(data);
  if (!self || self->button_ != window) return ::DefSubclassProc(window, message, wParam, lParam);
  return self->OnMessage(message, wParam, lParam);
}

LRESULT CPngButton::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE:
      if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof(track), TME_HOVER | TME_LEAVE, button_, 1};
        tracking_ = ::TrackMouseEvent(&track);
      }
      break;
    case WM_MOUSEHOVER:
      SetState(kHover);
      return 0;
    case WM_MOUSELEAVE:
      tracking_ = FALSE;
      SetState(mode_ == kModePressedOnLeave && pressed_once_ ? kPressed : kNormal);
      return 0;
    case WM_LBUTTONDOWN:
      pressed_once_ = true;
      SetState(kPressed);
      break;
    case WM_LBUTTONUP:
      SetState(kHover);
      break;
    case WM_ERASEBKGND:
      return 1;
    case WM_NCDESTROY: {
      ::RemoveWindowSubclass(button_, &CPngButton::SubclassProc, 1);
      HWND window = button_;
      button_ = nullptr;
      return ::DefSubclassProc(window, message, wParam, lParam);
    }
    default:
      break;
  }
  return ::DefSubclassProc(button_, message, wParam, lParam);
}
