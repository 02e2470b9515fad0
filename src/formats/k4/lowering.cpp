// Lowering of K4 drawings: every indexed object once, in file order, shown
// when its layer group and layer are, with the colour, printed width and dash
// pattern of its attribute word and the drawing's print styles (grey for a
// greyed group or layer, grey dots for auxiliary lines), scaled by the scale
// of its layer group.
#include "formats/k4/lowering.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/box.h"
#include "common/cp932.h"
#include "formats/k4/objects.h"
#include "renderer_k4/graph.h"

namespace zumen {

namespace {

constexpr uint32_t kGrey = 0xFFD8D8D8;     // objects of greyed groups and layers
constexpr uint32_t kAuxGrey = 0xFF888888;  // auxiliary lines
constexpr uint8_t kAuxType = kK4AuxType;

using k4::Points;
using k4::Scaled;
using k4::Sweep;

constexpr double kPi = std::numbers::pi;

// ---- extents and survey: the points that bound every object --------------------
//
// Circles, ellipses and their arcs count with their radii, texts with their
// baseline and height, curves and polygons with their stored points (a
// Bezier curve with its control polygon), bitmaps with their corners and
// symbols roughly with their stem length around their point.

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

// Hands the points that bound the object an entry names to add(x, y), as
// the painter places it (coordinates at the scale of its layer group); false
// when it names nothing drawn.
template <class Add>
bool ObjectPoints(const TK4Data& d, const TK4EntNo& e, Add& add) {
  const TK4ObjectHeader* head = d.HeaderOf(e);
  if (!head) return false;
  uint8_t lg, ly, co, ty;
  TK4Data::SepAttr(head->attr, lg, ly, co, ty);
  const double c = k4::UsableScale(d.li.grp[lg & 15].scale);
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
    const double sweep = k4::Sweep(arc[0], arc[1], full);
    EllipseArcPoints(add, Scaled(pos, c), r, h, a, arc[0], sweep, full);
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
    case kK4Point: point(d.pt[i].pos); break;
    case kK4Line: point(d.ln[i].p1), point(d.ln[i].p2); break;
    case kK4LineEx: point(d.lnx[i].p1), point(d.lnx[i].p2); break;
    case kK4Circle: ellipse(d.cr[i].pos, d.cr[i].r * c, 1, 0, d.cr[i].arc); break;
    case kK4CircleEx: ellipse(d.crx[i].pos, d.crx[i].r * c, 1, 0, d.crx[i].arc); break;
    case kK4Ellipse:
    case kK4EllipseEx: {
      const TK4ObjectEllipse& o = e.INo == kK4Ellipse ? d.ep[i] : d.epx[i];
      ellipse(o.pos, o.r[0] * c, o.r[0] != 0 ? o.r[1] / o.r[0] : 1.0, o.angle, o.arc);
      break;
    }
    case kK4Text:
      if (d.tx[i].style < d.txtstl.size()) text(d.tx[i], d.txtstl[d.tx[i].style]);
      break;
    case kK4TextEx: text(d.txx[i], d.txx[i].ex); break;
    case kK4Polyline: points(Points(d.pl[i])); break;
    case kK4PolylineEx: points(Points(d.plx[i])); break;
    case kK4Bezier: points(Points(d.bz[i])); break;
    case kK4BezierEx: points(Points(d.bzx[i])); break;
    case kK4Polygon: points(Points(d.pg[i])); break;
    case kK4PolygonGrad: points(Points(d.pgg[i])); break;
    case kK4PolygonMapping: points(Points(d.pgm[i])); break;
    case kK4Bitmap: points(d.bm[i].pos); break;
    case kK4BitmapEx: points(d.bmx[i].pos); break;
    case kK4Symbol: {
      const TK4SymbolBody& s = d.sy[i].sym;
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

// The box around every object as the painter places it, whatever the layer
// states; false (box untouched) when there is none.
bool Extents(const TK4Data& d, ExtentBox& box) {
  // One survey entity for all objects: only the box around them counts.
  EntitySurvey all({});
  auto add = [&](double x, double y) { all.Add(x, y); };
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max(d.EntN, 0)), d.Ent.size());
  all.Begin();
  for (size_t i = 0; i < n; ++i) ObjectPoints(d, d.Ent[i], add);
  all.End();
  if (all.any()) box = all.box();
  return all.any();
}

// Hands the points of every object a picture shows, auxiliary lines left
// out, to survey, object by object.
void SurveyObjects(const TK4Data& d, EntitySurvey& survey) {
  auto add = [&](double x, double y) { survey.Add(x, y); };
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max(d.EntN, 0)), d.Ent.size());
  for (size_t i = 0; i < n; ++i) {
    const TK4EntNo& e = d.Ent[i];
    const TK4ObjectHeader* head = d.HeaderOf(e);
    if (!head) continue;
    uint8_t lg, ly, co, ty;
    TK4Data::SepAttr(head->attr, lg, ly, co, ty);
    if (d.li.grp[lg].state == 0 || d.li.grp[lg].tab[ly].state == 0) continue;  // hidden
    if (ty == kK4AuxType && IsLineKind(e.INo)) continue;
    survey.Begin();
    ObjectPoints(d, e, add);
    survey.End();
  }
}

// ---- the items ----------------------------------------------------------------

class K4Lowering {
 public:
  K4Lowering(const TK4Data& d, scene::Scene& s) : d_(d), s_(s) {}

  void Run() {
    const size_t n = std::min<size_t>(static_cast<size_t>(std::max(d_.EntN, 0)), d_.Ent.size());
    for (size_t i = 0; i < n; ++i) Object(d_.Ent[i], i);
  }

 private:
  struct Attr {
    uint8_t lg = 0, ly = 0, co = 0, ty = 0;
    uint32_t colour = 0;  // the object's own colour (0x00BBGGRR)
    double c = 1;         // the scale of its layer group
    bool greyed = false;
  };

  // The colour of pen number co as the drawing's palette shows it, and the
  // object's own colour; grey for greyed layers and auxiliary lines.
  static void Colours(const Attr& a, uint8_t co, uint8_t ty, uint32_t& palette, uint32_t& own) {
    if (a.greyed) {
      palette = own = kGrey;
    } else if (ty == kAuxType) {
      palette = own = kAuxGrey;
    } else {
      palette = TGraph::ColorNumber(co);
      own = RefToColor(static_cast<int32_t>(a.colour));
    }
  }

  scene::K4Pen Pen(const Attr& a) const {
    scene::K4Pen p;
    Colours(a, a.co, a.ty, p.palette, p.own);
    p.width = d_.prnstl.width[a.co & 15] * 0.01;
    p.pattern = d_.BasePattern(a.ty);
    p.aux = a.ty == kAuxType;
    return p;
  }

  static scene::K4Mark Mark(const TK4SymbolBody& s) {
    return {s.pos.X, s.pos.Y,    s.len,      s.o.X,   s.o.Y,    s.r[0],   s.r[1], s.elipang,
            s.angle, s.param[0], s.param[1], s.style, s.extype, s.exattr};
  }

  static scene::K4Attr AttrOf(const Attr& a) { return {a.co, a.ty, a.c}; }

  scene::K4Stroke Stroke(const scene::Head& h, const Attr& a, scene::K4StrokeKind kind) const {
    scene::K4Stroke st;
    st.h = h;
    st.attr = AttrOf(a);
    st.pen = Pen(a);
    st.kind = kind;
    return st;
  }

  scene::K4Stroke LineOf(const scene::Head& h, const Attr& a, const TK4ObjectLine& o) const {
    scene::K4Stroke st = Stroke(h, a, scene::K4StrokeKind::Line);
    st.a = o.p1;
    st.b = o.p2;
    return st;
  }

  // Circles and ellipses: centre, radius, flattening and turn.
  scene::K4Stroke EllipseOf(const scene::Head& h, const Attr& a, const TDPoint& pos, double r, double flat,
                            double tilt, const std::array<double, 2>& arc) const {
    scene::K4Stroke st = Stroke(h, a, scene::K4StrokeKind::Ellipse);
    st.sweep = Sweep(arc[0], arc[1], st.full);
    st.a = pos;
    st.r = r;
    st.flat = flat;
    st.tilt = tilt;
    st.start = arc[0];
    return st;
  }

  template <typename T>
  scene::K4Stroke PointsOf(const scene::Head& h, const Attr& a, scene::K4StrokeKind kind, const T& o) const {
    scene::K4Stroke st = Stroke(h, a, kind);
    const auto pts = Points(o);
    st.points.assign(pts.begin(), pts.end());
    st.count = o.cnt;
    return st;
  }

  static void Edge(scene::K4Stroke& st, const TK4ObjectEdge& e) {
    st.edge = std::array<scene::K4Mark, 2>{Mark(e.mark[0]), Mark(e.mark[1])};
  }

  template <typename T>
  static void PolygonPoints(scene::K4Fill& f, const T& o) {
    const auto pts = Points(o);
    f.points.assign(pts.begin(), pts.end());
    f.count = o.cnt;
  }

  void Object(const TK4EntNo& e, size_t index) {
    const TK4ObjectHeader* head = d_.HeaderOf(e);
    if (!head) return;
    Attr a;
    TK4Data::SepAttr(head->attr, a.lg, a.ly, a.co, a.ty);
    a.colour = head->color;
    a.c = k4::UsableScale(d_.li.grp[a.lg].scale);
    a.greyed = d_.Greyed(a.lg, a.ly);
    scene::Head h;
    h.layer = static_cast<int16_t>(a.lg * 16 + a.ly);
    h.sourceKind = static_cast<uint8_t>(e.INo % 256);
    h.source = static_cast<int32_t>(index);
    // Line kinds: auxiliary lines only when auxiliary lines are shown.
    scene::Head line = h;
    if (a.ty == kAuxType) line.flags |= scene::kAux;
    const size_t i = static_cast<size_t>(e.ENo);
    const double c = a.c;
    const auto flatness = [](const TK4ObjectEllipse& o) { return o.r[0] != 0 ? o.r[1] / o.r[0] : 1.0; };
    std::vector<scene::Item>& out = s_.items;

    switch (e.INo) {
      case kK4Line:
        out.push_back(LineOf(line, a, d_.ln[i]));
        break;
      case kK4LineEx: {
        scene::K4Stroke st = LineOf(line, a, d_.lnx[i]);
        Edge(st, d_.lnx[i].edge);
        out.push_back(std::move(st));
        break;
      }
      case kK4Circle:
      case kK4CircleEx: {
        const TK4ObjectCircle& o = e.INo == kK4Circle ? d_.cr[i] : d_.crx[i];
        scene::K4Stroke st = EllipseOf(line, a, o.pos, o.r, 1, 0, o.arc);
        if (e.INo == kK4CircleEx && !st.full) Edge(st, d_.crx[i].edge);
        out.push_back(std::move(st));
        break;
      }
      case kK4Ellipse:
      case kK4EllipseEx: {
        const TK4ObjectEllipse& o = e.INo == kK4Ellipse ? d_.ep[i] : d_.epx[i];
        scene::K4Stroke st = EllipseOf(line, a, o.pos, o.r[0], flatness(o), o.angle, o.arc);
        if (e.INo == kK4EllipseEx && !st.full) Edge(st, d_.epx[i].edge);
        out.push_back(std::move(st));
        break;
      }
      case kK4Polyline:
        out.push_back(PointsOf(line, a, scene::K4StrokeKind::Polyline, d_.pl[i]));
        break;
      case kK4PolylineEx: {
        scene::K4Stroke st = PointsOf(line, a, scene::K4StrokeKind::Polyline, d_.plx[i]);
        Edge(st, d_.plx[i].edge);
        out.push_back(std::move(st));
        break;
      }
      case kK4Bezier:
        out.push_back(PointsOf(line, a, scene::K4StrokeKind::Bezier, d_.bz[i]));
        break;
      case kK4BezierEx: {
        scene::K4Stroke st = PointsOf(line, a, scene::K4StrokeKind::Bezier, d_.bzx[i]);
        Edge(st, d_.bzx[i].edge);
        out.push_back(std::move(st));
        break;
      }
      case kK4Symbol:
        out.push_back(scene::K4Symbol{h, AttrOf(a), Pen(a), Mark(d_.sy[i].sym)});
        break;
      case kK4Point: {
        const int32_t pc = d_.symstl.PointColorNo();
        scene::K4Point p;
        p.h = h;
        p.attr = AttrOf(a);
        Colours(a, pc != 0 ? static_cast<uint8_t>(pc) : a.co, 0, p.palette, p.own);
        p.r = d_.symstl.PointDiameter() / 2;
        p.p = d_.pt[i].pos;
        out.push_back(p);
        break;
      }
      case kK4Text:
      case kK4TextEx: {
        const TK4ObjectText& o = e.INo == kK4Text ? d_.tx[i] : d_.txx[i];
        scene::K4Text t;
        t.h = h;
        t.attr = AttrOf(a);
        // A style number past the drawing's 21 styles names no style: nothing
        // to draw, only its layer and pen to keep.
        if (e.INo == kK4Text && o.style >= d_.txtstl.size()) {
          t.h.flags |= scene::kNotDrawn;
          out.push_back(std::move(t));
          break;
        }
        const TK4TextStyle& st = e.INo == kK4Text ? d_.txtstl[o.style] : d_.txx[i].ex;
        t.pen = st.penno != 0 ? st.penno : a.co;
        Colours(a, t.pen, 0, t.palette, t.own);
        t.height = std::fabs(st.hight);
        t.width = std::fabs(st.width);
        if (t.height * 0.1 >= t.width) t.width = t.height;
        t.spacing = st.spce;
        const double L = AnsiTextWidth(o.text, t.width, t.spacing);
        t.p1 = Scaled(o.pos, c);
        t.p2 = {t.p1.X + L * std::cos(o.angle), t.p1.Y + L * std::sin(o.angle)};
        t.style = st.txattr & 3;
        t.font = o.lout == 1 ? u"@" + st.font : st.font;
        t.text = o.text;
        t.macroScale = 1 / c;
        out.push_back(std::move(t));
        break;
      }
      case kK4Polygon: {
        scene::K4Fill f = FillOf(h, a, scene::K4FillKind::Pattern);
        f.pattern = d_.pg[i].ptn;
        PolygonPoints(f, d_.pg[i]);
        out.push_back(std::move(f));
        break;
      }
      case kK4PolygonGrad: {
        const TK4ObjectPolygonGrad& o = d_.pgg[i];
        scene::K4Fill f = FillOf(h, a, scene::K4FillKind::Gradient);
        f.pattern = o.ptn;
        PolygonPoints(f, o);
        for (size_t j = 0; j < f.points.size(); ++j) {
          const TDPoint& p = f.points[j];
          if (j == 0 || p.X < f.boxX1) f.boxX1 = p.X;
          if (j == 0 || p.Y < f.boxY1) f.boxY1 = p.Y;
          if (j == 0 || p.X > f.boxX2) f.boxX2 = p.X;
          if (j == 0 || p.Y > f.boxY2) f.boxY2 = p.Y;
        }
        f.gradType = o.grad.typ;
        f.gradColour1 = o.grad.col[0];
        f.gradColour2 = o.grad.col[1];
        f.gradP1 = o.grad.pos[0];
        f.gradP2 = o.grad.pos[1];
        f.gradAngle = o.grad.angle;
        out.push_back(std::move(f));
        break;
      }
      case kK4PolygonMapping: {
        const TK4ObjectPolygonMapping& o = d_.pgm[i];
        scene::K4Fill f = FillOf(h, a, scene::K4FillKind::Picture);
        f.pattern = o.ptn;
        PolygonPoints(f, o);
        f.pictureW = o.map.size.X;
        f.pictureH = o.map.size.Y;
        f.pictureDepth = o.map.depth;
        f.picture = std::make_shared<const std::vector<uint8_t>>(o.map.bmp);
        out.push_back(std::move(f));
        break;
      }
      case kK4Bitmap:
      case kK4BitmapEx: {
        const TK4ObjectBitmap& o = e.INo == kK4Bitmap ? d_.bm[i] : d_.bmx[i];
        scene::K4Bitmap b;
        b.h = h;
        b.attr = AttrOf(a);
        uint32_t palette = 0;
        Colours(a, a.co, 0, palette, b.colour);
        b.greyed = a.greyed;
        b.type = o.typ;
        b.corners = o.pos;
        b.bytes = std::make_shared<const std::vector<uint8_t>>(o.bmp);
        out.push_back(std::move(b));
        break;
      }
      default:
        break;  // groups draw nothing themselves
    }
  }

  // Fills take the object's own colour (grey for a greyed layer).
  static scene::K4Fill FillOf(const scene::Head& h, const Attr& a, scene::K4FillKind kind) {
    scene::K4Fill f;
    f.h = h;
    f.attr = AttrOf(a);
    f.kind = kind;
    uint32_t palette = 0;
    Colours(a, a.co, 0, palette, f.colour);
    f.greyed = a.greyed;
    return f;
  }

  const TK4Data& d_;
  scene::Scene& s_;
};

}  // namespace

void LowerK4(const TK4Data& d, bool complete, scene::Scene& s) {
  if (complete) {
    s.title = d.Title;
    // The paper's width and height from its corner points, turned for a
    // landscape layout.
    s.papx = std::abs(d.psz.size[1].X - d.psz.size[0].X);
    s.papy = std::abs(d.psz.size[1].Y - d.psz.size[0].Y);
    if (d.psz.lout == 1) std::swap(s.papx, s.papy);
    // The extents of the objects; the paper for a drawing without any.
    s.extents = {0, 0, s.papx, s.papy};
    Extents(d, s.extents);
  }
  s.painter = scene::Painter::K4;
  s.drawn = d.EntN > 0;
  s.frame = {0, 0, s.papx, s.papy};
  s.paperFrame = s.frame;
  if (complete) {
    EntitySurvey survey({-s.papx / 2, -s.papy / 2, s.papx * 1.5, s.papy * 1.5});
    SurveyObjects(d, survey);
    s.surveyAny = survey.any();
    s.surveyBox = survey.box();
    s.surveyOutside = survey.outside();
  }
  // The layer states: a group or layer of state 0 is hidden, 1 greyed.
  for (int n = 0; n < 256; ++n) {
    const auto& g = d.li.grp[static_cast<size_t>(n / 16)];
    const auto& l = g.tab[static_cast<size_t>(n % 16)];
    const int32_t state = g.state == 0 || l.state == 0 ? 3 : g.state == 1 || l.state == 1 ? 2 : 1;
    s.model.SetAttrLayer(n, state, 1.0 / k4::UsableScale(g.scale), g.text, l.text);
    s.layers[static_cast<size_t>(n)].locked = d.Greyed(static_cast<uint8_t>(n / 16), static_cast<uint8_t>(n % 16));
  }
  for (uint8_t k = 0; k < 16; ++k) {
    s.k4Print.patterns[k] = d.BasePattern(k);
    s.k4Print.widths[k] = d.prnstl.width[k] * 0.01;
  }
  K4Lowering(d, s).Run();
}

}  // namespace zumen
