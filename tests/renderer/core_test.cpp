#include <gtest/gtest.h>

#include <limits>

#include "render_fixture.h"

namespace zumen::testing {
namespace {

using Core = RenderTest;

TEST_F(Core, TransformsDrawingToDevice) {
  SetWindow(-20, 5, 80, 105, 2.5);
  double X, Y;
  g.GLTransPt(0, 5, X, Y);
  EXPECT_DOUBLE_EQ(X, 50);
  EXPECT_DOUBLE_EQ(Y, 250);
  g.GLTransPt(-20, 105, X, Y);
  EXPECT_DOUBLE_EQ(X, 0);
  EXPECT_DOUBLE_EQ(Y, 0);
}

TEST_F(Core, GLLineClipsCullsAndShrinksToAPixel) {
  struct Case {
    double x1, y1, x2, y2;
    int result;
    size_t lines, pixels;
    double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;  // expected device segment when a line is drawn
  };
  const Case cases[] = {
      {10, 20, 30, 40, 0, 1, 0, 100, 800, 300, 600},
      {-50, 50, 50, 50, 0, 1, 0, 0, 500, 500, 500},      // clipped at the left edge
      {50, -10, 50, 150, 0, 1, 0, 500, 1000, 500, 0},    // clipped at both ends
      {-50, 50, -10, 50, 1, 0, 0, 0, 0, 0, 0},                     // left of the window
      {150, 150, 150, 150, 1, 0, 0, 0, 0, 0, 0},                   // zero length outside
      {40, 40, 40, 40, 2, 0, 1, 0, 0, 0, 0},                       // zero length inside
      {40, 40, 40.1, 40.1, 2, 0, 1, 0, 0, 0, 0},                   // 2 pixels: one pixel
      {0, 50, 0, 60, 1, 0, 0, 0, 0, 0, 0},                         // on the left edge counts as outside
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.x1 << "," << c.y1 << " " << c.x2 << "," << c.y2);
    canvas.ClearCalls();
    EXPECT_EQ(g.GLLine(c.x1, c.y1, c.x2, c.y2), c.result);
    const auto lines = canvas.All<RecLine>();
    ASSERT_EQ(lines.size(), c.lines);
    EXPECT_EQ(canvas.Count<RecPixel>(), c.pixels);
    if (c.lines == 1) {
      EXPECT_NEAR(lines[0].x1, c.X1, 1e-9);
      EXPECT_NEAR(lines[0].y1, c.Y1, 1e-9);
      EXPECT_NEAR(lines[0].x2, c.X2, 1e-9);
      EXPECT_NEAR(lines[0].y2, c.Y2, 1e-9);
      EXPECT_EQ(lines[0].opacity, 1.0);
    }
  }
}

TEST_F(Core, ZeroLengthLineSetsOnePixelInPenColour) {
  g.GPenSet(0xFF123456, 0, 7);
  EXPECT_EQ(g.GLLine(40, 40, 40, 40), 2);
  const auto px = canvas.All<RecPixel>();
  ASSERT_EQ(px.size(), 1u);
  EXPECT_DOUBLE_EQ(px[0].x, 400);
  EXPECT_DOUBLE_EQ(px[0].y, 600);
  EXPECT_EQ(px[0].argb, 0xFF123456u);
}

TEST_F(Core, PenWidthScaledClampedAndRoundedHalfToEven) {
  struct Case {
    bool display;
    double wid, scale, px;
  };
  const Case cases[] = {
      {true, 0.01, 50, 1},        {true, 0.01, 100000, 400}, {true, 2.5, 1, 2},  {true, 3.5, 1, 4},
      {true, 0.5, 1, 1},          {true, 1.4, 1, 1},         {true, 1.6, 1, 2},  {true, 400.4, 1, 400},
      {true, 0.25, 10, 2},        {true, -3, 10, 1},         {false, 0.5, 100, 1}, {false, 50, 10, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.wid << " x " << c.scale << " display " << c.display);
    ctx.GAtt.SetDisplayMode(c.display);
    g.View.DispScale = c.scale;
    g.GLPenSet(0, 2, 1, c.wid);
    EXPECT_EQ(canvas.State().strokeWidth, c.px);
    EXPECT_EQ(canvas.State().dash, DashStyle::Solid);
  }
}

TEST_F(Core, GPenSetDashStyles) {
  const DashStyle styles[] = {DashStyle::Solid, DashStyle::Dash, DashStyle::Dot, DashStyle::DashDot,
                              DashStyle::DashDotDot, DashStyle::Solid};
  for (uint32_t typ = 0; typ < 6; ++typ) {
    g.GPenSet(0xFF00FF00, typ, 3);
    EXPECT_EQ(canvas.State().dash, styles[typ]) << typ;
    EXPECT_EQ(canvas.State().strokeColor, 0xFF00FF00u);
    EXPECT_EQ(canvas.State().fillColor, 0xFF00FF00u);
    EXPECT_EQ(canvas.State().strokeWidth, 3);
  }
}

TEST_F(Core, PenColourFollowsLayerStateAndOneColourMode) {
  TgraAttribute& a = ctx.GAtt;
  a.SetAttrCol(3, 0xFF00AA00, 0.2, 0.2);
  a.SetAttrLayer(1, 2, 1);
  a.SetAttrLayer(2, 3, 1);
  a.SetGrayColor(0xFF777777);

  g.GLPenSet(0, 3, 1, 0.2);
  EXPECT_EQ(canvas.State().strokeColor, 0xFF00AA00u);
  g.GLPenSet(1, 3, 1, 0.2);
  EXPECT_EQ(canvas.State().strokeColor, 0xFF777777u);
  g.GLPenSet(2, 3, 1, 0.2);
  EXPECT_EQ(canvas.State().strokeColor, a.GetBackColor());
  EXPECT_EQ(g.br0, a.GetBackColor());

  a.All1Color = 0xFF0000EE;
  a.SetAll1Color(true);
  for (int lay : {0, 1, 2}) {
    g.GLPenSet(lay, 3, 1, 0.2);
    EXPECT_EQ(canvas.State().strokeColor, 0xFF0000EEu) << lay;
    EXPECT_EQ(canvas.State().fillColor, 0xFF0000EEu) << lay;
  }
}

TEST_F(Core, OverrideColourLeavesPixelBrushAlone) {
  g.GLPenSet(0, 2, 1, 0.2, 0xFFABCDEF);
  EXPECT_EQ(canvas.State().strokeColor, 0xFFABCDEFu);
  EXPECT_EQ(canvas.State().fillColor, 0xFFABCDEFu);
  EXPECT_EQ(g.br0, ctx.GAtt.GetAttrColcol(2));
  g.GLPenSet(0, 2, 1, 0.2, 0);
  EXPECT_EQ(canvas.State().strokeColor, ctx.GAtt.GetAttrColcol(2));
}

TEST_F(Core, GBoxSmallSidesBecomeLinesOrAPixel) {
  g.GBox(10, 10, 12, 20);  // 2 x 10 pixels
  g.GBox(10, 10, 30, 11);  // 20 x 1
  g.GBox(10, 10, 11.5, 12);
  g.GBox(10, 10, 30, 40);
  ASSERT_EQ(canvas.DrawCount(), 4u);
  const auto lines = canvas.All<RecLine>();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ((std::vector<double>{lines[0].x1, lines[0].y1, lines[0].x2, lines[0].y2}),
            (std::vector<double>{10, 10, 10, 20}));
  EXPECT_EQ((std::vector<double>{lines[1].x1, lines[1].y1, lines[1].x2, lines[1].y2}),
            (std::vector<double>{10, 10, 30, 10}));
  EXPECT_EQ(canvas.Count<RecPixel>(), 1u);
  const auto rects = canvas.All<RecRect>();
  ASSERT_EQ(rects.size(), 1u);
  EXPECT_EQ(rects[0].right, 30);
  EXPECT_EQ(rects[0].bottom, 40);
}

TEST_F(Core, GLBoxInsideIsOneRectangleAndClippedIsAPolyline) {
  EXPECT_EQ(g.GLBox(10, 10, 20, 30), 0);
  ASSERT_EQ(canvas.Count<RecRect>(), 1u);
  const RecRect r = canvas.All<RecRect>()[0];
  EXPECT_EQ((std::vector<double>{r.left, r.top, r.right, r.bottom}), (std::vector<double>{100, 900, 200, 700}));

  canvas.ClearCalls();
  EXPECT_EQ(g.GLBox(50, 50, 150, 80), 0);
  EXPECT_EQ(canvas.Count<RecRect>(), 0u);
  // The outline is cut at every segment that crosses the window edge.
  const auto polys = canvas.All<RecPolyline>();
  ASSERT_EQ(polys.size(), 3u);
  EXPECT_EQ(polys[0].pts, (std::vector<FPoint>{Dev(50, 50), Dev(100, 50)}));
  EXPECT_EQ(polys[1].pts, (std::vector<FPoint>{Dev(100, 80), Dev(50, 80)}));
  EXPECT_EQ(polys[2].pts, (std::vector<FPoint>{Dev(50, 80), Dev(50, 50)}));
  EXPECT_TRUE(g.GLPt.empty());

  canvas.ClearCalls();
  EXPECT_EQ(g.GLBox(50, 50, 50.1, 50.05), 2);
  EXPECT_EQ(canvas.Count<RecPixel>(), 1u);
}

TEST_F(Core, GLBoxARotatesAboutFirstCorner) {
  EXPECT_EQ(g.GLBoxA(50, 50, 60, 55, std::acos(-1.0) / 2), 0);
  const auto polys = canvas.All<RecPolyline>();
  ASSERT_EQ(polys.size(), 1u);
  const std::vector<FPoint> want{Dev(50, 50), Dev(50, 60), Dev(45, 60), Dev(45, 50), Dev(50, 50)};
  ASSERT_EQ(polys[0].pts.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(polys[0].pts[i].X, want[i].X, 1e-3) << i;
    EXPECT_NEAR(polys[0].pts[i].Y, want[i].Y, 1e-3) << i;
  }
  EXPECT_TRUE(g.GLPt.empty());
}

TEST_F(Core, PolylineLeavingAndReenteringIsStrokedInPieces) {
  SetPoints({{10, 50}, {50, 50}, {50, 150}, {60, 150}, {60, 50}, {90, 50}});
  EXPECT_EQ(g.GLPolyline(), 0);
  const auto polys = canvas.All<RecPolyline>();
  // One path while inside; the segment that crosses the edge ends it, the
  // re-entering segment is a path of its own, then a new path begins.
  ASSERT_EQ(polys.size(), 3u);
  EXPECT_EQ(polys[0].pts, (std::vector<FPoint>{Dev(10, 50), Dev(50, 50), Dev(50, 100)}));
  EXPECT_EQ(polys[1].pts, (std::vector<FPoint>{Dev(60, 100), Dev(60, 50)}));
  EXPECT_EQ(polys[2].pts, (std::vector<FPoint>{Dev(60, 50), Dev(90, 50)}));
  EXPECT_TRUE(g.GPt.empty());
  EXPECT_EQ(g.GLPt.size(), 6u);  // the caller's list is left alone
}

TEST_F(Core, PolylineCullingAndInvalidInput) {
  SetPoints({{-10, 10}, {-20, 50}, {-5, 90}});
  EXPECT_EQ(g.GLPolyline(), 1);  // all left of the window
  SetPoints({{-10, 50}, {50, 150}, {110, 50}});
  EXPECT_EQ(g.GLPolyline(), 0);  // all outside, on different sides, crossing it
  EXPECT_EQ(canvas.Count<RecPolyline>(), 2u);
  SetPoints({{-10, 150}, {-10, -10}, {150, -10}});
  EXPECT_EQ(g.GLPolyline(), 1);  // every segment misses the window
  SetPoints({{10, 10}});
  EXPECT_EQ(g.GLPolyline(), 3);
  SetPoints({});
  EXPECT_EQ(g.GLPolyline(), 3);
  EXPECT_EQ(g.GLSolid(), 3);
  SetPoints({{10, 10}, {20, 20}});
  EXPECT_EQ(g.GLSolid(), 3);
}

TEST_F(Core, TinyPolylineIsOnePixelAtItsLastVisibleEnd) {
  SetPoints({{50, 50}, {50.05, 50}, {50.05, 50.05}});
  EXPECT_EQ(g.GLPolyline(), 2);
  const auto px = canvas.All<RecPixel>();
  ASSERT_EQ(px.size(), 1u);
  EXPECT_NEAR(px[0].x, 500.5, 1e-9);
  EXPECT_NEAR(px[0].y, 499.5, 1e-9);
  EXPECT_EQ(canvas.Count<RecPolyline>(), 0u);
}

TEST_F(Core, SolidIsClosedAndFilledWhole) {
  SetPoints({{10, 10}, {200, 10}, {10, 50}});
  EXPECT_EQ(g.GLSolid(), 0);
  EXPECT_EQ(g.GLPt.size(), 4u);  // closed by appending the first point
  const auto fills = canvas.All<RecPolygon>();
  ASSERT_EQ(fills.size(), 1u);
  // Handed over unclipped: the canvas clips the fill.
  EXPECT_EQ(fills[0].pts, (std::vector<FPoint>{Dev(10, 10), Dev(200, 10), Dev(10, 50), Dev(10, 10)}));
  EXPECT_EQ(canvas.Count<RecPolyline>(), 0u);
  EXPECT_TRUE(g.GPt.empty());

  SetPoints({{10, 10}, {20, 10}, {10, 20}, {10, 10}});
  EXPECT_EQ(g.GLSolid(), 0);
  EXPECT_EQ(g.GLPt.size(), 4u);  // already closed
}

TEST_F(Core, SolidCullingAndDotRule) {
  SetPoints({{110, 10}, {120, 10}, {115, 20}});
  EXPECT_EQ(g.GLSolid(), 1);
  SetPoints({{50, 50}, {50.05, 50}, {50, 50.05}});
  EXPECT_EQ(g.GLSolid(), 2);
  EXPECT_EQ(canvas.Count<RecPolygon>(), 0u);
  EXPECT_EQ(canvas.Count<RecPixel>(), 1u);
}

TEST_F(Core, SolidEnclosingTheWindowFillsIt) {
  // Every edge lies outside the window, yet the window is inside the solid.
  SetPoints({{-50, -50}, {150, -50}, {150, 150}, {-50, 150}});
  EXPECT_EQ(g.GLSolid(), 0);
  ASSERT_EQ(canvas.Count<RecPolygon>(), 1u);
  EXPECT_EQ(canvas.Count<RecPixel>(), 0u);

  // A solid around the window with a hole over all of it is not filled.
  canvas.ClearCalls();
  SetPoints({{-50, -50}, {150, -50}, {150, 150}, {-50, 150}, {-50, -50},
             {-20, -20}, {-20, 120}, {120, 120}, {120, -20}, {-20, -20}});
  EXPECT_EQ(g.GLSolid(), 2);
  EXPECT_EQ(canvas.DrawCount(), 0u);
}

TEST_F(Core, DevicePrimitivesUseCanvasState) {
  g.GPenSet(0xFF0000FF, 0, 2);
  g.GPt = {{1, 1}, {5, 5}};
  g.GPolyline();
  g.GSolid();  // needs three points
  g.GPt = {{1, 1}, {5, 5}, {1, 5}};
  g.GSolid();
  g.GCls(0xFFFFFFFF);
  ASSERT_EQ(canvas.DrawCount(), 3u);
  EXPECT_EQ(canvas.All<RecPolyline>()[0].st.strokeColor, 0xFF0000FFu);
  EXPECT_EQ(canvas.All<RecPolygon>()[0].st.fillColor, 0xFF0000FFu);
  EXPECT_EQ(canvas.All<RecClear>()[0].argb, 0xFFFFFFFFu);
}

TEST_F(Core, PointsThatAreNotNumbersAreInvalid) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(g.GLLine(-inf, 50, 50, 60), 3);
  EXPECT_EQ(g.GLLine(nan, 50, 50, 60), 3);
  EXPECT_EQ(g.GLLineDT(0, 2, -inf, 50, 50, 60), 3);
  EXPECT_EQ(g.GLLineDT(0, 2, 10, 50, 50, nan), 3);
  SetPoints({{10, 10}, {inf, 20}, {30, 50}});
  EXPECT_EQ(g.GLPolyline(), 3);
  EXPECT_EQ(g.GLSolid(), 3);
  EXPECT_EQ(g.GLEllipse(50, 50, inf, 1, 0), 3);
  EXPECT_EQ(canvas.DrawCount(), 0u);
}

}  // namespace
}  // namespace zumen::testing
