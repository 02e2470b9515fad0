#pragma once
// TGraph2: the renderer of the Jw-family drawings (JWW, JWS, JWC, JWK).
//
// Operations whose names begin with `G` take device pixels (y downwards);
// those beginning with `GL` take drawing units (y upwards) and radians,
// transform through the context's device transform, cull and clip against
// the visible window [DispX1, DispX2] x [DispY1, DispY2] and fall back to a
// single pixel when a figure is too small to see. `GL` operations answer:
//   0 drawn, 1 wholly outside the window, 2 reduced to one pixel (or too
//   small), 3 invalid input.
// Point lists: callers fill GLPt before GLPolyline / GLSolid and empty it
// afterwards; GPt holds device points and is emptied by the renderer.
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/bitmap.h"
#include "canvas/canvas.h"
#include "context/context.h"
#include "renderer/macros.h"

namespace zumen {

// The text rules a renderer applies, fixed when it is made. The defaults are
// those of the Jw-family drawings; the K4 renderer passes its own.
struct TextRules {
  // Which macro codes are recognised (see renderer/macros.h).
  MacroRules macros = MacroRules::Jw;
  // GLAText3 draws the line (x1, y1)-(x2, y2) in place of a text too small or
  // too large to draw.
  bool lineForUndrawable = false;
  // Vertical glyphs have their cell's height and width exchanged.
  bool swapVerticalCells = false;
  // Colour of "^$" + digit d (1..9); when null, pen colour d of GAtt.
  uint32_t (*penColour)(int32_t d) = nullptr;

  static TextRules K4(uint32_t (*penColour)(int32_t d)) { return {MacroRules::K4, true, true, penColour}; }
};

// Turns the pixels into their grey (luminance), alpha kept: images in the
// one-colour mode.
void GreyBitmap(Bitmap& bmp);

class TGraph2 {
 public:
  // What the renderer cannot honour goes to diag, or to a sink of its own.
  TGraph2(const ConversionContext& ctx, Canvas& canvas, TextRules rules = {}, DiagnosticSink* diag = nullptr);
  ~TGraph2();
  TGraph2(const TGraph2&) = delete;
  TGraph2& operator=(const TGraph2&) = delete;

  // ===== Core: pens, device transform, window test, primitives (core.cpp) =====

  void GCls(uint32_t col);
  // Stroke (width in whole pixels; typ 1 dash, 2 dot, 3 dash-dot, 4 dash-dot-dot,
  // else solid), fill and the one-pixel brush br0.
  void GPenSet(uint32_t col, uint32_t typ, uint32_t wid);
  // Solid pen from the attribute model: layer state colour, all-one-colour
  // mode, width in drawing units scaled and rounded (display mode) or 1 pixel.
  void GLPenSet(int32_t lay, int32_t col, int32_t typ, double wid);
  // As above; a non-zero dcol then overrides the stroke and fill colour.
  void GLPenSet(int32_t lay, int32_t col, int32_t typ, double wid, uint32_t dcol);
  void GLTransPt(double x1, double y1, double& x2, double& y2) const;

  void GLine(double x1, double y1, double x2, double y2);
  void GTen(double x, double y);
  void GBox(double x1, double y1, double x2, double y2);
  void GPolyline();
  void GSolid();

  int32_t GLLine(double x1, double y1, double x2, double y2);
  int32_t GLBox(double x1, double y1, double x2, double y2);
  // Box rotated by a radians about (x1, y1).
  int32_t GLBoxA(double x1, double y1, double x2, double y2, double a);
  int32_t GLPolyline();
  int32_t GLSolid();

  // ===== Dashing: line types cut in drawing units (dashing.cpp) =====

  // Resets the pattern phase carried from one dashed piece to the next.
  void GLSetDT();
  int32_t GLLineDT(int32_t lay, int32_t typ, double x1, double y1, double x2, double y2);
  int32_t GLEllipseArcDT(int32_t lay, int32_t typ, double cx, double cy, double r, double h, double a,
                         double sa, double da);
  int32_t GLEllipseArcBLDT(int32_t lay, int32_t typ, double cx, double cy, double r, double h, double a,
                           double sa, double da, double bx, double by, double b1, double b2, double b3,
                           double b4, double sc);

  // ===== Curves and solids: ellipses, arcs, arc solids (curves.cpp) =====
  // Curve point at parameter t: (cx, cy) + rotate_a(r cos t, r h sin t).
  // BL forms pass every point through the block transform
  // (u, v) -> ((bx + b1 u + b2 v) / sc, (by + b3 u + b4 v) / sc).

  int32_t GLEllipse(double cx, double cy, double r, double h, double a);
  int32_t GLEllipseArc(double cx, double cy, double r, double h, double a, double sa, double da);
  int32_t GLEllipseBL(double cx, double cy, double r, double h, double a, double bx, double by, double b1,
                      double b2, double b3, double b4, double sc);
  int32_t GLEllipseArcBL(double cx, double cy, double r, double h, double a, double sa, double da, double bx,
                         double by, double b1, double b2, double b3, double b4, double sc);
  int32_t GLSolidCircle(double cx, double cy, double r);
  // sty 101 filled shape (zf 100 whole, 0 sector, 5 segment, else up to the
  // end tangents), 105 / 106 ring with inner radius zf, 111 outline.
  int32_t GLSolidArc(int32_t sty, double cx, double cy, double r, double h, double a, double sa, double da,
                     double zf);
  int32_t GLSolidArcBL(int32_t sty, double cx, double cy, double r, double h, double a, double sa, double da,
                       double zf, double bx, double by, double b1, double b2, double b3, double b4, double sc);

  // ===== Text (text*.cpp) =====
  // [text section: the text operations are declared here]
  // Heights, widths and spacings in drawing units; w and sp are those of a
  // full-width character (a half-width one takes half). Ftyp: 1 bold,
  // 2 italic, 4 underline, 8 strike-out. A font name may start with up to four
  // "@", each marking vertical writing and a further quarter turn.
  // Results: 0 something drawn, 1 nothing visible (outside, or characters
  // above 3000 pixels), 2 nothing to draw (blank, or 2 pixels or less).

  // A text entity along (x1, y1) -> (x2, y2), (x1, y1) the bottom-left of its
  // first cell: trailing layout directives, whole-text macros, "^" control
  // sequences, then GLAText2 for every run.
  int32_t GLAText3(double x1, double y1, double x2, double y2, double h, double w, double sp, int32_t Ftyp,
                   const std::u16string& f, const std::u16string& s);
  // One run laid out character by character from (xx, yy) along ang.
  int32_t GLAText2(double xx, double yy, double ang, double h, double w, double sp, int32_t Ftyp,
                   const std::u16string& f, const std::u16string& s);
  // One character in its cell; Fm is the base point (0..8: bottom, middle,
  // top rows, each left, centre, right); a negative h mirrors it upside down.
  int32_t GLAText1(double x, double y, double h, double w, double a, int32_t Fm, const std::u16string& s);
  // [end of text section]

  // ===== Markers: point markers (markers.cpp) =====

  int32_t GLTenMarker(double x, double y, int32_t kf, int32_t pc, double a, double ba, int32_t lay,
                      int32_t col, int32_t wd, uint32_t dcol);

  // ===== Images: raster images placed in a box (images.cpp) =====

  // Fm 1: height follows width and aspect; 2: width follows height; 3: fit
  // inside, centred; other: stretch.
  int32_t GLImage(double x1, double y1, double x2, double y2, int32_t Fm, const std::u16string& fn);
  // Crop (drx, dry offsets and drr width as fractions of the image) and
  // rotation dan degrees counter-clockwise about the box's lower-left corner.
  int32_t GLImage2(double x1, double y1, double x2, double y2, double drx, double dry, double drr, double dan,
                   const std::u16string& fn);
  // The same with an image already decoded (an empty bitmap answers 3).
  int32_t GLImage2(double x1, double y1, double x2, double y2, double drx, double dry, double drr, double dan,
                   const Bitmap& bmp);
  // The size and window tests of GLImage2 alone: 0 when the box would be
  // drawn, else the result GLImage2 gives (2 size refused, 1 outside). Lets a
  // caller skip decoding an image that would not be drawn.
  int32_t GLImage2Box(double x1, double y1, double x2, double y2, double dan) const;
  // The bitmap as this picture shows it: bmp itself, or in the one-colour
  // mode its grey copy made in grey.
  const Bitmap& ShownBitmap(const Bitmap& bmp, Bitmap& grey) const;

  // ===== State =====

  Canvas& C;                // drawn on, not owned
  const ConversionContext& Ctx;  // the render's choices: GAtt, colours, macro texts
  const TextRules Text;          // the text rules of this renderer
  // Where this canvas looks at the drawing; set before drawing.
  DeviceView View;
  // Point lists: GLPt in drawing units, filled by callers before GLPolyline
  // or GLSolid and emptied afterwards; GPt in device pixels, built and
  // emptied by the renderer.
  std::vector<TDPoint> GLPt;
  std::vector<FPoint> GPt;
  // The scale of the layer group being drawn, for the scale macros of texts;
  // set by the painter before each text.
  double LgScale = 1;

 private:
  DiagnosticSink ownDiag_;

 public:
  // What this pass could not honour (images, ...).
  DiagnosticSink& Diag;

  // Dash continuity (see GLLineDT).
  int32_t LastLay = 0;
  int32_t LastTyp = 0;
  double LastX = 0;
  double LastY = 0;
  int32_t LastSeg = 0;
  double LastLen = 0;

  // Colour of the one-pixel brush used by GTen; follows every GPenSet.
  uint32_t br0 = 0xFF000000;

  // ----- shared with the K4 renderer -----
  // Canvas dash of a GPenSet pen type (1 dash, 2 dot, 3 dash-dot,
  // 4 dash-dot-dot, else solid).
  static DashStyle DashOf(uint32_t typ);
  // Device length of the visible parts of the open outline GLPt; counts the
  // segments wholly outside and remembers where the dot fallback goes.
  struct Measure {
    double length = 0;
    int outside = 0;
    bool lastEndInside = false;  // the clipped second end of the last segment is inside
    bool haveVisible = false;
    double dotX = 0, dotY = 0;   // device end of the last visible segment
  };
  Measure MeasureGLPt() const;
  // The single pixel of an outline too small to draw: at the end of its last
  // visible segment, when the outline ends inside the window.
  void DotFallback(const Measure& m);
  // Whether every point of GLPt has finite coordinates.
  bool GLPtFinite() const;

 private:
  // ----- core helpers -----
  int WinOutCode(double x, double y) const;
  // Clips the segment in place against the window: 0 inside, 1 clipped, 2 outside.
  int WinClip(double& x1, double& y1, double& x2, double& y2) const;
  bool CoversWindow(const std::vector<TDPoint>& pts) const;
  void AppendDevice(double x, double y);
  void FlushGPt();

  // ----- curve helpers -----
  struct Block {
    double bx = 0, by = 0, b1 = 1, b2 = 0, b3 = 0, b4 = 1, sc = 1;
    bool Valid() const;
    void Apply(double u, double v, double& x, double& y) const;
  };
  // Fills GLPt with the points of an ellipse arc (73 points), each passed
  // through blk when given.
  void ArcPoints(double cx, double cy, double r, double h, double a, double sa, double da, const Block* blk);
  int32_t SolidArcImpl(int32_t sty, double cx, double cy, double r, double h, double a, double sa, double da,
                       double zf, const Block* blk);
  int32_t EllipseArcDTImpl(int32_t lay, int32_t typ, double cx, double cy, double r, double h, double a,
                           double sa, double da, const Block* blk);
};

}  // namespace zumen
