// Text layout on the recording canvas: every glyph's cell is read back from
// the FillText call and the transform in force, in drawing units.
//
// The view: 10 pixels per drawing unit, window (0, 0)-(100, 100) on a
// 1000 x 1000 canvas. Texts start at (10, 10) along the x axis with height 4,
// full-width width 2 and spacing 0 unless a case says otherwise, so a
// half-width cell is 1 unit wide and 4 high.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "canvas/recording_canvas.h"
#include "common/cp932.h"
#include "renderer/graph2.h"

namespace zumen {
namespace {

constexpr double kTol = 1e-9;

// A drawn glyph: its cell's bounding box in drawing units, the direction of
// its baseline in degrees (0 ... 360), whether it is mirrored, and the style.
struct Glyph {
  std::u16string text;
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  double angle = 0;
  bool mirrored = false;
  FontSpec font;
  uint32_t fill = 0;
};

// Expected glyph: character, cell left, bottom, width, height (axis-parallel cells).
struct Cell {
  char16_t c;
  double x, y, w, h;
};

class TextLayoutTest : public ::testing::Test {
 protected:
  TextLayoutTest() : canvas(1000, 1000), g(ctx, canvas) {
    ctx.Facts = &facts;
    g.View.DispScale = 10;
    g.View.DispX1 = 0;
    g.View.DispY1 = 0;
    g.View.DispX2 = 100;
    g.View.DispY2 = 100;
    g.View.DotW = 1000;
    g.View.DotH = 1000;
  }

  int Draw(const std::u16string& s, double h = 4, double w = 2, double sp = 0, int Ftyp = 0,
           const std::u16string& f = u"ＭＳ ゴシック") {
    canvas.ClearCalls();
    return g.GLAText3(10, 10, 30, 10, h, w, sp, Ftyp, f, s);
  }

  std::vector<Glyph> Glyphs() const {
    std::vector<Glyph> out;
    for (const RecText& t : canvas.All<RecText>()) {
      const Matrix& m = t.st.transform;
      const double em = t.st.font.sizePx;
      const double cellW = IsZenkaku(t.text) ? em : em / 2;
      Glyph gl;
      gl.text = t.text;
      gl.font = t.st.font;
      gl.fill = t.st.fillColor;
      double xs[4], ys[4];
      const double px[4] = {t.left, t.left + cellW, t.left, t.left + cellW};
      const double py[4] = {t.top, t.top, t.top + em, t.top + em};
      for (int i = 0; i < 4; ++i) {
        double dx, dy;
        m.Apply(px[i], py[i], dx, dy);
        xs[i] = dx / g.View.DispScale + g.View.DispX1;
        ys[i] = (g.View.DotH - dy) / g.View.DispScale + g.View.DispY1;
      }
      gl.x1 = *std::min_element(xs, xs + 4);
      gl.x2 = *std::max_element(xs, xs + 4);
      gl.y1 = *std::min_element(ys, ys + 4);
      gl.y2 = *std::max_element(ys, ys + 4);
      // Baseline direction and handedness, in drawing space (y up).
      const double ux = xs[1] - xs[0], uy = ys[1] - ys[0];
      const double vx = xs[2] - xs[0], vy = ys[2] - ys[0];
      gl.angle = std::atan2(uy, ux) * 180 / std::numbers::pi;
      if (gl.angle < -1e-9) gl.angle += 360;
      // Upright glyphs have "down" clockwise from the baseline.
      gl.mirrored = ux * vy - uy * vx > 0;
      out.push_back(gl);
    }
    return out;
  }

  void ExpectCells(const std::vector<Cell>& want, const std::string& where) {
    const auto got = Glyphs();
    ASSERT_EQ(got.size(), want.size()) << where;
    for (size_t i = 0; i < want.size(); ++i) {
      const std::string at = where + ", glyph " + std::to_string(i);
      EXPECT_EQ(got[i].text, std::u16string(1, want[i].c)) << at;
      EXPECT_NEAR(got[i].x1, want[i].x, kTol) << at;
      EXPECT_NEAR(got[i].y1, want[i].y, kTol) << at;
      EXPECT_NEAR(got[i].x2 - got[i].x1, want[i].w, kTol) << at;
      EXPECT_NEAR(got[i].y2 - got[i].y1, want[i].h, kTol) << at;
      EXPECT_NEAR(got[i].angle, 0, kTol) << at;
      EXPECT_FALSE(got[i].mirrored) << at;
    }
  }

  DrawingFacts facts;
  ConversionContext ctx;
  RecordingCanvas canvas;
  TGraph2 g;
};

struct LayoutCase {
  const char* name;
  std::u16string text;
  double w, sp;
  std::vector<Cell> cells;
};

TEST_F(TextLayoutTest, PlainTextAndTrailingDirectives) {
  const LayoutCase cases[] = {
      {"half-width letters", u"AB", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 11, 10, 1, 4}}},
      {"full-width with spacing", u"図A図", 2, 1, {{u'図', 10, 10, 2, 4}, {u'A', 13, 10, 1, 4}, {u'図', 14.5, 10, 2, 4}}},
      // "･": the letters keep the length they had with it, gaps widened evenly.
      {"stretch dot", u"ABC･", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 11.5, 10, 1, 4}, {u'C', 13, 10, 1, 4}}},
      {"stretch dot, spaced", u"ABC･", 2, 1,
       {{u'A', 10, 10, 1, 4}, {u'B', 12.25, 10, 1, 4}, {u'C', 14.5, 10, 1, 4}}},
      {"stretch dot, full-width", u"図面･", 2, 0, {{u'図', 10, 10, 2, 4}, {u'面', 13, 10, 2, 4}}},
      // "・・": the last letter ends where the dots ended.
      {"trailing middle dots", u"AB・・", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 15, 10, 1, 4}}},
      // "^1": compressed into one half-width unit less.
      {"compression", u"ABCD^1", 2, 0,
       {{u'A', 10, 10, 0.75, 4}, {u'B', 10.75, 10, 0.75, 4}, {u'C', 11.5, 10, 0.75, 4}, {u'D', 12.25, 10, 0.75, 4}}},
      {"too short to compress", u"AB^1", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 11, 10, 1, 4}}},
      {"one letter, directive dropped", u"A^2", 2, 0, {{u'A', 10, 10, 1, 4}}},
      {"spaces advance but draw nothing", u"A 　B", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 14, 10, 1, 4}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Draw(c.text, 4, c.w, c.sp), 0) << c.name;
    ExpectCells(c.cells, c.name);
  }
}

TEST_F(TextLayoutTest, ControlSequencesAndModes) {
  const LayoutCase cases[] = {
      // Raised, lowered and centred small characters advance half a cell.
      {"^u", u"A^u2", 2, 0, {{u'A', 10, 10, 1, 4}, {u'2', 11, 12, 1, 2}}},
      {"^d", u"A^d2B", 2, 0, {{u'A', 10, 10, 1, 4}, {u'2', 11, 10, 1, 2}, {u'B', 12, 10, 1, 4}}},
      {"^c", u"A^c2B", 2, 0, {{u'A', 10, 10, 1, 4}, {u'2', 11, 11, 1, 2}, {u'B', 12, 10, 1, 4}}},
      {"^u full-width", u"A^u図", 2, 0, {{u'A', 10, 10, 1, 4}, {u'図', 11, 12, 1, 2}}},
      // Overlays go back onto the previous cell and do not advance.
      {"^o", u"A^oBC", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 10.25, 11, 0.5, 2}, {u'C', 11, 10, 1, 4}}},
      {"^o after full-width", u"図^o図", 2, 0, {{u'図', 10, 10, 2, 4}, {u'図', 10.5, 11, 1, 2}}},
      {"^n", u"A^nB", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 10, 10, 1, 4}}},
      {"^b", u"A^bB", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 10.25, 10, 1, 4}}},
      {"^B", u"A^BB", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 10.2, 10, 1, 4}}},
      {"^n with spacing", u"図^n図", 2, 1, {{u'図', 10, 10, 2, 4}, {u'図', 10, 10, 2, 4}}},
      {"^n first", u"^nA", 2, 0, {{u'A', 9.5, 10, 1, 4}}},
      // "^w": two half-width characters squeezed over the previous cell.
      {"^w pair", u"A^w12", 2, 0, {{u'A', 10, 10, 1, 4}, {u'1', 10, 11, 0.5, 2}, {u'2', 10.5, 11, 0.5, 2}}},
      {"^w single", u"図^w1", 2, 0, {{u'図', 10, 10, 2, 4}, {u'1', 10.75, 11, 0.5, 2}}},
      {"^w full-width is text", u"A^w図", 2, 0,
       {{u'A', 10, 10, 1, 4}, {u'^', 11, 10, 1, 4}, {u'w', 12, 10, 1, 4}, {u'図', 13, 10, 2, 4}}},
      // Malformed and disabled sequences are drawn literally.
      {"unknown", u"A^zB", 2, 0, {{u'A', 10, 10, 1, 4}, {u'^', 11, 10, 1, 4}, {u'z', 12, 10, 1, 4}, {u'B', 13, 10, 1, 4}}},
      {"mode before ^", u"A^u^z", 2, 0,
       {{u'A', 10, 10, 1, 4}, {u'^', 11, 10, 1, 4}, {u'u', 12, 10, 1, 4}, {u'^', 13, 10, 1, 4}, {u'z', 14, 10, 1, 4}}},
      {"mode at end", u"AB^u", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 11, 10, 1, 4}, {u'^', 12, 10, 1, 4}, {u'u', 13, 10, 1, 4}}},
      {"^ at end", u"AB^", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 11, 10, 1, 4}, {u'^', 12, 10, 1, 4}}},
      {"^$ without digit", u"A^$x", 2, 0, {{u'A', 10, 10, 1, 4}, {u'^', 11, 10, 1, 4}, {u'$', 12, 10, 1, 4}, {u'x', 13, 10, 1, 4}}},
      {"^$ at end", u"AB^$", 2, 0, {{u'A', 10, 10, 1, 4}, {u'B', 11, 10, 1, 4}, {u'^', 12, 10, 1, 4}, {u'$', 13, 10, 1, 4}}},
      {"controls off and on", u"^*A^B^^C^uD", 2, 0,
       {{u'A', 10, 10, 1, 4}, {u'^', 11, 10, 1, 4}, {u'B', 12, 10, 1, 4}, {u'C', 13, 10, 1, 4}, {u'D', 14, 12, 1, 2}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Draw(c.text, 4, c.w, c.sp), 0) << c.name;
    ExpectCells(c.cells, c.name);
  }
}

TEST_F(TextLayoutTest, StylesAndColours) {
  Draw(u"A^!B^#C^/^_^-D");
  auto gl = Glyphs();
  ASSERT_EQ(gl.size(), 4u);
  EXPECT_FALSE(gl[0].font.bold);
  EXPECT_TRUE(gl[1].font.bold);
  EXPECT_FALSE(gl[2].font.bold);
  EXPECT_TRUE(gl[3].font.italic && gl[3].font.underline && gl[3].font.strikeout && !gl[3].font.bold);
  EXPECT_EQ(gl[3].font.family, u"ＭＳ ゴシック");
  EXPECT_DOUBLE_EQ(gl[3].font.sizePx, 40);

  // "^#" returns to the entity's own style.
  Draw(u"A^-B^#C", 4, 2, 0, 1);
  gl = Glyphs();
  ASSERT_EQ(gl.size(), 3u);
  EXPECT_TRUE(gl[0].font.bold && !gl[0].font.strikeout);
  EXPECT_TRUE(gl[1].font.bold && gl[1].font.strikeout);
  EXPECT_TRUE(gl[2].font.bold && !gl[2].font.strikeout);

  // "^$3" colours what follows with pen colour 3, and the colour stays.
  canvas.SetFillSolid(0xFF123456);
  Draw(u"A^$3BC");
  gl = Glyphs();
  ASSERT_EQ(gl.size(), 3u);
  const uint32_t pen3 = ctx.GAtt.GetAttrColcol(3);
  EXPECT_EQ(gl[0].fill, 0xFF123456u);
  EXPECT_EQ(gl[1].fill, pen3);
  EXPECT_EQ(gl[2].fill, pen3);
  EXPECT_EQ(canvas.StrokeColor(), pen3);
  EXPECT_EQ(canvas.FillColor(), pen3);
}

TEST_F(TextLayoutTest, MacrosAreDrawnWithoutControlSequences) {
  facts.CurFileName = u"C:\\a^!b\\x^uy.jww";
  EXPECT_EQ(Draw(u"%f"), 0);
  std::u16string drawn;
  for (const auto& gl : Glyphs()) {
    drawn += gl.text;
    EXPECT_FALSE(gl.font.bold);
  }
  EXPECT_EQ(drawn, u"x^uy.jww");

  // The spacing comes from the code: "%F･" spreads two characters over three
  // cells, whatever the path.
  facts.CurFileName = u"ABCDE";
  Draw(u"%F･");
  ExpectCells({{u'A', 10, 10, 1, 4}, {u'B', 12, 10, 1, 4}, {u'C', 14, 10, 1, 4}, {u'D', 16, 10, 1, 4},
               {u'E', 18, 10, 1, 4}},
              "%F with stretch dot");

  // A reference key without an entry is drawn as written, "^" and all.
  ctx.RefList = {{u"%%name", u"N"}};
  Draw(u"%%name^!");
  ASSERT_EQ(Glyphs().size(), 8u);
  Draw(u"%%name");
  ASSERT_EQ(Glyphs().size(), 1u);
  EXPECT_EQ(Glyphs()[0].text, u"N");
  // "$F" with a space is not a macro.
  Draw(u"$F ");
  ASSERT_EQ(Glyphs().size(), 2u);
  // The K4 rules leave era codes as text.
  TGraph2 k4(ctx, canvas, TextRules::K4(nullptr));
  k4.View = g.View;
  canvas.ClearCalls();
  k4.GLAText3(10, 10, 30, 10, 4, 2, 0, 0, u"ＭＳ ゴシック", u"$E");
  ASSERT_EQ(Glyphs().size(), 2u);
}

TEST_F(TextLayoutTest, VerticalWritingAndItsCharacterSets) {
  // A vertical text runs downwards: its line points along -y.
  canvas.ClearCalls();
  ASSERT_EQ(g.GLAText3(10, 50, 10, 30, 4, 4, 0, 0, u"@ＭＳ ゴシック", u"図（ー，A"), 0);
  const auto gl = Glyphs();
  ASSERT_EQ(gl.size(), 5u);
  EXPECT_EQ(gl[0].font.family, u"ＭＳ ゴシック");
  struct Want {
    double x1, y1, x2, y2, angle;
    bool mirrored;
  };
  const Want want[] = {
      {10, 46, 14, 50, 0, false},    // ordinary full-width: upright
      {10, 42, 14, 46, 270, false},  // bracket: along the line
      {10, 38, 14, 42, 270, true},   // long vowel mark: along the line, mirrored
      {11.6, 34, 15.6, 38, 0, false},  // comma: upright, centre raised to 0.9 of the height
      {10, 32, 14, 34, 270, false},  // half-width: along the line, half a cell long
  };
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_NEAR(gl[i].x1, want[i].x1, kTol) << i;
    EXPECT_NEAR(gl[i].y1, want[i].y1, kTol) << i;
    EXPECT_NEAR(gl[i].x2, want[i].x2, kTol) << i;
    EXPECT_NEAR(gl[i].y2, want[i].y2, kTol) << i;
    EXPECT_NEAR(gl[i].angle, want[i].angle, kTol) << i;
    EXPECT_EQ(gl[i].mirrored, want[i].mirrored) << i;
  }

  // Every "@" turns the glyphs a further quarter turn.
  canvas.ClearCalls();
  g.GLAText3(10, 10, 30, 10, 4, 4, 0, 0, u"@@ＭＳ 明朝", u"図");
  ASSERT_EQ(Glyphs().size(), 1u);
  EXPECT_NEAR(Glyphs()[0].angle, 180, kTol);
  EXPECT_EQ(Glyphs()[0].font.family, u"ＭＳ 明朝");
}

TEST_F(TextLayoutTest, NegativeWidthRunsBackwardsTurnedHalfRound) {
  canvas.ClearCalls();
  ASSERT_EQ(g.GLAText3(10, 10, 30, 10, 4, -2, 0, 0, u"ＭＳ ゴシック", u"AB"), 0);
  const auto gl = Glyphs();
  ASSERT_EQ(gl.size(), 2u);
  EXPECT_NEAR(gl[0].x1, 29, kTol);
  EXPECT_NEAR(gl[0].x2, 30, kTol);
  EXPECT_NEAR(gl[0].y1, 6, kTol);
  EXPECT_NEAR(gl[0].y2, 10, kTol);
  EXPECT_NEAR(gl[1].x1, 28, kTol);
  for (const auto& x : gl) {
    EXPECT_NEAR(x.angle, 180, kTol);
    EXPECT_FALSE(x.mirrored);
  }
}

TEST_F(TextLayoutTest, NegativeHeightMirrorsEachGlyphInItsOwnCell) {
  ASSERT_EQ(Draw(u"AB", -4), 0);
  const auto gl = Glyphs();
  ASSERT_EQ(gl.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    EXPECT_NEAR(gl[i].x1, 10 + i, kTol);
    EXPECT_NEAR(gl[i].y1, 10, kTol);
    EXPECT_NEAR(gl[i].y2, 14, kTol);
    EXPECT_NEAR(gl[i].angle, 0, kTol);
    EXPECT_TRUE(gl[i].mirrored);
  }
  // A mirrored base point 1 (bottom centre) places the cell as base point 7.
  canvas.ClearCalls();
  ASSERT_EQ(g.GLAText1(20, 20, -4, 2, 0, 1, u"A"), 0);
  ASSERT_EQ(g.GLAText1(20, 20, 4, 2, 0, 7, u"A"), 0);
  const auto two = Glyphs();
  ASSERT_EQ(two.size(), 2u);
  EXPECT_NEAR(two[0].x1, 19.5, kTol);
  EXPECT_NEAR(two[0].y1, 16, kTol);
  EXPECT_NEAR(two[1].x1, two[0].x1, kTol);
  EXPECT_NEAR(two[1].y1, two[0].y1, kTol);
  EXPECT_TRUE(two[0].mirrored);
  EXPECT_FALSE(two[1].mirrored);
}

TEST_F(TextLayoutTest, BasePoints) {
  // Base point codes 0 ... 8 (and out of range as 0) for a full-width cell 2 x 4 at (20, 20).
  const double left[] = {20, 19, 18, 20, 19, 18, 20, 19, 18};
  const double bottom[] = {20, 20, 20, 18, 18, 18, 16, 16, 16};
  for (int fm = -1; fm <= 9; ++fm) {
    canvas.ClearCalls();
    ASSERT_EQ(g.GLAText1(20, 20, 4, 2, 0, fm, u"図"), 0) << fm;
    const int k = fm < 0 || fm > 8 ? 0 : fm;
    ASSERT_EQ(Glyphs().size(), 1u);
    EXPECT_NEAR(Glyphs()[0].x1, left[k], kTol) << fm;
    EXPECT_NEAR(Glyphs()[0].y1, bottom[k], kTol) << fm;
  }
}

TEST_F(TextLayoutTest, SizeLimitsAndCulling) {
  struct Limit {
    const char* name;
    std::u16string text;
    double h, w;
    int result;
  };
  const Limit cases[] = {
      {"blank", u" 　 ", 4, 2, 2},
      {"control characters only", u"\t\r\n", 4, 2, 2},
      {"height of 2 pixels", u"AB", 0.2, 2, 2},
      {"length of 2 pixels", u"A", 4, 0.4, 2},
      {"height above 3000 pixels", u"AB", 301, 2, 1},
      {"width above 3000 pixels", u"AB", 4, 301, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Draw(c.text, c.h, c.w), c.result) << c.name;
    EXPECT_EQ(canvas.DrawCount(), 0u) << c.name;
  }
  // Narrow glyphs of 2 pixels or less are single pixels.
  canvas.ClearCalls();
  EXPECT_EQ(g.GLAText2(10, 10, 0, 4, 0.4, 1, 0, u"ＭＳ ゴシック", u"AAAAAAAA"), 1);
  EXPECT_EQ(canvas.Count<RecPixel>(), 8u);
  EXPECT_EQ(canvas.Count<RecText>(), 0u);
  // Outside the window.
  canvas.ClearCalls();
  EXPECT_EQ(g.GLAText3(200, 10, 220, 10, 4, 2, 0, 0, u"ＭＳ ゴシック", u"AB"), 1);
  EXPECT_EQ(canvas.DrawCount(), 0u);
  // A cell larger than the window still shows the part inside it.
  g.View.DispX1 = 40;
  g.View.DispX2 = 42;
  g.View.DispY1 = 40;
  g.View.DispY2 = 42;
  canvas.ClearCalls();
  EXPECT_EQ(g.GLAText3(30, 30, 50, 30, 100, 100, 0, 0, u"ＭＳ ゴシック", u"図"), 0);
  EXPECT_EQ(canvas.Count<RecText>(), 1u);
  // Invalid numbers are refused before they reach the canvas.
  g.View.DispX1 = g.View.DispY1 = 0;
  g.View.DispX2 = g.View.DispY2 = 100;
  canvas.ClearCalls();
  EXPECT_EQ(g.GLAText1(NAN, 10, 4, 2, 0, 0, u"A"), 3);
  EXPECT_EQ(g.GLAText3(10, 10, 30, 10, 4, 2, INFINITY, 0, u"ＭＳ ゴシック", u"AB"), 0);
  EXPECT_EQ(canvas.DrawCount(), 1u);  // the first letter only
}

}  // namespace
}  // namespace zumen

namespace zumen {
namespace {

// Characters below the bar height are bars of the fill colour over the middle
// of their cells, with no text drawn; larger ones keep their glyphs.
TEST_F(TextLayoutTest, CharactersBelowTheBarHeightAreBars) {
  canvas.SetFillSolid(0xFF123456);
  ctx.TextBarsBelowPx = 30;  // 10 px a unit: a text 2 units high is 20 px
  ASSERT_EQ(Draw(u"図面", 2, 2), 0);
  EXPECT_TRUE(canvas.All<RecText>().empty());
  const auto bars = canvas.All<RecPolygon>();
  ASSERT_EQ(bars.size(), 2u);
  for (const RecPolygon& b : bars) {
    EXPECT_EQ(b.st.fillColor, 0xFF123456u);
    ASSERT_EQ(b.pts.size(), 4u);
    // From 30 % to 70 % of the 20 px cell below its top at y = 12 units.
    float top = 1e9f, bottom = -1e9f;
    for (const FPoint& p : b.pts) {
      top = std::min(top, p.Y);
      bottom = std::max(bottom, p.Y);
    }
    EXPECT_NEAR(top, 1000 - 120 + 6, 0.01);
    EXPECT_NEAR(bottom, 1000 - 120 + 14, 0.01);
  }
  // The second character's bar follows the first, one cell (20 px) on.
  EXPECT_NEAR(bars[1].pts[0].X - bars[0].pts[0].X, 20, 0.01);

  ASSERT_EQ(Draw(u"図面", 4, 2), 0);  // 40 px: glyphs
  EXPECT_EQ(canvas.All<RecText>().size(), 2u);
  EXPECT_TRUE(canvas.All<RecPolygon>().empty());

  ctx.TextBarsBelowPx = 0;
  ASSERT_EQ(Draw(u"図面", 2, 2), 0);
  EXPECT_EQ(canvas.All<RecText>().size(), 2u);
  EXPECT_TRUE(canvas.All<RecPolygon>().empty());
}

}  // namespace
}  // namespace zumen
