#pragma once
// A canvas that draws nothing and records every drawing call with its
// arguments and the state (stroke, fill, transform, font) in force at the
// time, so that tests can check exactly what a renderer asked for.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "canvas/canvas.h"

namespace zumen {

enum class FillKind { Solid, Bitmap, LinearGradient, RadialGradient };

struct CanvasState {
  uint32_t strokeColor = 0xFF000000;
  double strokeWidth = 1;
  DashStyle dash = DashStyle::Solid;

  FillKind fillKind = FillKind::Solid;
  uint32_t fillColor = 0xFF000000;
  double gradX0 = 0, gradY0 = 0, gradX1 = 0, gradY1 = 0;  // linear: x0..y1; radial: centre x0, y0
  std::vector<GradientStop> gradStops;
  int tileWidth = 0, tileHeight = 0;

  Matrix transform;
  FontSpec font;
};

// One record per drawing call; `st` is the state when it was made.
struct RecScene {
  bool begin = true;
};
struct RecClear {
  uint32_t argb = 0;
};
struct RecLine {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0, opacity = 1;
  CanvasState st;
};
struct RecPixel {
  double x = 0, y = 0;
  uint32_t argb = 0;
  CanvasState st;
};
struct RecRect {
  double left = 0, top = 0, right = 0, bottom = 0, opacity = 1;
  CanvasState st;
};
struct RecPolyline {
  std::vector<FPoint> pts;
  double opacity = 1;
  CanvasState st;
};
struct RecPolygon {
  std::vector<FPoint> pts;
  double opacity = 1;
  CanvasState st;
};
struct RecText {
  double left = 0, top = 0, right = 0, bottom = 0;
  std::u16string text;
  double opacity = 1;
  CanvasState st;
};
struct RecBitmap {
  Bitmap bmp;  // a copy of the bitmap drawn
  double sx = 0, sy = 0, sw = 0, sh = 0;
  double left = 0, top = 0, right = 0, bottom = 0, opacity = 1;
  CanvasState st;
};

using CanvasCall =
    std::variant<RecScene, RecClear, RecLine, RecPixel, RecRect, RecPolyline, RecPolygon, RecText, RecBitmap>;

// A stroked straight piece, whether it came from a line, a polyline or a rectangle.
struct RecSegment {
  double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  uint32_t color = 0;
  double width = 0;
};

class RecordingCanvas : public Canvas {
 public:
  explicit RecordingCanvas(int width = 1000, int height = 1000) : width_(width), height_(height) {}

  // ---- What was recorded ----
  const std::vector<CanvasCall>& Calls() const { return calls_; }
  void ClearCalls() { calls_.clear(); }
  const CanvasState& State() const { return st_; }

  // Every record of one kind, in call order.
  template <class T>
  std::vector<T> All() const {
    std::vector<T> out;
    for (const CanvasCall& c : calls_)
      if (const T* p = std::get_if<T>(&c)) out.push_back(*p);
    return out;
  }
  template <class T>
  size_t Count() const {
    size_t n = 0;
    for (const CanvasCall& c : calls_) n += std::holds_alternative<T>(c) ? 1 : 0;
    return n;
  }
  // Number of drawing calls that put something on the canvas (not scenes).
  size_t DrawCount() const;
  // Every stroked segment (lines, consecutive polyline points, rectangle sides).
  std::vector<RecSegment> Segments() const;

  // ---- Canvas ----
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  void BeginScene() override { calls_.emplace_back(RecScene{true}); }
  void EndScene() override { calls_.emplace_back(RecScene{false}); }
  void Clear(uint32_t argb) override { calls_.emplace_back(RecClear{argb}); }

  void SetStroke(uint32_t argb, double widthPx, DashStyle dash) override;
  void SetStrokeColor(uint32_t argb) override { st_.strokeColor = argb; }
  uint32_t StrokeColor() const override { return st_.strokeColor; }

  void SetFillSolid(uint32_t argb) override;
  uint32_t FillColor() const override { return st_.fillColor; }
  void SetFillBitmap(const Bitmap& tile) override;
  void SetFillLinearGradient(double x0, double y0, double x1, double y1,
                             const std::vector<GradientStop>& stops) override;
  void SetFillRadialGradient(double cx, double cy, const std::vector<GradientStop>& stops) override;

  void StrokeLine(double x1, double y1, double x2, double y2, double opacity) override;
  void SetPixel(double x, double y, uint32_t argb) override;
  void StrokeRect(double left, double top, double right, double bottom, double opacity) override;
  void StrokePolyline(const std::vector<FPoint>& pts, double opacity) override;
  void FillPolygon(const std::vector<FPoint>& pts, double opacity) override;

  Matrix GetTransform() const override { return st_.transform; }
  void SetTransform(const Matrix& m) override { st_.transform = m; }

  void SetFont(const FontSpec& font) override { st_.font = font; }
  const FontSpec& Font() const override { return st_.font; }
  void FillText(double left, double top, double right, double bottom, const std::u16string& text,
                double opacity) override;

  void DrawBitmap(const Bitmap& bmp, double sx, double sy, double sw, double sh, double left, double top,
                  double right, double bottom, double opacity) override;

 private:
  int width_;
  int height_;
  CanvasState st_;
  std::vector<CanvasCall> calls_;
};

}  // namespace zumen
