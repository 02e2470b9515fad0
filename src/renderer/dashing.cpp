// TGraph2 dashing: line types are cut into pieces in drawing units so that
// dashes keep their length on paper whatever the output resolution.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/geometry.h"
#include "renderer/graph2.h"

namespace zumen {

namespace {

constexpr double kEps = 1e-14;
constexpr double kPi = std::numbers::pi;
constexpr int kMaxChords = 72;

// Chords of an arc whose estimated device length is s pixels: about 2 pixels
// each, never more than 72, at least 2.
int ChordCount(double s) {
  if (s / kMaxChords >= 2) return kMaxChords;
  return std::max(2, static_cast<int>(std::nearbyint(s / 2)));  // halves to even
}

}  // namespace

void TGraph2::GLSetDT() {
  LastLay = -1;
  LastTyp = -1;
  LastX = 0;
  LastY = 0;
  LastSeg = 0;
  LastLen = 0;
}

int32_t TGraph2::GLLineDT(int32_t lay, int32_t typ, double x1, double y1, double x2, double y2) {
  // Points at infinity would make the walk endless: invalid input.
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return 3;
  const TgraAttribute& g = Ctx.GAtt;
  const int seg = g.GetAttrTypseg(typ);
  if (seg <= 0) return GLLine(x1, y1, x2, y2);
  // A pattern whose period is 2 pixels or less is drawn solid.
  if (!(g.GetAttrTyppit(typ) * View.DispScale > 2)) return GLLine(x1, y1, x2, y2);
  const double amp = g.GetAttrTypamp(typ);
  double pat[TjwvLtype::kMaxSeg] = {};
  g.GetAttrTyppat(typ, pat);
  const bool zigzag = std::fabs(amp) >= kEps;
  // So are gaps, or zigzags, smaller than 2 pixels.
  double visible = std::fabs(amp);
  if (!zigzag) {
    visible = 0;
    for (int i = 0; i < seg; ++i)
      if (pat[i] < 0) visible = std::max(visible, -pat[i]);
  }
  if (visible * View.DispScale < 2) return GLLine(x1, y1, x2, y2);

  // The pattern is walked along the visible part only: a line that enters
  // the window starts its pattern at the edge.
  if (WinClip(x1, y1, x2, y2) == 2) return 1;
  // A line that crosses the window is clipped to at most its diagonal; a
  // piece much longer than that misses the window (its ends some 1e200
  // away), and walking it would take for ever.
  const double diagonal = std::hypot(View.DispX2 - View.DispX1, View.DispY2 - View.DispY1);
  if (!(std::hypot(x2 - x1, y2 - y1) <= 4 * diagonal)) return 1;
  double X1, Y1, X2, Y2;
  GLTransPt(x1, y1, X1, Y1);
  GLTransPt(x2, y2, X2, Y2);
  if (std::fabs(X2 - X1) + std::fabs(Y2 - Y1) <= 2) {
    GTen(X1, Y1);
    return 2;
  }

  // Carry the phase on from the previous piece when this one continues it.
  int k = 0;
  double done = 0;
  if (LastLay == lay && LastTyp == typ && std::fabs(LastX - x1) <= kEps && std::fabs(LastY - y1) <= kEps) {
    k = LastSeg;
    done = LastLen;
  }
  if (k < 0 || k >= seg) {
    k = 0;
    done = 0;
  }

  double rest = std::hypot(x2 - x1, y2 - y1);
  const double theta = PtAngle(x2 - x1, y2 - y1);
  const double ux = std::cos(theta), uy = std::sin(theta);
  // Unit offsets to the left and to the right of the direction of travel.
  const double lx = std::cos(theta + kPi / 2), ly = std::sin(theta + kPi / 2);
  const double rx = std::cos(theta - kPi / 2), ry = std::sin(theta - kPi / 2);
  double ax = x1, ay = y1;  // current point on the line
  double bx = x1, by = y1;  // current zigzag vertex
  for (;;) {
    const double len = std::clamp(std::fabs(pat[k]) - done, 0.0, rest);
    const double px = ax + len * ux, py = ay + len * uy;
    if (!zigzag) {
      if (pat[k] >= 0) GLLine(ax, ay, px, py);  // a zero element is a dot
    } else {
      double qx = px, qy = py;
      if (rest - len > kEps) {
        if (pat[k] > 0) {
          qx += amp * lx;
          qy += amp * ly;
        } else if (pat[k] < 0) {
          qx += amp * rx;
          qy += amp * ry;
        }
      }  // the last vertex returns to the line
      GLLine(bx, by, qx, qy);
      bx = qx;
      by = qy;
    }
    ax = px;
    ay = py;
    rest -= len;
    if (rest <= kEps) {
      done += len;
      break;
    }
    done = 0;
    if (++k >= seg) k = 0;
  }

  LastLay = lay;
  LastTyp = typ;
  LastX = x2;
  LastY = y2;
  LastSeg = k;
  LastLen = done;
  return 0;
}

int32_t TGraph2::EllipseArcDTImpl(int32_t lay, int32_t typ, double cx, double cy, double r, double h, double a,
                                  double sa, double da, const Block* blk) {
  // Estimated device length of the arc, and the point that stands for it
  // when it is too small to see.
  double s, dotX = cx, dotY = cy;
  double limit = 2;
  if (blk) {
    double ex, ey;
    blk->Apply(cx, cy, dotX, dotY);
    blk->Apply(cx + r * h, cy + r * h, ex, ey);
    s = View.DispScale * PtDist(dotX, dotY, ex, ey);
    limit = 1;
  } else {
    s = std::fabs(r * da) * (h > 1 ? h : 1) * View.DispScale;
  }
  if (!std::isfinite(s)) return 3;
  if (s <= limit) {
    if (WinOutCode(dotX, dotY) == 0) {
      double X, Y;
      GLTransPt(dotX, dotY, X, Y);
      GTen(X, Y);
    }
    return 2;
  }

  // Chords joined end to start, so the pattern carries along the arc.
  const int n = ChordCount(s);
  const double ca = std::cos(a), sn = std::sin(a);
  const auto point = [&](double t, double& x, double& y) {
    const double u = r * std::cos(t), v = r * h * std::sin(t);
    x = cx + u * ca - v * sn;
    y = cy + u * sn + v * ca;
    if (blk) blk->Apply(x, y, x, y);
  };
  const double step = da / n;
  double t = sa;
  double px, py;
  point(t, px, py);
  bool allOutside = true;
  for (int i = 1; i <= n; ++i) {
    t += step;
    double qx, qy;
    point(t, qx, qy);
    if (GLLineDT(lay, typ, px, py, qx, qy) != 1) allOutside = false;
    px = qx;
    py = qy;
  }
  return allOutside ? 1 : 0;
}

int32_t TGraph2::GLEllipseArcDT(int32_t lay, int32_t typ, double cx, double cy, double r, double h, double a,
                                double sa, double da) {
  const TgraAttribute& g = Ctx.GAtt;
  if (g.GetAttrTypseg(typ) <= 0 || !(g.GetAttrTyppit(typ) * View.DispScale > 2))
    return GLEllipseArc(cx, cy, r, h, a, sa, da);
  return EllipseArcDTImpl(lay, typ, cx, cy, r, h, a, sa, da, nullptr);
}

int32_t TGraph2::GLEllipseArcBLDT(int32_t lay, int32_t typ, double cx, double cy, double r, double h, double a,
                                  double sa, double da, double bx, double by, double b1, double b2, double b3,
                                  double b4, double sc) {
  const TgraAttribute& g = Ctx.GAtt;
  if (g.GetAttrTypseg(typ) <= 0 || !(g.GetAttrTyppit(typ) * View.DispScale > 2))
    return GLEllipseArcBL(cx, cy, r, h, a, sa, da, bx, by, b1, b2, b3, b4, sc);
  const Block blk{bx, by, b1, b2, b3, b4, sc};
  if (!blk.Valid()) return 3;
  return EllipseArcDTImpl(lay, typ, cx, cy, r, h, a, sa, da, &blk);
}

}  // namespace zumen
