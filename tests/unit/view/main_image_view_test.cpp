// The main image view in a real window over real files: the states it shows for the current image,
// the arrows once the folder is listed, and what the wheel does under each setting.
#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <vector>

#include "appconfig/app_config.h"
#include "base/com.h"
#include "image/current_image.h"
#include "image/gdiplus_include.h"
#include "image/obj_image.h"
#include "image/save/png_writer.h"
#include "image/wic/factory.h"
#include "tests/support/test_support.h"
#include "view/current_folder_image.h"
#include "view/view_links.h"
#include "view/window/main_image_view.h"
#include "view/window/main_view_items.h"

namespace {

std::vector<UINT> g_commands;

LRESULT CALLBACK HostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_COMMAND) g_commands.push_back(LOWORD(wParam));
  return ::DefWindowProcW(window, message, wParam, lParam);
}

bool WriteSolid(const std::wstring& path, int width, int height) {
  FCObjImage image;
  if (!image.Create(width, height, 24)) return false;
  for (int y = 0; y < height; ++y) {
    uint8_t* row = image.RowPointer(y);
    for (int x = 0; x < width * 3; x += 3) row[x] = 200, row[x + 1] = 60, row[x + 2] = 30;
  }
  return WriteImagePng(image, path);
}

class MainImageViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = HostProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"ViewTestHost";
    ::RegisterClassW(&wc);
    host_ = ::CreateWindowExW(0, L"ViewTestHost", L"host", WS_POPUP | WS_VISIBLE, 0, 0, 900, 700, nullptr, nullptr,
                              ::GetModuleHandleW(nullptr), nullptr);
  }
  static void TearDownTestSuite() { ::DestroyWindow(host_); }

  void SetUp() override {
    ASSERT_NE(host_, nullptr);
    ASSERT_TRUE(CreateWicFactory());
    CCurrentImage::Get().SetMessagesEnabled(false);
    config_.toolbar_dock = 1;
    config_.RefreshBackgroundBrush();
    view_ = std::make_unique<WndMainImageView>(config_);
    ASSERT_TRUE(view_->Create(host_, RECT{0, 0, 800, 600}, WndMainImageView::kChildId));
    for (const wchar_t* name : {L"a1.png", L"a2.png", L"a10.png"}) ASSERT_TRUE(WriteSolid(dir_.File(name), 400, 300));
    ASSERT_TRUE(testing_support::WriteText(dir_.File(L"broken.png"), "\x89PNG\r\n\x1a\n not really"));
  }
  void TearDown() override {
    view_.reset();
    CCurrentImage::Get().Queue().DrainRunning();
    testing_support::PumpPostedMessages(2000);
    CCurrentImage::Get().Clear();
    DestroyCurrentFolderList();
    g_commands.clear();
  }

  void Show(const std::wstring& path) {
    CCurrentImage::Get().Open(path);
    view_->ShowCurrentImage();
  }
  bool Arrow(int id) const {
    const CWidgetItem* item = view_->ItemById(id);
    return item && item->Has(CWidgetItem::kVisible);
  }
  // Turns the wheel over the view's centre; answers the commands the view posted.
  std::vector<UINT> Wheel(int delta, UINT keys) {
    g_commands.clear();
    POINT centre{400, 300};
    ::ClientToScreen(view_->GetSafeHwnd(), &centre);
    ::SendMessageW(view_->GetSafeHwnd(), WM_MOUSEWHEEL, MAKEWPARAM(keys, delta), MAKELPARAM(centre.x, centre.y));
    testing_support::PumpPostedMessages(2000);
    return g_commands;
  }

  static inline HWND host_ = nullptr;
  FCAutoInitializeCOM com_;
  image::GdiplusSession gdiplus_;
  testing_support::TempDir dir_;
  AppConfig config_{L""};
  std::unique_ptr<WndMainImageView> view_;
};

TEST_F(MainImageViewTest, StatesFollowTheCurrentImage) {
  using State = WndMainImageView::State;
  Show(L"");
  EXPECT_EQ(view_->GetState(), State::kWelcome);
  EXPECT_NE(view_->ItemById(main_view::kWelcomeOpen), nullptr);
  EXPECT_EQ(view_->Renderer(), nullptr);

  Show(dir_.File(L"a2.png"));
  EXPECT_EQ(view_->GetState(), State::kShown);
  ASSERT_NE(view_->Renderer(), nullptr);
  EXPECT_EQ(view_->ItemById(main_view::kWelcomeOpen), nullptr);
  // The arrows wait for the folder list; then both neighbours exist in logical order (a1 < a2 < a10).
  EXPECT_FALSE(Arrow(main_view::kPreviousArrow));
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return Arrow(main_view::kNextArrow); }, 20000));
  EXPECT_TRUE(Arrow(main_view::kPreviousArrow));
  EXPECT_EQ(GetCurrentFolderList().GetNeighbourPath(1), dir_.File(L"a10.png"));

  Show(dir_.File(L"broken.png"));
  EXPECT_EQ(view_->GetState(), State::kLoadError);
  EXPECT_EQ(view_->Renderer(), nullptr);
  EXPECT_FALSE(Arrow(main_view::kNextArrow));
  // The folder list still knows the broken file, so stepping goes on past it.
  ASSERT_TRUE(testing_support::PumpMessagesUntil([&] { return Arrow(main_view::kPreviousArrow); }, 20000));

  // A file that vanished leads to the welcome screen and an empty current image.
  ASSERT_TRUE(::DeleteFileW(dir_.File(L"a1.png").c_str()));
  Show(dir_.File(L"a1.png"));
  EXPECT_EQ(view_->GetState(), State::kWelcome);
  EXPECT_TRUE(CCurrentImage::Get().Path().empty());
}

TEST_F(MainImageViewTest, TheWheelZoomsOrStepsAsTheSettingSays) {
  Show(dir_.File(L"a2.png"));
  ASSERT_NE(view_->Renderer(), nullptr);
  const auto zoom = [&] { return view_->Renderer()->CurrentZoom(); };
  struct Case {
    int action;
    UINT keys;
    int delta;
    std::vector<UINT> commands;
    bool zooms;
  };
  const Case cases[] = {
      {0, 0, -120, {20006}, false},          {0, 0, 120, {20005}, false},
      {0, MK_CONTROL, 120, {}, true},        {1, 0, 240, {}, true},
      {1, MK_CONTROL, -120, {20006}, false}, {1, 0, 60, {}, false},  // below one notch: no zoom step
  };
  for (const Case& c : cases) {
    config_.mouse_wheel_action = c.action;
    const float before = zoom();
    EXPECT_EQ(Wheel(c.delta, c.keys), c.commands) << "action " << c.action << " keys " << c.keys << " delta " << c.delta;
    EXPECT_EQ(zoom() != before, c.zooms) << "action " << c.action << " keys " << c.keys << " delta " << c.delta;
  }

  // On the welcome screen the wheel does nothing at all.
  Show(L"");
  config_.mouse_wheel_action = 0;
  EXPECT_TRUE(Wheel(-120, 0).empty());
}

TEST_F(MainImageViewTest, WithTheToolbarOnTopThePictureKeepsClearOfTheMargins) {
  config_.toolbar_dock = 0;
  config_.view_margin = 24;
  Show(dir_.File(L"a2.png"));
  const RECT area = view_->ImageArea();
  EXPECT_EQ(area.left, 24);
  EXPECT_EQ(area.top, 0);
  EXPECT_EQ(area.right, 800 - 24);
  EXPECT_EQ(area.bottom, 600 - 24);
  ASSERT_NE(view_->Renderer(), nullptr);
  EXPECT_EQ(view_->Renderer()->Buffer().Width(), 752);
  EXPECT_EQ(view_->Renderer()->Buffer().Height(), 576);
}

TEST(MainViewLayout, ArrowsHugTheEdgesAndTheWelcomeButtonSitsUnderItsPicture) {
  WidgetItemList items;
  auto slogan = std::make_shared<FCObjImage>();
  ASSERT_TRUE(slogan->Create(360, 200, 32));
  auto open = std::make_shared<FCObjImage>();
  ASSERT_TRUE(open->Create(480, 44, 32));
  items.push_back(std::make_unique<main_view::CWelcomeSlogonItem>(slogan));
  items.push_back(std::make_unique<main_view::CWelcomeOpenItem>(open));
  class Arrow : public CWidgetItem {
   public:
    using CWidgetItem::CWidgetItem;
    void Draw(HDC) override {}
  };
  items.push_back(std::make_unique<Arrow>(main_view::kPreviousArrow));
  items.push_back(std::make_unique<Arrow>(main_view::kNextArrow));
  main_view::CMainViewLayout(64).LayoutIn(RECT{0, 0, 800, 600}, items);
  const auto rect = [](const CWidgetItem& item) {
    const RECT& r = item.Rect();
    return std::vector<LONG>{r.left, r.top, r.right, r.bottom};
  };
  EXPECT_EQ(rect(*items[0]), (std::vector<LONG>{220, 174, 580, 374}));  // top: (600 - 200 - 52) / 2
  EXPECT_EQ(rect(*items[1]), (std::vector<LONG>{227, 461, 387, 505}));  // a third of 480 wide
  EXPECT_EQ(rect(*items[2]), (std::vector<LONG>{0, 0, 64, 600}));
  EXPECT_EQ(rect(*items[3]), (std::vector<LONG>{736, 0, 800, 600}));

  // The loading frame shrinks into a small item, keeping its shape, and never grows.
  const RECT shrunk = main_view::FitCentred(48, 48, 20, 100);
  EXPECT_EQ(std::vector<LONG>({shrunk.left, shrunk.top, shrunk.right, shrunk.bottom}),
            (std::vector<LONG>{0, 40, 20, 60}));
  const RECT kept = main_view::FitCentred(48, 48, 200, 100);
  EXPECT_EQ(std::vector<LONG>({kept.left, kept.top, kept.right, kept.bottom}), (std::vector<LONG>{76, 26, 124, 74}));
}

}  // namespace
