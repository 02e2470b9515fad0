// Pictures drawn in bands of rows, or in tiles by several threads, are the
// pictures drawn in one piece by one thread: the same pixels, and for the
// encoders the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>

#include "api/impl.h"
#include "codecs/image_io.h"
#include "codecs/row_encoder.h"
#include "common/files.h"
#include "support/jww_writer.h"
#include "support/temp_dir.h"
#include "zumen/zumen.h"

namespace zumen {
namespace {

// Bands of one row of tiles: the fixture's figures cross band edges. The
// drawing recorded once and drawn into every band, or (a recording of no
// bytes) drawn anew for each band.
Banding SmallBands(bool recorded = true) {
  Banding b;
  b.max_bitmap_bytes = 0;  // always in bands
  b.band_bytes = 1;        // one band: 256 rows
  if (!recorded) b.record_bytes = 0;
  return b;
}

// A3 with long diagonals, dashed and thick lines, circles, an arc, solids,
// texts and an image, all across band and tile edges.
std::vector<uint8_t> Crossing() {
  JwwWriter w(600);
  w.head.Enthd.nZumen = 3;
  w.Pen(1);
  w.Line(-200, -140, 200, 140);
  w.Line(-200, 140, 200, -140);
  for (int style = 2; style <= 9; ++style) {
    w.Pen(static_cast<uint16_t>(style % 8 + 1), static_cast<uint8_t>(style));
    w.Line(-190, -120 + style * 25, 190, -100 + style * 25);
    w.Circle(-120 + style * 30, 10, 20 + style * 3);
  }
  w.Pen(2, 1, 5);
  w.Line(-150, -130, -140, 130);
  w.Arc(60, -30, 70, 0.3, 4.0);
  w.Pen(3);
  w.Solid(-110, -70, -40, -70, -75, -20, -75, -20);
  w.Solid(100, -60, 180, -60, 180, 60, 100, 60);
  w.Pen(1);
  w.Text(-150, 45, u"図面 Plan-7 寸法 1:1", 12);
  w.Text(-30, -2, u"帯の境目 band edge", 9, 30);
  Bitmap picture(6, 4, 0xFF000000);
  for (int x = 0; x < 6; x += 2) picture.at(x, 1) = 0xFFFFFFFF;
  std::vector<uint8_t> png;
  EXPECT_TRUE(EncodeImage(ViewOf(picture), ImageFormat::Png, png));
  w.Image(u"mark.png.gz", png);
  w.Text(20, -80, u"^@BM%temp%mark.png,90");
  return w.Finish();
}

Opened OpenCrossing() {
  LoadOptions o;
  o.format = Format::Jww;
  return Drawing::OpenBytes(Crossing(), o);
}

std::vector<uint8_t> Rendered(const Drawing& d, const RenderOptions& o, OutputType type, const Banding& banding) {
  std::vector<uint8_t> bytes;
  const RenderResult r = RenderWith(d, o, Output::Memory(type, bytes), banding);
  EXPECT_TRUE(r.status) << r.status.message;
  return bytes;
}

RenderOptions SizeOf(int w, int h) {
  RenderOptions o;
  o.width = w;
  o.height = h;
  return o;
}

TEST(BandedTest, EveryBandedTypeGivesTheBytesOfTheWholePicture) {
  const Opened opened = OpenCrossing();
  ASSERT_TRUE(opened) << opened.status.message;
  for (Background background : {Background::Drawing, Background::Transparent}) {
    RenderOptions o = SizeOf(1200, 849);
    o.background = background;
    for (OutputType type : {OutputType::Png, OutputType::Tiff, OutputType::Bmp, OutputType::Jpeg}) {
      if (background == Background::Transparent && type != OutputType::Png && type != OutputType::Tiff) continue;
      SCOPED_TRACE(OutputTypeName(type));
      const std::vector<uint8_t> whole = Rendered(opened.drawing, o, type, Banding{});
      const std::vector<uint8_t> banded = Rendered(opened.drawing, o, type, SmallBands());
      ASSERT_FALSE(whole.empty());
      EXPECT_TRUE(whole == banded);
      EXPECT_TRUE(whole == Rendered(opened.drawing, o, type, SmallBands(false)));
      if (type != OutputType::Jpeg) {
        // And the picture is not blank: the fixture is drawn.
        const LoadedImage img = LoadImageMemory(banded);
        ASSERT_TRUE(img.ok()) << img.error;
        int inked = 0;
        for (uint32_t p : img.bitmap.pixels) inked += (p & 0xFFFFFF) != 0xFFFFFF && (p >> 24) != 0;
        EXPECT_GT(inked, 3000);
      }
    }
  }
}

TEST(BandedTest, PixelsOfACallersBufferAreThoseOfTheWholePicture) {
  const Opened opened = OpenCrossing();
  ASSERT_TRUE(opened);
  const int w = 1000, h = 707;
  std::vector<uint8_t> whole(static_cast<size_t>(w) * h * 4), banded(whole.size(), 0x55);
  ASSERT_TRUE(RenderWith(opened.drawing, {}, Output::Pixels(whole.data(), w, h, w * 4), Banding{}).status);
  for (bool recorded : {true, false}) {
    std::fill(banded.begin(), banded.end(), 0x55);
    ASSERT_TRUE(RenderWith(opened.drawing, {}, Output::Pixels(banded.data(), w, h, w * 4), SmallBands(recorded)).status);
    EXPECT_TRUE(whole == banded) << recorded;
  }
}

// Calls check on every corpus drawing that opens, its path traced; the
// number of drawings, or -1 when there is no corpus.
int ForEachCorpusDrawing(const std::function<void(const Drawing&)>& check) {
  const std::filesystem::path corpus = ZUMEN_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) return -1;
  int drawings = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(corpus)) {
    if (!e.is_regular_file() || !FormatFromName(e.path().string())) continue;
    const Opened opened = Drawing::Open(e.path().string());
    if (!opened) continue;
    SCOPED_TRACE(e.path().string());
    check(opened.drawing);
    ++drawings;
  }
  return drawings;
}

TEST(BandedTest, CorpusDrawingsInBandsAreTheirWholePictures) {
  const int drawings = ForEachCorpusDrawing([](const Drawing& d) {
    const int w = 1600, h = 1131;
    std::vector<uint8_t> whole(static_cast<size_t>(w) * h * 4), banded(whole.size(), 0x55);
    ASSERT_TRUE(RenderWith(d, {}, Output::Pixels(whole.data(), w, h, w * 4), Banding{}).status);
    ASSERT_TRUE(RenderWith(d, {}, Output::Pixels(banded.data(), w, h, w * 4), SmallBands()).status);
    EXPECT_TRUE(whole == banded);
  });
  if (drawings < 0) GTEST_SKIP() << "no corpus at " << ZUMEN_CORPUS_DIR;
  EXPECT_GT(drawings, 0);
}

// Many tiles, and PNG and TIFF data deflated in several segments.
constexpr int kThreadsW = 3000, kThreadsH = 2121;

std::vector<uint8_t> PixelsDrawnBy(const Drawing& d, int threads) {
  RenderOptions o = SizeOf(kThreadsW, kThreadsH);
  o.threads = threads;
  std::vector<uint8_t> px(static_cast<size_t>(kThreadsW) * kThreadsH * 4, 0x55);
  const RenderResult r = Render(d, o, Output::Pixels(px.data(), kThreadsW, kThreadsH, kThreadsW * 4));
  EXPECT_TRUE(r.status) << r.status.message;
  return px;
}

TEST(ThreadsTest, ThreadsDrawingTilesMakeTheOneThreadsPicture) {
  const Opened opened = OpenCrossing();
  ASSERT_TRUE(opened) << opened.status.message;
  const std::vector<uint8_t> one = PixelsDrawnBy(opened.drawing, 1);
  for (int threads : {2, 3, 8}) {
    SCOPED_TRACE(threads);
    EXPECT_TRUE(PixelsDrawnBy(opened.drawing, threads) == one);
  }
  // And the files: PNG and TIFF deflated by one thread or several are the
  // same bytes.
  for (OutputType type : {OutputType::Png, OutputType::Tiff, OutputType::Bmp}) {
    SCOPED_TRACE(OutputTypeName(type));
    RenderOptions o = SizeOf(kThreadsW, kThreadsH);
    o.threads = 1;
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(Render(opened.drawing, o, Output::Memory(type, a)).status);
    o.threads = 3;
    ASSERT_TRUE(Render(opened.drawing, o, Output::Memory(type, b)).status);
    EXPECT_TRUE(a == b);
  }
}

// A symbol of four lines and a text whose large glyphs cross the edges of
// the tiles of a 2400 x 1800 picture. Cairo composites a glyph that crosses
// its surface's edge by another way than one inside it: each tile's part of
// a glyph must not depend on the thread that draws it.
std::vector<uint8_t> TextAcrossTileSeams() {
  JwwWriter w(600, JwwWriter::Format::kJws);
  w.Pen(1);
  w.Line(0, 0, 100, 0);
  w.Line(100, 0, 100, 75);
  w.Line(100, 75, 0, 75);
  w.Line(0, 75, 0, 0);
  w.Text(5, 30, u"注意書き習", 16);
  return w.Finish();
}

TEST(ThreadsTest, AGlyphAcrossTileSeamsIsTheSameForEveryNumberOfThreads) {
  LoadOptions lo;
  lo.format = Format::Jws;
  const Opened opened = Drawing::OpenBytes(TextAcrossTileSeams(), lo);
  ASSERT_TRUE(opened) << opened.status.message;
  RenderOptions o = SizeOf(2400, 1800);
  std::vector<uint8_t> one;
  for (int threads : {1, 2, 3, 7}) {
    SCOPED_TRACE(threads);
    o.threads = threads;
    std::vector<uint8_t> png;
    ASSERT_TRUE(Render(opened.drawing, o, Output::Memory(OutputType::Png, png)).status);
    if (one.empty()) one = png;
    EXPECT_TRUE(png == one);
  }
}

// Every corpus drawing: the same pixels whatever the number of threads; and for the drawings (not
// the symbols) every raster type the same bytes, its encoder on one thread
// or several.
TEST(ThreadsTest, CorpusPicturesAreTheSameForEveryNumberOfThreads) {
  const int drawings = ForEachCorpusDrawing([](const Drawing& d) {
    const std::vector<uint8_t> one = PixelsDrawnBy(d, 1);
    for (int threads : {2, 3, 7}) EXPECT_TRUE(PixelsDrawnBy(d, threads) == one) << threads << " threads";
    if (IsSymbol(d.format())) return;
    for (OutputType type : {OutputType::Png, OutputType::Tiff, OutputType::Bmp, OutputType::Jpeg, OutputType::Gif,
                            OutputType::Webp}) {
      RenderOptions o = SizeOf(kThreadsW, kThreadsH);
      std::vector<uint8_t> a, b;
      o.threads = 1;
      ASSERT_TRUE(Render(d, o, Output::Memory(type, a)).status);
      o.threads = 7;
      ASSERT_TRUE(Render(d, o, Output::Memory(type, b)).status);
      EXPECT_TRUE(a == b) << OutputTypeName(type);
    }
  });
  if (drawings < 0) GTEST_SKIP() << "no corpus at " << ZUMEN_CORPUS_DIR;
  EXPECT_GT(drawings, 0);
}

// A symbol one damaged coordinate makes a million millimetres long: at the
// default 150 dpi its picture would be 5,905,512 x 10 pixels.
Opened OpenThinSymbol(double length) {
  JwwWriter w(600, JwwWriter::Format::kJws);
  w.Pen(1);
  w.Line(0, 0, length, 0);
  w.Line(0, 0, 0, 1);
  w.Text(0, 0, u"A", 1);
  LoadOptions lo;
  lo.format = Format::Jws;
  return Drawing::OpenBytes(w.Finish(), lo);
}

TEST(BandedTest, APictureWithASideBeyondTheLimitIsRefusedBeforeDrawing) {
  const Opened opened = OpenThinSymbol(1e6);
  ASSERT_TRUE(opened) << opened.status.message;
  int w = 0, h = 0;
  const Status s = PictureSize(opened.drawing, {}, w, h);
  EXPECT_EQ(s.code, StatusCode::TooLarge);
  EXPECT_EQ(s.message, "a bitmap of 5905512 x 10 pixels is too large: a side may have at most 65535 pixels");
  std::vector<uint8_t> png;
  const RenderResult r = Render(opened.drawing, {}, Output::Memory(OutputType::Png, png));
  EXPECT_EQ(r.status.code, StatusCode::TooLarge);
  EXPECT_TRUE(png.empty());
}

TEST(BandedTest, BandsOfVeryWideOrTallPicturesAreSizedByBytes) {
  // Rows so wide that a row of tiles would exceed what a band may take:
  // bands of a single row; wide pictures: bands of one row of tiles; tall
  // narrow pictures: bands of many rows. Either way the picture is the one
  // drawn whole.
  EXPECT_EQ(BandRowUnit(1600), 128);
  EXPECT_EQ(BandRowUnit(100), 256);
  EXPECT_EQ(BandRowUnit(300000), 1);
  const Opened opened = OpenThinSymbol(200);
  ASSERT_TRUE(opened) << opened.status.message;
  Banding bands;
  bands.max_bitmap_bytes = 0;
  bands.band_bytes = 40000;
  for (const auto& [w, h] : {std::pair{300000, 3}, std::pair{12000, 40}, std::pair{30, 9000}}) {
    SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h));
    RenderOptions o = SizeOf(w, h);
    o.max_side = 300000;
    EXPECT_TRUE(Rendered(opened.drawing, o, OutputType::Png, Banding{}) == Rendered(opened.drawing, o, OutputType::Png, bands));
  }
}

TEST(BandedTest, PicturesBeyondACairoSurfaceAreMadeInBands) {
  testing::TempDir t;
  const Opened opened = OpenCrossing();
  ASSERT_TRUE(opened);
  struct Case {
    int w, h;
  };
  for (const Case& c : {Case{40000, 3}, Case{2, 40000}}) {
    const std::string out = t / "wide.png";
    const RenderResult r = Render(opened.drawing, SizeOf(c.w, c.h), Output::File(out));
    ASSERT_TRUE(r.status) << r.status.message;
    const LoadedImage img = LoadImageFile(out);
    ASSERT_TRUE(img.ok()) << img.error;
    EXPECT_EQ(img.bitmap.width, c.w);
    EXPECT_EQ(img.bitmap.height, c.h);
  }
}

}  // namespace
}  // namespace zumen
