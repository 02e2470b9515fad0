#pragma once
// A raster canvas that draws in tiles on several threads. It records every
// call with the state in force (stroke, fill, transform, font, opacity) and
// the call's box on the device, and files the call under each 256 x 256 tile
// of the picture the box touches. Flush (EndScene, Pixels) then draws the
// tiles, on as many threads as it was given, each tile replaying in order the
// calls that touch it, clipped to the tile: thin strokes with the
// ThinStroker, everything else (fills, wide strokes, texts, bitmaps) with a
// Cairo canvas of the drawing thread, clipped to the tile, on the one
// surface; a clear and a pixel are written directly.
//
// The tiles are a fixed grid and every pixel belongs to one tile, whose
// calls are replayed the same way whichever thread draws it, so the picture
// does not depend on the number of threads.
//
// Texts report their diagnostics (font fall-backs, missing characters) when
// they are recorded, from the canvas's own text engine, in call order and to
// the sink set at the time; the engines that draw the tiles report nothing,
// so a text spanning several tiles is reported once.
//
// The pixels live in a Cairo ARGB32 image surface (premultiplied), read as
// the Cairo canvas's are, through Pixels() or Surface().
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "canvas/canvas.h"
#include "codecs/pixel_view.h"
#include "raster/path_clip.h"
#include "raster/thin_stroke.h"

typedef struct _cairo_surface cairo_surface_t;

namespace zumen {

class TextEngine;
class TiledCanvas;

// Which rasteriser draws the thin strokes; Cairo: every stroke goes to the
// tile's Cairo canvas.
enum class StrokeRasteriser { Zumen, Cairo };

struct TiledCanvasOrError {
  std::unique_ptr<TiledCanvas> canvas;  // null when the surface could not be made
  std::string error;
};

class TiledCanvas final : public Canvas {
 public:
  static constexpr int kTile = 256;

  // A canvas of width x height pixels, transparent black until cleared,
  // drawn by up to `threads` threads (at least one).
  static TiledCanvasOrError Create(int width, int height, int threads,
                                   StrokeRasteriser strokes = StrokeRasteriser::Zumen);
  ~TiledCanvas() override;
  TiledCanvas(const TiledCanvas&) = delete;
  TiledCanvas& operator=(const TiledCanvas&) = delete;

  int Width() const override { return width_; }
  int Height() const override { return height_; }

  void BeginScene() override {}
  // Draws what is recorded.
  void EndScene() override { Flush(); }
  void Clear(uint32_t argb) override;

  void SetStroke(uint32_t argb, double widthPx, DashStyle dash) override;
  void SetStrokeColor(uint32_t argb) override;
  uint32_t StrokeColor() const override { return pen_.argb; }

  void SetFillSolid(uint32_t argb) override;
  uint32_t FillColor() const override { return fill_.argb; }
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

  void SetFont(const FontSpec& font) override;
  const FontSpec& Font() const override { return font_; }
  void FillText(double left, double top, double right, double bottom, const std::u16string& text,
                double opacity) override;

  void DrawBitmap(const Bitmap& bmp, double sx, double sy, double sw, double sh, double left, double top,
                  double right, double bottom, double opacity) override;

  void SetDiagnostics(DiagnosticSink* sink) override;
  // The fontconfig file that maps the drawings' font names (before the first
  // text); empty: the project's own.
  void SetFontConfigFile(std::string file);
  // The threads that draw the tiles from the next Flush on (at least one).
  void SetThreads(int threads);

  // Draws the calls recorded so far and forgets them. Called by EndScene and
  // Pixels, and by the canvas itself when the recording grows large.
  void Flush();
  // The pixels (premultiplied), after a Flush; valid until the next drawing call.
  PixelView Pixels();
  // A copy of the pixels with straight alpha.
  Bitmap ToBitmap();
  cairo_surface_t* Surface() const { return surface_; }

 private:
  enum class Op : uint8_t { Clear, Line, Pixel, Rect, Polyline, Polygon, Text, Bitmap };
  enum class FillKind : uint8_t { Solid, Bitmap, LinearGradient, RadialGradient };
  struct FillState {
    FillKind kind = FillKind::Solid;
    uint32_t argb = 0xFF000000;
    int32_t image = -1;  // the bitmap tile in images_
    double grad[4] = {0, 0, 1, 1};
    std::vector<GradientStop> stops;
  };
  // One drawing call; the indices name the state in force and the call's data.
  struct Call {
    Op op;
    bool thin = false;  // a stroke the ThinStroker draws
    uint32_t argb = 0;  // Clear, Pixel
    uint32_t pen = 0, fill = 0, transform = 0, font = 0;
    uint32_t data = 0;   // first number in numbers_, first point in points_
    uint32_t count = 0;  // points
    uint32_t extra = 0;  // the text in texts_, the bitmap in images_
    double opacity = 1;
  };
  struct Worker;

  TiledCanvas(cairo_surface_t* surface, int width, int height, int threads, StrokeRasteriser strokes);
  // A new call, with the current state recorded where it changed.
  Call& Record(Op op);
  // Files the last call under the tiles its box (device pixels) touches.
  void BinBox(double x0, double y0, double x1, double y1);
  // Files the last call under the tiles a stroke segment touches, pad pixels around it.
  void BinSegment(double ax, double ay, double bx, double by, double pad);
  void AddToTile(int tx, int ty);
  // The stroke's device points under the transform (false: it draws nothing).
  template <typename Point>
  void RecordStroke(Op op, const Point* pts, size_t n, bool closed, double opacity);
  bool TransformUsable() const;
  void Replay(size_t tile, Worker& w);
  void ReplayCairo(const Call& c, Worker& w, const PixelRect& clip);
  void FlushIfLarge();

  cairo_surface_t* surface_ = nullptr;
  int width_ = 0, height_ = 0;
  int tilesX_ = 0, tilesY_ = 0;
  int threads_ = 1;
  StrokeRasteriser strokes_;

  // The state as set, and whether it changed since it was last recorded.
  StrokePen pen_;
  FillState fill_;
  Bitmap fillTile_;
  Matrix transform_;
  FontSpec font_;
  bool penDirty_ = true, fillDirty_ = true, transformDirty_ = true, fontDirty_ = true;

  // The recording.
  std::vector<Call> calls_;
  std::vector<StrokePen> pens_;
  std::vector<FillState> fills_;
  std::vector<Matrix> transforms_;
  std::vector<FontSpec> fonts_;
  std::vector<double> numbers_;
  std::vector<FPoint> points_;
  std::vector<std::u16string> texts_;
  std::vector<Bitmap> images_;
  std::vector<std::vector<uint32_t>> tiles_;  // per tile: its calls in order
  size_t recordedBytes_ = 0;
  std::vector<DevicePoint> dev_;  // a stroke's device points while it is recorded

  std::string fontConfig_;
  DiagnosticSink* diagnostics_ = nullptr;
  std::unique_ptr<TextEngine> text_;  // measures and reports texts as they are recorded
  std::vector<std::unique_ptr<Worker>> workers_;
};

}  // namespace zumen
