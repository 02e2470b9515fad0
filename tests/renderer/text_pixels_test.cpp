// Texts laid out by TGraph2 and drawn by the Cairo canvas: horizontal text
// stays in its cells, vertical text runs downwards with upright glyphs.
#include <gtest/gtest.h>

#include <algorithm>

#include "canvas/cairo_canvas.h"
#include "renderer/graph2.h"

namespace zumen {
namespace {

struct Box {
  int x1 = 1 << 30, y1 = 1 << 30, x2 = -1, y2 = -1;
  bool Empty() const { return x2 < 0; }
};

// Ink (dark pixels) inside the device rectangle [x0, x1) x [y0, y1).
Box InkIn(CairoCanvas& c, int x0, int y0, int x1, int y1) {
  const PixelView v = c.Pixels();
  Box b;
  for (int y = std::max(0, y0); y < std::min(v.height, y1); ++y)
    for (int x = std::max(0, x0); x < std::min(v.width, x1); ++x)
      if ((v.row(y)[x] & 0xFF) < 0x80) {
        b.x1 = std::min(b.x1, x);
        b.x2 = std::max(b.x2, x);
        b.y1 = std::min(b.y1, y);
        b.y2 = std::max(b.y2, y);
      }
  return b;
}

// 10 pixels per drawing unit, window (0, 0)-(40, 40) on 400 x 400 pixels.
class TextPixelsTest : public ::testing::Test {
 protected:
  TextPixelsTest() : made(CairoCanvas::Create(400, 400)), g(ctx, *made.canvas) {
    g.View.DispScale = 10;
    g.View.DispX2 = g.View.DispY2 = 40;
    g.View.DotW = g.View.DotH = 400;
    made.canvas->Clear(0xFFFFFFFF);
    made.canvas->SetFillSolid(0xFF000000);
  }
  CairoCanvas& C() { return *made.canvas; }
  // Device rectangle of the drawing box (x1, y1)-(x2, y2).
  Box Ink(double x1, double y1, double x2, double y2) {
    return InkIn(C(), static_cast<int>(x1 * 10), static_cast<int>(400 - y2 * 10), static_cast<int>(x2 * 10),
                 static_cast<int>(400 - y1 * 10));
  }

  ConversionContext ctx;
  CairoCanvasOrError made;
  TGraph2 g;
};

TEST_F(TextPixelsTest, HorizontalTextStaysInItsCells) {
  // Cells of 6 x 6 units from (5, 20): "上" in 5..11, "L" in 11..14, "上" in 14..20.
  ASSERT_EQ(g.GLAText3(5, 20, 30, 20, 6, 6, 0, 0, u"ＭＳ ゴシック", u"上L上"), 0);
  const Box all = Ink(0, 0, 40, 40);
  ASSERT_FALSE(all.Empty());
  EXPECT_GE(all.x1, 50 - 1);
  EXPECT_LE(all.x2, 200 + 1);
  EXPECT_GE(all.y1, 400 - 260 - 1);
  EXPECT_LE(all.y2, 400 - 200 + 1);
  for (auto [x1, x2] : {std::pair{5.0, 11.0}, {11.0, 14.0}, {14.0, 20.0}}) {
    const Box b = Ink(x1, 20, x2, 26);
    ASSERT_FALSE(b.Empty()) << x1;
    EXPECT_GE(b.y2 - b.y1, 40) << x1;  // of the 60 pixels of the cell height
  }
}

TEST_F(TextPixelsTest, VerticalTextRunsDownwardsUpright) {
  // Column of three cells of 6 x 6 units downwards from (10, 36).
  ASSERT_EQ(g.GLAText3(10, 36, 10, 0, 6, 6, 0, 0, u"@ＭＳ ゴシック", u"上上上"), 0);
  const Box all = Ink(0, 0, 40, 40);
  ASSERT_FALSE(all.Empty());
  EXPECT_GE(all.x1, 100 - 1);
  EXPECT_LE(all.x2, 160 + 1);
  EXPECT_GE(all.y1, 40 - 1);
  EXPECT_LE(all.y2, 220 + 1);
  for (int i = 0; i < 3; ++i) {
    const double top = 36 - 6 * i;
    const Box cell = Ink(10, top - 6, 16, top);
    ASSERT_FALSE(cell.Empty()) << i;
    // Upright: the long bar of "上" is at the bottom of its cell.
    const int h = cell.y2 - cell.y1 + 1;
    const Box upper = InkIn(C(), 0, cell.y1, 400, cell.y1 + h / 4);
    const Box lower = InkIn(C(), 0, cell.y2 + 1 - h / 4, 400, cell.y2 + 1);
    EXPECT_GT(lower.x2 - lower.x1, 2 * (upper.x2 - upper.x1)) << i;
  }
}

}  // namespace
}  // namespace zumen
