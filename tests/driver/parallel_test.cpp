// Conversions keep their state in their own objects, so several can run side
// by side in one process and give the same pictures as one after another.
#include <gtest/gtest.h>

#include <thread>

#include "canvas/image_io.h"
#include "driver/run.h"
#include "support/jww_writer.h"
#include "support/temp_dir.h"

namespace zumen {
namespace {

using testing::TempDir;

std::vector<uint8_t> Drawing(int variant) {
  JwwWriter w(600);
  w.head.Enthd.nZumen = variant % 2 == 0 ? 3 : 4;
  for (auto& g : w.head.EntLgrp) g.anGLay = 2;
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  w.head.EntCol[0].aPrtPenColor = 0xFFFFFF;
  w.head.EntCol[2].aPrtPenColor = 0x000000;
  w.head.EntCol[2].anPrtPenWidth = 5;
  w.att.nPenColor = 2;
  w.att.nPenStyle = 1;
  for (int i = 0; i < 20; ++i) w.Line(-100 + 10 * i, -80, -90 + 10 * i + variant, 80);
  w.Circle(0, 0, 30 + variant);
  w.Text(-80, 40, u"図面テキスト ABC", 8);
  return w.Finish();
}

TEST(Parallel, ConversionsSideBySideMatchConversionsInTurn) {
  constexpr int kN = 4;
  TempDir t;
  std::vector<std::string> src(kN);
  for (int i = 0; i < kN; ++i) src[i] = t.Write("d" + std::to_string(i) + ".jww", Drawing(i));
  ConvertOptions o;
  o.sizing = ConvertOptions::Sizing::Pixels;
  o.width = 400;
  o.height = 300;
  for (int i = 0; i < kN; ++i) {
    ASSERT_EQ(ConvertDrawing(src[i], t / ("seq" + std::to_string(i) + ".png"), o).status, ConvertStatus::Ok);
  }
  std::vector<std::thread> threads;
  std::vector<ConvertStatus> status(kN, ConvertStatus::Failed);
  for (int i = 0; i < kN; ++i) {
    threads.emplace_back([&, i] { status[i] = ConvertDrawing(src[i], t / ("par" + std::to_string(i) + ".png"), o).status; });
  }
  for (auto& th : threads) th.join();
  for (int i = 0; i < kN; ++i) {
    EXPECT_EQ(status[i], ConvertStatus::Ok);
    const LoadedImage a = LoadImageFile(t / ("seq" + std::to_string(i) + ".png"));
    const LoadedImage b = LoadImageFile(t / ("par" + std::to_string(i) + ".png"));
    ASSERT_TRUE(a.ok() && b.ok());
    EXPECT_EQ(a.bitmap.pixels, b.bitmap.pixels) << i;
  }
}

}  // namespace
}  // namespace zumen
