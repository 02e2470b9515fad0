#include "driver/sizing.h"

#include "common/paper.h"
#include "driver/conversion.h"

#include <gtest/gtest.h>

namespace zumen {
namespace {

TEST(DotSizeAtDpi, ThePaperAtTheResolutionWithAMinimumOf10) {
  double sx, sy;
  DotSizeAtDpi(420, 297, 300, sx, sy);
  EXPECT_EQ(sx, 4961);
  EXPECT_EQ(sy, 3508);
  DotSizeAtDpi(0.1, 0.1, 36, sx, sy);  // tiny paper: at least 10
  EXPECT_EQ(sx, 10);
  EXPECT_EQ(sy, 10);
}

TEST(PaperSizeOfCode, KnownAndUnknownCodes) {
  EXPECT_EQ(PaperSizeOfCode(3).width, 420);
  EXPECT_EQ(PaperSizeOfCode(3).height, 297);
  EXPECT_EQ(PaperSizeOfCode(14).width, 100000);
  for (int code : {5, 6, 7, -1, 15}) {
    EXPECT_EQ(PaperSizeOfCode(code).width, 1189) << code;
    EXPECT_EQ(PaperSizeOfCode(code).height, 841) << code;
  }
}

// The box a drawing of the family fits into pictures, for the paper and
// extents given (a drawing read only in part keeps them).
FrameBox FrameOf(Family f, double papx, double papy, ExtentBox extents = {0, 0, 400, 400}) {
  scene::Scene s;
  s.papx = papx;
  s.papy = papy;
  s.extents = extents;
  MakeHandler(f)->Lower(false, s);
  return {s.frame.x1, s.frame.y1, s.frame.x2, s.frame.y2};
}

TEST(FitFrame, JwwPaperIsCentredOnTheOriginWithAMargin) {
  ConversionContext ctx;
  FitFrame(ctx, FrameOf(Family::Jww, 420, 297), 1000, 1000);
  EXPECT_DOUBLE_EQ(ctx.DispScale, 1000 / (420 * 1.05));
  EXPECT_DOUBLE_EQ(ctx.DispX1, -500 / ctx.DispScale);
  EXPECT_DOUBLE_EQ(ctx.DispX2, 500 / ctx.DispScale);
  EXPECT_DOUBLE_EQ(ctx.DispY1 + ctx.DispY2, 0);  // centred vertically, bands above and below
  EXPECT_GT(ctx.DispY2, 297 / 2.0);
}

TEST(FitFrame, FramesByFamily) {
  ConversionContext ctx;
  const ExtentBox extents{-10, -5, 30, 15};
  FitFrame(ctx, FrameOf(Family::Jwc, 200, 100, extents), 210, 105);  // paper from the origin
  EXPECT_NEAR(ctx.DispX1, -5, 1e-9);
  EXPECT_NEAR(ctx.DispY1, -2.5, 1e-9);
  FitFrame(ctx, FrameOf(Family::Jws, 200, 100, extents), 420, 210);  // the extents
  EXPECT_NEAR((ctx.DispX1 + ctx.DispX2) / 2, 10, 1e-9);
  EXPECT_NEAR((ctx.DispY1 + ctx.DispY2) / 2, 5, 1e-9);
  EXPECT_NEAR(ctx.DispScale, 10, 1e-9);
}

TEST(FitFrame, ZeroSizeFrameKeepsAFiniteScale) {
  ConversionContext ctx;
  FitFrame(ctx, FrameOf(Family::Jwk, 0, 0, {3, 4, 3, 4}), 100, 100);
  EXPECT_DOUBLE_EQ(ctx.DispScale, 100 / 0.001);
  EXPECT_NEAR(ctx.DispX1, 3 - 0.0005, 1e-12);
}

TEST(FitFrame, MarginIsAShareOfTheFrame) {
  ConversionContext ctx;
  FitFrame(ctx, FrameBox{0, 0, 100, 50}, 200, 100, 0);
  EXPECT_DOUBLE_EQ(ctx.DispScale, 2);
  EXPECT_DOUBLE_EQ(ctx.DispX1, 0);
  FitFrame(ctx, FrameBox{0, 0, 100, 50}, 200, 100, 1);
  EXPECT_DOUBLE_EQ(ctx.DispScale, 1);
  EXPECT_DOUBLE_EQ(ctx.DispX1, -50);
}

}  // namespace
}  // namespace zumen
