#include "canvas/cairo_canvas.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

#include "canvas/text_engine.h"
#include "raster/dash_pattern.h"
#include "raster/path_clip.h"

namespace zumen {

namespace {

void SetSourceArgb(cairo_t* cr, uint32_t argb, double opacity) {
  cairo_set_source_rgba(cr, ((argb >> 16) & 0xFF) / 255.0, ((argb >> 8) & 0xFF) / 255.0, (argb & 0xFF) / 255.0,
                        ((argb >> 24) & 0xFF) / 255.0 * opacity);
}

void AddStops(cairo_pattern_t* p, const std::vector<GradientStop>& stops, double opacity) {
  for (const GradientStop& s : stops) {
    const uint32_t c = s.argb;
    const double offset = std::isfinite(s.offset) ? std::clamp(s.offset, 0.0, 1.0) : 0.0;
    cairo_pattern_add_color_stop_rgba(p, offset, ((c >> 16) & 0xFF) / 255.0, ((c >> 8) & 0xFF) / 255.0,
                                      (c & 0xFF) / 255.0, ((c >> 24) & 0xFF) / 255.0 * opacity);
  }
}

// Opacity as a factor in [0, 1]; anything that is not a number draws nothing.
double ClampOpacity(double opacity) { return std::isfinite(opacity) ? std::clamp(opacity, 0.0, 1.0) : 0.0; }

// A premultiplied Cairo surface of the part [x0, x1) × [y0, y1) of bmp.
cairo_surface_t* SurfaceFrom(const Bitmap& bmp, int x0, int y0, int x1, int y1) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, x1 - x0, y1 - y0);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    cairo_surface_destroy(s);
    return nullptr;
  }
  cairo_surface_flush(s);
  unsigned char* data = cairo_image_surface_get_data(s);
  const size_t stride = static_cast<size_t>(cairo_image_surface_get_stride(s));
  for (int y = y0; y < y1; ++y) {
    auto* dst = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y - y0) * stride);
    const uint32_t* src = bmp.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(bmp.width);
    for (int x = x0; x < x1; ++x) *dst++ = Premultiply(src[x]);
  }
  cairo_surface_mark_dirty(s);
  return s;
}

// A point in user space given in double precision.
struct UserPoint {
  double X, Y;
};

bool SizeIsPositive(int width, int height, std::string& error) {
  if (width > 0 && height > 0) return true;
  error = "canvas size " + std::to_string(width) + " x " + std::to_string(height) + " is not positive";
  return false;
}

}  // namespace

CairoCanvasOrError CairoCanvas::Create(int width, int height) {
  CairoCanvasOrError r;
  if (!SizeIsPositive(width, height, r.error)) return r;
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
  if (cairo_surface_status(s) != CAIRO_STATUS_SUCCESS) {
    r.error = "cannot create a canvas of " + std::to_string(width) + " x " + std::to_string(height) +
              " pixels: " + cairo_status_to_string(cairo_surface_status(s));
    cairo_surface_destroy(s);
    return r;
  }
  return Made(s, width, height);
}

CairoCanvasOrError CairoCanvas::CreateOn(cairo_surface_t* surface, int width, int height) {
  CairoCanvasOrError r;
  if (!SizeIsPositive(width, height, r.error)) return r;
  if (!surface || cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
    r.error = std::string("cannot create the surface: ") +
              cairo_status_to_string(surface ? cairo_surface_status(surface) : CAIRO_STATUS_NULL_POINTER);
    return r;
  }
  return Made(cairo_surface_reference(surface), width, height);
}

CairoCanvasOrError CairoCanvas::Made(cairo_surface_t* surface, int width, int height) {
  CairoCanvasOrError r;
  r.canvas.reset(new CairoCanvas(surface, width, height));
  if (cairo_status(r.canvas->cr_) != CAIRO_STATUS_SUCCESS) {
    r.error = std::string("cannot draw on the canvas: ") + cairo_status_to_string(cairo_status(r.canvas->cr_));
    r.canvas.reset();
  }
  return r;
}

CairoCanvas::CairoCanvas(cairo_surface_t* surface, int width, int height)
    : surface_(surface), width_(width), height_(height) {
  ResetContext();
}

CairoCanvas::~CairoCanvas() {
  if (tile_) cairo_pattern_destroy(tile_);
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

void CairoCanvas::ResetContext() {
  if (cr_) cairo_destroy(cr_);
  cr_ = cairo_create(surface_);
  if (!clip_.empty()) {
    cairo_rectangle(cr_, clip_.x0, clip_.y0, clip_.x1 - clip_.x0, clip_.y1 - clip_.y0);
    cairo_clip(cr_);
  }
  cairo_set_line_cap(cr_, CAIRO_LINE_CAP_ROUND);
  cairo_set_line_join(cr_, CAIRO_LINE_JOIN_MITER);
  cairo_set_fill_rule(cr_, CAIRO_FILL_RULE_WINDING);
  SetTransform(transform_);
}

bool CairoCanvas::Ready() {
  // A Cairo context that met an error ignores every later call; start afresh
  // so that one bad figure cannot blank the rest of the drawing.
  if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) ResetContext();
  return transformUsable_ && cairo_status(cr_) == CAIRO_STATUS_SUCCESS;
}

void CairoCanvas::BeginScene() { Ready(); }

void CairoCanvas::EndScene() { cairo_surface_flush(surface_); }

void CairoCanvas::Clear(uint32_t argb) {
  Ready();
  cairo_save(cr_);
  cairo_identity_matrix(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  SetSourceArgb(cr_, argb, 1.0);
  cairo_paint(cr_);
  cairo_restore(cr_);
}

void CairoCanvas::SetStroke(uint32_t argb, double widthPx, DashStyle dash) {
  strokeColor_ = argb;
  strokeWidth_ = std::isfinite(widthPx) && widthPx > 0 ? widthPx : 1.0;
  dash_ = dash;
}

void CairoCanvas::SetFillSolid(uint32_t argb) {
  fillKind_ = FillKind::Solid;
  fillColor_ = argb;
}

void CairoCanvas::SetFillBitmap(const Bitmap& tile) {
  if (tile_) cairo_pattern_destroy(tile_);
  tile_ = nullptr;
  fillKind_ = FillKind::Bitmap;
  if (tile.empty() || tile.pixels.size() < static_cast<size_t>(tile.width) * static_cast<size_t>(tile.height)) return;
  cairo_surface_t* s = SurfaceFrom(tile, 0, 0, tile.width, tile.height);
  if (!s) return;
  tile_ = cairo_pattern_create_for_surface(s);
  cairo_surface_destroy(s);
  cairo_pattern_set_extend(tile_, CAIRO_EXTEND_REPEAT);
  cairo_pattern_set_filter(tile_, CAIRO_FILTER_NEAREST);
}

void CairoCanvas::SetFillLinearGradient(double x0, double y0, double x1, double y1,
                                        const std::vector<GradientStop>& stops) {
  fillKind_ = FillKind::LinearGradient;
  grad_[0] = x0;
  grad_[1] = y0;
  grad_[2] = x1;
  grad_[3] = y1;
  stops_ = stops;
}

void CairoCanvas::SetFillRadialGradient(double cx, double cy, const std::vector<GradientStop>& stops) {
  fillKind_ = FillKind::RadialGradient;
  grad_[0] = cx;
  grad_[1] = cy;
  stops_ = stops;
}

void CairoCanvas::SetTransform(const Matrix& m) {
  transform_ = m;
  cairo_matrix_t cm;
  cairo_matrix_init(&cm, m.m11, m.m12, m.m21, m.m22, m.dx, m.dy);
  cairo_matrix_t inverse = cm;
  const bool finite = std::isfinite(m.m11) && std::isfinite(m.m12) && std::isfinite(m.m21) &&
                      std::isfinite(m.m22) && std::isfinite(m.dx) && std::isfinite(m.dy);
  // A transform that collapses the plane to a line draws nothing; Cairo would
  // instead refuse it and stop drawing altogether.
  transformUsable_ = finite && cairo_matrix_invert(&inverse) == CAIRO_STATUS_SUCCESS;
  if (transformUsable_) cairo_set_matrix(cr_, &cm);
}

void CairoCanvas::ApplyStroke(double opacity) {
  SetSourceArgb(cr_, strokeColor_, opacity);
  cairo_set_line_width(cr_, strokeWidth_);
  double d[6];
  const int count = DashPattern(dash_, strokeWidth_, d);
  if (count == 0) {
    cairo_set_dash(cr_, nullptr, 0, 0);
    return;
  }
  cairo_set_dash(cr_, d, count, 0);
}

template <typename Point>
void CairoCanvas::PathPoints(const Point* pts, size_t n, bool closed) {
  cairo_new_path(cr_);
  if (n == 0) return;
  bool safe = true;
  for (size_t i = 0; i < n && safe; ++i) {
    double x = 0, y = 0;
    transform_.Apply(pts[i].X, pts[i].Y, x, y);
    safe = std::abs(x) < kSafeDeviceCoord && std::abs(y) < kSafeDeviceCoord;  // false for NaN too
  }
  if (safe) {
    cairo_move_to(cr_, pts[0].X, pts[0].Y);
    for (size_t i = 1; i < n; ++i) cairo_line_to(cr_, pts[i].X, pts[i].Y);
    if (closed) cairo_close_path(cr_);
    return;
  }
  std::vector<DevicePoint> dev(n);
  for (size_t i = 0; i < n; ++i) {
    transform_.Apply(pts[i].X, pts[i].Y, dev[i].x, dev[i].y);
    if (!std::isfinite(dev[i].x) || !std::isfinite(dev[i].y)) return;  // nothing sensible to draw
  }
  // Far-out points: clip in device space to a band around the surface wider
  // than the stroke, and build the path there (Cairo stores paths in device
  // space, so the user transform is back in force for the stroke width).
  const double scale = std::sqrt(transform_.m11 * transform_.m11 + transform_.m12 * transform_.m12 +
                                 transform_.m21 * transform_.m21 + transform_.m22 * transform_.m22);
  const double margin = strokeWidth_ * scale + 16;
  const double x0 = -margin, y0 = -margin, x1 = width_ + margin, y1 = height_ + margin;
  cairo_save(cr_);
  cairo_identity_matrix(cr_);
  if (closed) {
    const std::vector<DevicePoint> poly = ClipPolygon(dev, x0, y0, x1, y1);
    if (!poly.empty()) {
      cairo_move_to(cr_, poly[0].x, poly[0].y);
      for (size_t i = 1; i < poly.size(); ++i) cairo_line_to(cr_, poly[i].x, poly[i].y);
      cairo_close_path(cr_);
    }
  } else {
    for (const std::vector<DevicePoint>& piece : ClipOpenPath(dev, x0, y0, x1, y1)) {
      cairo_move_to(cr_, piece[0].x, piece[0].y);
      for (size_t i = 1; i < piece.size(); ++i) cairo_line_to(cr_, piece[i].x, piece[i].y);
    }
  }
  // Back to the user transform; the path, already in device space, stays.
  cairo_restore(cr_);
}

void CairoCanvas::Stroke(double opacity) {
  ApplyStroke(opacity);
  cairo_stroke(cr_);
}

void CairoCanvas::StrokeLine(double x1, double y1, double x2, double y2, double opacity) {
  opacity = ClampOpacity(opacity);
  if (!Ready() || opacity <= 0) return;
  const UserPoint p[2] = {{x1, y1}, {x2, y2}};
  PathPoints(p, 2, false);
  Stroke(opacity);
}

void CairoCanvas::SetPixel(double x, double y, uint32_t argb) {
  if (!Ready()) return;
  // The pixel that holds the centre of a one-pixel stroke from the point to
  // one pixel right of it.
  double dx = 0, dy = 0;
  transform_.Apply(x, y, dx, dy);
  if (!std::isfinite(dx) || !std::isfinite(dy)) return;
  const double px = std::floor(dx + 0.5), py = std::floor(dy);
  if (px < 0 || py < 0 || px >= width_ || py >= height_) return;
  cairo_save(cr_);
  cairo_identity_matrix(cr_);
  cairo_set_antialias(cr_, CAIRO_ANTIALIAS_NONE);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, px, py, 1, 1);
  SetSourceArgb(cr_, argb, 1.0);
  cairo_fill(cr_);
  cairo_restore(cr_);
}

void CairoCanvas::StrokeRect(double left, double top, double right, double bottom, double opacity) {
  opacity = ClampOpacity(opacity);
  if (!Ready() || opacity <= 0) return;
  const UserPoint p[4] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}};
  PathPoints(p, 4, true);
  Stroke(opacity);
}

void CairoCanvas::StrokePolyline(const std::vector<FPoint>& pts, double opacity) {
  opacity = ClampOpacity(opacity);
  if (pts.size() < 2 || !Ready() || opacity <= 0) return;
  PathPoints(pts.data(), pts.size(), false);
  Stroke(opacity);
}

void CairoCanvas::FillPolygon(const std::vector<FPoint>& pts, double opacity) {
  opacity = ClampOpacity(opacity);
  if (pts.size() < 3 || !Ready() || opacity <= 0) return;
  PathPoints(pts.data(), pts.size(), true);

  if (fillKind_ == FillKind::Solid || (fillKind_ == FillKind::Bitmap && !tile_)) {
    SetSourceArgb(cr_, fillColor_, opacity);
    cairo_fill(cr_);
    return;
  }
  if (fillKind_ == FillKind::Bitmap) {
    cairo_set_source(cr_, tile_);
    if (opacity >= 1) {
      cairo_fill(cr_);
    } else {
      cairo_save(cr_);
      cairo_clip(cr_);
      cairo_paint_with_alpha(cr_, opacity);
      cairo_restore(cr_);
    }
    return;
  }
  // Gradient coordinates are fractions of the polygon's bounding box.
  float l = pts[0].X, r = pts[0].X, t = pts[0].Y, b = pts[0].Y;
  for (const FPoint& p : pts) {
    l = std::min(l, p.X);
    r = std::max(r, p.X);
    t = std::min(t, p.Y);
    b = std::max(b, p.Y);
  }
  const double w = static_cast<double>(r) - l, h = static_cast<double>(b) - t;
  cairo_pattern_t* pattern = nullptr;
  if (fillKind_ == FillKind::LinearGradient) {
    pattern = cairo_pattern_create_linear(l + grad_[0] * w, t + grad_[1] * h, l + grad_[2] * w, t + grad_[3] * h);
  } else {
    // An ellipse with half the box's width and height as radii: a unit circle
    // in pattern space, stretched by the pattern matrix.
    pattern = cairo_pattern_create_radial(0, 0, 0, 0, 0, 1);
    cairo_matrix_t m;
    cairo_matrix_init_scale(&m, 1 / std::max(w / 2, 1e-6), 1 / std::max(h / 2, 1e-6));
    cairo_matrix_translate(&m, -(l + grad_[0] * w), -(t + grad_[1] * h));
    cairo_pattern_set_matrix(pattern, &m);
  }
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
  AddStops(pattern, stops_, opacity);
  cairo_set_source(cr_, pattern);
  cairo_fill(cr_);
  cairo_pattern_destroy(pattern);
}

void CairoCanvas::SetDiagnostics(DiagnosticSink* sink) {
  diagnostics_ = sink;
  if (text_) text_->SetDiagnostics(sink);
}

void CairoCanvas::FillText(double left, double top, double right, double bottom, const std::u16string& text,
                           double opacity) {
  (void)right;  // no wrapping and no clipping: the text runs past the box as it needs
  (void)bottom;
  opacity = ClampOpacity(opacity);
  if (text.empty() || !Ready() || opacity <= 0 || !std::isfinite(left) || !std::isfinite(top)) return;
  if (!text_) {
    text_ = std::make_unique<TextEngine>(fontConfig_);
    text_->SetDiagnostics(diagnostics_);
  }
  text_->Draw(cr_, font_, left, top, text, fillColor_, opacity);
}

void CairoCanvas::DrawBitmap(const Bitmap& bmp, double sx, double sy, double sw, double sh, double left,
                             double top, double right, double bottom, double opacity) {
  opacity = ClampOpacity(opacity);
  if (bmp.empty() || bmp.pixels.size() < static_cast<size_t>(bmp.width) * static_cast<size_t>(bmp.height)) return;
  if (!Ready() || opacity <= 0) return;
  for (double v : {sx, sy, sw, sh, left, top, right, bottom}) {
    if (!std::isfinite(v)) return;
  }
  if (sw == 0 || sh == 0 || right == left || bottom == top) return;
  // A negative source extent mirrors the image.
  if (sw < 0) {
    sx += sw;
    sw = -sw;
    std::swap(left, right);
  }
  if (sh < 0) {
    sy += sh;
    sh = -sh;
    std::swap(top, bottom);
  }
  // Only the part of the source rectangle that lies on the image is drawn.
  const double cx0 = std::max(sx, 0.0), cx1 = std::min(sx + sw, static_cast<double>(bmp.width));
  const double cy0 = std::max(sy, 0.0), cy1 = std::min(sy + sh, static_cast<double>(bmp.height));
  if (cx0 >= cx1 || cy0 >= cy1) return;
  const double kx = (right - left) / sw, ky = (bottom - top) / sh;
  const double dl = left + (cx0 - sx) * kx, dr = left + (cx1 - sx) * kx;
  const double dt = top + (cy0 - sy) * ky, db = top + (cy1 - sy) * ky;

  const int ix0 = static_cast<int>(std::floor(cx0)), ix1 = static_cast<int>(std::ceil(cx1));
  const int iy0 = static_cast<int>(std::floor(cy0)), iy1 = static_cast<int>(std::ceil(cy1));
  cairo_surface_t* s = SurfaceFrom(bmp, ix0, iy0, ix1, iy1);
  if (!s) return;
  cairo_pattern_t* pattern = cairo_pattern_create_for_surface(s);
  cairo_surface_destroy(s);
  // User space to the part's pixels: the destination box onto the source box.
  cairo_matrix_t m;
  cairo_matrix_init(&m, 1 / kx, 0, 0, 1 / ky, (sx - ix0) - left / kx, (sy - iy0) - top / ky);
  cairo_pattern_set_matrix(pattern, &m);
  cairo_pattern_set_filter(pattern, CAIRO_FILTER_GOOD);
  cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);  // crisp edges: no fade into transparency
  cairo_save(cr_);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, std::min(dl, dr), std::min(dt, db), std::abs(dr - dl), std::abs(db - dt));
  cairo_clip(cr_);
  cairo_set_source(cr_, pattern);
  cairo_paint_with_alpha(cr_, opacity);
  cairo_restore(cr_);
  cairo_pattern_destroy(pattern);
}

PixelView CairoCanvas::Pixels() const {
  PixelView v;
  if (cairo_surface_get_type(surface_) != CAIRO_SURFACE_TYPE_IMAGE) return v;
  cairo_surface_flush(surface_);
  v.width = width_;
  v.height = height_;
  v.data = reinterpret_cast<const uint32_t*>(cairo_image_surface_get_data(surface_));
  v.stride = static_cast<size_t>(cairo_image_surface_get_stride(surface_)) / 4;
  v.premultiplied = true;
  return v;
}

void CairoCanvas::Retarget(cairo_surface_t* surface, int x, int y) {
  cairo_surface_reference(surface);
  cairo_surface_destroy(surface_);
  surface_ = surface;
  cairo_surface_set_device_offset(surface_, -x, -y);
  // A context takes its surface and device offset when it is made.
  ResetContext();
}

void CairoCanvas::ClipRows(int y0, int y1) {
  if (y0 < y1) {
    ClipRect({0, y0, width_, y1});
  } else {
    ClipRect({});
  }
}

void CairoCanvas::ClipRect(const PixelRect& r) {
  clip_ = r;
  if (cairo_status(cr_) != CAIRO_STATUS_SUCCESS) {
    ResetContext();
    return;
  }
  // A new clip on the context as it is: making a new context for every
  // tile would cost more than the tile's few figures.
  cairo_identity_matrix(cr_);
  cairo_reset_clip(cr_);
  if (!clip_.empty()) {
    cairo_new_path(cr_);
    cairo_rectangle(cr_, clip_.x0, clip_.y0, clip_.x1 - clip_.x0, clip_.y1 - clip_.y0);
    cairo_clip(cr_);
  }
  SetTransform(transform_);
}

Bitmap CairoCanvas::ToBitmap() const {
  return StraightBitmap(Pixels());
}

}  // namespace zumen
