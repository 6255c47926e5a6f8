#include <gtest/gtest.h>

#include <string>

#include "app/config/app_config.h"
#include "tests/support/test_support.h"

namespace {

constexpr RECT kWork = {0, 0, 1920, 1040};

std::wstring Fit(const std::wstring& text, const RECT& work = kWork) {
  RECT r{};
  if (!placement::FitToWorkArea(text, work, r)) return L"maximised";
  return placement::MakeText(false, r);
}

TEST(Placement, DefaultTextShrinksTheWorkArea) {
  EXPECT_EQ(placement::DefaultText({0, 0, 1920, 1080}), L"320_108_1600_972");
  EXPECT_EQ(placement::DefaultText({0, 0, 1366, 728}), L"227_72_1139_656");
  EXPECT_EQ(placement::DefaultText({100, 30, 1700, 1030}), L"366_130_1434_930");
}

TEST(Placement, FittingMovesOrCutsIntoTheWorkArea) {
  EXPECT_EQ(Fit(L"100_100_1100_800"), L"100_100_1100_800");
  EXPECT_EQ(Fit(L"1500_600_2500_1300"), L"920_340_1920_1040");  // shifted left and up
  EXPECT_EQ(Fit(L"-300_-50_700_650"), L"0_0_1000_700");         // negative corner shifted right and down
  EXPECT_EQ(Fit(L"0_0_3000_2000"), L"0_0_1920_1040");           // cut to the work area
  EXPECT_EQ(Fit(L"500_200_3000_2000"), L"0_0_1920_1040");       // cut, then shifted
  EXPECT_EQ(Fit(L"0_0_700_500"), L"0_0_700_500");
  EXPECT_EQ(Fit(L"-2147483648_0_2147483647_900"), L"0_0_1920_900");  // no overflow on extreme values
  EXPECT_EQ(Fit(L"1200_100_2000_700", {100, 50, 1700, 1000}), L"900_100_1700_700");
}

TEST(Placement, SmallOrMalformedRectanglesMaximise) {
  for (const wchar_t* text : {L"MAX", L"", L"1_2_3", L"1_2_3_4_5", L"a_b_c_d", L"0_0_699_500", L"0_0_700_499",
                              L"900_0_100_800"}) {
    EXPECT_EQ(Fit(text), L"maximised") << text;
  }
  // A work area narrower than 700 pixels cuts every rectangle below the minimum.
  EXPECT_EQ(Fit(L"0_0_1000_800", {0, 0, 690, 1000}), L"maximised");
  EXPECT_EQ(placement::MakeText(true, RECT{1, 2, 3, 4}), L"MAX");
}

// The store's placement on a real top-level window (needs the X display).
class PlacementWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = ::CreateWindowExW(0, L"STATIC", L"placement", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work_, 0);
    ASSERT_GE(work_.right - work_.left, 1000);
    ASSERT_GE(work_.bottom - work_.top, 700);
  }
  void TearDown() override { ::DestroyWindow(window_); }

  testing_support::TempDir dir_;
  AppConfig config_{dir_.File(L"config.ini")};
  HWND window_ = nullptr;
  RECT work_{};
};

TEST_F(PlacementWindow, StoredRectangleRoundTrips) {
  config_.last_position = placement::MakeText(false, {work_.left + 50, work_.top + 40, work_.left + 950,
                                                      work_.top + 690});
  config_.ApplyWindowPlacement(window_);
  EXPECT_FALSE(::IsZoomed(window_));
  EXPECT_EQ(config_.MakeWindowPlacement(window_), config_.last_position);
}

TEST_F(PlacementWindow, EmptyTextUsesTheShrunkWorkAreaAndMaxMaximises) {
  config_.last_position.clear();
  config_.ApplyWindowPlacement(window_);
  EXPECT_EQ(config_.MakeWindowPlacement(window_), placement::DefaultText(work_));
  config_.last_position = L"MAX";
  config_.ApplyWindowPlacement(window_);
  EXPECT_TRUE(::IsZoomed(window_));
  EXPECT_EQ(config_.MakeWindowPlacement(window_), L"MAX");
}

TEST_F(PlacementWindow, MinimisedWindowStoresItsRestoredRectangle) {
  const std::wstring text = placement::MakeText(false, {work_.left + 60, work_.top + 70, work_.left + 860,
                                                        work_.top + 670});
  config_.last_position = text;
  config_.ApplyWindowPlacement(window_);
  ::ShowWindow(window_, SW_SHOWMINIMIZED);
  ASSERT_TRUE(::IsIconic(window_));
  EXPECT_EQ(config_.MakeWindowPlacement(window_), text);
}

}  // namespace
