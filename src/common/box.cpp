#include "common/box.h"

namespace zumen {

namespace {

// Every side is kept within +-1e8. Minima below -1e8 are raised and maxima
// above 1e8 lowered; so that the box can never come out inverted or infinite,
// a minimum above 1e8 is lowered and a maximum below -1e8 raised as well. A NaN
// side (a NaN coordinate read from a file, or 0 divided by a zero scale) goes
// to the limit on its own side, since no later point could replace it by
// comparison.
double ClampMin(double v) { return v >= -kBoxLimit ? (v <= kBoxLimit ? v : kBoxLimit) : -kBoxLimit; }
double ClampMax(double v) { return v <= kBoxLimit ? (v >= -kBoxLimit ? v : -kBoxLimit) : kBoxLimit; }

void Clamp(ExtentBox& b) {
  b.minx = ClampMin(b.minx);
  b.miny = ClampMin(b.miny);
  b.maxx = ClampMax(b.maxx);
  b.maxy = ClampMax(b.maxy);
}

}  // namespace

void BoxStart(ExtentBox& b, double x, double y, double s) {
  b.minx = b.maxx = x / s;
  b.miny = b.maxy = y / s;
  Clamp(b);
}

void BoxAdd(ExtentBox& b, double x, double y, double s) {
  x /= s;
  y /= s;
  if (x < b.minx) b.minx = x;
  if (x > b.maxx) b.maxx = x;
  if (y < b.miny) b.miny = y;
  if (y > b.maxy) b.maxy = y;
  Clamp(b);
}

void BoxAddT(ExtentBox& b, double x, double y, double bx, double by, double b1, double b2, double b3, double b4,
             double s) {
  BoxAdd(b, bx + b1 * x + b2 * y, by + b3 * x + b4 * y, s);
}

}  // namespace zumen
