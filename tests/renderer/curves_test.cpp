#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "render_fixture.h"

namespace zumen::testing {
namespace {

constexpr double kPi = std::numbers::pi;

using Curves = RenderTest;

void ExpectNear(const FPoint& p, double x, double y) {
  const FPoint d = Dev(x, y);
  EXPECT_NEAR(p.X, d.X, 2e-3);
  EXPECT_NEAR(p.Y, d.Y, 2e-3);
}

TEST_F(Curves, EllipseIsA72SidedClosedPolygon) {
  EXPECT_EQ(g.GLEllipse(50, 50, 10, 1, 0), 0);
  const auto polys = canvas.All<RecPolyline>();
  ASSERT_EQ(polys.size(), 1u);
  const auto& p = polys[0].pts;
  ASSERT_EQ(p.size(), 73u);
  ExpectNear(p[0], 60, 50);
  ExpectNear(p[18], 50, 60);  // 90 degrees
  ExpectNear(p[36], 40, 50);
  ExpectNear(p[72], 60, 50);
  EXPECT_TRUE(g.GLPt.empty());
}

TEST_F(Curves, TiltedFlatEllipse) {
  EXPECT_EQ(g.GLEllipse(50, 50, 20, 0.5, kPi / 2), 0);
  const auto all_p = canvas.All<RecPolyline>();
  ASSERT_FALSE(all_p.empty());
  const auto& p = all_p[0].pts;
  ExpectNear(p[0], 50, 70);   // major axis turned to the vertical
  ExpectNear(p[18], 40, 50);  // minor semi-axis 10, turned too
}

TEST_F(Curves, ArcSweepsClockwiseForNegativeSweep) {
  EXPECT_EQ(g.GLEllipseArc(50, 50, 10, 1, 0, kPi / 2, -kPi / 2), 0);
  const auto all_p = canvas.All<RecPolyline>();
  ASSERT_FALSE(all_p.empty());
  const auto& p = all_p[0].pts;
  ASSERT_EQ(p.size(), 73u);
  ExpectNear(p[0], 50, 60);
  ExpectNear(p[36], 50 + 10 * std::cos(kPi / 4), 50 + 10 * std::sin(kPi / 4));
  ExpectNear(p[72], 60, 50);
}

TEST_F(Curves, BlockFormsTransformEveryPoint) {
  // (u, v) -> ((10 + 2u) / 2, (20 + 2v) / 2): a shift by (5, 10).
  EXPECT_EQ(g.GLEllipseBL(40, 40, 10, 1, 0, 10, 20, 2, 0, 0, 2, 2), 0);
  const auto all_p = canvas.All<RecPolyline>();
  ASSERT_FALSE(all_p.empty());
  const auto& p = all_p[0].pts;
  ASSERT_EQ(p.size(), 73u);
  ExpectNear(p[0], 55, 50);
  ExpectNear(p[18], 45, 60);

  canvas.ClearCalls();
  // A rotating block: (u, v) -> (-v, u).
  EXPECT_EQ(g.GLEllipseArcBL(50, -40, 10, 1, 0, 0, kPi / 2, 0, 0, 0, -1, 1, 0, 1), 0);
  const auto all_q = canvas.All<RecPolyline>();
  ASSERT_FALSE(all_q.empty());
  const auto& q = all_q[0].pts;
  ASSERT_EQ(q.size(), 73u);
  ExpectNear(q[0], 40, 60);
  ExpectNear(q[72], 30, 50);
}

TEST_F(Curves, BlockWithZeroScaleIsInvalid) {
  EXPECT_EQ(g.GLEllipseBL(40, 40, 10, 1, 0, 0, 0, 1, 0, 0, 1, 0), 3);
  EXPECT_EQ(g.GLSolidArcBL(101, 40, 40, 10, 1, 0, 0, 1, 100, 0, 0, 1, 0, 0, 1, 0), 3);
  EXPECT_EQ(canvas.DrawCount(), 0u);
}

TEST_F(Curves, SolidCircleOrItsCentrePixel) {
  EXPECT_EQ(g.GLSolidCircle(50, 50, 10), 0);
  const auto fills = canvas.All<RecPolygon>();
  ASSERT_EQ(fills.size(), 1u);
  ASSERT_EQ(fills[0].pts.size(), 73u);
  ExpectNear(fills[0].pts[0], 60, 50);
  ExpectNear(fills[0].pts[18], 50, 60);

  canvas.ClearCalls();
  EXPECT_EQ(g.GLSolidCircle(50, 50, 0.15), 2);  // 1.5 pixels
  const auto px = canvas.All<RecPixel>();
  ASSERT_EQ(px.size(), 1u);
  EXPECT_DOUBLE_EQ(px[0].x, 500);
  EXPECT_DOUBLE_EQ(px[0].y, 500);

  canvas.ClearCalls();
  EXPECT_EQ(g.GLSolidCircle(150, 50, 0.15), 2);
  EXPECT_EQ(canvas.DrawCount(), 0u);
}

struct SolidCase {
  const char* name;
  int sty;
  double sa, da, zf;
  int result;
  size_t fills, outlines, points;  // points of the shape built (a fill gets a closing one)
  double firstX, firstY, lastX, lastY;  // its first and last point before closing
};

TEST_F(Curves, ArcSolidStyles) {
  // Circle of radius 10 about (50, 50), unless noted.
  const SolidCase cases[] = {
      {"whole, angles ignored", 101, 1.0, 0.5, 100, 0, 1, 0, 73, 60, 50, 60, 50},
      {"sector", 101, kPi / 2, kPi / 2, 0, 0, 1, 0, 74, 50, 60, 50, 50},
      {"segment", 101, 0, kPi, 5, 0, 1, 0, 73, 60, 50, 40, 50},
      {"up to the end tangents", 101, 0, kPi / 2, 1, 0, 1, 0, 74, 60, 50, 60, 60},
      {"parallel end tangents", 101, 0, kPi, 1, 0, 1, 0, 74, 60, 50, 50, 50},
      {"outline of an arc", 111, 0, kPi / 2, 1, 0, 0, 1, 73, 60, 50, 50, 60},
      {"outline, whole", 111, kPi / 2, kPi / 2, 100, 0, 0, 1, 73, 60, 50, 60, 50},
      {"unknown style", 102, 0, kPi, 0, 3, 0, 0, 0, 0, 0, 0, 0},
  };
  for (const SolidCase& c : cases) {
    SCOPED_TRACE(c.name);
    canvas.ClearCalls();
    EXPECT_EQ(g.GLSolidArc(c.sty, 50, 50, 10, 1, 0, c.sa, c.da, c.zf), c.result);
    const auto fills = canvas.All<RecPolygon>();
    const auto lines = canvas.All<RecPolyline>();
    ASSERT_EQ(fills.size(), c.fills);
    ASSERT_EQ(lines.size(), c.outlines);
    EXPECT_TRUE(g.GLPt.empty());
    if (c.points == 0) continue;
    const auto& pts = c.fills ? fills[0].pts : lines[0].pts;
    ExpectNear(pts[0], c.firstX, c.firstY);
    ExpectNear(pts[c.points - 1], c.lastX, c.lastY);
    if (c.fills == 0) {
      EXPECT_EQ(pts.size(), c.points);
    } else if (c.zf == 100) {
      // The whole ellipse ends where it began; GLSolid adds a closing point
      // only when rounding left the two apart.
      EXPECT_GE(pts.size(), c.points);
    } else {
      ASSERT_EQ(pts.size(), c.points + 1);  // closed by GLSolid
      EXPECT_EQ(pts.back(), pts.front());
    }
  }
}

TEST_F(Curves, RingsLeaveTheirHoleOut) {
  struct Case {
    int sty;
    double innerMajor, innerMinor;
  };
  // r = 10, h = 0.5, zf = 5.
  for (const Case& c : {Case{105, 5, 2.5}, Case{106, 5, 0}}) {
    SCOPED_TRACE(c.sty);
    canvas.ClearCalls();
    EXPECT_EQ(g.GLSolidArc(c.sty, 50, 50, 10, 0.5, 0, 0, 2 * kPi, 5), 0);
    const auto fills = canvas.All<RecPolygon>();
    ASSERT_EQ(fills.size(), 1u);
    const auto& p = fills[0].pts;
    ASSERT_EQ(p.size(), 147u);  // outer 73, inner 73 backwards, first point again
    ExpectNear(p[0], 60, 50);
    ExpectNear(p[18], 50, 55);
    ExpectNear(p[73], 50 + c.innerMajor, 50);          // inner start at sa + da
    ExpectNear(p[73 + 18], 50, 50 - c.innerMinor);      // a quarter turn back
    ExpectNear(p[146], 60, 50);
  }
}

TEST_F(Curves, EqualBandRingWithZeroInnerRadiusStaysFinite) {
  // Style 106 keeps the band r - zf wide on both axes; with zf = 0 the inner
  // curve is the segment along the minor axis, (0, +-(r h - r)).
  EXPECT_EQ(g.GLSolidArc(106, 50, 50, 10, 1.5, 0, 0, 2 * kPi, 0), 0);
  const auto fills = canvas.All<RecPolygon>();
  ASSERT_EQ(fills.size(), 1u);
  for (const FPoint& p : fills[0].pts) {
    ASSERT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y));
  }
  ExpectNear(fills[0].pts[73], 50, 50);
  ExpectNear(fills[0].pts[73 + 18], 50, 45);
}

TEST_F(Curves, BlockRingHas146PointsClosedBySolid) {
  EXPECT_EQ(g.GLSolidArcBL(105, 50, 50, 10, 1, 0, 0, kPi, 5, 0, 0, 1, 0, 0, 1, 1), 0);
  const auto fills = canvas.All<RecPolygon>();
  ASSERT_EQ(fills.size(), 1u);
  ASSERT_EQ(fills[0].pts.size(), 147u);
  ExpectNear(fills[0].pts[145], 55, 50);  // inner end at sa
  ExpectNear(fills[0].pts[146], 60, 50);

  // The sector centre and the tangent point go through the block too.
  canvas.ClearCalls();
  EXPECT_EQ(g.GLSolidArcBL(101, 40, 40, 10, 1, 0, 0, kPi / 2, 1, 10, 20, 1, 0, 0, 1, 1), 0);
  const auto all_p = canvas.All<RecPolygon>();
  ASSERT_FALSE(all_p.empty());
  const auto& p = all_p[0].pts;
  ASSERT_EQ(p.size(), 75u);
  ExpectNear(p[73], 60, 70);
}

TEST_F(Curves, StyleOutlineDrawsWithThePenAndFillsNothing) {
  g.GPenSet(0xFF00FF00, 0, 3);
  EXPECT_EQ(g.GLSolidArc(111, 50, 50, 10, 1, 0, 0, kPi, 0), 0);
  ASSERT_EQ(canvas.Count<RecPolyline>(), 1u);
  EXPECT_EQ(canvas.All<RecPolyline>()[0].st.strokeColor, 0xFF00FF00u);
  EXPECT_EQ(canvas.All<RecPolyline>()[0].st.strokeWidth, 3);
  EXPECT_EQ(canvas.Count<RecPolygon>(), 0u);
}

}  // namespace
}  // namespace zumen::testing
