#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <variant>
#include <vector>

#include "render_fixture.h"

namespace zumen::testing {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kTyp = 2;  // Jw line-type number whose pattern the tests replace

class Dashing : public RenderTest {
 protected:
  Dashing() { g.GLSetDT(); }

  // Gives line type kTyp the elements (drawing units) and amplitude.
  void SetType(std::vector<double> elems, double amp = 0) {
    const int n = TgraAttribute::TypIndex(kTyp);
    ctx.GAtt.SetAttrTypseg_(n, static_cast<int32_t>(elems.size()));
    for (size_t i = 0; i < elems.size(); ++i) ctx.GAtt.SetAttrTyppa1_(n, static_cast<int>(i), elems[i]);
    ctx.GAtt.SetAttrTypamp_(n, amp);
    ctx.GAtt.SetAttrTypPit_(n);
  }

  // The x extents (drawing units) of the horizontal strokes drawn at y = 50.
  std::vector<std::pair<double, double>> Dashes() const {
    std::vector<std::pair<double, double>> out;
    for (const RecLine& l : canvas.All<RecLine>()) out.emplace_back(l.x1 / 10, l.x2 / 10);
    return out;
  }

  // Total device length of all strokes.
  double DrawnLength() const {
    double sum = 0;
    for (const RecSegment& s : canvas.Segments()) sum += std::hypot(s.x2 - s.x1, s.y2 - s.y1);
    return sum;
  }
};

using Dash = std::vector<std::pair<double, double>>;

void ExpectDashes(const Dash& got, const Dash& want) {
  ASSERT_EQ(got.size(), want.size());
  for (size_t i = 0; i < want.size(); ++i) {
    EXPECT_NEAR(got[i].first, want[i].first, 1e-9) << i;
    EXPECT_NEAR(got[i].second, want[i].second, 1e-9) << i;
  }
}

TEST_F(Dashing, WalksThePatternAndStoresItsPhase) {
  SetType({2, -1});
  EXPECT_EQ(g.GLLineDT(5, kTyp, 10, 50, 17, 50), 0);
  ExpectDashes(Dashes(), {{10, 12}, {13, 15}, {16, 17}});
  EXPECT_EQ(g.LastLay, 5);
  EXPECT_EQ(g.LastTyp, kTyp);
  EXPECT_DOUBLE_EQ(g.LastX, 17);
  EXPECT_DOUBLE_EQ(g.LastY, 50);
  EXPECT_EQ(g.LastSeg, 0);
  EXPECT_NEAR(g.LastLen, 1, 1e-12);
}

TEST_F(Dashing, ContinuesOnlyTheSameLayerTypeAndEndPoint) {
  struct Case {
    const char* name;
    int lay;
    bool reset;
    double start;
    Dash want;
  };
  const Case cases[] = {
      {"continued", 5, false, 17, {{17, 18}, {19, 21}, {22, 24}}},
      {"after GLSetDT", 5, true, 17, {{17, 19}, {20, 22}, {23, 24}}},
      {"other layer", 6, false, 17, {{17, 19}, {20, 22}, {23, 24}}},
      {"not from the end", 5, false, 17.5, {{17.5, 19.5}, {20.5, 22.5}, {23.5, 24}}},
  };
  SetType({2, -1});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g.GLSetDT();
    ASSERT_EQ(g.GLLineDT(5, kTyp, 10, 50, 17, 50), 0);
    if (c.reset) g.GLSetDT();
    canvas.ClearCalls();
    EXPECT_EQ(g.GLLineDT(c.lay, kTyp, c.start, 50, 24, 50), 0);
    ExpectDashes(Dashes(), c.want);
  }
}

TEST_F(Dashing, ZeroElementsAreDots) {
  SetType({0, -1});
  EXPECT_EQ(g.GLLineDT(0, kTyp, 10, 50, 15, 50), 0);
  EXPECT_EQ(canvas.Count<RecLine>(), 0u);
  const auto px = canvas.All<RecPixel>();
  ASSERT_EQ(px.size(), 5u);
  for (size_t i = 0; i < px.size(); ++i) {
    EXPECT_DOUBLE_EQ(px[i].x, 100 + 10.0 * i);
    EXPECT_DOUBLE_EQ(px[i].y, 500);
  }
}

TEST_F(Dashing, SolidFallbacks) {
  struct Case {
    const char* name;
    std::vector<double> elems;
    double amp;
    double scale;
  };
  const Case cases[] = {
      {"solid type", {}, 0, 10},
      {"gap of 1 pixel", {1, -0.1}, 0, 10},
      {"period of 2 pixels", {0.1, -0.1}, 0, 10},
      {"zigzag of 1.5 pixels", {1, -1}, 0.15, 10},
      {"no gaps at all", {1, 2}, 0, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetType(c.elems, c.amp);
    g.View.DispScale = c.scale;
    canvas.ClearCalls();
    g.GLSetDT();
    EXPECT_EQ(g.GLLineDT(0, kTyp, 10, 50, 40, 50), 0);
    ExpectDashes(Dashes(), {{10, 40}});
    EXPECT_EQ(g.LastLay, -1);  // no walk, no phase
  }
  // An unknown line-type number is solid as well.
  canvas.ClearCalls();
  EXPECT_EQ(g.GLLineDT(0, 25, 10, 50, 40, 50), 0);
  ExpectDashes(Dashes(), {{10, 40}});
}

TEST_F(Dashing, ZigzagAlternatesSidesAndEndsOnTheLine) {
  SetType({1, -1}, 0.5);
  EXPECT_EQ(g.GLLineDT(0, kTyp, 10, 50, 14, 50), 0);
  const auto lines = canvas.All<RecLine>();
  const std::vector<FPoint> want{Dev(10, 50), Dev(11, 50.5), Dev(12, 49.5), Dev(13, 50.5), Dev(14, 50)};
  ASSERT_EQ(lines.size(), want.size() - 1);
  for (size_t i = 0; i < lines.size(); ++i) {
    EXPECT_NEAR(lines[i].x1, want[i].X, 1e-9) << i;
    EXPECT_NEAR(lines[i].y1, want[i].Y, 1e-9) << i;
    EXPECT_NEAR(lines[i].x2, want[i + 1].X, 1e-9) << i;
    EXPECT_NEAR(lines[i].y2, want[i + 1].Y, 1e-9) << i;
  }
}

TEST_F(Dashing, PatternStartsAtTheWindowEdge) {
  SetType({2, -1});
  EXPECT_EQ(g.GLLineDT(0, kTyp, -5.5, 50, 4, 50), 0);
  ExpectDashes(Dashes(), {{0, 2}, {3, 4}});
  EXPECT_EQ(g.GLLineDT(0, kTyp, -5, 50, -1, 50), 1);
  EXPECT_EQ(g.GLLineDT(0, kTyp, 50, 50, 50.1, 50.05), 2);
  EXPECT_EQ(canvas.Count<RecPixel>(), 1u);
  EXPECT_DOUBLE_EQ(g.LastX, 4);  // the outside and one-pixel cases keep the phase
}

TEST_F(Dashing, ArcChordCounts) {
  struct Case {
    double r;
    size_t chords;
  };
  // One long dash: every chord is one stroke (or one pixel when it is 2
  // pixels long or less), so the strokes count the chords.
  SetType({1000, -1});
  for (const Case& c : {Case{10, 72}, Case{0.2, 6}, Case{1, 31}}) {
    SCOPED_TRACE(c.r);
    canvas.ClearCalls();
    g.GLSetDT();
    EXPECT_EQ(g.GLEllipseArcDT(0, kTyp, 50, 50, c.r, 1, 0, 0, 2 * kPi), 0);
    EXPECT_EQ(canvas.Count<RecLine>() + canvas.Count<RecPixel>(), c.chords);
  }
}

TEST_F(Dashing, TinyArcIsItsCentrePixel) {
  SetType({1000, -1});
  EXPECT_EQ(g.GLEllipseArcDT(0, kTyp, 50, 50, 0.03, 1, 0, 0, 2 * kPi), 2);
  const auto px = canvas.All<RecPixel>();
  ASSERT_EQ(px.size(), 1u);
  EXPECT_DOUBLE_EQ(px[0].x, 500);
  EXPECT_EQ(g.GLEllipseArcDT(0, kTyp, 150, 50, 0.03, 1, 0, 0, 2 * kPi), 2);
  EXPECT_EQ(canvas.DrawCount(), 1u);
  EXPECT_EQ(g.GLEllipseArcDT(0, kTyp, 150, 50, 10, 1, 0, 0, 2 * kPi), 1);  // every chord outside
}

TEST_F(Dashing, PhaseCarriesAlongTheArc) {
  // A half circle of radius 10 (31.4 units) with dash 2, gap 1: if the phase
  // carried from chord to chord, about two thirds of the length are drawn
  // (10 periods and a last dash of about 1.41, less the pieces of 2 pixels or
  // less that become single pixels); restarting on every chord of 0.44 units
  // would draw it all.
  SetType({2, -1});
  EXPECT_EQ(g.GLEllipseArcDT(0, kTyp, 50, 50, 10, 1, 0, 0, kPi), 0);
  EXPECT_NEAR(DrawnLength() / 10, 21, 0.5);
  EXPECT_EQ(g.LastSeg, 0);  // ended inside the eleventh dash
  EXPECT_NEAR(g.LastLen, 72 * 2 * 10 * std::sin(kPi / 144) - 30, 1e-9);
}

TEST_F(Dashing, ArcFallsBackToSolidOutline) {
  SetType({0.1, -0.05});  // period of 1.5 pixels
  EXPECT_EQ(g.GLEllipseArcDT(0, kTyp, 50, 50, 10, 1, 0, 0, kPi), 0);
  ASSERT_EQ(canvas.Count<RecPolyline>(), 1u);
  EXPECT_EQ(canvas.All<RecPolyline>()[0].pts.size(), 73u);
  canvas.ClearCalls();
  EXPECT_EQ(g.GLEllipseArcBLDT(0, kTyp, 50, 50, 10, 1, 0, 0, kPi, 0, 0, 1, 0, 0, 1, 1), 0);
  EXPECT_EQ(canvas.Count<RecPolyline>(), 1u);
}

TEST_F(Dashing, BlockArcIsTransformedAndSizedAfterTheBlock) {
  SetType({1000, -1});
  // Scale 1/2 about the origin and shift by (25, 25).
  EXPECT_EQ(g.GLEllipseArcBLDT(0, kTyp, 50, 50, 20, 1, 0, 0, kPi / 2, 50, 50, 1, 0, 0, 1, 2), 0);
  const auto lines = canvas.All<RecLine>();
  ASSERT_FALSE(lines.empty());
  EXPECT_NEAR(lines.front().x1, 10 * 60, 1e-6);  // (70, 50) / 2 + (25, 25)
  EXPECT_NEAR(lines.front().y1, 1000 - 10 * 50, 1e-6);
  EXPECT_NEAR(lines.back().x2, 10 * 50, 1e-6);  // (50, 70) -> (50, 60)
  EXPECT_NEAR(lines.back().y2, 1000 - 10 * 60, 1e-6);
  // S = 10 * |B(50, 50) - B(70, 70)| = 141.4 pixels: 71 chords.
  EXPECT_EQ(lines.size() + canvas.Count<RecPixel>(), 71u);

  canvas.ClearCalls();  // at most 1 pixel: the block-transformed centre
  EXPECT_EQ(g.GLEllipseArcBLDT(0, kTyp, 50, 50, 0.1, 1, 0, 0, kPi, 50, 50, 1, 0, 0, 1, 2), 2);
  const auto px = canvas.All<RecPixel>();
  ASSERT_EQ(px.size(), 1u);
  EXPECT_DOUBLE_EQ(px[0].x, 500);
  EXPECT_DOUBLE_EQ(px[0].y, 500);
  EXPECT_EQ(g.GLEllipseArcBLDT(0, kTyp, 50, 50, 10, 1, 0, 0, kPi, 0, 0, 1, 0, 0, 1, 0), 3);
}

// Every stroke and pixel in call order, in device units, to compare two
// drawings call by call.
std::vector<std::vector<double>> Strokes(const RecordingCanvas& c) {
  std::vector<std::vector<double>> out;
  for (const CanvasCall& call : c.Calls()) {
    if (const auto* l = std::get_if<RecLine>(&call)) out.push_back({l->x1, l->y1, l->x2, l->y2});
    if (const auto* p = std::get_if<RecPixel>(&call)) out.push_back({p->x, p->y});
  }
  return out;
}

// Damaged coordinates far away from the drawing (walking the pattern along
// the whole line would take hours; 1e12 / 3 dashes).
constexpr double kFar = 1e12;

// A damaged drawing may put one end of a line very far away. The pattern is
// walked only along the part the window shows, so such a line costs what its
// visible part costs and draws exactly the dashes of the same line ending (or
// starting) just beyond the window edge.
TEST_F(Dashing, FarEndsWalkOnlyTheVisiblePart) {
  struct Case {
    const char* name;
    std::vector<double> elems;
    double amp;
    double far[4];   // the damaged line
    double near[4];  // the same line ending just outside the window
  };
  const Case cases[] = {
      {"dashes, far end", {2, -1}, 0, {50, 50, kFar, 50}, {50, 50, 150, 50}},
      {"dashes, far start", {2, -1}, 0, {-kFar, 50, 50, 50}, {-101, 50, 50, 50}},
      {"dashes, slanted", {2, -1}, 0, {50, 50, kFar, kFar}, {50, 50, 150, 150}},
      {"dots, both ends far", {0, -1}, 0, {-kFar, 30, kFar, 30}, {-1, 30, 101, 30}},
      {"zigzag, far end", {1, -1}, 0.5, {50, 50, kFar, kFar}, {50, 50, 150, 150}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetType(c.elems, c.amp);
    const auto draw = [&](const double (&p)[4]) {
      canvas.ClearCalls();
      g.GLSetDT();
      EXPECT_EQ(g.GLLineDT(0, kTyp, p[0], p[1], p[2], p[3]), 0);
      return Strokes(canvas);
    };
    const auto near = draw(c.near);
    EXPECT_GT(near.size(), 10u);
    EXPECT_EQ(draw(c.far), near);
  }
}

// A line from inside the window to a point some 1e200 away (as a fuzzer
// found in a K4 polyline): the crossing with the window's edge overflows when
// measured from the far end. The visible piece is walked, and only it.
TEST_F(Dashing, LinesOfAstronomicalLengthWalkOnlyTheVisiblePiece) {
  SetType({2, -1}, 0);
  struct Case {
    double far[4];
    double nearEnd[2];  // where the visible piece leaves the window
  } cases[] = {
      {{4.741895731994438e+170, 6.3229917213543986e+233, 50.000013162089807, 80}, {50.000013162089807, 100}},
      {{1e300, -1e300, 50, 20}, {70, 0}},
  };
  for (const Case& c : cases) {
    canvas.ClearCalls();
    g.GLSetDT();
    EXPECT_EQ(g.GLLineDT(0, kTyp, c.far[0], c.far[1], c.far[2], c.far[3]), 0);
    const auto far = Strokes(canvas);
    canvas.ClearCalls();
    g.GLSetDT();
    EXPECT_EQ(g.GLLineDT(0, kTyp, c.nearEnd[0], c.nearEnd[1], c.far[2], c.far[3]), 0);
    const auto near = Strokes(canvas);
    EXPECT_GT(far.size(), 5u);
    EXPECT_LT(far.size(), 100u);
    EXPECT_EQ(far.size(), near.size());
  }
}

// Arcs of a huge radius crossing the window: chords and dashes stay bounded
// by what the window shows, where the whole curve would hold about 2e12
// dashes.
TEST_F(Dashing, HugeArcsWalkOnlyTheVisiblePart) {
  struct Case {
    const char* name;
    std::function<int32_t(TGraph2&)> draw;
  };
  const double r = kFar;
  const Case cases[] = {
      {"circle through the window",
       [&](TGraph2& gr) { return gr.GLEllipseArcDT(0, kTyp, 50, 50 - r, r, 1, 0, 0, 2 * kPi); }},
      {"arc piece through the window",
       [&](TGraph2& gr) { return gr.GLEllipseArcDT(0, kTyp, 50, 50 - r, r, 1, 0, kPi / 2 - 0.1, 0.2); }},
      {"flat ellipse along the window",
       [&](TGraph2& gr) { return gr.GLEllipseArcDT(0, kTyp, 50, 50, r, 1e-12, 0.3, 0, 2 * kPi); }},
      {"circle in a block",
       [&](TGraph2& gr) {
         return gr.GLEllipseArcBLDT(0, kTyp, 50, 50 - r, r, 1, 0, 0, 2 * kPi, 0, 0, 1, 0, 0, 1, 1);
       }},
  };
  SetType({2, -1});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    canvas.ClearCalls();
    g.GLSetDT();
    EXPECT_EQ(c.draw(g), 0);
    EXPECT_GT(canvas.DrawCount(), 0u);
    EXPECT_LE(canvas.DrawCount(), 72u * 50u);  // 72 chords, each at most a window's diagonal of dashes
  }
}

}  // namespace
}  // namespace zumen::testing
