#pragma once
// Extent boxes: the smallest axis-parallel box around a set of points, each
// point divided by a scale first. Every update clamps each side of the box to
// +-1e8 (a NaN minimum to -1e8, a NaN maximum to 1e8) so that wild
// coordinates cannot blow up the output sizing.

namespace zumen {

struct ExtentBox {
  double minx = 0;
  double miny = 0;
  double maxx = 0;
  double maxy = 0;
};

// Limit of every side of a box.
inline constexpr double kBoxLimit = 100000000.0;

// The box of the single point (x / s, y / s).
void BoxStart(ExtentBox& b, double x, double y, double s);

// Widens the box to contain (x / s, y / s).
void BoxAdd(ExtentBox& b, double x, double y, double s);

// Widens the box to contain the block-transformed point
// ((bx + b1 x + b2 y) / s, (by + b3 x + b4 y) / s).
void BoxAddT(ExtentBox& b, double x, double y, double bx, double by, double b1, double b2, double b3, double b4,
             double s);

}  // namespace zumen
