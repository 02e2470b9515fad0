#pragma once
// The canvas interface: everything the renderers draw goes through it, in
// device pixels (x to the right, y downwards). The Cairo canvas draws on an
// image surface; the recording canvas stores the calls for tests.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "codecs/bitmap.h"
#include "raster/device.h"

namespace zumen {

class DiagnosticSink;

struct FontSpec {
  std::u16string family;  // family name as the drawing gives it (Windows names)
  double sizePx = 12;     // em size in pixels
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool strikeout = false;
  friend bool operator==(const FontSpec&, const FontSpec&) = default;
};

struct GradientStop {
  double offset = 0;  // 0..1
  uint32_t argb = 0xFF000000;
  friend bool operator==(const GradientStop&, const GradientStop&) = default;
};

class Canvas {
 public:
  virtual ~Canvas() = default;

  virtual int Width() const = 0;
  virtual int Height() const = 0;

  virtual void BeginScene() = 0;
  virtual void EndScene() = 0;
  virtual void Clear(uint32_t argb) = 0;

  // Stroke: solid colour, width in pixels, round caps, mitred joins.
  virtual void SetStroke(uint32_t argb, double widthPx, DashStyle dash) = 0;
  virtual void SetStrokeColor(uint32_t argb) = 0;
  virtual uint32_t StrokeColor() const = 0;

  // Fill: a solid colour, a bitmap tiled at its own size, or a gradient whose
  // coordinates are fractions (0..1) of the filled figure's bounding box,
  // measured from its top-left corner.
  virtual void SetFillSolid(uint32_t argb) = 0;
  virtual uint32_t FillColor() const = 0;
  virtual void SetFillBitmap(const Bitmap& tile) = 0;
  virtual void SetFillLinearGradient(double x0, double y0, double x1, double y1,
                                     const std::vector<GradientStop>& stops) = 0;
  virtual void SetFillRadialGradient(double cx, double cy, const std::vector<GradientStop>& stops) = 0;

  virtual void StrokeLine(double x1, double y1, double x2, double y2, double opacity) = 0;
  // Sets one pixel to the colour, whatever the stroke width: the pixel that a
  // one-pixel stroke from (x, y) to one pixel right of it covers most, the
  // one holding the device point half a pixel right of (x, y).
  virtual void SetPixel(double x, double y, uint32_t argb) = 0;
  virtual void StrokeRect(double left, double top, double right, double bottom, double opacity) = 0;
  // An open path through the points.
  virtual void StrokePolyline(const std::vector<FPoint>& pts, double opacity) = 0;
  virtual void FillPolygon(const std::vector<FPoint>& pts, double opacity) = 0;

  virtual Matrix GetTransform() const = 0;
  virtual void SetTransform(const Matrix& m) = 0;
  // Applies m to points before the current transform.
  void MultiplyTransform(const Matrix& m) { SetTransform(m.Then(GetTransform())); }

  virtual void SetFont(const FontSpec& font) = 0;
  virtual const FontSpec& Font() const = 0;
  // Draws text with the fill colour inside the rectangle, no wrapping, aligned
  // to the leading (left, top) edges: the em box's top is at `top`, the
  // baseline one ascent below it.
  virtual void FillText(double left, double top, double right, double bottom,
                        const std::u16string& text, double opacity) = 0;

  // Draws the source rectangle of bmp into the destination rectangle.
  virtual void DrawBitmap(const Bitmap& bmp, double sx, double sy, double sw, double sh,
                          double left, double top, double right, double bottom, double opacity) = 0;

  // Where the canvas reports what it could not honour (fonts that fell back,
  // characters that no font has); null: nowhere. Canvases without texts of
  // their own ignore it.
  virtual void SetDiagnostics(DiagnosticSink* sink) { (void)sink; }
};

}  // namespace zumen
