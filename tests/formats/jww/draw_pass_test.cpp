#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <numbers>

#include "codecs/image_io.h"
#include "common/text.h"
#include "draw_fixture.h"
#include "formats/jww/jws_data.h"
#include "formats/jww/lowering.h"
#include "formats/jww/image_text.h"

namespace zumen::testing {
namespace {

constexpr double kPi = std::numbers::pi;

using DrawPass = JwwDrawTest;

TEST_F(DrawPass, LayerStatesComeFromGroupAndLayerTables) {
  struct Case {
    int32_t group, layer, state;
  };
  const Case cases[] = {{0, 2, 3}, {0, 0, 3}, {1, 0, 3}, {1, 5, 2}, {2, 0, 3}, {2, 1, 2}, {2, 2, 1}, {7, 9, 1}};
  for (int i = 0; i < 8; ++i) {
    w.head.EntLgrp[i].anGLay = cases[i].group;
    w.head.EntLay[i * 16 + 4].aanLay = cases[i].layer;
  }
  w.head.EntLgrp[3].adScale = 4;
  w.head.EntLgrp[4].adScale = 0;  // no usable scale: the layer keeps 1
  w.head.EntLgrp[3].aStrGLayName = u"平面";
  w.head.EntLay[3 * 16 + 4].aStrLayName = u"壁";
  Draw();
  for (int i = 0; i < 8; ++i)
    EXPECT_EQ(ctx.GAtt.GetAttrLayerState(i * 16 + 4), cases[i].state) << "group state " << cases[i].group
                                                                       << ", layer state " << cases[i].layer;
  EXPECT_DOUBLE_EQ(ctx.GAtt.jwvLay[3 * 16 + 4].sca, 0.25);
  EXPECT_DOUBLE_EQ(ctx.GAtt.jwvLay[4 * 16 + 4].sca, 1.0);
  EXPECT_TRUE(ctx.GAtt.jwvLay[3 * 16 + 4].gna.ends_with(u"平面"));
  EXPECT_TRUE(ctx.GAtt.jwvLay[3 * 16 + 4].nam.ends_with(u"壁"));
}

TEST_F(DrawPass, FiltersByLayerAndAuxiliaryDisplay) {
  struct Case {
    const char* what;
    std::function<void(JwwWriter&, ConversionContext&)> setup;
    bool drawn;
  };
  auto line = [](JwwWriter& wr) { wr.Line(10, 10, 20, 20); };
  const Case cases[] = {
      {"normal line", [&](JwwWriter& wr, ConversionContext&) { line(wr); }, true},
      {"group state 0 hides a normal layer",
       [&](JwwWriter& wr, ConversionContext&) {
         wr.head.EntLgrp[0].anGLay = 0;
         line(wr);
       },
       false},
      {"layer state 0", [&](JwwWriter& wr, ConversionContext&) { wr.head.EntLay[0].aanLay = 0; line(wr); }, false},
      {"layer beyond 15",
       [&](JwwWriter& wr, ConversionContext&) {
         wr.att.nLayer = 16;
         line(wr);
       },
       false},
      {"group beyond 15",
       [&](JwwWriter& wr, ConversionContext&) {
         wr.att.nGLayer = 16;
         line(wr);
       },
       false},
      {"auxiliary line style, display off",
       [&](JwwWriter& wr, ConversionContext&) {
         wr.att.nPenStyle = 9;
         line(wr);
       },
       false},
      {"auxiliary line style, display on",
       [&](JwwWriter& wr, ConversionContext& c) {
         wr.att.nPenStyle = 9;
         c.GAtt.SetDispHojo(1);
         line(wr);
       },
       true},
      {"auxiliary point colour",
       [&](JwwWriter& wr, ConversionContext&) {
         wr.att.nPenColor = 9;
         wr.Point(50, 50);
       },
       false},
      {"point of pen style 9 stays",
       [&](JwwWriter& wr, ConversionContext&) {
         wr.att.nPenStyle = 9;
         wr.Point(50, 50);
       },
       true},
      {"auxiliary text colour",
       [&](JwwWriter& wr, ConversionContext&) {
         wr.att.nPenColor = 9;
         wr.Text(10, 10, u"AB", 3);
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JwwDrawing t;
    c.setup(t.w, t.ctx);
    t.Draw();
    EXPECT_EQ(t.canvas.DrawCount() > 0, c.drawn);
  }
}

TEST_F(DrawPass, DisplayOnlyLayerDrawsGray) {
  w.head.EntLgrp[0].anGLay = 1;
  w.Line(10, 10, 20, 20);
  Draw();
  const auto lines = canvas.All<RecLine>();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].st.strokeColor, ctx.GAtt.GetGrayColor());
}

TEST_F(DrawPass, DimensionDropsAuxiliaryPartsAndNeverDrawsKt) {
  TEntJwwSunpo e;
  e.att = w.att;
  e.bSxfMode = 1;
  e.Sen = {w.att, 10, 50, 60, 50};
  e.Moji.att = w.att;
  e.Moji.start_x = 30, e.Moji.start_y = 52, e.Moji.end_x = 36, e.Moji.end_y = 52;
  e.Moji.dSizeX = e.Moji.dSizeY = 3;
  e.Moji.str = u"50";
  e.Ho1 = {w.att, 10, 40, 10, 50};
  e.Ho2 = {w.att, 60, 40, 60, 50};
  e.Ho2.att.nPenStyle = 9;  // auxiliary extension line
  e.Te1 = {w.att, 10, 50};
  e.Te2 = {w.att, 60, 50};
  e.Te2.att.nPenColor = 9;  // auxiliary end marker
  e.Kt1 = {w.att, 90, 90};
  e.Kt2 = {w.att, 95, 95};
  w.Add(e);
  Draw();
  const auto expected = Expected([&](TGraph2& g) {
    const double wid = ctx.GAtt.GetAttrColwid(1);
    g.GLPenSet(0, 1, 1, wid, 0);
    g.GLLine(10, 40, 10, 50);
    g.GLTenMarker(10, 50, 0, 0, 0, 1.0, 0, 1, 0, 0);
    g.GLPenSet(0, 1, 1, wid, 0);
    g.GLLine(10, 50, 60, 50);
    g.GLPenSet(0, 1, 1, 0.0, 0);
    g.GLAText3(30, 52, 36, 52, 3, 3, 0, 0, u"", u"50");
  });
  EXPECT_TRUE(SameCalls(Describe(canvas), expected));
}

TEST_F(DrawPass, DimensionWithoutSxfPartsDrawsLineAndText) {
  w.Dimension(10, 50, 60, 50, u"50");
  Draw();
  const auto expected = Expected([&](TGraph2& g) {
    g.GLPenSet(0, 1, 1, ctx.GAtt.GetAttrColwid(1), 0);
    g.GLLine(10, 50, 60, 50);
    g.GLPenSet(0, 1, 1, 0.0, 0);
    g.GLAText3(35, 50, 40, 50, 2.5, 2.5, 0, 0, u"ＭＳ ゴシック", u"50");
  });
  EXPECT_TRUE(SameCalls(Describe(canvas), expected));
}

// A small PNG image as the drawing's own image "%temp%img.png" (or another
// name) holds it.
scene::ImageSource Png() {
  std::vector<uint8_t> png;
  EXPECT_TRUE(EncodeImage(ViewOf(Bitmap(4, 2, 0xFF00FF00)), ImageFormat::Png, png).ok);
  return {std::make_shared<const std::vector<uint8_t>>(std::move(png)), {}, {}};
}

// Every kind is written in the reverse of the painting order; the pass paints
// images, solids, lines, arcs, points, texts and dimensions, each with the
// renderer operation and pen of its kind.
TEST_F(DrawPass, PaintsKindsInOrderWithTheirMappings) {
  for (bool dm : {false, true}) {
    SCOPED_TRACE(dm ? "display mode" : "plain mode");
    JwwDrawing t;
    t.images[u"%temp%img.png"] = Png();
    t.ctx.GAtt.SetDisplayMode(dm);
    JwwWriter& wr = t.w;
    wr.att.nPenColor = 2;
    wr.att.nPenStyle = 2;
    wr.att.nLayer = 3;
    wr.Dimension(70, 80, 90, 80, u"20");
    wr.att.sFlg = 0x20;  // vertical text
    TEntJwwMoji text;
    text.att = wr.att;
    text.start_x = 60, text.start_y = 60, text.end_x = 60, text.end_y = 50;
    text.nMojiShu = 20000;
    text.dSizeX = 2, text.dSizeY = 3, text.dKankaku = 0.5;
    text.strFontName = u"ＭＳ 明朝";
    text.str = u"文字";
    wr.Add(text);
    wr.att.sFlg = 0;
    wr.Marker(55, 20, 7, 0.5, 2.0);
    wr.att.nPenStyle = 2;  // a plain point: the file keeps no code fields for it
    TEntJwwTen pt{wr.att, 50, 20, 0, 3, 1.0, 4.0};
    wr.Add(pt);
    wr.Arc(40, 20, 4, 0.25, 1.0, 0.5, 0.1);
    wr.Circle(40, 40, 3);
    wr.att.nPenWidth = 35;
    wr.Line(20, 20, 30, 30);
    wr.att.nPenWidth = 0;
    TEntJwwSolid arcSolid{wr.att, 30, 70, 5, 1, 0, 0, kPi, 100, 0};
    arcSolid.att.nPenStyle = 101;
    wr.Add(arcSolid);
    wr.Solid(10, 60, 20, 60, 20, 70, 10, 70);
    wr.Text(5, 5, u"^@BM%temp%img.png,10,8,0.1,0.2,0.5,30");
    wr.Text(5, 30, u"^@BM%temp%img.png,12");
    t.Draw();

    const std::u16string fn = u"%temp%img.png";
    const int lay = 3;
    const auto expected = t.Expected([&](TGraph2& g) {
      if (dm) g.GLSetDT();
      // images
      if (dm) {
        g.GLImage2(5, 5, 15, 13, 0.1, 0.2, 0.5, 30, fn);
        g.GLImage(5, 30, 17, 42, 1, fn);
      } else {
        g.GLPenSet(lay, 2, 1, 0.0, 0);
        g.GLBoxA(5, 5, 15, 13, 30 * kPi / 180);
        g.GLPenSet(lay, 2, 1, 0.0, 0);
        g.GLBoxA(5, 30, 17, 42, 0);
      }
      // solids
      g.GLPenSet(lay, 2, 1, 0.0, 0);
      g.GLSolidArc(101, 30, 70, 5, 1, 0, 0, kPi, 100);
      g.GLPenSet(lay, 2, 1, 0.0, 0);
      g.Ctx.GLPt = {{10, 60}, {20, 60}, {20, 70}, {10, 70}};
      g.GLSolid();
      g.Ctx.GLPt.clear();
      // lines
      if (dm) g.GLSetDT();
      g.GLPenSet(lay, 2, 2, 0.35, 0);
      if (dm)
        g.GLLineDT(lay, 2, 20, 20, 30, 30);
      else
        g.GLLine(20, 20, 30, 30);
      // arcs, in array order: the arc, then the circle
      const double wid = t.ctx.GAtt.GetAttrColwid(2);
      if (dm) g.GLSetDT();
      g.GLPenSet(lay, 2, 2, wid, 0);
      if (dm)
        g.GLEllipseArcDT(lay, 2, 40, 20, 4, 0.5, 0.1, 0.25, 1.0);
      else
        g.GLEllipseArc(40, 20, 4, 0.5, 0.1, 0.25, 1.0);
      if (dm) g.GLSetDT();
      g.GLPenSet(lay, 2, 2, wid, 0);
      if (dm)
        g.GLEllipseArcDT(lay, 2, 40, 40, 3, 1.0, 0, 0, 2 * kPi);
      else
        g.GLEllipse(40, 40, 3, 1.0, 0);
      // points: a plain point ignores code, angle and scale
      g.GLTenMarker(55, 20, 0, 7, 0.5, 2.0, lay, 2, 0, 0);
      g.GLTenMarker(50, 20, 0, 0, 0, 1.0, lay, 2, 0, 0);
      // texts: the two image texts are not drawn as text; vertical text swaps
      // width and height and takes the "@" font
      g.GLPenSet(lay, 2, 1, 0.0, 0);
      g.GLAText3(60, 60, 60, 50, 2, 3, 0.5, 1, u"@ＭＳ 明朝", u"文字");
      // dimensions
      if (dm) g.GLSetDT();
      g.GLPenSet(lay, 2, 2, wid, 0);
      if (dm)
        g.GLLineDT(lay, 2, 70, 80, 90, 80);
      else
        g.GLLine(70, 80, 90, 80);
      g.GLPenSet(lay, 2, 1, 0.0, 0);
      g.GLAText3(80, 80, 85, 80, 2.5, 2.5, 0, 0, u"ＭＳ ゴシック", u"20");
    });
    EXPECT_TRUE(SameCalls(Describe(t.canvas), expected));
    EXPECT_EQ(t.canvas.Count<RecBitmap>(), dm ? 2u : 0u);
  }
}

// Damaged coordinates 1e8 units away: dashed lines draw the dashes of the
// same lines ending just beyond the window, and a dashed circle of radius 1e8
// through the window draws no more than a window's worth of dashes.
TEST_F(DrawPass, FarEndsOfDashedLinesDrawOnlyTheVisiblePart) {
  ctx.GAtt.SetDisplayMode(true);
  w.Pen(2, 2);
  w.Line(50, 50, 1e8, 50);
  w.Line(-1e8, 30, 1e8, 30);
  Draw();
  const auto expected = Expected([&](TGraph2& g) {
    for (const auto& [x1, y1, x2, y2] : {std::array{50.0, 50.0, 150.0, 50.0}, std::array{-1.0, 30.0, 101.0, 30.0}}) {
      g.GLSetDT();
      g.GLPenSet(0, 2, 2, ctx.GAtt.GetAttrColwid(2), 0);
      g.GLLineDT(0, 2, x1, y1, x2, y2);
    }
  });
  EXPECT_GT(expected.size(), 20u);
  EXPECT_TRUE(SameCalls(Describe(canvas), expected));

  JwwDrawing t;
  t.ctx.GAtt.SetDisplayMode(true);
  t.w.Pen(2, 2);
  t.w.Circle(50, 50 - 1e8, 1e8);
  t.Draw();
  EXPECT_GT(t.canvas.DrawCount(), 0u);
  EXPECT_LE(t.canvas.DrawCount(), 72u * 50u);  // 72 chords, each at most a window's diagonal of dashes
}

TEST_F(DrawPass, TextWithImagePrefixButNoCommaIsText) {
  w.Text(10, 10, u"^@BMnote", 3);
  Draw();
  EXPECT_EQ(canvas.Count<RecBitmap>(), 0u);
  EXPECT_GT(canvas.Count<RecText>(), 0u);
}

TEST_F(DrawPass, FontStyleFromTextCode) {
  const std::pair<uint32_t, int32_t> cases[] = {{0, 0},     {9999, 0},  {10000, 2},     {19999, 2},
                                                {20000, 1}, {29999, 1}, {30000, 3},     {0xFFFFFFFF, 3}};
  for (auto [code, ftyp] : cases) EXPECT_EQ(JwwMojiFtyp(code), ftyp) << code;
}

TEST_F(DrawPass, LinePens) {
  ctx.GAtt.SetDisplayMode(true);
  ctx.GAtt.SetAttrCol(3, 0xFF112233, 0.3, 0.2);
  w.att.nPenColor = 3;
  w.Line(10, 10, 20, 10);  // width of pen 3
  w.att.nPenWidth = 50;    // own width, 0.5 mm
  w.Line(10, 20, 20, 20);
  Draw();
  const auto lines = canvas.All<RecLine>();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].st.strokeColor, 0xFF112233u);
  EXPECT_DOUBLE_EQ(lines[0].st.strokeWidth, 3);
  EXPECT_DOUBLE_EQ(lines[1].st.strokeWidth, 5);
}

TEST_F(DrawPass, SolidWithOwnColour) {
  struct Case {
    const char* what;
    int32_t groupState;
    bool all1;
    uint32_t fill;
  };
  const uint32_t gray = TgraAttribute().GetGrayColor();
  const Case cases[] = {{"own colour", 2, false, 0xFF0080FF},
                        {"display-only layer", 1, false, gray},
                        {"all one colour", 2, true, 0xFF445566}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JwwDrawing t;
    t.w.head.EntLgrp[0].anGLay = c.groupState;
    t.ctx.GAtt.SetAll1Color(c.all1);
    t.ctx.GAtt.All1Color = 0xFF445566;
    TEntJwwSolid s{t.w.att, 10, 10, 20, 10, 20, 20, 10, 20, 0xFF8000};  // 0x00BBGGRR
    s.att.nPenColor = 10;
    t.w.Add(s);
    t.Draw();
    const auto polys = t.canvas.All<RecPolygon>();
    ASSERT_EQ(polys.size(), 1u);
    EXPECT_EQ(polys[0].st.fillColor, c.fill);
  }
}

TEST(JwwImageText, ParsesShortAndLongForms) {
  struct Case {
    std::u16string s;
    bool ok;
    std::u16string file;
    double W, H, X, Y, R, A;
    bool longForm;
  };
  const Case cases[] = {
      {u"^@BMa.png,10", true, u"a.png", 10, 10, 0, 0, 1, 0, false},
      {u"^@BMa.png,10,5", true, u"a.png", 10, 5, 0, 0, 1, 0, false},
      {u"^@BMa.png,10,5,0.1", true, u"a.png", 10, 5, 0.1, 0, 1, 0, true},
      {u"^@BMa.png,10,5,0.1,0.2,0.5,45,99", true, u"a.png", 10, 5, 0.1, 0.2, 0.5, 45, true},
      {u"^@BMa.png,x,5", true, u"a.png", 0, 5, 0, 0, 1, 0, false},
      {u"^@BM,4", true, u"", 4, 4, 0, 0, 1, 0, false},
      {u"^@BMa.png", false, u"", 0, 0, 0, 0, 1, 0, false},
      {u"a.png,4", false, u"", 0, 0, 0, 0, 1, 0, false},
  };
  for (const Case& c : cases) {
    JwImageText im;
    ASSERT_EQ(ParseImageText(c.s, im), c.ok) << Utf16ToUtf8(c.s);
    if (!c.ok) continue;
    EXPECT_EQ(im.file, c.file);
    EXPECT_EQ(im.W, c.W);
    EXPECT_EQ(im.H, c.H);
    EXPECT_EQ(im.X, c.X);
    EXPECT_EQ(im.Y, c.Y);
    EXPECT_EQ(im.R, c.R);
    EXPECT_EQ(im.A, c.A);
    EXPECT_EQ(im.LongForm(), c.longForm);
  }
}

TEST(JwwImageText, TempNamesAreTheDrawingsOwnImagesByTheirFileName) {
  EXPECT_EQ(ResolveImageFile(u"%temp%photo.jpg"), u"%temp%photo.jpg");
  EXPECT_EQ(ResolveImageFile(u"%temp%..\\..\\etc\\passwd"), u"%temp%passwd");
  EXPECT_EQ(ResolveImageFile(u"%temp%../x/y.png"), u"%temp%y.png");
  EXPECT_EQ(ResolveImageFile(u"C:\\pics\\a.bmp"), u"C:\\pics\\a.bmp");
}

TEST_F(DrawPass, TheDrawingsOwnImagesAreDrawnFromItsBytes) {
  ctx.GAtt.SetDisplayMode(true);
  w.Text(10, 10, u"^@BM%temp%img.png,10");
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodeImage(ViewOf(Bitmap(4, 2, 0xFF00FF00)), ImageFormat::Png, png).ok);
  w.Image(u"img.png.gz", png);
  d.BindImageExp = true;
  Draw();
  EXPECT_EQ(canvas.Count<RecBitmap>(), 1u);
}

// An image text whose file cannot be shown (missing, of a type not read)
// leaves the frame of its box, turned by its angle, in the pen of the text;
// an image skipped for its size or place, or a file that does not decode,
// draws nothing.
TEST_F(DrawPass, ImagesThatCannotBeShownLeaveTheirFrame) {
  const std::string text = "not an image";
  struct Case {
    const char* what;
    std::u16string str;
    double x, y, W, H, A;
    bool frame, shown;
  };
  const Case cases[] = {
      {"missing file", u"^@BMnothere.png,10,8", 20, 20, 10, 8, 0, true, false},
      {"missing file, long form", u"^@BMnothere.png,10,8,0,0,1,30", 20, 20, 10, 8, 30, true, false},
      {"type not read", u"^@BM%temp%img.xyz,10,8", 20, 20, 10, 8, 0, true, false},
      {"missing file, too small", u"^@BMnothere.png,0.1", 20, 20, 0.1, 0.1, 0, true, false},
      {"shown", u"^@BM%temp%img.png,10,8", 20, 20, 10, 8, 0, false, true},
      {"too small", u"^@BM%temp%img.png,0.1", 20, 20, 0.1, 0.1, 0, false, false},
      {"outside the window", u"^@BM%temp%img.png,10,8", 200, 20, 10, 8, 0, false, false},
      {"not decodable", u"^@BM%temp%broken.png,10,8", 20, 20, 10, 8, 0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JwwDrawing t;
    t.images[u"%temp%img.png"] = Png();
    t.images[u"%temp%broken.png"].bytes = std::make_shared<const std::vector<uint8_t>>(text.begin(), text.end());
    t.ctx.GAtt.SetDisplayMode(true);
    t.ctx.GAtt.SetAttrCol(3, 0xFF112233, 0.3, 0.2);
    t.w.att.nPenColor = 3;
    t.w.att.nLayer = 2;
    t.w.Text(c.x, c.y, c.str);
    t.Draw();
    const auto expected = t.Expected([&](TGraph2& g) {
      g.GLSetDT();
      if (c.shown) g.GLImage(c.x, c.y, c.x + c.W, c.y + c.H, 1, u"%temp%img.png");
      if (!c.frame) return;
      g.GLPenSet(2, 3, 1, 0.0, 0);
      g.GLBoxA(c.x, c.y, c.x + c.W, c.y + c.H, c.A * kPi / 180);
    });
    EXPECT_TRUE(SameCalls(Describe(t.canvas), expected));
    EXPECT_EQ(t.canvas.Count<RecBitmap>(), c.shown ? 1u : 0u);
    const auto frames = t.canvas.All<RecPolyline>();
    const auto dots = t.canvas.All<RecPixel>();
    EXPECT_EQ(frames.size() + dots.size(), c.frame ? 1u : 0u);
    for (const RecPolyline& f : frames) EXPECT_EQ(f.st.strokeColor, 0xFF112233u);
    for (const RecPixel& p : dots) EXPECT_EQ(p.argb, 0xFF112233u);
  }
}

// ---- JWS ----

class JwsDraw : public JwwDrawTest {
 protected:
  JwsDraw() { w = JwwWriter(700, JwwWriter::Format::kJws); }
  void DrawJws() {
    s = TJwsData();
    ASSERT_TRUE(s.FileInBytes(w.Finish())) << s.LastError();
    JwsSetGAttLayer(s, ctx.GAtt);
    canvas.ClearCalls();
    TGraph2 g(ctx, canvas);
    scene::Scene sc;
    sc.model = ctx.GAtt;
    LowerJws(s, false, sc);
    PaintJwItems(sc, ctx, g);
  }
  TJwsData s;
};

TEST_F(JwsDraw, EveryLayerIsNormalWithTheGroupScale) {
  w.head.EntLgrp[2].adScale = 50;
  DrawJws();
  for (int n : {0, 37, 255}) EXPECT_EQ(ctx.GAtt.GetAttrLayerState(n), 1);
  EXPECT_DOUBLE_EQ(ctx.GAtt.jwvLay[2 * 16 + 5].sca, 0.02);
}

TEST_F(JwsDraw, ImageWithMissingFileLeavesItsFrame) {
  ctx.GAtt.SetDisplayMode(true);
  w.Text(20, 20, u"^@BMnothere.png,10,8,0,0,1,30");
  DrawJws();
  const auto expected = Expected([&](TGraph2& g) {
    g.GLSetDT();
    g.GLPenSet(0, 1, 1, 0.0, 0);
    g.GLBoxA(20, 20, 30, 28, 30 * kPi / 180);
  });
  EXPECT_TRUE(SameCalls(Describe(canvas), expected));
  EXPECT_EQ(canvas.Count<RecPolyline>(), 1u);
}

TEST_F(JwsDraw, BasePointMarkOnTopWhenReferenceDisplayIsOn) {
  w.jws.BasePoint_x = 50;
  w.jws.BasePoint_y = 40;
  w.Line(10, 10, 90, 90);
  for (bool on : {false, true}) {
    ctx.GAtt.SetDispKijun(on);
    DrawJws();
    const auto got = Describe(canvas);
    const auto expected = Expected([&](TGraph2& g) {
      g.GLPenSet(0, 1, 1, ctx.GAtt.GetAttrColwid(1), 0);
      g.GLLine(10, 10, 90, 90);
      if (!on) return;
      g.GPenSet(0xFFFF0000, 0, 2);
      g.GLEllipse(50, 40, 0.5, 1.0, 0);
    });
    EXPECT_EQ(got, expected);
  }
}

}  // namespace
}  // namespace zumen::testing
