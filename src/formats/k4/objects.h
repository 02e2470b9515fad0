#pragma once
// Reading K4 objects the way the painter draws them, for the lowering and
// for the extents: coordinates scaled by the layer group's scale, arc sweeps,
// the points a count covers.
#include <algorithm>
#include <cmath>
#include <numbers>
#include <span>

#include "common/types.h"

namespace zumen::k4 {

inline TDPoint Scaled(const TDPoint& p, double c) { return {p.X * c, p.Y * c}; }

// Sweep of an arc from its start and end angle, and whether it is a full turn.
inline double Sweep(double sa, double ea, bool& full) {
  constexpr double kTurn = 2 * std::numbers::pi;
  double d = ea - sa;
  if (d < 0) d += kTurn;
  full = std::fabs(d) <= 1e-12 || std::fabs(d - kTurn) <= 1e-12;
  return d;
}

// The stored points of a curve or polygon that its count covers.
template <typename T>
std::span<const TDPoint> Points(const T& o) {
  const size_t n = std::min<size_t>(static_cast<size_t>(std::max<int16_t>(o.cnt, 0)), o.pt.size());
  return {o.pt.data(), n};
}

// The scale a layer group's objects are drawn at: a scale of 0 (or no
// number) would collapse the group onto the origin and divide by zero for
// the scale macros, so such groups draw unscaled.
inline double UsableScale(double c) { return c == 0 || !std::isfinite(c) ? 1 : c; }

}  // namespace zumen::k4
