#include "common/box.h"

namespace zumen {

namespace {

// Minima below -1e8 are raised to it and maxima above 1e8 lowered to it. A NaN
// side (a point divided by a zero scale, or a NaN coordinate read from a file)
// goes to the limit on its side too, since no later point could ever replace
// it by comparison.
void Clamp(ExtentBox& b) {
  if (!(b.minx >= -kBoxLimit)) b.minx = -kBoxLimit;
  if (!(b.miny >= -kBoxLimit)) b.miny = -kBoxLimit;
  if (!(b.maxx <= kBoxLimit)) b.maxx = kBoxLimit;
  if (!(b.maxy <= kBoxLimit)) b.maxy = kBoxLimit;
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
