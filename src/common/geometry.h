#pragma once
// Plane geometry on doubles. Angles are radians, counter-clockwise, unless a
// name says degrees; tolerances are absolute.

namespace zumen {

// x of (x, y) rotated by a about (cx, cy).
double RotX(double x, double y, double cx, double cy, double a);
// y of (x, y) rotated by a about (cx, cy).
double RotY(double x, double y, double cx, double cy, double a);
// (x, y) rotated by a about (cx, cy).
void RotPt(double& rx, double& ry, double x, double y, double cx, double cy, double a);
// As RotPt with the angle d in degrees.
void RotPtDeg(double& rx, double& ry, double x, double y, double cx, double cy, double d);

// Direction of (dx, dy) in [0, 2 pi); 0 when both parts are below 1e-14 in
// size.
double PtAngle(double dx, double dy);

// Parametric angle of (x, y) on the ellipse centred at (cx, cy), rotated by a,
// with flatness f (minor / major radius; f <= 0 counts as 1).
double EllipseAngle(double x, double y, double cx, double cy, double f, double a);

// Euclidean distance.
double PtDist(double x1, double y1, double x2, double y2);

// Distance of (px, py) from the infinite line through (x1, y1) and (x2, y2).
double PtLineDist(double x1, double y1, double x2, double y2, double px, double py);

// True when both coordinate differences are at most 1e-14.
bool PtSame(double x1, double y1, double x2, double y2);

// x rounded to n decimals (n from 1 to 9; any other n rounds to an integer).
// mode 0 truncates, mode 1 rounds up (away from zero), any other mode rounds
// half away from zero.
double RoundDec(int n, int mode, double x);

// Exchanges a and b.
inline void SwapDbl(double& a, double& b) {
  const double t = a;
  a = b;
  b = t;
}

}  // namespace zumen
