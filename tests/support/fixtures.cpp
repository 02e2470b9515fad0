#include "support/fixtures.h"

#include <cmath>
#include <cstring>
#include <numbers>

#include "codecs/image_io.h"
#include "support/jwc_writer.h"
#include "support/jww_writer.h"
#include "support/k4_writer.h"

namespace zumen::test {

namespace {

constexpr double kPi = std::numbers::pi;

TK4SymbolBody K4Mark(double x, double y, double an, uint8_t sty, double pa1, double pa2 = 0) {
  TK4SymbolBody m;
  m.pos = {x, y};
  m.angle = an;
  m.style = sty;
  m.param = {pa1, pa2};
  return m;
}

void K4Line(K4Writer& w, double x1, double y1, double x2, double y2) {
  TK4ObjectLine l;
  l.p1 = {x1, y1};
  l.p2 = {x2, y2};
  w.Line(l);
}

std::vector<uint8_t> Encoded(const Bitmap& b, ImageFormat f) {
  std::vector<uint8_t> out;
  EncodeImage(ViewOf(b), f, out);
  return out;
}

// A small picture with some structure: a dark frame and a diagonal.
Bitmap Picture() {
  Bitmap b(8, 6, 0xFFFFF0C0);
  for (int x = 0; x < 8; ++x) b.at(x, 0) = b.at(x, 5) = 0xFF203060;
  for (int y = 0; y < 6; ++y) b.at(0, y) = b.at(7, y) = 0xFF203060;
  for (int i = 1; i < 5; ++i) b.at(i + 1, i) = 0xFFC02020;
  return b;
}

TEntJwwMoji JwwText(const TEntJwwAttr& att, double x, double y, double angle, std::u16string s, double w, double h,
                    double spacing, bool vertical, std::u16string font = u"ＭＳ ゴシック") {
  TEntJwwMoji e;
  e.att = att;
  if (vertical) e.att.sFlg |= 0x20;
  e.start_x = x;
  e.start_y = y;
  const double len = (w + spacing) * static_cast<double>(s.size());
  const double a = (vertical ? angle - 90 : angle) * kPi / 180;
  e.end_x = x + len * std::cos(a);
  e.end_y = y + len * std::sin(a);
  e.dSizeX = w;
  e.dSizeY = h;
  e.dKankaku = spacing;
  e.degKakudo = angle;
  e.strFontName = std::move(font);
  e.str = std::move(s);
  return e;
}

// Lines, arcs, points, markers, texts and solids around (x, y), the members
// of a block or a part of the drawing.
void JwwShapes(JwwWriter& w, double x, double y) {
  w.Pen(2, 1, 0);
  w.Line(x, y, x + 20, y);
  w.Line(x + 20, y, x + 20, y + 12);
  w.Pen(5, 2);
  w.Arc(x + 10, y + 6, 5, 0.2, 2.5);
  w.Pen(1);
  w.Marker(x + 3, y + 3, 7, 0.4, 1.0);
  w.Text(x + 2, y + 8, u"部品A", 2);
  w.Pen(3);
  w.Solid(x + 14, y + 1, x + 18, y + 1, x + 18, y + 4, x + 14, y + 4);
  TEntJwwLine value{w.att, x, y - 2, x + 20, y - 2};
  TEntJwwSunpo d;
  d.att = w.att;
  d.Sen = value;
  d.Moji = JwwText(w.att, x + 8, y - 1.5, 0, u"20", 2, 2, 0, false);
  d.Moji.att.nPenWidth = 0x2;  // its text is the value of the length
  w.Add(d);
}

std::vector<uint8_t> JwwEveryKind() {
  JwwWriter w(700);
  w.Paper(3);  // A3, centred on the origin
  w.head.Enthd.strMemo = u"every kind";
  for (int g = 0; g < 16; ++g) {
    w.head.EntLgrp[g].anGLay = 2;
    w.head.EntLgrp[g].adScale = g == 2 ? 50 : 100;
    w.head.EntLgrp[g].aStrGLayName = u"組" + std::u16string(1, static_cast<char16_t>(u'A' + g));
  }
  for (int n = 0; n < 256; ++n) {
    w.head.EntLay[n].aanLay = 2;
    w.head.EntLay[n].aStrLayName = u"層" + std::u16string(1, static_cast<char16_t>(u'a' + n % 16));
  }
  w.head.EntLay[3].aanLay = 1;   // layer 0-3 display only
  w.head.EntLay[4].aanLay = 0;   // layer 0-4 hidden
  w.head.EntLgrp[5].anGLay = 1;  // group 5 display only
  // Printing colours (0x00BBGGRR) and widths of the pens; pen 0 is the paper.
  const int32_t colours[] = {0xFFFFFF, 0x000000, 0x0000C0, 0x008000, 0xC00000, 0xC000C0, 0x808000, 0x0080FF, 0x808080};
  for (int i = 0; i <= 8; ++i) {
    w.head.EntCol[static_cast<size_t>(i)].aPrtPenColor = colours[i];
    w.head.EntCol[static_cast<size_t>(i)].anPrtPenWidth = i;
    w.head.EntCol[static_cast<size_t>(i)].adPrtTenHankei = 0.3 * i;
  }

  // Lines of every pen colour and line type (9: auxiliary), and widths.
  for (int i = 1; i <= 9; ++i) {
    w.Pen(static_cast<uint16_t>(i), static_cast<uint8_t>(i), static_cast<uint16_t>(i % 3 == 0 ? i * 20 : 0));
    w.Line(-200, 140 - i * 6, -110, 128 - i * 6);
  }
  w.Pen(1, 1);
  for (int layer : {3, 4}) {
    w.Layer(0, static_cast<uint16_t>(layer));
    w.Line(-200, 70 - layer * 3, -110, 70 - layer * 3);
  }
  w.Layer(5, 1);
  w.Line(-200, 50, -110, 50);
  w.Layer(0, 0);

  // Circles, arcs, ellipses and their arcs, tilted, dashed.
  w.Pen(2, 1);
  w.Circle(-80, 120, 12);
  w.Arc(-50, 120, 12, 0.3, 2.2);
  w.Pen(3, 3);
  w.Arc(-20, 120, 14, 0, 2 * kPi, 0.5, 0.4);
  w.Arc(10, 120, 14, 1.0, -2.5, 0.6, -0.3);
  w.Pen(4, 5);
  w.Circle(40, 120, 8);

  // Points: plain, temporary, coded markers of several codes, turned and scaled.
  w.Pen(1, 1);
  w.Point(-80, 90);
  TEntJwwTen temporary{w.att, -75, 90, 1};
  w.Add(temporary);
  for (int code = 1; code <= 20; ++code) w.Marker(-70 + code * 5, 90, static_cast<uint32_t>(code), code * 0.3, 1 + code % 3);

  // Texts: plain, turned, vertical, spaced, bold and italic, macros, control sequences.
  w.Pen(1);
  w.Text(-200, 30, u"図面 Plan-7", 4);
  w.Text(-200, 20, u"回転した文字", 3, 20);
  w.Add(JwwText(w.att, -120, 40, 0, u"縦書き", 4, 4, 0.5, true));
  w.Add(JwwText(w.att, -200, 5, 0, u"間隔 spaced", 3, 3, 1.5, false));
  TEntJwwMoji bold = JwwText(w.att, -200, -5, 0, u"太字と斜体", 3, 3, 0, false, u"ＭＳ 明朝");
  bold.nMojiShu = 25000;
  w.Add(bold);
  w.Text(-200, -15, u"%f", 3);
  w.Text(-150, -15, u"=j", 3);
  w.Text(-200, -25, u"^u下線^o上", 3);
  w.Layer(2, 0);
  w.Text(-200, -35, u"%SS", 3);
  w.Layer(0, 0);

  // Dimensions, plain and with their parts.
  w.Pen(6);
  w.Dimension(-100, -60, -20, -60, u"8000");
  TEntJwwSunpo sxf;
  sxf.att = w.att;
  sxf.Sen = TEntJwwLine{w.att, -100, -75, -40, -75};
  sxf.Moji = JwwText(w.att, -75, -74, 0, u"6000", 2.5, 2.5, 0, false);
  sxf.bSxfMode = 1;
  sxf.Ho1 = TEntJwwLine{w.att, -100, -80, -100, -73};
  sxf.Ho2 = TEntJwwLine{w.att, -40, -80, -40, -73};
  TEntJwwAttr marker = w.att;
  marker.nPenStyle = 100;
  sxf.Te1 = TEntJwwTen{marker, -100, -75, 0, 3, 0, 1};
  sxf.Te2 = TEntJwwTen{marker, -40, -75, 0, 3, kPi, 1};
  w.Add(sxf);

  // Solids: quads of pens and own colours, arc solids of every style.
  w.Pen(4);
  w.Solid(0, 60, 30, 60, 30, 80, 0, 80);
  w.Add(TEntJwwSolid{[&] { TEntJwwAttr a = w.att; a.nPenColor = 10; return a; }(), 40, 60, 70, 60, 60, 80, 40,
                     80, 0x004080FF});
  const int styles[] = {101, 105, 106, 111};
  for (int i = 0; i < 4; ++i) {
    TEntJwwAttr a = w.att;
    a.nPenStyle = static_cast<uint8_t>(styles[i]);
    const double zf = styles[i] == 101 ? 0 : styles[i] == 111 ? 0 : 4;
    w.Add(TEntJwwSolid{a, 90.0 + i * 25, 70, 10, 0.7, 0.3, 0.2, 4.0, zf, 0});
  }

  // Blocks: a definition, one nested in another, placed plainly, turned,
  // scaled and mirrored.
  w.Pen(1);
  w.Insert(1, 20, -20);
  w.Insert(1, 80, -20, 1.5, 1.5, 0.6);
  w.Insert(1, 160, -20, -1, 1);
  w.Insert(2, 60, -110, 1, 1, 0.3);
  w.BeginBlockDef(1, u"部品");
  JwwShapes(w, 0, 0);
  w.EndBlockDef();
  w.BeginBlockDef(2, u"組立");
  w.Line(0, 0, 50, 0);
  w.Insert(1, 5, 5, 0.8, 0.8);
  w.Insert(1, 30, 5, 0.8, -0.8);
  w.EndBlockDef();

  // An embedded image.
  w.Image(u"mark.png.gz", Encoded(Picture(), ImageFormat::Png));
  w.Text(120, -120, u"^@BM%temp%mark.png,40,30");
  return w.Finish();
}

std::vector<uint8_t> JwsEveryKind() {
  JwwWriter w(600, JwwWriter::Format::kJws);
  w.jws.BasePoint_x = 10;
  w.jws.BasePoint_y = 5;
  JwwShapes(w, 0, 0);
  w.Pen(2, 4);
  w.Circle(30, 6, 4);
  w.Text(0, 16, u"記号 Symbol", 2.5);
  return w.Finish();
}

std::vector<uint8_t> JwcEveryKind() {
  JwcFile f;
  for (int i = 1; i <= 9; ++i) {
    f.lines.push_back({static_cast<float>(10 + i * 20), 20, static_cast<float>(20 + i * 20), 150,
                       static_cast<uint8_t>(i), static_cast<uint8_t>(i), 0});
  }
  f.arcs.push_back({100, 200, 30});
  f.arcs.push_back({200, 200, 25, 5000, 0, 180 * 65536, 30 * 65536, 2, 3, 0});
  f.tens.push_back({300, 200});
  f.tens.push_back({310, 200, 0, 2, 1});
  f.Text(30, 250, 130, 250, "JWC \x90\x7D\x96\xCA", 3);
  f.Text(30, 270, 30, 200, "TATE", 5, 0, 1);
  return f.Build();
}

std::vector<uint8_t> JwkEveryKind() {
  JwkFile f;
  f.lines.push_back({0, 0, 40, 0});
  f.lines.push_back({40, 0, 40, 30, 2, 3});
  f.arcs.push_back({20, 15, 10});
  f.tens.push_back({5, 5});
  f.Text(2, 25, 30, 25, "JWK", 2);
  return f.Build();
}

}  // namespace

std::set<std::pair<int, int>> WriteK4EveryKind(K4Writer& w) {
  std::array<TK4TextStyle, 21> styles{};
  styles[1].hight = 2;
  styles[1].width = 2;
  styles[1].font = u"ＭＳ ゴシック";
  TK4SymbolStyle sym;
  const double dia = 1;
  std::memcpy(sym.form[1].data(), &dia, 8);
  w.Title(u"all").TextStyles(styles).SymbolStyle(sym);
  std::set<std::pair<int, int>> cells;
  const auto cell = [&](int cx, int cy) { cells.insert({cx, cy}); };

  TK4ObjectPoint pt;
  pt.pos = {5, 5};
  w.Point(pt), cell(0, 0);
  K4Line(w, 12, 2, 18, 8), cell(1, 0);
  TK4ObjectLineEx lx;
  lx.p1 = {22, 5};
  lx.p2 = {28, 5};
  lx.edge.mark = {K4Mark(22, 5, 0, 2, 2), K4Mark(28, 5, kPi, 11, 1.5, kPi / 6)};
  w.LineEx(lx), cell(2, 0);
  TK4ObjectCircleEx cx;
  cx.pos = {35, 5};
  cx.r = 3;
  w.Circle(cx), cell(3, 0);
  cx.pos = {45, 5};
  cx.arc = {0, kPi};
  cx.edge.mark = {K4Mark(48, 5, 0, 4, 1), K4Mark(42, 5, 0, 4, 1)};
  w.CircleEx(cx), cell(4, 0);
  TK4ObjectEllipseEx ex;
  ex.pos = {55, 5};
  ex.r = {4, 2};
  w.Ellipse(ex), cell(5, 0);
  ex.pos = {65, 5};
  ex.arc = {0, kPi};
  ex.edge.mark = {K4Mark(69, 5, 0, 18, 1), K4Mark(61, 5, 0, 18, 1)};
  w.EllipseEx(ex), cell(6, 0);
  TK4ObjectTextEx tx;
  tx.pos = {72, 4};
  tx.style = 1;
  tx.text = u"AB";
  w.Text(tx), cell(7, 0);
  tx.pos = {82, 4};
  tx.text = u"CD";
  tx.ex = styles[1];
  w.TextEx(tx), cell(8, 0);
  TK4ObjectBezierEx pl;
  pl.cnt = 3;
  pl.pt = {{91, 2}, {95, 8}, {98, 2}};
  w.Curve(2008, pl), cell(9, 0);
  pl.cnt = 2;
  pl.pt = {{2, 12}, {8, 18}};
  pl.edge.mark = {K4Mark(2, 12, kPi / 4, 12, 1, kPi / 6), K4Mark(8, 18, 5 * kPi / 4, 12, 1, kPi / 6)};
  w.CurveEx(2008, pl), cell(0, 1);
  TK4ObjectBezierEx bz;
  bz.cnt = 4;
  bz.pt = {{12, 12}, {12, 18}, {18, 18}, {18, 12}};
  w.Curve(2017, bz), cell(1, 1);
  bz.pt = {{22, 12}, {22, 18}, {28, 18}, {28, 12}};
  bz.edge.mark = {K4Mark(22, 12, 0, 1, 1), K4Mark(28, 12, 0, 1, 1)};
  w.CurveEx(2017, bz), cell(2, 1);
  TK4ObjectPolygonMapping pg;
  pg.ptn = 2;
  pg.cnt = 3;
  pg.pt = {{32, 12}, {38, 12}, {35, 18}};
  w.Polygon(pg), cell(3, 1);
  TK4ObjectPolygonGrad pgg;
  static_cast<TK4ObjectPolygon&>(pgg) = pg;
  pgg.pt = {{42, 12}, {48, 12}, {45, 18}};
  pgg.grad.typ = 2;
  w.PolygonGrad(pgg), cell(4, 1);
  pg.pt = {{52, 12}, {58, 12}, {55, 18}};
  pg.map.size = {2, 2};
  pg.map.depth = 24;
  pg.map.bmp = std::vector<uint8_t>(16, 0x40);
  w.PolygonMapping(pg), cell(5, 1);
  const Bitmap img(4, 4, 0xFF336699);
  const std::vector<uint8_t> png = Encoded(img, ImageFormat::Png), bmpFile = Encoded(img, ImageFormat::Bmp);
  TK4ObjectBitmapEx bm;
  bm.typ = 2;
  bm.bmp = png;
  bm.byt = static_cast<int32_t>(png.size());
  bm.pos = {{{62, 12}, {68, 12}, {68, 18}, {62, 18}}};
  w.Bitmap(bm), cell(6, 1);
  bm.typ = 12;
  bm.bmp = bmpFile;
  bm.byt = static_cast<int32_t>(bmpFile.size());
  bm.pos = {{{72, 12}, {78, 12}, {78, 18}, {72, 18}}};
  w.BitmapEx(bm), cell(7, 1);
  TK4ObjectSymbol sy;
  sy.sym = K4Mark(85, 15, 0, 19, 4);
  w.Symbol(sy), cell(8, 1);
  TK4ObjectGroup gr;
  gr.cnt = 1;
  w.Group(gr);
  K4Line(w, 92, 12, 98, 18), cell(9, 1);
  return cells;
}

std::vector<Fixture> EveryKindFixtures() {
  K4Writer k4;
  WriteK4EveryKind(k4);
  return {{"every-kind.jww", JwwEveryKind()},
          {"every-kind.jws", JwsEveryKind()},
          {"every-kind.jwc", JwcEveryKind()},
          {"every-kind.jwk", JwkEveryKind()},
          {"every-kind.k4", k4.bytes()}};
}

}  // namespace zumen::test
