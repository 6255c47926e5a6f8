// The widget window framework in real windows: which item the pointer is over, when a press
// becomes a click, what a paint redraws and which items get tooltips.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <vector>

#include "widget/widget_window.h"

namespace {

constexpr UINT kDropCapture = WM_APP + 7;

class ColourItem : public CWidgetItem {
 public:
  ColourItem(int id, RECT rect, COLORREF colour, std::vector<int>* drawn) : CWidgetItem(id), colour_(colour), drawn_(drawn) {
    SetRect(rect);
  }
  void Draw(HDC dc) override {
    const RECT all{0, 0, Width(), Height()};
    HBRUSH brush = ::CreateSolidBrush(colour_);
    ::FillRect(dc, &all, brush);
    ::DeleteObject(brush);
    if (drawn_) drawn_->push_back(GetID());
  }
  void OnMouseEnter() override { ++enters; }
  void OnMouseLeave() override { ++leaves; }
  int enters = 0;
  int leaves = 0;

 private:
  COLORREF colour_;
  std::vector<int>* drawn_;
};

class TestWidget : public CWidgetWindow {
 public:
  ~TestWidget() override { Destroy(); }
  ColourItem* Add(int id, RECT rect, COLORREF colour = RGB(200, 0, 0)) {
    auto item = std::make_unique<ColourItem>(id, rect, colour, &drawn);
    ColourItem* raw = item.get();
    AddItem(std::move(item));
    return raw;
  }
  void OnItemClick(CWidgetItem* item) override { clicks.push_back(item ? item->GetID() : -1); }
  void DrawBackground(HDC dc, int left, int top, int right, int bottom) override {
    const RECT all{left, top, right, bottom};
    ::FillRect(dc, &all, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
  }
  std::vector<int> clicks;
  std::vector<int> drawn;

 protected:
  LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    // A dialog taking the capture in the middle of a press.
    if (message == kDropCapture) {
      ::ReleaseCapture();
      return 0;
    }
    return CWidgetWindow::WindowProc(message, wParam, lParam);
  }
};

// Places every item where it was put at construction.
class KeepLayout : public CWidgetLayout {
 public:
  void Layout(HWND, WidgetItemList&) override {}
};

class WidgetWindowTest : public ::testing::Test {
 protected:
  // One visible top-level window for the whole suite: making and mapping one takes a while here.
  static void SetUpTestSuite() {
    host_ = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 400, 300, nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
  }
  static void TearDownTestSuite() { ::DestroyWindow(host_); }
  void SetUp() override { ASSERT_NE(host_, nullptr); }
  void TearDown() override { widget_.reset(); }
  TestWidget& MakeWidget() {
    widget_ = std::make_unique<TestWidget>();
    return *widget_;
  }
  static inline HWND host_ = nullptr;
  std::unique_ptr<TestWidget> widget_;
};

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

TEST_F(WidgetWindowTest, TheFirstActiveItemInListOrderTakesHoverAndHits) {
  TestWidget& widget = MakeWidget();
  ColourItem* first = widget.Add(1, RECT{0, 0, 100, 100});
  ColourItem* second = widget.Add(2, RECT{50, 50, 150, 150});
  ASSERT_TRUE(widget.Create(host_, RECT{0, 0, 300, 200}, 5));

  EXPECT_EQ(widget.ItemAt(75, 75), first);
  widget.UpdateHover(75, 75);
  EXPECT_TRUE(first->Has(CWidgetItem::kHover));
  EXPECT_FALSE(second->Has(CWidgetItem::kHover));
  EXPECT_EQ(first->enters, 1);

  // A disabled earlier item does not shadow an enabled later one.
  first->Set(CWidgetItem::kEnabled, false);
  EXPECT_EQ(widget.ItemAt(75, 75), second);
  widget.UpdateHover(75, 75);
  EXPECT_TRUE(second->Has(CWidgetItem::kHover));
  EXPECT_FALSE(first->Has(CWidgetItem::kHover));
  EXPECT_EQ(first->leaves, 1);
  EXPECT_EQ(second->enters, 1);

  // The same item again changes nothing; leaving the window clears the hover.
  widget.UpdateHover(120, 120);
  EXPECT_EQ(second->enters, 1);
  widget.UpdateHover(CWidgetWindow::kNoPoint, CWidgetWindow::kNoPoint);
  EXPECT_FALSE(second->Has(CWidgetItem::kHover));
  EXPECT_EQ(second->leaves, 1);
  second->Set(CWidgetItem::kVisible, false);
  EXPECT_EQ(widget.ItemAt(120, 120), nullptr);
}

TEST_F(WidgetWindowTest, APressClicksOnlyWhenReleasedOverThePressedItem) {
  struct Case {
    const char* name;
    std::vector<MSG> after;  // what the press loop reads after the button went down at (20, 20)
    bool enabled;
    std::vector<int> clicks;
  };
  const auto move = [](int x, int y) { return MSG{nullptr, WM_MOUSEMOVE, 0, At(x, y), 0, {}}; };
  const auto up = [](int x, int y) { return MSG{nullptr, WM_LBUTTONUP, 0, At(x, y), 0, {}}; };
  const MSG lose{nullptr, kDropCapture, 0, 0, 0, {}};
  const std::vector<Case> cases = {
      {"released over it", {up(30, 30)}, true, {7}},
      {"dragged off and released elsewhere", {move(200, 150), up(200, 150)}, true, {}},
      {"dragged off and back", {move(200, 150), move(25, 25), up(25, 25)}, true, {7}},
      {"capture taken away", {lose, up(30, 30)}, true, {}},
      {"disabled item", {up(30, 30)}, false, {}},
  };
  for (const Case& c : cases) {
    TestWidget& widget = MakeWidget();
    ColourItem* item = widget.Add(7, RECT{10, 10, 60, 60});
    item->Set(CWidgetItem::kEnabled, c.enabled);
    ASSERT_TRUE(widget.Create(host_, RECT{0, 0, 300, 200}, 5));
    for (MSG m : c.after) ::PostMessageW(widget.GetSafeHwnd(), m.message, m.wParam, m.lParam);
    widget.OnLButtonDown(20, 20);
    EXPECT_EQ(widget.clicks, c.clicks) << c.name;
    EXPECT_FALSE(item->Has(CWidgetItem::kPressed)) << c.name;
    EXPECT_NE(::GetCapture(), widget.GetSafeHwnd()) << c.name;
    // Whatever the loop left behind must not leak into the next case.
    MSG rest;
    while (::PeekMessageW(&rest, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&rest);
  }
}

TEST_F(WidgetWindowTest, APaintRedrawsOnlyTheItemsInTheUpdateRectangle) {
  TestWidget& widget = MakeWidget();
  widget.Add(1, RECT{0, 0, 50, 50}, RGB(200, 0, 0));
  widget.Add(2, RECT{100, 0, 150, 50}, RGB(0, 0, 200));
  ASSERT_TRUE(widget.Create(host_, RECT{0, 0, 300, 200}, 5));
  ::UpdateWindow(widget.GetSafeHwnd());
  EXPECT_EQ(widget.drawn, (std::vector<int>{1, 2}));

  widget.drawn.clear();
  widget.InvalidateItem(*widget.ItemById(2));
  ::UpdateWindow(widget.GetSafeHwnd());
  EXPECT_EQ(widget.drawn, std::vector<int>{2});

  HDC dc = ::GetDC(widget.GetSafeHwnd());
  EXPECT_EQ(::GetPixel(dc, 25, 25), RGB(200, 0, 0));
  EXPECT_EQ(::GetPixel(dc, 125, 25), RGB(0, 0, 200));
  EXPECT_EQ(::GetPixel(dc, 75, 100), RGB(255, 255, 255));
  ::ReleaseDC(widget.GetSafeHwnd(), dc);
}

TEST_F(WidgetWindowTest, OnlyVisibleItemsWithTextGetToolsNumberedFromOneHundred) {
  TestWidget& widget = MakeWidget();
  widget.Add(1, RECT{0, 0, 10, 10})->SetTooltip(L"first");
  ColourItem* hidden = widget.Add(2, RECT{10, 0, 20, 10});
  hidden->SetTooltip(L"hidden");
  hidden->Set(CWidgetItem::kVisible, false);
  widget.Add(3, RECT{20, 0, 30, 10});
  widget.Add(4, RECT{30, 0, 40, 10})->SetTooltip(L"fourth");
  widget.SetLayout(std::make_unique<KeepLayout>());
  ASSERT_TRUE(widget.Create(host_, RECT{0, 0, 300, 200}, 5));

  HWND tooltip = widget.Tooltip();
  ASSERT_NE(tooltip, nullptr);
  ASSERT_EQ(::SendMessageW(tooltip, TTM_GETTOOLCOUNT, 0, 0), 2);
  std::vector<UINT_PTR> ids;
  for (int i = 0; i < 2; ++i) {
    TTTOOLINFOW info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(::SendMessageW(tooltip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&info)));
    ids.push_back(info.uId);
  }
  // Tool ids count the visible items only: the first, the third (no text, no tool) and the fourth.
  EXPECT_EQ(ids, (std::vector<UINT_PTR>{100, 102}));
}

}  // namespace
