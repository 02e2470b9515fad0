#include "support/k4_writer.h"

#include <cstring>
#include <fstream>

#include "common/cp932.h"

namespace zumen::test {

namespace {
template <typename T>
void Put(std::vector<uint8_t>& b, T v) {
  uint8_t tmp[sizeof(T)];
  std::memcpy(tmp, &v, sizeof(T));
  b.insert(b.end(), tmp, tmp + sizeof(T));
}
}  // namespace

K4Bytes& K4Bytes::u8(uint8_t v) { return Put(b, v), *this; }
K4Bytes& K4Bytes::u16(uint16_t v) { return Put(b, v), *this; }
K4Bytes& K4Bytes::i16(int16_t v) { return Put(b, v), *this; }
K4Bytes& K4Bytes::u32(uint32_t v) { return Put(b, v), *this; }
K4Bytes& K4Bytes::i32(int32_t v) { return Put(b, v), *this; }
K4Bytes& K4Bytes::f64(double v) { return Put(b, v), *this; }
K4Bytes& K4Bytes::zeros(size_t n) {
  b.insert(b.end(), n, 0);
  return *this;
}
K4Bytes& K4Bytes::text(size_t n, const std::u16string& s) {
  std::string a = StrToAnsi(s);
  a.resize(n, '\0');
  b.insert(b.end(), a.begin(), a.end());
  return *this;
}
K4Bytes& K4Bytes::rest(const std::u16string& s) {
  const std::string a = StrToAnsi(s);
  b.insert(b.end(), a.begin(), a.end());
  return *this;
}
K4Bytes& K4Bytes::raw(const std::vector<uint8_t>& v) {
  b.insert(b.end(), v.begin(), v.end());
  return *this;
}

K4Writer& K4Writer::Chunk(int16_t tag, int16_t version, const K4Bytes& payload) {
  return ChunkSized(tag, version, static_cast<int32_t>(payload.size()), payload);
}
K4Writer& K4Writer::ChunkSized(int16_t tag, int16_t version, int32_t size, const K4Bytes& payload) {
  out_.i16(tag).i16(version).i32(size).raw(payload.b);
  return *this;
}
K4Writer& K4Writer::Raw(const std::vector<uint8_t>& v) {
  out_.raw(v);
  return *this;
}

K4Writer& K4Writer::Title(const std::u16string& t) { return Chunk(1000, 10, K4Bytes{}.rest(t)); }

K4Writer& K4Writer::Layers(const TK4LayerInfo& li) {
  K4Bytes p;
  p.u8(li.current);
  for (const auto& g : li.grp) {
    p.u8(g.state).u8(g.current).text(17, g.text).f64(g.scale).zeros(128);
    for (const auto& l : g.tab)
      p.u8(l.state).u8(l.attr).u32(l.color).i32(l.reserved).text(257, l.text).text(17, l.module).i32(l.comid).zeros(32);
  }
  return Chunk(1010, 20, p);
}

K4Writer& K4Writer::Paper(const TK4PaperSize& s) {
  return Chunk(1020, 20, K4Bytes{}.u8(s.typ).u8(s.lout).pt(s.size[0]).pt(s.size[1]));
}

K4Writer& K4Writer::TextStyles(const std::array<TK4TextStyle, 21>& s) {
  K4Bytes p;
  for (const auto& t : s) Style(p, t);
  return Chunk(1050, 30, p);
}

K4Writer& K4Writer::SymbolStyle(const TK4SymbolStyle& s) {
  K4Bytes p;
  p.b.resize(sizeof s);
  std::memcpy(p.b.data(), &s, sizeof s);
  return Chunk(1070, 20, p);
}

K4Writer& K4Writer::PrintStyle(const TK4PrintStyle& s) {
  K4Bytes p;
  for (const auto& l : s.ltype)
    for (int32_t v : l) p.i32(v);
  for (int32_t v : s.width) p.i32(v);
  return Chunk(1080, 20, p);
}

void K4Writer::Head(K4Bytes& b, const TK4ObjectHeader& h) { b.i32(h.id).u8(h.cotype).u16(h.attr).u32(h.color); }

void K4Writer::Style(K4Bytes& p, const TK4TextStyle& t) {
  p.text(17, t.style).text(33, t.font).f64(t.hight).f64(t.width).f64(t.spce).pt(t.ofset);
  p.u8(t.penno).u8(t.txattr).u8(t.lfCharSet).u8(t.lfPitchAndFamily).zeros(12).i32(t.count);
}

void K4Writer::SymbolBody(K4Bytes& b, const TK4SymbolBody& s) {
  b.pt(s.pos).f64(s.len).pt(s.o).f64(s.r[0]).f64(s.r[1]).f64(s.elipang).f64(s.angle);
  b.u8(s.style).u8(s.extype).u8(s.exattr).f64(s.param[0]).f64(s.param[1]);
}

void K4Writer::Edge(K4Bytes& b, const TK4ObjectEdge& e) {
  for (const auto& m : e.mark) {
    b.zeros(40);
    SymbolBody(b, m);
  }
}

namespace {
K4Bytes LineBody(const TK4ObjectLine& o) {
  K4Bytes p;
  K4Writer::Head(p, o.head);
  p.pt(o.p1).pt(o.p2);
  return p;
}
K4Bytes CircleBody(const TK4ObjectCircle& o) {
  K4Bytes p;
  K4Writer::Head(p, o.head);
  p.pt(o.pos).f64(o.r).f64(o.arc[0]).f64(o.arc[1]);
  return p;
}
K4Bytes EllipseBody(const TK4ObjectEllipse& o) {
  K4Bytes p;
  K4Writer::Head(p, o.head);
  p.pt(o.pos).f64(o.r[0]).f64(o.r[1]).f64(o.arc[0]).f64(o.arc[1]).f64(o.angle);
  return p;
}
K4Bytes TextBody(const TK4ObjectText& o) {
  K4Bytes p;
  K4Writer::Head(p, o.head);
  p.pt(o.pos).f64(o.angle).u8(o.style).u8(o.base).u8(o.lout).rest(o.text);
  return p;
}
K4Bytes CurveBody(const TK4ObjectBezier& o) {
  K4Bytes p;
  K4Writer::Head(p, o.head);
  p.u8(o.typ).i16(o.cnt);
  for (const auto& q : o.pt) p.pt(q);
  return p;
}
K4Bytes PolygonBody(const TK4ObjectPolygon& o) {
  K4Bytes p;
  K4Writer::Head(p, o.head);
  p.i32(o.ptn).i16(o.cnt);
  for (const auto& q : o.pt) p.pt(q);
  return p;
}
K4Bytes BitmapBody(const TK4ObjectBitmap& o) {
  K4Bytes p;
  K4Writer::Head(p, o.head);
  p.i32(o.byt).i32(o.typ);
  for (const auto& q : o.pos) p.pt(q);
  return p.raw(o.bmp);
}
K4Bytes GroupBody(const TK4ObjectGroup& o) {
  K4Bytes p;
  K4Writer::Head(p, o.head);
  p.raw(std::vector<uint8_t>(o.pos.begin(), o.pos.end())).i32(o.cnt).rest(o.gname);
  return p;
}
std::vector<uint8_t> Vec(const auto& a) { return {a.begin(), a.end()}; }
}  // namespace

K4Writer& K4Writer::Point(const TK4ObjectPoint& o) {
  K4Bytes p;
  Head(p, o.head);
  return Chunk(2001, 20, p.pt(o.pos));
}
K4Writer& K4Writer::Line(const TK4ObjectLine& o) { return Chunk(2002, 20, LineBody(o)); }
K4Writer& K4Writer::LineEx(const TK4ObjectLineEx& o) {
  K4Bytes p = LineBody(o);
  Edge(p, o.edge);
  return Chunk(2002, 30, p);
}
K4Writer& K4Writer::Circle(const TK4ObjectCircle& o) { return Chunk(2003, 20, CircleBody(o)); }
K4Writer& K4Writer::CircleEx(const TK4ObjectCircleEx& o) {
  K4Bytes p = CircleBody(o);
  Edge(p, o.edge);
  return Chunk(2003, 30, p);
}
K4Writer& K4Writer::Ellipse(const TK4ObjectEllipse& o) { return Chunk(2005, 20, EllipseBody(o)); }
K4Writer& K4Writer::EllipseEx(const TK4ObjectEllipseEx& o) {
  K4Bytes p = EllipseBody(o);
  Edge(p, o.edge);
  return Chunk(2005, 30, p);
}
K4Writer& K4Writer::Symbol(const TK4ObjectSymbol& o) {
  K4Bytes p;
  Head(p, o.head);
  SymbolBody(p, o.sym);
  return Chunk(2020, 20, p);
}
K4Writer& K4Writer::Text(const TK4ObjectText& o) { return Chunk(2007, 20, TextBody(o)); }
K4Writer& K4Writer::TextEx(const TK4ObjectTextEx& o) {
  K4Bytes p = TextBody(o);
  Style(p, o.ex);
  return Chunk(2007, 30, p);
}
K4Writer& K4Writer::Curve(int16_t tag, const TK4ObjectBezier& o) { return Chunk(tag, 20, CurveBody(o)); }
K4Writer& K4Writer::CurveEx(int16_t tag, const TK4ObjectBezierEx& o) {
  K4Bytes p = CurveBody(o);
  Edge(p, o.edge);
  return Chunk(tag, 30, p);
}
K4Writer& K4Writer::Polygon(const TK4ObjectPolygon& o) { return Chunk(2009, 40, PolygonBody(o)); }
K4Writer& K4Writer::PolygonGrad(const TK4ObjectPolygonGrad& o) {
  K4Bytes p = PolygonBody(o);
  const auto& g = o.grad;
  p.i32(g.typ).i32(g.reserved).u32(g.col[0]).u32(g.col[1]).pt(g.pos[0]).pt(g.pos[1]).f64(g.angle);
  return Chunk(2009, 50, p);
}
K4Writer& K4Writer::PolygonMapping(const TK4ObjectPolygonMapping& o) {
  K4Bytes p = PolygonBody(o);
  const auto& m = o.map;
  p.i32(m.reserved).pt(m.pos[0]).pt(m.pos[1]).i32(m.size.X).i32(m.size.Y).i32(m.depth);
  std::vector<uint8_t> pe = m.pe;
  pe.resize(1024, 0);
  p.raw(pe).raw(m.bmp);
  return Chunk(2009, 60, p);
}
K4Writer& K4Writer::Bitmap(const TK4ObjectBitmap& o) { return Chunk(2018, 90, BitmapBody(o)); }
K4Writer& K4Writer::BitmapEx(const TK4ObjectBitmapEx& o) {
  K4Bytes p = BitmapBody(o);
  p.raw(o.exdata);
  return Chunk(2018, 91, p);
}
K4Writer& K4Writer::Group(const TK4ObjectGroup& o) { return Chunk(2032, 20, GroupBody(o)); }
K4Writer& K4Writer::GroupDim(const TK4ObjectGroupDim& o) {
  K4Bytes p = GroupBody(o);
  const auto& d = o.dim;
  p.raw(Vec(d.rc)).f64(d.angle).raw(Vec(d.pos)).raw(Vec(d.ang)).f64(d.r).f64(d.funit);
  p.u8(d.base).u8(d.bunit).u8(d.point).u8(d.strip).u8(d.camma).u8(d.jtype);
  Style(p, d.txtstl);
  Style(p, d.epsstl);
  p.zeros(10);
  return Chunk(2032, 30, p);
}
K4Writer& K4Writer::GroupQle(const TK4ObjectGroupQle& o) {
  K4Bytes p = GroupBody(o);
  const auto& a = o.anno;
  p.u8(a.align).u8(a.symb).u8(a.camma).u8(a.jtype).i16(a.line).f64(a.spce).f64(a.angle);
  Style(p, a.txtstl);
  Style(p, a.epsstl);
  p.raw(Vec(a.rc)).f64(a.rcang);
  return Chunk(2032, 40, p);
}
K4Writer& K4Writer::GroupBar(const TK4ObjectGroupBar& o) {
  K4Bytes p = GroupBody(o);
  const auto& b = o.bal;
  p.u8(b.aux).u8(b.symb).f64(b.angle);
  Style(p, b.txtstl);
  p.raw(Vec(b.rc)).f64(b.rcang);
  return Chunk(2032, 50, p);
}

bool K4Writer::Save(const std::string& path) const {
  std::ofstream f(path, std::ios::binary);
  f.write(reinterpret_cast<const char*>(out_.b.data()), static_cast<std::streamsize>(out_.b.size()));
  return static_cast<bool>(f);
}

}  // namespace zumen::test
