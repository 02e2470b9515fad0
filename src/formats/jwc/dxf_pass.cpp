// The DXF pass of JWC drawings and JWK symbols.
#include "formats/jwc/dxf_pass.h"

#include <cmath>
#include <functional>
#include <numbers>
#include <span>

#include "dxf_jw/jw_dxf.h"
#include "formats/jwc/lowering.h"

namespace zumen {

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr std::u16string_view kFont = u"ＭＳ ゴシック";

// The entities both formats share, the records read (not what the header
// announced).
struct JwcLists {
  std::span<const TEntJwcLine> lines;
  std::span<const TEntJwcArc2> arcs;
  std::span<const TEntJwcMoji2> texts;
  std::span<const TEntJwcTen> points;
  std::span<const TEntJwcMojiType> types;
};

// How a layer's stored coordinates become millimetres of the drawing
// (coord), how its paper sizes do (text), and the scale its text macros print.
struct JwcUnits {
  std::function<double(int lay)> coord, text, lgScale;
};

template <class T>
std::span<const T> Read(const std::vector<T>& v, int32_t n) {
  return std::span<const T>(v).first(std::min(v.size(), static_cast<size_t>(std::max(0, n))));
}

void Export(JwDxf& jw, const JwcLists& l, const JwcUnits& u) {
  TgraAttribute& att = jw.ctx().GAtt;
  const bool hojo = att.GetDispHojo();
  auto& out = jw.doc().entities;
  for (const TEntJwcLine& e : l.lines) {
    if (!hojo && e.typ == 9) continue;
    const double s = u.coord(e.lay);
    out.push_back(dxf::Line{jw.LineProps(e.lay, e.col, e.typ, att.GetAttrColwid(e.col), u.text(e.lay)),
                            {e.x1 * s, e.y1 * s}, {e.x2 * s, e.y2 * s}});
  }
  for (const TEntJwcArc2& e : l.arcs) {
    if (!hojo && e.typ == 9) continue;
    double d = std::fmod(double{e.et} - e.st, 360.0);
    if (d < 0) d += 360.0;
    const bool full = std::fabs(d) < 1e-14 || std::fabs(d - 360.0) < 1e-14;
    JwDxf::AddCurve(out, jw.LineProps(e.lay, e.col, e.typ, att.GetAttrColwid(e.col), u.text(e.lay)), e.x, e.y, e.r,
                    e.h, e.tt * kDeg, full ? 0.0 : e.st * kDeg, full ? 2 * std::numbers::pi : d * kDeg, full,
                    u.coord(e.lay));
  }
  for (const TEntJwcMoji2& e : l.texts) {
    const TEntJwcMojiType* t = JwcMojiType(l.types, e.no);
    if (!t) continue;
    jw.ctx().LgScale = u.lgScale(e.lay);
    double h = t->height * 0.1, w = t->width * 0.1;
    std::u16string font(kFont);
    if (e.flg1 & 0x20) {
      std::swap(h, w);
      font = u"@" + font;
    }
    // Laid out on paper (the drawing pass's units), then scaled to the drawing.
    const double k = u.coord(e.lay) / u.text(e.lay);
    jw.AddText(out, jw.PenProps(e.lay, t->penNo), e.x1 * k, e.y1 * k, e.x2 * k, e.y2 * k, h, w, t->dist * 0.1, 0,
               font, e.s, u.text(e.lay));
  }
  for (const TEntJwcTen& e : l.points) jw.AddMarker(out, e.lay, e.x, e.y, 0, 0, 0, 1, e.col, u.coord(e.lay));
}

}  // namespace

void JwcExportDxf(const TJwcData& d, ConversionContext& ctx, dxf::Document& doc) {
  JwDxf jw(ctx, doc);
  // Stored coordinates are millimetres of paper; times the group's scale
  // they are millimetres of the drawing, and so are the paper sizes.
  auto group = [&d](int lay) {
    const size_t g = static_cast<size_t>(lay) / 16;
    return g < d.EntLgrp.size() ? double{d.EntLgrp[g].scale} : 1.0;
  };
  auto scale = [group](int lay) {
    const double s = group(lay);
    return s > 0 && std::isfinite(s) ? s : 1.0;
  };
  Export(jw,
         {Read(d.EntLine, d.lineN), Read(d.EntArc, d.arcN), Read(d.EntMoji, d.mojiN), Read(d.EntTen, d.tenN),
          d.EntMjtp},
         {scale, scale, group});
  // Virtual points: construction points, kept as points.
  for (int i = 1; i <= d.VtenDrawCount(); ++i) {
    const TEntJwcVten& e = d.EntVten[static_cast<size_t>(i)];
    jw.AddMarker(doc.entities, e.lay, e.x, e.y, 1, 0, 0, 1, 2, scale(e.lay));
  }
}

void JwkExportDxf(const TJwkData& d, ConversionContext& ctx, dxf::Document& doc) {
  JwDxf jw(ctx, doc);
  // The symbol's own units are millimetres of the drawing; its paper is the
  // drawing divided by the symbol's scale.
  const double s = d.Enthd.scale > 1e-14 && std::isfinite(d.Enthd.scale) ? double{d.Enthd.scale} : 1.0;
  Export(jw, {d.EntLine, d.EntArc, d.EntMoji, d.EntTen, d.EntMjtp},
         {[](int) { return 1.0; }, [s](int) { return s; }, [](int) { return 1.0; }});
}

}  // namespace zumen
