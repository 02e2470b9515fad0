#pragma once
// Writes K4 drawings for tests: chunks with any tag, version and declared
// size, and the payloads of the header and object records built from the
// model's own record types.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/k4/k4types.h"

namespace zumen::test {

// Little-endian byte builder.
struct K4Bytes {
  std::vector<uint8_t> b;
  K4Bytes& u8(uint8_t v);
  K4Bytes& u16(uint16_t v);
  K4Bytes& i16(int16_t v);
  K4Bytes& u32(uint32_t v);
  K4Bytes& i32(int32_t v);
  K4Bytes& f64(double v);
  K4Bytes& pt(const TDPoint& p) { return f64(p.X).f64(p.Y); }
  K4Bytes& zeros(size_t n);
  // A fixed text field of n bytes (code page 932, zero padded, cut at n).
  K4Bytes& text(size_t n, const std::u16string& s);
  // Bytes of the text without terminator (a rest text).
  K4Bytes& rest(const std::u16string& s);
  K4Bytes& raw(const std::vector<uint8_t>& v);
  size_t size() const { return b.size(); }
};

class K4Writer {
 public:
  // A chunk whose size field is the payload's length.
  K4Writer& Chunk(int16_t tag, int16_t version, const K4Bytes& payload);
  // A chunk whose size field says `size`, whatever follows.
  K4Writer& ChunkSized(int16_t tag, int16_t version, int32_t size, const K4Bytes& payload);
  K4Writer& Raw(const std::vector<uint8_t>& v);

  // Header chunks.
  K4Writer& Title(const std::u16string& t);  // 1000/10
  K4Writer& Layers(const TK4LayerInfo& li);  // 1010/20
  K4Writer& Paper(const TK4PaperSize& p);    // 1020/20
  K4Writer& TextStyles(const std::array<TK4TextStyle, 21>& s);  // 1050/30
  K4Writer& SymbolStyle(const TK4SymbolStyle& s);               // 1070/20
  K4Writer& PrintStyle(const TK4PrintStyle& s);                 // 1080/20

  // Object chunks.
  K4Writer& Point(const TK4ObjectPoint& o);
  K4Writer& Line(const TK4ObjectLine& o);
  K4Writer& LineEx(const TK4ObjectLineEx& o);
  K4Writer& Circle(const TK4ObjectCircle& o);
  K4Writer& CircleEx(const TK4ObjectCircleEx& o);
  K4Writer& Ellipse(const TK4ObjectEllipse& o);
  K4Writer& EllipseEx(const TK4ObjectEllipseEx& o);
  K4Writer& Symbol(const TK4ObjectSymbol& o);
  K4Writer& Text(const TK4ObjectText& o);
  K4Writer& TextEx(const TK4ObjectTextEx& o);
  // Polyline (tag 2008) or Bezier curve (tag 2017); the points written are
  // `o.pt`, the count field is `o.cnt`.
  K4Writer& Curve(int16_t tag, const TK4ObjectBezier& o);
  K4Writer& CurveEx(int16_t tag, const TK4ObjectBezierEx& o);
  K4Writer& Polygon(const TK4ObjectPolygon& o);
  K4Writer& PolygonGrad(const TK4ObjectPolygonGrad& o);
  K4Writer& PolygonMapping(const TK4ObjectPolygonMapping& o);
  K4Writer& Bitmap(const TK4ObjectBitmap& o);
  K4Writer& BitmapEx(const TK4ObjectBitmapEx& o);
  K4Writer& Group(const TK4ObjectGroup& o);
  K4Writer& GroupDim(const TK4ObjectGroupDim& o);
  K4Writer& GroupQle(const TK4ObjectGroupQle& o);
  K4Writer& GroupBar(const TK4ObjectGroupBar& o);

  // Payload pieces.
  static void Head(K4Bytes& b, const TK4ObjectHeader& h);
  static void Style(K4Bytes& b, const TK4TextStyle& s);
  static void SymbolBody(K4Bytes& b, const TK4SymbolBody& s);
  static void Edge(K4Bytes& b, const TK4ObjectEdge& e);

  const std::vector<uint8_t>& bytes() const { return out_.b; }
  // Writes the drawing to a file; false when it cannot.
  bool Save(const std::string& path) const;

 private:
  K4Bytes out_;
};

// An attribute word from its four parts.
inline uint16_t K4Attr(int ly, int lg, int co, int ty) {
  return static_cast<uint16_t>((ly & 15) << 12 | (lg & 15) << 8 | (co & 15) << 4 | (ty & 15));
}

}  // namespace zumen::test
