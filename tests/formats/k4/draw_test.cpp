#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <numbers>
#include <set>
#include <tuple>

#include "canvas/cairo_canvas.h"
#include "codecs/image_io.h"
#include "canvas/recording_canvas.h"
#include "formats/k4/k4data.h"
#include "formats/k4/lowering.h"
#include "renderer_k4/graph.h"
#include "renderer_k4/paint_scene.h"
#include "support/fixtures.h"
#include "support/k4_writer.h"

namespace zumen {
namespace {

using test::K4Attr;
using test::K4Writer;
constexpr double kPi = std::numbers::pi;

// Window (0, 0)-(100, 100) on a 1000 x 1000 canvas: 10 pixels per unit.
class K4Draw : public ::testing::Test {
 protected:
  K4Draw() : gra(ctx, canvas) { gra.G2.View = Window(); }
  static DeviceView Window() {
    DeviceView v;
    v.DotW = v.DotH = 1000;
    v.DispScale = 10;
    v.DispX1 = v.DispY1 = 0;
    v.DispX2 = v.DispY2 = 100;
    return v;
  }
  void AddLine(uint16_t attr, double x1, double y1, double x2, double y2, uint32_t color = 0) {
    TK4ObjectLine l;
    l.head.attr = attr;
    l.head.color = color;
    l.p1 = {x1, y1};
    l.p2 = {x2, y2};
    w.Line(l);
  }
  void Load() {
    ASSERT_TRUE(k.MemIn(w.bytes()));
  }
  // Lowers the drawing and paints its scene: objects in their pen numbers'
  // colours, or with ownColours in their own; auxiliary lines as the
  // context's attribute model says.
  void Draw() { Paint(gra); }
  void Paint(TGraph& g) {
    scene::Scene s;
    LowerK4(k, false, s);
    ctx.GAtt.SetDispHojo(hojo ? 1 : 0);
    ctx.GAtt.SetDefaultLayer();
    for (int n = 0; n < 256; ++n) ctx.GAtt.SetAttrLayer(n, s.model.GetAttrLayerState(n), 1);
    PaintK4Items(s, ctx, g, ownColours);
  }

  ConversionContext ctx;
  RecordingCanvas canvas{1000, 1000};
  TGraph gra;
  TK4Data k;
  bool ownColours = false;
  bool hojo = true;
  K4Writer w;
};

TEST_F(K4Draw, ColourNumbersAndLayerStates) {
  TK4LayerInfo li;
  li.grp[1].state = 1;         // greyed group
  li.grp[2].tab[3].state = 1;  // greyed layer
  li.grp[4].state = 0;         // hidden group
  li.grp[5].tab[6].state = 0;  // hidden layer
  w.Title(u"c").Layers(li);
  AddLine(K4Attr(0, 0, 6, 0), 10, 10, 20, 10);
  AddLine(K4Attr(0, 1, 6, 0), 10, 20, 20, 20);
  AddLine(K4Attr(3, 2, 6, 0), 10, 30, 20, 30);
  AddLine(K4Attr(0, 4, 6, 0), 10, 40, 20, 40);
  AddLine(K4Attr(6, 5, 6, 0), 10, 50, 20, 50);
  AddLine(K4Attr(5, 5, 10, 0), 10, 60, 20, 60);
  AddLine(K4Attr(0, 0, 0, 15), 10, 70, 20, 70);  // auxiliary line
  AddLine(K4Attr(0, 0, 11, 0), 10, 80, 20, 80);
  Load();
  k.prnstl.width[6] = 500;  // ignored on screen colours
  Draw();
  std::vector<std::pair<double, uint32_t>> got;  // (drawing y, colour)
  for (const auto& s : canvas.Segments()) {
    got.push_back({(1000 - s.y1) / 10, s.color});
    EXPECT_DOUBLE_EQ(s.width, 1);
  }
  const std::set<std::pair<double, uint32_t>> seen(got.begin(), got.end());
  const std::set<std::pair<double, uint32_t>> want = {{10, 0xFF0000FF}, {20, 0xFFD8D8D8}, {30, 0xFFD8D8D8},
                                                      {60, 0xFFFFC0CB}, {70, 0xFF888888}, {80, 0xFFB8860B}};
  EXPECT_EQ(seen, want);
}

TEST_F(K4Draw, OwnColoursAndPrintWidths) {
  w.Title(u"c");
  AddLine(K4Attr(0, 0, 3, 0), 10, 10, 20, 10, 0x0000FF);
  AddLine(K4Attr(0, 0, 4, 0), 10, 20, 20, 20, 0xFF0000);
  AddLine(K4Attr(0, 0, 5, 0), 10, 30, 20, 30, 0x00FF00);
  AddLine(K4Attr(0, 0, 3, 15), 10, 40, 20, 40, 0x00FF00);
  Load();
  ownColours = true;
  k.prnstl.width[3] = 25;     // 0.25 mm at 10 px/mm: 2.5 -> 2
  k.prnstl.width[4] = 1;      // 0.1 px -> raised to 1
  k.prnstl.width[5] = 90000;  // 900 px -> lowered to 400
  Draw();
  const auto segs = canvas.Segments();
  ASSERT_GE(segs.size(), 4u);
  EXPECT_EQ(segs[0].color, 0xFFFF0000u);
  EXPECT_DOUBLE_EQ(segs[0].width, 2);
  EXPECT_EQ(segs[1].color, 0xFF0000FFu);
  EXPECT_DOUBLE_EQ(segs[1].width, 1);
  EXPECT_EQ(segs[2].color, 0xFF00FF00u);
  EXPECT_DOUBLE_EQ(segs[2].width, 400);
  EXPECT_EQ(segs.back().color, 0xFF888888u);  // auxiliary lines keep their grey, 1 pixel
  EXPECT_DOUBLE_EQ(segs.back().width, 1);
}

TEST_F(K4Draw, AuxiliaryLinesFollowHojoModeSymbolsDoNot) {
  w.Title(u"h");
  AddLine(K4Attr(0, 0, 1, 15), 10, 10, 20, 10);
  TK4ObjectSymbol sy;
  sy.head.attr = K4Attr(0, 0, 1, 15);
  sy.sym.pos = {50, 50};
  sy.sym.style = 18;
  sy.sym.param = {2, 0};
  w.Symbol(sy);
  Load();
  hojo = false;
  Draw();
  const auto segs = canvas.Segments();
  ASSERT_FALSE(segs.empty());
  for (const auto& s : segs) {
    EXPECT_EQ(s.color, 0xFF888888u);
    EXPECT_NEAR(s.x1, 500, 10 + 1e-6);  // only the symbol's square around (50, 50)
    EXPECT_NEAR(s.y1, 500, 10 + 1e-6);
  }
}

TEST_F(K4Draw, FullCirclesGetNoEndMarks) {
  TK4ObjectCircleEx c;
  c.pos = {50, 50};
  c.r = 5;
  c.arc = {1, 1 + 2 * kPi};
  c.edge.mark[0].pos = {55, 50};
  c.edge.mark[0].style = 18;
  c.edge.mark[0].param = {2, 0};
  c.edge.mark[1] = c.edge.mark[0];
  w.Title(u"c").CircleEx(c);
  c.arc = {0, kPi};
  w.CircleEx(c);
  Load();
  Draw();
  EXPECT_EQ(canvas.Count<RecPolyline>(), 2u);  // the circle, the half circle
  EXPECT_EQ(canvas.Count<RecLine>(), 8u);      // two squares, for the half circle only
}

TEST_F(K4Draw, LinePatterns) {
  struct Case {
    int32_t kind;
    int32_t width;  // 0.01 mm
    uint8_t ty;
    double scale;   // pixels per unit
    std::vector<double> want;
  };
  TK4PrintStyle own;
  const std::vector<Case> cases = {
      {0, 1, 0, 10, {}},
      {1, 1, 0, 10, {2, -2}},
      {2, 1, 0, 10, {0.25, -0.5}},
      {2, 100, 0, 10, {1.25, -1.5}},  // half the pen (0.5) exceeds 0.25
      {3, 1, 0, 10, {12, -1, 1, -1}},
      {4, 1, 0, 10, {12, -1, 1, -1, 1, -1}},
      {5, 1, 0, 10, {}},
      {7, 1, 1, 10, {0.5, -0.25, 3}},
      {0, 1, 15, 10, {0.25, -2}},       // auxiliary: one pixel is 0.1 unit
      {0, 1, 15, 1, {1.25, -3}},        // one pixel is 1 unit: half of it exceeds 0.25
  };
  for (const auto& c : cases) {
    TK4Data d;
    d.prnstl.ltype[c.ty][0] = c.kind;
    d.prnstl.ltype[1] = {7, 3, 50, 25, 300};
    d.prnstl.width[2] = c.width;
    scene::K4Pen pen;
    pen.width = d.prnstl.width[2] * 0.01;
    pen.pattern = d.BasePattern(c.ty);
    pen.aux = c.ty == kK4AuxType;
    SetK4LinePattern(gra, pen, c.scale);
    ASSERT_EQ(gra.LtypPatN, static_cast<int32_t>(c.want.size())) << c.kind;
    for (size_t i = 0; i < c.want.size(); ++i) EXPECT_NEAR(gra.LtypPat[i], c.want[i], 1e-12) << c.kind << " " << i;
    EXPECT_EQ(gra.LastSeg, 0);
  }
  // A count past the entry's ten lengths keeps ten.
  TK4Data d;
  d.prnstl.ltype[1] = {7, 1000, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
  scene::K4Pen pen;
  pen.pattern = d.BasePattern(1);
  SetK4LinePattern(gra, pen, 10);
  EXPECT_EQ(gra.LtypPatN, 10);
}

TEST_F(K4Draw, GroupScaleAndCircles) {
  TK4LayerInfo li;
  li.grp[1].scale = 0.5;
  li.grp[2].scale = 0;  // no scale: drawn as it is
  w.Title(u"s").Layers(li);
  AddLine(K4Attr(0, 1, 0, 0), 0, 20, 100, 20);
  AddLine(K4Attr(0, 2, 0, 0), 10, 30, 20, 30);
  TK4ObjectCircle full, half;
  full.pos = {50, 50};
  full.r = 5;
  full.arc = {0, 2 * kPi};
  half.pos = {50, 80};
  half.r = 5;
  half.arc = {kPi, 0};
  w.Circle(full).Circle(half);
  Load();
  Draw();
  const auto segs = canvas.Segments();
  ASSERT_GE(segs.size(), 2u);
  EXPECT_NEAR(segs[0].x1, 0, 1e-9);
  EXPECT_NEAR(segs[0].x2, 500, 1e-9);  // 50 units long, at y = 10
  EXPECT_NEAR(segs[0].y1, 900, 1e-9);
  EXPECT_NEAR(segs[1].x1, 100, 1e-9);
  EXPECT_NEAR(segs[1].x2, 200, 1e-9);
  EXPECT_DOUBLE_EQ(gra.G2.LgScale, 1);
  const auto paths = canvas.All<RecPolyline>();
  ASSERT_EQ(paths.size(), 2u);
  // Full circle closes on itself; the half circle runs from angle pi to 2 pi (below the centre).
  EXPECT_NEAR(paths[0].pts.front().X, paths[0].pts.back().X, 1e-3);
  EXPECT_NEAR(paths[0].pts.front().Y, paths[0].pts.back().Y, 1e-3);
  EXPECT_NEAR(paths[1].pts.front().X, 450, 1e-3);
  EXPECT_NEAR(paths[1].pts.back().X, 550, 1e-3);
  for (const auto& p : paths[1].pts) EXPECT_GE(p.Y, 200 - 1e-3);
}

TEST_F(K4Draw, PointsTakeThePointStyle) {
  TK4SymbolStyle sym;
  const double dia = 2;
  std::memcpy(sym.form[1].data(), &dia, 8);
  const int32_t colNo = 6;
  std::memcpy(sym.form[1].data() + 16, &colNo, 4);
  w.Title(u"p").SymbolStyle(sym);
  TK4ObjectPoint p;
  p.head.attr = K4Attr(0, 0, 3, 0);
  p.pos = {50, 50};
  w.Point(p);
  Load();
  Draw();
  const auto polys = canvas.All<RecPolygon>();
  ASSERT_EQ(polys.size(), 1u);
  EXPECT_EQ(polys[0].st.fillColor, 0xFF0000FFu);
  for (const auto& q : polys[0].pts) EXPECT_NEAR(std::hypot(q.X - 500, q.Y - 500), 10, 1e-3);
}

TEST_F(K4Draw, TextWidthFollowsHeightWhenTiny) {
  std::array<TK4TextStyle, 21> styles{};
  styles[2].hight = 1;
  styles[2].width = 0.05;  // a tenth of the height or less: laid out as wide as high
  styles[2].penno = 8;
  w.Title(u"t").TextStyles(styles);
  TK4ObjectText t;
  t.pos = {10, 10};
  t.style = 2;
  t.text = u"AB";
  w.Text(t);
  t.style = 21;  // no such style: not drawn
  w.Text(t);
  Load();
  Draw();
  const auto texts = canvas.All<RecText>();
  ASSERT_EQ(texts.size(), 2u);
  EXPECT_NEAR(texts[1].left - texts[0].left, 5, 1e-9);  // half of 1 unit at 10 px per unit
  EXPECT_EQ(texts[0].st.fillColor, 0xFF00FFFFu);         // the style's colour number 8
}

TEST_F(K4Draw, FillColoursAndResets) {
  TK4LayerInfo li;
  li.grp[1].state = 1;
  w.Title(u"f").Layers(li);
  TK4ObjectPolygonGrad pg;
  pg.head.color = 0x0000FF;  // red
  pg.ptn = 2;
  pg.cnt = 3;
  pg.pt = {{10, 10}, {20, 10}, {15, 20}};
  pg.grad.typ = 0;
  pg.grad.col = {0x00FF00, 0xFF0000};
  pg.grad.pos = {{{10, 10}, {20, 20}}};
  w.Polygon(pg).PolygonGrad(pg);
  pg.head.attr = K4Attr(0, 1, 0, 0);  // greyed group
  w.PolygonGrad(pg).Polygon(pg);
  TK4ObjectBitmap bmp;
  bmp.typ = 3;  // no known image format
  bmp.bmp = {1, 2, 3};
  bmp.byt = 3;
  w.Bitmap(bmp);
  Load();
  Draw();
  const auto polys = canvas.All<RecPolygon>();
  ASSERT_EQ(polys.size(), 4u);
  EXPECT_EQ(polys[0].st.fillKind, FillKind::Bitmap);  // the dot pattern in red
  EXPECT_EQ(polys[1].st.fillKind, FillKind::LinearGradient);
  EXPECT_DOUBLE_EQ(polys[1].st.gradY0, 1);
  EXPECT_EQ(polys[1].st.gradStops[0].argb, 0xFF00FF00u);
  EXPECT_EQ(polys[2].st.fillKind, FillKind::Solid);  // greyed: plain light grey
  EXPECT_EQ(polys[2].st.fillColor, 0xFFD8D8D8u);
  EXPECT_EQ(polys[3].st.fillKind, FillKind::Bitmap);
  EXPECT_EQ(canvas.Count<RecBitmap>(), 0u);
  EXPECT_EQ(canvas.State().fillKind, FillKind::Solid);
}

// Every mark the pass makes must lie in the cell of an object, and every
// object's cell must get marks.
TEST_F(K4Draw, EveryKindLandsWhereTheFixturePutIt) {
  const auto cells = test::WriteK4EveryKind(w);
  Load();
  ASSERT_EQ(k.EntN, 21);

  Draw();

  // Every device point the pass produced, through the canvas transform.
  std::vector<std::pair<double, double>> pts;
  const auto add = [&](const CanvasState& st, double x, double y) {
    double X, Y;
    st.transform.Apply(x, y, X, Y);
    pts.push_back({X / 10, (1000 - Y) / 10});
  };
  for (const auto& c : canvas.Calls()) {
    if (const auto* l = std::get_if<RecLine>(&c)) add(l->st, l->x1, l->y1), add(l->st, l->x2, l->y2);
    if (const auto* p = std::get_if<RecPixel>(&c)) add(p->st, p->x, p->y);
    if (const auto* p = std::get_if<RecPolyline>(&c))
      for (const auto& q : p->pts) add(p->st, q.X, q.Y);
    if (const auto* p = std::get_if<RecPolygon>(&c))
      for (const auto& q : p->pts) add(p->st, q.X, q.Y);
    if (const auto* t = std::get_if<RecText>(&c)) add(t->st, (t->left + t->right) / 2, (t->top + t->bottom) / 2);
    if (const auto* b = std::get_if<RecBitmap>(&c))
      add(b->st, b->left, b->top), add(b->st, b->right, b->bottom);
  }
  std::set<std::pair<int, int>> hit;
  for (const auto& [x, y] : pts) {
    const std::pair<int, int> cl{static_cast<int>(std::floor(x / 10)), static_cast<int>(std::floor(y / 10))};
    // Points on a cell's edge belong to it as well.
    const bool inside = cells.count(cl) || cells.count({static_cast<int>(std::ceil(x / 10)) - 1, cl.second}) ||
                        cells.count({cl.first, static_cast<int>(std::ceil(y / 10)) - 1});
    EXPECT_TRUE(inside) << x << "," << y;
    hit.insert(cl);
  }
  for (const auto& c : cells) EXPECT_TRUE(hit.count(c)) << "nothing drawn in cell " << c.first << "," << c.second;
  EXPECT_EQ(canvas.Count<RecBitmap>(), 2u);
}

// A text too small to show its glyphs is kept as its baseline, as long as
// the text would be laid out.
TEST_F(K4Draw, TinyTextIsDrawnAsItsBaseline) {
  std::array<TK4TextStyle, 21> styles{};
  styles[1].hight = 0.1;  // 1 pixel at 10 pixels per unit
  styles[1].width = 0.1;
  w.Title(u"t").TextStyles(styles);
  TK4ObjectText t;
  t.pos = {10, 20};
  t.style = 1;
  t.text = u"ABCDEFGHIJ";
  w.Text(t);
  Load();
  Draw();
  EXPECT_EQ(canvas.Count<RecText>(), 0u);
  const auto lines = canvas.All<RecLine>();
  ASSERT_EQ(lines.size(), 1u);  // 10 half-width cells of 0.05 units
  EXPECT_DOUBLE_EQ(lines[0].x1, 100);
  EXPECT_DOUBLE_EQ(lines[0].y1, 800);
  EXPECT_NEAR(lines[0].x2, 105, 1e-9);
  EXPECT_DOUBLE_EQ(lines[0].y2, 800);
}

// Bitmap objects are decoded from their own bytes: no temporary folder is
// needed, and bytes that do not decode draw nothing.
TEST_F(K4Draw, BitmapsDecodeFromTheirBytes) {
  Bitmap img(4, 2, 0xFF336699);
  img.at(0, 0) = 0xFFFF0000;
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodeImage(ViewOf(img), ImageFormat::Png, png));
  TK4ObjectBitmap bm;
  bm.typ = 2;
  bm.bmp = png;
  bm.byt = static_cast<int32_t>(png.size());
  bm.pos = {{{10, 10}, {50, 10}, {50, 30}, {10, 30}}};
  w.Title(u"b").Bitmap(bm);
  bm.bmp = {0x89, 'P', 'N', 'G', 1, 2, 3};  // broken
  bm.byt = static_cast<int32_t>(bm.bmp.size());
  w.Bitmap(bm);
  Load();
  Draw();
  const auto drawn = canvas.All<RecBitmap>();
  ASSERT_EQ(drawn.size(), 1u);
  EXPECT_EQ(drawn[0].bmp.pixels, img.pixels);
  EXPECT_EQ(std::tie(drawn[0].sx, drawn[0].sy, drawn[0].sw, drawn[0].sh), std::make_tuple(0.0, 0.0, 4.0, 2.0));
  EXPECT_EQ(std::tie(drawn[0].left, drawn[0].top, drawn[0].right, drawn[0].bottom),
            std::make_tuple(100.0, 700.0, 500.0, 900.0));
}

// The same drawing on the real canvas: ink in every object's cell and
// nowhere else.
TEST_F(K4Draw, EveryKindOnTheCairoCanvas) {
  const auto cells = test::WriteK4EveryKind(w);
  Load();
  auto made = CairoCanvas::Create(1000, 1000);
  ASSERT_TRUE(made.canvas) << made.error;
  CairoCanvas& cc = *made.canvas;
  TGraph g(ctx, cc);
  g.G2.View = Window();
  cc.BeginScene();
  g.GCls(0xFFFFFFFF);
  Paint(g);
  cc.EndScene();
  const Bitmap out = cc.ToBitmap();
  std::map<std::pair<int, int>, int> ink;
  for (int y = 0; y < out.height; ++y)
    for (int x = 0; x < out.width; ++x)
      if (out.at(x, y) != 0xFFFFFFFF) ++ink[{static_cast<int>((x + 0.5) / 100), static_cast<int>((1000 - y - 0.5) / 100)}];
  for (const auto& [c, n] : ink) EXPECT_TRUE(cells.count(c)) << n << " pixels in cell " << c.first << "," << c.second;
  for (const auto& c : cells) EXPECT_GT(ink[c], 10) << "cell " << c.first << "," << c.second;
}

}  // namespace
}  // namespace zumen
