#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <vector>

#include "formats/k4/k4data.h"
#include "support/k4_writer.h"

namespace zumen {
namespace {

using test::K4Attr;
using test::K4Bytes;
using test::K4Writer;

TK4ObjectLine MakeLine(double x1, double y1, double x2, double y2, uint16_t attr = 0) {
  TK4ObjectLine l;
  l.head.attr = attr;
  l.p1 = {x1, y1};
  l.p2 = {x2, y2};
  return l;
}

std::string TempPath(const char* name) {
  return (std::filesystem::temp_directory_path() / (std::string("zumen_k4_") + name)).string();
}

TEST(K4Reader, TitleOnlyFile) {
  K4Writer w;
  w.Title(u"plan");
  const std::string path = TempPath("title.k4");
  ASSERT_TRUE(w.Save(path));
  TK4Data k;
  EXPECT_TRUE(k.FileCheck(path));
  EXPECT_EQ(k.Title, u"plan");
  k.DataFree();
  EXPECT_TRUE(k.FileIn(path));
  EXPECT_EQ(k.Title, u"plan");
  EXPECT_EQ(k.EntN, 0);
  std::remove(path.c_str());
}

TEST(K4Reader, EmptyTitleChunk) {
  K4Writer w;
  w.Title(u"");
  TK4Data k;
  k.Title = u"old";
  EXPECT_TRUE(k.MemIn(w.bytes()));
  EXPECT_EQ(k.Title, u"");
}

TEST(K4Reader, TitleOf300BytesFailsCheckButIsRead) {
  const std::u16string title(300, u'T');
  K4Writer w;
  w.Title(title).Line(MakeLine(0, 0, 1, 1));
  const std::string path = TempPath("long.k4");
  ASSERT_TRUE(w.Save(path));
  TK4Data k;
  EXPECT_FALSE(k.FileCheck(path));
  EXPECT_TRUE(k.FileIn(path));
  EXPECT_EQ(k.Title, title);
  EXPECT_EQ(k.lnN, 1);
  std::remove(path.c_str());
}

TEST(K4Reader, FileCheckRefusesOtherFiles) {
  TK4Data k;
  EXPECT_FALSE(k.FileCheck(TempPath("missing.k4")));
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  };
  K4Writer wrongTag, wrongVersion, negative, shortTitle;
  wrongTag.Chunk(1010, 10, K4Bytes{});
  wrongVersion.Chunk(1000, 20, K4Bytes{});
  negative.ChunkSized(1000, 10, -1, K4Bytes{});
  shortTitle.ChunkSized(1000, 10, 20, K4Bytes{}.zeros(5));
  const Case cases[] = {{"short", {0xE8, 0x03, 0x0A, 0x00, 0x00}},
                        {"tag", wrongTag.bytes()},
                        {"version", wrongVersion.bytes()},
                        {"negative", negative.bytes()},
                        {"truncated title", shortTitle.bytes()}};
  for (const auto& c : cases) {
    K4Writer w;
    w.Raw(c.bytes);
    const std::string path = TempPath("check.k4");
    ASSERT_TRUE(w.Save(path));
    EXPECT_FALSE(k.FileCheck(path)) << c.name;
    std::remove(path.c_str());
  }
}

TEST(K4Reader, HeaderChunksInAnyOrderLaterOnesWin) {
  TK4PaperSize a, b;
  a.typ = 4;
  a.size[1] = {297, 210};
  b.typ = 2;
  b.lout = 1;
  b.size[1] = {594, 420};
  TK4LayerInfo li;
  li.grp[3].state = 1;
  li.grp[3].scale = 0.5;
  li.grp[3].text = u"G3";
  li.grp[3].tab[7].state = 0;
  li.grp[3].tab[7].text = u"layer name";
  li.grp[15].tab[16].comid = 77;
  K4Writer w;
  w.Title(u"t").Paper(a).Chunk(1234, 5, K4Bytes{}.zeros(9)).Layers(li).Paper(b).Line(MakeLine(0, 0, 5, 5));
  TK4Data k;
  ASSERT_TRUE(k.MemIn(w.bytes()));
  EXPECT_EQ(k.psz.typ, 2);
  EXPECT_EQ(k.psz.lout, 1);
  EXPECT_DOUBLE_EQ(k.psz.size[1].X, 594);
  EXPECT_EQ(k.li.grp[3].state, 1);
  EXPECT_DOUBLE_EQ(k.li.grp[3].scale, 0.5);
  EXPECT_EQ(k.li.grp[3].text, u"G3");
  EXPECT_EQ(k.li.grp[3].tab[7].state, 0);
  EXPECT_EQ(k.li.grp[3].tab[7].text, u"layer name");
  EXPECT_EQ(k.li.grp[15].tab[16].comid, 77);
  EXPECT_EQ(k.li.grp[0].state, 2);
  EXPECT_EQ(k.lnN, 1);
}

TEST(K4Reader, FirstChunkMustBeKnown) {
  K4Writer w;
  w.Chunk(1234, 5, K4Bytes{}).Title(u"t");
  TK4Data k;
  EXPECT_FALSE(k.MemIn(w.bytes()));
  EXPECT_EQ(k.Title, u"");
}

TEST(K4Reader, UnknownObjectChunksAreSkipped) {
  K4Writer w;
  w.Title(u"t").Line(MakeLine(0, 0, 1, 0)).Chunk(2002, 99, K4Bytes{}.zeros(43)).Chunk(1000, 10, K4Bytes{}.rest(u"x"));
  w.Chunk(5000, 1, K4Bytes{}.zeros(3)).Line(MakeLine(0, 0, 2, 0));
  TK4Data k;
  ASSERT_TRUE(k.MemIn(w.bytes()));
  EXPECT_EQ(k.Title, u"t");  // a header chunk among the objects is not read
  ASSERT_EQ(k.EntN, 2);
  EXPECT_DOUBLE_EQ(k.ln[1].p2.X, 2);
}

TEST(K4Reader, DefaultsAfterDataInit) {
  TK4Data k;
  k.DataFree();
  EXPECT_EQ(k.psz.typ, 3);
  EXPECT_DOUBLE_EQ(k.psz.size[1].X, 420);
  EXPECT_DOUBLE_EQ(k.psz.size[1].Y, 297);
  EXPECT_EQ(k.gi.dv.X, 5);
  EXPECT_EQ(k.gi.snapmain, 1);
  EXPECT_EQ(k.prnstl.width[9], 1);
  EXPECT_DOUBLE_EQ(k.viewinfo[31].zoom, 1.0);
  EXPECT_EQ(k.li.grp[15].tab[16].state, 2);
  EXPECT_DOUBLE_EQ(k.li.grp[15].scale, 1.0);
}

// One object of every kind, read back field by field.
TEST(K4Reader, EveryObjectKind) {
  TK4ObjectHeader h{7, 1, K4Attr(2, 3, 4, 5), 0x00123456};
  TK4ObjectEdge edge;
  edge.mark[0].pos = {1, 2};
  edge.mark[0].style = 11;
  edge.mark[1].param = {3.5, 0.5};
  edge.mark[1].extype = 4;
  K4Writer w;
  w.Title(u"all");
  TK4ObjectPoint p{h, {3, 4}};
  w.Point(p);
  TK4ObjectLineEx lx;
  static_cast<TK4ObjectLine&>(lx) = MakeLine(1, 2, 3, 4);
  lx.head = h;
  lx.edge = edge;
  w.Line(MakeLine(5, 6, 7, 8)).LineEx(lx);
  TK4ObjectCircleEx cx;
  cx.head = h;
  cx.pos = {10, 11};
  cx.r = 4;
  cx.arc = {0.5, 1.5};
  cx.edge = edge;
  w.Circle(cx).CircleEx(cx);
  TK4ObjectEllipseEx ex;
  ex.head = h;
  ex.pos = {1, 1};
  ex.r = {6, 3};
  ex.arc = {0, 2};
  ex.angle = 0.25;
  ex.edge = edge;
  w.Ellipse(ex).EllipseEx(ex);
  TK4ObjectSymbol sy{h, edge.mark[0]};
  w.Symbol(sy);
  TK4ObjectTextEx tx;
  tx.head = h;
  tx.pos = {2, 3};
  tx.angle = 0.1;
  tx.style = 4;
  tx.lout = 1;
  tx.text = u"文字abc";
  tx.ex.style = u"st";
  tx.ex.font = u"ＭＳ ゴシック";
  tx.ex.hight = 3.5;
  tx.ex.penno = 6;
  tx.ex.count = 9;
  w.Text(tx).TextEx(tx);
  TK4ObjectBezierEx bz;
  bz.head = h;
  bz.typ = 2;
  bz.cnt = 4;
  bz.pt = {{0, 0}, {1, 2}, {3, 2}, {4, 0}};
  bz.edge = edge;
  w.Curve(2008, bz).CurveEx(2008, bz).Curve(2017, bz).CurveEx(2017, bz);
  TK4ObjectPolygonGrad pg;
  pg.head = h;
  pg.ptn = 3;
  pg.cnt = 3;
  pg.pt = {{0, 0}, {10, 0}, {0, 10}};
  pg.grad = {1, 0, {0x0000FF, 0xFF0000}, {{{0, 0}, {10, 10}}}, 0.5};
  w.Polygon(pg).PolygonGrad(pg);
  TK4ObjectPolygonMapping pm;
  static_cast<TK4ObjectPolygon&>(pm) = pg;
  pm.map.size = {2, 1};
  pm.map.depth = 24;
  pm.map.bmp = {1, 2, 3, 4, 5, 6, 0, 0};
  w.PolygonMapping(pm);
  TK4ObjectBitmapEx bx;
  bx.head = h;
  bx.typ = 2;
  bx.bmp = {9, 8, 7};
  bx.byt = 3;
  bx.pos = {{{0, 0}, {4, 0}, {4, 3}, {0, 3}}};
  bx.exdata = {1, 1};
  w.Bitmap(bx).BitmapEx(bx);
  TK4ObjectGroupDim gd;
  gd.head = h;
  gd.cnt = 0;
  gd.gname = u"dim";
  gd.dim.r = 2.5;
  gd.dim.txtstl.hight = 5;
  w.Group(gd).GroupDim(gd);
  TK4ObjectGroupQle gq;
  gq.gname = u"anno";
  gq.anno.line = 3;
  gq.anno.rcang = 1.25;
  w.GroupQle(gq);
  TK4ObjectGroupBar gb;
  gb.gname = u"bal";
  gb.bal.symb = 2;
  gb.bal.txtstl.font = u"f";
  gb.bal.rcang = -1;
  w.GroupBar(gb);

  TK4Data k;
  ASSERT_TRUE(k.MemIn(w.bytes()));
  const std::vector<int32_t> kinds = {kK4Point, kK4Line, kK4LineEx, kK4Circle, kK4CircleEx, kK4Ellipse,
                                      kK4EllipseEx, kK4Symbol, kK4Text, kK4TextEx, kK4Polyline,
                                      kK4PolylineEx, kK4Bezier, kK4BezierEx, kK4Polygon, kK4PolygonGrad,
                                      kK4PolygonMapping, kK4Bitmap, kK4BitmapEx, kK4Group, kK4GroupDim,
                                      kK4GroupQle, kK4GroupBar};
  ASSERT_EQ(k.EntN, static_cast<int32_t>(kinds.size()));
  for (size_t i = 0; i < kinds.size(); ++i) {
    EXPECT_EQ(k.Ent[i].INo, kinds[i]) << i;
    EXPECT_EQ(k.Ent[i].ENo, 0) << i;
  }
  EXPECT_EQ(k.pt[0].head.id, 7);
  EXPECT_EQ(k.pt[0].head.attr, K4Attr(2, 3, 4, 5));
  EXPECT_EQ(k.pt[0].head.color, 0x00123456u);
  EXPECT_DOUBLE_EQ(k.pt[0].pos.Y, 4);
  EXPECT_DOUBLE_EQ(k.ln[0].p2.Y, 8);
  EXPECT_DOUBLE_EQ(k.lnx[0].p1.X, 1);
  EXPECT_DOUBLE_EQ(k.lnx[0].edge.mark[0].pos.Y, 2);
  EXPECT_EQ(k.lnx[0].edge.mark[0].style, 11);
  EXPECT_DOUBLE_EQ(k.lnx[0].edge.mark[1].param[0], 3.5);
  EXPECT_EQ(k.lnx[0].edge.mark[1].extype, 4);
  EXPECT_DOUBLE_EQ(k.cr[0].arc[1], 1.5);
  EXPECT_DOUBLE_EQ(k.crx[0].r, 4);
  EXPECT_EQ(k.crx[0].edge.mark[0].style, 11);
  EXPECT_DOUBLE_EQ(k.ep[0].r[1], 3);
  EXPECT_DOUBLE_EQ(k.epx[0].angle, 0.25);
  EXPECT_DOUBLE_EQ(k.epx[0].edge.mark[1].param[1], 0.5);
  EXPECT_EQ(k.sy[0].sym.style, 11);
  EXPECT_EQ(k.tx[0].text, u"文字abc");
  EXPECT_EQ(k.tx[0].style, 4);
  EXPECT_EQ(k.tx[0].lout, 1);
  EXPECT_EQ(k.txx[0].text, u"文字abc");
  EXPECT_EQ(k.txx[0].ex.font, u"ＭＳ ゴシック");
  EXPECT_DOUBLE_EQ(k.txx[0].ex.hight, 3.5);
  EXPECT_EQ(k.txx[0].ex.penno, 6);
  EXPECT_EQ(k.txx[0].ex.count, 9);
  const std::vector<const TK4ObjectBezier*> curves = {&k.pl[0], &k.plx[0], &k.bz[0], &k.bzx[0]};
  for (const auto* c : curves) {
    EXPECT_EQ(c->typ, 2);
    EXPECT_EQ(c->cnt, 4);
    ASSERT_EQ(c->pt.size(), 4u);
    EXPECT_DOUBLE_EQ(c->pt[2].X, 3);
  }
  EXPECT_EQ(k.bzx[0].edge.mark[1].extype, 4);
  EXPECT_EQ(k.plx[0].edge.mark[0].style, 11);
  EXPECT_EQ(k.pg[0].ptn, 3);
  ASSERT_EQ(k.pgg[0].pt.size(), 3u);
  EXPECT_EQ(k.pgg[0].grad.typ, 1);
  EXPECT_EQ(k.pgg[0].grad.col[1], 0xFF0000u);
  EXPECT_DOUBLE_EQ(k.pgg[0].grad.pos[1].X, 10);
  EXPECT_DOUBLE_EQ(k.pgg[0].grad.angle, 0.5);
  EXPECT_EQ(k.pgm[0].map.size.X, 2);
  EXPECT_EQ(k.pgm[0].map.depth, 24);
  EXPECT_EQ(k.pgm[0].map.pe.size(), 1024u);
  EXPECT_EQ(k.pgm[0].map.bmp, pm.map.bmp);
  EXPECT_EQ(k.bm[0].bmp, bx.bmp);
  EXPECT_EQ(k.bm[0].typ, 2);
  EXPECT_DOUBLE_EQ(k.bm[0].pos[2].Y, 3);
  EXPECT_EQ(k.bmx[0].exdata, bx.exdata);
  EXPECT_EQ(k.gr[0].gname, u"dim");
  EXPECT_EQ(k.grdim[0].gname, u"dim");
  EXPECT_DOUBLE_EQ(k.grdim[0].dim.r, 2.5);
  EXPECT_DOUBLE_EQ(k.grdim[0].dim.txtstl.hight, 5);
  EXPECT_EQ(k.grqle[0].gname, u"anno");
  EXPECT_EQ(k.grqle[0].anno.line, 3);
  EXPECT_DOUBLE_EQ(k.grqle[0].anno.rcang, 1.25);
  EXPECT_EQ(k.grbar[0].gname, u"bal");
  EXPECT_EQ(k.grbar[0].bal.txtstl.font, u"f");
  EXPECT_DOUBLE_EQ(k.grbar[0].bal.rcang, -1);
  const auto counts = k.KindCounts();
  EXPECT_EQ(counts.size(), 23u);
  for (const auto& [name, n] : counts) EXPECT_EQ(n, 1) << name;
}

TEST(K4Reader, GroupClaimsTheNextCntObjects) {
  TK4ObjectGroup g;
  g.cnt = 3;
  K4Writer w;
  w.Title(u"g").Line(MakeLine(0, 0, 1, 1)).Group(g);
  for (int i = 0; i < 5; ++i) w.Line(MakeLine(0, 0, i, 1));
  TK4Data k;
  ASSERT_TRUE(k.MemIn(w.bytes()));
  ASSERT_EQ(k.EntN, 7);
  EXPECT_EQ(k.Ent[1].grpid, 0);  // the group itself belongs to no group
  for (int i = 0; i < 3; ++i) {
    const auto& e = k.Ent[2 + static_cast<size_t>(i)];
    EXPECT_EQ(e.grpid, kK4Group);
    EXPECT_EQ(e.grpen, 0);
    EXPECT_EQ(e.grpno, i);
  }
  EXPECT_EQ(k.Ent[5].grpid, 0);
  EXPECT_EQ(k.Ent[6].grpid, 0);
  EXPECT_EQ(k.CurGrpId, 0);
}

TEST(K4Reader, GroupsDoNotNestAndCntZeroClaimsOne) {
  TK4ObjectGroup g0, g2;
  g0.cnt = 0;
  g2.cnt = 2;
  TK4ObjectGroupBar bar;
  bar.cnt = 5;
  K4Writer w;
  w.Title(u"g").Group(g0).Line(MakeLine(0, 0, 1, 1)).Line(MakeLine(0, 0, 1, 1));
  w.GroupBar(bar).Line(MakeLine(0, 0, 1, 1)).Group(g2).Line(MakeLine(0, 0, 1, 1));
  TK4Data k;
  ASSERT_TRUE(k.MemIn(w.bytes()));
  ASSERT_EQ(k.EntN, 7);
  EXPECT_EQ(k.Ent[1].grpid, kK4Group);  // claimed by the group of cnt 0
  EXPECT_EQ(k.Ent[1].grpno, 0);
  EXPECT_EQ(k.Ent[2].grpid, 0);
  EXPECT_EQ(k.Ent[4].grpid, kK4GroupBar);
  EXPECT_EQ(k.Ent[5].grpid, kK4GroupBar);  // the inner group is a member of the outer one
  EXPECT_EQ(k.Ent[5].grpno, 1);
  EXPECT_EQ(k.Ent[6].grpid, kK4Group);  // ... and replaces it
  EXPECT_EQ(k.Ent[6].grpen, 1);
  EXPECT_EQ(k.Ent[6].grpno, 0);
}

TEST(K4Reader, SecondTextStyleKeptOnlyWhenNamed) {
  std::array<TK4TextStyle, 21> styles{};
  styles[5].style = u"known";
  TK4ObjectGroupDim named, unnamed;
  named.dim.epsstl.style = u"known";
  named.dim.epsstl.hight = 2;
  unnamed.dim.epsstl.style = u"other";
  unnamed.dim.epsstl.hight = 2;
  TK4ObjectGroupQle anno;
  anno.anno.epsstl.style = u"other";
  anno.anno.epsstl.width = 1;
  K4Writer w;
  w.Title(u"s").TextStyles(styles).GroupDim(named).GroupDim(unnamed).GroupQle(anno);
  TK4Data k;
  ASSERT_TRUE(k.MemIn(w.bytes()));
  EXPECT_EQ(k.txtstl[5].style, u"known");
  EXPECT_DOUBLE_EQ(k.grdim[0].dim.epsstl.hight, 2);
  EXPECT_EQ(k.grdim[1].dim.epsstl.style, u"");
  EXPECT_DOUBLE_EQ(k.grdim[1].dim.epsstl.hight, 0);
  EXPECT_DOUBLE_EQ(k.grqle[0].anno.epsstl.width, 0);
}

TEST(K4Reader, ArraysGrowInStepsOf100) {
  K4Writer w;
  w.Title(u"n");
  for (int i = 0; i < 101; ++i) w.Line(MakeLine(i, 0, i, 1));
  TK4Data k;
  ASSERT_TRUE(k.MemIn(w.bytes()));
  EXPECT_EQ(k.lnN, 101);
  EXPECT_EQ(k.ln.size(), 200u);
  EXPECT_EQ(k.Ent.size(), 200u);
  EXPECT_DOUBLE_EQ(k.ln[100].p1.X, 100);
  EXPECT_EQ(k.Ent[100].ENo, 100);
}

TEST(K4Reader, CurveCountRules) {
  TK4ObjectBezier none, tooMany;
  none.cnt = 0;
  tooMany.cnt = 1000;
  tooMany.pt = {{1, 1}, {2, 2}};
  TK4ObjectBezier negative;
  negative.cnt = -4;
  negative.pt = {{5, 6}};
  K4Writer w;
  w.Title(u"c").Curve(2017, none).Curve(2017, tooMany).Curve(2008, negative);
  TK4ObjectPolygonMapping pm;
  pm.cnt = 500;  // far more than stored: the pixel block is what follows the points
  pm.pt = {{0, 0}, {1, 0}, {0, 1}};
  pm.map.bmp = {1, 2, 3};
  w.PolygonMapping(pm);
  TK4Data k;
  ASSERT_TRUE(k.MemIn(w.bytes()));
  EXPECT_EQ(k.bz[0].cnt, 1);
  ASSERT_EQ(k.bz[0].pt.size(), 1u);
  EXPECT_EQ(k.bz[1].cnt, 1000);
  EXPECT_EQ(k.bz[1].pt.size(), 2u);
  EXPECT_EQ(k.pl[0].cnt, 1);
  ASSERT_EQ(k.pl[0].pt.size(), 1u);
  EXPECT_DOUBLE_EQ(k.pl[0].pt[0].Y, 6);
  // Only the points the payload holds: 3 written and 70 bytes-worth of mapping behind them.
  EXPECT_EQ(k.pgm[0].pt.size(), (3 * 16 + 1072 + 3) / 16u);
  EXPECT_TRUE(k.pgm[0].map.bmp.empty());
}

TEST(K4Reader, TextExOfSize148HasEmptyTextAndFullStyle) {
  TK4ObjectTextEx t;
  t.ex.font = u"Arial";
  t.ex.count = 3;
  K4Writer w;
  w.Title(u"t").TextEx(t);
  TK4Data k;
  ASSERT_TRUE(k.MemIn(w.bytes()));
  ASSERT_EQ(k.txxN, 1);
  EXPECT_EQ(k.txx[0].text, u"");
  EXPECT_EQ(k.txx[0].ex.font, u"Arial");
  EXPECT_EQ(k.txx[0].ex.count, 3);
}

// Sizes that lie: every one is read within its payload and the file.
TEST(K4Reader, HostileSizes) {
  K4Writer w;
  w.Title(u"h");
  // A line payload longer than its record: the extra bytes are ignored.
  K4Bytes longLine;
  K4Writer::Head(longLine, TK4ObjectHeader{});
  longLine.f64(1).f64(2).f64(3).f64(4).zeros(100);
  w.Chunk(2002, 20, longLine);
  // A point payload shorter than its record: the missing y stays 0.
  K4Bytes shortPoint;
  K4Writer::Head(shortPoint, TK4ObjectHeader{});
  shortPoint.f64(9).u8(1);
  w.Chunk(2001, 20, shortPoint);
  // A bitmap claiming more image bytes than its payload holds.
  K4Bytes bmp;
  K4Writer::Head(bmp, TK4ObjectHeader{});
  bmp.i32(0x7FFFFFFF).i32(2).zeros(64).u8(5).u8(6);
  w.Chunk(2018, 91, bmp);
  // A text whose declared size runs past the end of the file.
  K4Bytes text;
  K4Writer::Head(text, TK4ObjectHeader{});
  text.f64(0).f64(0).f64(0).u8(0).u8(0).u8(0).rest(u"cut");
  w.ChunkSized(2007, 20, 1000000, text);
  TK4Data k;
  EXPECT_TRUE(k.MemIn(w.bytes()));
  ASSERT_EQ(k.EntN, 4);
  EXPECT_DOUBLE_EQ(k.ln[0].p2.Y, 4);
  EXPECT_DOUBLE_EQ(k.pt[0].pos.X, 9);
  EXPECT_DOUBLE_EQ(k.pt[0].pos.Y, 0);
  EXPECT_EQ(k.bmx[0].bmp, (std::vector<uint8_t>{5, 6}));
  EXPECT_TRUE(k.bmx[0].exdata.empty());
  EXPECT_EQ(k.tx[0].text, u"cut");
}

TEST(K4Reader, NegativeChunkSizeEndsTheWalk) {
  K4Writer w;
  w.Title(u"n").Line(MakeLine(0, 0, 1, 1)).ChunkSized(2002, 20, -8, K4Bytes{}).Line(MakeLine(0, 0, 2, 2));
  TK4Data k;
  EXPECT_FALSE(k.MemIn(w.bytes()));
  EXPECT_EQ(k.lnN, 1);
  EXPECT_FALSE(k.LastError().empty());

  K4Writer h;
  h.Title(u"n").ChunkSized(1020, 20, -100, K4Bytes{});
  TK4Data k2;
  EXPECT_FALSE(k2.MemIn(h.bytes()));
  EXPECT_EQ(k2.Title, u"n");
}

// The objects are read only when the position after the head of the first
// object chunk lies before the end of the file.
TEST(K4Reader, ObjectChunkWhoseHeadEndsTheFileIsNotRead) {
  struct Case {
    const char* what;
    std::vector<uint8_t> tail;
    int entities;
  };
  const Case cases[] = {
      {"empty point chunk ending the file", {}, 0},
      {"one byte after it", {0}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    K4Writer w;
    w.Title(u"e").Chunk(2001, 20, K4Bytes{}).Raw(c.tail);
    TK4Data k;
    EXPECT_TRUE(k.MemIn(w.bytes()));
    EXPECT_EQ(k.EntN, c.entities);
    EXPECT_EQ(k.ptN, c.entities);
  }
}

TEST(K4Reader, TrailingBytesShorterThanAChunkHead) {
  K4Writer w;
  w.Title(u"n").Line(MakeLine(0, 0, 1, 1)).Raw({0xD2, 0x07, 0x14});
  TK4Data k;
  EXPECT_TRUE(k.MemIn(w.bytes()));
  EXPECT_EQ(k.EntN, 1);
}

}  // namespace
}  // namespace zumen
