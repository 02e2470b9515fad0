// The drawing passes of JWC drawings and JWK symbols on the recording canvas:
// 10 pixels per millimetre, the window (0, 0)-(100, 100) on 1000 x 1000 pixels,
// so (x, y) lands on the pixel (10 x, 1000 - 10 y).
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "attributes/graattribute.h"
#include "canvas/recording_canvas.h"
#include "context/context.h"
#include "formats/jwc/jwc_data.h"
#include "formats/jwc/jwk_data.h"
#include "formats/jwc/lowering.h"
#include "renderer/graph2.h"
#include "renderer/paint_scene.h"
#include "support/jwc_writer.h"

namespace zumen {
namespace {

using test::JwcArcRec;
using test::JwcFile;
using test::JwcLineRec;
using test::JwkFile;

struct Scene {
  ConversionContext ctx;
  DeviceView view;
  RecordingCanvas canvas{1000, 1000};
  // The scale of the layer group that the painter drew last.
  double lgScale = 1;

  Scene() {
    view.DotW = view.DotH = 1000;
    view.DispScale = 10;
    view.DispX1 = view.DispY1 = 0;
    view.DispX2 = view.DispY2 = 100;
    ctx.GAtt.SetDisplayMode(true);
    ctx.GAtt.SetDispHojo(1);
    ctx.GAtt.SetDispKijun(0);
  }
  void Draw(const TJwcData& d) {
    d.SetGAttLayer(ctx.GAtt);
    scene::Scene s;
    s.model = ctx.GAtt;
    LowerJwc(d, false, s);
    Paint(s);
  }
  void Draw(const TJwkData& d) {
    d.SetGAttLayer(ctx.GAtt);
    scene::Scene s;
    s.model = ctx.GAtt;
    LowerJwk(d, false, s);
    Paint(s);
  }
  void Paint(const scene::Scene& s) {
    TGraph2 g(ctx, canvas);
    g.View = view;
    PaintJwItems(s, ctx, g);
    lgScale = g.LgScale;
  }
  // Stroked segments from (x1, y1) to (x2, y2) in drawing units, either way round.
  int Segments(double x1, double y1, double x2, double y2) const {
    int n = 0;
    for (const RecSegment& s : canvas.Segments()) {
      auto near = [](double a, double b) { return std::fabs(a - b) < 0.5; };
      const bool fwd = near(s.x1, 10 * x1) && near(s.y1, 1000 - 10 * y1) && near(s.x2, 10 * x2) &&
                       near(s.y2, 1000 - 10 * y2);
      const bool back = near(s.x2, 10 * x1) && near(s.y2, 1000 - 10 * y1) && near(s.x1, 10 * x2) &&
                        near(s.y1, 1000 - 10 * y2);
      n += fwd || back;
    }
    return n;
  }
  // Stroked pieces and single pixels lying on the line y (drawing units), or on the circle.
  int PiecesOnY(double y) const {
    const double row = 1000 - 10 * y;
    int n = 0;
    for (const RecSegment& q : canvas.Segments()) n += std::fabs(q.y1 - row) < 0.5 && std::fabs(q.y2 - row) < 0.5;
    for (const RecPixel& q : canvas.All<RecPixel>()) n += std::fabs(q.y - row) < 0.5;
    return n;
  }
  int PiecesOnCircle(double cx, double cy, double r) const {
    int n = 0;
    auto on = [&](double x, double y) { return std::fabs(std::hypot(x - 10 * cx, y - (1000 - 10 * cy)) - 10 * r) < 0.6; };
    for (const RecSegment& q : canvas.Segments()) n += on(q.x1, q.y1) && on(q.x2, q.y2);
    return n;
  }
  // Polylines whose every point lies at distance r (drawing units) from (cx, cy).
  std::vector<RecPolyline> Circles(double cx, double cy, double r) const {
    std::vector<RecPolyline> out;
    for (const RecPolyline& p : canvas.All<RecPolyline>()) {
      bool all = p.pts.size() > 2;
      for (const FPoint& q : p.pts)
        all = all && std::fabs(std::hypot(q.X - 10 * cx, q.Y - (1000 - 10 * cy)) - 10 * r) < 0.6;
      if (all) out.push_back(p);
    }
    return out;
  }
};

TJwcData Read(const JwcFile& f) {
  TJwcData d;
  EXPECT_TRUE(d.FileIn(f.Build()));
  return d;
}

TEST(JwcDraw, LinesLandWhereTheFixturePutThemInTheirPenColour) {
  JwcFile f;
  f.lines.push_back({10, 10, 50, 10, 1, 2});
  f.lines.push_back({20, 30, 20, 60, 1, 102});  // pen 102: red
  Scene s;
  s.Draw(Read(f));
  EXPECT_EQ(s.Segments(10, 10, 50, 10), 1);
  EXPECT_EQ(s.Segments(20, 30, 20, 60), 1);
  for (const RecSegment& seg : s.canvas.Segments())
    EXPECT_EQ(seg.color, seg.x1 == 200 ? 0xFFFF0000u : 0xFF000000u);
}

TEST(JwcDraw, ArcsAndCirclesAreDrawnAroundTheirCentres) {
  JwcFile f;
  f.arcs.push_back({50, 50, 10, 10000, 0, 0});              // full circle
  f.arcs.push_back({30, 70, 5, 10000, 0, 90 << 16});        // quarter from 0 to 90 degrees
  f.arcs.push_back({70, 30, 10, 5000, 0, 0, 90 << 16});     // upright ellipse
  Scene s;
  s.Draw(Read(f));
  EXPECT_FALSE(s.Circles(50, 50, 10).empty());
  const auto quarter = s.Circles(30, 70, 5);
  ASSERT_FALSE(quarter.empty());
  EXPECT_NEAR(quarter.front().pts.front().X, 350, 0.6);  // starts at (35, 70)
  EXPECT_NEAR(quarter.back().pts.back().Y, 1000 - 750, 0.6);  // ends at (30, 75)
  // The ellipse reaches 10 up and down and 5 sideways.
  float top = 1000, left = 1000;
  for (const RecPolyline& p : s.canvas.All<RecPolyline>())
    for (const FPoint& q : p.pts)
      if (q.X > 640) top = std::min(top, q.Y), left = std::min(left, q.X);
  EXPECT_NEAR(top, 1000 - 400, 1);
  EXPECT_NEAR(left, 650, 1);
}

TEST(JwcDraw, TextsUseTheirTextTypeAndVerticalFlag) {
  JwcFile f;
  f.Text(10, 80, 30, 80, "AB", 5);
  f.mjWidth[2] = 20, f.mjHeight[2] = 40;
  f.Text(60, 80, 60, 60, "C", 2, 0, 0x20);  // vertical: height and width exchanged
  f.Text(10, 10, 20, 10, "X", 12);          // a type beyond the table: not drawn
  Scene s;
  s.Draw(Read(f));
  const auto texts = s.canvas.All<RecText>();
  ASSERT_EQ(texts.size(), 3u);
  EXPECT_EQ(texts[0].text, u"A");
  EXPECT_EQ(texts[1].text, u"B");
  EXPECT_EQ(texts[0].st.font.family, u"ＭＳ ゴシック");
  EXPECT_NEAR(texts[0].st.font.sizePx, 50, 1e-9);  // type 5: 5 mm high
  EXPECT_EQ(texts[2].text, u"C");
  EXPECT_NEAR(texts[2].st.font.sizePx, 20, 1e-9);
  // "A" sits with its cell's lower-left corner on the text's start.
  double x, y;
  texts[0].st.transform.Apply(texts[0].left, texts[0].top + 50, x, y);
  EXPECT_NEAR(x, 100, 3);
  EXPECT_NEAR(y, 200, 3);
}

TEST(JwcDraw, PointsAndTheAnnouncedVirtualPoints) {
  JwcFile f;
  f.tens.push_back({70, 70});
  f.vtenCount = 2;
  f.vx[0] = 5, f.vy[0] = 5;    // entry 0 is never drawn
  f.vx[1] = 20, f.vy[1] = 20;
  f.vx[2] = 40, f.vy[2] = 20;
  f.vx[3] = 60, f.vy[3] = 20;  // beyond the count
  Scene s;
  s.Draw(Read(f));
  // The point: a filled disc around (700, 300).
  const auto discs = s.canvas.All<RecPolygon>();
  ASSERT_EQ(discs.size(), 1u);
  double cx = 0, cy = 0;
  for (const FPoint& q : discs[0].pts) cx += q.X, cy += q.Y;
  EXPECT_NEAR(cx / discs[0].pts.size(), 700, 0.5);
  EXPECT_NEAR(cy / discs[0].pts.size(), 300, 0.5);
  // Virtual points: circles of 3 pixels in pen colour 2.
  EXPECT_EQ(s.Circles(20, 20, 0.3).size(), 1u);
  EXPECT_EQ(s.Circles(40, 20, 0.3).size(), 1u);
  EXPECT_TRUE(s.Circles(60, 20, 0.3).empty());
  EXPECT_TRUE(s.Circles(5, 5, 0.3).empty());
}

TEST(JwcDraw, HiddenLayersAndAuxiliaryLinesAreLeftOut) {
  JwcFile f;
  f.lDisp[3] = 0;  // layer 3 hidden
  f.lines.push_back({10, 10, 50, 10, 1, 2, 3});
  f.lines.push_back({10, 20, 50, 20, 9, 2});                 // auxiliary line
  f.arcs.push_back({50, 50, 10, 10000, 0, 0, 0, 9, 2});     // auxiliary arc
  f.Text(10, 80, 30, 80, "A", 5, 3);                          // text on the hidden layer
  f.lines.push_back({10, 30, 50, 30, 1, 2});
  const TJwcData d = Read(f);
  for (int hojo : {0, 1}) {
    SCOPED_TRACE(hojo);
    Scene s;
    s.ctx.GAtt.SetDispHojo(hojo);
    s.Draw(d);
    EXPECT_EQ(s.Segments(10, 10, 50, 10), 0);
    EXPECT_EQ(s.canvas.Count<RecText>(), 0u);
    EXPECT_EQ(s.Segments(10, 30, 50, 30), 1);
    EXPECT_EQ(s.PiecesOnY(20) > 0, hojo == 1);  // dotted: drawn in pieces
    EXPECT_EQ(s.PiecesOnCircle(50, 50, 10) > 0, hojo == 1);
  }
}

TEST(JwcDraw, AFailedReadDrawsOnlyTheRecordsStored) {
  JwcFile f;
  f.lines.push_back({10, 10, 50, 10, 1, 2});
  f.p1[0] = "100000";
  auto bytes = f.Build();
  bytes.resize(bytes.size() - 256 * 8 - 16 * 16);
  TJwcData d;
  EXPECT_FALSE(d.FileIn(bytes));
  Scene s;
  s.Draw(d);
  EXPECT_EQ(s.canvas.Segments().size(), 1u);
}

TEST(JwkDraw, ASymbolIsDividedByItsScaleAndItsOriginMarked) {
  JwkFile k;
  k.scale = "10";
  k.lines.push_back({100, 100, 500, 100, 1, 2});
  k.arcs.push_back({500, 500, 100, 10000, 0, 0});
  k.tens.push_back({700, 700});
  k.Text(100, 800, 300, 800, "A", 5);
  TJwkData d;
  ASSERT_TRUE(d.FileIn(k.Build()));
  for (int kijun : {0, 1}) {
    Scene s;
    s.ctx.GAtt.SetDispKijun(kijun);
    s.Draw(d);
    EXPECT_EQ(s.Segments(10, 10, 50, 10), 1);
    EXPECT_EQ(s.Circles(50, 50, 10).size(), 1u);
    const auto texts = s.canvas.All<RecText>();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_NEAR(texts[0].st.font.sizePx, 50, 1e-9);  // the text size is not divided
    EXPECT_DOUBLE_EQ(s.lgScale, 1);
    // The reference mark: a red circle of 5 pixels around the origin.
    const auto marks = s.Circles(0, 0, 0.5);
    ASSERT_EQ(marks.size(), static_cast<size_t>(kijun));
    if (kijun) {
      EXPECT_EQ(marks[0].st.strokeColor, 0xFFFF0000u);
    }
  }
}

// A line of type 2 ends where an arc of the same layer and type starts; with
// the pattern (2, -1) the line's 7 units end 1 unit into a dash. The arc
// starts its own pattern all the same: its pieces are those of the arc drawn
// alone.
TEST(JwcDraw, ArcsStartTheirLineTypeAfreshAfterALine) {
  constexpr uint8_t kTyp = 2;
  const JwcLineRec line{43, 50, 50, 50, kTyp, 2};
  const JwcArcRec arc{40, 50, 10, 10000, 0, 90 << 16, 0, kTyp, 2};  // quarter from (50, 50)
  auto drawn = [&](bool withLine, bool symbol) {
    Scene s;
    const int n = TgraAttribute::TypIndex(kTyp);
    s.ctx.GAtt.SetAttrTypseg_(n, 2);
    s.ctx.GAtt.SetAttrTyppa1_(n, 0, 2);
    s.ctx.GAtt.SetAttrTyppa1_(n, 1, -1);
    s.ctx.GAtt.SetAttrTypamp_(n, 0);
    s.ctx.GAtt.SetAttrTypPit_(n);
    if (symbol) {
      JwkFile k;
      if (withLine) k.lines.push_back(line);
      k.arcs.push_back(arc);
      TJwkData d;
      EXPECT_TRUE(d.FileIn(k.Build()));
      s.Draw(d);
    } else {
      JwcFile f;
      if (withLine) f.lines.push_back(line);
      f.arcs.push_back(arc);
      s.Draw(Read(f));
    }
    // The arc's pieces: every stroke that is not a piece of the line on y = 50.
    std::vector<RecSegment> out;
    for (const RecSegment& q : s.canvas.Segments())
      if (!(q.y1 == 500 && q.y2 == 500 && q.x1 <= 500 && q.x2 <= 500)) out.push_back(q);
    return out;
  };
  for (bool symbol : {false, true}) {
    SCOPED_TRACE(symbol ? "JWK" : "JWC");
    const auto alone = drawn(false, symbol);
    const auto after = drawn(true, symbol);
    ASSERT_FALSE(alone.empty());
    ASSERT_EQ(after.size(), alone.size());
    for (size_t i = 0; i < alone.size(); ++i) {
      EXPECT_DOUBLE_EQ(after[i].x1, alone[i].x1) << i;
      EXPECT_DOUBLE_EQ(after[i].y1, alone[i].y1) << i;
      EXPECT_DOUBLE_EQ(after[i].x2, alone[i].x2) << i;
      EXPECT_DOUBLE_EQ(after[i].y2, alone[i].y2) << i;
    }
  }
}

TEST(JwcDraw, TextsSetTheScaleOfTheirLayerGroup) {
  JwcFile f;
  f.groupScale[2] = 50;
  f.Text(10, 80, 30, 80, "A", 5, 0x21);
  Scene s;
  s.Draw(Read(f));
  EXPECT_DOUBLE_EQ(s.lgScale, 50);
}

}  // namespace
}  // namespace zumen
