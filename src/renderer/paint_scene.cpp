// Paints a scene's items with the Jw renderer: each item's pen, then its
// drawing operation; the members of block placements through their
// transforms, points, sizes and angles carried through it, texts and images
// keeping their proportions under rotation, scaling and mirroring, and
// dimension values written anew for the placed length.
#include "renderer/paint_scene.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

#include "common/cp932.h"
#include "common/geometry.h"
#include "common/text.h"
#include "common/values.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
// Answer of GLImage and GLImage2 for an image that cannot be shown: its file
// is missing, of a type not read, or holds no pixels.
constexpr int32_t kImageNotShown = 3;

double Dir(TDPoint from, TDPoint to) { return PtAngle(to.X - from.X, to.Y - from.Y); }
double Dist(TDPoint p, TDPoint q) { return PtDist(p.X, p.Y, q.X, q.Y); }
// x rounded half away from zero to 4 decimals.
double Round4(double x) { return RoundDec(4, 2, x); }

class Painter {
 public:
  // Paints on g; with a visitor, hands the texts to it instead and paints nothing.
  Painter(const ConversionContext& ctx, TGraph2* g, TextVisitor* visitor = nullptr)
      : ctx_(ctx), g_(g), visitor_(visitor), dm_(ctx.GAtt.GetDisplayMode()) {}

  // The scale of the layer group of what is drawn next (the texts' scale macros).
  void SetLgScale(double v) {
    lgScale_ = v;
    if (g_) g_->LgScale = v;
  }

  bool Shown(const scene::Head& h) const {
    if (h.flags & scene::kNotDrawn) return false;
    if (h.layer < 0 || ctx_.GAtt.GetAttrLayerState(h.layer) == 3) return false;
    return ctx_.GAtt.GetDispHojo() || !(h.flags & scene::kAux);
  }

  // ---- items of the drawing itself -------------------------------------------

  void Paint(const scene::Item& item) {
    if (visitor_ && !scene::Is<scene::Text>(item)) return;
    scene::Visit([this](const auto& i) { Draw(i); }, item);
  }

  // Items of the K4 renderer have no place in a Jw scene.
  template <typename T>
  void Draw(const T&) {}
  template <typename T>
  void Placed(const T&, const scene::Placement&) {}

  void Draw(const scene::Line& e) {
    if (dm_) g_->GLSetDT();
    Pen(e.pen);
    if (dm_)
      g_->GLLineDT(e.pen.lay, e.pen.typ, e.p1.X, e.p1.Y, e.p2.X, e.p2.Y);
    else
      g_->GLLine(e.p1.X, e.p1.Y, e.p2.X, e.p2.Y);
  }

  void Draw(const scene::Arc& e) {
    if (dm_) g_->GLSetDT();
    Pen(e.pen);
    if (dm_)
      g_->GLEllipseArcDT(e.pen.lay, e.pen.typ, e.c.X, e.c.Y, e.r, e.flat, e.tilt, e.start, e.sweep);
    else if (e.whole)
      g_->GLEllipse(e.c.X, e.c.Y, e.r, e.flat, e.tilt);
    else
      g_->GLEllipseArc(e.c.X, e.c.Y, e.r, e.flat, e.tilt, e.start, e.sweep);
  }

  void Draw(const scene::Solid& e) {
    FillPen(e.pen, e.own);
    Quad(e.p);
  }

  void Draw(const scene::SolidArc& e) {
    FillPen(e.pen, e.own);
    g_->GLSolidArc(e.style, e.v[0], e.v[1], e.v[2], e.v[3], e.v[4], e.v[5], e.v[6], e.v[7]);
  }

  void Draw(const scene::Marker& e) {
    g_->GLTenMarker(e.p.X, e.p.Y, e.kf, e.code, e.angle, e.scale, e.lay, e.col, e.width, 0);
  }

  void Draw(const scene::Text& e) {
    SetLgScale(e.macroScale);
    if (visitor_) {
      visitor_->Visit({e.h, nullptr, e.p1, e.p2, e.height, e.width, e.spacing, e.style, e.font, e.text, lgScale_});
      return;
    }
    Pen(e.pen);
    g_->GLAText3(e.p1.X, e.p1.Y, e.p2.X, e.p2.Y, e.height, e.width, e.spacing, e.style, e.font, e.text);
  }

  void Draw(const scene::Image& e) {
    const double x1 = e.p1.X, y1 = e.p1.Y, x2 = x1 + e.w, y2 = y1 + e.hgt;
    if (dm_) {
      const int32_t r = e.longForm ? g_->GLImage2(x1, y1, x2, y2, e.X, e.Y, e.R, e.A, e.file)
                                   : g_->GLImage(x1, y1, x2, y2, 1, e.file);
      // A file that is missing, of a type not read or without pixels leaves
      // the frame, so that the picture shows where the image belongs.
      if (r != kImageNotShown) return;
    }
    ImageFrame(e.pen, x1, y1, x2, y2, e.A);
  }

  void Draw(const scene::BaseMark& e) {
    if (!ctx_.GAtt.GetDispKijun() || !(g_->View.DispScale > 0)) return;
    g_->GPenSet(ctx_.InkColour(0xFFFF0000), 0, 2);
    g_->GLEllipse(e.p.X, e.p.Y, 5.0 / g_->View.DispScale, 1.0, 0);
  }

  // ---- members of a placement ----------------------------------------------------

  void Place(const scene::Item& item, const scene::Placement& p) {
    if (visitor_ && !scene::Is<scene::Text>(item)) return;
    scene::Visit([&](const auto& i) { Placed(i, p); }, item);
  }

  void Placed(const scene::Line& e, const scene::Placement& p) {
    if (dm_) g_->GLSetDT();
    Pen(e.pen);
    const TDPoint a = p.xf.T(e.p1.X, e.p1.Y), b = p.xf.T(e.p2.X, e.p2.Y);
    if (dm_)
      g_->GLLineDT(e.pen.lay, e.pen.typ, a.X, a.Y, b.X, b.Y);
    else
      g_->GLLine(a.X, a.Y, b.X, b.Y);
  }

  void Placed(const scene::Arc& e, const scene::Placement& p) {
    if (dm_) g_->GLSetDT();
    Pen(e.pen);
    const scene::Transform& x = p.xf;
    if (dm_) {
      g_->GLEllipseArcBLDT(e.pen.lay, e.pen.typ, e.c.X, e.c.Y, e.r, e.flat, e.tilt, e.start, e.sweep, x.bx, x.by,
                          x.b1, x.b2, x.b3, x.b4, x.sc);
    } else if (e.whole) {
      g_->GLEllipseBL(e.c.X, e.c.Y, e.r, e.flat, e.tilt, x.bx, x.by, x.b1, x.b2, x.b3, x.b4, x.sc);
    } else {
      g_->GLEllipseArcBL(e.c.X, e.c.Y, e.r, e.flat, e.tilt, e.start, e.sweep, x.bx, x.by, x.b1, x.b2, x.b3, x.b4,
                        x.sc);
    }
  }

  void Placed(const scene::Solid& e, const scene::Placement& p) {
    FillPen(e.pen, e.own);
    const TDPoint q[4] = {p.xf.T(e.p[0].X, e.p[0].Y), p.xf.T(e.p[1].X, e.p[1].Y), p.xf.T(e.p[2].X, e.p[2].Y),
                          p.xf.T(e.p[3].X, e.p[3].Y)};
    Quad(q);
  }

  void Placed(const scene::SolidArc& e, const scene::Placement& p) {
    FillPen(e.pen, e.own);
    const scene::Transform& x = p.xf;
    g_->GLSolidArcBL(e.style, e.v[0], e.v[1], e.v[2], e.v[3], e.v[4], e.v[5], e.v[6], e.v[7], x.bx, x.by, x.b1, x.b2,
                    x.b3, x.b4, x.sc);
  }

  void Placed(const scene::Marker& e, const scene::Placement& p) {
    const TDPoint at = p.xf.T(e.p.X, e.p.Y);
    double a = 0;
    if (e.coded) {
      // The marker turns with the block. A mirroring block cannot mirror the
      // marker; when it flips x, the marker is turned back by half a turn so
      // that it keeps its own orientation. A mere rotation (also one beyond
      // 90 degrees, where b1 is negative too) only turns it.
      a = e.angle + Dir(at, p.xf.T(e.p.X + 10, e.p.Y)) + (p.xf.Mirrors() && p.xf.b1 < 0 ? kPi : 0.0);
    }
    g_->GLTenMarker(at.X, at.Y, e.kf, e.code, a, e.scale, e.lay, e.col, e.width, 0);
  }

  void Placed(const scene::Text& e, const scene::Placement& p) {
    SetLgScale(p.ownScale ? e.macroScale : p.groupScale);
    PlacedText t = PlaceText(e, p.xf);
    const std::u16string* text = &e.text;
    std::u16string value;
    // In a turned or scaled block a dimension whose text is its value shows
    // the placed length.
    if (e.value && !p.xf.IsIdentity()) {
      const scene::DimensionValue& v = *e.value;
      const double len = Dist(p.xf.T(v.b.X, v.b.Y), p.xf.T(v.a.X, v.a.Y)) * v.scale;
      value = v.format(len, v.f, v.g);
      text = &value;
      t.w = std::max(Round4(t.w), 0.0001);
      t.h = std::max(Round4(t.h), 0.0001);
      t.sp = Round4(t.sp);
      // Centre the new text where the stored one was centred.
      const double half = AnsiTextWidth(value, t.w, t.sp) / 2;
      const TDPoint m{(t.p1.X + t.p2.X) / 2, (t.p1.Y + t.p2.Y) / 2};
      const double phi = Dir(t.p1, t.p2);
      const double cx = std::cos(phi) * half, cy = std::sin(phi) * half;
      t.p1 = {m.X - cx, m.Y - cy};
      t.p2 = {m.X + cx, m.Y + cy};
    }
    if (visitor_) {
      visitor_->Visit({e.h, &p, t.p1, t.p2, t.h, t.w, t.sp, e.style, e.font, *text, lgScale_});
      return;
    }
    Pen(e.pen);
    g_->GLAText3(t.p1.X, t.p1.Y, t.p2.X, t.p2.Y, t.h, t.w, t.sp, e.style, e.font, *text);
  }

  void Placed(const scene::Image& e, const scene::Placement& p) {
    const TDPoint p1 = p.xf.T(e.p1.X, e.p1.Y);
    const double c = std::cos(e.baseAngle), s = std::sin(e.baseAngle);
    const double w = Dist(p.xf.T(e.p1.X + e.w * c, e.p1.Y + e.w * s), p1);
    const double h = Dist(p.xf.T(e.p1.X - e.hgt * s, e.p1.Y + e.hgt * c), p1);
    const double ar = e.A * kPi / 180;
    double a = Dir(p1, p.xf.T(e.p1.X + e.w * std::cos(ar), e.p1.Y + e.w * std::sin(ar))) * 180 / kPi;
    a = std::fmod(a, 360.0);
    if (a < 0) a += 360;
    if (dm_ && g_->GLImage2(p1.X, p1.Y, p1.X + w, p1.Y + h, e.X, e.Y, e.R, a, e.file) != kImageNotShown) return;
    ImageFrame(e.pen, p1.X, p1.Y, p1.X + w, p1.Y + h, a);
  }

  void Placed(const scene::BaseMark& e, const scene::Placement&) { Draw(e); }

 private:
  // Base line and character sizes of a text placed through a block transform.
  struct PlacedText {
    TDPoint p1, p2;
    double h = 0, w = 0, sp = 0;
  };

  static PlacedText PlaceText(const scene::Text& e, const scene::Transform& xf) {
    const double w = e.width / xf.sc, h = e.height / xf.sc;
    PlacedText t;
    t.p1 = xf.T(e.p1.X, e.p1.Y);
    t.p2 = xf.T(e.p2.X, e.p2.Y);
    if (xf.IsIdentity()) {
      t.w = w / xf.sc;
      t.h = h / xf.sc;
      t.sp = e.spacing / xf.sc;
      return t;
    }
    const double th = PtAngle(e.p2.X - e.p1.X, e.p2.Y - e.p1.Y);
    const double ux = std::cos(th), uy = std::sin(th);
    const double nx = std::cos(th + kPi / 2), ny = std::sin(th + kPi / 2);
    t.w = Dist(xf.T(e.p1.X + w * ux, e.p1.Y + w * uy), t.p1) / xf.sc;
    t.sp = Dist(xf.T(e.p1.X + e.spacing * ux, e.p1.Y + e.spacing * uy), t.p1) / xf.sc;
    const TDPoint top = xf.T(e.p1.X + h * nx, e.p1.Y + h * ny);
    t.h = PtLineDist(t.p1.X, t.p1.Y, t.p2.X, t.p2.Y, top.X, top.Y) / xf.sc;
    // A mirroring block would make the text read backwards: start and end of
    // the base line are exchanged.
    if (xf.b1 * xf.b4 < 0) std::swap(t.p1, t.p2);
    return t;
  }

  void Pen(const scene::JwPen& p) { g_->GLPenSet(p.lay, p.col, p.typ, p.wid, 0); }

  // A fill in the pen, or in its own colour greyed as a pen colour is on a
  // display-only layer (and the background's on a hidden one).
  void FillPen(const scene::JwPen& p, const std::optional<uint32_t>& own) {
    if (!own) {
      Pen(p);
      return;
    }
    const TgraAttribute& at = ctx_.GAtt;
    const int32_t st = at.GetAttrLayerState(p.lay);
    const uint32_t col = st == 2 ? at.GetGrayColor() : st == 3 ? at.GetBackColor() : *own;
    g_->GPenSet(ctx_.InkColour(col), 0, 1);
  }

  void Quad(const TDPoint (&p)[4]) {
    g_->GLPt.assign(std::begin(p), std::end(p));
    g_->GLSolid();
    g_->GLPt.clear();
  }

  // The frame of an image box, turned by deg degrees about (x1, y1), in the
  // pen of the image text: drawn in place of an image that is not shown.
  void ImageFrame(const scene::JwPen& pen, double x1, double y1, double x2, double y2, double deg) {
    Pen(pen);
    g_->GLBoxA(x1, y1, x2, y2, deg * kPi / 180.0);
  }

  const ConversionContext& ctx_;
  TGraph2* g_;
  TextVisitor* visitor_;
  const bool dm_;
  double lgScale_ = 1;
};

// An item of a scene whose coordinates the painter divides by d (a JWK
// symbol's): its points and radii divided, sizes on paper kept.
scene::Item Divided(const scene::Item& item, double d) {
  scene::Item out = item;
  if (auto* e = scene::GetIf<scene::Line>(out)) {
    e->p1 = {e->p1.X / d, e->p1.Y / d};
    e->p2 = {e->p2.X / d, e->p2.Y / d};
  } else if (auto* a = scene::GetIf<scene::Arc>(out)) {
    a->c = {a->c.X / d, a->c.Y / d};
    a->r = a->r / d;
  } else if (auto* t = scene::GetIf<scene::Text>(out)) {
    t->p1 = {t->p1.X / d, t->p1.Y / d};
    t->p2 = {t->p2.X / d, t->p2.Y / d};
  } else if (auto* m = scene::GetIf<scene::Marker>(out)) {
    m->p = {m->p.X / d, m->p.Y / d};
  }
  return out;
}

// Every item the context shows, in painting order, through the painter;
// stops early when the caller asks to cancel (checked every kCancelEvery items).
void Walk(const scene::Scene& s, const ConversionContext& ctx, Painter& painter, bool overlay) {
  constexpr unsigned kCancelEvery = 256;
  unsigned n = 0;
  const auto stop = [&] { return ++n % kCancelEvery == 0 && ctx.CancelAsked(); };
  for (const scene::Item& item : s.items) {
    if (stop()) return;
    if (!painter.Shown(scene::HeadOf(item))) continue;
    if (s.divisor != 1)
      painter.Paint(Divided(item, s.divisor));
    else
      painter.Paint(item);
  }
  for (const scene::Placement& p : s.placements) {
    painter.SetLgScale(p.groupScale);
    if (p.definition < 0 || static_cast<size_t>(p.definition) >= s.definitions.size()) continue;
    for (const scene::Item& item : s.definitions[static_cast<size_t>(p.definition)].items) {
      if (stop()) return;
      if (painter.Shown(scene::HeadOf(item))) painter.Place(item, p);
    }
  }
  if (overlay)
    for (const scene::Item& item : s.overlay) painter.Paint(item);
}

}  // namespace

bool scene::Transform::IsIdentity() const {
  return std::fabs(b1 - 1) <= 1e-14 && std::fabs(b2) <= 1e-14 && std::fabs(b3) <= 1e-14 && std::fabs(b4 - 1) <= 1e-14;
}

void PaintJwItems(const scene::Scene& s, const ConversionContext& ctx, TGraph2& g) {
  Painter painter(ctx, &g);
  if (ctx.GAtt.GetDisplayMode()) g.GLSetDT();
  Walk(s, ctx, painter, true);
}

void VisitJwTexts(const scene::Scene& s, const ConversionContext& ctx, TextVisitor& visitor) {
  Painter painter(ctx, nullptr, &visitor);
  Walk(s, ctx, painter, false);
}

}  // namespace zumen
