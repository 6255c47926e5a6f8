#include <gtest/gtest.h>

#include <string>

#include "appconfig/app_config.h"
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

// The store's placement on a real top-level window (needs the X display). One window goes
// through every state in turn and is left to the process's exit: under Wine, hiding or destroying
// the foreground window hands activation to any other window of the Wine session, and one whose
// process has gone astray has ended this process with an X BadWindow error.
TEST(PlacementWindow, AppliesAndReportsEveryState) {
  RECT work{};
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  ASSERT_GE(work.right - work.left, 1000);
  ASSERT_GE(work.bottom - work.top, 700);
  testing_support::TempDir dir;
  AppConfig config(dir.File(L"config.ini"));
  const HWND window = ::CreateWindowExW(0, L"STATIC", L"placement", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                                        nullptr, ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(window, nullptr);

  config.last_position = placement::MakeText(false, {work.left + 50, work.top + 40, work.left + 950, work.top + 690});
  config.ApplyWindowPlacement(window);
  EXPECT_FALSE(::IsZoomed(window));
  EXPECT_EQ(config.MakeWindowPlacement(window), config.last_position);

  config.last_position.clear();
  config.ApplyWindowPlacement(window);
  EXPECT_EQ(config.MakeWindowPlacement(window), placement::DefaultText(work));

  // A minimised window reports the rectangle it returns to, not its parking place off screen.
  ::ShowWindow(window, SW_SHOWMINNOACTIVE);
  EXPECT_TRUE(::IsIconic(window));
  EXPECT_EQ(config.MakeWindowPlacement(window), placement::DefaultText(work));

  config.last_position = L"MAX";
  config.ApplyWindowPlacement(window);
  EXPECT_TRUE(::IsZoomed(window));
  EXPECT_EQ(config.MakeWindowPlacement(window), L"MAX");
}

}  // namespace
