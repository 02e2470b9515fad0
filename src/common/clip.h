#pragma once
// Clipping of points and segments against the window (wx1, wy1)-(wx2, wy2),
// wx1 < wx2 and wy1 < wy2. A point on an edge (within 1e-14) counts as
// outside.

namespace zumen {

// Out-code bits.
inline constexpr int kOutLeft = 1;
inline constexpr int kOutRight = 2;
inline constexpr int kOutBelow = 4;
inline constexpr int kOutAbove = 8;

// The set of sides of the window that (x, y) lies outside of or on; all four
// for a NaN coordinate.
int OutCode(double x, double y, double wx1, double wy1, double wx2, double wy2);

// 2 when (x, y) is outside (OutCode non-zero), else 0.
int PtOut(double x, double y, double wx1, double wy1, double wx2, double wy2);

// Clips the segment to the window in place. Answers 0 when it lies inside
// (unchanged), 2 when it is outside, shrinks to a point or gets a coordinate
// that is not a number (from infinite input), 1 when it was
// clipped. Intersections are computed on the unclipped segment.
int ClipLine(double& x1, double& y1, double& x2, double& y2, double wx1, double wy1, double wx2, double wy2);

// ClipLine on copies: the caller's values do not change.
int SegVisible(double x1, double y1, double x2, double y2, double wx1, double wy1, double wx2, double wy2);

}  // namespace zumen
