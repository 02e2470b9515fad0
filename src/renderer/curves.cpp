// TGraph2 curves and solids: ellipses, arcs and the arc solids, built as
// 73-point outlines in drawing units and handed to GLPolyline / GLSolid.
#include <cmath>
#include <numbers>

#include "renderer/graph2.h"

namespace zumen {

namespace {

constexpr double kEps = 1e-14;
constexpr double kPi = std::numbers::pi;
constexpr int kSteps = 72;  // chords of a full turn or of an arc

// The point of the tilted ellipse at parameter t, relative to its centre.
void EllipseOffset(double r, double h, double ca, double sa_, double t, double& u, double& v) {
  const double x = r * std::cos(t), y = r * h * std::sin(t);
  u = x * ca - y * sa_;
  v = x * sa_ + y * ca;
}

}  // namespace

bool TGraph2::Block::Valid() const {
  return sc != 0 && std::isfinite(sc) && std::isfinite(bx) && std::isfinite(by) && std::isfinite(b1) &&
         std::isfinite(b2) && std::isfinite(b3) && std::isfinite(b4);
}

void TGraph2::Block::Apply(double u, double v, double& x, double& y) const {
  x = (bx + b1 * u + b2 * v) / sc;
  y = (by + b3 * u + b4 * v) / sc;
}

// Appends the 73 points sa + i * (da / 72), i = 0..72, the step added up.
void TGraph2::ArcPoints(double cx, double cy, double r, double h, double a, double sa, double da,
                        const Block* blk) {
  const double ca = std::cos(a), sn = std::sin(a);
  const double step = da / kSteps;
  double t = sa;
  for (int i = 0; i <= kSteps; ++i) {
    double u, v;
    EllipseOffset(r, h, ca, sn, t, u, v);
    TDPoint p{cx + u, cy + v};
    if (blk) blk->Apply(p.X, p.Y, p.X, p.Y);
    GLPt.push_back(p);
    t += step;
  }
}

int32_t TGraph2::GLEllipse(double cx, double cy, double r, double h, double a) {
  GLPt.clear();
  ArcPoints(cx, cy, r, h, a, 0, 2 * kPi, nullptr);
  const int32_t res = GLPolyline();
  GLPt.clear();
  return res;
}

int32_t TGraph2::GLEllipseArc(double cx, double cy, double r, double h, double a, double sa, double da) {
  GLPt.clear();
  ArcPoints(cx, cy, r, h, a, sa, da, nullptr);
  const int32_t res = GLPolyline();
  GLPt.clear();
  return res;
}

int32_t TGraph2::GLEllipseBL(double cx, double cy, double r, double h, double a, double bx, double by, double b1,
                             double b2, double b3, double b4, double sc) {
  return GLEllipseArcBL(cx, cy, r, h, a, 0, 2 * kPi, bx, by, b1, b2, b3, b4, sc);
}

int32_t TGraph2::GLEllipseArcBL(double cx, double cy, double r, double h, double a, double sa, double da,
                                double bx, double by, double b1, double b2, double b3, double b4, double sc) {
  const Block blk{bx, by, b1, b2, b3, b4, sc};
  if (!blk.Valid()) return 3;
  GLPt.clear();
  ArcPoints(cx, cy, r, h, a, sa, da, &blk);
  const int32_t res = GLPolyline();
  GLPt.clear();
  return res;
}

int32_t TGraph2::GLSolidCircle(double cx, double cy, double r) {
  if (r * View.DispScale > 2.0) {
    GLPt.clear();
    for (int i = 0; i <= kSteps; ++i) {
      const double t = i * (kPi / 36);
      GLPt.push_back({cx + r * std::cos(t), cy + r * std::sin(t)});
    }
    const int32_t res = GLSolid();
    GLPt.clear();
    return res;
  }
  if (WinOutCode(cx, cy) == 0) {
    double X, Y;
    GLTransPt(cx, cy, X, Y);
    GTen(X, Y);
  }
  return 2;
}

int32_t TGraph2::GLSolidArc(int32_t sty, double cx, double cy, double r, double h, double a, double sa, double da,
                            double zf) {
  return SolidArcImpl(sty, cx, cy, r, h, a, sa, da, zf, nullptr);
}

int32_t TGraph2::GLSolidArcBL(int32_t sty, double cx, double cy, double r, double h, double a, double sa,
                              double da, double zf, double bx, double by, double b1, double b2, double b3,
                              double b4, double sc) {
  const Block blk{bx, by, b1, b2, b3, b4, sc};
  if (!blk.Valid()) return 3;
  return SolidArcImpl(sty, cx, cy, r, h, a, sa, da, zf, &blk);
}

namespace {

// Where the tangents at the two ends of the arc meet, relative to the centre
// and before the tilt; the centre itself when they are parallel.
void TangentMeet(double r, double h, double sa, double da, double& tx, double& ty) {
  const double e = sa + da;
  const double p0x = r * std::cos(sa), p0y = r * h * std::sin(sa);
  const double d0x = r * std::cos(sa + kPi / 2), d0y = r * h * std::sin(sa + kPi / 2);
  const double p1x = r * std::cos(e), p1y = r * h * std::sin(e);
  const double d1x = r * std::cos(e - kPi / 2), d1y = r * h * std::sin(e - kPi / 2);
  // A direction whose x part is negligible against its y part is vertical.
  const bool v0 = std::fabs(d0x) <= kEps * std::fabs(d0y);
  const bool v1 = std::fabs(d1x) <= kEps * std::fabs(d1y);
  tx = ty = 0;
  if (v0 && v1) return;
  if (v0) {
    tx = p0x;
    ty = p1y + d1y / d1x * (tx - p1x);
    return;
  }
  if (v1) {
    tx = p1x;
    ty = p0y + d0y / d0x * (tx - p0x);
    return;
  }
  const double m0 = d0y / d0x, m1 = d1y / d1x;
  if (std::round((m0 - m1) / 1e-12) == 0) return;
  tx = (p1y - p0y + m0 * p0x - m1 * p1x) / (m0 - m1);
  ty = p0y + m0 * (tx - p0x);
}

}  // namespace

int32_t TGraph2::SolidArcImpl(int32_t sty, double cx, double cy, double r, double h, double a, double sa,
                              double da, double zf, const Block* blk) {
  const bool full = std::fabs(zf - 100) <= kEps;
  auto& pts = GLPt;
  const auto place = [&](double x, double y) {
    TDPoint p{x, y};
    if (blk) blk->Apply(x, y, p.X, p.Y);
    pts.push_back(p);
  };
  pts.clear();
  int32_t res = 3;
  switch (sty) {
    case 101:
      if (full) {
        ArcPoints(cx, cy, r, h, a, 0, 2 * kPi, blk);
      } else {
        ArcPoints(cx, cy, r, h, a, sa, da, blk);
        if (std::fabs(zf) <= kEps) {
          place(cx, cy);  // sector
        } else if (std::fabs(zf - 5) > kEps) {
          // The region between the arc and the tangents at its ends.
          double tx, ty;
          TangentMeet(r, h, sa, da, tx, ty);
          const double ca = std::cos(a), sn = std::sin(a);
          place(cx + tx * ca - ty * sn, cy + tx * sn + ty * ca);
        }  // else a segment: GLSolid closes it with the chord
      }
      res = GLSolid();
      break;
    case 111:
      if (full) {
        ArcPoints(cx, cy, r, h, a, 0, 2 * kPi, blk);
      } else {
        ArcPoints(cx, cy, r, h, a, sa, da, blk);
      }
      res = GLPolyline();
      break;
    case 105:
    case 106: {
      // Inner curve: semi-axes zf and zf * hi. Style 106 keeps the band
      // between the curves equally wide on both axes: zf * hi = r h - r + zf.
      // Written without the division by zf so that zf = 0 (the inner curve
      // shrunk to a line along the minor axis) stays defined.
      const double innerMinor = sty == 105 ? zf * h : h * r - r + zf;
      ArcPoints(cx, cy, r, h, a, sa, da, blk);
      const double ca = std::cos(a), sn = std::sin(a);
      const double step = da / kSteps;
      for (int j = 0; j <= kSteps; ++j) {
        const double t = sa + da - j * step;
        const double x = zf * std::cos(t), y = innerMinor * std::sin(t);
        place(cx + x * ca - y * sn, cy + x * sn + y * ca);
      }
      // The outline is closed by hand; the block form leaves it to GLSolid.
      if (!blk) pts.push_back(pts.front());
      res = GLSolid();
      break;
    }
    default:
      break;
  }
  pts.clear();
  return res;
}

}  // namespace zumen
