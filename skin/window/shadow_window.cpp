#include "skin/window/shadow_window.h"

#include <algorithm>

#include "base/handles.h"
#include "skin/render/image_draw.h"

namespace skin {
namespace {

constexpr wchar_t kShadowClass[] = L"QuellinSkinShadow";

bool RegisterShadowClass() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW existing{sizeof(existing)};
  if (::GetClassInfoExW(instance, kShadowClass, &existing)) return true;
  WNDCLASSEXW shadowClass{sizeof(shadowClass)};
  shadowClass.lpfnWndProc = ::DefWindowProcW;
  shadowClass.hInstance = instance;
  shadowClass.lpszClassName = kShadowClass;
  return ::RegisterClassExW(&shadowClass) != 0;
}

}  // namespace

ShadowWindow::ShadowWindow(const FCObjImage& picture, const ImageDescription& description)
    : picture_(picture), description_(description) {
  // The margins are the picture's corners, each within the picture.
  const LONG width = picture.Width();
  const LONG height = picture.Height();
  margins_ = description.corner;
  margins_.left = std::clamp<LONG>(margins_.left, 0, width);
  margins_.right = std::clamp<LONG>(margins_.right, 0, width - margins_.left);
  margins_.top = std::clamp<LONG>(margins_.top, 0, height);
  margins_.bottom = std::clamp<LONG>(margins_.bottom, 0, height - margins_.top);
  description_.has_dest = false;
}

ShadowWindow::~ShadowWindow() {
  if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
}

bool ShadowWindow::Create(HWND target) {
  if (window_ || !target || !picture_.IsValid() || !RegisterShadowClass()) return false;
  target_ = target;
  // Owned by the target's owner, so that it stays with the target but can lie behind it.
  window_ = ::CreateWindowExW(WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kShadowClass,
                              L"", WS_POPUP, 0, 0, 0, 0, ::GetWindow(target, GW_OWNER), nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
  return window_ != nullptr;
}

void ShadowWindow::Follow() {
  if (!window_ || !target_) return;
  if (!::IsWindowVisible(target_) || ::IsIconic(target_) || ::IsZoomed(target_)) {
    ::ShowWindow(window_, SW_HIDE);
    return;
  }
  RECT r{};
  ::GetWindowRect(target_, &r);
  const int width = r.right - r.left + margins_.left + margins_.right;
  const int height = r.bottom - r.top + margins_.top + margins_.bottom;
  if (width <= 0 || height <= 0) return;
  if (width != drawn_.cx || height != drawn_.cy) Draw(width, height);
  ::SetWindowPos(window_, target_, r.left - margins_.left, r.top - margins_.top, width, height,
                 SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void ShadowWindow::Draw(int width, int height) {
  FCObjImage canvas;
  if (!canvas.Create(width, height, 32)) return;  // a new section is cleared: fully transparent
  base::MemoryDc memory(::CreateCompatibleDC(nullptr));
  if (!memory) return;
  base::SelectGuard select(memory.Get(), canvas.SectionHandle());
  const RECT whole{0, 0, width, height};
  DrawPlacedImage(memory.Get(), picture_, PlaceImage(SIZE{picture_.Width(), picture_.Height()}, description_, whole),
                  description_);
  POINT origin{0, 0};
  SIZE size{width, height};
  const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
  base::WindowDc screen(nullptr);
  if (::UpdateLayeredWindow(window_, screen.Get(), nullptr, &size, memory.Get(), &origin, 0,
                            const_cast<BLENDFUNCTION*>(&blend), ULW_ALPHA)) {
    drawn_ = size;
  }
}

}  // namespace skin
