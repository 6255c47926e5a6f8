#include <gtest/gtest.h>

#include <cmath>

#include "view/view_geometry.h"

namespace {

TEST(ViewGeometryTest, FitAndDrawnSizes) {
  EXPECT_FLOAT_EQ(FitRatio(800, 600, 4000, 3000), 0.2f);
  EXPECT_EQ(DrawnLength(4000, 0.2f), 800);
  EXPECT_EQ(DrawnLength(3000, 0.2f), 600);
  // Never above 1, however small the picture.
  EXPECT_FLOAT_EQ(FitRatio(800, 600, 100, 100), 1.0f);
  // The integer part, and 1 whenever it falls below 2.
  EXPECT_EQ(DrawnLength(1, 0.6f), 1);
  EXPECT_EQ(DrawnLength(3, 0.5f), 1);
  EXPECT_EQ(DrawnLength(5, 0.5f), 2);
  EXPECT_EQ(DrawnLength(0, 1.0f), 1);
  // A zoom that would overflow an int stays within it.
  EXPECT_EQ(DrawnLength(2000000000, 32.0f), 2147483647);
  // An area with no room still gives a positive ratio.
  EXPECT_GT(FitRatio(0, 0, 640, 480), 0.0f);
}

TEST(ViewGeometryTest, SmallPictureIsCentredAndCannotScroll) {
  CViewGeometry geometry(800, 600, 100, 100);
  EXPECT_EQ(geometry.DrawnOrigin().x, 350);
  EXPECT_EQ(geometry.DrawnOrigin().y, 250);
  EXPECT_EQ(geometry.OverflowX(), 0);
  EXPECT_EQ(geometry.OverflowY(), 0);
  const RECT visible = geometry.VisibleRect();
  EXPECT_EQ(visible.left, 350);
  EXPECT_EQ(visible.bottom, 350);
  EXPECT_FALSE(geometry.MoveScroll(30, -40));
  EXPECT_EQ(geometry.DrawnOrigin().x, 350);
}

TEST(ViewGeometryTest, ScrollToKeepsThePointAndClampsAtTheEdges) {
  CViewGeometry geometry(800, 600, 2000, 500);  // wider than the area, lower than it
  EXPECT_EQ(geometry.OverflowX(), 1200);
  EXPECT_EQ(geometry.OverflowY(), 0);
  EXPECT_EQ(geometry.VisibleRect().left, 0);
  EXPECT_EQ(geometry.VisibleRect().top, 50);

  // Drawn point 1000.5 under area x 400: left = round(1000.5) - 400 = 601 (half away from zero).
  geometry.ScrollTo(1000.5f, 100.0f, 400, 300);
  EXPECT_EQ(geometry.ScrollRect().left, 601);
  EXPECT_EQ(geometry.ScrollRect().right, 1401);
  EXPECT_EQ(geometry.DrawnOrigin().x, -601);
  // No vertical overflow: centred vertically, the scroll rectangle spans the drawn height.
  EXPECT_EQ(geometry.DrawnOrigin().y, 50);
  EXPECT_EQ(geometry.ScrollRect().top, 0);
  EXPECT_EQ(geometry.ScrollRect().bottom, 500);

  geometry.ScrollTo(5000.0f, 0.0f, 0, 0);
  EXPECT_EQ(geometry.ScrollRect().left, 1200);
  geometry.ScrollTo(-50.0f, 0.0f, 10, 0);
  EXPECT_EQ(geometry.ScrollRect().left, 0);
  geometry.ScrollTo(std::nanf(""), 0.0f, 0, 0);
  EXPECT_EQ(geometry.ScrollRect().left, 0);

  // A new size scrolls back to the corner.
  geometry.ScrollTo(900.0f, 0.0f, 0, 0);
  geometry.SetImageSize(3000, 1000);
  EXPECT_EQ(geometry.ScrollRect().left, 0);
  EXPECT_EQ(geometry.ScrollRect().top, 0);
  EXPECT_EQ(geometry.OverflowY(), 400);
}

TEST(ViewGeometryTest, MovingStopsAtTheEdges) {
  CViewGeometry geometry(800, 600, 1000, 900);
  EXPECT_FALSE(geometry.MoveScroll(-10, -10));  // already at the top-left corner
  EXPECT_TRUE(geometry.MoveScroll(150, 120));
  EXPECT_EQ(geometry.ScrollRect().left, 150);
  EXPECT_EQ(geometry.ScrollRect().top, 120);
  EXPECT_TRUE(geometry.MoveScroll(500, 500));  // past the far edges
  EXPECT_EQ(geometry.ScrollRect().left, 200);
  EXPECT_EQ(geometry.ScrollRect().right, 1000);
  EXPECT_EQ(geometry.ScrollRect().top, 300);
  EXPECT_EQ(geometry.ScrollRect().bottom, 900);
  EXPECT_FALSE(geometry.MoveScroll(1, 1));
  EXPECT_TRUE(geometry.MoveScroll(-1000, 0));
  EXPECT_EQ(geometry.ScrollRect().left, 0);
  EXPECT_EQ(geometry.ScrollRect().top, 300);
}

}  // namespace
