#include "canvas/tiled_canvas.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <mutex>

#include "canvas/cairo_canvas.h"
#include "canvas/text_engine.h"
#include "codecs/deflate.h"
#include "raster/composite.h"
#include "raster/path_clip.h"

namespace zumen {

namespace {

// The recording is drawn and forgotten once it holds this much.
constexpr size_t kMaxRecordedBytes = size_t{256} << 20;
// Cairo's mitre limit: a mitre reaches at most this many half widths from its vertex.
constexpr double kMitreReach = 10;

double ClampOpacity(double opacity) { return std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 0.0; }

// The tile holding coordinate v (pixels), within [0, n).
int TileOf(double v, int n) {
  const double t = std::floor(v / TiledCanvas::kTile);
  if (!(t >= 0)) return 0;
  if (t >= n - 1) return n - 1;
  return static_cast<int>(t);
}

// A bound of how much the transform stretches a length.
double ScaleBound(const Matrix& m) { return std::sqrt(m.m11 * m.m11 + m.m12 * m.m12 + m.m21 * m.m21 + m.m22 * m.m22); }

struct DPoint {
  double X, Y;
};

}  // namespace

struct TiledCanvas::Worker {
  // A Cairo surface of the thread's own over the canvas's pixels: Cairo keeps
  // the clip of a drawing on the surface while it composites, so threads
  // drawing on one surface object with clips of their own would use each
  // other's.
  cairo_surface_t* surface = nullptr;
  std::unique_ptr<CairoCanvas> cairo;  // on surface, made when first needed
  ThinStroker stroker;
  std::vector<FPoint> points;  // a call's points for the Cairo canvas
  PixelRect clip;              // the Cairo canvas's clip
  // The recorded state last given to the Cairo canvas.
  uint32_t pen = UINT32_MAX, fill = UINT32_MAX, transform = UINT32_MAX, font = UINT32_MAX;

  ~Worker() {
    cairo.reset();
    if (surface) cairo_surface_destroy(surface);
  }
};

TiledCanvasOrError TiledCanvas::Create(int width, int height, int threads, StrokeRasteriser strokes) {
  TiledCanvasOrError r;
  if (width <= 0 || height <= 0) {
    r.error = "canvas size " + std::to_string(width) + " x " + std::to_string(height) + " is not positive";
    return r;
  }
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    r.error = "cannot create a canvas of " + std::to_string(width) + " x " + std::to_string(height) +
              " pixels: " + cairo_status_to_string(cairo_surface_status(s));
    cairo_surface_destroy(s);
    return r;
  }
  r.canvas.reset(new TiledCanvas(s, width, height, threads, strokes));
  return r;
}

TiledCanvas::TiledCanvas(cairo_surface_t* surface, int width, int height, int threads, StrokeRasteriser strokes)
    : surface_(surface),
      width_(width),
      height_(height),
      tilesX_((width + kTile - 1) / kTile),
      tilesY_((height + kTile - 1) / kTile),
      threads_(std::max(threads, 1)),
      strokes_(strokes),
      tiles_(static_cast<size_t>(tilesX_) * static_cast<size_t>(tilesY_)) {}

TiledCanvas::~TiledCanvas() {
  workers_.clear();  // their Cairo canvases let go of the surface first
  cairo_surface_destroy(surface_);
}

void TiledCanvas::SetThreads(int threads) { threads_ = std::max(threads, 1); }

void TiledCanvas::SetFontConfigFile(std::string file) { fontConfig_ = std::move(file); }

void TiledCanvas::SetDiagnostics(DiagnosticSink* sink) {
  diagnostics_ = sink;
  if (text_) text_->SetDiagnostics(sink);
}

// ---- State ------------------------------------------------------------------

void TiledCanvas::SetStroke(uint32_t argb, double widthPx, DashStyle dash) {
  const StrokePen pen{argb, std::isfinite(widthPx) && widthPx > 0 ? widthPx : 1.0, dash};
  if (pen.argb == pen_.argb && pen.width == pen_.width && pen.dash == pen_.dash) return;
  pen_ = pen;
  penDirty_ = true;
}

void TiledCanvas::SetStrokeColor(uint32_t argb) {
  if (argb == pen_.argb) return;
  pen_.argb = argb;
  penDirty_ = true;
}

void TiledCanvas::SetFillSolid(uint32_t argb) {
  if (fill_.kind == FillKind::Solid && fill_.argb == argb) return;
  fill_.kind = FillKind::Solid;
  fill_.argb = argb;
  fillDirty_ = true;
}

void TiledCanvas::SetFillBitmap(const Bitmap& tile) {
  fill_.kind = FillKind::Bitmap;
  fillTile_ = tile;
  fillDirty_ = true;
}

void TiledCanvas::SetFillLinearGradient(double x0, double y0, double x1, double y1,
                                        const std::vector<GradientStop>& stops) {
  fill_.kind = FillKind::LinearGradient;
  fill_.grad[0] = x0;
  fill_.grad[1] = y0;
  fill_.grad[2] = x1;
  fill_.grad[3] = y1;
  fill_.stops = stops;
  fillDirty_ = true;
}

void TiledCanvas::SetFillRadialGradient(double cx, double cy, const std::vector<GradientStop>& stops) {
  fill_.kind = FillKind::RadialGradient;
  fill_.grad[0] = cx;
  fill_.grad[1] = cy;
  fill_.stops = stops;
  fillDirty_ = true;
}

void TiledCanvas::SetTransform(const Matrix& m) {
  if (m == transform_) return;
  transform_ = m;
  transformDirty_ = true;
}

void TiledCanvas::SetFont(const FontSpec& font) {
  if (font == font_) return;
  font_ = font;
  fontDirty_ = true;
}

// What the Cairo canvas draws under: a transform that does not collapse the
// plane (with one that does, it draws nothing).
bool TiledCanvas::TransformUsable() const {
  const Matrix& m = transform_;
  const double det = m.m11 * m.m22 - m.m12 * m.m21;
  return std::isfinite(m.m11) && std::isfinite(m.m12) && std::isfinite(m.m21) && std::isfinite(m.m22) &&
         std::isfinite(m.dx) && std::isfinite(m.dy) && std::isfinite(det) && det != 0;
}

// ---- Recording --------------------------------------------------------------

TiledCanvas::Call& TiledCanvas::Record(Op op) {
  if (penDirty_) {
    pens_.push_back(pen_);
    penDirty_ = false;
  }
  if (fillDirty_) {
    FillState f = fill_;
    if (f.kind == FillKind::Bitmap) {
      f.image = static_cast<int32_t>(images_.size());
      images_.push_back(fillTile_);
      recordedBytes_ += fillTile_.pixels.size() * sizeof(uint32_t);
    }
    recordedBytes_ += sizeof(FillState) + f.stops.size() * sizeof(GradientStop);
    fills_.push_back(std::move(f));
    fillDirty_ = false;
  }
  if (transformDirty_) {
    transforms_.push_back(transform_);
    transformDirty_ = false;
  }
  if (fontDirty_) {
    fonts_.push_back(font_);
    recordedBytes_ += sizeof(FontSpec) + font_.family.size() * sizeof(char16_t);
    fontDirty_ = false;
  }
  Call c;
  c.op = op;
  c.pen = static_cast<uint32_t>(pens_.size() - 1);
  c.fill = static_cast<uint32_t>(fills_.size() - 1);
  c.transform = static_cast<uint32_t>(transforms_.size() - 1);
  c.font = static_cast<uint32_t>(fonts_.size() - 1);
  c.data = static_cast<uint32_t>(op == Op::Polyline || op == Op::Polygon ? points_.size() : numbers_.size());
  calls_.push_back(c);
  recordedBytes_ += sizeof(Call) + sizeof(StrokePen) + sizeof(Matrix);
  return calls_.back();
}

void TiledCanvas::AddToTile(int tx, int ty) {
  std::vector<uint32_t>& list = tiles_[static_cast<size_t>(ty) * static_cast<size_t>(tilesX_) + static_cast<size_t>(tx)];
  const uint32_t call = static_cast<uint32_t>(calls_.size() - 1);
  if (list.empty() || list.back() != call) {
    list.push_back(call);
    recordedBytes_ += sizeof(uint32_t);
  }
}

void TiledCanvas::BinBox(double x0, double y0, double x1, double y1) {
  if (!(x1 >= 0 && x0 < width_ && y1 >= 0 && y0 < height_)) return;  // outside, or not a number
  const int tx0 = TileOf(x0, tilesX_), tx1 = TileOf(x1, tilesX_);
  const int ty0 = TileOf(y0, tilesY_), ty1 = TileOf(y1, tilesY_);
  for (int ty = ty0; ty <= ty1; ++ty)
    for (int tx = tx0; tx <= tx1; ++tx) AddToTile(tx, ty);
}

// The tiles along the segment, row of tiles by row of tiles: a long slanting
// line is filed under the tiles it crosses, not under all of its box.
void TiledCanvas::BinSegment(double ax, double ay, double bx, double by, double pad) {
  DevicePoint a{ax, ay}, b{bx, by};
  if (!ClipSegment(a, b, -pad, -pad, width_ + pad, height_ + pad)) return;
  const int ty0 = TileOf(std::min(a.y, b.y) - pad, tilesY_), ty1 = TileOf(std::max(a.y, b.y) + pad, tilesY_);
  for (int ty = ty0; ty <= ty1; ++ty) {
    const double band0 = static_cast<double>(ty) * kTile - pad, band1 = static_cast<double>(ty + 1) * kTile + pad;
    double t0 = 0, t1 = 1;
    if (a.y != b.y) {
      double u0 = (band0 - a.y) / (b.y - a.y), u1 = (band1 - a.y) / (b.y - a.y);
      if (u0 > u1) std::swap(u0, u1);
      t0 = std::max(t0, u0);
      t1 = std::min(t1, u1);
      if (t0 > t1) continue;
    } else if (a.y < band0 || a.y > band1) {
      continue;
    }
    const double xa = a.x + t0 * (b.x - a.x), xb = a.x + t1 * (b.x - a.x);
    const int tx0 = TileOf(std::min(xa, xb) - pad, tilesX_), tx1 = TileOf(std::max(xa, xb) + pad, tilesX_);
    for (int tx = tx0; tx <= tx1; ++tx) AddToTile(tx, ty);
  }
}

template <typename Point>
void TiledCanvas::RecordStroke(Op op, const Point* pts, size_t n, bool closed, double opacity) {
  opacity = ClampOpacity(opacity);
  if (opacity <= 0 || n < 2 || !TransformUsable()) return;
  std::vector<DevicePoint>& dev = dev_;
  dev.resize(n);
  for (size_t i = 0; i < n; ++i) {
    transform_.Apply(pts[i].X, pts[i].Y, dev[i].x, dev[i].y);
    if (!std::isfinite(dev[i].x) || !std::isfinite(dev[i].y)) return;  // draws nothing
  }
  Call& c = Record(op);
  c.opacity = opacity;
  c.thin = strokes_ == StrokeRasteriser::Zumen && CanRasterise(transform_, pen_);
  if (op == Op::Polyline) {
    c.count = static_cast<uint32_t>(n);
    for (size_t i = 0; i < n; ++i) points_.push_back({static_cast<float>(pts[i].X), static_cast<float>(pts[i].Y)});
    recordedBytes_ += n * sizeof(FPoint);
  } else {
    // A line's ends, a rectangle's left, top, right, bottom.
    numbers_.push_back(pts[0].X);
    numbers_.push_back(pts[0].Y);
    numbers_.push_back(pts[op == Op::Rect ? 2 : 1].X);
    numbers_.push_back(pts[op == Op::Rect ? 2 : 1].Y);
    recordedBytes_ += 4 * sizeof(double);
  }
  const double half = pen_.width * ScaleBound(transform_) / 2;
  const double pad = (n > 2 ? kMitreReach * half : half) + 2;
  double x0 = dev[0].x, y0 = dev[0].y, x1 = x0, y1 = y0;
  for (size_t i = 1; i < n; ++i) {
    x0 = std::min(x0, dev[i].x);
    y0 = std::min(y0, dev[i].y);
    x1 = std::max(x1, dev[i].x);
    y1 = std::max(y1, dev[i].y);
  }
  if (TileOf(x0 - pad, tilesX_) == TileOf(x1 + pad, tilesX_) && TileOf(y0 - pad, tilesY_) == TileOf(y1 + pad, tilesY_)) {
    BinBox(x0 - pad, y0 - pad, x1 + pad, y1 + pad);  // within one tile (or none)
  } else {
    for (size_t i = 1; i < n; ++i) BinSegment(dev[i - 1].x, dev[i - 1].y, dev[i].x, dev[i].y, pad);
    if (closed) BinSegment(dev[n - 1].x, dev[n - 1].y, dev[0].x, dev[0].y, pad);
  }
  FlushIfLarge();
}

void TiledCanvas::Clear(uint32_t argb) {
  // A clear paints over everything drawn before it.
  calls_.clear();
  for (std::vector<uint32_t>& t : tiles_) t.clear();
  Call& c = Record(Op::Clear);
  c.argb = argb;
  BinBox(0, 0, width_ - 1, height_ - 1);
}

void TiledCanvas::StrokeLine(double x1, double y1, double x2, double y2, double opacity) {
  const DPoint p[2] = {{x1, y1}, {x2, y2}};
  RecordStroke(Op::Line, p, 2, false, opacity);
}

void TiledCanvas::StrokeRect(double left, double top, double right, double bottom, double opacity) {
  const DPoint p[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
  RecordStroke(Op::Rect, p, 4, true, opacity);
}

void TiledCanvas::StrokePolyline(const std::vector<FPoint>& pts, double opacity) {
  RecordStroke(Op::Polyline, pts.data(), pts.size(), false, opacity);
}

void TiledCanvas::SetPixel(double x, double y, uint32_t argb) {
  if (!TransformUsable()) return;
  double dx = 0, dy = 0;
  transform_.Apply(x, y, dx, dy);
  if (!std::isfinite(dx) || !std::isfinite(dy)) return;
  const double px = std::floor(dx + 0.5), py = std::floor(dy);
  if (px < 0 || py < 0 || px >= width_ || py >= height_) return;
  Call& c = Record(Op::Pixel);
  c.argb = argb;
  numbers_.push_back(px);
  numbers_.push_back(py);
  BinBox(px, py, px, py);
}

void TiledCanvas::FillPolygon(const std::vector<FPoint>& pts, double opacity) {
  opacity = ClampOpacity(opacity);
  if (pts.size() < 3 || opacity <= 0 || !TransformUsable()) return;
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (const FPoint& p : pts) {
    double dx = 0, dy = 0;
    transform_.Apply(p.X, p.Y, dx, dy);
    if (!std::isfinite(dx) || !std::isfinite(dy)) return;
    x0 = std::min(x0, dx);
    y0 = std::min(y0, dy);
    x1 = std::max(x1, dx);
    y1 = std::max(y1, dy);
  }
  Call& c = Record(Op::Polygon);
  c.opacity = opacity;
  c.count = static_cast<uint32_t>(pts.size());
  points_.insert(points_.end(), pts.begin(), pts.end());
  recordedBytes_ += pts.size() * sizeof(FPoint);
  BinBox(x0 - 2, y0 - 2, x1 + 2, y1 + 2);
  FlushIfLarge();
}

void TiledCanvas::FillText(double left, double top, double right, double bottom, const std::u16string& text,
                           double opacity) {
  opacity = ClampOpacity(opacity);
  if (text.empty() || opacity <= 0 || !TransformUsable() || !std::isfinite(left) || !std::isfinite(top)) return;
  if (!text_) {
    text_ = std::make_unique<TextEngine>(fontConfig_);
    text_->SetDiagnostics(diagnostics_);
  }
  const TextEngine::Extent e = text_->Measure(font_, text, true);
  if (!e.drawn) return;
  Call& c = Record(Op::Text);
  c.opacity = opacity;
  c.extra = static_cast<uint32_t>(texts_.size());
  texts_.push_back(text);
  for (double v : {left, top, right, bottom}) numbers_.push_back(v);
  recordedBytes_ += text.size() * sizeof(char16_t) + sizeof(std::u16string) + 4 * sizeof(double);
  // Glyphs may reach past the pen's advance and the line box: an em more on
  // every side, under the transform.
  const double em = font_.sizePx;
  const double ux0 = left - em, ux1 = left + e.advance + em, uy0 = top - em, uy1 = top + e.ascent + e.descent + em;
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (const auto& [ux, uy] : {std::pair{ux0, uy0}, std::pair{ux1, uy0}, std::pair{ux0, uy1}, std::pair{ux1, uy1}}) {
    double dx = 0, dy = 0;
    transform_.Apply(ux, uy, dx, dy);
    x0 = std::min(x0, dx);
    y0 = std::min(y0, dy);
    x1 = std::max(x1, dx);
    y1 = std::max(y1, dy);
  }
  if (std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1)) {
    BinBox(x0 - 2, y0 - 2, x1 + 2, y1 + 2);
  } else {
    BinBox(0, 0, width_ - 1, height_ - 1);  // nowhere known: everywhere
  }
  FlushIfLarge();
}

void TiledCanvas::DrawBitmap(const Bitmap& bmp, double sx, double sy, double sw, double sh, double left, double top,
                             double right, double bottom, double opacity) {
  opacity = ClampOpacity(opacity);
  if (bmp.empty() || bmp.pixels.size() < static_cast<size_t>(bmp.width) * static_cast<size_t>(bmp.height)) return;
  if (opacity <= 0 || !TransformUsable()) return;
  for (double v : {sx, sy, sw, sh, left, top, right, bottom})
    if (!std::isfinite(v)) return;
  if (sw == 0 || sh == 0 || right == left || bottom == top) return;
  Call& c = Record(Op::Bitmap);
  c.opacity = opacity;
  c.extra = static_cast<uint32_t>(images_.size());
  images_.push_back(bmp);
  for (double v : {sx, sy, sw, sh, left, top, right, bottom}) numbers_.push_back(v);
  recordedBytes_ += bmp.pixels.size() * sizeof(uint32_t) + 8 * sizeof(double);
  // The picture lands inside its destination rectangle.
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
  for (const auto& [ux, uy] : {std::pair{left, top}, std::pair{right, top}, std::pair{left, bottom}, std::pair{right, bottom}}) {
    double dx = 0, dy = 0;
    transform_.Apply(ux, uy, dx, dy);
    x0 = std::min(x0, dx);
    y0 = std::min(y0, dy);
    x1 = std::max(x1, dx);
    y1 = std::max(y1, dy);
  }
  BinBox(x0 - 2, y0 - 2, x1 + 2, y1 + 2);
  FlushIfLarge();
}

void TiledCanvas::FlushIfLarge() {
  if (recordedBytes_ > kMaxRecordedBytes) Flush();
}

// ---- Drawing ----------------------------------------------------------------

void TiledCanvas::Flush() {
  if (calls_.empty()) return;
  // The threads write pixels behind Cairo's back; a surface Cairo still
  // believed blank would have its next figures composited as if on nothing.
  cairo_surface_flush(surface_);
  cairo_surface_mark_dirty(surface_);
  std::vector<size_t> todo;
  for (size_t t = 0; t < tiles_.size(); ++t)
    if (!tiles_[t].empty()) todo.push_back(t);
  while (workers_.size() < static_cast<size_t>(threads_)) workers_.push_back(std::make_unique<Worker>());
  for (const std::unique_ptr<Worker>& w : workers_) w->pen = w->fill = w->transform = w->font = UINT32_MAX;
  std::exception_ptr failure;
  std::mutex failureLock;
  RunParallel(todo.size(), threads_, [&](size_t i, size_t worker) {
    try {
      Replay(todo[i], *workers_[worker]);
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failureLock);
      if (!failure) failure = std::current_exception();
    }
  });
  cairo_surface_mark_dirty(surface_);
  calls_.clear();
  pens_.clear();
  fills_.clear();
  transforms_.clear();
  fonts_.clear();
  numbers_.clear();
  points_.clear();
  texts_.clear();
  images_.clear();
  for (std::vector<uint32_t>& t : tiles_) t.clear();
  recordedBytes_ = 0;
  penDirty_ = fillDirty_ = transformDirty_ = fontDirty_ = true;
  if (failure) std::rethrow_exception(failure);
}

void TiledCanvas::Replay(size_t tile, Worker& w) {
  const int tx = static_cast<int>(tile % static_cast<size_t>(tilesX_)), ty = static_cast<int>(tile / static_cast<size_t>(tilesX_));
  PixelTarget t;
  t.data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(surface_));
  t.stride = cairo_image_surface_get_stride(surface_) / 4;
  t.width = width_;
  t.height = height_;
  t.clip = {tx * kTile, ty * kTile, std::min(width_, (tx + 1) * kTile), std::min(height_, (ty + 1) * kTile)};
  const std::vector<uint32_t>& list = tiles_[tile];
  for (size_t k = 0; k < list.size(); ++k) {
    // A tile's calls lie far apart in the recording: fetch ahead.
    if (k + 4 < list.size()) {
      const Call& ahead = calls_[list[k + 4]];
      __builtin_prefetch(&ahead);
      if (k + 2 < list.size()) {
        const Call& next = calls_[list[k + 2]];
        __builtin_prefetch(next.op == Op::Polyline || next.op == Op::Polygon ? static_cast<const void*>(points_.data() + next.data)
                                                                             : static_cast<const void*>(numbers_.data() + next.data));
      }
    }
    const Call& c = calls_[list[k]];
    switch (c.op) {
      case Op::Clear: {
        const uint32_t p = SolidPixel(c.argb, 1.0);
        for (int y = t.clip.y0; y < t.clip.y1; ++y) std::fill_n(t.data + y * t.stride + t.clip.x0, t.clip.x1 - t.clip.x0, p);
        break;
      }
      case Op::Pixel: {
        // Cairo fills the pixel's square without antialiasing: the colour
        // over the pixel at full coverage.
        const uint32_t src = SolidPixel(c.argb, 1.0);
        if (src == 0) break;
        uint32_t& p = t.data[static_cast<ptrdiff_t>(numbers_[c.data + 1]) * t.stride + static_cast<ptrdiff_t>(numbers_[c.data])];
        p = CompositeSolid(p, src, 255, (src >> 24) == 0xFF);
        break;
      }
      case Op::Line:
      case Op::Rect:
      case Op::Polyline:
        if (c.thin) {
          const Matrix& m = transforms_[c.transform];
          const StrokePen& pen = pens_[c.pen];
          const double* n = &numbers_[c.data];
          if (c.op == Op::Line) {
            w.stroker.StrokeLine(t, m, pen, c.opacity, n[0], n[1], n[2], n[3]);
          } else if (c.op == Op::Rect) {
            w.stroker.StrokeRect(t, m, pen, c.opacity, n[0], n[1], n[2], n[3]);
          } else {
            w.stroker.StrokePolyline(t, m, pen, c.opacity, &points_[c.data], c.count);
          }
          break;
        }
        ReplayCairo(c, w, t.clip);
        break;
      default: ReplayCairo(c, w, t.clip); break;
    }
  }
}

void TiledCanvas::ReplayCairo(const Call& c, Worker& w, const PixelRect& clip) {
  if (!w.cairo) {
    if (!w.surface) {
      w.surface = cairo_image_surface_create_for_data(cairo_image_surface_get_data(surface_), CAIRO_FORMAT_ARGB32,
                                                      width_, height_, cairo_image_surface_get_stride(surface_));
    }
    CairoCanvasOrError made = CairoCanvas::CreateOn(w.surface, width_, height_);
    if (!made.canvas) return;
    w.cairo = std::move(made.canvas);
    w.cairo->SetFontConfigFile(fontConfig_);
    w.clip = {};
  }
  CairoCanvas& cc = *w.cairo;
  if (!(w.clip == clip)) {
    cc.ClipRect(clip);
    w.clip = clip;
  }
  if (c.transform != w.transform) {
    cc.SetTransform(transforms_[c.transform]);
    w.transform = c.transform;
  }
  const auto usePen = [&] {
    if (c.pen == w.pen) return;
    const StrokePen& p = pens_[c.pen];
    cc.SetStroke(p.argb, p.width, p.dash);
    w.pen = c.pen;
  };
  const auto useFill = [&] {
    if (c.fill == w.fill) return;
    const FillState& f = fills_[c.fill];
    cc.SetFillSolid(f.argb);
    if (f.kind == FillKind::Bitmap) cc.SetFillBitmap(f.image >= 0 ? images_[static_cast<size_t>(f.image)] : Bitmap{});
    if (f.kind == FillKind::LinearGradient) cc.SetFillLinearGradient(f.grad[0], f.grad[1], f.grad[2], f.grad[3], f.stops);
    if (f.kind == FillKind::RadialGradient) cc.SetFillRadialGradient(f.grad[0], f.grad[1], f.stops);
    w.fill = c.fill;
  };
  const auto points = [&]() -> const std::vector<FPoint>& {
    w.points.assign(points_.begin() + c.data, points_.begin() + c.data + c.count);
    return w.points;
  };
  const double* n = c.data < numbers_.size() ? &numbers_[c.data] : nullptr;
  switch (c.op) {
    case Op::Line:
      usePen();
      cc.StrokeLine(n[0], n[1], n[2], n[3], c.opacity);
      break;
    case Op::Rect:
      usePen();
      cc.StrokeRect(n[0], n[1], n[2], n[3], c.opacity);
      break;
    case Op::Polyline:
      usePen();
      cc.StrokePolyline(points(), c.opacity);
      break;
    case Op::Polygon:
      useFill();
      cc.FillPolygon(points(), c.opacity);
      break;
    case Op::Text:
      useFill();
      if (c.font != w.font) {
        cc.SetFont(fonts_[c.font]);
        w.font = c.font;
      }
      cc.FillText(n[0], n[1], n[2], n[3], texts_[c.extra], c.opacity);
      break;
    case Op::Bitmap:
      cc.DrawBitmap(images_[c.extra], n[0], n[1], n[2], n[3], n[4], n[5], n[6], n[7], c.opacity);
      break;
    default: break;
  }
}

PixelView TiledCanvas::Pixels() {
  Flush();
  cairo_surface_flush(surface_);
  PixelView v;
  v.width = width_;
  v.height = height_;
  v.data = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface_));
  v.stride = static_cast<size_t>(cairo_image_surface_get_stride(surface_)) / 4;
  v.premultiplied = true;
  return v;
}

Bitmap TiledCanvas::ToBitmap() {
  const PixelView v = Pixels();
  Bitmap out(width_, height_, 0);
  for (int y = 0; y < height_; ++y) {
    const uint32_t* src = v.row(y);
    uint32_t* dst = out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width_);
    for (int x = 0; x < width_; ++x) dst[x] = Unpremultiply(src[x]);
  }
  return out;
}

}  // namespace zumen
