#include "common/geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace zumen {
namespace {

constexpr double kPi = std::numbers::pi;

TEST(Geometry, PtAngle) {
  struct {
    double dx, dy, a;
  } const cases[] = {
      {1, 0, 0}, {0, 1, kPi / 2}, {-1, 0, kPi}, {0, -1, 3 * kPi / 2}, {0, 0, 0}, {1e-15, -1e-15, 0}, {1, -1e-20, 2 * kPi},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(PtAngle(c.dx, c.dy), c.a) << c.dx << "," << c.dy;
}

TEST(Geometry, Rotation) {
  double x = 0, y = 0;
  RotPt(x, y, 2, 1, 1, 1, kPi / 2);
  EXPECT_NEAR(x, 1, 1e-15);
  EXPECT_NEAR(y, 2, 1e-15);
  RotPtDeg(x, y, 2, 1, 1, 1, 180);
  EXPECT_NEAR(x, 0, 1e-15);
  EXPECT_NEAR(y, 1, 1e-15);
  EXPECT_DOUBLE_EQ(RotX(3, 4, 0, 0, 0.3), 3 * std::cos(0.3) - 4 * std::sin(0.3));
  EXPECT_DOUBLE_EQ(RotY(3, 4, 0, 0, 0.3), 3 * std::sin(0.3) + 4 * std::cos(0.3));
}

TEST(Geometry, EllipseAngle) {
  // Ellipse rotated by 90 degrees, major radius 2, minor 1: the end of the
  // major axis is at parameter 0, the end of the minor axis at pi/2.
  EXPECT_NEAR(EllipseAngle(10, 12, 10, 10, 0.5, kPi / 2), 0, 1e-12);
  EXPECT_NEAR(EllipseAngle(9, 10, 10, 10, 0.5, kPi / 2), kPi / 2, 1e-12);
  // Flatness 0 counts as a circle.
  EXPECT_NEAR(EllipseAngle(1, 1, 0, 0, 0, 0), kPi / 4, 1e-12);
  // On a flat ellipse the parametric angle differs from the polar one.
  EXPECT_NEAR(EllipseAngle(1, 0.5, 0, 0, 0.5, 0), kPi / 4, 1e-12);
}

TEST(Geometry, Distances) {
  EXPECT_DOUBLE_EQ(PtDist(1, 1, 4, 5), 5);
  EXPECT_NEAR(PtLineDist(0, 0, 10, 10, 10, 0), std::sqrt(50.0), 1e-12);
  EXPECT_NEAR(PtLineDist(0, 0, 0, 5, -3, 100), 3, 1e-12);
  EXPECT_TRUE(PtSame(1, 1, 1 + 1e-15, 1));
  EXPECT_FALSE(PtSame(0, 0, 0, 2e-14));
}

TEST(Geometry, RoundDec) {
  struct {
    int n, mode;
    double x, r;
  } const cases[] = {
      {2, 0, -1.239, -1.23}, {2, 1, 1.231, 1.24},  {2, 2, 1.2351, 1.24}, {0, 2, 2.5, 3},
      {0, 2, -2.5, -3},      {0, 1, 2.1, 3},       {0, 0, 2.9, 2},       {10, 2, 1.26, 1},
      {-1, 2, 1.5, 2},       {9, 0, 1.123456789, 1.123456789},          {1, 1, 1.0, 1.0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(RoundDec(c.n, c.mode, c.x), c.r) << c.n << " " << c.mode << " " << c.x;
}

TEST(Geometry, SwapDbl) {
  double a = 1, b = 2;
  SwapDbl(a, b);
  EXPECT_EQ(a, 2);
  EXPECT_EQ(b, 1);
}

}  // namespace
}  // namespace zumen
