// The test card of the thin-stroke rasteriser: the same strokes (fans of
// lines at many angles, shallow lines, every dash style, circles of radius 1
// to 40 pixels as 72-chord polylines, joins, caps, dots, translucent
// colours) drawn by Cairo and by the rasteriser, written side by side as one
// PNG (Cairo | rasteriser | their difference, four times amplified), with
// the worst differences printed. With --zoom, a part of the three panels is
// written enlarged as well.
//
// Usage: test_card OUT.png [--zoom X Y W H FACTOR ZOOM.png]
#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

#include "canvas/cairo_canvas.h"
#include "canvas/tiled_canvas.h"

namespace zumen {
namespace {

constexpr int kWidth = 1280, kHeight = 1040;

// Draws the card on a canvas.
void DrawCard(Canvas& c) {
  const double pi = std::numbers::pi;
  const double widths[] = {1, 1.5, 2, 3};
  const uint32_t ink = 0xFF000000;
  c.Clear(0xFFFFFFFF);
  // Fans: lines from a centre at every 7.5 degrees, one fan per width.
  for (int w = 0; w < 4; ++w) {
    const double cx = 90 + w * 180 + 0.3 * w, cy = 95 + 0.17 * w;
    c.SetStroke(ink, widths[w], DashStyle::Solid);
    for (int i = 0; i < 48; ++i) {
      const double a = i * pi / 24;
      c.StrokeLine(cx + 12 * std::cos(a), cy + 12 * std::sin(a), cx + 80 * std::cos(a), cy + 80 * std::sin(a), 1);
    }
  }
  // Shallow lines: slopes 1/2 .. 1/64, both ways, at sub-pixel offsets.
  for (int w = 0; w < 4; ++w) {
    c.SetStroke(0xFF203080, widths[w], DashStyle::Solid);
    for (int i = 0; i < 7; ++i) {
      const double slope = 1.0 / (2 << i), x = 740 + w * 130 + i * 0.13, y = 20 + i * 22 + w * 0.25;
      c.StrokeLine(x, y, x + 120, y + 120 * slope, 1);
      c.StrokeLine(x + i * 17.3, 180 + w * 0.2, x + i * 17.3 + 100 * slope, 180 + w * 0.2 + 100, 1);
    }
  }
  // Dashes: every style, every width, horizontal, diagonal and round a circle.
  const DashStyle styles[] = {DashStyle::Dash, DashStyle::Dot, DashStyle::DashDot, DashStyle::DashDotDot};
  for (int s = 0; s < 4; ++s) {
    for (int w = 0; w < 4; ++w) {
      c.SetStroke(0xFF800000, widths[w], styles[s]);
      const double y = 300.4 + s * 48 + w * 11;
      c.StrokeLine(20.5, y, 330.25, y, 1);
      c.StrokeLine(350 + w * 30, 300 + s * 48 * 0 + 0.3 * s, 500 + w * 30 + s * 9, 480 + s * 3, 1);
      std::vector<FPoint> ring;
      const double cx = 700 + s * 150, cy = 330 + w * 0, r = 18 + w * 12;
      for (int k = 0; k <= 72; ++k) {
        ring.push_back({static_cast<float>(cx + r * std::cos(k * pi / 36)),
                        static_cast<float>(cy + w * 0.31 + r * std::sin(k * pi / 36))});
      }
      c.StrokePolyline(ring, 1);
    }
    c.SetStroke(0xFF006000, 1.5, styles[s]);
    c.StrokeRect(680 + s * 150.3, 400.5, 760 + s * 150.3, 470.5, 1);
  }
  // Circles of radius 1 to 40 pixels as the renderer draws them: 73 points,
  // the last on the first.
  for (int w = 0; w < 4; ++w) {
    double x = 20;
    c.SetStroke(0xFF000060, widths[w], DashStyle::Solid);
    for (int r = 1; r <= 40; r += (r < 8 ? 1 : r < 16 ? 2 : 6)) {
      std::vector<FPoint> ring;
      const double cx = x + r, cy = 560 + w * 90 + 0.37 * r;
      for (int k = 0; k <= 72; ++k) {
        const double a = k * (2 * pi / 72);
        ring.push_back({static_cast<float>(cx + r * std::cos(a)), static_cast<float>(cy + r * std::sin(a))});
      }
      c.StrokePolyline(ring, 1);
      x += 2 * r + 8;
    }
  }
  // Caps: short lines and dots, every width.
  for (int w = 0; w < 4; ++w) {
    c.SetStroke(ink, widths[w], DashStyle::Solid);
    const double lengths[] = {0, 0.25, 0.5, 1, 2, 3, 5};
    for (int i = 0; i < 7; ++i) {
      const double x = 720 + i * 22 + 0.21 * w, y = 520 + w * 22 + 0.4 * i;
      c.StrokeLine(x, y, x + lengths[i] * 0.8, y + lengths[i] * 0.6, 1);
    }
  }
  // Joins: zigzags of every angle, rectangles, a star that crosses itself.
  for (int w = 0; w < 4; ++w) {
    c.SetStroke(0xFF004040, widths[w], DashStyle::Solid);
    for (int i = 0; i < 6; ++i) {
      const double half = (10 + i * 30) * pi / 360, x = 900 + i * 60 + w * 0.25, y = 630 + w * 45;
      std::vector<FPoint> zig;
      for (int k = 0; k < 4; ++k) {
        zig.push_back({static_cast<float>(x + k * 30 * std::sin(half) / 2), static_cast<float>(y + (k % 2 ? 30 : 0) * std::cos(half))});
      }
      c.StrokePolyline(zig, 1);
    }
    c.StrokeRect(1090 + w * 0.3, 520 + w * 25, 1190 + w * 4, 535 + w * 25.5, 1);
  }
  c.SetStroke(0xFF600060, 1.5, DashStyle::Solid);
  std::vector<FPoint> star;
  for (int k = 0; k <= 5; ++k) {
    const double a = k * 4 * pi / 5 - pi / 2;
    star.push_back({static_cast<float>(1000 + 60 * std::cos(a)), static_cast<float>(900 + 60 * std::sin(a))});
  }
  c.StrokePolyline(star, 1);
  // Translucency: colours with alpha, and opacity, over each other.
  for (int i = 0; i < 6; ++i) {
    c.SetStroke(i % 2 ? 0x80C00000 : 0xFF0040C0, widths[i % 4], DashStyle::Solid);
    c.StrokeLine(760 + i * 9, 860, 900 - i * 7, 1000, i % 3 ? 0.6 : 1.0);
    c.StrokeLine(740, 880 + i * 17.2, 900, 900 + i * 15, 0.45);
  }
}

struct Picture {
  std::vector<uint32_t> px;  // premultiplied, kWidth x kHeight
};

Picture Copy(const PixelView& v) {
  Picture p;
  p.px.resize(static_cast<size_t>(kWidth) * kHeight);
  for (int y = 0; y < kHeight; ++y) std::copy(v.row(y), v.row(y) + kWidth, p.px.begin() + static_cast<ptrdiff_t>(y) * kWidth);
  return p;
}

int Diff(uint32_t a, uint32_t b) {
  int m = 0;
  for (int s = 0; s < 32; s += 8) m = std::max(m, std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)));
  return m;
}

// The three panels side by side.
void WritePanels(const Picture& a, const Picture& b, int x0, int y0, int w, int h, int factor, const std::string& out) {
  cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 3 * w * factor + 2 * 8, h * factor);
  cairo_surface_flush(s);
  auto* data = reinterpret_cast<uint32_t*>(cairo_image_surface_get_data(s));
  const int stride = cairo_image_surface_get_stride(s) / 4;
  for (int y = 0; y < h * factor; ++y) {
    for (int x = 0; x < cairo_image_surface_get_width(s); ++x) data[y * stride + x] = 0xFF808080;
    for (int panel = 0; panel < 3; ++panel) {
      for (int x = 0; x < w * factor; ++x) {
        const size_t i = static_cast<size_t>(y0 + y / factor) * kWidth + static_cast<size_t>(x0 + x / factor);
        uint32_t p = panel == 0 ? a.px[i] : b.px[i];
        if (panel == 2) {
          const int d = std::min(255, 4 * Diff(a.px[i], b.px[i]));
          p = 0xFF000000u | static_cast<uint32_t>(255 - d) << 16 | static_cast<uint32_t>(255 - d) << 8 | 255u;
          if (d == 0) p = 0xFFFFFFFF;
        }
        data[y * stride + panel * (w * factor + 8) + x] = p;
      }
    }
  }
  cairo_surface_mark_dirty(s);
  cairo_surface_write_to_png(s, out.c_str());
  cairo_surface_destroy(s);
}

}  // namespace
}  // namespace zumen

int main(int argc, char** argv) {
  using namespace zumen;
  if (argc < 2 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: %s OUT.png [--zoom X Y W H FACTOR ZOOM.png]\n", argv[0]);
    return 2;
  }
  CairoCanvasOrError cairo = CairoCanvas::Create(kWidth, kHeight);
  TiledCanvasOrError tiled = TiledCanvas::Create(kWidth, kHeight, 1, StrokeRasteriser::Zumen);
  if (!cairo.canvas || !tiled.canvas) {
    std::fprintf(stderr, "cannot make the canvases\n");
    return 1;
  }
  DrawCard(*cairo.canvas);
  DrawCard(*tiled.canvas);
  const Picture a = Copy(cairo.canvas->Pixels()), b = Copy(tiled.canvas->Pixels());
  int worst = 0, wx = 0, wy = 0;
  long over16 = 0, over32 = 0, differ = 0;
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) {
      const int d = Diff(a.px[static_cast<size_t>(y) * kWidth + x], b.px[static_cast<size_t>(y) * kWidth + x]);
      differ += d > 0;
      over16 += d > 16;
      over32 += d > 32;
      if (d > 32 && std::getenv("TEST_CARD_LIST")) std::printf("  %d at (%d, %d)\n", d, x, y);
      if (d > worst) {
        worst = d;
        wx = x;
        wy = y;
      }
    }
  }
  std::printf("pixels differing: %ld, by more than 16: %ld, by more than 32: %ld; worst %d at (%d, %d)\n", differ,
              over16, over32, worst, wx, wy);
  WritePanels(a, b, 0, 0, kWidth, kHeight, 1, argv[1]);
  if (argc >= 9 && std::string(argv[2]) == "--zoom") {
    const int x = std::atoi(argv[3]), y = std::atoi(argv[4]), w = std::atoi(argv[5]), h = std::atoi(argv[6]);
    const int f = std::atoi(argv[7]);
    if (x >= 0 && y >= 0 && w > 0 && h > 0 && x + w <= kWidth && y + h <= kHeight && f > 0 && f <= 32)
      WritePanels(a, b, x, y, w, h, f, argv[8]);
  }
  return 0;
}
