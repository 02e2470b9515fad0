#include "common/geometry.h"

#include <cmath>
#include <numbers>

namespace zumen {

double RotX(double x, double y, double cx, double cy, double a) {
  return cx + std::cos(a) * (x - cx) - std::sin(a) * (y - cy);
}

double RotY(double x, double y, double cx, double cy, double a) {
  return cy + std::sin(a) * (x - cx) + std::cos(a) * (y - cy);
}

void RotPt(double& rx, double& ry, double x, double y, double cx, double cy, double a) {
  const double c = std::cos(a), s = std::sin(a);
  rx = cx + c * (x - cx) - s * (y - cy);
  ry = cy + s * (x - cx) + c * (y - cy);
}

void RotPtDeg(double& rx, double& ry, double x, double y, double cx, double cy, double d) {
  RotPt(rx, ry, x, y, cx, cy, d * std::numbers::pi / 180.0);
}

double PtAngle(double dx, double dy) {
  if (std::fabs(dx) < 1e-14 && std::fabs(dy) < 1e-14) return 0;
  double a = std::atan2(dy, dx);
  if (a < 0) a += 2 * std::numbers::pi;
  return a;
}

double EllipseAngle(double x, double y, double cx, double cy, double f, double a) {
  if (f <= 0) f = 1;
  double rx = 0, ry = 0;
  RotPt(rx, ry, x, y, cx, cy, -a);
  return PtAngle(rx - cx, (ry - cy) / f);
}

double PtDist(double x1, double y1, double x2, double y2) { return std::hypot(x2 - x1, y2 - y1); }

double PtLineDist(double x1, double y1, double x2, double y2, double px, double py) {
  const double a = PtAngle(x2 - x1, y2 - y1);
  return std::fabs(RotY(px, py, x1, y1, -a) - y1);
}

bool PtSame(double x1, double y1, double x2, double y2) {
  return std::fabs(x1 - x2) <= 1e-14 && std::fabs(y1 - y2) <= 1e-14;
}

double RoundDec(int n, int mode, double x) {
  if (n < 1 || n > 9) n = 0;
  const double scale = std::pow(10.0, n);
  double v = std::fabs(x) * scale;
  if (mode == 1)
    v += 0.9999999999;
  else if (mode != 0)
    v += 0.5;
  v = std::trunc(v) / scale;
  return std::signbit(x) ? -v : v;
}

}  // namespace zumen
