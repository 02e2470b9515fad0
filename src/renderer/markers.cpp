// TGraph2 point markers: plain dots sized by the pen, virtual points and the
// marker shapes a JWW point can select, built in drawing units around the
// point so that they are clipped and reduced like any other figure.
#include <cmath>
#include <initializer_list>
#include <numbers>

#include "renderer/graph2.h"

namespace zumen {

namespace {

constexpr double kPi = std::numbers::pi;
constexpr double kArm = 1.25;   // half size of the marker shapes
constexpr double kHead = 7.5;   // length of the arrowheads

// Places local marker points: (x, y) + rotate_a(u ba, v ba).
struct Placer {
  double x, y, ba, ca, sa;
  TDPoint operator()(double u, double v) const {
    u *= ba;
    v *= ba;
    return {x + u * ca - v * sa, y + u * sa + v * ca};
  }
  TDPoint Polar(double len, double deg) const {
    const double t = deg * kPi / 180;
    return (*this)(len * std::cos(t), len * std::sin(t));
  }
};

// Result of a shape of several strokes: 1 when none was drawn, 2 when the
// first was reduced to a pixel, else 0.
int32_t StrokesResult(std::initializer_list<int32_t> results) {
  bool anyDrawn = false;
  for (int32_t r : results) anyDrawn = anyDrawn || r != 1;
  if (!anyDrawn) return 1;
  return *results.begin() == 2 ? 2 : 0;
}

}  // namespace

int32_t TGraph2::GLTenMarker(double x, double y, int32_t kf, int32_t pc, double a, double ba, int32_t lay,
                             int32_t col, int32_t wd, uint32_t dcol) {
  const TgraAttribute& g = Ctx.GAtt;
  if (kf == 1) {
    // Virtual point: a one-pixel circle of radius 3 pixels at any scale.
    GLPenSet(lay, col, 1, 0, dcol);
    return GLEllipse(x, y, 3 / View.DispScale, 1, 0);
  }
  const double w = wd != 0 ? wd * 0.01 : g.GetAttrColwid(col);
  GLPenSet(lay, col, 1, w, dcol);
  if (!(ba > 1e-8)) ba = 1;
  const Placer at{x, y, ba, std::cos(a), std::sin(a)};
  const double circle = kArm * ba;

  const auto line = [&](TDPoint p, TDPoint q) { return GLLine(p.X, p.Y, q.X, q.Y); };
  const auto polygon = [&](std::initializer_list<TDPoint> pts) {
    GLPt.assign(pts);
    GLPt.push_back(*pts.begin());
  };
  // Draws the closed outline in GLPt, then fills it (background colour when
  // asked, the pen colour otherwise); answers the outline's result.
  const auto outlineAndFill = [&](bool fill, bool background) {
    const int32_t res = GLPolyline();
    if (fill) {
      if (background) C.SetFillSolid(g.GetBackColor());
      GLSolid();
      if (background) C.SetFillSolid(C.StrokeColor());
    }
    GLPt.clear();
    return res;
  };
  const auto circleAndDisc = [&](bool background) {
    const int32_t res = GLEllipse(x, y, circle, 1, 0);
    if (background) C.SetFillSolid(g.GetBackColor());
    GLSolidCircle(x, y, circle);
    if (background) C.SetFillSolid(C.StrokeColor());
    return res;
  };
  const auto arrowhead = [&] { polygon({at(0, 0), at(-kHead, kArm), at(-kHead, -kArm)}); };
  const auto square = [&] { polygon({at(-kArm, -kArm), at(kArm, -kArm), at(kArm, kArm), at(-kArm, kArm)}); };

  switch (pc) {
    case 0: {
      // Plain point: a disc of half the pen width plus the point radius,
      // at least 2 pixels, neither scaled nor turned.
      double r = w / 2 + g.GetAttrColten(col);
      if (r < 2 / View.DispScale) r = 2 / View.DispScale;
      GLPenSet(lay, col, 1, 0, dcol);
      return GLSolidCircle(x, y, r);
    }
    case -1:
      return StrokesResult({line(at(0, kArm), at(0, -kArm)), line(at.Polar(kArm, 30), at.Polar(kArm, 210)),
                            line(at.Polar(kArm, 150), at.Polar(kArm, 330))});
    case -2:
      return GLEllipse(x, y, circle, 1, 0);
    case -3: {
      const double cw = g.GetAttrColwid(col);
      double r = cw * ba;
      if (r < 1 / View.DispScale) r = 1 / View.DispScale;
      GLPenSet(lay, col, 1, cw, dcol);
      return GLSolidCircle(x, y, r);
    }
    case -4:
      return StrokesResult({line(at(0, kArm), at(0, -kArm)), line(at(-kArm, 0), at(kArm, 0))});
    case -5: {
      const TDPoint p0 = at(-kArm, -kArm), p1 = at(kArm, -kArm), p2 = at(kArm, kArm), p3 = at(-kArm, kArm);
      return StrokesResult({line(p0, p1), line(p1, p2), line(p2, p3), line(p3, p0)});
    }
    case -6: {
      const double d = 5.0 / 3.0;
      const TDPoint p0 = at.Polar(d, 90), p1 = at.Polar(d, 210), p2 = at.Polar(d, 330);
      return StrokesResult({line(p0, p1), line(p1, p2), line(p2, p0)});
    }
    case -7:
      return StrokesResult({line(at.Polar(kArm, 45), at.Polar(kArm, 225)),
                            line(at.Polar(kArm, 135), at.Polar(kArm, 315))});
    case 1:
      arrowhead();
      return outlineAndFill(true, true);
    case 2:
      square();
      return outlineAndFill(true, true);
    case 3:
      return circleAndDisc(true);
    case 4:
      return GLEllipse(x, y, circle, 1, 0);
    case 5:
      square();
      return outlineAndFill(true, false);
    case 6:
      arrowhead();
      return outlineAndFill(true, false);
    case 8: {
      // An S through the point: two quarter circles on either side of it.
      const double off = std::sqrt(2.0) * kArm;
      const TDPoint c1 = at(off, 0), c2 = at(-off, 0);
      const double r = off * ba;
      return StrokesResult({GLEllipseArc(c1.X, c1.Y, r, 1, a, kPi / 2, kPi / 2),
                            GLEllipseArc(c2.X, c2.Y, r, 1, a, 3 * kPi / 2, kPi / 2)});
    }
    case 9:
      return StrokesResult({line(at(0, 0), at(-kHead, kArm)), line(at(0, 0), at(-kHead, -kArm))});
    case 10:
      return line(at.Polar(2 * kArm, 45), at.Polar(2 * kArm, 225));
    case 11:
      arrowhead();
      return outlineAndFill(false, false);
    default:  // 7 and any unknown code: circle filled in the pen colour
      return circleAndDisc(false);
  }
}

}  // namespace zumen
