// Conversions keep their state in their own objects, so several can run side
// by side in one process and give the same pictures as one after another;
// drawings open from bytes and render into a caller's buffer.
#include <gtest/gtest.h>

#include <thread>

#include "codecs/image_io.h"
#include "zumen/zumen.h"
#include "support/jww_writer.h"
#include "support/temp_dir.h"

namespace zumen {
namespace {

using testing::TempDir;

std::vector<uint8_t> Plan(int variant) {
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

// The drawing rendered into an RGBA buffer of 400 x 300 pixels.
std::vector<uint8_t> Pixels(const Drawing& d) {
  std::vector<uint8_t> rgba(400 * 300 * 4);
  const RenderResult r = Render(d, RenderOptions{}, Output::Pixels(rgba.data(), 400, 300, 400 * 4));
  EXPECT_TRUE(r) << r.status.message;
  return rgba;
}

TEST(Parallel, DrawingsOpenFromBytesAndRenderIntoACallersBuffer) {
  const std::vector<uint8_t> bytes = Plan(0);
  LoadOptions load;
  load.format = Format::Jww;
  const Opened opened = Drawing::OpenBytes(bytes, load);
  ASSERT_TRUE(opened) << opened.status.message;
  const std::vector<uint8_t> rgba = Pixels(opened.drawing);
  // The same picture as the file rendered at the same size, as straight RGBA.
  TempDir t;
  RenderOptions o;
  o.width = 400;
  o.height = 300;
  const Opened file = Drawing::Open(t.Write("d.jww", bytes));
  ASSERT_TRUE(Render(file.drawing, o, Output::File(t / "d.png")));
  const LoadedImage png = LoadImageFile(t / "d.png");
  ASSERT_TRUE(png.ok());
  size_t ink = 0, differ = 0;
  for (size_t i = 0; i < png.bitmap.pixels.size(); ++i) {
    const uint32_t p = png.bitmap.pixels[i];
    const uint8_t* q = &rgba[i * 4];
    const uint32_t fromBuffer = (uint32_t{q[3]} << 24) | (uint32_t{q[0]} << 16) | (uint32_t{q[1]} << 8) | q[2];
    differ += p != fromBuffer ? 1 : 0;
    ink += p != 0xFFFFFFFF ? 1 : 0;
  }
  EXPECT_EQ(differ, 0u);
  EXPECT_GT(ink, 1000u);
  // Bytes without a format are recognised by their signature.
  EXPECT_TRUE(Drawing::OpenBytes(bytes));
}

TEST(Parallel, ThreadsRenderingAtOnceGetThePicturesOfRunsInTurn) {
  constexpr int kN = 4;
  std::vector<Drawing> drawings;
  for (int i = 0; i < kN; ++i) {
    const Opened o = Drawing::OpenBytes(Plan(i));
    ASSERT_TRUE(o) << o.status.message;
    drawings.push_back(o.drawing);
  }
  std::vector<std::vector<uint8_t>> inTurn;
  for (const Drawing& d : drawings) inTurn.push_back(Pixels(d));
  // Every drawing twice at once: different drawings and the same one side by side.
  std::vector<std::vector<uint8_t>> atOnce(2 * kN);
  std::vector<std::thread> threads;
  for (int i = 0; i < 2 * kN; ++i) threads.emplace_back([&, i] { atOnce[i] = Pixels(drawings[i % kN]); });
  for (auto& th : threads) th.join();
  for (int i = 0; i < 2 * kN; ++i) EXPECT_EQ(atOnce[i], inTurn[i % kN]) << i;
}

}  // namespace
}  // namespace zumen
