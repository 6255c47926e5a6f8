#include "main_window/chrome/logo.h"

#include "base/handles.h"
#include "widget/skin_picture.h"

void CSwitchLayout::Layout(HWND window, WidgetItemList& items) {
  RECT client{};
  ::GetClientRect(window, &client);
  for (auto& item : items) {
    if (item->Has(CWidgetItem::kVisible)) item->SetRect(client);
  }
}

WndMainLogo::WndMainLogo() {
  auto wide = std::make_unique<widget_window::CWidgetItemImage>(0, LoadSkinPicture(L"logo_desc.png"));
  auto small = std::make_unique<widget_window::CWidgetItemImage>(1, LoadSkinPicture(L"logo-mini.png"));
  for (auto* item : {wide.get(), small.get()}) {
    const SIZE size = item->PictureSize();
    item->SetRect(RECT{0, 0, size.cx, size.cy});
  }
  small->Set(CWidgetItem::kVisible, false);
  AddItem(std::move(wide));
  AddItem(std::move(small));
  SetLayout(std::make_unique<CSwitchLayout>());
}

WndMainLogo::~WndMainLogo() { Destroy(); }

void WndMainLogo::SetLogoMode(bool wide) {
  wide_ = wide;
  if (CWidgetItem* item = ItemById(0)) item->Set(CWidgetItem::kVisible, wide);
  if (CWidgetItem* item = ItemById(1)) item->Set(CWidgetItem::kVisible, !wide);
  if (GetSafeHwnd()) {
    ::SetWindowPos(GetSafeHwnd(), nullptr, 0, 0, wide ? 90 : 24, 18, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  OnSizeLayout();
  Invalidate();
}

void WndMainLogo::DrawBackground(HDC dc, int left, int top, int right, int bottom) {
  base::BrushHandle brush(::CreateSolidBrush(RGB(248, 248, 248)));
  const RECT fill{left, top, right, bottom};
  ::FillRect(dc, &fill, brush.Get());
}
