// K4 drawing extents: the box around every object as the drawing pass places
// it (coordinates scaled by the scale of the object's layer group), whatever
// the layer states. Circles, ellipses and their arcs count with their radii,
// texts with their baseline and height, curves and polygons with their
// stored points (a Bezier curve with its control polygon), bitmaps with
// their corners and symbols roughly with their stem length around their point.
#include <cmath>
#include <numbers>

#include "common/box.h"
#include "common/cp932.h"
#include "formats/k4/k4data.h"
#include "formats/k4/objects.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;

using k4::Points;
using k4::Scaled;

// Hands the points that bound an ellipse arc to add: its ends and the points
// where x or y peaks within the sweep. Point at t: centre + R_a(r cos t, r h sin t).
template <class Add>
void EllipseArcPoints(Add& add, const TDPoint& m, double r, double h, double a, double sa, double da, bool full) {
  const double ca = std::cos(a), sn = std::sin(a);
  const auto at = [&](double t) {
    const double x = r * std::cos(t), y = r * h * std::sin(t);
    add(m.X + x * ca - y * sn, m.Y + x * sn + y * ca);
  };
  if (!full) {
    at(sa);
    at(sa + da);
  }
  const double tx = std::atan2(-h * sn, ca), ty = std::atan2(h * ca, sn);
  for (const double t : {tx, tx + kPi, ty, ty + kPi}) {
    double off = std::fmod(t - sa, 2 * kPi);
    if (off < 0) off += 2 * kPi;
    if (full || off <= da) at(t);
  }
}

}  // namespace

template <class Add>
bool TK4Data::ObjectPoints(const TK4EntNo& e, Add& add) const {
  const TK4ObjectHeader* head = HeaderOf(e);
  if (!head) return false;
  uint8_t lg, ly, co, ty;
  SepAttr(head->attr, lg, ly, co, ty);
  const double c = k4::UsableScale(li.grp[lg & 15].scale);
  const size_t i = static_cast<size_t>(e.ENo);
  const auto point = [&](const TDPoint& p) {
    const TDPoint q = Scaled(p, c);
    add(q.X, q.Y);
  };
  const auto points = [&](std::span<const TDPoint> pts) {
    for (const TDPoint& p : pts) point(p);
  };
  const auto ellipse = [&](const TDPoint& pos, double r, double h, double a, const std::array<double, 2>& arc) {
    bool full;
    const double d = k4::Sweep(arc[0], arc[1], full);
    EllipseArcPoints(add, Scaled(pos, c), r, h, a, arc[0], d, full);
  };
  const auto text = [&](const TK4ObjectText& o, const TK4TextStyle& st) {
    const double h = std::fabs(st.hight);
    double w = std::fabs(st.width);
    if (h * 0.1 >= w) w = h;
    const double L = AnsiTextWidth(o.text, w, st.spce);
    const TDPoint p = Scaled(o.pos, c);
    const double ux = std::cos(o.angle), uy = std::sin(o.angle);
    for (const double along : {0.0, L})
      for (const double up : {0.0, h}) add(p.X + along * ux - up * uy, p.Y + along * uy + up * ux);
  };
  switch (e.INo) {
    case kK4Point: point(pt[i].pos); break;
    case kK4Line: point(ln[i].p1), point(ln[i].p2); break;
    case kK4LineEx: point(lnx[i].p1), point(lnx[i].p2); break;
    case kK4Circle: ellipse(cr[i].pos, cr[i].r * c, 1, 0, cr[i].arc); break;
    case kK4CircleEx: ellipse(crx[i].pos, crx[i].r * c, 1, 0, crx[i].arc); break;
    case kK4Ellipse:
    case kK4EllipseEx: {
      const TK4ObjectEllipse& o = e.INo == kK4Ellipse ? ep[i] : epx[i];
      ellipse(o.pos, o.r[0] * c, o.r[0] != 0 ? o.r[1] / o.r[0] : 1.0, o.angle, o.arc);
      break;
    }
    case kK4Text:
      if (tx[i].style < txtstl.size()) text(tx[i], txtstl[tx[i].style]);
      break;
    case kK4TextEx: text(txx[i], txx[i].ex); break;
    case kK4Polyline: points(Points(pl[i])); break;
    case kK4PolylineEx: points(Points(plx[i])); break;
    case kK4Bezier: points(Points(bz[i])); break;
    case kK4BezierEx: points(Points(bzx[i])); break;
    case kK4Polygon: points(Points(pg[i])); break;
    case kK4PolygonGrad: points(Points(pgg[i])); break;
    case kK4PolygonMapping: points(Points(pgm[i])); break;
    case kK4Bitmap: points(bm[i].pos); break;
    case kK4BitmapEx: points(bmx[i].pos); break;
    case kK4Symbol: {
      const TK4SymbolBody& s = sy[i].sym;
      const TDPoint p = Scaled(s.pos, c);
      const double reach = std::max(std::fabs(s.len), std::fabs(s.param[0]));
      add(p.X - reach, p.Y - reach);
      add(p.X + reach, p.Y + reach);
      break;
    }
    default: return false;
  }
  return true;
}

namespace {

// The kinds drawn with a line pen, of which the auxiliary type marks construction lines.
bool IsLineKind(int32_t k) {
  switch (k) {
    case kK4Line: case kK4LineEx: case kK4Circle: case kK4CircleEx: case kK4Ellipse: case kK4EllipseEx:
    case kK4Polyline: case kK4PolylineEx: case kK4Bezier: case kK4BezierEx:
      return true;
    default:
      return false;
  }
}

}  // namespace

bool TK4Data::Extents(ExtentBox& box) const {
  // One survey entity for all objects: only the box around them counts.
  EntitySurvey all({});
  auto add = [&](double x, double y) { all.Add(x, y); };
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max(EntN, 0)), Ent.size());
  all.Begin();
  for (size_t i = 0; i < n; ++i) ObjectPoints(Ent[i], add);
  all.End();
  if (all.any()) box = all.box();
  return all.any();
}

void TK4Data::SurveyObjects(EntitySurvey& survey) const {
  auto add = [&](double x, double y) { survey.Add(x, y); };
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max(EntN, 0)), Ent.size());
  for (size_t i = 0; i < n; ++i) {
    const TK4EntNo& e = Ent[i];
    const TK4ObjectHeader* head = HeaderOf(e);
    if (!head) continue;
    uint8_t lg, ly, co, ty;
    SepAttr(head->attr, lg, ly, co, ty);
    if (li.grp[lg].state == 0 || li.grp[lg].tab[ly].state == 0) continue;  // hidden
    if (ty == kK4AuxType && IsLineKind(e.INo)) continue;
    survey.Begin();
    ObjectPoints(e, add);
    survey.End();
  }
}

}  // namespace zumen
