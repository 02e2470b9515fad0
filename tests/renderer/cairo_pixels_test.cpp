// The renderer drawing on the Cairo canvas: what the figures look like in
// pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <numbers>
#include <utility>
#include <vector>

#include "canvas/cairo_canvas.h"
#include "codecs/image_io.h"
#include "common/text.h"
#include "context/context.h"
#include "renderer/graph2.h"

namespace zumen {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kRed = 0xFFFF0000;

// A 400 x 400 canvas showing (0, 0)-(40, 40) at 10 pixels per unit.
class CairoPixels : public ::testing::Test {
 protected:
  CairoPixels() {
    auto made = CairoCanvas::Create(400, 400);
    EXPECT_TRUE(made.canvas) << made.error;
    canvas = std::move(made.canvas);
    g = std::make_unique<TGraph2>(ctx, *canvas);
    g->View.DispX2 = g->View.DispY2 = 40;
    g->View.DispScale = 10;
    g->View.DotW = g->View.DotH = 400;
    canvas->BeginScene();
    g->GCls(kWhite);
  }
  Bitmap Pixels() {
    canvas->EndScene();
    return canvas->ToBitmap();
  }

  ConversionContext ctx;
  std::unique_ptr<CairoCanvas> canvas;
  std::unique_ptr<TGraph2> g;
};

TEST_F(CairoPixels, DashedLineShowsItsGaps) {
  const int n = TgraAttribute::TypIndex(2);
  ctx.GAtt.SetAttrTypseg_(n, 2);
  ctx.GAtt.SetAttrTyppa1_(n, 0, 2);
  ctx.GAtt.SetAttrTyppa1_(n, 1, -1);
  ctx.GAtt.SetAttrTypPit_(n);
  g->GPenSet(kBlack, 0, 2);
  g->GLSetDT();
  ASSERT_EQ(g->GLLineDT(0, 2, 1, 20, 38, 20), 0);
  const Bitmap px = Pixels();
  // Dashes at 1-3, 4-6, 7-9 ... units; gaps at 3-4, 6-7 ...
  for (int period = 0; period < 12; ++period) {
    SCOPED_TRACE(period);
    const int dashMid = 10 * (1 + 3 * period) + 10;
    const int gapMid = 10 * (3 + 3 * period) + 5;
    EXPECT_EQ(px.at(dashMid, 199), kBlack);
    EXPECT_EQ(px.at(gapMid, 199), kWhite);
  }
}

TEST_F(CairoPixels, FilledRingLeavesItsHoleEmpty) {
  g->GPenSet(kRed, 0, 1);
  ASSERT_EQ(g->GLSolidArc(105, 20, 20, 15, 1, 0, 0, 2 * std::numbers::pi, 7), 0);
  const Bitmap px = Pixels();
  EXPECT_EQ(px.at(200, 200), kWhite);        // the hole
  EXPECT_EQ(px.at(200 + 60, 200), kWhite);   // 6 units out, still inside the hole
  EXPECT_EQ(px.at(200 + 110, 200), kRed);    // on the band
  EXPECT_EQ(px.at(200, 200 - 110), kRed);
  EXPECT_EQ(px.at(200 + 160, 200), kWhite);  // beyond the outer edge
}

TEST_F(CairoPixels, ImageLandsInItsBox) {
  std::vector<uint8_t> png;
  ASSERT_TRUE(EncodeImage(ViewOf(Bitmap(40, 20, kRed)), ImageFormat::Png, png));
  scene::ImageMap images;
  images[u"red.png"].bytes = std::make_shared<const std::vector<uint8_t>>(std::move(png));
  DrawingFacts facts;
  facts.Images = &images;
  ctx.Facts = &facts;
  ASSERT_EQ(g->GLImage(10, 10, 30, 20, 0, u"red.png"), 0);
  const Bitmap px = Pixels();
  // Box: columns 100-300, rows 200-300.
  EXPECT_EQ(px.at(105, 205), kRed);
  EXPECT_EQ(px.at(295, 295), kRed);
  EXPECT_EQ(px.at(200, 250), kRed);
  EXPECT_EQ(px.at(95, 250), kWhite);
  EXPECT_EQ(px.at(305, 250), kWhite);
  EXPECT_EQ(px.at(200, 195), kWhite);
  EXPECT_EQ(px.at(200, 305), kWhite);
}

// GTen sets the pixel that a one-pixel stroke from (x, y) to (x + 1, y)
// covers most: the stroke's centre (x + 0.5, y) lies in it.
TEST_F(CairoPixels, SinglePixelIsThePixelOfAOnePixelStroke) {
  const std::pair<double, double> positions[] = {{100, 100},     {100.3, 100.3}, {100.7, 100.2}, {100.5, 100.5},
                                                 {100.9, 100.6}, {100.2, 100.8}, {99.55, 100.1}};
  auto draw = [](const std::function<void(TGraph2&)>& f) {
    auto made = CairoCanvas::Create(200, 200);
    EXPECT_TRUE(made.canvas) << made.error;
    ConversionContext c;
    TGraph2 gr(c, *made.canvas);
    made.canvas->BeginScene();
    gr.GCls(kWhite);
    gr.GPenSet(kBlack, 0, 1);
    f(gr);
    made.canvas->EndScene();
    return made.canvas->ToBitmap();
  };
  for (const auto& [x, y] : positions) {
    SCOPED_TRACE(::testing::Message() << x << ", " << y);
    const Bitmap dot = draw([&](TGraph2& gr) { gr.GTen(x, y); });
    const Bitmap stroke = draw([&](TGraph2& gr) { gr.GLine(x, y, x + 1, y); });
    std::vector<std::pair<int, int>> set, darkest;
    int least = 256;
    for (int r = 0; r < 200; ++r)
      for (int col = 0; col < 200; ++col) {
        if (dot.at(col, r) != kWhite) set.emplace_back(col, r);
        const int v = static_cast<int>(stroke.at(col, r) & 0xFF);
        if (v < least) darkest.clear(), least = v;
        if (v == least) darkest.emplace_back(col, r);
      }
    ASSERT_EQ(set.size(), 1u);
    EXPECT_EQ(dot.at(set[0].first, set[0].second), kBlack);
    EXPECT_TRUE(std::find(darkest.begin(), darkest.end(), set[0]) != darkest.end())
        << "pixel " << set[0].first << ", " << set[0].second << "; stroke darkest at " << darkest[0].first << ", "
        << darkest[0].second;
  }
}

}  // namespace
}  // namespace zumen
