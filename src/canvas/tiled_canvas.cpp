#include "canvas/tiled_canvas.h"

#include <cairo.h>
#include <sys/mman.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <mutex>
#include <utility>

#include "canvas/cairo_canvas.h"
#include "canvas/text_engine.h"
#include "codecs/deflate.h"
#include "common/memory.h"
#include "raster/composite.h"
#include "raster/path_clip.h"

namespace zumen {

namespace {

// Cairo's mitre limit: a mitre reaches at most this many half widths from its vertex.
constexpr double kMitreReach = 10;
// Bitmaps of at least this many bytes are mapped for themselves, in pages of
// 2 MiB where the system gives them: they are written once from one end to
// the other, and the first touch of each small page costs more than clearing
// it. Smaller ones come from the heap.
constexpr size_t kMappedBytes = size_t{4} << 20;

double ClampOpacity(double opacity) { return std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 0.0; }

// The tile holding pixel v, within [0, n).
int TileOf(int v, int n) { return std::clamp(v / TiledCanvas::kTile, 0, n - 1); }

// A bound of how much the transform stretches a length.
double ScaleBound(const Matrix& m) { return std::sqrt(m.m11 * m.m11 + m.m12 * m.m12 + m.m21 * m.m21 + m.m22 * m.m22); }

// A pixel coordinate within [lo, hi] (NaN: lo).
int32_t PixelIn(double v, int lo, int hi) {
  if (!(v >= lo)) return lo;
  if (v >= hi) return hi;
  return static_cast<int32_t>(v);
}

struct DPoint {
  double X, Y;
};


// The device-space box of points, grown point by point.
struct DeviceBounds {
  double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;

  void Add(double x, double y) {
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x);
    y1 = std::max(y1, y);
  }
  bool Finite() const { return std::isfinite(x0) && std::isfinite(y0) && std::isfinite(x1) && std::isfinite(y1); }
};

// The device-space box of a user-space rectangle's corners under m.
DeviceBounds CornersUnder(const Matrix& m, double left, double top, double right, double bottom) {
  DeviceBounds b;
  for (const auto& [ux, uy] : {std::pair{left, top}, std::pair{right, top}, std::pair{left, bottom}, std::pair{right, bottom}}) {
    double dx = 0, dy = 0;
    m.Apply(ux, uy, dx, dy);
    b.Add(dx, dy);
  }
  return b;
}

}  // namespace

// The pixels of a canvas with a bitmap of its own.
struct TiledCanvas::Bitmap32 {
  uint32_t* data = nullptr;
  size_t bytes = 0;
  bool mapped = false;
  std::vector<uint32_t> heap;

  ~Bitmap32() {
    if (mapped) ::munmap(data, bytes);
  }
  bool Make(int width, int height) {
    const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
    bytes = pixels * sizeof(uint32_t);
    if (bytes < kMappedBytes) {
      try {
        heap.assign(pixels, 0);
      } catch (const std::bad_alloc&) {
        return false;
      }
      data = heap.data();
      return true;
    }
    void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return false;
    AdviseHugePages(p, bytes);
    data = static_cast<uint32_t*>(p);
    mapped = true;
    return true;
  }
};

struct TiledCanvas::Worker {
  ThinStroker stroker;
  // Draws the Cairo calls of a tile on a surface of the tile's own pixels,
  // placed where the tile lies in the picture (made when first needed).
  std::unique_ptr<CairoCanvas> cairo;
  bool cairoOnTile = false;  // the Cairo canvas draws on the current tile
  PixelTarget tile;          // the current tile's pixels and clip
  std::vector<FPoint> points;  // a call's points for the Cairo canvas
  // The recorded state last given to the Cairo canvas.
  uint32_t pen = UINT32_MAX, fill = UINT32_MAX, transform = UINT32_MAX, font = UINT32_MAX;
};

TiledCanvasOrError TiledCanvas::Create(int width, int height, int threads, StrokeRasteriser strokes) {
  TiledCanvasOrError r;
  if (width <= 0 || height <= 0) {
    r.error = "canvas size " + std::to_string(width) + " x " + std::to_string(height) + " is not positive";
    return r;
  }
  std::unique_ptr<TiledCanvas> c(new TiledCanvas(width, height, threads, strokes));
  c->own_ = std::make_unique<Bitmap32>();
  if (!c->own_->Make(width, height)) {
    r.error = "cannot create a bitmap of " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
    return r;
  }
  c->target_ = {c->own_->data, width, 0, height};
  c->hasTarget_ = true;
  r.canvas = std::move(c);
  return r;
}

std::unique_ptr<TiledCanvas> TiledCanvas::Recorder(int width, int height, int threads, StrokeRasteriser strokes,
                                                   size_t maxBytes) {
  if (width <= 0 || height <= 0) return nullptr;
  std::unique_ptr<TiledCanvas> c(new TiledCanvas(width, height, threads, strokes));
  c->maxBytes_ = maxBytes;
  return c;
}

TiledCanvas::TiledCanvas(int width, int height, int threads, StrokeRasteriser strokes)
    : width_(width),
      height_(height),
      tilesX_((width + kTile - 1) / kTile),
      tilesY_((height + kTile - 1) / kTile),
      threads_(std::max(threads, 1)),
      strokes_(strokes),
      windowY0_(0),
      windowY1_(height) {}

TiledCanvas::~TiledCanvas() = default;

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

TiledCanvas::Call* TiledCanvas::Record(Op op, double x0, double y0, double x1, double y1) {
  if (overflowed_) return nullptr;
  if (!(x1 >= 0 && x0 < width_ && y1 >= windowY0_ && y0 < windowY1_)) return nullptr;
  if (!hasTarget_ && recordedBytes_ > maxBytes_) {
    overflowed_ = true;
    ForgetRecording();
    return nullptr;
  }
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
    recordedBytes_ += sizeof(Matrix);
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
  boxes_.push_back({PixelIn(std::floor(x0), -1, width_), PixelIn(std::floor(y0), -1, height_),
                    PixelIn(std::ceil(x1), -1, width_), PixelIn(std::ceil(y1), -1, height_)});
  recordedBytes_ += sizeof(Call) + sizeof(Box);
  return &calls_.back();
}

void TiledCanvas::AfterRecord() {
  if (hasTarget_ && recordedBytes_ > maxBytes_) Flush();
}

void TiledCanvas::ForgetRecording() {
  calls_.clear();
  boxes_.clear();
  pens_.clear();
  fills_.clear();
  transforms_.clear();
  fonts_.clear();
  numbers_.clear();
  points_.clear();
  texts_.clear();
  images_.clear();
  recordedBytes_ = 0;
  penDirty_ = fillDirty_ = transformDirty_ = fontDirty_ = true;
}

template <typename Point>
void TiledCanvas::RecordStroke(Op op, const Point* pts, size_t n, double opacity) {
  opacity = ClampOpacity(opacity);
  if (opacity <= 0 || n < 2 || !TransformUsable()) return;
  std::vector<DevicePoint>& dev = dev_;
  dev.resize(n);
  for (size_t i = 0; i < n; ++i) {
    transform_.Apply(pts[i].X, pts[i].Y, dev[i].x, dev[i].y);
    if (!std::isfinite(dev[i].x) || !std::isfinite(dev[i].y)) return;  // draws nothing
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
  Call* c = Record(op, x0 - pad, y0 - pad, x1 + pad, y1 + pad);
  if (!c) return;
  c->opacity = opacity;
  c->thin = strokes_ == StrokeRasteriser::Zumen && CanRasterise(transform_, pen_);
  c->pad = static_cast<float>(pad);
  const Box& b = boxes_.back();
  c->segments = b.x0 / kTile != b.x1 / kTile || b.y0 / kTile != b.y1 / kTile;
  if (op == Op::Polyline) {
    c->count = static_cast<uint32_t>(n);
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
  AfterRecord();
}

void TiledCanvas::Clear(uint32_t argb) {
  // A clear paints over everything drawn before it.
  if (overflowed_) return;
  ForgetRecording();
  if (Call* c = Record(Op::Clear, 0, 0, width_, height_)) c->argb = argb;
}

void TiledCanvas::StrokeLine(double x1, double y1, double x2, double y2, double opacity) {
  const DPoint p[2] = {{x1, y1}, {x2, y2}};
  RecordStroke(Op::Line, p, 2, opacity);
}

void TiledCanvas::StrokeRect(double left, double top, double right, double bottom, double opacity) {
  const DPoint p[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
  RecordStroke(Op::Rect, p, 4, opacity);
}

void TiledCanvas::StrokePolyline(const std::vector<FPoint>& pts, double opacity) {
  RecordStroke(Op::Polyline, pts.data(), pts.size(), opacity);
}

void TiledCanvas::SetPixel(double x, double y, uint32_t argb) {
  if (!TransformUsable()) return;
  double dx = 0, dy = 0;
  transform_.Apply(x, y, dx, dy);
  if (!std::isfinite(dx) || !std::isfinite(dy)) return;
  const double px = std::floor(dx + 0.5), py = std::floor(dy);
  if (px < 0 || py < 0 || px >= width_ || py >= height_) return;
  Call* c = Record(Op::Pixel, px, py, px, py);
  if (!c) return;
  c->argb = argb;
  numbers_.push_back(px);
  numbers_.push_back(py);
  recordedBytes_ += 2 * sizeof(double);
  AfterRecord();
}

void TiledCanvas::FillPolygon(const std::vector<FPoint>& pts, double opacity) {
  opacity = ClampOpacity(opacity);
  if (pts.size() < 3 || opacity <= 0 || !TransformUsable()) return;
  DeviceBounds b;
  for (const FPoint& p : pts) {
    double dx = 0, dy = 0;
    transform_.Apply(p.X, p.Y, dx, dy);
    if (!std::isfinite(dx) || !std::isfinite(dy)) return;
    b.Add(dx, dy);
  }
  Call* c = Record(Op::Polygon, b.x0 - 2, b.y0 - 2, b.x1 + 2, b.y1 + 2);
  if (!c) return;
  c->opacity = opacity;
  c->count = static_cast<uint32_t>(pts.size());
  points_.insert(points_.end(), pts.begin(), pts.end());
  recordedBytes_ += pts.size() * sizeof(FPoint);
  AfterRecord();
}

void TiledCanvas::FillText(double left, double top, double right, double bottom, const std::u16string& text,
                           double opacity) {
  opacity = ClampOpacity(opacity);
  if (text.empty() || opacity <= 0 || !TransformUsable() || !std::isfinite(left) || !std::isfinite(top)) return;
  if (!text_) {
    text_ = std::make_unique<TextEngine>(fontConfig_);
    text_->SetDiagnostics(diagnostics_);
  }
  // Measured (and reported) wherever it lies: every part of the picture
  // reports what the whole picture does.
  const TextEngine::Extent e = text_->Measure(font_, text, true);
  if (!e.drawn) return;
  // Glyphs may reach past the pen's advance and the line box: an em more on
  // every side, under the transform.
  const double em = font_.sizePx;
  const double ux0 = left - em, ux1 = left + e.advance + em, uy0 = top - em, uy1 = top + e.ascent + e.descent + em;
  DeviceBounds b = CornersUnder(transform_, ux0, uy0, ux1, uy1);
  if (!b.Finite()) b = {0, 0, static_cast<double>(width_), static_cast<double>(height_)};  // nowhere known: everywhere
  Call* c = Record(Op::Text, b.x0 - 2, b.y0 - 2, b.x1 + 2, b.y1 + 2);
  if (!c) return;
  c->opacity = opacity;
  c->extra = static_cast<uint32_t>(texts_.size());
  texts_.push_back(text);
  for (double v : {left, top, right, bottom}) numbers_.push_back(v);
  recordedBytes_ += text.size() * sizeof(char16_t) + sizeof(std::u16string) + 4 * sizeof(double);
  AfterRecord();
}

void TiledCanvas::DrawBitmap(const Bitmap& bmp, double sx, double sy, double sw, double sh, double left, double top,
                             double right, double bottom, double opacity) {
  opacity = ClampOpacity(opacity);
  if (bmp.empty() || bmp.pixels.size() < static_cast<size_t>(bmp.width) * static_cast<size_t>(bmp.height)) return;
  if (opacity <= 0 || !TransformUsable()) return;
  for (double v : {sx, sy, sw, sh, left, top, right, bottom})
    if (!std::isfinite(v)) return;
  if (sw == 0 || sh == 0 || right == left || bottom == top) return;
  // The picture lands inside its destination rectangle.
  const DeviceBounds b = CornersUnder(transform_, left, top, right, bottom);
  Call* c = Record(Op::Bitmap, b.x0 - 2, b.y0 - 2, b.x1 + 2, b.y1 + 2);
  if (!c) return;
  c->opacity = opacity;
  c->extra = static_cast<uint32_t>(images_.size());
  images_.push_back(bmp);
  for (double v : {sx, sy, sw, sh, left, top, right, bottom}) numbers_.push_back(v);
  recordedBytes_ += bmp.pixels.size() * sizeof(uint32_t) + 8 * sizeof(double);
  AfterRecord();
}

// ---- Drawing ----------------------------------------------------------------

void TiledCanvas::EndScene() { Flush(); }

void TiledCanvas::Flush() {
  if (!hasTarget_) return;
  Draw(target_);
  ForgetRecording();
}

void TiledCanvas::DrawBand(const PixelBand& band) { Draw(band); }

void TiledCanvas::TargetBand(const PixelBand& band) {
  ForgetRecording();
  target_ = band;
  hasTarget_ = true;
  windowY0_ = band.y0;
  windowY1_ = band.y0 + band.rows;
  maxBytes_ = kFlushBytes;
  overflowed_ = false;
}

// Files under the tiles of tile row ty the calls that may ink its rows
// [y0, y1), in call order: a stroke that crosses tiles under those its
// segments pass (its width around them), anything else under those its box
// covers.
void TiledCanvas::BinRow(int ty, int y0, int y1, std::vector<std::vector<uint32_t>>& lists, size_t first) const {
  (void)ty;
  std::vector<uint32_t>* row = lists.data() + first;
  const auto add = [row](int tx, uint32_t k) {
    std::vector<uint32_t>& list = row[tx];
    if (list.empty() || list.back() != k) list.push_back(k);
  };
  DevicePoint pts[4];
  for (uint32_t k = 0; k < calls_.size(); ++k) {
    const Box& b = boxes_[k];
    if (b.y1 < y0 || b.y0 >= y1) continue;
    const Call& c = calls_[k];
    if (!c.segments) {
      for (int tx = TileOf(b.x0, tilesX_), last = TileOf(b.x1, tilesX_); tx <= last; ++tx) add(tx, k);
      continue;
    }
    const Matrix& m = transforms_[c.transform];
    const double pad = c.pad;
    const double band0 = y0 - pad, band1 = y1 + pad;
    const auto segment = [&](DevicePoint a, DevicePoint e) {
      double t0 = 0, t1 = 1;
      if (a.y != e.y) {
        double u0 = (band0 - a.y) / (e.y - a.y), u1 = (band1 - a.y) / (e.y - a.y);
        if (u0 > u1) std::swap(u0, u1);
        t0 = std::max(t0, u0);
        t1 = std::min(t1, u1);
        if (t0 > t1) return;
      } else if (a.y < band0 || a.y > band1) {
        return;
      }
      const double xa = a.x + t0 * (e.x - a.x), xe = a.x + t1 * (e.x - a.x);
      const int tx0 = TileOf(PixelIn(std::floor(std::min(xa, xe) - pad), -1, width_), tilesX_);
      const int tx1 = TileOf(PixelIn(std::ceil(std::max(xa, xe) + pad), -1, width_), tilesX_);
      for (int tx = tx0; tx <= tx1; ++tx) add(tx, k);
    };
    if (c.op == Op::Polyline) {
      const FPoint* p = points_.data() + c.data;
      DevicePoint prev;
      m.Apply(p[0].X, p[0].Y, prev.x, prev.y);
      for (uint32_t i = 1; i < c.count; ++i) {
        DevicePoint next;
        m.Apply(p[i].X, p[i].Y, next.x, next.y);
        segment(prev, next);
        prev = next;
      }
      continue;
    }
    const double* n = numbers_.data() + c.data;
    if (c.op == Op::Line) {
      m.Apply(n[0], n[1], pts[0].x, pts[0].y);
      m.Apply(n[2], n[3], pts[1].x, pts[1].y);
      segment(pts[0], pts[1]);
      continue;
    }
    m.Apply(n[0], n[1], pts[0].x, pts[0].y);  // a rectangle's corners, round
    m.Apply(n[2], n[1], pts[1].x, pts[1].y);
    m.Apply(n[2], n[3], pts[2].x, pts[2].y);
    m.Apply(n[0], n[3], pts[3].x, pts[3].y);
    for (int i = 0; i < 4; ++i) segment(pts[i], pts[(i + 1) % 4]);
  }
}

void TiledCanvas::Draw(const PixelBand& band) {
  if (calls_.empty() || band.rows <= 0 || !band.data) return;
  const int bandEnd = std::min(height_, band.y0 + band.rows);
  if (band.y0 >= bandEnd || band.y0 < 0) return;
  const int ty0 = band.y0 / kTile, ty1 = (bandEnd - 1) / kTile + 1;
  const size_t tiles = static_cast<size_t>(ty1 - ty0) * static_cast<size_t>(tilesX_);
  if (lists_.size() < tiles) lists_.resize(tiles);
  for (size_t t = 0; t < tiles; ++t) lists_[t].clear();
  while (workers_.size() < static_cast<size_t>(threads_)) workers_.push_back(std::make_unique<Worker>());
  // The state last given to each Cairo canvas is known by its number in the
  // recording, which may be another one now.
  for (const std::unique_ptr<Worker>& w : workers_) w->pen = w->fill = w->transform = w->font = UINT32_MAX;
  std::exception_ptr failure;
  std::mutex failureLock;
  const auto guarded = [&](const auto& work) {
    try {
      work();
    } catch (...) {
      const std::lock_guard<std::mutex> lock(failureLock);
      if (!failure) failure = std::current_exception();
    }
  };
  // Every thread files the calls of whole tile rows; then every thread
  // draws tiles, the busiest first.
  RunParallel(static_cast<size_t>(ty1 - ty0), threads_, [&](size_t i, size_t) {
    const int ty = ty0 + static_cast<int>(i);
    guarded([&] {
      BinRow(ty, std::max(ty * kTile, band.y0), std::min((ty + 1) * kTile, bandEnd), lists_,
             i * static_cast<size_t>(tilesX_));
    });
  });
  if (failure) std::rethrow_exception(failure);
  std::vector<uint32_t> todo;
  for (size_t t = 0; t < tiles; ++t)
    if (!lists_[t].empty()) todo.push_back(static_cast<uint32_t>(t));
  // The busiest first, ties in tile order (std::sort with a total order:
  // stable_sort's helpers would be instantiated into the library's exports).
  std::sort(todo.begin(), todo.end(), [this](uint32_t a, uint32_t b) {
    const size_t na = lists_[a].size(), nb = lists_[b].size();
    return na != nb ? na > nb : a < b;
  });
  RunParallel(todo.size(), threads_, [&](size_t i, size_t worker) {
    const size_t t = todo[i];
    const int tx = static_cast<int>(t % static_cast<size_t>(tilesX_));
    const int ty = ty0 + static_cast<int>(t / static_cast<size_t>(tilesX_));
    guarded([&] { Replay(lists_[t], tx, ty, band, *workers_[worker]); });
  });
  if (failure) std::rethrow_exception(failure);
}

void TiledCanvas::Replay(const std::vector<uint32_t>& list, int tx, int ty, const PixelBand& band, Worker& w) {
  PixelTarget& t = w.tile;
  t.data = band.data;
  t.stride = band.stride;
  t.x0 = 0;
  t.y0 = band.y0;
  t.width = width_;
  t.height = height_;
  t.clip = {tx * kTile, std::max(ty * kTile, band.y0), std::min(width_, (tx + 1) * kTile),
            std::min({height_, (ty + 1) * kTile, band.y0 + band.rows})};
  w.cairoOnTile = false;
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
        for (int y = t.clip.y0; y < t.clip.y1; ++y) std::fill_n(t.At(t.clip.x0, y), t.clip.x1 - t.clip.x0, p);
        break;
      }
      case Op::Pixel: {
        // Cairo fills the pixel's square without antialiasing: the colour
        // over the pixel at full coverage.
        const uint32_t src = SolidPixel(c.argb, 1.0);
        const int x = static_cast<int>(numbers_[c.data]), y = static_cast<int>(numbers_[c.data + 1]);
        if (src == 0 || x < t.clip.x0 || x >= t.clip.x1 || y < t.clip.y0 || y >= t.clip.y1) break;
        uint32_t& p = *t.At(x, y);
        p = CompositeSolid(p, src, 255, (src >> 24) == 0xFF);
        break;
      }
      case Op::Line:
      case Op::Rect:
      case Op::Polyline:
        if (c.thin) {
          const Matrix& m = transforms_[c.transform];
          const StrokePen& pen = pens_[c.pen];
          // A polyline's data indexes the points; lines and rectangles keep
          // their corners among the numbers.
          if (c.op == Op::Line) {
            const double* n = numbers_.data() + c.data;
            w.stroker.StrokeLine(t, m, pen, c.opacity, n[0], n[1], n[2], n[3]);
          } else if (c.op == Op::Rect) {
            const double* n = numbers_.data() + c.data;
            w.stroker.StrokeRect(t, m, pen, c.opacity, n[0], n[1], n[2], n[3]);
          } else {
            w.stroker.StrokePolyline(t, m, pen, c.opacity, points_.data() + c.data, c.count);
          }
          break;
        }
        ReplayCairo(c, w);
        break;
      default: ReplayCairo(c, w); break;
    }
  }
  if (w.cairoOnTile) w.cairo->EndScene();
}

void TiledCanvas::ReplayCairo(const Call& c, Worker& w) {
  if (!w.cairoOnTile) {
    // A surface of the tile's pixels, placed at the tile: what Cairo draws
    // of a call is cut at the tile's edges, the same edges whichever band
    // holds the tile.
    const PixelRect& r = w.tile.clip;
    cairo_surface_t* s = cairo_image_surface_create_for_data(reinterpret_cast<unsigned char*>(w.tile.At(r.x0, r.y0)),
                                                             CAIRO_FORMAT_ARGB32, r.x1 - r.x0, r.y1 - r.y0,
                                                             static_cast<int>(w.tile.stride * 4));
    if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
      cairo_surface_destroy(s);
      return;
    }
    if (!w.cairo) {
      CairoCanvasOrError made = CairoCanvas::CreateOn(s, width_, height_);
      if (!made.canvas) {
        cairo_surface_destroy(s);
        return;
      }
      w.cairo = std::move(made.canvas);
      w.cairo->SetFontConfigFile(fontConfig_);
    }
    w.cairo->Retarget(s, r.x0, r.y0);
    cairo_surface_destroy(s);
    w.cairoOnTile = true;
  }
  CairoCanvas& cc = *w.cairo;
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
  PixelView v;
  if (!own_) return v;
  Flush();
  v.width = width_;
  v.height = height_;
  v.data = own_->data;
  v.stride = static_cast<size_t>(width_);
  v.premultiplied = true;
  return v;
}

Bitmap TiledCanvas::ToBitmap() {
  return StraightBitmap(Pixels());
}

}  // namespace zumen
