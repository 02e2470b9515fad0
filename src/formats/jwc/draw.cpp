#include "formats/jwc/draw.h"

#include <cmath>
#include <numbers>

namespace zumen {

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
// The font of every JWC and JWK text.
constexpr std::u16string_view kFont = u"ＭＳ ゴシック";

}  // namespace

void JwcDrawLine(TGraph2& g, bool dispmode, uint32_t dcol, const TEntJwcLine& e, double scale) {
  if (dispmode) g.GLSetDT();
  g.GLPenSet(e.lay, e.col, e.typ, g.Ctx.GAtt.GetAttrColwid(e.col), dcol);
  const double x1 = e.x1 / scale, y1 = e.y1 / scale, x2 = e.x2 / scale, y2 = e.y2 / scale;
  if (dispmode) {
    g.GLLineDT(e.lay, e.typ, x1, y1, x2, y2);
  } else {
    g.GLLine(x1, y1, x2, y2);
  }
}

void JwcDrawArc(TGraph2& g, bool dispmode, uint32_t dcol, const TEntJwcArc2& e, double scale) {
  if (dispmode) g.GLSetDT();  // the pattern starts afresh on every arc, as on every line
  g.GLPenSet(e.lay, e.col, e.typ, g.Ctx.GAtt.GetAttrColwid(e.col), dcol);
  // The sweep taken into [0, 360]; an empty or whole turn is a full ellipse.
  double d = std::fmod(double{e.et} - e.st, 360.0);
  if (d < 0) d += 360.0;
  const bool full = std::fabs(d) < 1e-14 || std::fabs(d - 360.0) < 1e-14;
  const double a = e.tt * kDeg;
  const double cx = e.x / scale, cy = e.y / scale, r = e.r / scale;
  const double sa = full ? 0.0 : e.st * kDeg;
  const double da = full ? 2 * std::numbers::pi : d * kDeg;
  if (dispmode) {
    g.GLEllipseArcDT(e.lay, e.typ, cx, cy, r, e.h, a, sa, da);
  } else if (full) {
    g.GLEllipse(cx, cy, r, e.h, a);
  } else {
    g.GLEllipseArc(cx, cy, r, e.h, a, sa, da);
  }
}

void JwcDrawMoji(TGraph2& g, uint32_t dcol, const TEntJwcMoji2& e, const TEntJwcMojiType* t, double scale) {
  if (t == nullptr) return;
  g.GLPenSet(e.lay, t->penNo, 1, 0, dcol);
  double h = t->height * 0.1, w = t->width * 0.1;
  const double sp = t->dist * 0.1;
  std::u16string font(kFont);
  if (e.flg1 & 0x20) {  // vertical writing
    std::swap(h, w);
    font = u"@" + font;
  }
  g.GLAText3(e.x1 / scale, e.y1 / scale, e.x2 / scale, e.y2 / scale, h, w, sp, 0, font, e.s);
}

void JwcDrawTen(TGraph2& g, uint32_t dcol, const TEntJwcTen& e, double scale) {
  g.GLTenMarker(e.x / scale, e.y / scale, 0, 0, 0.0, 1.0, e.lay, e.col, 0, dcol);
}

const TEntJwcMojiType* JwcMojiType(std::span<const TEntJwcMojiType> table, int no) {
  if (no < 0 || static_cast<size_t>(no) >= table.size()) return nullptr;
  return &table[static_cast<size_t>(no)];
}

}  // namespace zumen
