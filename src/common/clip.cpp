#include "common/clip.h"

#include <cmath>

namespace zumen {

namespace {

constexpr double kEps = 1e-14;

struct Window {
  double x1, y1, x2, y2;
};

struct Line {
  double ox, oy, dx, dy;
};

// The point where the line from `from` to `to` reaches the coordinate v on
// one axis (u the other axis), measured from `to`: for a line whose far end
// lies some 1e200 away and whose near end lies by the window, the crossing
// is then an ordinary number, where measuring from the far end overflows or
// cancels out.
double CrossingFrom(double toU, double toV, double fromU, double fromV, double v) {
  return toU + (v - toV) / (fromV - toV) * (fromU - toU);
}

// Moves (x, y) onto the window edges its code names, in the order left,
// right, below, above, each once, recomputing the code after every move.
// (ux, uy) is the line's other end.
void ClipEnd(double& x, double& y, const Line& l, const Window& w, double ux, double uy) {
  const double px = x, py = y;
  int c = OutCode(x, y, w.x1, w.y1, w.x2, w.y2);
  const bool has_dx = std::fabs(l.dx) > kEps;
  const bool has_dy = std::fabs(l.dy) > kEps;
  const auto at_x = [&](double ex) {
    x = ex;
    y = l.oy + (ex - l.ox) * l.dy / l.dx;
    if (!std::isfinite(y)) y = CrossingFrom(uy, ux, py, px, ex);
    c = OutCode(x, y, w.x1, w.y1, w.x2, w.y2);
  };
  const auto at_y = [&](double ey) {
    y = ey;
    x = l.ox + (ey - l.oy) * l.dx / l.dy;
    if (!std::isfinite(x)) x = CrossingFrom(ux, uy, px, py, ey);
    c = OutCode(x, y, w.x1, w.y1, w.x2, w.y2);
  };
  if ((c & kOutLeft) && has_dx) at_x(w.x1);
  if ((c & kOutRight) && has_dx) at_x(w.x2);
  if ((c & kOutBelow) && has_dy) at_y(w.y1);
  if ((c & kOutAbove) && has_dy) at_y(w.y2);
}

}  // namespace

int OutCode(double x, double y, double wx1, double wy1, double wx2, double wy2) {
  // A coordinate that is not a number lies on no side of the window; it is
  // taken as outside all of them so that it never reaches the canvas.
  if (std::isnan(x) || std::isnan(y)) return kOutLeft | kOutRight | kOutBelow | kOutAbove;
  int c = 0;
  if (x - wx1 < kEps) c |= kOutLeft;
  if (x - wx2 > -kEps) c |= kOutRight;
  if (y - wy1 < kEps) c |= kOutBelow;
  if (y - wy2 > -kEps) c |= kOutAbove;
  return c;
}

int PtOut(double x, double y, double wx1, double wy1, double wx2, double wy2) {
  return OutCode(x, y, wx1, wy1, wx2, wy2) != 0 ? 2 : 0;
}

int ClipLine(double& x1, double& y1, double& x2, double& y2, double wx1, double wy1, double wx2, double wy2) {
  const int c1 = OutCode(x1, y1, wx1, wy1, wx2, wy2);
  const int c2 = OutCode(x2, y2, wx1, wy1, wx2, wy2);
  if (c1 == 0 && c2 == 0) return 0;
  if ((c1 & c2) != 0) return 2;
  const Line l{x1, y1, x2 - x1, y2 - y1};
  const Window w{wx1, wy1, wx2, wy2};
  const double ox1 = x1, oy1 = y1, ox2 = x2, oy2 = y2;
  ClipEnd(x1, y1, l, w, ox2, oy2);
  ClipEnd(x2, y2, l, w, ox1, oy1);
  // An infinite coordinate gives intersections that are not numbers, or
  // infinite ones: nothing to draw (a walk along such a piece would not end).
  if (!std::isfinite(x1) || !std::isfinite(y1) || !std::isfinite(x2) || !std::isfinite(y2)) return 2;
  return (std::fabs(x1 - x2) >= kEps || std::fabs(y1 - y2) >= kEps) ? 1 : 2;
}

int SegVisible(double x1, double y1, double x2, double y2, double wx1, double wy1, double wx2, double wy2) {
  return ClipLine(x1, y1, x2, y2, wx1, wy1, wx2, wy2);
}

}  // namespace zumen
