#include "canvas/recording_canvas.h"

namespace zumen {

size_t RecordingCanvas::DrawCount() const {
  size_t n = 0;
  for (const CanvasCall& c : calls_) n += std::holds_alternative<RecScene>(c) ? 0 : 1;
  return n;
}

std::vector<RecSegment> RecordingCanvas::Segments() const {
  std::vector<RecSegment> out;
  for (const CanvasCall& c : calls_) {
    if (const auto* l = std::get_if<RecLine>(&c)) {
      out.push_back({l->x1, l->y1, l->x2, l->y2, l->st.strokeColor, l->st.strokeWidth});
    } else if (const auto* p = std::get_if<RecPolyline>(&c)) {
      for (size_t i = 1; i < p->pts.size(); ++i)
        out.push_back({p->pts[i - 1].X, p->pts[i - 1].Y, p->pts[i].X, p->pts[i].Y, p->st.strokeColor,
                       p->st.strokeWidth});
    } else if (const auto* r = std::get_if<RecRect>(&c)) {
      const uint32_t col = r->st.strokeColor;
      const double w = r->st.strokeWidth;
      out.push_back({r->left, r->top, r->right, r->top, col, w});
      out.push_back({r->right, r->top, r->right, r->bottom, col, w});
      out.push_back({r->right, r->bottom, r->left, r->bottom, col, w});
      out.push_back({r->left, r->bottom, r->left, r->top, col, w});
    }
  }
  return out;
}

void RecordingCanvas::SetStroke(uint32_t argb, double widthPx, DashStyle dash) {
  st_.strokeColor = argb;
  st_.strokeWidth = widthPx;
  st_.dash = dash;
}

void RecordingCanvas::SetFillSolid(uint32_t argb) {
  st_.fillKind = FillKind::Solid;
  st_.fillColor = argb;
  st_.gradStops.clear();
}

void RecordingCanvas::SetFillBitmap(const Bitmap& tile) {
  st_.fillKind = FillKind::Bitmap;
  st_.tileWidth = tile.width;
  st_.tileHeight = tile.height;
}

void RecordingCanvas::SetFillLinearGradient(double x0, double y0, double x1, double y1,
                                            const std::vector<GradientStop>& stops) {
  st_.fillKind = FillKind::LinearGradient;
  st_.gradX0 = x0;
  st_.gradY0 = y0;
  st_.gradX1 = x1;
  st_.gradY1 = y1;
  st_.gradStops = stops;
}

void RecordingCanvas::SetFillRadialGradient(double cx, double cy, const std::vector<GradientStop>& stops) {
  st_.fillKind = FillKind::RadialGradient;
  st_.gradX0 = cx;
  st_.gradY0 = cy;
  st_.gradStops = stops;
}

void RecordingCanvas::StrokeLine(double x1, double y1, double x2, double y2, double opacity) {
  calls_.emplace_back(RecLine{x1, y1, x2, y2, opacity, st_});
}

void RecordingCanvas::SetPixel(double x, double y, uint32_t argb) {
  calls_.emplace_back(RecPixel{x, y, argb, st_});
}

void RecordingCanvas::StrokeRect(double left, double top, double right, double bottom, double opacity) {
  calls_.emplace_back(RecRect{left, top, right, bottom, opacity, st_});
}

void RecordingCanvas::StrokePolyline(const std::vector<FPoint>& pts, double opacity) {
  calls_.emplace_back(RecPolyline{pts, opacity, st_});
}

void RecordingCanvas::FillPolygon(const std::vector<FPoint>& pts, double opacity) {
  calls_.emplace_back(RecPolygon{pts, opacity, st_});
}

void RecordingCanvas::FillText(double left, double top, double right, double bottom, const std::u16string& text,
                               double opacity) {
  calls_.emplace_back(RecText{left, top, right, bottom, text, opacity, st_});
}

void RecordingCanvas::DrawBitmap(const Bitmap& bmp, double sx, double sy, double sw, double sh, double left,
                                 double top, double right, double bottom, double opacity) {
  calls_.emplace_back(RecBitmap{bmp, sx, sy, sw, sh, left, top, right, bottom, opacity, st_});
}

}  // namespace zumen
