#include "main_window/chrome/toolbar.h"

#include "appconfig/language.h"
#include "base/paths.h"
#include "image/current_image.h"
#include "services/registry.h"
#include "services/statistics.h"
#include "view/current_folder_image.h"
#include "view/view_links.h"
#include "main_window/chrome/button_layout.h"
#include "widget/skin_picture.h"

namespace wnd_main_toolbar {
namespace {

constexpr int kCell = 52;

struct ButtonSpec {
  int command;
  int column;
  int tooltip;
  Group group;
};

// In the order of the row (and within each group).
constexpr ButtonSpec kButtons[] = {
    {20002, 2, 3, kGroupCentre},  {20010, 10, 12, kGroupCentre}, {20003, 3, 5, kGroupCentre},
    {20004, 4, 6, kGroupCentre},  {20005, 5, 7, kGroupCentre},   {20006, 6, 8, kGroupCentre},
    {20007, 7, 9, kGroupCentre},  {20008, 8, 10, kGroupCentre},  {20009, 9, 11, kGroupCentre},
    {20011, 11, 13, kGroupCentre}, {20000, 12, 1, kGroupLeft},   {20001, 13, 2, kGroupLeft},
    {20013, 14, 15, kGroupRight},
};

constexpr int kActualSizeColumn = 2;
constexpr int kFitColumn = 15;
constexpr int kActualSizeTip = 3;
constexpr int kFitTip = 4;
constexpr int kFullScreenTip = 15;
constexpr int kLeaveFullScreenTip = 16;

std::wstring ToolbarTip(int key) { return GetLanguageStringById(L"TOOLBAR", key); }

}  // namespace

CToolbarButton::CToolbarButton(int command, int column, Group group, FCObjImagePtr sheet)
    : CWidgetItem(command), sheet_(std::move(sheet)), column_(column) {
  SetUserValue(group);
}

void CToolbarButton::Draw(HDC dc) {
  if (!sheet_ || !sheet_->IsValid()) return;
  const int w = Width();
  const int h = Height();
  const auto cell = [&](int column, int row) {
    const RECT source{column * w, row * h, column * w + w, row * h + h};
    sheet_->Draw(dc, 0, 0, w, h, &source);
  };
  const bool enabled = Has(kEnabled);
  const bool down = Has(kPressed) || Has(kChecked);
  if (enabled && down) {
    cell(1, 0);
  } else if (enabled && Has(kHover)) {
    cell(0, 0);
  }
  const int row = !enabled ? 2 : (Has(kHover) || down) ? 1 : 0;
  cell(column_, row);
}

}  // namespace wnd_main_toolbar

using wnd_main_toolbar::CToolbarButton;

WndMainToolbar::WndMainToolbar(AppConfig& config) : config_(config), sheet_(LoadSkinPicture(L"toolbar.png")) {
  for (const auto& spec : wnd_main_toolbar::kButtons) {
    auto button = std::make_unique<CToolbarButton>(spec.command, spec.column, spec.group, sheet_);
    button->SetTooltip(wnd_main_toolbar::ToolbarTip(spec.tooltip));
    button->SetRect(RECT{0, 0, wnd_main_toolbar::kCell, wnd_main_toolbar::kCell});
    AddItem(std::move(button));
  }
  SetEnabled(kCommandAdjust, false);
  SetLayout(std::make_unique<wnd_main_toolbar::CToolbarButtonLayout>());
}

WndMainToolbar::~WndMainToolbar() { Destroy(); }

void WndMainToolbar::OnDestroying() {
  info_panel_.reset();
  adjust_window_.reset();
}

void WndMainToolbar::SetChecked(int command, bool on) {
  if (CWidgetItem* item = ItemById(command)) item->Set(CWidgetItem::kChecked, on);
}

void WndMainToolbar::SetEnabled(int command, bool on) {
  if (CWidgetItem* item = ItemById(command)) item->Set(CWidgetItem::kEnabled, on);
}

void WndMainToolbar::PostCommand(int command) const {
  if (HWND parent = ::GetParent(GetSafeHwnd())) ::PostMessageW(parent, WM_COMMAND, static_cast<WPARAM>(command), 0);
}

RECT WndMainToolbar::ButtonScreenRect(int command) const {
  RECT rect{};
  if (const CWidgetItem* item = ItemById(command)) {
    rect = item->Rect();
    ::MapWindowPoints(GetSafeHwnd(), nullptr, reinterpret_cast<POINT*>(&rect), 2);
  }
  return rect;
}

void WndMainToolbar::DrawBackground(HDC dc, int left, int top, int right, int bottom) {
  base::BrushHandle brush(::CreateSolidBrush(wnd_main_toolbar::ToolbarBackground(config_.canvas_back_color)));
  const RECT fill{left, top, right, bottom};
  ::FillRect(dc, &fill, brush.Get());
}

void WndMainToolbar::OnItemClick(CWidgetItem* item) {
  if (!item) return;
  const bool droppedByThisPress = press_drops_adjust_ && item->GetID() == kCommandAdjust && !adjust_window_;
  press_drops_adjust_ = false;
  if (droppedByThisPress) return;
  if (item->GetID() == kCommandActualSize) ToggleActualSizeState();
  PostCommand(item->GetID());
}

bool WndMainToolbar::IsActualSizeAlternative() const {
  const auto* button = static_cast<const CToolbarButton*>(ItemById(kCommandActualSize));
  return button && button->Column() == wnd_main_toolbar::kFitColumn;
}

void WndMainToolbar::SetActualSizeState(bool alternative) {
  auto* button = static_cast<CToolbarButton*>(ItemById(kCommandActualSize));
  if (!button) return;
  button->SetColumn(alternative ? wnd_main_toolbar::kFitColumn : wnd_main_toolbar::kActualSizeColumn);
  button->SetTooltip(wnd_main_toolbar::ToolbarTip(alternative ? wnd_main_toolbar::kFitTip
                                                              : wnd_main_toolbar::kActualSizeTip));
  config_.actual_size_button_normal = alternative ? 0 : 1;
  OnSizeLayout();
}

void WndMainToolbar::ToggleActualSizeState() { SetActualSizeState(!IsActualSizeAlternative()); }

void WndMainToolbar::ToggleInfoPanel() {
  if (info_panel_) {
    SetChecked(20000, false);
    info_panel_.reset();
  } else if (auto* factory = services::Find<services::IInfoPanelFactory>()) {
    info_panel_ = factory->CreateInfoPanel(::GetParent(GetSafeHwnd()));
    if (info_panel_) {
      SetChecked(20000, true);
      info_panel_->Place(ButtonScreenRect(20000));
    }
  }
  Invalidate();
}

void WndMainToolbar::ToggleAdjustWindow() {
  const CWidgetItem* button = ItemById(kCommandAdjust);
  if (adjust_window_) {
    // Pressed again while the window is open: it is dropped.
    DropAdjustWindow();
  } else if (button && button->Has(CWidgetItem::kChecked)) {
    config_.view_enhance_mode = 0;
    config_.view_adjust_kept = 0;
    SetChecked(kCommandAdjust, false);
    PostCommand(21802);
  } else if (auto* factory = services::Find<services::IAdjustWindowFactory>();
             factory && button && button->Has(CWidgetItem::kEnabled)) {
    adjust_window_ = factory->CreateAdjustWindow(GetSafeHwnd());
    if (adjust_window_) {
      adjust_window_->ShowAt(ButtonScreenRect(kCommandAdjust));
      SetChecked(kCommandAdjust, true);
    }
  }
  Invalidate();
  if (auto* statistics = services::Find<services::IUsageStatistics>()) statistics->ReportFeature(L"enhance");
}

void WndMainToolbar::DropAdjustWindow() {
  adjust_window_.reset();
  config_.view_adjust_kept = 0;
  SetChecked(kCommandAdjust, false);
}

void WndMainToolbar::OnAdjustWindowClosed(WPARAM mode, LPARAM sender) {
  // Only the window held now may close it: a late message from one already let go is a stranger.
  const HWND held = adjust_window_ ? adjust_window_->GetSafeHwnd() : nullptr;
  if (!held || reinterpret_cast<HWND>(sender) != held) return;
  const int chosen = mode >= 1 && mode <= 3 ? static_cast<int>(mode) : 0;
  config_.view_enhance_mode = chosen;
  config_.view_adjust_kept = chosen != 0 ? 1 : 0;
  SetChecked(kCommandAdjust, chosen != 0);
  adjust_window_.reset();
  if (chosen != 0) PostCommand(21802);
  Invalidate();
}

void WndMainToolbar::OnLButtonDown(int x, int y) {
  // A press on the adjust button while its window is open takes the focus from the window, which
  // drops itself: that press must not open it again when it ends.
  const CWidgetItem* item = ItemAt(x, y);
  press_drops_adjust_ = adjust_window_ && item && item->GetID() == kCommandAdjust;
  CWidgetWindow::OnLButtonDown(x, y);
}

void WndMainToolbar::SetFullScreen(bool on) {
  full_screen_ = on;
  if (CWidgetItem* button = ItemById(20013)) {
    button->SetTooltip(wnd_main_toolbar::ToolbarTip(on ? wnd_main_toolbar::kLeaveFullScreenTip
                                                       : wnd_main_toolbar::kFullScreenTip));
  }
  OnSizeLayout();
}

void WndMainToolbar::RepositionPopups() {
  if (info_panel_) info_panel_->Place(ButtonScreenRect(20000));
}

void WndMainToolbar::RefreshStepButtons() {
  const CCurrentFolderImage& list = GetCurrentFolderList();
  SetEnabled(20005, list.CanMove(-1));
  SetEnabled(20006, list.CanMove(1));
}

void WndMainToolbar::RefreshButtons() {
  CCurrentImage& image = CCurrentImage::Get();
  const CWICImageLoaderPtr loader = image.Loader();
  const bool shown = loader && loader->FrameSource();
  SetEnabled(20001, shown && !loader->Metadata().gps.empty());
  SetActualSizeState(false);
  SetEnabled(20002, shown);
  const bool still = shown && !loader->IsAnimatedPicture();
  SetEnabled(20007, still);
  SetEnabled(20008, still);
  RefreshStepButtons();
  for (int command : {20003, 20004, 20010, 20011, 20000}) SetEnabled(command, shown);
  SetEnabled(20009, !image.Path().empty() && base::FileExists(image.Path()));
  OnSizeLayout();
}

void WndMainToolbar::OnUIEvent(const CUIEventParam& event) {
  const int type = event.GetType();
  if (type == CUIEventViewImageChanged::Type()) {
    RefreshButtons();
  } else if (type == CUIEventViewZoomChanged::Type()) {
    const auto& zoom = static_cast<const CUIEventViewZoomChanged&>(event);
    const bool alternative = zoom.Zoom() != zoom.FitRatio();
    if (alternative != IsActualSizeAlternative()) ToggleActualSizeState();
  } else if (type == CUIEventFolderImageCollected::Type()) {
    RefreshStepButtons();
    Invalidate();
  }
}

LRESULT WndMainToolbar::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == services::WM_ADJUST_WINDOW_CLOSED) {
    OnAdjustWindowClosed(wParam, lParam);
    return 0;
  }
  return CWidgetWindow::WindowProc(message, wParam, lParam);
}
