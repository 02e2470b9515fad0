#include "renderer_k4/graph.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <cstring>
#include <functional>
#include <numbers>

#include "canvas/recording_canvas.h"

namespace zumen {
namespace {

constexpr double kPi = std::numbers::pi;

// Keeps the last fill tile as well, so that its pixels can be checked.
class TileCanvas : public RecordingCanvas {
 public:
  using RecordingCanvas::RecordingCanvas;
  void SetFillBitmap(const Bitmap& tile) override {
    RecordingCanvas::SetFillBitmap(tile);
    lastTile = tile;
  }
  Bitmap lastTile;
};

// Window (0, 0)-(100, 100) on a 1000 x 1000 canvas: 10 pixels per unit.
class K4Graph : public ::testing::Test {
 protected:
  K4Graph() : g(ctx, canvas) {
    g.G2.View.DotW = g.G2.View.DotH = 1000;
    g.G2.View.DispScale = 10;
    g.G2.View.DispX1 = g.G2.View.DispY1 = 0;
    g.G2.View.DispX2 = g.G2.View.DispY2 = 100;
  }
  void Pattern(std::vector<double> p) { g.GLPenSetLtypePat(static_cast<int32_t>(p.size()), p); }
  // Stroked pieces back in drawing units, x only (for horizontal lines).
  std::vector<std::pair<double, double>> XSpans() const {
    std::vector<std::pair<double, double>> out;
    for (const auto& s : canvas.Segments()) out.push_back({s.x1 / 10, s.x2 / 10});
    return out;
  }
  // End points of stroked pieces in drawing units.
  std::vector<TDPoint> Ends() const {
    std::vector<TDPoint> out;
    for (const auto& s : canvas.Segments()) {
      out.push_back({s.x1 / 10, (1000 - s.y1) / 10});
      out.push_back({s.x2 / 10, (1000 - s.y2) / 10});
    }
    return out;
  }
  static bool Has(const std::vector<TDPoint>& pts, double x, double y, double tol = 1e-4) {
    for (const auto& p : pts)
      if (std::fabs(p.X - x) < tol && std::fabs(p.Y - y) < tol) return true;
    return false;
  }

  ConversionContext ctx;
  TileCanvas canvas{1000, 1000};
  TGraph g;
};

void ExpectSpans(const std::vector<std::pair<double, double>>& got,
                 const std::vector<std::pair<double, double>>& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i].first, want[i].first, 1e-9) << i;
    EXPECT_NEAR(got[i].second, want[i].second, 1e-9) << i;
  }
}

TEST_F(K4Graph, PatternTakesLengthsAndAlternatesSigns) {
  Pattern({12, 1, 1, 1});
  EXPECT_EQ(g.LtypPatN, 4);
  EXPECT_DOUBLE_EQ(g.LtypPatP, 15);
  EXPECT_EQ(g.LtypPat[0], 12);
  EXPECT_EQ(g.LtypPat[1], -1);
  EXPECT_EQ(g.LtypPat[2], 1);
  EXPECT_EQ(g.LtypPat[3], -1);
  Pattern({1, -2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13});
  EXPECT_EQ(g.LtypPatN, 12);
  EXPECT_EQ(g.LtypPat[1], -2);
  EXPECT_EQ(g.LtypPat[11], -12);
  const double two[] = {1, 1};
  g.GLPenSetLtypePat(5, two);  // never reads past the caller's array
  EXPECT_EQ(g.LtypPatN, 2);
  g.GLPenSetLtypePat(-3, two);
  EXPECT_EQ(g.LtypPatN, 0);
}

TEST_F(K4Graph, Line2HasSolidEndsAndDashesBetween) {
  Pattern({2, 2});
  EXPECT_EQ(g.GLLine2(10, 50, 20, 50), 0);
  ExpectSpans(XSpans(), {{10, 10.5}, {10.5, 12.5}, {14.5, 16.5}, {18.5, 19.5}, {19.5, 20}});
}

TEST_F(K4Graph, ShortLineAndFinePatternsAreSolid) {
  Pattern({2, 2});
  EXPECT_EQ(g.GLLine2(10, 50, 10.8, 50), 0);
  EXPECT_EQ(canvas.Segments().size(), 1u);
  canvas.ClearCalls();
  Pattern({0.1, 0.1});  // period of 2 pixels
  g.GLLine2(10, 50, 20, 50);
  g.GLLine3(10, 50, 20, 50);
  EXPECT_EQ(canvas.Segments().size(), 2u);
  canvas.ClearCalls();
  Pattern({5, 0.05});  // largest gap below a pixel
  g.GLLine3(10, 50, 20, 50);
  EXPECT_EQ(canvas.Segments().size(), 1u);
}

TEST_F(K4Graph, PhaseRunsOnUntilReset) {
  Pattern({2, 2});
  g.GLLine3(10, 50, 13, 50);  // ends one unit into the gap
  g.GLLine3(20, 50, 25, 50);
  ExpectSpans(XSpans(), {{10, 12}, {21, 23}});
  canvas.ClearCalls();
  g.GLSetDT();
  g.GLLine3(20, 50, 25, 50);
  ExpectSpans(XSpans(), {{20, 22}, {24, 25}});
}

TEST_F(K4Graph, WindowDoesNotShiftThePattern) {
  Pattern({2, 2});
  g.GLLine3(-10, 50, 9, 50);  // starts 10 units left of the window
  ExpectSpans(XSpans(), {{2, 4}, {6, 8}});
  EXPECT_EQ(canvas.Count<RecPixel>(), 0u);  // no dot for the dash used up at the window edge
  EXPECT_EQ(g.LastSeg, 1);  // 19 = 4 periods + 3: one unit into the gap
  EXPECT_NEAR(g.LastLen, 1, 1e-9);
  canvas.ClearCalls();
  g.GLSetDT();
  EXPECT_EQ(g.GLLine3(-10, 50, -1, 50), 1);
  EXPECT_EQ(canvas.DrawCount(), 0u);
  EXPECT_EQ(g.LastSeg, 0);
  EXPECT_NEAR(g.LastLen, 1, 1e-9);  // 9 = 2 periods + 1
}

TEST_F(K4Graph, PassPatternWraps) {
  Pattern({12, 1, 1, 1});
  g.GLPassLtypPat(14.5);
  EXPECT_EQ(g.LastSeg, 3);
  EXPECT_NEAR(g.LastLen, 0.5, 1e-12);
  g.GLPassLtypPat(1);  // runs past the end and wraps
  EXPECT_EQ(g.LastSeg, 0);
  EXPECT_NEAR(g.LastLen, 0.5, 1e-12);
  g.GLPassLtypPat(1e300);  // huge lengths stay finite
  EXPECT_TRUE(std::isfinite(g.LastLen));
}

TEST_F(K4Graph, ArcRunsThePatternAroundAndTinyArcIsItsStartPixel) {
  Pattern({1, 1});
  EXPECT_EQ(g.GLEllipse2(50, 50, 10, 1, 0), 0);
  const auto segs = canvas.Segments();
  EXPECT_GT(segs.size(), 20u);
  for (const auto& p : Ends()) EXPECT_NEAR(std::hypot(p.X - 50, p.Y - 50), 10, 0.01);  // on the chords
  canvas.ClearCalls();
  EXPECT_EQ(g.GLEllipseArc2(50, 50, 10, 1, 0, kPi / 2, 0.01), 2);
  const auto px = canvas.All<RecPixel>();
  ASSERT_EQ(px.size(), 1u);
  EXPECT_NEAR(px[0].x, 500, 1e-6);  // (50, 60): the start, not the centre
  EXPECT_NEAR(px[0].y, 400, 1e-6);
}

TEST_F(K4Graph, PolylineWalksEverySegmentWithOnePhase) {
  Pattern({2, 2});
  g.G2.GLPt = {{10, 50}, {13, 50}, {13, 55}};
  EXPECT_EQ(g.GLPolyline2(), 0);
  const auto e = Ends();
  ASSERT_EQ(e.size(), 4u);
  EXPECT_TRUE(Has(e, 10, 50) && Has(e, 12, 50));
  EXPECT_TRUE(Has(e, 13, 51) && Has(e, 13, 53));
  g.G2.GLPt = {{-5, 50}, {-1, 50}};
  EXPECT_EQ(g.GLPolyline2(), 1);
  g.G2.GLPt = {{1, 1}};
  EXPECT_EQ(g.GLPolyline2(), 3);
}

TEST_F(K4Graph, PenColourKeepsThePatternFill) {
  g.GPenSet(0xFF000000, 0, 1);
  g.GPenSetWidth(7);
  EXPECT_DOUBLE_EQ(canvas.State().strokeWidth, 7);
  g.GPenSetColor(0xFF123456);
  EXPECT_EQ(canvas.State().strokeColor, 0xFF123456u);
  EXPECT_EQ(canvas.State().fillColor, 0xFF123456u);
  EXPECT_EQ(g.G2.br0, 0xFF123456u);
  g.GPolygonPattern(2, 0xFF00FF00);
  g.GPenSetColor(0xFFD8D8D8);
  EXPECT_EQ(canvas.State().fillKind, FillKind::Bitmap);
  g.GPenSet(0xFF000000, 0, 1);
  EXPECT_EQ(canvas.State().fillKind, FillKind::Solid);
}

TEST_F(K4Graph, PatternTiles) {
  struct Case {
    int ptn, w, h, x2, y2;
  };
  const Case cases[] = {{1, 2, 2, 1, 1}, {2, 4, 2, 2, 1}, {3, 4, 4, 2, 2}, {4, 8, 4, 4, 2}, {5, 8, 8, 4, 4}};
  const uint32_t c = 0xFF112233;
  for (const auto& k : cases) {
    g.GPolygonPattern(k.ptn, c);
    const Bitmap& t = canvas.lastTile;
    ASSERT_EQ(t.width, k.w);
    ASSERT_EQ(t.height, k.h);
    int coloured = 0;
    for (int y = 0; y < t.height; ++y)
      for (int x = 0; x < t.width; ++x) {
        const bool dot = (x == 0 && y == 0) || (x == k.x2 && y == k.y2);
        EXPECT_EQ(t.at(x, y), dot ? c : 0xFFFFFFFFu) << k.ptn << " " << x << "," << y;
        coloured += dot;
      }
    EXPECT_EQ(coloured, 2);
  }
  g.GPenSet(0xFF000000, 0, 1);
  g.GPolygonPattern(0, c);
  g.GPolygonPattern(6, c);
  EXPECT_EQ(canvas.State().fillKind, FillKind::Solid);
}

TEST_F(K4Graph, Gradients) {
  // Box (10, 10)-(20, 30); p1 left of and below it, p2 inside.
  g.GPolygonGrad(0, 0x0000FF, 0xFF0000, {0, 0}, {15, 25}, 10, 10, 20, 30, 0);
  auto st = canvas.State();
  EXPECT_EQ(st.fillKind, FillKind::LinearGradient);
  EXPECT_DOUBLE_EQ(st.gradX0, 0);
  EXPECT_DOUBLE_EQ(st.gradY0, 1);  // bottom-left corner
  EXPECT_DOUBLE_EQ(st.gradX1, 0.5);
  EXPECT_DOUBLE_EQ(st.gradY1, 0.25);
  ASSERT_EQ(st.gradStops.size(), 2u);
  EXPECT_EQ(st.gradStops[0].argb, 0xFFFF0000u);
  EXPECT_EQ(st.gradStops[1].argb, 0xFF0000FFu);

  g.GPolygonGrad(1, 0x0000FF, 0xFF0000, {10, 30}, {20, 10}, 10, 10, 20, 30, 0);
  st = canvas.State();
  ASSERT_EQ(st.gradStops.size(), 3u);
  EXPECT_EQ(st.gradStops[0].argb, 0xFF0000FFu);
  EXPECT_EQ(st.gradStops[1].argb, 0xFFFF0000u);
  EXPECT_DOUBLE_EQ(st.gradStops[1].offset, 0.5);
  EXPECT_EQ(st.gradStops[2].argb, 0xFF0000FFu);

  // Zero-width box: o is 0 on the left edge, 1 right of it.
  g.GPolygonGrad(0, 0, 0, {5, 0}, {6, 0}, 5, 0, 5, 10, 0);
  EXPECT_DOUBLE_EQ(canvas.State().gradX0, 0);
  EXPECT_DOUBLE_EQ(canvas.State().gradX1, 1);

  for (int typ : {2, 3}) {
    g.GPolygonGrad(typ, 0x00FF00, 0x000000, {15, 20}, {0, 0}, 10, 10, 20, 30, 0);
    st = canvas.State();
    EXPECT_EQ(st.fillKind, FillKind::RadialGradient);
    EXPECT_DOUBLE_EQ(st.gradX0, 0.5);
    EXPECT_DOUBLE_EQ(st.gradY0, 0.5);
    EXPECT_EQ(st.gradStops[0].argb, 0xFF00FF00u);
  }
  g.GPenSet(0xFF000000, 0, 1);
  g.GPolygonGrad(9, 0, 0, {0, 0}, {0, 0}, 0, 0, 1, 1, 0);
  EXPECT_EQ(canvas.State().fillKind, FillKind::Solid);
}

TEST_F(K4Graph, BitmapFillImage) {
  const std::vector<uint8_t> px(12, 0x80);
  const auto img = TGraph::BmpFileImage(2, 2, 24, px);
  ASSERT_EQ(img.size(), 66u);
  uint32_t v;
  std::memcpy(&v, &img[2], 4);
  EXPECT_EQ(v, 66u);
  std::memcpy(&v, &img[10], 4);
  EXPECT_EQ(v, 54u);
  std::memcpy(&v, &img[14], 4);
  EXPECT_EQ(v, 40u);
  EXPECT_EQ(img[28], 24);
  EXPECT_EQ(img[54], 0x80);

  // 2 x 2 pixels of 24 bits, rows padded to 4 bytes, bottom row first.
  const std::vector<uint8_t> rows = {0, 0, 255, 0, 255, 0, 0, 0, 255, 0, 0, 255, 255, 255, 0, 0};
  g.GPolygonBmp(2, 2, 24, rows);
  EXPECT_EQ(canvas.State().fillKind, FillKind::Bitmap);
  ASSERT_EQ(canvas.lastTile.width, 2);
  ASSERT_EQ(canvas.lastTile.height, 2);
  EXPECT_EQ(canvas.lastTile.at(0, 1), 0xFFFF0000u);  // first stored pixel: bottom-left, red
  EXPECT_EQ(canvas.lastTile.at(1, 0), 0xFFFFFFFFu);

  // A size the pixel bytes cannot cover is not believed.
  g.GPolygonBmp(1 << 30, 1 << 30, 24, std::vector<uint8_t>(8, 0));
  EXPECT_LE(canvas.lastTile.width, 1);
}

// Marks: the pieces each style draws, at (50, 50) with no pattern.
TEST_F(K4Graph, ClosedArrowAndSquares) {
  g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, 0, 3, kPi / 6, 12, 0, 0, 0);
  auto e = Ends();
  EXPECT_EQ(canvas.Segments().size(), 3u);
  EXPECT_TRUE(Has(e, 50, 50));
  EXPECT_TRUE(Has(e, 50 + 3 * std::cos(kPi / 6), 51.5));
  EXPECT_TRUE(Has(e, 50 + 3 * std::cos(kPi / 6), 48.5));
  canvas.ClearCalls();
  g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, 0, 2, 0, 18, 0, 0, 0);
  e = Ends();
  EXPECT_EQ(canvas.Segments().size(), 4u);
  for (auto [x, y] : {std::pair{49, 49}, {51, 49}, {51, 51}, {49, 51}}) EXPECT_TRUE(Has(e, x, y));
  EXPECT_EQ(canvas.Count<RecPolygon>(), 0u);
  EXPECT_TRUE(g.G2.GLPt.empty());
  canvas.ClearCalls();
  g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, 0, 2, 0, 19, 0, 0, 0);
  EXPECT_EQ(canvas.Count<RecPolygon>(), 1u);
  EXPECT_EQ(canvas.Segments().size(), 4u);
}

TEST_F(K4Graph, WhiteMarksRestoreTheFillToThePen) {
  g.GPenSet(0xFF0000FF, 0, 1);
  for (uint8_t sty : {5, 14, 20}) {
    canvas.ClearCalls();
    g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, 0, 4, kPi / 6, sty, 0, 0, 0);
    const auto polys = canvas.All<RecPolygon>();
    ASSERT_EQ(polys.size(), 1u) << int(sty);
    EXPECT_EQ(polys[0].st.fillColor, 0xFFFFFFFFu);
    EXPECT_EQ(canvas.State().fillColor, 0xFF0000FFu);
    EXPECT_GE(canvas.Segments().size(), 3u);  // the outline in the pen colour
  }
  canvas.ClearCalls();
  g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, 0, 4, 0, 13, 0, 0, 0);
  ASSERT_EQ(canvas.All<RecPolygon>().size(), 1u);
  EXPECT_EQ(canvas.All<RecPolygon>()[0].st.fillColor, 0xFF0000FFu);
}

TEST_F(K4Graph, OffsetLineStaysAboveTheDirection) {
  g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, kPi, 4, 1, 17, 0, 0, 0);
  auto e = Ends();
  EXPECT_TRUE(Has(e, 50, 51));  // P(0, -1) turned by pi
  EXPECT_TRUE(Has(e, 46, 51));
  canvas.ClearCalls();
  g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, 0, 4, 1, 17, 0, 0, 0);
  e = Ends();
  EXPECT_TRUE(Has(e, 50, 51));
  EXPECT_TRUE(Has(e, 54, 51));
}

TEST_F(K4Graph, TickAndSCurve) {
  g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, 0, 2, kPi / 2, 15, 0, 0, 0);
  auto e = Ends();
  EXPECT_TRUE(Has(e, 50, 52));
  EXPECT_TRUE(Has(e, 50, 48));
  canvas.ClearCalls();
  g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, 0, std::numbers::sqrt2, kPi / 4, 16, 0, 0, 0);
  e = Ends();
  EXPECT_TRUE(Has(e, 49, 49, 1e-3));
  EXPECT_TRUE(Has(e, 50, 50, 1e-3));
  EXPECT_TRUE(Has(e, 51, 51, 1e-3));
  // Quarter circles of radius 1 about (51, 50) and (49, 50).
  for (const auto& p : e)
    EXPECT_NEAR(std::min(std::hypot(p.X - 51, p.Y - 50), std::hypot(p.X - 49, p.Y - 50)), 1, 1e-3);
}

TEST_F(K4Graph, CirclesAndDots) {
  g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, 0, 4, 0, 3, 0, 0, 0);  // double circle
  std::vector<double> radii;
  for (const auto& p : Ends()) radii.push_back(std::hypot(p.X - 50, p.Y - 50));
  EXPECT_NEAR(*std::min_element(radii.begin(), radii.end()), 1, 1e-3);
  EXPECT_NEAR(*std::max_element(radii.begin(), radii.end()), 2, 1e-3);
  canvas.ClearCalls();
  g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, 0, 4, 0, 4, 0, 0, 0);
  EXPECT_EQ(canvas.Count<RecPolygon>(), 1u);
  EXPECT_EQ(canvas.Segments().size(), 0u);
  canvas.ClearCalls();
  g.GLSymbol(50, 50, 0, 0, 0, 0, 0, 0, 0, 4, 0, 1, 0, 0, 0);
  EXPECT_EQ(canvas.Count<RecPolygon>(), 1u);
  EXPECT_GT(canvas.Segments().size(), 0u);
  for (uint8_t sty : {0, 6, 7, 10, 21, 255}) {
    canvas.ClearCalls();
    EXPECT_EQ(g.GLSymbol(50, 50, 5, 0, 0, 0, 0, 0, 0, 4, 1, sty, 9, 0, 0), 3);
    EXPECT_EQ(canvas.DrawCount(), 0u) << int(sty);
  }
}

TEST_F(K4Graph, Stems) {
  // Straight stem of 5 along an = pi/2, then nothing (style 0).
  g.GLSymbol(50, 50, 5, 0, 0, 0, 0, 0, kPi / 2, 0, 0, 0, 2, 0, 1);
  auto e = Ends();
  ASSERT_EQ(canvas.Segments().size(), 1u);
  EXPECT_TRUE(Has(e, 50, 50) && Has(e, 50, 55));

  // Arc stem of a quarter circle about (40, 50) ending at (50, 50) (dir 1)
  // or starting there (dir 2).
  for (uint8_t dir : {1, 2}) {
    canvas.ClearCalls();
    g.GLSymbol(50, 50, 5 * kPi, 40, 50, 10, 10, 0, 0, 0, 0, 0, 4, 0, dir);
    e = Ends();
    ASSERT_FALSE(e.empty());
    EXPECT_TRUE(Has(e, 50, 50, 1e-3));
    EXPECT_TRUE(Has(e, 40, dir == 1 ? 40 : 60, 1e-3)) << int(dir);
    for (const auto& p : e) EXPECT_NEAR(std::hypot(p.X - 40, p.Y - 50), 10, 1e-3);
  }
  // Elliptic stem: flatness r2 / r1.
  canvas.ClearCalls();
  g.GLSymbol(50, 50, 1, 40, 50, 10, 5, 0, 0, 0, 0, 0, 6, 0, 2);
  EXPECT_GT(canvas.Segments().size(), 0u);

  // No stem for dir 0, a length of 1e-6 or less, r1 = 0 or an unknown kind;
  // the mark is still drawn.
  const struct {
    double le, r1;
    uint8_t ext, dir;
  } none[] = {{5, 10, 2, 0}, {1e-6, 10, 2, 1}, {5, 0, 4, 1}, {5, 0, 6, 2}, {5, 10, 3, 1}};
  for (const auto& c : none) {
    canvas.ClearCalls();
    g.GLSymbol(50, 50, c.le, 40, 50, c.r1, c.r1, 0, 0, 2, 0, 18, c.ext, 0, c.dir);
    EXPECT_EQ(canvas.Segments().size(), 4u);
  }
}

TEST_F(K4Graph, StemAndMarkEachStartTheirPhase) {
  Pattern({2, 2});
  g.LastSeg = 1;
  g.LastLen = 1;
  g.GLSymbol(10, 50, 10, 0, 0, 0, 0, 0, 0, 10, 0, 17, 2, 0, 1);
  // Stem and offset line cover the same ground from the same phase.
  const auto spans = XSpans();
  ASSERT_EQ(spans.size() % 2, 0u);
  const size_t half = spans.size() / 2;
  ASSERT_EQ(half, 5u);
  for (size_t i = 0; i < half; ++i) EXPECT_NEAR(spans[i].first, spans[half + i].first, 1e-9);
}

TEST_F(K4Graph, BezierSampling) {
  const std::vector<TDPoint> four = {{10, 10}, {10, 20}, {20, 20}, {20, 10}};
  g.TransBezierToLines(10, 4, four);
  ASSERT_EQ(g.G2.GLPt.size(), 11u);
  EXPECT_DOUBLE_EQ(g.G2.GLPt[0].X, 10);
  EXPECT_NEAR(g.G2.GLPt[10].X, 20, 1e-9);
  EXPECT_NEAR(g.G2.GLPt[5].X, 15, 1e-9);
  EXPECT_NEAR(g.G2.GLPt[5].Y, 17.5, 1e-9);
  const std::vector<TDPoint> seven = {{10, 10}, {10, 20}, {20, 20}, {20, 10}, {20, 0}, {30, 0}, {30, 10}, {99, 99}};
  g.TransBezierToLines(10, 7, seven);
  EXPECT_LE(g.G2.GLPt.size(), 21u);
  EXPECT_GE(g.G2.GLPt.size(), 20u);
  g.G2.GLPt.clear();

  EXPECT_EQ(g.GLBezier(4, four, 1), 0);
  EXPECT_TRUE(g.G2.GLPt.empty());
  EXPECT_EQ(canvas.Segments().size(), 10u);
  canvas.ClearCalls();
  EXPECT_EQ(g.GLBezier(3, four, 1), 3);
  EXPECT_EQ(g.GLBezier(100, four, 1), 0);  // a count past the stored points uses those there are
  EXPECT_EQ(canvas.Segments().size(), 10u);
  double x, y;
  TGraph::TransBezierSub(x, y, 0.5, 0, 0, 1, 1, 0, 1, 1, 0);
  EXPECT_DOUBLE_EQ(x, 0.5);
  EXPECT_DOUBLE_EQ(y, 0.75);
}

// A damaged drawing may put points very far away (walking the pattern along
// the whole of such a line would take hours). Patterned lines are walked only
// along the part the window shows and pass the phase over the rest, so they
// draw the dashes of the same line begun a whole number of periods before the
// window (or ended just beyond it); curves through such points stay bounded
// by what the window shows.
TEST_F(K4Graph, FarPointsWalkOnlyTheVisiblePart) {
  struct Case {
    const char* name;
    std::function<void(TGraph&)> far;
    std::function<void(TGraph&)> near;  // null: only the bound is checked
  };
  constexpr double kFar = 1e12;
  const std::vector<TDPoint> bezier = {{50, 50}, {kFar, kFar}, {-kFar, kFar}, {60, 50}};
  const std::vector<TDPoint> zigzag = {{50, 50}, {kFar, 50}, {50, 52}, {-kFar, 52}, {50, 54}};
  const std::vector<TDPoint> huge = {{-kFar, -kFar}, {kFar, -kFar}, {0, kFar}};
  const Case cases[] = {
      {"line, far end", [](TGraph& gr) { gr.GLLine2(50, 50, kFar, 50); },
       [](TGraph& gr) { gr.GLLine2(50, 50, 150, 50); }},
      // kFar - 100 is a whole number of periods of 4.
      {"line, far start", [](TGraph& gr) { gr.GLLine3(-kFar, 50, 50, 50); },
       [](TGraph& gr) { gr.GLLine3(-100, 50, 50, 50); }},
      // Along (3, 4) / 5, from kFar and from 100 units before (50, 50).
      {"line, slanted", [](TGraph& gr) { gr.GLLine3(50 - 0.6 * kFar, 50 - 0.8 * kFar, 50, 50); },
       [](TGraph& gr) { gr.GLLine3(-10, -30, 50, 50); }},
      {"circle through the window", [](TGraph& gr) { gr.GLEllipse2(50, 50 - kFar, kFar, 1, 0); }, nullptr},
      {"flat ellipse along the window", [](TGraph& gr) { gr.GLEllipse2(50, 50, kFar, 1e-12, 0.3); }, nullptr},
      {"Bezier with far control points", [&](TGraph& gr) { gr.GLBezier(4, bezier, 1); }, nullptr},
      {"polyline to far points", [&](TGraph& gr) { gr.GLPolylin(5, zigzag, 1); }, nullptr},
      {"pattern fill over a huge polygon",
       [&](TGraph& gr) {
         gr.GPolygonPattern(3, 0xFF0000FF);
         gr.GLPolygon(3, huge, 1);
       },
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto draw = [&](const std::function<void(TGraph&)>& f) {
      canvas.ClearCalls();
      g.GLSetDT();
      Pattern({2, 2});
      f(g);
      return canvas.Calls().size();
    };
    const size_t calls = draw(c.far);
    EXPECT_GT(calls, 0u);
    EXPECT_LE(calls, 72u * 50u);  // 72 chords at most, each at most a window's diagonal of dashes
    if (!c.near) continue;
    const auto spans = Ends();
    draw(c.near);
    const auto want = Ends();
    EXPECT_GT(want.size(), 20u);
    ASSERT_EQ(spans.size(), want.size());
    // The phase passed over 1e12 units is exact to about 1e-4 units.
    for (size_t i = 0; i < spans.size(); ++i) {
      EXPECT_NEAR(spans[i].X, want[i].X, 1e-3) << i;
      EXPECT_NEAR(spans[i].Y, want[i].Y, 1e-3) << i;
    }
  }
}

// The polyline a fuzzer found in a K4 drawing: from a point some 1e200 away
// into the window. Its crossing with the window's top edge overflowed, and
// the dash walk along the infinite piece never ended; now only the visible
// piece is walked (its phase carried over the 6e233 units before it).
TEST_F(K4Graph, LineOfAstronomicalLengthWalksOnlyTheVisiblePiece) {
  g.G2.View.DispX1 = -10.5, g.G2.View.DispY1 = -16.875, g.G2.View.DispX2 = 430.5, g.G2.View.DispY2 = 313.875;
  Pattern({1.3525, -3.1025});
  const auto draw = [&](double x1, double y1) {
    canvas.ClearCalls();
    g.GLSetDT();
    EXPECT_EQ(g.GLLine4(x1, y1, 50.000013162089807, 80), 0);
    return canvas.Calls().size();
  };
  const size_t far = draw(4.741895731994438e+170, 6.3229917213543986e+233);
  EXPECT_GT(far, 40u);
  EXPECT_LT(far, 80u);  // 233.875 units of a 4.455-unit pattern
  const size_t near = draw(50.000013162089807, 313.875);
  EXPECT_LE(std::max(far, near) - std::min(far, near), 1u);
}

TEST_F(K4Graph, PolylinAndPolygon) {
  Pattern({2, 2});
  const std::vector<TDPoint> pts = {{5, 25}, {10, 25}, {5, 30}};
  EXPECT_EQ(g.GLPolylin(2, pts, 2), 0);  // scaled: (10, 50)-(20, 50)
  ExpectSpans(XSpans(), {{10, 12}, {14, 16}, {18, 20}});
  EXPECT_TRUE(g.G2.GLPt.empty());
  canvas.ClearCalls();
  EXPECT_EQ(g.GLPolygon(3, pts, 1), 0);
  EXPECT_EQ(canvas.Count<RecPolygon>(), 1u);
  EXPECT_EQ(canvas.Segments().size(), 0u);
  EXPECT_EQ(g.GLPolylin(1, pts, 1), 3);
  EXPECT_EQ(g.GLPolygon(2, pts, 1), 3);
  EXPECT_TRUE(g.G2.GLPt.empty());
}

}  // namespace
}  // namespace zumen

namespace zumen {
namespace {

TEST(TGraphPolyline, PointsThatAreNotFiniteAreInvalidInput) {
  ConversionContext ctx;
  RecordingCanvas canvas(100, 100);
  TGraph g(ctx, canvas);
  g.G2.View.DotW = g.G2.View.DotH = 100;
  g.G2.View.DispScale = 1;
  g.G2.View.DispX1 = g.G2.View.DispY1 = 0;
  g.G2.View.DispX2 = g.G2.View.DispY2 = 100;
  g.G2.GLPt = {{10, 10}, {std::numeric_limits<double>::quiet_NaN(), 20}, {30, 30}};
  EXPECT_EQ(g.GLPolyline2(), 3);
  g.G2.GLPt = {{10, 10}, {std::numeric_limits<double>::infinity(), 20}};
  EXPECT_EQ(g.GLPolyline2(), 3);
  EXPECT_EQ(canvas.DrawCount(), 0u);
}

}  // namespace
}  // namespace zumen
