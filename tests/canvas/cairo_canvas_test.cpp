#include "canvas/cairo_canvas.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace zumen {
namespace {

constexpr uint32_t kWhite = 0xFFFFFFFF;
constexpr uint32_t kBlack = 0xFF000000;
constexpr uint32_t kRed = 0xFFFF0000;
constexpr uint32_t kBlue = 0xFF0000FF;

std::unique_ptr<CairoCanvas> MakeCanvas(int w, int h) {
  CairoCanvasOrError r = CairoCanvas::Create(w, h);
  EXPECT_TRUE(r.canvas) << r.error;
  r.canvas->Clear(kWhite);
  return std::move(r.canvas);
}

int Channel(uint32_t argb, int shift) { return static_cast<int>((argb >> shift) & 0xFF); }

// Colours equal within tol in every channel.
::testing::AssertionResult Near(uint32_t actual, uint32_t expected, int tol) {
  for (int s : {0, 8, 16, 24}) {
    if (std::abs(Channel(actual, s) - Channel(expected, s)) > tol) {
      return ::testing::AssertionFailure() << std::hex << "0x" << actual << " is not near 0x" << expected;
    }
  }
  return ::testing::AssertionSuccess();
}

int CountNot(const Bitmap& b, uint32_t colour) {
  int n = 0;
  for (uint32_t p : b.pixels) n += p != colour;
  return n;
}

TEST(CairoCanvasTest, CreateRefusesSizesItCannotMake) {
  const std::pair<int, int> sizes[] = {{0, 10}, {10, -1}, {100000, 100000}, {40000, 1}};
  for (auto [w, h] : sizes) {
    CairoCanvasOrError r = CairoCanvas::Create(w, h);
    EXPECT_FALSE(r.canvas) << w << " x " << h;
    EXPECT_FALSE(r.error.empty());
  }
  CairoCanvasOrError ok = CairoCanvas::Create(3, 2);
  ASSERT_TRUE(ok.canvas);
  EXPECT_EQ(ok.canvas->Width(), 3);
  EXPECT_EQ(ok.canvas->Height(), 2);
}

TEST(CairoCanvasTest, ClearFillsEveryPixelAndKeepsStraightAlpha) {
  auto c = MakeCanvas(8, 4);
  c->Clear(0xFF336699);
  for (uint32_t p : c->ToBitmap().pixels) ASSERT_EQ(p, 0xFF336699u);
  c->Clear(0x80FF0000);
  EXPECT_TRUE(Near(c->ToBitmap().at(3, 2), 0x80FF0000, 1));
  EXPECT_TRUE(c->Pixels().premultiplied);
  EXPECT_TRUE(Near(c->Pixels().row(2)[3], 0x80800000, 1));
}

TEST(CairoCanvasTest, OnePixelLineOnPixelCentresFillsOneRow) {
  auto c = MakeCanvas(20, 10);
  c->SetStroke(kBlack, 1, DashStyle::Solid);
  c->StrokeLine(2, 5.5, 17, 5.5, 1.0);
  const Bitmap b = c->ToBitmap();
  for (int x = 3; x < 17; ++x) {
    EXPECT_EQ(b.at(x, 5), kBlack) << x;
    EXPECT_EQ(b.at(x, 4), kWhite) << x;
    EXPECT_EQ(b.at(x, 6), kWhite) << x;
  }
  EXPECT_EQ(b.at(0, 5), kWhite);  // round cap reaches only half a pixel past the end
  EXPECT_EQ(b.at(19, 5), kWhite);
}

TEST(CairoCanvasTest, FillPolygonUsesNonZeroWinding) {
  auto c = MakeCanvas(20, 20);
  c->SetFillSolid(kRed);
  // Twice round the same square: winding number 2, filled by the non-zero
  // rule (the even-odd rule would leave it empty).
  c->FillPolygon({{2, 2}, {12, 2}, {12, 12}, {2, 12}, {2, 2}, {12, 2}, {12, 12}, {2, 12}}, 1.0);
  const Bitmap b = c->ToBitmap();
  EXPECT_EQ(b.at(2, 2), kRed);
  EXPECT_EQ(b.at(7, 7), kRed);
  EXPECT_EQ(b.at(11, 11), kRed);
  EXPECT_EQ(b.at(12, 12), kWhite);
  EXPECT_EQ(b.at(1, 7), kWhite);
  EXPECT_EQ(CountNot(b, kWhite), 100);
}

// The pixel set is the one holding the device point half a pixel right of
// (x, y): the centre of a one-pixel stroke from (x, y) to (x + 1, y).
TEST(CairoCanvasTest, SetPixelSetsExactlyThePixelOfAOnePixelStroke) {
  auto c = MakeCanvas(10, 10);
  c->SetStroke(kBlack, 7, DashStyle::Solid);  // the stroke width does not matter
  c->SetPixel(3.7, 4.2, kRed);
  c->SetPixel(5.2, 6.8, kRed);
  c->SetPixel(-0.6, 2, kRed);  // outside: nothing
  c->SetPixel(9.5, 2, kRed);
  Bitmap b = c->ToBitmap();
  EXPECT_EQ(b.at(4, 4), kRed);
  EXPECT_EQ(b.at(5, 6), kRed);
  EXPECT_EQ(CountNot(b, kWhite), 2);

  c->SetTransform(Matrix::Translate(2, 3));
  c->SetPixel(0.2, 0.5, kBlue);
  b = c->ToBitmap();
  EXPECT_EQ(b.at(2, 3), kBlue);
  EXPECT_EQ(CountNot(b, kWhite), 3);
}

TEST(CairoCanvasTest, TransformMovesDrawingAndCanBeReadBack) {
  auto c = MakeCanvas(40, 40);
  const Matrix m = Matrix::Scale(2, 2).Then(Matrix::Translate(10, 20));
  c->SetTransform(m);
  EXPECT_EQ(c->GetTransform(), m);
  c->SetFillSolid(kRed);
  c->FillPolygon({{0, 0}, {4, 0}, {4, 4}, {0, 4}}, 1.0);  // device (10, 20)-(18, 28)
  const Bitmap b = c->ToBitmap();
  EXPECT_EQ(b.at(10, 20), kRed);
  EXPECT_EQ(b.at(17, 27), kRed);
  EXPECT_EQ(b.at(18, 27), kWhite);
  EXPECT_EQ(b.at(9, 20), kWhite);
  EXPECT_EQ(CountNot(b, kWhite), 64);

  c->MultiplyTransform(Matrix::Translate(1, 0));  // applied before the current one: 2 pixels right
  c->SetPixel(0, 0, kBlue);
  EXPECT_EQ(c->ToBitmap().at(12, 20), kBlue);
}

TEST(CairoCanvasTest, CollapsedTransformDrawsNothingAndDoesNotBreakTheCanvas) {
  auto c = MakeCanvas(20, 20);
  c->SetFillSolid(kRed);
  c->SetTransform(Matrix::Scale(0, 1));
  c->FillPolygon({{0, 0}, {10, 0}, {10, 10}}, 1.0);
  c->SetStroke(kBlack, 0, DashStyle::Dash);  // zero width: must not poison later strokes
  c->StrokeLine(0, 0, 10, 10, 1.0);
  EXPECT_EQ(CountNot(c->ToBitmap(), kWhite), 0);
  c->SetTransform(Matrix());
  c->FillPolygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, 1.0);
  EXPECT_EQ(c->ToBitmap().at(5, 5), kRed);
}

TEST(CairoCanvasTest, DrawBitmapLandsInItsBox) {
  auto c = MakeCanvas(40, 40);
  Bitmap img(2, 2);
  img.at(0, 0) = kRed;
  img.at(1, 0) = kBlue;
  img.at(0, 1) = kBlack;
  img.at(1, 1) = 0xFF00FF00;
  c->DrawBitmap(img, 0, 0, 2, 2, 10, 10, 30, 30, 1.0);
  Bitmap b = c->ToBitmap();
  EXPECT_TRUE(Near(b.at(10, 10), kRed, 2));
  EXPECT_TRUE(Near(b.at(29, 10), kBlue, 2));
  EXPECT_TRUE(Near(b.at(10, 29), kBlack, 2));
  EXPECT_TRUE(Near(b.at(29, 29), 0xFF00FF00, 2));
  EXPECT_EQ(b.at(9, 10), kWhite);
  EXPECT_EQ(b.at(30, 30), kWhite);
  EXPECT_EQ(b.at(20, 9), kWhite);
  EXPECT_EQ(CountNot(b, kWhite), 400);

  // The source rectangle picks the blue pixel only; half opacity over white.
  c->Clear(kWhite);
  c->DrawBitmap(img, 1, 0, 1, 1, 0, 0, 5, 5, 0.5);
  b = c->ToBitmap();
  EXPECT_TRUE(Near(b.at(2, 2), 0xFF8080FF, 2));
  EXPECT_EQ(CountNot(b, kWhite), 25);
}

TEST(CairoCanvasTest, BitmapFillIsTiledAtItsOwnSize) {
  auto c = MakeCanvas(12, 12);
  Bitmap tile(2, 2, kWhite);
  tile.at(0, 0) = kRed;
  tile.at(1, 1) = kRed;
  c->SetFillBitmap(tile);
  c->FillPolygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, 1.0);
  const Bitmap b = c->ToBitmap();
  for (int y = 0; y < 10; ++y) {
    for (int x = 0; x < 10; ++x) ASSERT_EQ(b.at(x, y), (x + y) % 2 == 0 ? kRed : kWhite) << x << "," << y;
  }
  EXPECT_EQ(b.at(10, 0), kWhite);
}

TEST(CairoCanvasTest, GradientsFollowThePolygonsBoundingBox) {
  auto c = MakeCanvas(130, 120);
  c->SetFillLinearGradient(0, 0.5, 1, 0.5, {{0, kBlack}, {1, kWhite}});
  c->FillPolygon({{10, 0}, {110, 0}, {110, 10}, {10, 10}}, 1.0);
  Bitmap b = c->ToBitmap();
  EXPECT_TRUE(Near(b.at(10, 5), kBlack, 4));
  EXPECT_TRUE(Near(b.at(109, 5), kWhite, 4));
  EXPECT_TRUE(Near(b.at(60, 5), 0xFF808080, 4));

  // Radial: centre colour at the box centre, rim colour at half the box's
  // width and height, the rim colour continues beyond.
  c->Clear(kWhite);
  c->SetFillRadialGradient(0.5, 0.5, {{0, kRed}, {1, kBlue}});
  c->FillPolygon({{0, 0}, {120, 0}, {120, 60}, {0, 60}}, 1.0);
  b = c->ToBitmap();
  EXPECT_TRUE(Near(b.at(60, 30), kRed, 8));
  EXPECT_TRUE(Near(b.at(0, 30), kBlue, 8));
  EXPECT_TRUE(Near(b.at(60, 0), kBlue, 8));
  EXPECT_TRUE(Near(b.at(0, 0), kBlue, 1));
  EXPECT_TRUE(Near(b.at(30, 30), 0xFF800080, 8));
}

TEST(CairoCanvasTest, OpacityBlendsTheFill) {
  auto c = MakeCanvas(10, 10);
  c->SetFillSolid(kBlack);
  c->FillPolygon({{0, 0}, {10, 0}, {10, 10}, {0, 10}}, 0.5);
  EXPECT_TRUE(Near(c->ToBitmap().at(5, 5), 0xFF808080, 2));
}

TEST(CairoCanvasTest, DashStylesLeaveGapsScaledByTheWidth) {
  struct Case {
    DashStyle dash;
    double inkShare;  // share of the period that is drawn
  };
  const Case cases[] = {{DashStyle::Solid, 1.0}, {DashStyle::Dash, 0.75}, {DashStyle::Dot, 0.5},
                        {DashStyle::DashDot, 4.0 / 6}, {DashStyle::DashDotDot, 5.0 / 8}};
  for (const Case& k : cases) {
    auto c = MakeCanvas(400, 20);
    c->SetStroke(kBlack, 4, k.dash);
    c->StrokeLine(0, 10, 400, 10, 1.0);
    const Bitmap b = c->ToBitmap();
    int ink = 0;
    for (int x = 0; x < 400; ++x) ink += Channel(b.at(x, 10), 0) < 128;
    EXPECT_NEAR(ink / 400.0, k.inkShare, 0.06) << static_cast<int>(k.dash);
  }
}

TEST(CairoCanvasTest, FarAwayPointsAreClippedNotWrapped) {
  auto c = MakeCanvas(50, 20);
  c->SetStroke(kBlack, 1, DashStyle::Solid);
  c->StrokeLine(-1e9, 5.5, 1e9, 5.5, 1.0);
  c->StrokePolyline({{-3e8f, 15.5f}, {25, 15.5f}, {3e8f, 15.5f}}, 1.0);
  Bitmap b = c->ToBitmap();
  for (int x = 0; x < 50; ++x) {
    ASSERT_EQ(b.at(x, 5), kBlack) << x;
    ASSERT_EQ(b.at(x, 15), kBlack) << x;
  }
  EXPECT_EQ(CountNot(b, kWhite), 100);

  c->Clear(kWhite);
  c->SetFillSolid(kRed);
  c->FillPolygon({{-1e9f, -1e9f}, {1e9f, -1e9f}, {0, 1e9f}}, 1.0);
  b = c->ToBitmap();
  EXPECT_EQ(CountNot(b, kRed), 0);
}

TEST(CairoCanvasTest, FillTextDrawsInTheFillColour) {
  auto c = MakeCanvas(60, 40);
  FontSpec f;
  f.family = u"MS Gothic";
  f.sizePx = 24;
  c->SetFont(f);
  EXPECT_EQ(c->Font(), f);
  c->SetFillSolid(kRed);
  c->FillText(5, 5, 55, 35, u"H", 1.0);
  const Bitmap b = c->ToBitmap();
  int red = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 60; ++x) {
      const uint32_t p = b.at(x, y);
      if (p == kWhite) continue;
      EXPECT_TRUE(x >= 5 && y >= 5) << x << "," << y;
      red += p == kRed;
    }
  }
  EXPECT_GT(red, 10);
}

}  // namespace
}  // namespace zumen
