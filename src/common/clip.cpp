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

// Moves (x, y) onto the window edges its code names, in the order left,
// right, below, above, each once, recomputing the code after every move.
void ClipEnd(double& x, double& y, const Line& l, const Window& w) {
  int c = OutCode(x, y, w.x1, w.y1, w.x2, w.y2);
  const bool has_dx = std::fabs(l.dx) > kEps;
  const bool has_dy = std::fabs(l.dy) > kEps;
  const auto at_x = [&](double ex) {
    x = ex;
    y = l.oy + (ex - l.ox) * l.dy / l.dx;
    c = OutCode(x, y, w.x1, w.y1, w.x2, w.y2);
  };
  const auto at_y = [&](double ey) {
    y = ey;
    x = l.ox + (ey - l.oy) * l.dx / l.dy;
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
  ClipEnd(x1, y1, l, w);
  ClipEnd(x2, y2, l, w);
  // An infinite coordinate gives NaN intersections: nothing to draw.
  if (std::isnan(x1) || std::isnan(y1) || std::isnan(x2) || std::isnan(y2)) return 2;
  return (std::fabs(x1 - x2) >= kEps || std::fabs(y1 - y2) >= kEps) ? 1 : 2;
}

int SegVisible(double x1, double y1, double x2, double y2, double wx1, double wy1, double wx2, double wy2) {
  return ClipLine(x1, y1, x2, y2, wx1, wy1, wx2, wy2);
}

}  // namespace zumen
