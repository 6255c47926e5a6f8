#include "view/window/main_view_items.h"

#include <algorithm>

#include "appconfig/language.h"
#include "image/effect/effects.h"

namespace main_view {

CTurnPageItem::CTurnPageItem(int id, FCObjImage&& arrow, CWidgetWindow& view) : CWidgetItem(id), view_(view) {
  source_.TakeOver(arrow);
  display_ = source_;
}

void CTurnPageItem::OnMouseEnter() {
  step_ = 10;
  StartTimer(kFadeTickMs);
}

void CTurnPageItem::OnMouseLeave() {
  step_ = -10;
  StartTimer(kFadeTickMs);
}

void CTurnPageItem::OnTimer() {
  percent_ = std::clamp(percent_ + step_, 0, 100);
  if (percent_ == 0 || percent_ == 100) StopTimer();
  if (source_.IsValid()) {
    display_ = source_;
    ExecuteEffect(display_, std::make_unique<CEffectFillCurrentAlpha>(percent_), nullptr);
  }
  view_.InvalidateItem(*this);
}

void CTurnPageItem::Draw(HDC dc) {
  if (percent_ == 0 || !display_.IsValid()) return;
  const int w = display_.Width();
  const int sourceHeight = display_.Height();
  const int h = Height();
  const int middle = sourceHeight - 10;
  if (middle <= 0) {
    display_.Draw(dc, 0, 0, w, h);
    return;
  }
  // The middle rows keep their size; the five rows above and below stretch to the item's edges.
  const int t = (h - middle) / 2;
  const RECT top{0, 0, w, 5};
  const RECT centre{0, 5, w, sourceHeight - 5};
  const RECT bottom{0, sourceHeight - 5, w, sourceHeight};
  if (t > 0) display_.Draw(dc, 0, 0, w, t, &top);
  display_.Draw(dc, 0, t, w, t + middle, &centre);
  if (h - t - middle > 0) display_.Draw(dc, 0, t + middle, w, h, &bottom);
}

CLoadingGifItem::CLoadingGifItem(FCObjImagePtr strip, CWidgetWindow& view)
    : CWidgetItem(kLoading), strip_(std::move(strip)), view_(view) {
  const int side = strip_ && strip_->IsValid() ? strip_->Height() : 0;
  frame_ = RECT{0, 0, side, side};
  StartTimer(kFrameMs);
}

void CLoadingGifItem::OnTimer() {
  const int side = frame_.right - frame_.left;
  if (side <= 0 || !strip_) return;
  ::OffsetRect(&frame_, side, 0);
  if (frame_.right > strip_->Width()) frame_ = RECT{0, 0, side, side};
  view_.InvalidateItem(*this);
}

void CLoadingGifItem::Draw(HDC dc) {
  const int side = frame_.right - frame_.left;
  if (side <= 0 || !strip_ || !strip_->IsValid()) return;
  const RECT place = FitCentred(side, side, Width(), Height());
  strip_->Draw(dc, place.left, place.top, place.right, place.bottom, &frame_);
}

CLoadErrorItem::CLoadErrorItem(std::wstring fileName)
    : CWidgetItem(kLoadError), file_name_(std::move(fileName)), message_(GetLanguageString(L"app", L"LOAD_IMAGE_ERROR_TIP")) {
  LOGFONTW face{};
  ::GetObjectW(CWidgetWindow::DefaultFont(), sizeof(face), &face);
  base::WindowDc screen(nullptr);
  face.lfHeight = -::MulDiv(12, screen.Get() ? ::GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96, 72);
  face.lfWidth = 0;
  font_.Reset(::CreateFontIndirectW(&face));
}

void CLoadErrorItem::Draw(HDC dc) {
  base::SelectGuard select(dc, font_ ? static_cast<HGDIOBJ>(font_.Get()) : CWidgetWindow::DefaultFont());
  ::SetTextColor(dc, RGB(105, 105, 105));
  ::SetBkMode(dc, TRANSPARENT);
  const int w = Width();
  const int h = Height();
  RECT upper{0, 0, w, h / 2};
  RECT lower{0, h / 2, w, h};
  constexpr UINT kLine = DT_CENTER | DT_SINGLELINE | DT_NOPREFIX;
  ::DrawTextW(dc, file_name_.c_str(), -1, &upper, kLine | DT_BOTTOM);
  ::DrawTextW(dc, message_.c_str(), -1, &lower, kLine | DT_TOP);
}

CWelcomeSlogonItem::CWelcomeSlogonItem(FCObjImagePtr picture) : CWidgetItemImage(kWelcomeSlogan, std::move(picture)) {
  const SIZE size = PictureSize();
  SetRect(RECT{0, 0, size.cx, size.cy});
}

CWelcomeOpenItem::CWelcomeOpenItem(FCObjImagePtr picture) : CWidgetItemImage(kWelcomeOpen, std::move(picture)) {
  const SIZE size = PictureSize();
  SetRect(RECT{0, 0, size.cx / 3, size.cy});
}

void CWelcomeOpenItem::Draw(HDC dc) {
  const SIZE size = PictureSize();
  if (size.cx < 3) return;
  const int state = Has(kPressed) ? 2 : Has(kHover) ? 1 : 0;
  const int third = size.cx / 3;
  const RECT source{state * third, 0, state * third + third, size.cy};
  Image()->Draw(dc, 0, 0, Width(), Height(), &source);
}

void CMainViewLayout::Layout(HWND window, WidgetItemList& items) {
  RECT client{};
  ::GetClientRect(window, &client);
  LayoutIn(client, items);
}

void CMainViewLayout::LayoutIn(const RECT& c, WidgetItemList& items) const {
  CWidgetItem* slogan = nullptr;
  CWidgetItem* open = nullptr;
  for (auto& item : items) {
    switch (item->GetID()) {
      case kPreviousArrow:
        item->SetRect(RECT{c.left, c.top, c.left + arrow_width_, c.bottom});
        break;
      case kNextArrow:
        item->SetRect(RECT{c.right - arrow_width_, c.top, c.right, c.bottom});
        break;
      case kLoadError:
      case kLoading:
        item->SetRect(c);
        break;
      case kWelcomeSlogan:
        slogan = item.get();
        break;
      case kWelcomeOpen:
        open = item.get();
        break;
      default:
        break;
    }
  }
  if (!open) return;
  if (slogan) {
    const int w = slogan->Width();
    const int h = slogan->Height();
    const int left = c.left + (c.right - c.left - w) / 2;
    const int top = c.top + (c.bottom - c.top - h - 52) / 2;
    slogan->SetRect(RECT{left, top, left + w, top + h});
  }
  const RECT anchor = slogan ? slogan->Rect() : c;
  const int left = anchor.left + 7;
  const int top = anchor.bottom + 87;
  open->SetRect(RECT{left, top, left + open->Width(), top + open->Height()});
}

RECT FitCentred(int sourceWidth, int sourceHeight, int boxWidth, int boxHeight) {
  if (sourceWidth <= 0 || sourceHeight <= 0) return RECT{0, 0, 0, 0};
  int w = sourceWidth;
  int h = sourceHeight;
  if (w > boxWidth || h > boxHeight) {
    const double ratio = std::min(static_cast<double>(boxWidth) / w, static_cast<double>(boxHeight) / h);
    w = std::max(1, static_cast<int>(w * ratio));
    h = std::max(1, static_cast<int>(h * ratio));
  }
  const int left = (boxWidth - w) / 2;
  const int top = (boxHeight - h) / 2;
  return RECT{left, top, left + w, top + h};
}

}  // namespace main_view
