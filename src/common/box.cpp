#include "common/box.h"

#include <cmath>

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

bool BoxOutside(const ExtentBox& b, const ExtentBox& zone) {
  return b.maxx < zone.minx || b.minx > zone.maxx || b.maxy < zone.miny || b.miny > zone.maxy;
}

void EntitySurvey::Add(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) return;
  if (started_) {
    BoxAdd(one_, x, y, 1);
  } else {
    BoxStart(one_, x, y, 1);
    started_ = true;
  }
}

void EntitySurvey::End() {
  if (!started_) return;
  if (BoxOutside(one_, zone_)) ++outside_;
  if (!any_) {
    all_ = one_;
    any_ = true;
  } else {
    BoxAdd(all_, one_.minx, one_.miny, 1);
    BoxAdd(all_, one_.maxx, one_.maxy, 1);
  }
  started_ = false;
}

void BoxAddT(ExtentBox& b, double x, double y, double bx, double by, double b1, double b2, double b3, double b4,
             double s) {
  BoxAdd(b, bx + b1 * x + b2 * y, by + b3 * x + b4 * y, s);
}

}  // namespace zumen
