// The rasteriser choice: raster pictures drawn with zumen's thin-stroke
// rasteriser (the default) and with Cairo's stroking show the same drawing,
// differing only by a few levels along the edges of thin strokes; vector
// pages do not depend on it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/fixtures.h"
#include "zumen/zumen.h"

namespace zumen {
namespace {

// How two pictures of the same size differ.
struct Difference {
  size_t pixels = 0;     // all of them
  size_t over32 = 0;     // those with a channel more than 32 levels off
  size_t differing = 0;  // those with any channel off
  int worst = 0;         // largest difference of a channel
};

Difference Compare(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  Difference d;
  d.pixels = a.size() / 4;
  for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4) {
    int most = 0;
    for (size_t c = 0; c < 4; ++c) most = std::max(most, std::abs(a[i + c] - b[i + c]));
    d.worst = std::max(d.worst, most);
    d.over32 += most > 32;
    d.differing += most > 0;
  }
  return d;
}

std::vector<uint8_t> PixelsWith(const Drawing& d, Rasteriser rasteriser, int w, int h) {
  RenderOptions o;
  o.width = w;
  o.height = h;
  o.rasteriser = rasteriser;
  std::vector<uint8_t> px(static_cast<size_t>(w) * static_cast<size_t>(h) * 4, 0x55);
  const RenderResult r = Render(d, o, Output::Pixels(px.data(), w, h, static_cast<size_t>(w) * 4));
  EXPECT_TRUE(r.status) << r.status.message;
  return px;
}

// At most 0.1 % of the pixels may differ by more than 32 levels in a channel:
// the two rasterisers give the edges of a thin stroke a few levels apart,
// never a stroke drawn by one and left out or moved by the other.
void ExpectClose(const Drawing& d, int w, int h) {
  const std::vector<uint8_t> zumen = PixelsWith(d, Rasteriser::Zumen, w, h);
  const std::vector<uint8_t> cairo = PixelsWith(d, Rasteriser::Cairo, w, h);
  const Difference diff = Compare(zumen, cairo);
  EXPECT_LE(diff.over32, diff.pixels / 1000) << diff.over32 << " pixels more than 32 levels off, the worst by "
                                            << diff.worst;
}

TEST(RasteriserTest, FixturesOfEveryKindLookTheSameWithEitherRasteriser) {
  for (const test::Fixture& f : test::EveryKindFixtures()) {
    SCOPED_TRACE(f.name);
    LoadOptions lo;
    const std::optional<Format> format = FormatFromName(f.name);
    ASSERT_TRUE(format);
    lo.format = *format;
    const Opened opened = Drawing::OpenBytes(f.bytes, lo);
    ASSERT_TRUE(opened) << opened.status.message;
    ExpectClose(opened.drawing, 1200, 849);
    // The choice reaches the canvas: the two pictures are not the same.
    EXPECT_GT(Compare(PixelsWith(opened.drawing, Rasteriser::Zumen, 600, 424),
                      PixelsWith(opened.drawing, Rasteriser::Cairo, 600, 424))
                  .differing,
              0u);
  }
}

TEST(RasteriserTest, VectorPagesDoNotDependOnTheRasteriser) {
  const std::vector<test::Fixture> fixtures = test::EveryKindFixtures();
  ASSERT_FALSE(fixtures.empty());
  LoadOptions lo;
  lo.format = FormatFromName(fixtures.front().name).value_or(Format::Jww);
  const Opened opened = Drawing::OpenBytes(fixtures.front().bytes, lo);
  ASSERT_TRUE(opened) << opened.status.message;
  for (OutputType type : {OutputType::Svg, OutputType::Pdf}) {
    SCOPED_TRACE(OutputTypeName(type));
    std::vector<uint8_t> pages[2];
    for (Rasteriser r : {Rasteriser::Zumen, Rasteriser::Cairo}) {
      RenderOptions o;
      o.rasteriser = r;
      ASSERT_TRUE(Render(opened.drawing, o, Output::Memory(type, pages[r == Rasteriser::Cairo])).status);
    }
    EXPECT_FALSE(pages[0].empty());
    EXPECT_TRUE(pages[0] == pages[1]);
  }
}

// Every corpus drawing at two sizes: one where a drawing's lines are a pixel
// or two wide, and a thumbnail's, where a symbol's lines are too (a symbol
// fills the picture, and its lines grow with it beyond the widths the
// rasteriser draws).
TEST(RasteriserTest, CorpusDrawingsLookTheSameWithEitherRasteriser) {
  const std::filesystem::path corpus = ZUMEN_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus at " << ZUMEN_CORPUS_DIR;
  int drawings = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(corpus)) {
    if (!e.is_regular_file() || !FormatFromName(e.path().string())) continue;
    const Opened opened = Drawing::Open(e.path().string());
    if (!opened) continue;
    SCOPED_TRACE(e.path().string());
    ExpectClose(opened.drawing, 2000, 1414);
    ExpectClose(opened.drawing, 120, 85);
    ++drawings;
  }
  EXPECT_GT(drawings, 0);
}

}  // namespace
}  // namespace zumen
