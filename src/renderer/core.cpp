// TGraph2 core: pens, device transform, window test and the primitives that
// every other drawing operation builds on.
#include <cmath>

#include "common/clip.h"
#include "renderer/graph2.h"

namespace zumen {

namespace {

// Figures whose device size is at most this many pixels are drawn as one pixel.
constexpr double kDotPx = 2.0;
constexpr double kEps = 1e-14;

bool Finite(double x1, double y1, double x2, double y2) {
  return std::isfinite(x1) && std::isfinite(y1) && std::isfinite(x2) && std::isfinite(y2);
}

}  // namespace

DashStyle TGraph2::DashOf(uint32_t typ) {
  switch (typ) {
    case 1: return DashStyle::Dash;
    case 2: return DashStyle::Dot;
    case 3: return DashStyle::DashDot;
    case 4: return DashStyle::DashDotDot;
    default: return DashStyle::Solid;
  }
}

TGraph2::TGraph2(const ConversionContext& ctx, Canvas& canvas, TextRules rules, DiagnosticSink* diag)
    : C(canvas), Ctx(ctx), Text(rules), Diag(diag ? *diag : ownDiag_) {}

TGraph2::~TGraph2() = default;

// ---- pens -------------------------------------------------------------------

void TGraph2::GCls(uint32_t col) { C.Clear(col); }

void TGraph2::GPenSet(uint32_t col, uint32_t typ, uint32_t wid) {
  C.SetStroke(col, static_cast<double>(wid), DashOf(typ));
  C.SetFillSolid(col);
  br0 = col;
}

void TGraph2::GLPenSet(int32_t lay, int32_t col, int32_t /*typ*/, double wid) {
  const TgraAttribute& g = Ctx.GAtt;
  const int32_t state = g.GetAttrLayerState(lay);
  const uint32_t own = state == 2 ? g.GetGrayColor() : state == 3 ? g.GetBackColor() : g.GetAttrColcol(col);
  // The picture's options may change it: ink on a background other than the
  // drawing's own, or the one-colour mode.
  const uint32_t colour = Ctx.InkColour(own);
  uint32_t width = 1;
  if (g.GetDisplayMode()) {
    double w = wid * View.DispScale;
    if (!(w > 1.0)) w = 1.0;  // also a NaN width
    if (w > 400.0) w = 400.0;
    width = static_cast<uint32_t>(std::nearbyint(w));  // halves to even
  }
  // Pens are always solid: line types are cut into pieces by the dashing.
  GPenSet(colour, 0, width);
}

void TGraph2::GLPenSet(int32_t lay, int32_t col, int32_t typ, double wid, uint32_t dcol) {
  GLPenSet(lay, col, typ, wid);
  if (dcol != 0) {
    const uint32_t colour = Ctx.InkColour(dcol);
    C.SetStrokeColor(colour);
    C.SetFillSolid(colour);
  }
}

void TGraph2::GLTransPt(double x1, double y1, double& x2, double& y2) const {
  x2 = (x1 - View.DispX1) * View.DispScale;
  y2 = View.DotH - (y1 - View.DispY1) * View.DispScale;
}

// ---- device primitives ------------------------------------------------------

void TGraph2::GLine(double x1, double y1, double x2, double y2) { C.StrokeLine(x1, y1, x2, y2, 1.0); }

void TGraph2::GTen(double x, double y) { C.SetPixel(x, y, br0); }

void TGraph2::GBox(double x1, double y1, double x2, double y2) {
  const double dx = std::fabs(x1 - x2);
  const double dy = std::fabs(y1 - y2);
  if (dx <= kDotPx && dy <= kDotPx) {
    GTen(x1, y1);
  } else if (dx <= kDotPx) {
    GLine(x1, y1, x1, y2);
  } else if (dy <= kDotPx) {
    GLine(x1, y1, x2, y1);
  } else {
    C.StrokeRect(x1, y1, x2, y2, 1.0);
  }
}

void TGraph2::GPolyline() {
  if (GPt.size() >= 2) C.StrokePolyline(GPt, 1.0);
}

void TGraph2::GSolid() {
  if (GPt.size() >= 3) C.FillPolygon(GPt, 1.0);
}

// ---- window test ------------------------------------------------------------

int TGraph2::WinOutCode(double x, double y) const {
  return OutCode(x, y, View.DispX1, View.DispY1, View.DispX2, View.DispY2);
}

int TGraph2::WinClip(double& x1, double& y1, double& x2, double& y2) const {
  return ClipLine(x1, y1, x2, y2, View.DispX1, View.DispY1, View.DispX2, View.DispY2);
}

TGraph2::Measure TGraph2::MeasureGLPt() const {
  Measure m;
  const auto& pts = GLPt;
  for (size_t i = 1; i < pts.size(); ++i) {
    double x1 = pts[i - 1].X, y1 = pts[i - 1].Y, x2 = pts[i].X, y2 = pts[i].Y;
    const int code = WinClip(x1, y1, x2, y2);
    if (i + 1 == pts.size()) m.lastEndInside = WinOutCode(x2, y2) == 0;
    if (code == 2) {
      ++m.outside;
      continue;
    }
    double X1, Y1, X2, Y2;
    GLTransPt(x1, y1, X1, Y1);
    GLTransPt(x2, y2, X2, Y2);
    m.length += std::hypot(X2 - X1, Y2 - Y1);
    m.haveVisible = true;
    m.dotX = X2;
    m.dotY = Y2;
  }
  return m;
}

void TGraph2::DotFallback(const Measure& m) {
  if (m.lastEndInside && m.haveVisible) GTen(m.dotX, m.dotY);
}

void TGraph2::AppendDevice(double x, double y) {
  double X, Y;
  GLTransPt(x, y, X, Y);
  GPt.push_back({static_cast<float>(X), static_cast<float>(Y)});
}

void TGraph2::FlushGPt() {
  if (GPt.size() > 1) GPolyline();
  GPt.clear();
}

// ---- drawing-coordinate primitives -----------------------------------------

int32_t TGraph2::GLLine(double x1, double y1, double x2, double y2) {
  // A point at infinity or not a number is invalid input: clipping it would
  // hand coordinates that are not numbers on to the canvas.
  if (!Finite(x1, y1, x2, y2)) return 3;
  if (WinClip(x1, y1, x2, y2) == 2) return 1;
  double X1, Y1, X2, Y2;
  GLTransPt(x1, y1, X1, Y1);
  GLTransPt(x2, y2, X2, Y2);
  if (std::fabs(X2 - X1) + std::fabs(Y2 - Y1) > kDotPx) {
    GLine(X1, Y1, X2, Y2);
    return 0;
  }
  GTen(X1, Y1);
  return 2;
}

int32_t TGraph2::GLBox(double x1, double y1, double x2, double y2) {
  double cx1 = x1, cy1 = y1, cx2 = x2, cy2 = y2;
  if (WinClip(cx1, cy1, cx2, cy2) != 0) {
    GLPt = {{x1, y1}, {x2, y1}, {x2, y2}, {x1, y2}, {x1, y1}};
    const int32_t res = GLPolyline();
    GLPt.clear();
    return res;
  }
  double X1, Y1, X2, Y2;
  GLTransPt(x1, y1, X1, Y1);
  GLTransPt(x2, y2, X2, Y2);
  if (std::fabs(X2 - X1) + std::fabs(Y2 - Y1) > kDotPx) {
    GBox(X1, Y1, X2, Y2);
    return 0;
  }
  GTen(X1, Y1);
  return 2;
}

int32_t TGraph2::GLBoxA(double x1, double y1, double x2, double y2, double a) {
  const double c = std::cos(a), s = std::sin(a);
  const auto rot = [&](double x, double y) {
    const double u = x - x1, v = y - y1;
    return TDPoint{x1 + u * c - v * s, y1 + u * s + v * c};
  };
  GLPt = {{x1, y1}, rot(x2, y1), rot(x2, y2), rot(x1, y2), {x1, y1}};
  const int32_t res = GLPolyline();
  GLPt.clear();
  return res;
}

bool TGraph2::GLPtFinite() const {
  for (const TDPoint& p : GLPt)
    if (!std::isfinite(p.X) || !std::isfinite(p.Y)) return false;
  return true;
}

int32_t TGraph2::GLPolyline() {
  const auto& pts = GLPt;
  if (pts.size() < 2 || !GLPtFinite()) return 3;
  int all = 15;
  for (const TDPoint& p : pts) all &= WinOutCode(p.X, p.Y);
  if (all != 0) return 1;

  const Measure m = MeasureGLPt();
  if (m.outside == static_cast<int>(pts.size()) - 1) return 1;
  if (m.length <= kDotPx) {
    DotFallback(m);
    return 2;
  }

  // Stroked as one path while it stays inside; a segment cut by the window
  // edge ends the path, so no join is ever drawn across the edge.
  GPt.clear();
  for (size_t i = 1; i < pts.size(); ++i) {
    double x1 = pts[i - 1].X, y1 = pts[i - 1].Y, x2 = pts[i].X, y2 = pts[i].Y;
    const int code = WinClip(x1, y1, x2, y2);
    if (code == 2) {
      FlushGPt();
      continue;
    }
    if (GPt.empty()) AppendDevice(x1, y1);
    AppendDevice(x2, y2);
    if (code == 1) FlushGPt();
  }
  FlushGPt();
  return 0;
}

namespace {

// Even-odd test of (x, y) against the closed polygon pts.
bool PolygonContains(const std::vector<TDPoint>& pts, double x, double y) {
  bool in = false;
  for (size_t i = 0, j = pts.size() - 1; i < pts.size(); j = i++) {
    const TDPoint& a = pts[i];
    const TDPoint& b = pts[j];
    if ((a.Y > y) != (b.Y > y) && x < (b.X - a.X) * (y - a.Y) / (b.Y - a.Y) + a.X) in = !in;
  }
  return in;
}

}  // namespace

// A polygon whose edges (nearly) all miss the window may still cover it: its
// visible edge length is then about 0, yet the window lies inside it and must
// be filled rather than reduced to a dot. Such a polygon spans the window and
// contains its centre.
bool TGraph2::CoversWindow(const std::vector<TDPoint>& pts) const {
  double x1 = pts[0].X, x2 = x1, y1 = pts[0].Y, y2 = y1;
  for (const TDPoint& p : pts) {
    x1 = std::fmin(x1, p.X);
    x2 = std::fmax(x2, p.X);
    y1 = std::fmin(y1, p.Y);
    y2 = std::fmax(y2, p.Y);
  }
  if (x1 > View.DispX1 || x2 < View.DispX2 || y1 > View.DispY1 || y2 < View.DispY2) return false;
  return PolygonContains(pts, (View.DispX1 + View.DispX2) / 2, (View.DispY1 + View.DispY2) / 2);
}

int32_t TGraph2::GLSolid() {
  auto& pts = GLPt;
  if (pts.size() < 3 || !GLPtFinite()) return 3;
  const TDPoint first = pts.front();
  const TDPoint last = pts.back();
  if (std::fabs(last.X - first.X) > kEps || std::fabs(last.Y - first.Y) > kEps) pts.push_back(first);

  int all = 15;
  for (const TDPoint& p : pts) all &= WinOutCode(p.X, p.Y);
  if (all != 0) return 1;

  const Measure m = MeasureGLPt();
  if (m.length > kDotPx || CoversWindow(pts)) {
    GPt.clear();
    for (const TDPoint& p : pts) AppendDevice(p.X, p.Y);
    GSolid();
    GPt.clear();
    return 0;
  }
  DotFallback(m);
  return 2;
}

}  // namespace zumen
