#include "view/window/main_image_view.h"

#include <windowsx.h>

#include "base/paths.h"
#include "base/wait_cursor.h"
#include "image/current_image.h"
#include "image/effect/effects.h"
#include "services/registry.h"
#include "services/wheel_question.h"
#include "view/current_folder_image.h"
#include "view/pre_render.h"
#include "view/title_info.h"
#include "view/ui_event.h"
#include "view/view_links.h"
#include "view/window/main_view_items.h"
#include "widget/skin_picture.h"

namespace {

constexpr int kCommandOpen = 21000;
constexpr int kCommandPrevious = 20005;
constexpr int kCommandNext = 20006;
constexpr int kCommandScrollUp = 26000;
constexpr int kCommandScrollDown = 26001;

// A tall narrow picture that opens at full size from its top when long-image mode is on.
bool IsLongImage(SIZE size) { return size.cx < 1280 && static_cast<long long>(size.cy) > 4LL * size.cx; }

HWND OpenWheelQuestion() {
  auto* question = services::Find<services::IWheelQuestion>();
  return question ? question->OpenWindow() : nullptr;
}

}  // namespace

WndMainImageView::WndMainImageView(AppConfig& config) : config_(config) {
  FCObjImagePtr arrow = LoadSkinPicture(L"turn_page_indicator.png", false);
  FCObjImage previous = *arrow;
  FCObjImage next = *arrow;
  if (next.IsValid()) ExecuteEffect(next, std::make_unique<FCEffectMirror>(), nullptr);
  const int arrowWidth = arrow->IsValid() ? arrow->Width() : 0;
  auto left = std::make_unique<main_view::CTurnPageItem>(main_view::kPreviousArrow, std::move(previous), *this);
  auto right = std::make_unique<main_view::CTurnPageItem>(main_view::kNextArrow, std::move(next), *this);
  left->Set(CWidgetItem::kVisible, false);
  right->Set(CWidgetItem::kVisible, false);
  AddItem(std::move(left));
  AddItem(std::move(right));
  SetLayout(std::make_unique<main_view::CMainViewLayout>(arrowWidth));
}

WndMainImageView::~WndMainImageView() { Destroy(); }

void WndMainImageView::OnCreated() { GetCurrentFolderList(); }

void WndMainImageView::OnDestroying() {
  // The drawing goes first: its pre-render's hidden window and tasks refer to this window.
  renderer_.reset();
  context_menu_.reset();
}

RECT WndMainImageView::ImageArea() const {
  RECT area{};
  if (GetSafeHwnd()) ::GetClientRect(GetSafeHwnd(), &area);
  if (config_.toolbar_dock == 0) {
    area.left += config_.view_margin;
    area.right -= config_.view_margin;
    area.bottom -= config_.view_margin;
    if (area.right < area.left) area.right = area.left;
    if (area.bottom < area.top) area.bottom = area.top;
  }
  return area;
}

WndMainImageView::State WndMainImageView::GetState() const noexcept {
  if (ItemById(main_view::kWelcomeOpen)) return State::kWelcome;
  if (ItemById(main_view::kLoadError)) return State::kLoadError;
  if (ItemById(main_view::kLoading)) return State::kLoading;
  return renderer_ ? State::kShown : State::kWelcome;
}

void WndMainImageView::SetArrowsVisible(bool previous, bool next) {
  if (CWidgetItem* item = ItemById(main_view::kPreviousArrow)) item->Set(CWidgetItem::kVisible, previous);
  if (CWidgetItem* item = ItemById(main_view::kNextArrow)) item->Set(CWidgetItem::kVisible, next);
}

void WndMainImageView::RedrawNow() const {
  if (!GetSafeHwnd()) return;
  ::InvalidateRect(GetSafeHwnd(), nullptr, FALSE);
  ::UpdateWindow(GetSafeHwnd());
}

void WndMainImageView::PostToMain(UINT message, WPARAM wParam, LPARAM lParam) const {
  if (HWND main = ::GetParent(GetSafeHwnd())) ::PostMessageW(main, message, wParam, lParam);
}

void WndMainImageView::ShowCurrentImage() {
  for (int id = main_view::kLoadError; id <= main_view::kWelcomeSlogan; ++id) {
    RemoveItem(id);
  }
  SetArrowsVisible(false, false);
  renderer_.reset();

  CCurrentImage& image = CCurrentImage::Get();
  const std::wstring path = image.Path();
  if (!path.empty() && base::FileExists(path)) {
    const CWICImageLoaderPtr loader = image.Loader();
    if (loader && loader->FrameSource()) {
      const RECT area = ImageArea();
      bool loading = false;
      renderer_ = std::make_unique<CViewRenderer>(area.right - area.left, area.bottom - area.top, GetSafeHwnd(),
                                                   &loading, config_);
      if (loading) AddItem(std::make_unique<main_view::CLoadingGifItem>(LoadSkinPicture(L"loading.png"), *this));
    } else {
      AddItem(std::make_unique<main_view::CLoadErrorItem>(CTitleInfo::Get().FileName()));
    }
    GetCurrentFolderList().SetCurrentFile(GetSafeHwnd(), path);
  } else {
    AddItem(std::make_unique<main_view::CWelcomeSlogonItem>(LoadSkinPicture(L"home_slogan.png")));
    AddItem(std::make_unique<main_view::CWelcomeOpenItem>(LoadSkinPicture(L"home_open.png")));
    image.Open(L"");
  }
  OnSizeLayout();
  RedrawNow();
  CTitleInfo::Get().Refresh();
  BroadcastUIEvent(CUIEventViewImageChanged());
}

void WndMainImageView::ToggleActualSize() {
  if (!renderer_) return;
  renderer_->ToggleActualSize();
  RedrawNow();
}

void WndMainImageView::ZoomStep(bool in) {
  if (!renderer_) return;
  const RECT area = ImageArea();
  renderer_->ZoomBy(in ? 1 : -1, (area.right - area.left) / 2, (area.bottom - area.top) / 2);
  RedrawNow();
}

void WndMainImageView::RotateImage(bool clockwise) {
  CCurrentImage& image = CCurrentImage::Get();
  const CWICImageLoaderPtr loader = image.Loader();
  if (!renderer_ || !loader || loader->IsAnimatedPicture()) return;
  // The fitted frame turns with the picture, so the turned picture is on screen without a decode.
  CPreRender* preRender = renderer_->PreRender();
  OfferFitFrameToCurrentImage(preRender ? preRender->GetFrame(1) : nullptr);
  renderer_.reset();
  {
    base::WaitCursor busy;
    image.Rotate(clockwise);
  }
  ShowCurrentImage();
}

void WndMainImageView::ScrollVertical(int command) {
  if (!renderer_) return;
  const int distance = static_cast<int>(0.8 * ::GetSystemMetrics(SM_CYFULLSCREEN));
  renderer_->Pan(0, command == kCommandScrollUp ? distance : -distance);
  RedrawNow();
}

void WndMainImageView::OnSizingEnded() {
  sizing_ = false;
  if (renderer_) {
    const RECT area = ImageArea();
    renderer_->SetViewSize(area.right - area.left, area.bottom - area.top);
  }
  if (renderer_ && IsLongImage(CCurrentImage::Get().GetDisplaySize())) {
    ShowCurrentImage();
  } else {
    Invalidate();
  }
}

void WndMainImageView::UpdateViewSize() {
  if (sizing_ || !renderer_) return;
  const RECT area = ImageArea();
  renderer_->SetViewSize(area.right - area.left, area.bottom - area.top);
  // What lay on screen before the resize is stale everywhere, not only where the view grew.
  Invalidate();
}

void WndMainImageView::CloseView() {
  if (HWND question = OpenWheelQuestion()) ::SendMessageW(question, WM_CLOSE, 0, 0);
}

LRESULT WndMainImageView::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEWHEEL: {
      const POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
      OnMouseWheel(GET_WHEEL_DELTA_WPARAM(wParam), GET_KEYSTATE_WPARAM(wParam), screen);
      return 0;
    }
    case WM_CONTEXTMENU:
      OnContextMenu(POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
      return 0;
    case WM_VIEW_FRAME_ARRIVED:
      OnFrameArrived(wParam == kFitFrameFailed);
      return 0;
    case WM_FOLDER_IMAGE_COLLECTED:
      OnFolderImageCollected();
      return 0;
    case services::WM_MENU_COMMAND:
      OnMenuCommand(wParam);
      return 0;
    default:
      return CWidgetWindow::WindowProc(message, wParam, lParam);
  }
}

void WndMainImageView::DrawBackground(HDC dc, int left, int top, int right, int bottom) {
  const RECT fill{left, top, right, bottom};
  HBRUSH brush = config_.BackgroundBrush();
  ::FillRect(dc, &fill, brush ? brush : static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  if (!renderer_) return;
  const RECT area = ImageArea();
  POINT previous{};
  ::OffsetViewportOrgEx(dc, area.left, area.top, &previous);
  renderer_->Paint(dc, area.right - area.left, area.bottom - area.top, sizing_);
  ::SetViewportOrgEx(dc, previous.x, previous.y, nullptr);
}

bool WndMainImageView::PressItem(int x, int y) {
  CWidgetItem* item = ItemAt(x, y);
  if (!item) return false;
  HWND main = ::GetParent(GetSafeHwnd());
  switch (item->GetID()) {
    case main_view::kPreviousArrow:
      ::PostMessageW(main, WM_KEYDOWN, VK_LEFT, 0);
      break;
    case main_view::kNextArrow:
      ::PostMessageW(main, WM_KEYDOWN, VK_RIGHT, 0);
      break;
    case main_view::kWelcomeOpen:
      ::PostMessageW(main, WM_COMMAND, kCommandOpen, 0);
      break;
    default:
      break;
  }
  return true;
}

void WndMainImageView::OnLButtonDown(int x, int y) {
  if (PressItem(x, y)) return;
  if (renderer_) DragPicture(x, y);
}

void WndMainImageView::DragPicture(int x, int y) {
  POINT last{x, y};
  // The picture follows the pointer; there is no inertia.
  TrackCapture([&](int px, int py, bool) {
    if (renderer_) {
      renderer_->Pan(px - last.x, py - last.y);
      RedrawNow();
    }
    last = POINT{px, py};
  });
  Invalidate();
}

void WndMainImageView::OnLButtonDblClk(int x, int y) {
  if (PressItem(x, y)) return;
  if (!renderer_) return;
  const RECT area = ImageArea();
  renderer_->ToggleZoom(x - area.left, y - area.top);
  RedrawNow();
}

void WndMainImageView::OnMouseWheel(int delta, UINT keys, POINT screen) {
  if (ItemById(main_view::kWelcomeOpen) || OpenWheelQuestion()) return;
  if (config_.mouse_wheel_action == AppConfig::kWheelNotChosen) {
    config_.ReloadWheelSettings();
    if (config_.mouse_wheel_action == AppConfig::kWheelNotChosen) {
      if (auto* question = services::Find<services::IWheelQuestion>()) question->Ask(::GetParent(GetSafeHwnd()));
    }
  }
  if (::GetKeyState(VK_MENU) < 0) {
    PostToMain(WM_COMMAND, delta > 0 ? kCommandScrollUp : kCommandScrollDown, 0);
    return;
  }
  const bool control = (keys & MK_CONTROL) != 0;
  const bool zoom = config_.mouse_wheel_action == 1 ? !control : control;
  if (zoom) {
    if (!renderer_) return;
    POINT point = screen;
    ::ScreenToClient(GetSafeHwnd(), &point);
    const RECT area = ImageArea();
    renderer_->ZoomBy(delta / WHEEL_DELTA, point.x - area.left, point.y - area.top);
    RedrawNow();
    return;
  }
  PostToMain(WM_COMMAND, delta > 0 ? kCommandPrevious : kCommandNext, 0);
}

void WndMainImageView::OnContextMenu(POINT screen) {
  context_menu_.reset();
  auto* factory = services::Find<services::IPopupMenuFactory>();
  if (!factory) return;
  if (screen.x == -1 && screen.y == -1) {
    // From the keyboard: at the centre of the view.
    RECT client{};
    ::GetClientRect(GetSafeHwnd(), &client);
    screen = POINT{client.right / 2, client.bottom / 2};
    ::ClientToScreen(GetSafeHwnd(), &screen);
  }
  context_menu_ = factory->CreateContextMenu(GetSafeHwnd());
  if (context_menu_) context_menu_->ShowAtPoint(screen);
}

void WndMainImageView::OnMenuCommand(WPARAM command) {
  if (static_cast<int>(command) != -1) PostToMain(WM_COMMAND, LOWORD(command), 0);
  context_menu_.reset();
}

void WndMainImageView::OnFolderImageCollected() {
  CTitleInfo::Get().Refresh();
  const CCurrentFolderImage& list = GetCurrentFolderList();
  SetArrowsVisible(list.CanMove(-1), list.CanMove(1));
  // The list itself raises CUIEventFolderImageCollected as it sends this message (CFolderListLinks).
  Invalidate();
}

void WndMainImageView::OnFrameArrived(bool failed) {
  RemoveItem(main_view::kLoading);
  // A file whose header reads but whose pixels do not: the load-error display, not an empty view.
  if (failed && renderer_ && !ItemById(main_view::kLoadError)) {
    renderer_.reset();
    AddItem(std::make_unique<main_view::CLoadErrorItem>(CTitleInfo::Get().FileName()));
    OnSizeLayout();
  }
  Invalidate();
}
