// Lowering of K4 drawings: every indexed object once, in file order, shown
// when its layer group and layer are, with the colour, printed width and dash
// pattern of its attribute word and the drawing's print styles (grey for a
// greyed group or layer, grey dots for auxiliary lines), scaled by the scale
// of its layer group.
#include "formats/k4/lowering.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/cp932.h"
#include "formats/k4/objects.h"
#include "render_k4/graph.h"

namespace zumen {

namespace {

constexpr uint32_t kGrey = 0xFFD8D8D8;     // objects of greyed groups and layers
constexpr uint32_t kAuxGrey = 0xFF888888;  // auxiliary lines
constexpr uint8_t kAuxType = kK4AuxType;

using k4::Points;
using k4::Scaled;
using k4::Sweep;

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

  static scene::K4Mark Mark(const TK4SymbolBody& s, double c) {
    const TDPoint p = Scaled(s.pos, c), o = Scaled(s.o, c);
    return {p.X,      p.Y,     s.len,      o.X,       o.Y,      s.r[0] * c, s.r[1] * c, s.elipang,
            s.angle,  s.param[0], s.param[1], s.style, s.extype, s.exattr};
  }

  scene::K4Stroke Stroke(const scene::Head& h, const Attr& a, scene::K4StrokeKind kind) const {
    scene::K4Stroke st;
    st.h = h;
    st.pen = Pen(a);
    st.kind = kind;
    st.scale = a.c;
    return st;
  }

  scene::K4Stroke LineOf(const scene::Head& h, const Attr& a, const TK4ObjectLine& o) const {
    scene::K4Stroke st = Stroke(h, a, scene::K4StrokeKind::Line);
    st.a = Scaled(o.p1, a.c);
    st.b = Scaled(o.p2, a.c);
    return st;
  }

  // Circles and ellipses: centre, radius (scaled), flattening and turn.
  scene::K4Stroke EllipseOf(const scene::Head& h, const Attr& a, const TDPoint& pos, double r, double flat,
                            double tilt, const std::array<double, 2>& arc) const {
    scene::K4Stroke st = Stroke(h, a, scene::K4StrokeKind::Ellipse);
    st.sweep = Sweep(arc[0], arc[1], st.full);
    st.a = Scaled(pos, a.c);
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

  static void Edge(scene::K4Stroke& st, const TK4ObjectEdge& e, double c) {
    st.edge = std::array<scene::K4Mark, 2>{Mark(e.mark[0], c), Mark(e.mark[1], c)};
  }

  template <typename T>
  static void PolygonPoints(scene::K4Fill& f, const T& o, double c) {
    const auto pts = Points(o);
    f.points.assign(pts.begin(), pts.end());
    f.count = o.cnt;
    f.scale = c;
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
        Edge(st, d_.lnx[i].edge, c);
        out.push_back(std::move(st));
        break;
      }
      case kK4Circle:
      case kK4CircleEx: {
        const TK4ObjectCircle& o = e.INo == kK4Circle ? d_.cr[i] : d_.crx[i];
        scene::K4Stroke st = EllipseOf(line, a, o.pos, o.r * c, 1, 0, o.arc);
        if (e.INo == kK4CircleEx && !st.full) Edge(st, d_.crx[i].edge, c);
        out.push_back(std::move(st));
        break;
      }
      case kK4Ellipse:
      case kK4EllipseEx: {
        const TK4ObjectEllipse& o = e.INo == kK4Ellipse ? d_.ep[i] : d_.epx[i];
        scene::K4Stroke st = EllipseOf(line, a, o.pos, o.r[0] * c, flatness(o), o.angle, o.arc);
        if (e.INo == kK4EllipseEx && !st.full) Edge(st, d_.epx[i].edge, c);
        out.push_back(std::move(st));
        break;
      }
      case kK4Polyline:
        out.push_back(PointsOf(line, a, scene::K4StrokeKind::Polyline, d_.pl[i]));
        break;
      case kK4PolylineEx: {
        scene::K4Stroke st = PointsOf(line, a, scene::K4StrokeKind::Polyline, d_.plx[i]);
        Edge(st, d_.plx[i].edge, c);
        out.push_back(std::move(st));
        break;
      }
      case kK4Bezier:
        out.push_back(PointsOf(line, a, scene::K4StrokeKind::Bezier, d_.bz[i]));
        break;
      case kK4BezierEx: {
        scene::K4Stroke st = PointsOf(line, a, scene::K4StrokeKind::Bezier, d_.bzx[i]);
        Edge(st, d_.bzx[i].edge, c);
        out.push_back(std::move(st));
        break;
      }
      case kK4Symbol:
        out.push_back(scene::K4Symbol{h, Pen(a), Mark(d_.sy[i].sym, c)});
        break;
      case kK4Point: {
        const int32_t pc = d_.symstl.PointColorNo();
        scene::K4Point p;
        p.h = h;
        Colours(a, pc != 0 ? static_cast<uint8_t>(pc) : a.co, 0, p.palette, p.own);
        p.r = d_.symstl.PointDiameter() / 2;
        p.p = Scaled(d_.pt[i].pos, c);
        out.push_back(p);
        break;
      }
      case kK4Text:
      case kK4TextEx: {
        const TK4ObjectText& o = e.INo == kK4Text ? d_.tx[i] : d_.txx[i];
        // A style number past the drawing's 21 styles names no style: nothing to draw.
        if (e.INo == kK4Text && o.style >= d_.txtstl.size()) break;
        const TK4TextStyle& st = e.INo == kK4Text ? d_.txtstl[o.style] : d_.txx[i].ex;
        scene::K4Text t;
        t.h = h;
        Colours(a, st.penno != 0 ? st.penno : a.co, 0, t.palette, t.own);
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
        PolygonPoints(f, d_.pg[i], c);
        out.push_back(std::move(f));
        break;
      }
      case kK4PolygonGrad: {
        const TK4ObjectPolygonGrad& o = d_.pgg[i];
        scene::K4Fill f = FillOf(h, a, scene::K4FillKind::Gradient);
        PolygonPoints(f, o, c);
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
        PolygonPoints(f, o, c);
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
        uint32_t palette = 0;
        Colours(a, a.co, 0, palette, b.colour);
        b.greyed = a.greyed;
        b.type = o.typ;
        b.corners = o.pos;
        b.scale = c;
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
    d.Extents(s.extents);
  }
  s.painter = scene::Painter::K4;
  s.drawn = d.EntN > 0;
  s.frame = {0, 0, s.papx, s.papy};
  s.paperFrame = s.frame;
  if (complete) {
    EntitySurvey survey({-s.papx / 2, -s.papy / 2, s.papx * 1.5, s.papy * 1.5});
    d.SurveyObjects(survey);
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
  }
  K4Lowering(d, s).Run();
}

}  // namespace zumen
