#pragma once
// Clipping of device-space paths to a box far around the picture, before
// they are stroked or filled: Cairo keeps device coordinates in 24.8 fixed
// point, which wraps beyond about ±8 million pixels, and the thin-stroke
// rasteriser clips alike so that both draw the same figure.
#include <vector>

namespace zumen {

struct DevicePoint {
  double x, y;
};

// Device coordinates at least this far out are clipped first.
inline constexpr double kSafeDeviceCoord = 1 << 22;

// Liang–Barsky clip of a segment to a box; false when nothing of it is inside.
bool ClipSegment(DevicePoint& a, DevicePoint& b, double x0, double y0, double x1, double y1);

// Sutherland–Hodgman clip of a closed polygon to a box. For points inside the
// box the winding number is kept, so the non-zero fill is unchanged there.
std::vector<DevicePoint> ClipPolygon(std::vector<DevicePoint> poly, double x0, double y0, double x1, double y1);

// The open path through pts cut to the box: its pieces in order, each a
// separate open path (a piece starts anew wherever the path re-enters the box).
std::vector<std::vector<DevicePoint>> ClipOpenPath(const std::vector<DevicePoint>& pts, double x0, double y0, double x1,
                                                   double y1);

}  // namespace zumen
