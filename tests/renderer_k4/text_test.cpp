// The text rules in which the K4 renderer differs from the Jw renderer: each
// case is drawn by both, so the table shows the difference.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "canvas/recording_canvas.h"
#include "renderer_k4/graph.h"

namespace zumen {
namespace {

// Window (0, 0)-(100, 100) on a 1000 x 1000 canvas: 10 pixels per unit.
class K4Text : public ::testing::Test {
 protected:
  K4Text() : k4(ctx, k4Canvas), jw(ctx, jwCanvas) {
    for (DeviceView* v : {&k4.G2.View, &jw.View}) {
      v->DotW = v->DotH = 1000;
      v->DispScale = 10;
      v->DispX1 = v->DispY1 = 0;
      v->DispX2 = v->DispY2 = 100;
    }
  }

  ConversionContext ctx;
  RecordingCanvas k4Canvas{1000, 1000};
  RecordingCanvas jwCanvas{1000, 1000};
  TGraph k4;
  TGraph2 jw;
};

TEST_F(K4Text, TextsThatCannotBeDrawnAsGlyphsBecomeTheirBaseline) {
  struct Case {
    const char* what;
    double h, w, sp;
    std::u16string s;
    int32_t result;
    bool line;  // the K4 renderer draws the baseline
  };
  const Case cases[] = {
      {"2 pixels high", 0.2, 0.2, 0, u"AB", 2, true},
      {"estimated length 2 pixels", 1, 0.1, 0, u"A", 2, true},
      {"above 3000 pixels high", 301, 1, 0, u"AB", 1, true},
      {"above 3000 pixels wide", 1, 301, 0, u"AB", 1, true},
      {"blank", 1, 1, 0, u" 　\t", 2, false},
      {"blank and tiny", 0.1, 0.1, 0, u"  ", 2, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    k4Canvas.ClearCalls();
    jwCanvas.ClearCalls();
    EXPECT_EQ(k4.GLAText3(10, 20, 30, 20, c.h, c.w, c.sp, 0, u"F", c.s), c.result);
    EXPECT_EQ(jw.GLAText3(10, 20, 30, 20, c.h, c.w, c.sp, 0, u"F", c.s), c.result);
    EXPECT_EQ(jwCanvas.DrawCount(), 0u);
    EXPECT_EQ(k4Canvas.Count<RecText>(), 0u);
    const auto lines = k4Canvas.All<RecLine>();
    ASSERT_EQ(lines.size(), c.line ? 1u : 0u);
    if (c.line) {
      // (10, 20)-(30, 20) in device pixels.
      EXPECT_DOUBLE_EQ(lines[0].x1, 100);
      EXPECT_DOUBLE_EQ(lines[0].y1, 800);
      EXPECT_DOUBLE_EQ(lines[0].x2, 300);
      EXPECT_DOUBLE_EQ(lines[0].y2, 800);
    }
  }
}

TEST_F(K4Text, ColourSequenceTakesTheColourNumbers) {
  ctx.GAtt.SetAttrCol(3, 0xFF123456, 0, 0);  // the Jw pen colour 3
  struct Case {
    std::u16string s;
    uint32_t k4Colour;
  };
  const Case cases[] = {
      {u"^$1A", 0xFF009595}, {u"^$3A", 0xFF00AA37}, {u"^$6A", 0xFF0000FF}, {u"^$9A", 0xFF00FF00},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.s.begin(), c.s.end()));
    k4Canvas.SetStroke(0xFF000000, 1, DashStyle::Solid);
    k4Canvas.SetFillSolid(0xFF000000);
    k4Canvas.ClearCalls();
    ASSERT_EQ(k4.GLAText3(10, 20, 30, 20, 2, 2, 0, 0, u"F", c.s), 0);
    const auto glyphs = k4Canvas.All<RecText>();
    ASSERT_EQ(glyphs.size(), 1u);
    EXPECT_EQ(glyphs[0].st.fillColor, c.k4Colour);
    EXPECT_EQ(k4Canvas.State().strokeColor, c.k4Colour);  // stays after the text
  }
  ASSERT_EQ(jw.GLAText3(10, 20, 30, 20, 2, 2, 0, 0, u"F", u"^$3A"), 0);
  EXPECT_EQ(jwCanvas.All<RecText>().at(0).st.fillColor, 0xFF123456u);
}

TEST_F(K4Text, VerticalGlyphsExchangeHeightAndWidth) {
  // Height 4, width 2: a glyph's font size is its cell height in pixels and
  // its horizontal stretch the cell's width over its height.
  struct Case {
    std::u16string f, s;
    double k4Size, k4Stretch;  // the Jw renderer draws every case at 40 px, stretch 0.5
  };
  const Case cases[] = {
      {u"@F", u"図", 20, 2},    // upright
      {u"@F", u"（", 20, 2},    // along the line
      {u"@F", u"ー", 20, 2},    // along the line, mirrored by Jw only: the swap makes its height positive
      {u"@F", u"A", 20, 2},     // half-width
      {u"F", u"図", 40, 0.5},   // horizontal text is unchanged
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.f.begin(), c.f.end()));
    k4Canvas.ClearCalls();
    jwCanvas.ClearCalls();
    ASSERT_EQ(k4.GLAText3(50, 50, 50, 10, 4, 2, 0, 0, c.f, c.s), 0);
    ASSERT_EQ(jw.GLAText3(50, 50, 50, 10, 4, 2, 0, 0, c.f, c.s), 0);
    const auto k = k4Canvas.All<RecText>();
    const auto j = jwCanvas.All<RecText>();
    ASSERT_EQ(k.size(), 1u);
    ASSERT_EQ(j.size(), 1u);
    EXPECT_DOUBLE_EQ(k[0].st.font.sizePx, c.k4Size);
    EXPECT_DOUBLE_EQ(j[0].st.font.sizePx, 40);
    // The stretch is the length of the transformed unit x vector.
    const auto stretch = [](const Matrix& m) {
      double x0, y0, x1, y1;
      m.Apply(0, 0, x0, y0);
      m.Apply(1, 0, x1, y1);
      return std::hypot(x1 - x0, y1 - y0);
    };
    EXPECT_NEAR(stretch(k[0].st.transform), c.k4Stretch, 1e-9);
    EXPECT_NEAR(stretch(j[0].st.transform), 0.5, 1e-9);
  }
}

}  // namespace
}  // namespace zumen
