#include "driver/sizing.h"

#include <algorithm>
#include <cmath>

#include "common/values.h"

namespace zumen {

PaperSize PaperSizeOfCode(int32_t code) {
  switch (code) {
    case 0: return {1189, 841};
    case 1: return {841, 594};
    case 2: return {594, 420};
    case 3: return {420, 297};
    case 4: return {297, 210};
    case 8: return {1682, 1189};
    case 9: return {2378, 1682};
    case 10: return {3364, 2378};
    case 11: return {4756, 3364};
    case 12: return {10000, 7073};
    case 13: return {50000, 35366};
    case 14: return {100000, 70732};
    default: return {1189, 841};
  }
}

int DpiOfChoice(int32_t cb3) {
  static constexpr int kDpi[] = {36, 72, 100, 120, 144, 160, 200, 240, 300,
                                 360, 400, 480, 600, 720, 800, 960, 1000, 1200};
  if (cb3 == 0) return 0;
  if (cb3 >= 1 && cb3 <= 18) return kDpi[cb3 - 1];
  return 300;
}

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

void GetDotSize(Family tp, const Settings& settings, double papx, double papy, double& sx, double& sy) {
  sx = AtLeast10(RoundHalfEven(ValFloat(settings.ed2)));
  sy = AtLeast10(RoundHalfEven(ValFloat(settings.ed3)));
  if (tp == Family::Jws || tp == Family::Jwk || settings.cb3 == 0) return;
  DotSizeAtDpi(papx, papy, DpiOfChoice(settings.cb3), sx, sy);
}

void FitFrame(ConversionContext& ctx, Family t, double x, double y) {
  ctx.DotW = x;
  ctx.DotH = y;
  double x1, y1, x2, y2;
  switch (t) {
    case Family::K4:
    case Family::Jwc:
      x1 = 0, y1 = 0, x2 = ctx.papx, y2 = ctx.papy;
      break;
    case Family::Jww:
      x1 = -ctx.papx / 2, y1 = -ctx.papy / 2, x2 = ctx.papx / 2, y2 = ctx.papy / 2;
      break;
    default:
      x1 = ctx.MinX, y1 = ctx.MinY, x2 = ctx.MaxX, y2 = ctx.MaxY;
      break;
  }
  double wx = std::fabs(x2 - x1) * 1.05;
  double wy = std::fabs(y2 - y1) * 1.05;
  if (!(wx > 0.001)) wx = 0.001;
  if (!(wy > 0.001)) wy = 0.001;
  ctx.DispScale = std::min(ctx.DotW / wx, ctx.DotH / wy);
  const double hw = 0.5 * ctx.DotW / ctx.DispScale;
  const double hh = 0.5 * ctx.DotH / ctx.DispScale;
  const double cx = (x1 + x2) / 2, cy = (y1 + y2) / 2;
  ctx.DispX1 = cx - hw;
  ctx.DispY1 = cy - hh;
  ctx.DispX2 = cx + hw;
  ctx.DispY2 = cy + hh;
}

}  // namespace zumen
