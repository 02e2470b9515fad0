#pragma once
// A raster canvas that draws in tiles on several threads. It records every
// call with the state in force (stroke, fill, transform, font, opacity) and
// the call's box on the device; drawing then files each call under the
// 256 x 256 tiles of the picture it touches (a stroke crossing several tiles
// under those its segments pass) and draws the tiles, on as many threads as
// it was given, each tile replaying in order the calls that touch it: thin
// strokes with the ThinStroker, everything else (fills, wide strokes, texts,
// bitmaps) with a Cairo canvas of the drawing thread on a surface of the
// tile's own pixels; a clear and a pixel are written directly.
//
// The tiles are one fixed grid over the picture, every pixel belongs to one
// tile, and a tile's calls are replayed the same way (on a Cairo surface of
// that tile at the same place) whichever thread draws it and whichever band
// of rows holds it: the picture depends neither on the number of threads nor
// on the bands it is drawn in.
//
// Three ways to use it:
//   - Create: a canvas with a bitmap of its own. The recording is drawn at
//     EndScene, Pixels and Flush, and whenever it grows beyond the bytes
//     allowed, so its memory stays bounded.
//   - Recorder, then DrawBand for each band of rows: the calls are recorded
//     once and drawn into band after band, for pictures too large for one
//     bitmap. A recording that would grow beyond the bytes allowed stops
//     (Overflowed): the caller then draws the picture once per band with
//     TargetBand.
//   - TargetBand: the canvas draws into the caller's band from now on,
//     leaving out the calls that do not reach it.
//
// Texts report their diagnostics (font fall-backs, missing characters) when
// they are recorded, from the canvas's own text engine, in call order and to
// the sink set at the time; the engines that draw the tiles report nothing,
// so a text spanning several tiles is reported once.
//
// Pixels are premultiplied ARGB32, Cairo's layout.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "canvas/canvas.h"
#include "codecs/pixel_view.h"
#include "raster/path_clip.h"
#include "raster/thin_stroke.h"

namespace zumen {

class TextEngine;
class TiledCanvas;

// Which rasteriser draws the thin strokes; Cairo: every stroke goes to the
// tile's Cairo canvas.
enum class StrokeRasteriser { Zumen, Cairo };

struct TiledCanvasOrError {
  std::unique_ptr<TiledCanvas> canvas;  // null when the bitmap could not be had
  std::string error;
};

// Rows [y0, y0 + rows) of a picture, every column: the picture's pixel
// (x, y) at data[(y - y0) * stride + x], premultiplied ARGB32.
struct PixelBand {
  uint32_t* data = nullptr;
  ptrdiff_t stride = 0;  // pixels from one row to the next
  int y0 = 0;
  int rows = 0;
};

class TiledCanvas final : public Canvas {
 public:
  static constexpr int kTile = 256;
  // The recording a canvas with a bitmap of its own holds before drawing it.
  static constexpr size_t kFlushBytes = size_t{4} << 20;

  // A canvas of width x height pixels with a bitmap of its own, transparent
  // black until cleared, drawn by up to `threads` threads (at least one).
  static TiledCanvasOrError Create(int width, int height, int threads,
                                   StrokeRasteriser strokes = StrokeRasteriser::Zumen);
  // A canvas of width x height pixels that only records, at most maxBytes of
  // calls, until DrawBand or TargetBand.
  static std::unique_ptr<TiledCanvas> Recorder(int width, int height, int threads, StrokeRasteriser strokes,
                                               size_t maxBytes);
  ~TiledCanvas() override;
  TiledCanvas(const TiledCanvas&) = delete;
  TiledCanvas& operator=(const TiledCanvas&) = delete;

  int Width() const override { return width_; }
  int Height() const override { return height_; }

  void BeginScene() override {}
  // Draws what is recorded, where the canvas draws into pixels.
  void EndScene() override;
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
  // The threads that draw the tiles from the next drawing on (at least one).
  void SetThreads(int threads);

  // Draws the calls recorded so far into the canvas's pixels and forgets
  // them (a recorder keeps them).
  void Flush();
  // The pixels of a canvas with a bitmap of its own (premultiplied), after
  // a Flush; valid until the next drawing call.
  PixelView Pixels();
  // A copy of those pixels with straight alpha.
  Bitmap ToBitmap();

  // A recorder's calls drawn into the band, whose rows should begin and end
  // on the tiles' rows (or the picture's end) for the band to be the whole
  // picture's rows; the recording is kept for further bands. The band's
  // pixels are drawn over, not cleared first.
  void DrawBand(const PixelBand& band);
  // Whether the recorder stopped recording, its calls beyond its bytes.
  bool Overflowed() const { return overflowed_; }
  // Whether the recording begins by clearing the picture, so that drawing
  // it paints every pixel.
  bool BeginsWithClear() const { return !calls_.empty() && calls_.front().op == Op::Clear; }
  // Forgets what is recorded and draws from now on into the band: calls
  // that do not reach it are not recorded, and the recording is drawn into
  // it whenever it grows beyond kFlushBytes and at EndScene. The state (pen,
  // fill, transform, font) is kept.
  void TargetBand(const PixelBand& band);

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
    bool thin = false;      // a stroke the ThinStroker draws
    bool segments = false;  // a stroke filed under the tiles its segments pass
    uint32_t argb = 0;      // Clear, Pixel
    uint32_t pen = 0, fill = 0, transform = 0, font = 0;
    uint32_t data = 0;   // first number in numbers_, first point in points_
    uint32_t count = 0;  // points
    uint32_t extra = 0;  // the text in texts_, the bitmap in images_
    float pad = 0;       // pixels around a stroke's segments that it may ink
    double opacity = 1;
  };
  // The device pixels a call may ink: [x0, x1] x [y0, y1].
  struct Box {
    int32_t x0, y0, x1, y1;
  };
  struct Worker;
  struct Bitmap32;

  TiledCanvas(int width, int height, int threads, StrokeRasteriser strokes);
  // A new call inking the box (device pixels), with the current state
  // recorded where it changed; null when the call is not to be recorded
  // (nothing of the box in the rows drawn, or the recording full).
  Call* Record(Op op, double x0, double y0, double x1, double y1);
  template <typename Point>
  void RecordStroke(Op op, const Point* pts, size_t n, double opacity);
  bool TransformUsable() const;
  void AfterRecord();
  void ForgetRecording();
  // The calls filed under the tiles of one tile row, within rows [y0, y1).
  void BinRow(int ty, int y0, int y1, std::vector<std::vector<uint32_t>>& lists, size_t first) const;
  void Draw(const PixelBand& band);
  void Replay(const std::vector<uint32_t>& list, int tx, int ty, const PixelBand& band, Worker& w);
  void ReplayCairo(const Call& c, Worker& w);

  int width_ = 0, height_ = 0;
  int tilesX_ = 0, tilesY_ = 0;
  int threads_ = 1;
  StrokeRasteriser strokes_;

  // Where the canvas draws: its own bitmap, a caller's band, or nowhere yet.
  std::unique_ptr<Bitmap32> own_;
  PixelBand target_;
  bool hasTarget_ = false;
  // The rows whose calls are recorded.
  int windowY0_ = 0, windowY1_ = 0;
  size_t maxBytes_ = kFlushBytes;
  bool overflowed_ = false;

  // The state as set, and whether it changed since it was last recorded.
  StrokePen pen_;
  FillState fill_;
  Bitmap fillTile_;
  Matrix transform_;
  FontSpec font_;
  bool penDirty_ = true, fillDirty_ = true, transformDirty_ = true, fontDirty_ = true;

  // The recording.
  std::vector<Call> calls_;
  std::vector<Box> boxes_;
  std::vector<StrokePen> pens_;
  std::vector<FillState> fills_;
  std::vector<Matrix> transforms_;
  std::vector<FontSpec> fonts_;
  std::vector<double> numbers_;
  std::vector<FPoint> points_;
  std::vector<std::u16string> texts_;
  std::vector<Bitmap> images_;
  size_t recordedBytes_ = 0;
  std::vector<DevicePoint> dev_;  // a stroke's device points while it is recorded

  // Per tile of the band being drawn: its calls in order.
  std::vector<std::vector<uint32_t>> lists_;

  std::string fontConfig_;
  DiagnosticSink* diagnostics_ = nullptr;
  std::unique_ptr<TextEngine> text_;  // measures and reports texts as they are recorded
  std::vector<std::unique_ptr<Worker>> workers_;
};

}  // namespace zumen
