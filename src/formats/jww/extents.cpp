// Drawing extents of JWW drawings and JWS symbols: the box around the
// defining points of every entity and of every block instance's members,
// whatever the layer states. Text heights, line widths and marker sizes are
// not taken into account.
#include <cmath>
#include <numbers>

#include "common/box.h"
#include "formats/jww/extents.h"
#include "formats/jww/lowering.h"
#include "formats/jww/image_text.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;

// Hands every defining point of the entities of one set of lists to add(x, y).
template <class Add>
class PointWalker {
 public:
  explicit PointWalker(Add& add) : add_(add) {}

  // Point at parameter t of the ellipse with centre (cx, cy), radius r,
  // flattening h and tilt a.
  void EllipsePt(double cx, double cy, double r, double h, double a, double t) {
    const double x = r * std::cos(t), y = r * h * std::sin(t);
    add_(cx + x * std::cos(a) - y * std::sin(a), cy + x * std::sin(a) + y * std::cos(a));
  }
  void Quadrants(double cx, double cy, double r, double h, double a) {
    for (int q = 0; q < 4; ++q) EllipsePt(cx, cy, r, h, a, q * kPi / 2);
  }

  void Line(const TEntJwwLine& e) {
    add_(e.start_x, e.start_y);
    add_(e.end_x, e.end_y);
  }
  void Enko(const TEntJwwEnko& e) {
    const double cx = e.start_x, cy = e.start_y, r = e.dHankei, h = e.dHenpeiRitsu, a = e.radKatamukiKaku;
    if (e.bZenEnFlg != 0) {
      Quadrants(cx, cy, r, h, a);
      return;
    }
    EllipsePt(cx, cy, r, h, a, e.radKaishiKaku);
    EllipsePt(cx, cy, r, h, a, e.radKaishiKaku + e.radEnkoKaku);
    // Each quadrant direction that the sweep passes adds its ellipse point.
    double s = e.radKaishiKaku * 180 / kPi, d = e.radEnkoKaku * 180 / kPi;
    if (d < 0) {
      s += d;
      d = -d;
    }
    s = std::fmod(s, 360.0);
    if (s < 0) s += 360;
    for (int q = 0; q < 4; ++q) {
      double off = std::fmod(q * 90.0 - s, 360.0);
      if (off < 0) off += 360;
      if (off <= d) EllipsePt(cx, cy, r, h, a, q * kPi / 2);
    }
  }
  void Ten(const TEntJwwTen& e) { add_(e.start_x, e.start_y); }
  void Moji(const TEntJwwMoji& e) {
    add_(e.start_x, e.start_y);
    add_(e.end_x, e.end_y);
    if (HasImagePrefix(e.str)) {
      JwImageText im;  // W = H = 0 for a text without a comma
      ParseImageText(e.str, im);
      add_(e.start_x + im.W, e.start_y + im.H);
    }
  }
  void Sunpo(const TEntJwwSunpo& e) {
    add_(e.Sen.start_x, e.Sen.start_y);
    add_(e.Sen.end_x, e.Sen.end_y);
    add_(e.Moji.start_x, e.Moji.start_y);
    add_(e.Moji.end_x, e.Moji.end_y);
    if (e.bSxfMode != 0) {
      Line(e.Ho1);
      Line(e.Ho2);
    }
  }
  void Solid(const TEntJwwSolid& e) {
    if (e.att.nPenStyle > 100) {  // arc solid: centre and the whole ellipse's quadrant points
      add_(e.start_x, e.start_y);
      Quadrants(e.start_x, e.start_y, e.end_x, e.end_y, e.DPoint2_x);
      return;
    }
    add_(e.start_x, e.start_y);
    add_(e.end_x, e.end_y);
    add_(e.DPoint2_x, e.DPoint2_y);
    add_(e.DPoint3_x, e.DPoint3_y);
  }

  template <class L, class E, class K, class M, class S, class O>
  void All(const L& lines, const E& arcs, const K& points, const M& texts, const S& dims, const O& solids) {
    for (const auto& e : lines) Line(e);
    for (const auto& e : arcs) Enko(e);
    for (const auto& e : points) Ten(e);
    for (const auto& e : texts) Moji(e);
    for (const auto& e : dims) Sunpo(e);
    for (const auto& e : solids) Solid(e);
  }

 private:
  Add& add_;
};

// The first point of the first kind that has an element; false when the
// drawing has no entity at all.
bool FirstPoint(const TJwwBody& b, double& x, double& y) {
  auto take = [&](double px, double py) {
    x = px;
    y = py;
    return true;
  };
  if (!b.EntLine.empty()) return take(b.EntLine[0].start_x, b.EntLine[0].start_y);
  if (!b.EntEnko.empty()) return take(b.EntEnko[0].start_x, b.EntEnko[0].start_y);
  if (!b.EntTen.empty()) return take(b.EntTen[0].start_x, b.EntTen[0].start_y);
  if (!b.EntMoji.empty()) return take(b.EntMoji[0].start_x, b.EntMoji[0].start_y);
  if (!b.EntSunpo.empty()) return take(b.EntSunpo[0].Sen.start_x, b.EntSunpo[0].Sen.start_y);
  if (!b.EntSolid.empty()) return take(b.EntSolid[0].start_x, b.EntSolid[0].start_y);
  if (!b.EntBlock.empty()) return take(b.EntBlock[0].DPKijunTen_x, b.EntBlock[0].DPKijunTen_y);
  return false;
}

// Extends the box seeded with (sx, sy) by the drawing and its block instances.
void Extents(const TJwwBody& b, const std::array<TEntJwwLayerGroup, 16>& groups, bool seeded, double sx,
             double sy, ConversionContext& ctx) {
  ExtentBox box;
  if (seeded) {
    BoxStart(box, sx, sy, 1);
    auto add = [&](double x, double y) { BoxAdd(box, x, y, 1); };
    PointWalker<decltype(add)> walk(add);
    walk.All(b.EntLine, b.EntEnko, b.EntTen, b.EntMoji, b.EntSunpo, b.EntSolid);
  }
  for (const TEntJwwBlockTree& node : b.EntBlockTree) {
    ctx.LgScale = node.att.nGLayer < 16 ? groups[node.att.nGLayer].adScale : 1.0;
    if (!seeded || node.defno < 0 || static_cast<size_t>(node.defno) >= b.EntBlockDef.size()) continue;
    const TEntJwwBlockDef& def = b.EntBlockDef[node.defno];
    auto addT = [&](double x, double y) { BoxAddT(box, x, y, node.x, node.y, node.r1, node.r2, node.r3, node.r4, 1); };
    PointWalker<decltype(addT)> walk(addT);
    walk.All(def.mLine, def.mEnko, def.mTen, def.mMoji, def.mSunpo, def.mSolid);
  }
  if (!seeded) return;
  ctx.MinX = box.minx;
  ctx.MinY = box.miny;
  ctx.MaxX = box.maxx;
  ctx.MaxY = box.maxy;
}

// Surveys the entities of a body and its block instances that a picture
// shows, leaving out the auxiliary ones.
void Survey(const TJwwBody& b, const TgraAttribute& att, EntitySurvey& survey) {
  const auto shown = [&](const TEntJwwAttr& a, bool lineLike) {
    return a.nGLayer <= 15 && a.nLayer <= 15 && att.GetAttrLayerState(a.LayerNo()) != 3 && !JwwIsAux(a, lineLike);
  };
  auto add = [&](double x, double y) { survey.Add(x, y); };
  PointWalker<decltype(add)> walk(add);
  using Walker = PointWalker<decltype(add)>;
  const auto each = [&](const auto& list, auto member, bool lineLike) {
    for (const auto& e : list) {
      if (!shown(e.att, lineLike)) continue;
      survey.Begin();
      (walk.*member)(e);
      survey.End();
    }
  };
  each(b.EntLine, &Walker::Line, true);
  each(b.EntEnko, &Walker::Enko, true);
  each(b.EntTen, &Walker::Ten, false);
  each(b.EntMoji, &Walker::Moji, false);
  each(b.EntSunpo, &Walker::Sunpo, true);
  each(b.EntSolid, &Walker::Solid, false);
  for (const TEntJwwBlockTree& node : b.EntBlockTree) {
    if (node.defno < 0 || static_cast<size_t>(node.defno) >= b.EntBlockDef.size()) continue;
    const TEntJwwBlockDef& def = b.EntBlockDef[node.defno];
    auto addT = [&](double x, double y) {
      survey.Add(node.x + node.r1 * x + node.r2 * y, node.y + node.r3 * x + node.r4 * y);
    };
    PointWalker<decltype(addT)> inner(addT);
    const auto members = [&](const auto& list, auto member, bool lineLike) {
      for (const auto& e : list)
        if (shown(e.att, lineLike)) (inner.*member)(e);
    };
    using Inner = PointWalker<decltype(addT)>;
    survey.Begin();
    members(def.mLine, &Inner::Line, true);
    members(def.mEnko, &Inner::Enko, true);
    members(def.mTen, &Inner::Ten, false);
    members(def.mMoji, &Inner::Moji, false);
    members(def.mSunpo, &Inner::Sunpo, true);
    members(def.mSolid, &Inner::Solid, false);
    survey.End();
  }
}

}  // namespace

void JwwSurveyEntities(const TJwwData& d, const ConversionContext& ctx, EntitySurvey& survey) {
  Survey(d.Body, ctx.GAtt, survey);
}

void JwwGetMinMaxZahyo(const TJwwData& d, ConversionContext& ctx) {
  double x = 0, y = 0;
  const bool seeded = FirstPoint(d.Body, x, y);
  Extents(d.Body, d.EntLgrp, seeded, x, y, ctx);
}

void JwsGetMinMaxZahyo(const TJwsData& d, ConversionContext& ctx) {
  Extents(d.Body, d.EntLgrp, true, d.Enthd.BasePoint_x, d.Enthd.BasePoint_y, ctx);
}

}  // namespace zumen
