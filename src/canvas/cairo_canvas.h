#pragma once
// The canvas on a Cairo surface: an ARGB32 image surface of its own, or any
// surface it is given (the vector pages). Antialiased strokes with round caps
// and mitred joins, polygons filled by the non-zero winding rule with a solid
// colour, a tiled bitmap or a gradient, bitmaps drawn with a smooth filter,
// texts through the TextEngine. Coordinates are pixels of the canvas's grid;
// a surface whose device scale differs maps them onto its own units.
#include <memory>
#include <string>
#include <vector>

#include "canvas/canvas.h"
#include "codecs/pixel_view.h"
#include "raster/pixel_rect.h"

typedef struct _cairo cairo_t;
typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo_pattern cairo_pattern_t;

namespace zumen {

class TextEngine;
class CairoCanvas;

struct CairoCanvasOrError {
  std::unique_ptr<CairoCanvas> canvas;  // null when the surface could not be made
  std::string error;
};

class CairoCanvas final : public Canvas {
 public:
  // A canvas of width × height pixels, transparent black until cleared; an
  // error instead when the size is not positive or Cairo cannot allocate it.
  static CairoCanvasOrError Create(int width, int height);
  // A canvas of width × height pixels on a surface the caller made (it keeps
  // its own reference). The surface's device transform places the pixel grid
  // on it; nothing is cleared.
  static CairoCanvasOrError CreateOn(cairo_surface_t* surface, int width, int height);
  // The longest side, in pixels, of a bitmap that Cairo makes.
  static constexpr int kMaxSide = 32767;
  ~CairoCanvas() override;
  CairoCanvas(const CairoCanvas&) = delete;
  CairoCanvas& operator=(const CairoCanvas&) = delete;

  int Width() const override { return width_; }
  int Height() const override { return height_; }

  void BeginScene() override;
  void EndScene() override;
  void Clear(uint32_t argb) override;

  void SetStroke(uint32_t argb, double widthPx, DashStyle dash) override;
  void SetStrokeColor(uint32_t argb) override { strokeColor_ = argb; }
  uint32_t StrokeColor() const override { return strokeColor_; }

  void SetFillSolid(uint32_t argb) override;
  uint32_t FillColor() const override { return fillColor_; }
  void SetFillBitmap(const Bitmap& tile) override;
  void SetFillLinearGradient(double x0, double y0, double x1, double y1,
                             const std::vector<GradientStop>& stops) override;
  void SetFillRadialGradient(double cx, double cy, const std::vector<GradientStop>& stops) override;

  void StrokeLine(double x1, double y1, double x2, double y2, double opacity) override;
  void SetPixel(double x, double y, uint32_t argb) override;
  void StrokeRect(double left, double top, double right, double bottom, double opacity) override;
  void StrokePolyline(const std::vector<FPoint>& pts, double opacity) override;
  void FillPolygon(const std::vector<FPoint>& pts, double opacity) override;

  Matrix GetTransform() const override { return transform_; }
  void SetTransform(const Matrix& m) override;

  void SetFont(const FontSpec& font) override { font_ = font; }
  const FontSpec& Font() const override { return font_; }
  void FillText(double left, double top, double right, double bottom, const std::u16string& text,
                double opacity) override;

  void DrawBitmap(const Bitmap& bmp, double sx, double sy, double sw, double sh, double left, double top,
                  double right, double bottom, double opacity) override;

  // The fontconfig file that maps the drawings' font names (before the first
  // text is drawn); empty: the project's own.
  void SetFontConfigFile(std::string file) { fontConfig_ = std::move(file); }
  void SetDiagnostics(DiagnosticSink* sink) override;

  // The surface's pixels (premultiplied), valid until the next drawing call;
  // the encoders read them without a copy. Empty unless the surface is an
  // image surface.
  PixelView Pixels() const;
  // A copy of the pixels with straight alpha (empty as Pixels()).
  Bitmap ToBitmap() const;

  // Draws from now on on another image surface (it keeps its own reference),
  // whose pixel (0, 0) shows the grid's pixel (x, y). A picture too large for
  // one surface is drawn band by band this way, the whole picture each time
  // on the whole grid, so that nothing drawn (dash phases, clipping) depends
  // on the band.
  void Retarget(cairo_surface_t* surface, int x, int y);
  // Draws from now on only on the surface's rows [y0, y1); y0 >= y1: on
  // every row. Several canvases on one surface, each with rows of its own,
  // draw one picture side by side, each drawing all of it: what lands on a
  // row does not depend on the other rows, so the picture is the one a
  // single canvas draws.
  void ClipRows(int y0, int y1);
  // Draws from now on only inside the rectangle of the surface's pixels; an
  // empty one: everywhere. A figure the rectangle cuts may come out of
  // Cairo's scan conversion a few levels different near the cut than
  // uncut. Cairo keeps the clip of a drawing on the surface object while it
  // composites: canvases that draw at once from several threads, each with a
  // clip of its own, need surface objects of their own (over the same pixels).
  void ClipRect(const PixelRect& r);
  // The surface drawn on, for further canvases on it.
  cairo_surface_t* Surface() const { return surface_; }

 private:
  enum class FillKind { Solid, Bitmap, LinearGradient, RadialGradient };

  CairoCanvas(cairo_surface_t* surface, int width, int height);
  // The canvas on a surface whose reference it takes over.
  static CairoCanvasOrError Made(cairo_surface_t* surface, int width, int height);
  // False when nothing can be drawn: a transform that collapses the plane.
  bool Ready();
  void ResetContext();
  void ApplyStroke(double opacity);
  // Adds the points to the path, clipped to a guard band around the surface
  // when they lie so far out that Cairo's fixed-point coordinates would wrap.
  template <typename Point>
  void PathPoints(const Point* pts, size_t n, bool closed);
  void Stroke(double opacity);

  cairo_surface_t* surface_ = nullptr;
  cairo_t* cr_ = nullptr;
  int width_ = 0;
  int height_ = 0;
  PixelRect clip_;  // pixels drawn on; empty: all

  uint32_t strokeColor_ = 0xFF000000;
  double strokeWidth_ = 1;
  DashStyle dash_ = DashStyle::Solid;

  FillKind fillKind_ = FillKind::Solid;
  uint32_t fillColor_ = 0xFF000000;
  cairo_pattern_t* tile_ = nullptr;
  double grad_[4] = {0, 0, 1, 1};  // linear: start and stop; radial: centre
  std::vector<GradientStop> stops_;

  Matrix transform_;
  bool transformUsable_ = true;
  FontSpec font_;
  std::string fontConfig_;
  std::unique_ptr<TextEngine> text_;
  DiagnosticSink* diagnostics_ = nullptr;
};

}  // namespace zumen
