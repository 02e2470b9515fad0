#include "driver/sizing.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/values.h"

namespace zumen {

double RoundHalfEven(double v) {
  if (!std::isfinite(v)) return 0;
  return std::nearbyint(v);  // the default rounding mode sends halves to even
}

namespace {
double AtLeast10(double v) { return v < 10 ? 10 : v; }
}  // namespace

void DotSizeAtDpi(double papx, double papy, double dpi, double& sx, double& sy) {
  sx = AtLeast10(RoundHalfEven(papx / 25.4 * dpi));
  sy = AtLeast10(RoundHalfEven(papy / 25.4 * dpi));
}

double FitScale(const FrameBox& frame, double x, double y, double margin) {
  double wx = std::fabs(frame.x2 - frame.x1) * (1 + margin);
  double wy = std::fabs(frame.y2 - frame.y1) * (1 + margin);
  if (!(wx > 0.001)) wx = 0.001;
  if (!(wy > 0.001)) wy = 0.001;
  return std::min(x / wx, y / wy);
}

void FitFrame(ConversionContext& ctx, const FrameBox& frame, double x, double y, double margin) {
  ctx.DotW = x;
  ctx.DotH = y;
  const double x1 = frame.x1, y1 = frame.y1, x2 = frame.x2, y2 = frame.y2;
  ctx.DispScale = FitScale(frame, x, y, margin);
  const double hw = 0.5 * ctx.DotW / ctx.DispScale;
  const double hh = 0.5 * ctx.DotH / ctx.DispScale;
  const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  ctx.DispX1 = cx - hw;
  ctx.DispY1 = cy - hh;
  ctx.DispX2 = cx + hw;
  ctx.DispY2 = cy + hh;
}

std::string CheckBitmapSize(double width, double height, uint64_t maxPixels, uint64_t maxSide) {
  const double pixels = width * height;
  char buf[200];
  if (!(pixels <= static_cast<double>(maxPixels))) {
    std::snprintf(buf, sizeof buf, "a bitmap of %.0f x %.0f pixels is larger than the limit of %llu pixels", width,
                  height, static_cast<unsigned long long>(maxPixels));
    return buf;
  }
  if (!(width <= static_cast<double>(maxSide) && height <= static_cast<double>(maxSide))) {
    std::snprintf(buf, sizeof buf, "a bitmap of %.0f x %.0f pixels is too large: a side may have at most %llu pixels",
                  width, height, static_cast<unsigned long long>(maxSide));
    return buf;
  }
  // What each picture type holds is checked with the output; no picture
  // type has sides beyond this.
  constexpr double kMaxSide = 2147483647;
  if (width > kMaxSide || height > kMaxSide) {
    std::snprintf(buf, sizeof buf, "a bitmap of %.0f x %.0f pixels is too large: a side may have at most %.0f pixels",
                  width, height, kMaxSide);
    return buf;
  }
  return {};
}

}  // namespace zumen
