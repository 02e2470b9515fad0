#pragma once
// TGraph: the renderer of K4 drawings.
//
// It holds a TGraph2 and hands it every operation the two renderers share
// (device transform, window test, solid lines, boxes, polylines, solids,
// ellipses, arcs, texts and images). What is its own: pens set directly by
// the caller (colour, width), a dash pattern of up to 12 elements whose phase
// runs on from piece to piece (`GL...2` operations), pattern, gradient and
// bitmap fills, symbols (end marks), Bezier curves and polygons.
//
// Results of `GL` operations as in TGraph2: 0 drawn, 1 wholly outside the
// window, 2 one pixel or too small, 3 invalid input.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "canvas/canvas.h"
#include "context/context.h"
#include "renderer/graph2.h"

namespace zumen {

class TGraph {
 public:
  TGraph(const ConversionContext& ctx, Canvas& canvas, DiagnosticSink* diag = nullptr);
  TGraph(const TGraph&) = delete;
  TGraph& operator=(const TGraph&) = delete;

  // ---- shared with TGraph2 ----
  void GCls(uint32_t col) { G2.GCls(col); }
  void GPenSet(uint32_t col, uint32_t typ, uint32_t wid);
  void GLTransPt(double x1, double y1, double& x2, double& y2) const { G2.GLTransPt(x1, y1, x2, y2); }
  void GLine(double x1, double y1, double x2, double y2) { G2.GLine(x1, y1, x2, y2); }
  void GTen(double x, double y) { G2.GTen(x, y); }
  void GBox(double x1, double y1, double x2, double y2) { G2.GBox(x1, y1, x2, y2); }
  void GPolyline() { G2.GPolyline(); }
  void GSolid() { G2.GSolid(); }
  int32_t GLLine(double x1, double y1, double x2, double y2) { return G2.GLLine(x1, y1, x2, y2); }
  int32_t GLBox(double x1, double y1, double x2, double y2) { return G2.GLBox(x1, y1, x2, y2); }
  int32_t GLBoxA(double x1, double y1, double x2, double y2, double a) { return G2.GLBoxA(x1, y1, x2, y2, a); }
  int32_t GLPolyline() { return G2.GLPolyline(); }
  int32_t GLSolid() { return G2.GLSolid(); }
  int32_t GLEllipse(double cx, double cy, double r, double h, double a) { return G2.GLEllipse(cx, cy, r, h, a); }
  int32_t GLEllipseArc(double cx, double cy, double r, double h, double a, double sa, double da) {
    return G2.GLEllipseArc(cx, cy, r, h, a, sa, da);
  }
  int32_t GLSolidCircle(double cx, double cy, double r) { return G2.GLSolidCircle(cx, cy, r); }
  int32_t GLSolidArc(int32_t sty, double cx, double cy, double r, double h, double a, double sa, double da,
                     double zf) {
    return G2.GLSolidArc(sty, cx, cy, r, h, a, sa, da, zf);
  }
  // Texts follow the K4 rules of the text operations (set on G2 at creation):
  // K4 macros, a baseline for texts too small or too large, "^$" colours by
  // colour number, vertical glyphs with height and width exchanged.
  int32_t GLAText3(double x1, double y1, double x2, double y2, double h, double w, double sp, int32_t Ftyp,
                   const std::u16string& f, const std::u16string& s) {
    return G2.GLAText3(x1, y1, x2, y2, h, w, sp, Ftyp, f, s);
  }
  int32_t GLAText1(double x, double y, double h, double w, double a, int32_t Fm, const std::u16string& s) {
    return G2.GLAText1(x, y, h, w, a, Fm, s);
  }
  int32_t GLImage2(double x1, double y1, double x2, double y2, double drx, double dry, double drr, double dan,
                   const std::u16string& fn) {
    return G2.GLImage2(x1, y1, x2, y2, drx, dry, drr, dan, fn);
  }
  int32_t GLImage2(double x1, double y1, double x2, double y2, double drx, double dry, double drr, double dan,
                   const Bitmap& bmp) {
    return G2.GLImage2(x1, y1, x2, y2, drx, dry, drr, dan, bmp);
  }
  int32_t GLImage2Box(double x1, double y1, double x2, double y2, double dan) const {
    return G2.GLImage2Box(x1, y1, x2, y2, dan);
  }

  // ---- pens and the dash pattern ----
  // Screen colour of a K4 colour number (0..15; others black); also the
  // colours of "^$1" ... "^$9" in texts.
  static uint32_t ColorNumber(int32_t co);
  // Stroke colour, fill colour (its kind unchanged) and the pixel brush.
  void GPenSetColor(uint32_t col);
  // Stroke thickness in pixels.
  void GPenSetWidth(uint32_t wid);
  // Lengths only: elements 0, 2, 4 ... are dashes, 1, 3, 5 ... gaps; at most
  // 12 are kept (and no more than pa holds). The phase is not touched.
  void GLPenSetLtypePat(int32_t sg, std::span<const double> pa);
  // Phase back to the start of the pattern.
  void GLSetDT();
  // Advances the phase by a length without drawing.
  void GLPassLtypPat(double l);
  // True when the pattern is active and its largest gap is at least a pixel,
  // so that the patterned operations dash.
  bool PatternDashes() const;

  // Patterned line whose two ends (0.5 units each) are always solid.
  int32_t GLLine2(double x1, double y1, double x2, double y2);
  // Patterned line when the pattern dashes, else solid.
  int32_t GLLine3(double x1, double y1, double x2, double y2);
  // The pattern walk along one segment; the phase carries over.
  int32_t GLLine4(double x1, double y1, double x2, double y2);
  int32_t GLEllipse2(double cx, double cy, double r, double h, double a);
  int32_t GLEllipseArc2(double cx, double cy, double r, double h, double a, double sa, double da);
  // Patterned open polyline of G2.GLPt; the phase runs on across segments.
  int32_t GLPolyline2();

  // ---- fills (fills.cpp) ----
  // Dot pattern 1..5 (each halving the density) in col on opaque white;
  // other numbers leave the fill as it is.
  void GPolygonPattern(int32_t ptn, uint32_t col);
  // Gradient between file colours (0x00BBGGRR) placed by p1, p2 relative to
  // the box (x1, y1)-(x2, y2): typ 0 linear, 1 linear col2-col1-col2, 2 and 3
  // radial; other values leave the fill as it is. ang is not used.
  void GPolygonGrad(int32_t typ, uint32_t col1, uint32_t col2, const TDPoint& p1, const TDPoint& p2, double x1,
                    double y1, double x2, double y2, double ang);
  // Picture fill from raw pixel rows, tiled one image pixel per device pixel.
  void GPolygonBmp(int32_t x, int32_t y, int32_t d, std::span<const uint8_t> bmp);
  // The Windows bitmap file image that GPolygonBmp decodes: 54 bytes of
  // headers (no colour table), then the pixel bytes unchanged.
  static std::vector<uint8_t> BmpFileImage(int32_t x, int32_t y, int32_t d, std::span<const uint8_t> bmp);

  // ---- symbols and curves (symbols.cpp) ----
  // A stem (straight, circular or elliptic arc) and then the mark `sty` at
  // (sx, sy), turned by an.
  int32_t GLSymbol(double sx, double sy, double le, double ox, double oy, double r1, double r2, double ea,
                   double an, double pa1, double pa2, uint8_t sty, uint8_t ext, uint8_t exa, uint8_t dir);
  static void TransBezierSub(double& xp, double& yp, double t, double x1, double x2, double x3, double x4,
                             double y1, double y2, double y3, double y4);
  // Cubic segments of v[0..num-1] (sharing end points) sampled sp steps each
  // into G2.GLPt.
  void TransBezierToLines(int32_t sp, int32_t num, std::span<const TDPoint> v);
  // The first n points of p, scaled by sc: as a Bezier curve, a patterned
  // polyline, or a filled polygon without outline.
  int32_t GLBezier(int32_t n, std::span<const TDPoint> p, double sc);
  int32_t GLPolylin(int32_t n, std::span<const TDPoint> p, double sc);
  int32_t GLPolygon(int32_t n, std::span<const TDPoint> p, double sc);

  // ---- state ----
  const ConversionContext& Ctx;
  Canvas& C;
  TGraph2 G2;  // the shared core

  std::array<double, 12> LtypPat{};  // >= 0 dash, < 0 gap
  int32_t LtypPatN = 0;
  double LtypPatP = 0;  // period
  int32_t LastSeg = 0;
  double LastLen = 0;

 private:
  // The fill colour; the canvas's fill keeps its kind (pattern, gradient,
  // picture) until the next GPenSet.
  void SetFillColor(uint32_t col);
  bool fillPlain_ = true;
  DashStyle dash_ = DashStyle::Solid;
};

}  // namespace zumen
