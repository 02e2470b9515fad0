#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "render_fixture.h"

namespace zumen::testing {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kCol = 2;

class Markers : public RenderTest {
 protected:
  Markers() {
    ctx.GAtt.SetDisplayMode(true);
    ctx.GAtt.SetAttrCol(kCol, 0xFF112233, 0.3, 0.2);
  }
  int32_t Marker(int pc, double a = 0, double ba = 1, double x = 50, double y = 50) {
    return g.GLTenMarker(x, y, 0, pc, a, ba, 0, kCol, 0, 0);
  }
};

void ExpectSeg(const RecLine& l, double x1, double y1, double x2, double y2) {
  const FPoint p = Dev(x1, y1), q = Dev(x2, y2);
  EXPECT_NEAR(l.x1, p.X, 1e-3);
  EXPECT_NEAR(l.y1, p.Y, 1e-3);
  EXPECT_NEAR(l.x2, q.X, 1e-3);
  EXPECT_NEAR(l.y2, q.Y, 1e-3);
}

TEST_F(Markers, VirtualPointIsAThreePixelCircle) {
  for (double scale : {10.0, 100.0}) {
    SCOPED_TRACE(scale);
    SetWindow(0, 0, 100, 100, scale);
    canvas.ClearCalls();
    EXPECT_EQ(g.GLTenMarker(50, 50, 1, 5, 1.0, 7.0, 0, kCol, 80, 0), 0);
    const auto polys = canvas.All<RecPolyline>();
    ASSERT_EQ(polys.size(), 1u);
    ASSERT_EQ(polys[0].pts.size(), 73u);
    EXPECT_NEAR(polys[0].pts[0].X - polys[0].pts[36].X, 6, 1e-3);
    EXPECT_EQ(polys[0].st.strokeWidth, 1);
    EXPECT_EQ(polys[0].st.strokeColor, 0xFF112233u);
    EXPECT_EQ(canvas.DrawCount(), 1u);
  }
}

TEST_F(Markers, PlainPointDiscFromPenWidthAndPointRadius) {
  EXPECT_EQ(g.GLTenMarker(50, 50, 0, 0, 0, 1, 0, kCol, 50, 0), 0);
  const auto fills = canvas.All<RecPolygon>();
  ASSERT_EQ(fills.size(), 1u);
  EXPECT_NEAR(fills[0].pts[0].X, 10 * 50.45, 1e-3);  // 0.5 / 2 + 0.2
  EXPECT_EQ(fills[0].st.strokeWidth, 1);             // pen reset to one pixel

  // At 2 pixels per unit the radius is raised to 2 pixels: one pixel.
  SetWindow(0, 0, 500, 500, 2);
  canvas.ClearCalls();
  EXPECT_EQ(g.GLTenMarker(50, 50, 0, 0, 0, 1, 0, kCol, 50, 0), 2);
  EXPECT_EQ(canvas.Count<RecPixel>(), 1u);
  EXPECT_EQ(canvas.Count<RecPolygon>(), 0u);
}

TEST_F(Markers, ShapesAndWhatDrawsThem) {
  struct Case {
    int pc;
    size_t lines, outlines, fills;
    bool backgroundFill;
  };
  const Case cases[] = {
      {-1, 3, 0, 0, false}, {-2, 0, 1, 0, false}, {-3, 0, 0, 1, false}, {-4, 2, 0, 0, false},
      {-5, 4, 0, 0, false}, {-6, 3, 0, 0, false}, {-7, 2, 0, 0, false}, {1, 0, 1, 1, true},
      {2, 0, 1, 1, true},   {3, 0, 1, 1, true},   {4, 0, 1, 0, false},  {5, 0, 1, 1, false},
      {6, 0, 1, 1, false},  {7, 0, 1, 1, false},  {8, 0, 2, 0, false},  {9, 2, 0, 0, false},
      {10, 1, 0, 0, false}, {11, 0, 1, 0, false}, {42, 0, 1, 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pc);
    canvas.ClearCalls();
    EXPECT_EQ(Marker(c.pc), 0);
    EXPECT_EQ(canvas.Count<RecLine>(), c.lines);
    EXPECT_EQ(canvas.Count<RecPolyline>(), c.outlines);
    const auto fills = canvas.All<RecPolygon>();
    ASSERT_EQ(fills.size(), c.fills);
    if (!fills.empty()) {
      EXPECT_EQ(fills[0].st.fillColor, c.backgroundFill ? ctx.GAtt.GetBackColor() : 0xFF112233u);
    }
    EXPECT_EQ(canvas.State().fillColor, canvas.State().strokeColor);
    EXPECT_TRUE(g.GLPt.empty());
  }
}

TEST_F(Markers, PenWidthFromMarkerOrColour) {
  Marker(-4);
  EXPECT_EQ(canvas.State().strokeWidth, 3);  // 0.3 units at 10 pixels per unit
  g.GLTenMarker(50, 50, 0, -4, 0, 1, 0, kCol, 70, 0);
  EXPECT_EQ(canvas.State().strokeWidth, 7);
  g.GLTenMarker(50, 50, 0, -4, 0, 1, 0, kCol, 70, 0xFF00FF00);
  EXPECT_EQ(canvas.State().strokeColor, 0xFF00FF00u);
}

TEST_F(Markers, RotationAndScale) {
  // The plus sign turned a quarter is the same plus, 5 units across at scale 2.
  EXPECT_EQ(Marker(-4, kPi / 2, 2), 0);
  auto lines = canvas.All<RecLine>();
  ASSERT_EQ(lines.size(), 2u);
  ExpectSeg(lines[0], 47.5, 50, 52.5, 50);
  ExpectSeg(lines[1], 50, 47.5, 50, 52.5);

  // The slash turned a quarter lies on the other diagonal.
  canvas.ClearCalls();
  EXPECT_EQ(Marker(10, kPi / 2), 0);
  lines = canvas.All<RecLine>();
  ASSERT_EQ(lines.size(), 1u);
  const double d = 2.5 * std::sqrt(0.5);
  ExpectSeg(lines[0], 50 - d, 50 + d, 50 + d, 50 - d);

  // A scale of 0 counts as 1.
  canvas.ClearCalls();
  EXPECT_EQ(Marker(4, 0, 0), 0);
  const auto circle = canvas.All<RecPolyline>();
  ASSERT_EQ(circle.size(), 1u);
  EXPECT_NEAR(circle[0].pts[0].X, 10 * 51.25, 1e-3);
}

TEST_F(Markers, StrokeShapesGeometry) {
  struct Case {
    int pc;
    double x1, y1, x2, y2;  // first stroke, relative to the point
    double lx1, ly1, lx2, ly2;  // last stroke
  };
  const double c30 = 1.25 * std::cos(kPi / 6), s45 = 1.25 * std::sqrt(0.5);
  const double t = 5.0 / 3.0, t30 = t * std::cos(kPi / 6);
  const Case cases[] = {
      {-1, 0, 1.25, 0, -1.25, -c30, 0.625, c30, -0.625},
      {-5, -1.25, -1.25, 1.25, -1.25, -1.25, 1.25, -1.25, -1.25},
      {-6, 0, t, -t30, -t / 2, t30, -t / 2, 0, t},
      {-7, s45, s45, -s45, -s45, -s45, s45, s45, -s45},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pc);
    canvas.ClearCalls();
    EXPECT_EQ(Marker(c.pc), 0);
    const auto lines = canvas.All<RecLine>();
    ASSERT_FALSE(lines.empty());
    ExpectSeg(lines.front(), 50 + c.x1, 50 + c.y1, 50 + c.x2, 50 + c.y2);
    ExpectSeg(lines.back(), 50 + c.lx1, 50 + c.ly1, 50 + c.lx2, 50 + c.ly2);
  }
}

TEST_F(Markers, ArrowheadPointsAlongTheRotation) {
  EXPECT_EQ(Marker(1), 0);
  const auto outline = canvas.All<RecPolyline>();
  ASSERT_EQ(outline.size(), 1u);
  EXPECT_EQ(outline[0].pts, (std::vector<FPoint>{Dev(50, 50), Dev(42.5, 51.25), Dev(42.5, 48.75), Dev(50, 50)}));
  // Painted over inside after the outline.
  ASSERT_EQ(canvas.Calls().size(), 2u);
  EXPECT_TRUE(std::holds_alternative<RecPolygon>(canvas.Calls()[1]));

  canvas.ClearCalls();
  EXPECT_EQ(Marker(9, kPi), 0);
  const auto lines = canvas.All<RecLine>();
  ASSERT_EQ(lines.size(), 2u);
  ExpectSeg(lines[0], 50, 50, 57.5, 48.75);
  ExpectSeg(lines[1], 50, 50, 57.5, 51.25);
}

TEST_F(Markers, SShapeIsTwoQuarterArcs) {
  EXPECT_EQ(Marker(8), 0);
  const auto arcs = canvas.All<RecPolyline>();
  ASSERT_EQ(arcs.size(), 2u);
  const double off = std::sqrt(2.0) * 1.25;
  // First: centred right of the point, from straight above its centre leftwards.
  EXPECT_NEAR(arcs[0].pts.front().X, Dev(50 + off, 50 + off).X, 1e-3);
  EXPECT_NEAR(arcs[0].pts.back().X, Dev(50, 50).X, 1e-3);
  EXPECT_NEAR(arcs[0].pts.back().Y, Dev(50, 50).Y, 1e-3);
  // Second: centred left of it, from straight below its centre to the point.
  EXPECT_NEAR(arcs[1].pts.front().Y, Dev(50, 50 - off).Y, 1e-3);
  EXPECT_NEAR(arcs[1].pts.back().X, Dev(50, 50).X, 1e-3);
}

TEST_F(Markers, Results) {
  EXPECT_EQ(Marker(-4, 0, 1, 200, 200), 1);  // every stroke outside
  EXPECT_EQ(Marker(1, 0, 1, 200, 200), 1);
  EXPECT_EQ(Marker(-5, 0, 1, 100, 50), 0);   // half of it inside
  SetWindow(0, 0, 5000, 5000, 0.2);          // 2.5 units = 0.5 pixels
  EXPECT_EQ(Marker(-4), 2);
  EXPECT_EQ(Marker(10), 2);
}

}  // namespace
}  // namespace zumen::testing
