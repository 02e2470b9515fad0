// The tiled canvas: the picture does not depend on the threads or on the
// tiles, what it leaves to Cairo is what a Cairo canvas draws, and texts are
// reported once however many tiles they cross.
#include "canvas/tiled_canvas.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

#include "canvas/cairo_canvas.h"
#include "common/diagnostics.h"
#include "raster/composite.h"

namespace zumen {
namespace {

constexpr double kPi = std::numbers::pi;
// Three tiles by two, the last ones cut short.
constexpr int kW = 600, kH = 400;

using Scene = std::function<void(Canvas&)>;

std::vector<FPoint> Ring(double cx, double cy, double r) {
  std::vector<FPoint> pts;
  for (int k = 0; k <= 72; ++k)
    pts.push_back({static_cast<float>(cx + r * std::cos(k * kPi / 36)), static_cast<float>(cy + r * std::sin(k * kPi / 36))});
  return pts;
}

// Thin strokes across the tiles' edges (256 and 512 across, 256 down).
void Strokes(Canvas& c) {
  c.SetStroke(0xFF000000, 1.5, DashStyle::Solid);
  c.StrokeLine(10.3, 250.7, 590.2, 262.1, 1);
  c.StrokeLine(255.5, 5, 257.5, 395, 1);
  c.SetStroke(0xFF9020C0, 2, DashStyle::DashDot);
  c.StrokePolyline(Ring(256, 256, 90.4), 1);
  c.StrokeLine(0, 0, 600, 400, 0.7);
  c.SetStroke(0x80008040, 3, DashStyle::Solid);
  c.StrokePolyline({{500, 20}, {530, 380}, {520, 30}, {540, 390}, {20, 300}}, 1);
  c.SetStroke(0xFF000000, 1, DashStyle::Dot);
  c.StrokeRect(200.5, 200.5, 312.5, 312.5, 1);
  c.SetStroke(0xFF204080, 2, DashStyle::Solid);
  c.StrokeLine(511.5, 100, 511.5, 100, 1);  // a dot on a tile's corner
  c.SetTransform(Matrix::Scale(2, 2).Then(Matrix::Translate(0.5, 0)));
  c.SetStroke(0xFF006060, 0.75, DashStyle::Dash);
  c.StrokeLine(100, 20, 200, 180, 1);
  c.SetTransform({});
}

// Everything else the canvas draws: fills of every kind, wide and rotated
// strokes, texts, bitmaps and pixels, across the tiles' edges.
void Others(Canvas& c) {
  c.SetFillSolid(0xFF3060C0);
  c.FillPolygon({{200, 200}, {320, 210}, {300, 330}, {230, 280}}, 0.8);
  Bitmap tile(4, 4, 0xFFFFFFFF);
  for (int i = 0; i < 4; ++i) tile.at(i, i) = 0xFFC00000;
  c.SetFillBitmap(tile);
  c.FillPolygon({{480, 200}, {560, 240}, {500, 320}}, 1);
  c.SetFillLinearGradient(0, 0, 1, 1, {{0, 0xFF00FF00}, {1, 0x8000FFFF}});
  c.FillPolygon({{20, 220}, {280, 230}, {260, 300}}, 1);
  c.SetFillRadialGradient(0.5, 0.5, {{0, 0xFFFFFF00}, {1, 0xFF800080}});
  c.FillPolygon(Ring(512, 60, 50), 0.9);
  c.SetStroke(0xFF800000, 9, DashStyle::Solid);
  c.StrokeLine(240, 30, 280, 390, 1);
  c.SetTransform(Matrix::Rotate(0.4).Then(Matrix::Translate(300, 50)));
  c.SetStroke(0xFF004000, 1, DashStyle::Dash);
  c.StrokeRect(-40, -20, 200, 120, 1);
  FontSpec font;
  font.family = u"ＭＳ ゴシック";
  font.sizePx = 28;
  c.SetFont(font);
  c.SetFillSolid(0xFF101010);
  c.FillText(-60, 180, 300, 220, u"図面 TILE 境界", 1);
  c.SetTransform({});
  font.sizePx = 40;
  font.underline = true;
  c.SetFont(font);
  c.FillText(150, 235, 400, 275, u"Seams 縫い目", 0.8);
  Bitmap photo(16, 8, 0xFF00FF00);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) photo.at(x, y) = 0xFF000000 | static_cast<uint32_t>(x * 16) << 16 | static_cast<uint32_t>(y * 32);
  c.DrawBitmap(photo, 0, 0, 16, 8, 230, 240, 290, 270, 0.9);
  for (int i = 0; i < 20; ++i) c.SetPixel(250 + i * 0.6, 250 + i * 0.3, i % 2 ? 0xFFFF0000 : 0x80000000);
}

void Scene1(Canvas& c) {
  c.Clear(0xFFFFFFFF);
  Others(c);
  Strokes(c);
}

std::vector<uint32_t> Copy(const PixelView& v) {
  std::vector<uint32_t> out;
  for (int y = 0; y < v.height; ++y) out.insert(out.end(), v.row(y), v.row(y) + v.width);
  return out;
}

std::vector<uint32_t> DrawTiled(const Scene& scene, int threads, StrokeRasteriser strokes = StrokeRasteriser::Zumen) {
  TiledCanvasOrError made = TiledCanvas::Create(kW, kH, threads, strokes);
  EXPECT_TRUE(made.canvas) << made.error;
  scene(*made.canvas);
  made.canvas->EndScene();
  return Copy(made.canvas->Pixels());
}

std::vector<uint32_t> DrawCairo(const Scene& scene) {
  CairoCanvasOrError made = CairoCanvas::Create(kW, kH);
  EXPECT_TRUE(made.canvas) << made.error;
  scene(*made.canvas);
  made.canvas->EndScene();
  return Copy(made.canvas->Pixels());
}

// The largest difference of a channel between two pixels.
int Difference(uint32_t a, uint32_t b) {
  int d = 0;
  for (int s = 0; s < 32; s += 8) d = std::max(d, std::abs(static_cast<int>((a >> s) & 0xFF) - static_cast<int>((b >> s) & 0xFF)));
  return d;
}

struct Differences {
  int worst = 0, over32 = 0;
};

Differences Compare(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  Differences d;
  for (size_t i = 0; i < a.size(); ++i) {
    const int m = Difference(a[i], b[i]);
    d.worst = std::max(d.worst, m);
    d.over32 += m > 32;
  }
  return d;
}

// Whether no channel of any pixel differs by more than tolerance; with a
// margin, pixels within that many of a tile's edge are not compared.
::testing::AssertionResult Same(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b, int tolerance = 0,
                                int margin = 0) {
  if (a.size() != b.size()) return ::testing::AssertionFailure() << "sizes differ";
  size_t n = 0, first = 0;
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    const int x = static_cast<int>(i % kW), y = static_cast<int>(i / kW);
    const int tx = x % TiledCanvas::kTile, ty = y % TiledCanvas::kTile;
    if (std::min({tx, ty, TiledCanvas::kTile - 1 - tx, TiledCanvas::kTile - 1 - ty}) < margin) continue;
    const int d = Difference(a[i], b[i]);
    worst = std::max(worst, d);
    if (d > tolerance && n++ == 0) first = i;
  }
  if (n == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << n << " pixels differ, by up to " << worst << ", the first at ("
                                       << first % kW << ", " << first / kW << "): " << std::hex << a[first] << " and "
                                       << b[first];
}

TEST(TiledCanvas, ThreadsDoNotChangeThePicture) {
  const std::vector<uint32_t> one = DrawTiled(Scene1, 1);
  for (int threads : {2, 3, 7}) EXPECT_TRUE(Same(one, DrawTiled(Scene1, threads))) << threads << " threads";
}

TEST(TiledCanvas, TilesMeetWithoutSeams) {
  // The thin strokes drawn by the rasteriser over the whole picture at once.
  std::vector<uint32_t> whole(static_cast<size_t>(kW) * kH, SolidPixel(0xFFFFFFFF, 1));
  PixelTarget t{whole.data(), kW, kW, kH, {0, 0, kW, kH}};
  ThinStroker s;
  struct Recorder : Canvas {
    PixelTarget t;
    ThinStroker* s;
    StrokePen pen;
    Matrix m;
    int Width() const override { return kW; }
    int Height() const override { return kH; }
    void BeginScene() override {}
    void EndScene() override {}
    void Clear(uint32_t) override {}
    void SetStroke(uint32_t argb, double w, DashStyle d) override { pen = {argb, w, d}; }
    void SetStrokeColor(uint32_t argb) override { pen.argb = argb; }
    uint32_t StrokeColor() const override { return pen.argb; }
    void SetFillSolid(uint32_t) override {}
    uint32_t FillColor() const override { return 0; }
    void SetFillBitmap(const Bitmap&) override {}
    void SetFillLinearGradient(double, double, double, double, const std::vector<GradientStop>&) override {}
    void SetFillRadialGradient(double, double, const std::vector<GradientStop>&) override {}
    void StrokeLine(double x1, double y1, double x2, double y2, double o) override { s->StrokeLine(t, m, pen, o, x1, y1, x2, y2); }
    void SetPixel(double, double, uint32_t) override {}
    void StrokeRect(double l, double tp, double r, double b, double o) override { s->StrokeRect(t, m, pen, o, l, tp, r, b); }
    void StrokePolyline(const std::vector<FPoint>& p, double o) override { s->StrokePolyline(t, m, pen, o, p.data(), p.size()); }
    void FillPolygon(const std::vector<FPoint>&, double) override {}
    Matrix GetTransform() const override { return m; }
    void SetTransform(const Matrix& x) override { m = x; }
    void SetFont(const FontSpec&) override {}
    const FontSpec& Font() const override { return font; }
    void FillText(double, double, double, double, const std::u16string&, double) override {}
    void DrawBitmap(const Bitmap&, double, double, double, double, double, double, double, double, double) override {}
    FontSpec font;
  } direct;
  direct.t = t;
  direct.s = &s;
  Strokes(direct);
  const Scene scene = [](Canvas& c) {
    c.Clear(0xFFFFFFFF);
    Strokes(c);
  };
  EXPECT_TRUE(Same(whole, DrawTiled(scene, 2)));
}

// Everything inside single tiles, away from their edges: thin and wide
// strokes, fills of every kind, texts, a bitmap, pixels.
void InsideTiles(Canvas& c) {
  c.Clear(0xFFF0E0D0);
  c.SetStroke(0xFF000000, 1.5, DashStyle::Solid);
  c.StrokeLine(20.3, 30.7, 230.2, 200.1, 1);
  c.SetStroke(0xC09020C0, 2, DashStyle::DashDot);
  c.StrokePolyline(Ring(128, 128, 90.4), 0.9);
  c.SetStroke(0xFF000000, 1, DashStyle::Dot);
  c.StrokeRect(40.5, 150.5, 120.5, 230.5, 1);
  c.SetFillSolid(0xFF3060C0);
  c.FillPolygon({{280, 30}, {400, 40}, {380, 150}, {310, 110}}, 0.8);
  Bitmap tile(4, 4, 0xFFFFFFFF);
  for (int i = 0; i < 4; ++i) tile.at(i, i) = 0xFFC00000;
  c.SetFillBitmap(tile);
  c.FillPolygon({{400, 140}, {490, 160}, {430, 230}}, 1);
  c.SetFillRadialGradient(0.5, 0.5, {{0, 0xFFFFFF00}, {1, 0xFF800080}});
  c.FillPolygon(Ring(560, 60, 30), 0.9);
  c.SetFillLinearGradient(0, 0, 1, 1, {{0, 0xFF00FF00}, {1, 0x8000FFFF}});
  c.FillPolygon({{530, 120}, {590, 130}, {560, 230}}, 1);
  c.SetStroke(0xFF800000, 9, DashStyle::Solid);
  c.StrokeLine(40, 290, 200, 380, 1);
  c.SetTransform(Matrix::Rotate(0.4).Then(Matrix::Translate(300, 270)));
  c.SetStroke(0xFF004000, 1, DashStyle::Dash);
  c.StrokeRect(10, 0, 150, 60, 1);
  c.SetTransform({});
  FontSpec font;
  font.family = u"ＭＳ ゴシック";
  font.sizePx = 24;
  font.underline = true;
  c.SetFont(font);
  c.SetFillSolid(0xFF101010);
  c.FillText(290, 350, 500, 380, u"図面 TILE", 1);
  Bitmap photo(16, 8, 0xFF00FF00);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 16; ++x) photo.at(x, y) = 0xFF000000 | static_cast<uint32_t>(x * 16) << 16 | static_cast<uint32_t>(y * 32);
  c.DrawBitmap(photo, 0, 0, 16, 8, 530, 290, 590, 320, 0.9);
  for (int i = 0; i < 20; ++i) c.SetPixel(530 + i * 0.6, 350 + i * 0.3, i % 2 ? 0xFFFF0000 : 0x80000000);
}

TEST(TiledCanvas, CairoDrawsAsThePlainCairoCanvas) {
  // What Cairo draws is the plain canvas's picture wherever a figure stays
  // inside a tile, but for gradients, which Cairo computes from the place of
  // the pixel on the surface (each tile its own) and may round a level
  // otherwise. A figure that crosses a tile's edge is clipped there, and a
  // clipped figure comes out of Cairo's scan conversion a little otherwise
  // (by a few levels, up to about 20) near the cut: strokes with Cairo, and
  // everything else with the rasteriser's thin strokes.
  EXPECT_TRUE(Same(DrawCairo(InsideTiles), DrawTiled(InsideTiles, 3, StrokeRasteriser::Cairo), 1));
  const Scene across = [](Canvas& c) {
    c.Clear(0xFFFFFFFF);
    Others(c);
    Strokes(c);
  };
  EXPECT_TRUE(Same(DrawCairo(across), DrawTiled(across, 3, StrokeRasteriser::Cairo), 24));
}

TEST(TiledCanvas, ThinStrokesLookLikeCairosAndTheRestIsCairos) {
  const Differences d = Compare(DrawCairo(InsideTiles), DrawTiled(InsideTiles, 2));
  EXPECT_EQ(d.over32, 0) << d.worst;
  const Scene others = [](Canvas& c) {
    c.Clear(0xFFF0E0D0);
    Others(c);
    c.Clear(0x00000000);  // a clear paints over all before it
    Others(c);
  };
  EXPECT_TRUE(Same(DrawCairo(others), DrawTiled(others, 2), 24));
}

TEST(TiledCanvas, ReportsEachTextOnce) {
  const auto report = [](Canvas& c) {
    DiagnosticSink sink;
    c.SetDiagnostics(&sink);
    FontSpec font;
    font.family = u"Zumen No Such Family";
    font.sizePx = 60;
    c.SetFont(font);
    c.FillText(100, 220, 500, 300, u"A\u0378 across the tiles \u0378", 1);  // on four tiles
    c.FillText(300, 50, 400, 90, u"B\u0378", 1);
    c.SetDiagnostics(nullptr);
    c.EndScene();
    return sink.List();
  };
  CairoCanvasOrError cairo = CairoCanvas::Create(kW, kH);
  TiledCanvasOrError tiled = TiledCanvas::Create(kW, kH, 3);
  ASSERT_TRUE(cairo.canvas && tiled.canvas);
  const std::vector<Diagnostic> expected = report(*cairo.canvas), got = report(*tiled.canvas);
  ASSERT_EQ(got.size(), 2u);
  ASSERT_EQ(expected.size(), got.size());
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_EQ(got[i].code, expected[i].code);
    EXPECT_EQ(got[i].count, expected[i].count) << got[i].code;
  }
}

TEST(TiledCanvas, FlushingMidwayKeepsThePictureAndTheState) {
  const std::vector<uint32_t> once = DrawTiled(Scene1, 2);
  const Scene flushing = [](Canvas& c) {
    c.Clear(0xFFFFFFFF);
    Others(c);
    c.SetStroke(0xFF000000, 1.5, DashStyle::Solid);
    c.SetTransform(Matrix::Translate(0, 0));
    static_cast<TiledCanvas&>(c).Flush();
    Strokes(c);
  };
  EXPECT_TRUE(Same(once, DrawTiled(flushing, 2)));
}

// A picture drawn band by band, from one recording or drawn anew into each
// band when the recording would grow too large, is the whole picture.
TEST(TiledCanvas, BandsOfRowsAreTheWholePicture) {
  const std::vector<uint32_t> whole = DrawTiled(Scene1, 2);
  struct Case {
    int rows;
    size_t maxBytes;  // 0: the recording overflows at once
  };
  for (const Case& c : {Case{256, size_t{1} << 30}, Case{512, size_t{1} << 30}, Case{256, 0}, Case{100, 0}}) {
    SCOPED_TRACE(std::to_string(c.rows) + " rows, " + std::to_string(c.maxBytes) + " bytes");
    std::unique_ptr<TiledCanvas> canvas = TiledCanvas::Recorder(kW, kH, 3, StrokeRasteriser::Zumen, c.maxBytes);
    ASSERT_TRUE(canvas);
    Scene1(*canvas);
    canvas->EndScene();
    const bool overflowed = canvas->Overflowed();
    EXPECT_EQ(overflowed, c.maxBytes == 0);
    std::vector<uint32_t> bands(static_cast<size_t>(kW) * kH, 0);
    for (int y0 = 0; y0 < kH; y0 += c.rows) {
      const PixelBand band{bands.data() + static_cast<size_t>(y0) * kW, kW, y0, std::min(c.rows, kH - y0)};
      if (overflowed) {
        canvas->TargetBand(band);
        Scene1(*canvas);
        canvas->EndScene();
      } else {
        canvas->DrawBand(band);
      }
    }
    // Bands of whole tile rows give the very pixels; others cut what Cairo
    // draws at their edges too.
    EXPECT_TRUE(Same(whole, bands, c.rows % TiledCanvas::kTile == 0 ? 0 : 24));
  }
}

}  // namespace
}  // namespace zumen
