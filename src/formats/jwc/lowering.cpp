// Lowering of JWC drawings and JWK symbols: hidden layers and auxiliary lines
// and arcs (line type 9) marked, pens from the pen colour numbers, arcs'
// sweeps from their degrees, texts from their text types (vertical writing
// exchanges height and width and turns the font), and what the scale
// macros print.
#include "formats/jwc/lowering.h"

#include <cmath>
#include <numbers>
#include <span>
#include <utility>

#include "common/paper.h"
#include "formats/jwc/extents.h"

namespace zumen {

namespace {

constexpr double kDeg = std::numbers::pi / 180.0;
constexpr int kAuxType = 9;  // line type 9: auxiliary line
// The font of every JWC and JWK text.
constexpr std::u16string_view kFont = u"ＭＳ ゴシック";

enum SourceKind : uint8_t { kLine = 1, kArc, kText, kPoint, kVirtualPoint };

scene::Head HeadOf(int layer, bool aux, uint8_t kind, size_t index) {
  scene::Head h;
  h.layer = static_cast<int16_t>(layer);
  h.flags = aux ? scene::kAux : 0;
  h.sourceKind = kind;
  h.source = static_cast<int32_t>(index);
  return h;
}

// The entities of a drawing or symbol, their coordinates divided by scale;
// macroScale gives the scale the scale macros of a text print.
template <typename Data, typename MacroScale>
void LowerEntities(const Data& d, double scale, const TgraAttribute& model, MacroScale macroScale,
                   std::vector<scene::Item>& out) {
  for (size_t i = 0; i < d.EntLine.size(); ++i) {
    const TEntJwcLine& e = d.EntLine[i];
    out.push_back(scene::Line{HeadOf(e.lay, e.typ == kAuxType, kLine, i),
                              {e.lay, e.col, e.typ, model.GetAttrColwid(e.col)},
                              {e.x1 / scale, e.y1 / scale},
                              {e.x2 / scale, e.y2 / scale}});
  }
  for (size_t i = 0; i < d.EntArc.size(); ++i) {
    const TEntJwcArc2& e = d.EntArc[i];
    scene::Arc a;
    a.h = HeadOf(e.lay, e.typ == kAuxType, kArc, i);
    a.pen = {e.lay, e.col, e.typ, model.GetAttrColwid(e.col)};
    // The sweep taken into [0, 360]; an empty or whole turn is a full ellipse.
    double sweep = std::fmod(double{e.et} - e.st, 360.0);
    if (sweep < 0) sweep += 360.0;
    a.whole = std::fabs(sweep) < 1e-14 || std::fabs(sweep - 360.0) < 1e-14;
    a.c = {e.x / scale, e.y / scale};
    a.r = e.r / scale;
    a.flat = e.h;
    a.tilt = e.tt * kDeg;
    a.start = a.whole ? 0.0 : e.st * kDeg;
    a.sweep = a.whole ? 2 * std::numbers::pi : sweep * kDeg;
    out.push_back(a);
  }
  for (size_t i = 0; i < d.EntMoji.size(); ++i) {
    const TEntJwcMoji2& e = d.EntMoji[i];
    const double macro = macroScale(e);
    const TEntJwcMojiType* t = JwcMojiType(d.EntMjtp, e.no);
    if (t == nullptr) continue;
    scene::Text x;
    x.h = HeadOf(e.lay, false, kText, i);
    x.pen = {e.lay, t->penNo, 1, 0};
    x.p1 = {e.x1 / scale, e.y1 / scale};
    x.p2 = {e.x2 / scale, e.y2 / scale};
    x.height = t->height * 0.1;
    x.width = t->width * 0.1;
    x.spacing = t->dist * 0.1;
    x.font = std::u16string(kFont);
    if (e.flg1 & 0x20) {  // vertical writing
      std::swap(x.height, x.width);
      x.font = u"@" + x.font;
    }
    x.text = e.s;
    x.macroScale = macro;
    out.push_back(std::move(x));
  }
  for (size_t i = 0; i < d.EntTen.size(); ++i) {
    const TEntJwcTen& e = d.EntTen[i];
    scene::Marker m;
    m.h = HeadOf(e.lay, false, kPoint, i);
    m.p = {e.x / scale, e.y / scale};
    m.lay = e.lay;
    m.col = e.col;
    out.push_back(m);
  }
}

}  // namespace

const TEntJwcMojiType* JwcMojiType(std::span<const TEntJwcMojiType> table, int no) {
  if (no < 0 || static_cast<size_t>(no) >= table.size()) return nullptr;
  return &table[static_cast<size_t>(no)];
}

void LowerJwc(const TJwcData& d, bool complete, scene::Scene& s) {
  if (complete) {
    DefaultFileColorSet(s.model);
    DefaultFileLtypeSet(s.model);
    d.SetGAttLayer(s.model);
    d.GetMinMaxZahyo(s.extents);
    const PaperSize p = PaperSizeOfCode(d.Enthd.psize);
    s.papx = p.width;
    s.papy = p.height;
  }
  s.drawn = true;
  // Stored coordinates are millimetres of paper; times the group's scale
  // they are millimetres of the drawing.
  for (int n = 0; n < 256 && static_cast<size_t>(n / 16) < d.EntLgrp.size(); ++n) {
    const double g = d.EntLgrp[static_cast<size_t>(n / 16)].scale;
    s.layers[static_cast<size_t>(n)].groupScale = g > 0 && std::isfinite(g) ? g : 1.0;
  }
  s.frame = {0, 0, s.papx, s.papy};
  s.paperFrame = s.frame;
  if (complete) {
    EntitySurvey survey({-s.papx / 2, -s.papy / 2, s.papx * 1.5, s.papy * 1.5});
    JwcSurveyEntities(d.ExtentInput(), s.model, survey);
    s.surveyAny = survey.any();
    s.surveyBox = survey.box();
    s.surveyOutside = survey.outside();
  }
  // The scale macros print the scale of the text's layer group; without a
  // table of groups the last one printed stays.
  double last = 1;
  LowerEntities(
      d, 1.0, s.model,
      [&](const TEntJwcMoji2& e) {
        const size_t group = e.lay / 16u;
        if (group < d.EntLgrp.size()) last = d.EntLgrp[group].scale;
        return last;
      },
      s.items);
  // Virtual points 1..n: marker kind 1 in pen colour 2, whatever the layer,
  // not drawn on a hidden one.
  for (int i = 1; i <= d.VtenDrawCount(); ++i) {
    const TEntJwcVten& e = d.EntVten[static_cast<size_t>(i)];
    scene::Marker m;
    m.h = HeadOf(e.lay, false, kVirtualPoint, static_cast<size_t>(i));
    m.p = {e.x, e.y};
    m.kf = 1;
    m.lay = -1;
    m.col = 2;
    s.items.push_back(m);
  }
}

void LowerJwk(const TJwkData& d, bool complete, scene::Scene& s) {
  if (complete) {
    DefaultFileColorSet(s.model);
    DefaultFileLtypeSet(s.model);
    d.SetGAttLayer(s.model);
    s.extents = d.GetMinMaxZahyo();
    s.papx = std::abs(s.extents.maxx - s.extents.minx);
    s.papy = std::abs(s.extents.maxy - s.extents.miny);
  }
  s.drawn = true;
  s.frame = {s.extents.minx, s.extents.miny, s.extents.maxx, s.extents.maxy};
  LowerEntities(d, d.Enthd.scale, s.model, [](const TEntJwcMoji2&) { return 1.0; }, s.items);
  s.overlay.push_back(scene::BaseMark{{}, {0, 0}});
}

}  // namespace zumen
