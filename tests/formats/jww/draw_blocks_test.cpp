#include <gtest/gtest.h>

#include <filesystem>
#include <numbers>

#include "codecs/image_io.h"
#include "common/text.h"
#include "draw_fixture.h"
#include "formats/jww/lowering.h"

namespace zumen::testing {
namespace {

constexpr double kPi = std::numbers::pi;

using DrawBlocks = JwwDrawTest;

TEST_F(DrawBlocks, TranslatedBlockDrawsMembersShifted) {
  w.BeginBlockDef(1, u"b");
  w.Line(0, 0, 10, 5);
  w.Circle(0, 0, 2);
  w.EndBlockDef();
  w.Insert(1, 50, 40);
  Draw();
  const auto expected = Expected([&](TGraph2& g) {
    const double wid = ctx.GAtt.GetAttrColwid(1);
    g.GLPenSet(0, 1, 1, wid, 0);
    g.GLLine(50, 40, 60, 45);
    g.GLPenSet(0, 1, 1, wid, 0);
    g.GLEllipseBL(0, 0, 2, 1.0, 0, 50, 40, 1, 0, 0, 1, 1);
  });
  EXPECT_TRUE(SameCalls(Describe(canvas), expected));
}

// Members in the reverse of the painting order, inserted scaled and rotated:
// solids, lines and arcs go through the block variants of their operations.
TEST_F(DrawBlocks, MembersMapOntoTheBlockOperations) {
  const double c = std::cos(0.5), sn = std::sin(0.5);
  for (bool dm : {false, true}) {
    SCOPED_TRACE(dm ? "display mode" : "plain mode");
    JwwDrawing t;
    t.ctx.GAtt.SetDisplayMode(dm);
    JwwWriter& wr = t.w;
    wr.att.nPenStyle = 2;
    wr.BeginBlockDef(1, u"m");
    wr.Arc(1, 2, 3, 0.2, 1.1, 0.5, 0.3);
    wr.Circle(-1, 0, 2);
    wr.Line(0, 0, 4, 1);
    TEntJwwSolid arcSolid{wr.att, 1, 1, 2, 1, 0, 0, kPi, 0, 0};
    arcSolid.att.nPenStyle = 105;
    wr.Add(arcSolid);
    wr.Solid(0, 0, 2, 0, 2, 1, 0, 1);
    wr.EndBlockDef();
    wr.Insert(1, 50, 40, 2, 3, 0.5);
    t.Draw();
    // (u, v) -> (50 + 2c u - 3s v, 40 + 2s u + 3c v)
    const double b1 = 2 * c, b2 = -3 * sn, b3 = 2 * sn, b4 = 3 * c;
    auto T = [&](double u, double v) { return TDPoint{50 + b1 * u + b2 * v, 40 + b3 * u + b4 * v}; };
    const auto expected = t.Expected([&](TGraph2& g) {
      if (dm) g.GLSetDT();
      g.GLPenSet(0, 1, 1, 0.0, 0);
      g.GLSolidArcBL(105, 1, 1, 2, 1, 0, 0, kPi, 0, 50, 40, b1, b2, b3, b4, 1);
      g.GLPenSet(0, 1, 1, 0.0, 0);
      g.Ctx.GLPt = {T(0, 0), T(2, 0), T(2, 1), T(0, 1)};
      g.GLSolid();
      g.Ctx.GLPt.clear();
      const double wid = t.ctx.GAtt.GetAttrColwid(1);
      const TDPoint p1 = T(0, 0), p2 = T(4, 1);
      if (dm) g.GLSetDT();
      g.GLPenSet(0, 1, 2, wid, 0);
      if (dm)
        g.GLLineDT(0, 2, p1.X, p1.Y, p2.X, p2.Y);
      else
        g.GLLine(p1.X, p1.Y, p2.X, p2.Y);
      if (dm) g.GLSetDT();
      g.GLPenSet(0, 1, 2, wid, 0);
      if (dm)
        g.GLEllipseArcBLDT(0, 2, 1, 2, 3, 0.5, 0.3, 0.2, 1.1, 50, 40, b1, b2, b3, b4, 1);
      else
        g.GLEllipseArcBL(1, 2, 3, 0.5, 0.3, 0.2, 1.1, 50, 40, b1, b2, b3, b4, 1);
      if (dm) g.GLSetDT();
      g.GLPenSet(0, 1, 2, wid, 0);
      if (dm)
        g.GLEllipseArcBLDT(0, 2, -1, 0, 2, 1.0, 0, 0, 2 * kPi, 50, 40, b1, b2, b3, b4, 1);
      else
        g.GLEllipseBL(-1, 0, 2, 1.0, 0, 50, 40, b1, b2, b3, b4, 1);
    });
    EXPECT_TRUE(SameCalls(Describe(t.canvas), expected));
  }
}

TEST_F(DrawBlocks, NestedMirroredAndRotatedInstances) {
  w.BeginBlockDef(1, u"inner");
  w.Line(0, 0, 5, 0);
  w.EndBlockDef();
  w.BeginBlockDef(2, u"outer");
  w.Insert(1, 10, 0, -1, 1);  // mirrored in x
  w.EndBlockDef();
  w.Insert(2, 50, 50, 1, 1, kPi / 2);  // (u, v) -> (50 - v, 50 + u)
  w.Insert(7, 10, 10);                 // no such definition: nothing
  Draw();
  const auto lines = canvas.All<RecLine>();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NEAR(lines[0].x1, 500, 1e-6);
  EXPECT_NEAR(lines[0].y1, 1000 - 600, 1e-6);
  EXPECT_NEAR(lines[0].x2, 500, 1e-6);
  EXPECT_NEAR(lines[0].y2, 1000 - 550, 1e-6);
}

TEST_F(DrawBlocks, MembersAreFilteredByTheirOwnLayerNotTheInstances) {
  w.head.EntLgrp[1].anGLay = 0;  // group 1 hidden
  w.BeginBlockDef(1, u"b");
  w.Line(0, 0, 5, 0);
  w.att.nGLayer = 1;
  w.Line(0, 5, 5, 5);  // hidden member
  w.att.nGLayer = 0;
  w.att.nPenStyle = 9;
  w.Line(0, 9, 5, 9);  // auxiliary member
  w.EndBlockDef();
  w.att = TEntJwwAttr{};
  w.att.nGLayer = 1;  // the instance itself lies on the hidden group
  w.Insert(1, 20, 20);
  Draw();
  const auto lines = canvas.All<RecLine>();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NEAR(lines[0].y1, 1000 - 200, 1e-9);
}

// A text member (0, 0)-(10, 0), width 2, height 3, spacing 0.5.
TEntJwwMoji Member(const TEntJwwAttr& att) {
  TEntJwwMoji t;
  t.att = att;
  t.end_x = 10;
  t.dSizeX = 2;
  t.dSizeY = 3;
  t.dKankaku = 0.5;
  t.strFontName = u"ＭＳ ゴシック";
  t.str = u"AB";
  return t;
}

TEST_F(DrawBlocks, TextKeepsProportionsAndReadsForwards) {
  struct Case {
    const char* what;
    double sx, sy, rot;
    double x1, y1, x2, y2, h, wd, sp;  // expected base line and sizes
  };
  const Case cases[] = {
      {"translated", 1, 1, 0, 50, 50, 60, 50, 3, 2, 0.5},
      {"rotated 90", 1, 1, kPi / 2, 50, 50, 50, 60, 3, 2, 0.5},
      {"scaled 2", 2, 2, 0, 50, 50, 70, 50, 6, 4, 1},
      {"stretched in x", 2, 1, 0, 50, 50, 70, 50, 3, 4, 1},
      {"mirrored in x", -1, 1, 0, 40, 50, 50, 50, 3, 2, 0.5},
      {"mirrored in y", 1, -1, 0, 60, 50, 50, 50, 3, 2, 0.5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JwwDrawing t;
    t.w.BeginBlockDef(1, u"t");
    t.w.Add(Member(t.w.att));
    t.w.EndBlockDef();
    t.w.Insert(1, 50, 50, c.sx, c.sy, c.rot);
    t.Draw();
    const auto expected = t.Expected([&](TGraph2& g) {
      g.GLPenSet(0, 1, 1, 0.0, 0);
      g.GLAText3(c.x1, c.y1, c.x2, c.y2, c.h, c.wd, c.sp, 0, u"ＭＳ ゴシック", u"AB");
    });
    EXPECT_TRUE(SameCalls(Describe(t.canvas), expected));
  }
}

TEST_F(DrawBlocks, TextScaleComesFromTheInstanceOrWithFlagFromTheTextsGroup) {
  struct Case {
    uint8_t instanceStyle;
    std::u16string drawn;  // "%ss" prints the scale of the group being drawn
  };
  const Case cases[] = {{1, u"20"}, {1 | 0x40, u"50"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.instanceStyle);
    JwwDrawing t;
    t.w.head.EntLgrp[0].adScale = 50;
    t.w.head.EntLgrp[2].adScale = 20;
    t.w.BeginBlockDef(1, u"s");
    TEntJwwMoji m = Member(t.w.att);
    m.dSizeX = m.dSizeY = 5;
    m.str = u"%ss";
    t.w.Add(m);
    t.w.EndBlockDef();
    t.w.att.nGLayer = 2;
    t.w.att.nPenStyle = c.instanceStyle;
    t.w.Insert(1, 20, 20);
    t.Draw();
    EXPECT_EQ(Utf16ToUtf8(DrawnText(t.canvas)), Utf16ToUtf8(c.drawn));
    EXPECT_EQ(t.ctx.LgScale, c.instanceStyle & 0x40 ? 50 : 20);
  }
}

TEST_F(DrawBlocks, MarkersTurnWithTheBlockAndKeepTheirScale) {
  struct Case {
    const char* what;
    double sx, rot;
    double angle;  // expected marker angle for a stored angle of 0.25
  };
  const Case cases[] = {
      {"rotated 90", 1, kPi / 2, 0.25 + kPi / 2},
      {"rotated 180", 1, kPi, 0.25 + kPi},
      {"scaled 3", 3, 0, 0.25},
      {"mirrored in x", -1, 0, 0.25 + 2 * kPi},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    JwwDrawing t;
    t.w.BeginBlockDef(1, u"m");
    t.w.Marker(0, 0, 5, 0.25, 1.5);
    t.w.EndBlockDef();
    t.w.Insert(1, 50, 50, c.sx, 1, c.rot);
    t.Draw();
    const auto expected = t.Expected([&](TGraph2& g) { g.GLTenMarker(50, 50, 0, 5, c.angle, 1.5, 0, 1, 0, 0); });
    EXPECT_TRUE(SameCalls(Describe(t.canvas), expected));
  }
}

// The image turns with the block; a missing image file leaves the frame of
// its box, turned alike, in the pen of the text.
TEST_F(DrawBlocks, ImageInRotatedBlockTurnsWithIt) {
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodeImage(ViewOf(Bitmap(4, 2, 0xFF0000FF)), ImageFormat::Png, png).ok);
  for (const bool missing : {false, true}) {
    SCOPED_TRACE(missing ? "missing file" : "image");
    JwwDrawing t;
    t.images[u"%temp%img.png"].bytes = std::make_shared<const std::vector<uint8_t>>(png);
    t.ctx.GAtt.SetDisplayMode(true);
    t.w.BeginBlockDef(1, u"i");
    TEntJwwMoji im = Member(t.w.att);
    im.str = missing ? u"^@BMnothere.png,10,5,0,0,1,350" : u"^@BM%temp%img.png,10,5,0,0,1,350";
    t.w.Add(im);
    t.w.EndBlockDef();
    t.w.Insert(1, 50, 20, 1, 1, kPi / 6);
    t.Draw();
    const auto expected = t.Expected([&](TGraph2& g) {
      g.GLSetDT();
      if (!missing) {
        g.GLImage2(50, 20, 60, 25, 0, 0, 1, 20, u"%temp%img.png");
        return;
      }
      g.GLPenSet(0, 1, 1, 0.0, 0);
      g.GLBoxA(50, 20, 60, 25, 20 * kPi / 180);
    });
    EXPECT_TRUE(SameCalls(Describe(t.canvas), expected));
    EXPECT_EQ(t.canvas.Count<RecBitmap>(), missing ? 0u : 1u);
    EXPECT_EQ(t.canvas.Count<RecPolyline>(), missing ? 1u : 0u);
  }
}

TEST_F(DrawBlocks, ImageFrameInBlockWithoutDisplayMode) {
  w.BeginBlockDef(1, u"i");
  TEntJwwMoji im = Member(w.att);
  im.str = u"^@BMpic.png,10,5";
  w.Add(im);
  w.EndBlockDef();
  w.Insert(1, 50, 20, 2, 2, kPi / 2);
  Draw();
  const auto expected = Expected([&](TGraph2& g) {
    g.GLPenSet(0, 1, 1, 0.0, 0);
    g.GLBoxA(50, 20, 70, 30, kPi / 2);
  });
  EXPECT_TRUE(SameCalls(Describe(canvas), expected));
}

// (-500, -500)-(1500, 1500) at half a pixel per unit.
void WideWindow(ConversionContext& c) {
  c.DispScale = 0.5;
  c.DispX1 = c.DispY1 = -500;
  c.DispX2 = c.DispY2 = 1500;
}

// A dimension of stored length 617.25 whose text carries the value flags f.
void AddDimensionBlock(JwwWriter& wr, uint16_t f, double sx, double rot) {
  wr.BeginBlockDef(1, u"d");
  TEntJwwSunpo e;
  e.att = wr.att;
  e.Sen = {wr.att, 0, 0, 617.25, 0};
  e.Moji = Member(wr.att);
  e.Moji.att.nPenWidth = f;
  e.Moji.dSizeX = e.Moji.dSizeY = 10;
  e.Moji.start_x = 300;
  e.Moji.end_x = 320;
  e.Moji.str = u"617.25";
  wr.Add(e);
  wr.EndBlockDef();
  wr.Insert(1, 0, 0, sx, sx, rot);
}

TEST_F(DrawBlocks, DimensionValueIsRecomputedInScaledBlocks) {
  struct Case {
    uint16_t f;
    double sx, rot;
    std::u16string text;
  };
  const Case cases[] = {
      {0x42, 4, 0, u"2,469"},
      {0x1042, 4, 0, u"2,469."},
      {0x62, 4, 0, u"2,469mm"},
      {0x42, 1, kPi / 2, u"617"},      // rotated only: recomputed too
      {0x40, 4, 0, u"617.25"},         // no value bit: the stored text
      {0x42, 1, 0, u"617.25"},         // translated only: the stored text
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(Utf16ToUtf8(c.text));
    JwwDrawing t;
    WideWindow(t.ctx);
    AddDimensionBlock(t.w, c.f, c.sx, c.rot);
    t.Draw();
    EXPECT_EQ(DrawnText(t.canvas), c.text);
  }
}

TEST_F(DrawBlocks, RecomputedValueIsCentredOnTheStoredText) {
  AddDimensionBlock(w, 0x42, 4, 0);
  WideWindow(ctx);
  Draw();
  // Stored base line (300, 0)-(320, 0) becomes (1200, 0)-(1280, 0), centre
  // 1240; "2,469" is 5 half-width characters of 40 with spacing 2.
  const double len = 5 * 20 + 4 * 1;
  const auto expected = Expected([&](TGraph2& g) {
    WideWindow(g.Ctx);
    const double wid = ctx.GAtt.GetAttrColwid(1);
    g.GLPenSet(0, 1, 1, wid, 0);
    g.GLLine(0, 0, 2469, 0);
    g.GLPenSet(0, 1, 1, 0.0, 0);
    g.GLAText3(1240 - len / 2, 0, 1240 + len / 2, 0, 40, 40, 2, 0, u"ＭＳ ゴシック", u"2,469");
  });
  EXPECT_TRUE(SameCalls(Describe(canvas), expected));
}

// A definition that places itself twice with 200 lines would draw 200 lines
// at each of a million nodes; the pass draws the nodes the block-tree work
// limit keeps (here a small one), and those alone.
TEST_F(DrawBlocks, SelfPlacingDefinitionDrawsWithinTheWorkLimit) {
  w.Line(0, 0, 100, 100);
  w.Insert(1, 10, 10);
  w.BeginBlockDef(1, u"loop");
  for (int i = 0; i < 200; ++i) w.Line(i * 0.1, 0, i * 0.1, 5);
  w.Insert(1, 1, 1, 0.9, 0.9);
  w.Insert(1, 2, 1, 0.9, 0.9, 0.1);
  w.EndBlockDef();
  d.BlockTreeWorkLimit = 20000;
  Draw();
  EXPECT_TRUE(d.Body.BlockWorkCut);
  EXPECT_EQ(d.Body.EntBlockTreeN(), 20000u / 202);
  EXPECT_EQ(canvas.Count<RecLine>(), 1 + 200 * d.Body.EntBlockTreeN());
}

// Instances past the limit are left out as a whole; those before it are
// drawn completely, in the order of the tree.
TEST_F(DrawBlocks, InstancesPastTheWorkLimitAreLeftOut) {
  w.Line(0, 90, 100, 90);
  for (int i = 0; i < 5; ++i) w.Insert(1, 10 * i + 5, 10);
  w.BeginBlockDef(1, u"comb");
  for (int i = 0; i < 3; ++i) w.Line(i, 0, i, 5);
  w.EndBlockDef();
  d.BlockTreeWorkLimit = 10;
  Draw();
  EXPECT_EQ(d.Body.BlockInstancesCut, 2);
  const auto lines = canvas.All<RecLine>();
  ASSERT_EQ(lines.size(), 1u + 3 * 3);
  for (size_t k = 1; k < lines.size(); ++k) {
    const size_t instance = (k - 1) / 3, member = (k - 1) % 3;
    EXPECT_NEAR(lines[k].x1, 10.0 * (10.0 * instance + 5 + member), 1e-6) << k;
  }
}

TEST(SunpoValueText, FollowsTheValueFlags) {
  struct Case {
    double len;
    uint32_t f, g;
    std::u16string text;
  };
  const Case cases[] = {
      {2469, 0x42, 0, u"2,469"},
      {2469, 0x1042, 0, u"2,469."},
      {2469, 0x62, 0, u"2,469mm"},
      {1234.5, 0x2042, 0, u"1,234.5"},        // two decimals, zeros stripped
      {1234.5, 0x20C2, 0, u"1,234.50"},       // 0x80 keeps them
      {1234.5, 0x2082, 0, u"1234.50"},        // fixed without grouping
      {1234.56, 0x1182, 0, u"1234.5"},        // toward zero
      {1234.51, 0x1282, 0, u"1234.6"},        // away from zero
      {1234.56, 0x1382, 0, u"1234.6"},        // both bits: half away from zero
      {-2.5, 0x2, 0, u"-3"},                  // general notation, sign kept
      {0.125, 0x3002, 0, u"0.125"},
      {2500, 0x1072, 0, u"2.5ｍ"},             // metres
      {12, 0x402, 0x100, u"R12"},
      {12, 0x802, 0x100, u"12R"},
      {12, 0x402, 0x200, u"φ12"},
      {12, 0x002, 0x200, u"12"},
      {12, 0x40A, 0x100, u"Ｒ１２"},           // full width
      {1e20, 0x2, 0, u"1E20"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Utf16ToUtf8(SunpoValueText(c.len, c.f, c.g)), Utf16ToUtf8(c.text))
        << c.len << " f=" << std::hex << c.f << " g=" << c.g;
}

}  // namespace
}  // namespace zumen::testing
