// Reference pictures: small drawings, written here with the format writers,
// go through the public interface (Drawing::OpenBytes, then Render into a PNG
// in memory) and are compared with the pictures in tests/reference/images/.
//
// Each case draws a group of related things at 320 x 240 pixels, so a change
// in any of them shows up as a changed picture. When a picture changes on
// purpose, make the pictures again and look at every one before committing:
//
//   ZUMEN_UPDATE_REFERENCES=1 build/tests/test_reference
//
// A failing case writes what it drew (NAME.actual.png) and a picture of the
// difference (NAME.diff.png: differing pixels in red over a faded copy of the
// reference) into reference-failures/ of the build folder.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <numbers>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "codecs/image_io.h"
#include "common/cp932.h"
#include "support/jwc_writer.h"
#include "support/jww_writer.h"
#include "support/k4_writer.h"
#include "zumen/zumen.h"

namespace zumen {
namespace {

namespace fs = std::filesystem;
using test::K4Attr;
constexpr double kPi = std::numbers::pi;
constexpr double kDeg = kPi / 180;

constexpr int kWidth = 320;
constexpr int kHeight = 240;

// A pixel matches when none of its four channels differs by more than
// kChannelTolerance; a picture matches when at most kMaxDifferingShare of its
// pixels do not.
//
// The 8 levels absorb the rounding of different compositing paths (pixman's
// SIMD and plain code, Cairo and FreeType releases), which moves the grey of
// antialiased edge pixels by a level or two; a real fault changes pixels by
// far more (a line is drawn or not, a fill has another colour).
//
// The share is small because one wrong figure changes few pixels at this
// size. Measured on these drawings: one glyph changed ("3" to "4") changes 58
// pixels, one marker drawn with another code 47, a K4 arc 5 % shorter 25, the
// user line type with a dash of 9 mm in place of 10 mm 258. 0.02 % of
// 320 x 240 is 15 pixels, which catches all of them and still lets a few
// stray edge pixels through. On one machine the normal and the sanitizer
// build draw the same pixels. Libraries that hint glyphs differently (a newer
// FreeType) will fail the text cases: make the pictures again and look at them.
constexpr int kChannelTolerance = 8;
constexpr double kMaxDifferingShare = 0.0002;

// ------------------------------------------------------------------ JWW

// A JWW drawing on A4 paper (297 x 210 mm, centred on the origin) with every
// layer shown, eight pens of their own colours and widths, and line types.
JwwWriter JwwPlan() {
  JwwWriter w(700);
  w.Paper(4);
  for (auto& g : w.head.EntLgrp) g.anGLay = 2;
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  // Pen widths in steps of 1 mm (nMaxDrawWid -1): pen n is n mm wide, about
  // n pixels at this size.
  w.head.Enthd.nMaxDrawWid = -1;
  w.head.EntCol[0].aPrtPenColor = 0xFFFFFF;  // white background
  // Colours as 0x00BBGGRR: black, red, green, blue, magenta, teal, orange, brown.
  const int32_t colours[] = {0x000000, 0x0000FF, 0x00A000, 0xFF0000, 0xFF00FF, 0xA0A000, 0x0080FF, 0x204080};
  for (int pen = 1; pen <= 8; ++pen) {
    auto& c = w.head.EntCol[static_cast<size_t>(pen)];
    c.aPrtPenColor = colours[pen - 1];
    c.anPrtPenWidth = pen;
    c.adPrtTenHankei = 1.0;
  }
  // Pen 101: a colour of the extended table, 4 mm wide (hundredths of a mm).
  w.head.EntColS[1].aPrtPenColor = 0x808000;
  w.head.EntColS[1].anPrtPenWidth = 400;
  // Line types 2 to 9 as 32-bit patterns read from the top bit, each bit
  // 0.035 mm x 12 = 0.42 mm long: 13.4 mm a period.
  const int32_t patterns[] = {
      static_cast<int32_t>(0xFFFF0000),  // 2 dashed
      static_cast<int32_t>(0xFFFFFF00),  // 3 long dash, short gap
      static_cast<int32_t>(0xFFFF0F00),  // 4 chain
      static_cast<int32_t>(0xFFF0C300),  // 5 chain with two dots
      static_cast<int32_t>(0xFF00FF00),  // 6 short dashes
      static_cast<int32_t>(0xC0C0C0C0),  // 7 dotted
      static_cast<int32_t>(0xFFFFFFFF),  // 8 solid
      static_cast<int32_t>(0xFFFFFFFF),  // 9 (auxiliary lines)
  };
  for (size_t i = 0; i < 8; ++i) {
    w.head.EntLtp1[i].alLType = patterns[i];
    w.head.EntLtp1[i].anPrtTokushuSenPich = 12;
  }
  // Zigzag line types 11 and 12: amplitudes 3.5 mm and 2.1 mm.
  w.head.EntLtp2[0] = {static_cast<int32_t>(0xFFFF0000), 0, 0, 100, 12};
  w.head.EntLtp2[1] = {static_cast<int32_t>(0xF0F0F0F0), 0, 0, 60, 12};
  // User line type 31: dash 10, gap 2, dash 1, gap 2 (millimetres).
  w.head.EntLtpS[1].anUDLTypeSegment = 4;
  w.head.EntLtpS[1].aadUDLTypePitch = {0, 10, 2, 1, 2};
  return w;
}

// Line types 1 (solid), 2 to 7, zigzags 11 and 12 and the user type 31, one
// a row, in the 1-pixel pen 1; a dashed diagonal across them in pen 2.
std::vector<uint8_t> JwwLineTypes() {
  JwwWriter w = JwwPlan();
  const uint8_t types[] = {1, 2, 3, 4, 5, 6, 7, 11, 12, 31};
  double y = 90;
  for (uint8_t t : types) {
    w.Pen(1, t);
    w.Line(-130, y, 130, y);
    y -= 20;
  }
  // A dashed diagonal: the pattern keeps its length along any direction.
  w.Pen(2, 2);
  w.Line(-140, -100, -60, 100);
  return w.Finish();
}

// Pens 1 to 8 (colour and width from the drawing's pen table), a pen of the
// extended table, a width given on the line itself, a line on a display-only
// layer (grey) and a wide diagonal with its round caps.
std::vector<uint8_t> JwwPens() {
  JwwWriter w = JwwPlan();
  for (uint16_t pen = 1; pen <= 8; ++pen) {
    w.Pen(pen);
    const double y = 90 - 22.0 * (pen - 1);
    w.Line(-135, y, 0, y);
  }
  w.Pen(101);
  w.Line(30, -90, 30, 90);
  w.Pen(1, 1, 600);  // 6 mm, whatever pen 1 says
  w.Line(55, -90, 55, 90);
  w.head.EntLay[1].aanLay = 1;  // layer 0-1: display only
  w.Layer(0, 1).Pen(8);
  w.Line(80, -90, 80, 90);
  w.Layer(0, 0).Pen(7);
  w.Line(100, -80, 135, 80);
  return w.Finish();
}

// Circles, arcs, whole and partial ellipses, flattened and tilted, solid and
// in line types.
std::vector<uint8_t> JwwArcs() {
  JwwWriter w = JwwPlan();
  const auto whole = [&](double cx, double cy, double r, double flat, double tilt) {
    w.Add(TEntJwwEnko{w.att, cx, cy, r, 0, 2 * kPi, tilt, flat, 1});
  };
  w.Pen(2);
  w.Circle(-95, 50, 38);
  w.Pen(3);
  w.Arc(-5, 50, 38, 30 * kDeg, 240 * kDeg);
  w.Pen(4);
  whole(95, 50, 48, 0.5, 0);
  w.Pen(5);
  whole(-95, -52, 45, 0.4, 30 * kDeg);
  w.Pen(6);
  w.Arc(-5, -52, 42, 0, 200 * kDeg, 0.6, -20 * kDeg);
  w.Pen(1, 2);
  w.Circle(95, -52, 40);
  w.Pen(2, 4);
  w.Arc(95, -52, 26, 90 * kDeg, 270 * kDeg);
  return w.Finish();
}

// Filled quadrilaterals in pen colours and in their own colour, the arc
// solids (whole ellipse, sector, segment, the region between an arc and its
// tangents, two rings and an outline), and a picture stored in the drawing,
// 4 x 3 pixels stretched over 60 x 45 mm (the height follows the width),
// partly under a solid: pictures are painted first.
std::vector<uint8_t> JwwSolids() {
  JwwWriter w = JwwPlan();
  w.Pen(2);
  w.Solid(-140, 20, -60, 20, -60, 95, -140, 95);
  w.Pen(4);
  w.Solid(-40, 20, 40, 30, 0, 95, 0, 95);  // a triangle: two corners the same
  TEntJwwSolid own{w.att, 60, 20, 140, 20, 120, 95, 80, 95, 0x3399FF};  // orange
  own.att.nPenColor = 10;
  w.Add(own);
  const auto arc = [&](uint8_t style, uint16_t pen, double cx, double cy, double r, double h, double a,
                       double sa, double da, double zf) {
    TEntJwwSolid s{w.att, cx, cy, r, h, a, sa, da, zf, 0};
    s.att.nPenStyle = style;
    s.att.nPenColor = pen;
    w.Add(s);
  };
  arc(101, 3, -120, -20, 22, 0.6, 20 * kDeg, 0, 0, 100);     // whole ellipse
  arc(101, 5, -60, -30, 28, 1, 0, 30 * kDeg, 120 * kDeg, 0);  // sector
  arc(101, 6, 0, -35, 28, 1, 0, 0, kPi, 5);                   // segment
  arc(101, 7, 50, -45, 25, 1, 0, 0, kPi / 2, 1);              // between arc and tangents
  arc(105, 2, 115, -25, 25, 0.6, 0, 0, 2 * kPi, 14);          // ring
  arc(106, 4, -100, -80, 24, 0.5, 0, 0, 2 * kPi, 16);         // ring of even width
  arc(111, 8, -20, -85, 18, 1, 0, 0, 1.5 * kPi, 0);           // outline only
  Bitmap picture(4, 3);
  picture.pixels = {0xFFFF0000, 0xFFFFFF00, 0xFF00C000, 0xFF00FFFF, 0xFF0000FF, 0xFFFF00FF,
                    0xFFFFFFFF, 0xFF000000, 0xFF808080, 0xFFFF8000, 0xFF008080, 0xFF800000};
  std::vector<uint8_t> png;
  EXPECT_TRUE(EncodeImage(ViewOf(picture), ImageFormat::Png, png));
  w.Image(u"picture.png.gz", png);
  w.Pen(1);
  w.Text(40, -100, u"^@BM%temp%picture.png,60");
  w.Pen(3);
  w.Solid(80, -100, 130, -100, 130, -50, 130, -50);
  return w.Finish();
}

// Plain and virtual points and the coded markers -7 to -1 and 1 to 11, every
// second one turned by 30 degrees, four times their size.
std::vector<uint8_t> JwwMarkers() {
  JwwWriter w = JwwPlan();
  w.Pen(2);
  w.Point(-110, 75);
  TEntJwwTen virt{w.att, -55, 75, 1};
  w.Add(virt);
  const int32_t codes[] = {-7, -6, -5, -4, -3, -2, -1, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
  int i = 2;
  for (int32_t code : codes) {
    const double x = -110 + 55 * (i % 5);
    const double y = 75 - 50 * (i / 5);
    w.Pen(i % 2 == 0 ? 1 : 2);
    w.Marker(x, y, static_cast<uint32_t>(code), i % 2 == 0 ? 0 : 30 * kDeg, 4);
    ++i;
  }
  return w.Finish();
}

// Four lines around (x1, y1)-(x2, y2), counter-clockwise from (x1, y1).
void Rectangle(JwwWriter& w, double x1, double y1, double x2, double y2) {
  w.Line(x1, y1, x2, y1);
  w.Line(x2, y1, x2, y2);
  w.Line(x2, y2, x1, y2);
  w.Line(x1, y2, x1, y1);
}

// A text record along a base line from (x, y) at angle_deg; spacing is the
// gap after each full-width character.
TEntJwwMoji Moji(const TEntJwwAttr& att, double x, double y, std::u16string_view s, double size,
                 double angle_deg = 0, std::u16string_view font = u"ＭＳ ゴシック", double spacing = 0) {
  TEntJwwMoji e;
  e.att = att;
  e.start_x = x;
  e.start_y = y;
  const double len = (size + spacing) * static_cast<double>(s.size());
  e.end_x = x + len * std::cos(angle_deg * kDeg);
  e.end_y = y + len * std::sin(angle_deg * kDeg);
  e.dSizeX = e.dSizeY = size;
  e.dKankaku = spacing;
  e.degKakudo = angle_deg;
  e.strFontName = font;
  e.str = s;
  return e;
}

// Texts in two fonts, bold italic, spaced, turned, in vertical writing (with
// brackets, which stay turned), and macros: the file name, its folder and the
// scale of the text's layer group (1:50).
std::vector<uint8_t> JwwTexts() {
  JwwWriter w = JwwPlan();
  w.head.EntLgrp[1].adScale = 50;
  w.Pen(1);
  w.Add(Moji(w.att, -140, 78, u"図面 Text 123", 14));
  w.Pen(4);
  w.Add(Moji(w.att, -140, 56, u"明朝 Mincho", 12, 0, u"ＭＳ 明朝"));
  w.Pen(2);
  TEntJwwMoji bold = Moji(w.att, -140, 35, u"Bold Italic", 12);
  bold.nMojiShu = 30000;
  w.Add(bold);
  w.Pen(3);
  w.Add(Moji(w.att, -140, 14, u"ＡＢＣ", 10, 0, u"ＭＳ ゴシック", 6));
  w.Pen(1);
  w.Add(Moji(w.att, -140, -8, u"%f", 10));
  w.Add(Moji(w.att, -140, -28, u"$F1", 10));
  w.Layer(1, 0);
  w.Add(Moji(w.att, -140, -48, u"%SS", 10));
  w.Layer(0, 0).Pen(6);
  w.Add(Moji(w.att, -40, -95, u"回転 ABC", 12, 25));
  w.Pen(5);
  TEntJwwMoji vertical = Moji(w.att, 112, 92, u"縦書き（１）", 14, 270, u"ＭＳ 明朝");
  vertical.att.sFlg = 0x20;
  w.Add(vertical);
  return w.Finish();
}

// Dimensions: a horizontal and a vertical one with extension lines and filled
// arrowheads (coded markers), and one of the plain kind, which draws only its
// line and its text.
std::vector<uint8_t> JwwDimension() {
  JwwWriter w = JwwPlan();
  w.Pen(1);
  Rectangle(w, -100, -70, 100, -20);
  w.Circle(0, -45, 12);
  const auto line = [&](double x1, double y1, double x2, double y2) { return TEntJwwLine{w.att, x1, y1, x2, y2}; };
  const auto arrow = [&](double x, double y, double angle) {
    TEntJwwTen t{w.att, x, y, 0, 6, angle, 1.5};
    t.att.nPenStyle = 100;
    return t;
  };
  const auto dimension = [&](uint16_t sxf, TEntJwwLine sen, TEntJwwLine ho1, TEntJwwLine ho2, TEntJwwTen te1,
                             TEntJwwTen te2, TEntJwwMoji moji) {
    TEntJwwSunpo d;
    d.att = w.att;
    d.bSxfMode = sxf;
    d.Sen = sen;
    d.Ho1 = ho1;
    d.Ho2 = ho2;
    d.Te1 = d.Kt1 = te1;
    d.Te2 = d.Kt2 = te2;
    d.Moji = moji;
    d.Moji.att.nPenColor = 2;
    w.Add(d);
  };
  dimension(1, line(-100, 10, 100, 10), line(-100, -17, -100, 14), line(100, -17, 100, 14), arrow(-100, 10, kPi),
            arrow(100, 10, 0), Moji(w.att, -7.5, 13, u"200", 10));
  dimension(1, line(125, -70, 125, -20), line(103, -70, 129, -70), line(103, -20, 129, -20),
            arrow(125, -70, -kPi / 2), arrow(125, -20, kPi / 2), Moji(w.att, 122, -50, u"50", 10, 90));
  dimension(0, line(-100, 60, 0, 60), line(-100, 40, -100, 64), line(0, 40, 0, 64), arrow(-100, 60, kPi),
            arrow(0, 60, 0), Moji(w.att, -57.5, 63, u"100", 10));
  return w.Finish();
}

// Nested blocks: a "pair" of two "window" blocks, placed as defined, scaled,
// turned by 30 degrees and mirrored (its text still reads forwards).
std::vector<uint8_t> JwwBlocks() {
  JwwWriter w = JwwPlan();
  w.BeginBlockDef(1, u"window");
  w.Pen(1);
  Rectangle(w, 0, 0, 30, 20);
  w.Pen(2);
  w.Arc(0, 0, 12, 0, kPi / 2);
  w.Pen(4);
  w.Text(16, 5, u"窓", 9);
  w.Pen(3);
  w.Marker(30, 20, 7, 0, 1.5);
  w.EndBlockDef();
  w.BeginBlockDef(2, u"pair");
  w.Pen(1);
  w.Insert(1, 0, 0);
  w.Insert(1, 40, 0);
  w.Pen(6);
  w.Line(0, -5, 70, -5);
  w.EndBlockDef();
  w.Pen(1);
  w.Insert(2, -140, 55);
  w.Insert(2, -40, 40, 1.5, 1.5);
  w.Insert(2, -130, -95, 1, 1, 30 * kDeg);
  w.Insert(2, 140, -60, -1, 1);
  return w.Finish();
}

// A JWS symbol (default pens and line types, sized to its extents): a door
// with its swing in a dashed line, a text, a filled disc and a block; the
// red circle marks the base point.
std::vector<uint8_t> JwsSymbol() {
  JwwWriter w(600, JwwWriter::Format::kJws);
  w.jws.BasePoint_x = 20;
  w.jws.BasePoint_y = 10;
  w.BeginBlockDef(1, u"cross");
  w.Pen(6);
  w.Line(-4, 0, 4, 0);
  w.Line(0, -4, 0, 4);
  w.Circle(0, 0, 3);
  w.EndBlockDef();
  w.Pen(2);
  Rectangle(w, 0, 0, 90, 60);
  w.Pen(3);
  w.Line(10, 0, 10, 40);
  w.Pen(1, 2);
  w.Arc(10, 0, 40, 0, kPi / 2);
  w.Pen(5);
  w.Text(50, 45, u"扉 D1", 8);
  TEntJwwSolid disc{w.att, 75, 15, 6, 1, 0, 0, 2 * kPi, 100, 0};
  disc.att.nPenStyle = 101;
  disc.att.nPenColor = 4;
  w.Add(disc);
  w.Pen(2);
  w.Insert(1, 60, 30, 1.5, 1.5);
  return w.Finish();
}

// ------------------------------------------------------------------ JWC, JWK

// A JWC drawing on A4 (default pens and line types): lines in pens 2 to 5
// and line types 1 to 4, a circle, an arc and a tilted ellipse, texts of
// enlarged types (horizontal and vertical) and of a built-in one, points and
// virtual points. The gaps of the default line types are under 1 mm, below
// 2 pixels at this size, so these lines and the arc draw solid.
std::vector<uint8_t> JwcDrawing() {
  test::JwcFile f;
  f.psize = 4;  // A4; coordinates in units of 297 mm / 518
  const auto u = [](double mm) { return static_cast<float>(mm * 518.0 / 297.0); };
  for (uint8_t i = 0; i < 4; ++i) {
    const float y = u(190 - 14 * i);
    f.lines.push_back({u(15), y, u(150), y, static_cast<uint8_t>(1 + i), static_cast<uint8_t>(2 + i)});
  }
  const auto deg = [](double d) { return static_cast<int32_t>(d * 65536); };
  f.arcs.push_back({u(210), u(160), u(28), 10000, 0, 0, 0, 1, 2});
  f.arcs.push_back({u(210), u(160), u(18), 10000, deg(45), deg(225), 0, 2, 6});
  f.arcs.push_back({u(210), u(60), u(45), 5000, 0, 0, deg(30), 1, 5});
  f.mjWidth[10] = f.mjHeight[10] = 150;  // 15 mm
  f.mjWidth[9] = f.mjHeight[9] = 140;
  f.Text(u(15), u(105), u(150), u(105), StrToAnsi(u"JWC 図面"), 10);
  f.Text(u(15), u(80), u(80), u(80), "abc 123", 5);
  f.Text(u(275), u(195), u(275), u(100), StrToAnsi(u"縦書き"), 9, 0, 0x20);
  f.tens.push_back({u(30), u(40), 0, 2});
  f.tens.push_back({u(50), u(40), 0, 3});
  f.vtenCount = 2;
  f.vx[1] = u(80), f.vy[1] = u(40);
  f.vx[2] = u(100), f.vy[2] = u(40);
  return f.Build();
}

// A JWK symbol (sized to its extents, which always hold the origin, marked by
// the red circle): a valve of lines, a circle, a dashed arc, a point and a text.
std::vector<uint8_t> JwkSymbol() {
  test::JwkFile k;
  const test::JwcLineRec lines[] = {{0, -15, 0, 15}, {0, 15, 60, -15}, {60, -15, 60, 15}, {60, 15, 0, -15}};
  for (test::JwcLineRec l : lines) {
    l.col = 2;
    k.lines.push_back(l);
  }
  k.arcs.push_back({30, 0, 8, 10000, 0, 0, 0, 1, 3});
  k.arcs.push_back({30, 0, 22, 10000, 20 * 65536, 160 * 65536, 0, 2, 1});
  k.tens.push_back({30, 28, 0, 5});
  k.Text(20, -30, 40, -30, "V-1", 5);
  return k.Build();
}

// ------------------------------------------------------------------ K4

// A K4 drawing on a 160 x 120 paper: lines in the built-in patterns and a
// pattern of the drawing's own, a circle, an arc and a turned ellipse, a
// Bezier curve, a line with end marks, a text, and fills: linear gradient,
// gradient with three stops, radial gradient and a dot pattern.
std::vector<uint8_t> K4Drawing() {
  test::K4Writer w;
  TK4PaperSize paper;
  paper.size = {{{0, 0}, {160, 120}}};
  std::array<TK4TextStyle, 21> styles{};
  styles[1].font = u"ＭＳ ゴシック";
  styles[1].hight = 9;
  styles[1].width = 9;
  styles[1].spce = 1;
  TK4PrintStyle print;
  print.ltype[1] = {1};                      // 2, 2
  print.ltype[2] = {3};                      // 12, 1, 1, 1
  print.ltype[3] = {4};                      // 12, 1, 1, 1, 1, 1
  print.ltype[4] = {7, 4, 500, 100, 100, 100};  // 5, 1, 1, 1 of its own
  w.Title(u"reference").Layers(TK4LayerInfo{}).Paper(paper).TextStyles(styles).PrintStyle(print);

  const int colours[] = {2, 3, 5, 6, 11};  // black, green, magenta, blue, dark gold
  for (int ty = 0; ty < 5; ++ty) {
    TK4ObjectLine l;
    l.head.attr = K4Attr(0, 0, colours[ty], ty);
    const double y = 110 - 8 * ty;
    l.p1 = {10, y};
    l.p2 = {75, y};
    w.Line(l);
  }
  TK4ObjectCircle c;
  c.head.attr = K4Attr(0, 0, 6, 0);
  c.pos = {100, 95};
  c.r = 15;
  w.Circle(c);
  c.head.attr = K4Attr(0, 0, 3, 1);
  c.r = 9;
  c.arc = {0.25 * kPi, 1.25 * kPi};
  w.Circle(c);
  TK4ObjectEllipse e;
  e.head.attr = K4Attr(0, 0, 5, 0);
  e.pos = {138, 95};
  e.r = {16, 8};
  e.angle = 0.5;
  w.Ellipse(e);
  TK4ObjectBezier bz;
  bz.head.attr = K4Attr(0, 0, 3, 0);
  bz.cnt = 7;
  bz.pt = {{10, 55}, {22, 78}, {34, 40}, {46, 60}, {58, 80}, {70, 42}, {80, 62}};
  w.Curve(2017, bz);
  TK4ObjectLineEx lx;
  lx.head.attr = K4Attr(0, 0, 2, 0);
  lx.p1 = {90, 48};
  lx.p2 = {150, 48};
  lx.edge.mark[0].pos = lx.p1;
  lx.edge.mark[0].style = 1;  // filled dot
  lx.edge.mark[0].param = {3, 0};
  lx.edge.mark[1].pos = lx.p2;
  lx.edge.mark[1].angle = kPi;
  lx.edge.mark[1].style = 13;  // filled arrow
  lx.edge.mark[1].param = {6, kPi / 8};
  w.LineEx(lx);
  TK4ObjectText t;
  t.head.attr = K4Attr(0, 0, 6, 0);
  t.pos = {92, 58};
  t.style = 1;
  t.text = u"K4 図面";
  w.Text(t);

  const auto box = [](double x1, double y1, double x2, double y2) {
    return std::vector<TDPoint>{{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}};
  };
  const auto grad = [&](int32_t typ, std::vector<TDPoint> pts, uint32_t c1, uint32_t c2, TDPoint p1, TDPoint p2) {
    TK4ObjectPolygonGrad g;
    g.cnt = static_cast<int16_t>(pts.size());
    g.pt = std::move(pts);
    g.grad.typ = typ;
    g.grad.col = {c1, c2};
    g.grad.pos = {p1, p2};
    w.PolygonGrad(g);
  };
  grad(0, box(8, 8, 38, 40), 0x0000FF, 0xFF0000, {8, 24}, {38, 24});     // red to blue
  grad(1, box(46, 8, 76, 40), 0x00FFFF, 0x008000, {46, 8}, {76, 40});    // green, yellow, green
  grad(2, box(84, 8, 114, 40), 0xFFFFFF, 0xC000C0, {99, 24}, {0, 0});   // white centre, purple rim
  TK4ObjectPolygon dots;
  dots.head.color = 0x0000C0;  // dark red
  dots.ptn = 3;
  dots.pt = {{122, 8}, {152, 8}, {137, 40}};
  dots.cnt = 3;
  w.Polygon(dots);
  return w.bytes();
}

// ------------------------------------------------------------------ cases

struct Case {
  const char* name;
  Format format;
  const char* extension;
  std::vector<uint8_t> (*make)();
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"jww_line_types", Format::Jww, ".jww", JwwLineTypes},
    {"jww_pens", Format::Jww, ".jww", JwwPens},
    {"jww_arcs", Format::Jww, ".jww", JwwArcs},
    {"jww_solids", Format::Jww, ".jww", JwwSolids},
    {"jww_markers", Format::Jww, ".jww", JwwMarkers},
    {"jww_texts", Format::Jww, ".jww", JwwTexts},
    {"jww_dimension", Format::Jww, ".jww", JwwDimension},
    {"jww_blocks", Format::Jww, ".jww", JwwBlocks},
    {"jws_symbol", Format::Jws, ".jws", JwsSymbol},
    {"jwc_drawing", Format::Jwc, ".jwc", JwcDrawing},
    {"jwk_symbol", Format::Jwk, ".jwk", JwkSymbol},
    {"k4_drawing", Format::K4, ".k4", K4Drawing},
};

// ------------------------------------------------------------------ comparison

bool UpdateRequested() {
  const char* v = std::getenv("ZUMEN_UPDATE_REFERENCES");
  return v != nullptr && std::string_view(v) == "1";
}

bool WriteBytes(const fs::path& path, const std::vector<uint8_t>& bytes) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return static_cast<bool>(out);
}

bool Near(uint32_t a, uint32_t b) {
  for (int shift = 0; shift < 32; shift += 8) {
    const int da = static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF);
    if (std::abs(da) > kChannelTolerance) return false;
  }
  return true;
}

// A copy of the pixel at a quarter of its strength over white.
uint32_t Faded(uint32_t argb) {
  uint32_t out = 0xFF000000;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t c = (argb >> shift) & 0xFF;
    out |= (255 - (255 - c) / 4) << shift;
  }
  return out;
}

struct Comparison {
  size_t differing = 0;
  size_t allowed = 0;
  Bitmap diff;  // differing pixels in red over the faded reference
};

// Both pictures have the same size.
Comparison Compare(const Bitmap& expected, const Bitmap& actual) {
  Comparison c;
  c.allowed = static_cast<size_t>(kMaxDifferingShare * static_cast<double>(expected.pixels.size()));
  c.diff = Bitmap(expected.width, expected.height);
  for (size_t i = 0; i < expected.pixels.size(); ++i) {
    const bool same = Near(expected.pixels[i], actual.pixels[i]);
    c.differing += same ? 0 : 1;
    c.diff.pixels[i] = same ? Faded(expected.pixels[i]) : 0xFFFF0000;
  }
  return c;
}

class Reference : public ::testing::TestWithParam<Case> {};

TEST_P(Reference, MatchesItsPicture) {
  const Case& c = GetParam();
  const std::string name = c.name;
  LoadOptions load;
  load.format = c.format;
  load.name = "/drawings/site/" + name + c.extension;  // for the file-name macros
  const std::vector<uint8_t> drawing = c.make();
  const Opened opened = Drawing::OpenBytes(drawing, load);
  ASSERT_TRUE(opened) << opened.status.message;
  EXPECT_TRUE(opened.drawing.Info().read_ok) << opened.drawing.Info().read_error;
  RenderOptions options;
  options.width = kWidth;
  options.height = kHeight;
  std::vector<uint8_t> png;
  const RenderResult r = Render(opened.drawing, options, Output::Memory(OutputType::Png, png));
  ASSERT_TRUE(r) << r.status.message;

  const fs::path reference = fs::path(ZUMEN_SOURCE_DIR) / "tests" / "reference" / "images" / (name + ".png");
  if (UpdateRequested()) {
    ASSERT_TRUE(WriteBytes(reference, png)) << "cannot write " << reference;
    std::cout << "wrote " << reference.string() << '\n';
    return;
  }
  const fs::path failures = fs::path(ZUMEN_BINARY_DIR) / "reference-failures";
  const fs::path actualPath = failures / (name + ".actual.png");
  const fs::path diffPath = failures / (name + ".diff.png");
  std::error_code ec;
  fs::remove(actualPath, ec);  // left by an earlier failing run
  fs::remove(diffPath, ec);
  const std::string remake = "ZUMEN_UPDATE_REFERENCES=1 build/tests/test_reference --gtest_filter='*" + name + "'";
  if (!fs::exists(reference)) {
    WriteBytes(actualPath, png);
    FAIL() << "no reference picture " << reference.string() << "\n  make it with: " << remake
           << "\n  and look at it before committing; this build draws " << actualPath.string();
  }
  const LoadedImage expected = LoadImageFile(reference.string());
  ASSERT_TRUE(expected.ok()) << reference.string() << ": " << expected.error;
  const LoadedImage actual = LoadImageMemory(png);
  ASSERT_TRUE(actual.ok()) << actual.error;
  if (expected.bitmap.width != actual.bitmap.width || expected.bitmap.height != actual.bitmap.height) {
    WriteBytes(actualPath, png);
    FAIL() << name << ": the picture is " << actual.bitmap.width << " x " << actual.bitmap.height
           << " pixels, the reference " << expected.bitmap.width << " x " << expected.bitmap.height
           << "\n  drawn: " << actualPath.string();
  }
  const Comparison cmp = Compare(expected.bitmap, actual.bitmap);
  if (cmp.differing <= cmp.allowed) return;
  WriteBytes(actualPath, png);
  SaveImageFile(cmp.diff, diffPath.string());
  ADD_FAILURE() << name << ": " << cmp.differing << " pixels differ from the reference by more than "
                << kChannelTolerance << " levels (at most " << cmp.allowed << " may)"
                << "\n  reference: " << reference.string() << "\n  drawn:     " << actualPath.string()
                << "\n  diff:      " << diffPath.string() << "\n  if the change is meant, remake it with: "
                << remake;
}

INSTANTIATE_TEST_SUITE_P(Cases, Reference, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace zumen
