#include <gtest/gtest.h>

#include <cmath>

#include "common/box.h"
#include "common/clip.h"

namespace zumen {
namespace {

TEST(ExtentBox, StartAddAndClamp) {
  ExtentBox b;
  BoxStart(b, 10, 4, 2);
  EXPECT_EQ(b.minx, 5);
  EXPECT_EQ(b.miny, 2);
  EXPECT_EQ(b.maxx, 5);
  EXPECT_EQ(b.maxy, 2);
  BoxAdd(b, -2, 20, 2);
  EXPECT_EQ(b.minx, -1);
  EXPECT_EQ(b.maxy, 10);
  BoxAdd(b, 3e8, -3e8, 1);
  EXPECT_EQ(b.maxx, 1e8);
  EXPECT_EQ(b.miny, -1e8);
  // Block transform: (bx + b1 x + b2 y, by + b3 x + b4 y) / s.
  ExtentBox t;
  BoxStart(t, 0, 0, 1);
  BoxAddT(t, 1, 2, 100, 200, 0, -1, 1, 0, 2);
  EXPECT_EQ(t.minx, 0);
  EXPECT_EQ(t.maxx, 49);
  EXPECT_EQ(t.maxy, 100.5);
}

TEST(ExtentBox, NanAndZeroScaleGoToTheLimits) {
  ExtentBox b;
  BoxStart(b, NAN, 1, 1);
  EXPECT_EQ(b.minx, -1e8);
  EXPECT_EQ(b.maxx, 1e8);
  BoxStart(b, 0, 1, 0);  // 0/0 and 1/0
  EXPECT_EQ(b.minx, -1e8);
  EXPECT_EQ(b.maxx, 1e8);
  EXPECT_EQ(b.miny, 1e8);  // never above the maximum
  EXPECT_EQ(b.maxy, 1e8);
  BoxStart(b, -3e8, 3e8, 1);
  BoxAdd(b, -4e8, 5e8, 1);
  EXPECT_EQ(b.minx, -1e8);
  EXPECT_EQ(b.maxx, -1e8);
  EXPECT_EQ(b.miny, 1e8);
  EXPECT_EQ(b.maxy, 1e8);
}

TEST(Clip, OutCodeBits) {
  struct {
    double x, y;
    int code;
  } const cases[] = {
      {5, 5, 0},   {-1, 5, 1}, {0, 5, 1},  {11, 5, 2}, {10, 5, 2},        {5, -1, 4},
      {5, 0, 4},   {5, 11, 8}, {5, 10, 8}, {-1, -1, 5}, {11, 11, 10},     {1e-15, 5, 1},
      {NAN, 5, 15},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(OutCode(c.x, c.y, 0, 0, 10, 10), c.code) << c.x << "," << c.y;
    EXPECT_EQ(PtOut(c.x, c.y, 0, 0, 10, 10), c.code ? 2 : 0);
  }
}

struct ClipCase {
  double x1, y1, x2, y2;
  int result;
  double rx1, ry1, rx2, ry2;
};

TEST(Clip, ClipLine) {
  const ClipCase cases[] = {
      {-5, 5, 15, 5, 1, 0, 5, 10, 5},     // across
      {-5, 5, -1, 5, 2, -5, 5, -1, 5},    // wholly left, unchanged
      {1, 1, 9, 9, 0, 1, 1, 9, 9},        // inside
      {0, 2, 0, 8, 2, 0, 2, 0, 8},        // on the left edge
      {5, -5, 5, 5, 1, 5, 0, 5, 5},       // from below, one end inside
      {-5, 0, 5, 10, 1, 0, 5, 5, 10},     // ends on the top edge
      {-10, 5, 5, 20, 2, -5, 10, -5, 10}, // passes outside the top-left corner
      {-5, -5, 15, 15, 1, 0, 0, 10, 10},  // diagonal through corners
  };
  for (const auto& c : cases) {
    double x1 = c.x1, y1 = c.y1, x2 = c.x2, y2 = c.y2;
    EXPECT_EQ(ClipLine(x1, y1, x2, y2, 0, 0, 10, 10), c.result) << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2;
    EXPECT_NEAR(x1, c.rx1, 1e-12);
    EXPECT_NEAR(y1, c.ry1, 1e-12);
    EXPECT_NEAR(x2, c.rx2, 1e-12);
    EXPECT_NEAR(y2, c.ry2, 1e-12);
    EXPECT_EQ(SegVisible(c.x1, c.y1, c.x2, c.y2, 0, 0, 10, 10), c.result);
  }
}

TEST(Clip, AstronomicalFarEndGivesTheCrossingMeasuredFromTheNearEnd) {
  // Measured from the far end, (ey - oy) * dx overflows: the crossing of
  // the top edge comes out infinite instead of about 50.
  double x1 = 4.741895731994438e+170, y1 = 6.3229917213543986e+233, x2 = 50, y2 = 80;
  EXPECT_EQ(ClipLine(x1, y1, x2, y2, -10.5, -16.875, 430.5, 313.875), 1);
  EXPECT_DOUBLE_EQ(x1, 50);
  EXPECT_DOUBLE_EQ(y1, 313.875);
  EXPECT_DOUBLE_EQ(x2, 50);
  EXPECT_DOUBLE_EQ(y2, 80);
  // Both ends far and nothing finite to measure from: nothing to draw.
  double a = -1e308, b = 1e308, c = 1e308, d = -1e308;
  const int r = ClipLine(a, b, c, d, 0, 0, 10, 10);
  if (r != 2) {
    for (double v : {a, b, c, d}) EXPECT_TRUE(std::isfinite(v)) << v;
  }
}

TEST(Clip, SegVisibleLeavesArgumentsAlone) {
  const double x1 = -5, y1 = 5, x2 = 15, y2 = 5;
  EXPECT_EQ(SegVisible(x1, y1, x2, y2, 0, 0, 10, 10), 1);
  double nx = NAN;
  double ny = 0, ex = 5, ey = 5;
  EXPECT_EQ(ClipLine(nx, ny, ex, ey, 0, 0, 10, 10), 2);  // a NaN end is never drawn
}

}  // namespace
}  // namespace zumen
