#pragma once
// The dash patterns of the canvas's DashStyle values, in device-independent
// units of the stroke's own width: one arithmetic for every stroker (Cairo's
// and the thin-stroke rasteriser), so that dashes fall alike.
#include <algorithm>

#include "raster/device.h"

namespace zumen {

// Writes the on/off lengths of the pattern for a stroke of width `width` into
// out (at most 6) and returns how many there are; 0 for a solid stroke.
//
// Lengths are in line widths. Round caps add half a width at each end of
// every dash, so the dash is shortened and the gap lengthened by one width:
// the pattern looks as long as it says and a dot stays a dot.
inline int DashPattern(DashStyle dash, double width, double out[6]) {
  static constexpr double kDash[] = {3, 1};
  static constexpr double kDot[] = {1, 1};
  static constexpr double kDashDot[] = {3, 1, 1, 1};
  static constexpr double kDashDotDot[] = {3, 1, 1, 1, 1, 1};
  const double* pattern = nullptr;
  int count = 0;
  switch (dash) {
    case DashStyle::Solid: return 0;
    case DashStyle::Dash: pattern = kDash; count = 2; break;
    case DashStyle::Dot: pattern = kDot; count = 2; break;
    case DashStyle::DashDot: pattern = kDashDot; count = 4; break;
    case DashStyle::DashDotDot: pattern = kDashDotDot; count = 6; break;
  }
  if (!pattern) return 0;
  const double unit = std::max(width, 1.0);
  for (int i = 0; i < count; i += 2) {
    const double on = pattern[i] * unit;
    const double shortened = std::max(on - width, 0.01);  // Cairo skips some empty dashes
    out[i] = shortened;
    out[i + 1] = pattern[i + 1] * unit + (on - shortened);
  }
  return count;
}

}  // namespace zumen
