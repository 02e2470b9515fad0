#include "raster/path_clip.h"

#include <algorithm>

namespace zumen {

bool ClipSegment(DevicePoint& a, DevicePoint& b, double x0, double y0, double x1, double y1) {
  double t0 = 0, t1 = 1;
  const double dx = b.x - a.x, dy = b.y - a.y;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {a.x - x0, x1 - a.x, a.y - y0, y1 - a.y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0) {
      if (q[i] < 0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0) {
      t0 = std::max(t0, t);
    } else {
      t1 = std::min(t1, t);
    }
    if (t0 > t1) return false;
  }
  const DevicePoint a0 = a;
  a = {a0.x + t0 * dx, a0.y + t0 * dy};
  b = {a0.x + t1 * dx, a0.y + t1 * dy};
  return true;
}

std::vector<DevicePoint> ClipPolygon(std::vector<DevicePoint> poly, double x0, double y0, double x1, double y1) {
  auto clipEdge = [&poly](auto inside, auto cross) {
    std::vector<DevicePoint> out;
    const size_t n = poly.size();
    for (size_t i = 0; i < n; ++i) {
      const DevicePoint& cur = poly[i];
      const DevicePoint& prev = poly[(i + n - 1) % n];
      const bool ci = inside(cur), pi = inside(prev);
      if (ci != pi) out.push_back(cross(prev, cur));
      if (ci) out.push_back(cur);
    }
    poly.swap(out);
  };
  auto atX = [](double x) {
    return [x](const DevicePoint& a, const DevicePoint& b) {
      return DevicePoint{x, a.y + (b.y - a.y) * (x - a.x) / (b.x - a.x)};
    };
  };
  auto atY = [](double y) {
    return [y](const DevicePoint& a, const DevicePoint& b) {
      return DevicePoint{a.x + (b.x - a.x) * (y - a.y) / (b.y - a.y), y};
    };
  };
  clipEdge([x0](const DevicePoint& p) { return p.x >= x0; }, atX(x0));
  clipEdge([x1](const DevicePoint& p) { return p.x <= x1; }, atX(x1));
  clipEdge([y0](const DevicePoint& p) { return p.y >= y0; }, atY(y0));
  clipEdge([y1](const DevicePoint& p) { return p.y <= y1; }, atY(y1));
  return poly;
}

std::vector<std::vector<DevicePoint>> ClipOpenPath(const std::vector<DevicePoint>& pts, double x0, double y0, double x1,
                                                   double y1) {
  std::vector<std::vector<DevicePoint>> out;
  bool open = false;
  for (size_t i = 1; i < pts.size(); ++i) {
    DevicePoint a = pts[i - 1], b = pts[i];
    if (!ClipSegment(a, b, x0, y0, x1, y1)) {
      open = false;
      continue;
    }
    const bool startCut = a.x != pts[i - 1].x || a.y != pts[i - 1].y;
    if (!open || startCut) out.push_back({a});
    out.back().push_back(b);
    open = b.x == pts[i].x && b.y == pts[i].y;
  }
  return out;
}

}  // namespace zumen
