// TGraph symbols (a stem and an end mark), Bezier curves, polylines and
// polygons from a caller's point array.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/geometry.h"
#include "renderer_k4/graph.h"

namespace zumen {

namespace {
constexpr double kPi = std::numbers::pi;

// Combines the results of a figure's pieces: drawn when any piece was drawn.
int32_t Merge(int32_t acc, int32_t r) {
  if (acc == 0 || r == 0) return 0;
  if (acc == 2 || r == 2) return 2;
  if (acc == 1 || r == 1) return 1;
  return 3;
}
}  // namespace

int32_t TGraph::GLSymbol(double sx, double sy, double le, double ox, double oy, double r1, double r2, double ea,
                         double an, double pa1, double pa2, uint8_t sty, uint8_t ext, uint8_t exa, uint8_t dir) {
  int32_t res = 3;
  // P(x, y): the symbol point plus (x, y) turned by an.
  const auto P = [&](double x, double y) {
    TDPoint q;
    RotPt(q.X, q.Y, x, y, 0, 0, an);
    q.X += sx;
    q.Y += sy;
    return q;
  };

  if (dir != 0 && le > 1e-6) {
    GLSetDT();
    if (ext == 2) {
      const TDPoint e = P(le, 0);
      res = Merge(res, GLLine2(sx, sy, e.X, e.Y));
    } else if ((ext == 4 || ext == 6) && r1 != 0) {
      const double h = ext == 4 ? 1.0 : r2 / r1;
      const double tilt = ext == 4 ? 0.0 : ea;
      const double d = le / r1;
      const double f = ext == 4 ? PtAngle(sx - ox, sy - oy) : EllipseAngle(sx, sy, ox, oy, h, ea);
      const double s = dir == 1 ? f - d : f;
      res = Merge(res, GLEllipseArc2(ox, oy, r1, h, tilt, s, d));
    }
  }
  GLSetDT();

  const double c = pa1 / 2;
  const TDPoint S{sx, sy};
  const TDPoint T1 = P(pa1 * std::cos(pa2), pa1 * std::sin(pa2));
  const TDPoint T2 = P(pa1 * std::cos(-pa2), pa1 * std::sin(-pa2));
  const auto line = [&](const TDPoint& a, const TDPoint& b) { res = Merge(res, GLLine2(a.X, a.Y, b.X, b.Y)); };
  // Hollow marks are filled with the picture's background (white unless another was chosen).
  const auto fillWhite = [&]() { SetFillColor(Ctx.GAtt.GetBackColor()); };
  const auto fillBack = [&]() { SetFillColor(C.StrokeColor()); };
  // A closed outline in GLPt: filled (optionally white) and/or stroked.
  const auto shape = [&](std::vector<TDPoint> pts, bool fill, bool white) {
    G2.GLPt = std::move(pts);
    if (fill) {
      if (white) fillWhite();
      res = Merge(res, GLSolid());
      if (white) fillBack();
    }
    res = Merge(res, GLPolyline2());
    G2.GLPt.clear();
  };
  const std::vector<TDPoint> square = {P(-c, -c), P(c, -c), P(c, c), P(-c, c), P(-c, -c)};

  switch (sty) {
    case 1:
      res = Merge(res, GLSolidCircle(sx, sy, c));
      res = Merge(res, GLEllipse(sx, sy, c, 1, 0));
      break;
    case 2:
      res = Merge(res, GLEllipse2(sx, sy, c, 1, 0));
      break;
    case 3:
      res = Merge(res, GLEllipse2(sx, sy, c, 1, 0));
      res = Merge(res, GLEllipse2(sx, sy, pa1 * 0.25, 1, 0));
      break;
    case 4:
      res = Merge(res, GLSolidCircle(sx, sy, c));
      break;
    case 5:
      fillWhite();
      res = Merge(res, GLSolidCircle(sx, sy, c));
      fillBack();
      res = Merge(res, GLEllipse2(sx, sy, c, 1, 0));
      break;
    case 11:
      line(S, T1);
      GLSetDT();
      line(S, T2);
      break;
    case 12:
      line(S, T1);
      GLSetDT();
      line(T1, T2);
      GLSetDT();
      line(T2, S);
      break;
    case 13:
    case 14:
      shape({S, T1, T2, S}, true, sty == 14);
      break;
    case 15:
      line(P(pa1 * std::cos(pa2), pa1 * std::sin(pa2)), P(pa1 * std::cos(pa2 + kPi), pa1 * std::sin(pa2 + kPi)));
      break;
    case 16: {
      const double R = pa1 * 0.5 * std::numbers::sqrt2;
      for (const double g : {pa2 - kPi / 4, pa2 - kPi / 4 + kPi}) {
        const TDPoint m = P(R * std::cos(g), R * std::sin(g));
        res = Merge(res, GLEllipseArc(m.X, m.Y, R, 1, an, g + kPi / 2, kPi / 2));
      }
      break;
    }
    case 17: {
      const double a = an < 0 ? an + 2 * kPi : an;
      const double o = (a > kPi / 2 && a <= 3 * kPi / 2) ? -pa2 : pa2;
      line(P(0, o), P(pa1, o));
      break;
    }
    case 18:
      shape(square, false, false);
      break;
    case 19:
    case 20:
      shape(square, true, sty == 20);
      break;
    default:
      break;
  }
  return res;
}

void TGraph::TransBezierSub(double& xp, double& yp, double t, double x1, double x2, double x3, double x4,
                            double y1, double y2, double y3, double y4) {
  const double s = 1 - t;
  const double b1 = s * s * s, b2 = 3 * t * s * s, b3 = 3 * t * t * s, b4 = t * t * t;
  xp = b1 * x1 + b2 * x2 + b3 * x3 + b4 * x4;
  yp = b1 * y1 + b2 * y2 + b3 * y3 + b4 * y4;
}

void TGraph::TransBezierToLines(int32_t sp, int32_t num, std::span<const TDPoint> v) {
  auto& out = G2.GLPt;
  out.clear();
  num = std::clamp<int32_t>(num, 0, static_cast<int32_t>(std::min<size_t>(v.size(), INT32_MAX)));
  const int32_t s = (num - 1) / 3;
  if (s <= 0 || sp < 1) return;
  out.reserve(static_cast<size_t>(s) * (static_cast<size_t>(sp) + 1) + 1);
  for (int32_t b = 0; b < s; ++b) {
    const TDPoint* q = &v[static_cast<size_t>(b) * 3];
    double t = 0;
    for (int32_t i = 0; i <= sp; ++i) {
      if (i > 0) t += 1.0 / sp;
      TDPoint p;
      TransBezierSub(p.X, p.Y, t, q[0].X, q[1].X, q[2].X, q[3].X, q[0].Y, q[1].Y, q[2].Y, q[3].Y);
      if (!out.empty() && PtSame(p.X, p.Y, out.back().X, out.back().Y)) continue;
      out.push_back(p);
    }
  }
}

namespace {
// The first n points of p, each multiplied by sc.
std::vector<TDPoint> Scaled(int32_t n, std::span<const TDPoint> p, double sc) {
  const size_t k = std::min<size_t>(static_cast<size_t>(std::max(n, 0)), p.size());
  std::vector<TDPoint> out(p.begin(), p.begin() + static_cast<std::ptrdiff_t>(k));
  for (auto& q : out) {
    q.X *= sc;
    q.Y *= sc;
  }
  return out;
}
}  // namespace

int32_t TGraph::GLBezier(int32_t n, std::span<const TDPoint> p, double sc) {
  const std::vector<TDPoint> copy = Scaled(n, p, sc);
  TransBezierToLines(10, static_cast<int32_t>(copy.size()), copy);
  const int32_t r = GLPolyline2();
  G2.GLPt.clear();
  return r;
}

int32_t TGraph::GLPolylin(int32_t n, std::span<const TDPoint> p, double sc) {
  G2.GLPt = Scaled(n, p, sc);
  const int32_t r = GLPolyline2();
  G2.GLPt.clear();
  return r;
}

int32_t TGraph::GLPolygon(int32_t n, std::span<const TDPoint> p, double sc) {
  G2.GLPt = Scaled(n, p, sc);
  const int32_t r = GLSolid();
  G2.GLPt.clear();
  return r;
}

}  // namespace zumen
