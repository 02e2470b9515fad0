// TGraph core: pens set by the caller and the dash pattern walked along
// lines, arcs and polylines with its phase carried from piece to piece.
#include "renderer_k4/graph.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "common/clip.h"
#include "common/geometry.h"

namespace zumen {

namespace {
constexpr double kDotPx = 2.0;  // figures of this many pixels or less become one pixel
}  // namespace

TGraph::TGraph(const ConversionContext& ctx, Canvas& canvas, DiagnosticSink* diag)
    : Ctx(ctx), C(canvas), G2(ctx, canvas, TextRules::K4(&TGraph::ColorNumber), diag) {}

uint32_t TGraph::ColorNumber(int32_t co) {
  static constexpr std::array<uint32_t, 16> kTable = {
      0xFF000000, 0xFF009595, 0xFF000000, 0xFF00AA37, 0xFFC0C000, 0xFFC000C0, 0xFF0000FF, 0xFFFF00FF,
      0xFF00FFFF, 0xFF00FF00, 0xFFFFC0CB, 0xFFB8860B, 0xFF000000, 0xFF000000, 0xFF000000, 0xFF000000};
  return co >= 0 && co < 16 ? kTable[static_cast<size_t>(co)] : 0xFF000000;
}

void TGraph::GPenSet(uint32_t col, uint32_t typ, uint32_t wid) {
  G2.GPenSet(col, typ, wid);
  dash_ = TGraph2::DashOf(typ);
  fillPlain_ = true;
}

void TGraph::SetFillColor(uint32_t col) {
  if (fillPlain_) C.SetFillSolid(col);
}

void TGraph::GPenSetColor(uint32_t col) {
  C.SetStrokeColor(col);
  SetFillColor(col);
  G2.br0 = col;
}

void TGraph::GPenSetWidth(uint32_t wid) { C.SetStroke(C.StrokeColor(), wid, dash_); }

void TGraph::GLPenSetLtypePat(int32_t sg, std::span<const double> pa) {
  LtypPatN = std::clamp<int32_t>(sg, 0, 12);
  LtypPatN = std::min<int32_t>(LtypPatN, static_cast<int32_t>(pa.size()));
  LtypPatP = 0;
  for (int32_t i = 0; i < LtypPatN; ++i) {
    const double v = std::fabs(pa[static_cast<size_t>(i)]);
    LtypPat[static_cast<size_t>(i)] = (i % 2 == 1) ? -v : v;
    LtypPatP += v;
  }
}

void TGraph::GLSetDT() {
  LastSeg = 0;
  LastLen = 0;
}

bool TGraph::PatternDashes() const {
  if (LtypPatN == 0 || !(LtypPatP > 1e-10) || !(LtypPatP * G2.View.DispScale > kDotPx)) return false;
  double gap = 0;
  for (int32_t i = 0; i < LtypPatN; ++i)
    if (LtypPat[static_cast<size_t>(i)] < 0) gap = std::max(gap, -LtypPat[static_cast<size_t>(i)]);
  return gap * G2.View.DispScale >= 1;
}

void TGraph::GLPassLtypPat(double l) {
  if (LtypPatN == 0 || !(LtypPatP > 1e-10) || !(l > 1e-10) || !std::isfinite(l)) return;
  if (LastSeg < 0 || LastSeg >= LtypPatN) GLSetDT();  // the pattern changed under the phase
  double r = std::fmod(l, LtypPatP) + LastLen;
  for (int pass = 0; pass < 2; ++pass) {
    for (int32_t i = pass == 0 ? LastSeg : 0; i < LtypPatN; ++i) {
      const double e = std::fabs(LtypPat[static_cast<size_t>(i)]);
      if (e >= r) {
        LastSeg = i;
        LastLen = r;
        return;
      }
      r -= e;
    }
  }
}

int32_t TGraph::GLLine4(double x1, double y1, double x2, double y2) {
  double cx1 = x1, cy1 = y1, cx2 = x2, cy2 = y2;
  if (ClipLine(cx1, cy1, cx2, cy2, G2.View.DispX1, G2.View.DispY1, G2.View.DispX2, G2.View.DispY2) == 2) {
    GLPassLtypPat(PtDist(x1, y1, x2, y2));
    return 1;
  }
  GLPassLtypPat(PtDist(x1, y1, cx1, cy1));
  double X1, Y1, X2, Y2;
  GLTransPt(cx1, cy1, X1, Y1);
  GLTransPt(cx2, cy2, X2, Y2);
  if (std::fabs(X2 - X1) + std::fabs(Y2 - Y1) <= kDotPx) {
    GLPassLtypPat(PtDist(cx1, cy1, x2, y2));
    GTen(X1, Y1);
    return 2;
  }
  // Callers test the pattern; a direct call without one (or with a period
  // too fine to walk) draws solid.
  if (LtypPatN == 0 || !(LtypPatP * G2.View.DispScale > kDotPx)) return GLLine(cx1, cy1, cx2, cy2);
  if (LastSeg < 0 || LastSeg >= LtypPatN) GLSetDT();

  double R = PtDist(cx1, cy1, cx2, cy2);
  // A line that crosses the window is clipped to at most its diagonal; a
  // piece much longer than that misses the window (its ends some 1e200
  // away), and walking it would take for ever.
  if (!(R <= 4 * std::hypot(G2.View.DispX2 - G2.View.DispX1, G2.View.DispY2 - G2.View.DispY1))) {
    GLPassLtypPat(PtDist(cx1, cy1, x2, y2));
    return 1;
  }
  const double th = PtAngle(cx2 - cx1, cy2 - cy1);
  const double ux = std::cos(th), uy = std::sin(th);
  double ax = cx1, ay = cy1;
  int32_t k = LastSeg;
  double D = LastLen;
  for (;;) {
    const double e = LtypPat[static_cast<size_t>(k)];
    const double L = std::clamp(std::fabs(e) - D, 0.0, R);
    const double px = ax + L * ux, py = ay + L * uy;
    // A dash already used up (the phase stood at its end) draws nothing; a
    // dash of length 0 is a dot.
    if (e >= 0 && (L > 0 || e == 0)) GLLine(ax, ay, px, py);
    ax = px;
    ay = py;
    R -= L;
    if (R <= 1e-14) {
      D += L;
      break;
    }
    D = 0;
    if (++k >= LtypPatN) k = 0;
  }
  LastSeg = k;
  LastLen = D;
  GLPassLtypPat(PtDist(cx2, cy2, x2, y2));
  return 0;
}

int32_t TGraph::GLLine3(double x1, double y1, double x2, double y2) {
  return PatternDashes() ? GLLine4(x1, y1, x2, y2) : GLLine(x1, y1, x2, y2);
}

int32_t TGraph::GLLine2(double x1, double y1, double x2, double y2) {
  if (!PatternDashes()) return GLLine(x1, y1, x2, y2);
  const double L = PtDist(x1, y1, x2, y2);
  if (!(L > 1.0)) return GLLine(x1, y1, x2, y2);
  const double th = PtAngle(x2 - x1, y2 - y1);
  const double ux = std::cos(th), uy = std::sin(th);
  const double ax = x1 + 0.5 * ux, ay = y1 + 0.5 * uy;
  const double bx = x1 + (L - 0.5) * ux, by = y1 + (L - 0.5) * uy;
  const int32_t r1 = GLLine(x1, y1, ax, ay);
  const int32_t r2 = GLLine4(ax, ay, bx, by);
  const int32_t r3 = GLLine(bx, by, x2, y2);
  if (r1 == 0 || r2 == 0 || r3 == 0) return 0;
  return (r1 != 2 && r2 != 2 && r3 != 2) ? 1 : 2;
}

int32_t TGraph::GLEllipseArc2(double cx, double cy, double r, double h, double a, double sa, double da) {
  if (!PatternDashes()) return GLEllipseArc(cx, cy, r, h, a, sa, da);
  double L = std::fabs(r * da);
  if (h > 1) L *= h;
  const double S = L * G2.View.DispScale;
  if (std::isnan(S) || !std::isfinite(sa) || !std::isfinite(da)) return 3;
  const auto at = [&](double t, double& x, double& y) {
    RotPt(x, y, r * std::cos(t), r * h * std::sin(t), 0, 0, a);
    x += cx;
    y += cy;
  };
  if (S <= kDotPx) {
    double x, y;
    at(sa, x, y);
    if (PtOut(x, y, G2.View.DispX1, G2.View.DispY1, G2.View.DispX2, G2.View.DispY2) == 0) {
      double X, Y;
      GLTransPt(x, y, X, Y);
      GTen(X, Y);
    }
    return 2;
  }
  int n = 72;
  if (!(S / 72 >= 2)) n = std::max(2, static_cast<int>(std::nearbyint(S / 2)));
  const double step = da / n;
  double t = sa, px, py;
  at(t, px, py);
  int outside = 0;
  for (int k = 1; k <= n; ++k) {
    t += step;
    double x, y;
    at(t, x, y);
    if (GLLine4(px, py, x, y) == 1) ++outside;
    px = x;
    py = y;
  }
  return outside == n ? 1 : 0;
}

int32_t TGraph::GLEllipse2(double cx, double cy, double r, double h, double a) {
  return GLEllipseArc2(cx, cy, r, h, a, 0, 2 * std::numbers::pi);
}

int32_t TGraph::GLPolyline2() {
  const std::vector<TDPoint> pts = G2.GLPt;  // GLLine3 may not change it, but keep a stable copy
  if (pts.size() < 2 || !G2.GLPtFinite()) return 3;
  const double wx1 = G2.View.DispX1, wy1 = G2.View.DispY1, wx2 = G2.View.DispX2, wy2 = G2.View.DispY2;
  int all = 15;
  for (const TDPoint& p : pts) all &= OutCode(p.X, p.Y, wx1, wy1, wx2, wy2);
  if (all != 0) return 1;

  const TGraph2::Measure m = G2.MeasureGLPt();
  if (m.outside == static_cast<int>(pts.size()) - 1) return 1;
  if (m.length > kDotPx) {
    for (size_t i = 1; i < pts.size(); ++i) GLLine3(pts[i - 1].X, pts[i - 1].Y, pts[i].X, pts[i].Y);
    return 0;
  }
  G2.DotFallback(m);
  return 2;
}

}  // namespace zumen
