// The thin-stroke rasteriser: exact ink, one stroke per polyline, Cairo's
// look for caps, dashes and colours, odd coordinates, and pictures that do not
// depend on the clip they are drawn in.
#include "raster/thin_stroke.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "canvas/cairo_canvas.h"
#include "raster/composite.h"

namespace zumen {
namespace {

constexpr double kPi = std::numbers::pi;
constexpr uint32_t kWhite = 0xFFFFFFFF;

struct Picture {
  int w = 0, h = 0;
  std::vector<uint32_t> px;
  uint32_t at(int x, int y) const { return px[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)]; }
};

Picture Blank(int w, int h, uint32_t fill) { return {w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h, fill)}; }

// A stroke as the canvas gets it: a line (two points), a rectangle (two
// corners) or a polyline.
struct Call {
  enum Kind { Line, Rect, Polyline } kind = Line;
  std::vector<FPoint> pts;
  StrokePen pen;
  double opacity = 1;
  Matrix m;
};

Call LineCall(double x1, double y1, double x2, double y2, double width, DashStyle dash = DashStyle::Solid,
              uint32_t argb = 0xFF000000) {
  Call c;
  c.pts = {{static_cast<float>(x1), static_cast<float>(y1)}, {static_cast<float>(x2), static_cast<float>(y2)}};
  c.pen = {argb, width, dash};
  return c;
}

Call PolyCall(std::vector<FPoint> pts, double width, DashStyle dash = DashStyle::Solid, uint32_t argb = 0xFF000000) {
  Call c;
  c.kind = Call::Polyline;
  c.pts = std::move(pts);
  c.pen = {argb, width, dash};
  return c;
}

// The renderer's circle: 73 points, the last on the first.
std::vector<FPoint> Ring(double cx, double cy, double r) {
  std::vector<FPoint> pts;
  for (int k = 0; k <= 72; ++k) {
    const double a = k * (2 * kPi / 72);
    pts.push_back({static_cast<float>(cx + r * std::cos(a)), static_cast<float>(cy + r * std::sin(a))});
  }
  return pts;
}

void DrawThin(Picture& p, const std::vector<Call>& calls, PixelRect clip) {
  PixelTarget t{p.px.data(), p.w, p.w, p.h, clip};
  ThinStroker s;
  for (const Call& c : calls) {
    if (c.kind == Call::Line) {
      s.StrokeLine(t, c.m, c.pen, c.opacity, c.pts[0].X, c.pts[0].Y, c.pts[1].X, c.pts[1].Y);
    } else if (c.kind == Call::Rect) {
      s.StrokeRect(t, c.m, c.pen, c.opacity, c.pts[0].X, c.pts[0].Y, c.pts[1].X, c.pts[1].Y);
    } else {
      s.StrokePolyline(t, c.m, c.pen, c.opacity, c.pts.data(), c.pts.size());
    }
  }
}

// background: straight alpha, as the canvas's Clear takes it.
Picture Thin(int w, int h, const std::vector<Call>& calls, uint32_t background = kWhite) {
  Picture p = Blank(w, h, SolidPixel(background, 1));
  DrawThin(p, calls, {0, 0, w, h});
  return p;
}

Picture Cairo(int w, int h, const std::vector<Call>& calls, uint32_t background = kWhite) {
  CairoCanvasOrError made = CairoCanvas::Create(w, h);
  EXPECT_TRUE(made.canvas) << made.error;
  CairoCanvas& c = *made.canvas;
  c.Clear(background);
  for (const Call& call : calls) {
    c.SetStroke(call.pen.argb, call.pen.width, call.pen.dash);
    c.SetTransform(call.m);
    if (call.kind == Call::Line) {
      c.StrokeLine(call.pts[0].X, call.pts[0].Y, call.pts[1].X, call.pts[1].Y, call.opacity);
    } else if (call.kind == Call::Rect) {
      c.StrokeRect(call.pts[0].X, call.pts[0].Y, call.pts[1].X, call.pts[1].Y, call.opacity);
    } else {
      c.StrokePolyline(call.pts, call.opacity);
    }
  }
  const PixelView v = c.Pixels();
  Picture p = Blank(w, h, 0);
  for (int y = 0; y < h; ++y) std::copy(v.row(y), v.row(y) + w, p.px.begin() + static_cast<ptrdiff_t>(y) * w);
  return p;
}

struct Difference {
  int worst = 0;   // largest difference of a channel
  int over32 = 0;  // pixels with a channel more than 32 off
  int x = 0, y = 0;  // where the worst is
};

std::ostream& operator<<(std::ostream& os, const Difference& d) {
  return os << d.over32 << " pixels more than 32 off, the worst " << d.worst << " at (" << d.x << ", " << d.y << ")";
}

Difference Compare(const Picture& a, const Picture& b) {
  Difference d;
  for (size_t i = 0; i < a.px.size(); ++i) {
    int m = 0;
    for (int s = 0; s < 32; s += 8)
      m = std::max(m, std::abs(static_cast<int>((a.px[i] >> s) & 0xFF) - static_cast<int>((b.px[i] >> s) & 0xFF)));
    if (m > d.worst) {
      d.worst = m;
      d.x = static_cast<int>(i % static_cast<size_t>(a.w));
      d.y = static_cast<int>(i / static_cast<size_t>(a.w));
    }
    d.over32 += m > 32;
  }
  return d;
}

// The coverage drawn on a transparent picture, summed: a stroke's ink in
// square pixels.
double Ink(const Picture& p) {
  double ink = 0;
  for (uint32_t v : p.px) ink += (v >> 24) / 255.0;
  return ink;
}

double CapArea(double width) { return kPi * width * width / 4; }

TEST(ThinStroke, LineInkIsItsArea) {
  const double widths[] = {1, 1.5, 2, 3};
  const FPoint offsets[] = {{0, 0}, {0.25F, 0.5F}, {0.5F, 0.125F}, {0.3F, 0.7F}};
  const double length = 30;
  for (double w : widths) {
    for (int deg = 0; deg <= 90; deg += 5) {
      for (FPoint o : offsets) {
        const double a = deg * kPi / 180, cx = 32 + o.X, cy = 32 + o.Y;
        const double dx = length / 2 * std::cos(a), dy = length / 2 * std::sin(a);
        const Picture p = Thin(64, 64, {LineCall(cx - dx, cy - dy, cx + dx, cy + dy, w)}, 0);
        const double area = w * length + CapArea(w);
        EXPECT_NEAR(Ink(p), area, 0.01 * area) << "width " << w << ", " << deg << " degrees, at " << cx << ", " << cy;
      }
    }
  }
}

TEST(ThinStroke, PolylineIsOneStrokeWithoutSeamOrDoubleInk) {
  // Mitred joins of every turn up to the mitre limit: the stroke is the
  // segments' length times the width plus the two caps, not a bit more (ink
  // twice over a join) or less (a seam).
  const std::vector<FPoint> zigzag = {{20, 20}, {60.3F, 30}, {80, 70.5F}, {50.2F, 90}, {90, 112}, {30, 118.7F}};
  double length = 0;
  for (size_t i = 1; i < zigzag.size(); ++i)
    length += std::hypot(zigzag[i].X - zigzag[i - 1].X, zigzag[i].Y - zigzag[i - 1].Y);
  for (double w : {1.0, 2.0, 3.0}) {
    const double area = w * length + CapArea(w);
    EXPECT_NEAR(Ink(Thin(140, 140, {PolyCall(zigzag, w)}, 0)), area, 0.01 * area) << "width " << w;
  }
  // A closed ring: the width times the 72-gon's perimeter.
  for (double r : {5.0, 20.0}) {
    const double perimeter = 144 * r * std::sin(kPi / 72);
    EXPECT_NEAR(Ink(Thin(64, 64, {PolyCall(Ring(32.3, 31.7, r), 1.5)}, 0)), 1.5 * perimeter, 0.01 * 1.5 * perimeter)
        << "radius " << r;
  }
  // A line cut into collinear pieces is the line.
  const Picture whole = Thin(100, 60, {LineCall(10.2, 10.7, 90.6, 50.1, 2)});
  std::vector<FPoint> pieces;
  for (double t : {0.0, 0.137, 0.5, 0.61, 1.0})
    pieces.push_back({static_cast<float>(10.2 + t * 80.4), static_cast<float>(10.7 + t * 39.4)});
  EXPECT_LE(Compare(whole, Thin(100, 60, {PolyCall(pieces, 2)})).worst, 1);
  // A translucent stroke is composited once: no pixel gets more than the
  // colour's own alpha, even where the path crosses itself.
  std::vector<FPoint> star;
  for (int k = 0; k <= 5; ++k)
    star.push_back({static_cast<float>(60 + 50 * std::cos(k * 4 * kPi / 5)), static_cast<float>(60 + 50 * std::sin(k * 4 * kPi / 5))});
  for (const std::vector<FPoint>& path : {zigzag, star, Ring(60, 60, 30)}) {
    const Picture p = Thin(140, 140, {PolyCall(path, 3, DashStyle::Solid, 0x80000000)}, 0);
    uint32_t most = 0;
    for (uint32_t v : p.px) most = std::max(most, v >> 24);
    EXPECT_EQ(most, 0x80u);
  }
}

TEST(ThinStroke, CapsDotsAndDashesLookLikeCairos) {
  std::vector<Call> calls;
  const double widths[] = {1, 1.5, 2, 3};
  for (int w = 0; w < 4; ++w) {
    for (int i = 0; i < 7; ++i) {  // caps: lines from no length to 5 pixels
      const double len = i * 0.8, x = 10 + i * 14 + 0.21 * w, y = 10 + w * 14 + 0.37 * i;
      calls.push_back(LineCall(x, y, x + len * 0.8, y + len * 0.6, widths[w]));
    }
  }
  const DashStyle styles[] = {DashStyle::Dash, DashStyle::Dot, DashStyle::DashDot, DashStyle::DashDotDot};
  for (int s = 0; s < 4; ++s) {
    for (int w = 0; w < 4; ++w) {
      const double y = 75.3 + s * 24 + w * 5.5;
      calls.push_back(LineCall(5.5, y, 150.25, y + 0.4 * w, widths[w], styles[s]));
      calls.push_back(LineCall(160 + 10 * w, 70 + 3.1 * s, 200 + 10 * w + 5 * s, 170, widths[w], styles[s]));
      calls.push_back(PolyCall(Ring(250 + 0.3 * w, 110 + 0.2 * s, 12 + 8 * w + 2 * s), widths[w], styles[s], 0xFF802000));
    }
  }
  const Picture cairo = Cairo(300, 180, calls), thin = Thin(300, 180, calls);
  const Difference d = Compare(cairo, thin);
  EXPECT_EQ(d.over32, 0) << d;
}

TEST(ThinStroke, OverlappingPiecesLookLikeCairos) {
  // Strokes whose outline is not simple: a path that crosses itself, one
  // that turns straight back, circles smaller than the stroke, segments
  // shorter than their joins, dashes that begin on a corner.
  std::vector<Call> calls;
  std::vector<FPoint> star, hairpin;
  for (int k = 0; k <= 5; ++k)
    star.push_back({static_cast<float>(60 + 45 * std::cos(k * 4 * kPi / 5)), static_cast<float>(55 + 45 * std::sin(k * 4 * kPi / 5))});
  calls.push_back(PolyCall(star, 1.5));
  for (int k = 0; k < 5; ++k) hairpin.push_back({static_cast<float>(120 + k * 1.3), static_cast<float>(k % 2 ? 90 : 20)});
  calls.push_back(PolyCall(hairpin, 3));
  calls.push_back(PolyCall({{140, 20}, {170, 20}, {140.5F, 20.4F}, {170, 21}}, 2));
  for (int r = 1; r <= 3; ++r) calls.push_back(PolyCall(Ring(190 + 12 * r, 30, 0.5 * r), 3));
  calls.push_back(PolyCall({{180, 60}, {181, 60.5F}, {180.5F, 61.7F}, {182, 62}, {181, 64}, {200, 80}}, 3));
  Call rect;
  rect.kind = Call::Rect;
  rect.pts = {{140, 100}, {200, 148}};  // 60 + 48: dashes of 3 + 3 begin on every corner
  rect.pen = {0xFF006000, 1.5, DashStyle::Dash};
  calls.push_back(rect);
  const Difference d = Compare(Cairo(230, 160, calls), Thin(230, 160, calls));
  EXPECT_EQ(d.over32, 0) << d;
}

TEST(ThinStroke, FullyCoveredPixelsGetCairosColour) {
  const uint32_t colours[] = {0xFF000000, 0xFF3A7BC8, 0xC0FF8000, 0x80123456, 0x01FFFFFF, 0xFFFFFFFF};
  const double opacities[] = {1, 0.75, 0.3333, 0.01};
  for (uint32_t background : {kWhite, 0xFF204060u, 0x80402010u}) {
    for (uint32_t argb : colours) {
      for (double opacity : opacities) {
        Call c = LineCall(2, 5.5, 30, 5.5, 3, DashStyle::Solid, argb);
        c.opacity = opacity;
        const Picture cairo = Cairo(32, 12, {c}, background), thin = Thin(32, 12, {c}, background);
        // Rows 4 to 6 are covered whole between the caps.
        EXPECT_EQ(thin.at(15, 5), cairo.at(15, 5)) << std::hex << argb << " at " << opacity << " over " << background;
        EXPECT_EQ(Compare(cairo, thin).over32, 0) << std::hex << argb << " at " << opacity;
      }
    }
  }
}

TEST(ThinStroke, StrokeOfNoLengthIsADot) {
  Call rect;
  rect.kind = Call::Rect;
  rect.pts = {{40.5F, 10.25F}, {40.5F, 10.25F}};
  rect.pen = {0xFF000000, 2, DashStyle::Solid};
  const std::vector<Call> dots = {
      LineCall(10.3, 10.6, 10.3, 10.6, 1), LineCall(20, 10, 20, 10, 3), LineCall(30.5, 10.5, 30.5, 10.5, 2, DashStyle::Dash),
      PolyCall({{50.2F, 10.2F}, {50.2F, 10.2F}, {50.2F, 10.2F}}, 1.5), rect};
  for (const Call& c : dots) {
    const Picture thin = Thin(60, 20, {c});
    EXPECT_GT(Ink(Thin(60, 20, {c}, 0)), 0.5 * CapArea(c.pen.width));
    EXPECT_EQ(Compare(Cairo(60, 20, {c}), thin).over32, 0) << "at " << c.pts[0].X;
  }
}

TEST(ThinStroke, FarAndBrokenCoordinates) {
  const double nan = std::nan(""), inf = INFINITY;
  struct Case {
    const char* what;
    Call call;
    bool draws;
  };
  Call far;
  far.kind = Call::Rect;
  far.pts = {{-1e8F, -1e8F}, {1e8F, 30.5F}};
  far.pen = {0xFF000000, 2, DashStyle::Dash};
  const Case cases[] = {
      {"across, ends a billion pixels out", LineCall(-1e9, 20.5, 1e9, 20.5, 1), true},
      {"slanting, one end far out", LineCall(10, 5, 1e12, 3e11, 2), true},
      {"dashed, from far out", LineCall(-3e7, 10.5, 50, 10.5, 1, DashStyle::DashDot), true},
      {"along the top edge", LineCall(-1e7, 0, 1e7, 0, 2), true},
      {"along the left edge", LineCall(0, -1e7, 0, 1e7, 1.5), true},
      {"along the bottom edge", LineCall(-1e7, 40, 1e7, 40, 2), true},
      {"along the right edge, dashed", LineCall(64, -1e7, 64, 1e7, 1, DashStyle::Dash), true},
      {"just above the top edge", LineCall(0, -1.6, 64, -1.6, 3), false},
      {"just beyond the right edge", LineCall(65.6, -5, 65.6, 45, 3), false},
      {"a rectangle reaching far out", far, true},
      {"far outside", LineCall(-5000, -5000, -4000, -4000, 3), false},
      {"not a number", LineCall(10, 10, nan, 20, 1), false},
      {"infinite", LineCall(10, 10, 20, inf, 1), false},
      {"infinite polyline point", PolyCall({{10, 10}, {20, 20}, {static_cast<float>(inf), 5}}, 1), false},
  };
  for (const Case& c : cases) {
    const Picture thin = Thin(64, 40, {c.call});
    EXPECT_EQ(Compare(Cairo(64, 40, {c.call}), thin).over32, 0) << c.what;
    EXPECT_EQ(Ink(Thin(64, 40, {c.call}, 0)) > 0, c.draws) << c.what;
  }
}

TEST(ThinStroke, ScaledAndMovedLikeCairo) {
  std::vector<Call> calls = {LineCall(2, 3, 30, 17, 0.8), LineCall(5, 20, 35, 21, 1.2, DashStyle::DashDot),
                             PolyCall(Ring(20, 10, 6), 0.5, DashStyle::Dot), PolyCall({{3, 3}, {15, 8}, {6, 14}}, 1)};
  for (const Matrix& m : {Matrix::Translate(10.25, 7.5), Matrix::Scale(2, 2).Then(Matrix::Translate(3, 4)),
                          Matrix::Scale(-1.5, 1.5).Then(Matrix::Translate(80, 10)), Matrix::Scale(1.7, -1.7).Then(Matrix::Translate(5, 60))}) {
    for (Call& c : calls) c.m = m;
    const Difference d = Compare(Cairo(100, 80, calls), Thin(100, 80, calls));
    EXPECT_EQ(d.over32, 0) << "scale " << m.m11 << ": " << d;
  }
}

TEST(ThinStroke, CanRasteriseTranslationsAndUniformScales) {
  const StrokePen thin{0xFF000000, 1, DashStyle::Solid};
  struct Case {
    Matrix m;
    StrokePen pen;
    bool can;
  };
  const Case cases[] = {
      {Matrix{}, thin, true},
      {Matrix::Translate(-3e5, 12.5), thin, true},
      {Matrix::Scale(3, 3), thin, true},
      {Matrix::Scale(-2, 2), thin, true},
      {Matrix::Scale(4, 4), thin, true},
      {Matrix::Scale(4.5, 4.5), thin, false},                  // wider than the rasteriser draws
      {Matrix{}, {0xFF000000, 5, DashStyle::Solid}, false},
      {Matrix::Scale(2, 3), thin, false},                     // not uniform
      {Matrix::Rotate(0.3), thin, false},
      {Matrix{1, 0, 0.2, 1, 0, 0}, thin, false},              // shear
      {Matrix::Scale(0.01, 0.01), {0xFF000000, 1, DashStyle::Dot}, false},  // dashes Cairo approximates
      {Matrix::Scale(0.01, 0.01), thin, true},
      {Matrix{1, 0, 0, 1, std::nan(""), 0}, thin, false},
      {Matrix::Scale(0, 0), thin, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(CanRasterise(c.m, c.pen), c.can) << c.m.m11 << " " << c.m.m12 << " " << c.m.m21 << " " << c.m.m22 << " width " << c.pen.width;
}

TEST(ThinStroke, ClipDoesNotChangeWhatIsDrawn) {
  std::vector<Call> calls = {LineCall(3.3, 5.1, 150.7, 97.2, 2), LineCall(150, 3.5, 4, 99.5, 1, DashStyle::Dash),
                             PolyCall(Ring(70.4, 50.2, 33), 1.5, DashStyle::DashDotDot),
                             PolyCall({{10, 90}, {140, 10}, {20, 20}, {140, 92}}, 3, DashStyle::Solid, 0x90008000),
                             LineCall(0, 50.5, 160, 50.5, 3, DashStyle::Dot, 0xC0C00000)};
  Call rect;
  rect.kind = Call::Rect;
  rect.pts = {{36.5F, 20.5F}, {101.5F, 80.5F}};
  rect.pen = {0xFF0000C0, 1, DashStyle::Solid};
  calls.push_back(rect);
  const Picture whole = Thin(160, 104, calls);
  Picture pieces = Blank(160, 104, kWhite);
  const int xs[] = {0, 37, 100, 101, 160}, ys[] = {0, 50, 51, 104};
  for (int j = 0; j + 1 < 4; ++j)
    for (int i = 0; i + 1 < 5; ++i) DrawThin(pieces, calls, {xs[i], ys[j], xs[i + 1], ys[j + 1]});
  EXPECT_EQ(whole.px, pieces.px);
}

}  // namespace
}  // namespace zumen
