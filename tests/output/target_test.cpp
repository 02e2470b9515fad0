// The targets behind the output seam: vector pages (SVG, PDF) that place the
// renderer's pixel grid on a page of the frame's true size, keep text as text
// in PDF and carry bitmaps; the WebP target's size limit; deliveries into
// memory and files. The pages are read back by rsvg-convert, pdftoppm,
// pdfinfo, pdftotext and pdfimages.
#include "output/target.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <tuple>

#include "canvas/cairo_canvas.h"
#include "codecs/image_io.h"
#include "support/picture_tools.h"
#include "support/temp_dir.h"

namespace zumen {
namespace {

using testing::TempDir;

constexpr double kPt = 72 / 25.4;

bool HavePageTools() {
  for (const char* t : {"rsvg-convert", "pdftoppm", "pdfinfo", "pdftotext", "pdfimages"}) {
    if (!testing::HaveTool(t)) return false;
  }
  return true;
}

#define REQUIRE_PAGE_TOOLS()                                                                       \
  if (!HavePageTools()) GTEST_SKIP() << "rsvg-convert and poppler-utils are needed to read pages"

// A vector target for the type drawing into bytes.
std::unique_ptr<PictureTarget> Page(OutputType type, std::vector<uint8_t>& bytes, int w, int h,
                                    const VectorPage& page) {
  std::string error;
  auto t = MakeTarget(Output::Memory(type, bytes), w, h, RenderOptions{}, error, page);
  EXPECT_TRUE(t) << error;
  return t;
}

void Rect(Canvas& c, double l, double t, double r, double b, uint32_t argb) {
  c.SetFillSolid(argb);
  c.FillPolygon({{static_cast<float>(l), static_cast<float>(t)},
                 {static_cast<float>(r), static_cast<float>(t)},
                 {static_cast<float>(r), static_cast<float>(b)},
                 {static_cast<float>(l), static_cast<float>(b)}},
                1.0);
}

::testing::AssertionResult Near(uint32_t actual, uint32_t expected) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(static_cast<int>((actual >> shift) & 0xFF) - static_cast<int>((expected >> shift) & 0xFF)) > 8)
      return ::testing::AssertionFailure() << std::hex << "0x" << actual << " is not near 0x" << expected;
  }
  return ::testing::AssertionSuccess();
}

bool IsDark(uint32_t argb) { return ((argb >> 16) & 0xFF) < 80 && ((argb >> 8) & 0xFF) < 80 && (argb & 0xFF) < 80; }
bool IsLight(uint32_t argb) { return ((argb >> 16) & 0xFF) > 200 && ((argb >> 8) & 0xFF) > 200 && (argb & 0xFF) > 200; }

Bitmap Rasterise(OutputType type, const std::string& file, int w, int h, const TempDir& t) {
  return type == OutputType::Svg ? testing::RasteriseSvg(file, w, h, t.dir()) : testing::RasterisePdf(file, w, h, t.dir());
}

std::pair<double, double> PageSize(OutputType type, const std::string& file) {
  const auto size = type == OutputType::Svg ? testing::SvgPageSize(testing::ReadAll(file)) : testing::PdfPageSize(file);
  EXPECT_TRUE(size) << file;
  return size.value_or(std::make_pair(0.0, 0.0));
}

// The page is the frame at its size; the frame, fitted into the grid and
// centred on it, covers the page exactly, and what lies outside the frame is
// off the page.
TEST(VectorTargetTest, TheFrameFillsThePageAtItsTrueSize) {
  REQUIRE_PAGE_TOOLS();
  TempDir t;
  // A frame of 100 x 50 mm fitted at 2 px/mm into a grid of 300 x 100
  // pixels: it spans columns 50 to 250.
  const VectorPage page{100, 50, 2};
  for (OutputType type : {OutputType::Svg, OutputType::Pdf}) {
    SCOPED_TRACE(OutputTypeName(type));
    std::vector<uint8_t> bytes;
    auto target = Page(type, bytes, 300, 100, page);
    ASSERT_TRUE(target);
    ASSERT_EQ(target->Paint([&](Canvas& c) {
      c.Clear(0xFFFFFFFF);
      Rect(c, 0, 0, 50, 100, 0xFFFF0000);     // left of the frame: off the page
      Rect(c, 50, 0, 150, 100, 0xFF000000);   // the frame's left half
      Rect(c, 250, 0, 300, 100, 0xFFFF0000);  // right of the frame
    }), "");
    const std::string file = t.Write(std::string("page.") + OutputTypeName(type), bytes);
    const auto [w, h] = PageSize(type, file);
    EXPECT_NEAR(w, 100 * kPt, 0.01);
    EXPECT_NEAR(h, 50 * kPt, 0.01);
    // At 10 pixels a millimetre.
    const Bitmap b = Rasterise(type, file, 1000, 500, t);
    ASSERT_EQ(b.width, 1000);
    for (int y : {5, 250, 494}) {
      EXPECT_TRUE(IsDark(b.at(5, y))) << y;
      EXPECT_TRUE(IsDark(b.at(494, y))) << y;
      EXPECT_TRUE(IsLight(b.at(506, y))) << y;
      EXPECT_TRUE(IsLight(b.at(994, y))) << y;
    }
  }
}

// A frame with no extent across (a symbol that is one straight line) still
// gets a page that viewers open; without a page the grid at the options'
// resolution is the page; frames larger than any paper are refused.
TEST(VectorTargetTest, PagesWithoutAreaOrWithoutAFrame) {
  REQUIRE_PAGE_TOOLS();
  TempDir t;
  std::vector<uint8_t> bytes;
  auto flat = Page(OutputType::Pdf, bytes, 10, 60, VectorPage{0, 30, 2});
  ASSERT_TRUE(flat);
  ASSERT_EQ(flat->Paint([](Canvas& c) { c.Clear(0xFFFFFFFF); }), "");
  auto [w, h] = PageSize(OutputType::Pdf, t.Write("flat.pdf", bytes));
  EXPECT_NEAR(w, 1 * kPt, 0.01);
  EXPECT_NEAR(h, 30 * kPt, 0.01);

  RenderOptions o;
  o.dpi = 72;
  std::string error;
  auto grid = MakeTarget(Output::Memory(OutputType::Svg, bytes), 144, 72, o, error);
  ASSERT_TRUE(grid) << error;
  ASSERT_EQ(grid->Paint([](Canvas& c) { c.Clear(0xFFFFFFFF); }), "");
  std::tie(w, h) = PageSize(OutputType::Svg, t.Write("grid.svg", bytes));
  EXPECT_NEAR(w, 144, 0.01);
  EXPECT_NEAR(h, 72, 0.01);

  // Damaged extents make frames no paper has; Cairo would fail on them.
  for (double side : {2e6, 1e300, std::nan("")}) {
    error.clear();
    EXPECT_FALSE(MakeTarget(Output::Memory(OutputType::Pdf, bytes), 100, 100, o, error, VectorPage{side, 10, 1e-5}));
    EXPECT_NE(error.find("at most 1000000 mm"), std::string::npos) << error;
  }
  EXPECT_TRUE(MakeTarget(Output::Memory(OutputType::Pdf, bytes), 100, 100, o, error, VectorPage{1e6, 10, 1e-4}));
}

// Text drawn on a PDF page is text that a reader finds, in the fonts the
// canvas chose.
TEST(VectorTargetTest, TextIsTextInPdf) {
  REQUIRE_PAGE_TOOLS();
  TempDir t;
  std::vector<uint8_t> bytes;
  auto target = Page(OutputType::Pdf, bytes, 400, 100, VectorPage{200, 50, 2});
  ASSERT_TRUE(target);
  ASSERT_EQ(target->Paint([&](Canvas& c) {
    c.Clear(0xFFFFFFFF);
    FontSpec f;
    f.family = u"ＭＳ ゴシック";
    f.sizePx = 30;
    c.SetFont(f);
    c.SetFillSolid(0xFF000000);
    c.FillText(10, 10, 390, 60, u"図面 Plan-7", 1.0);
    f.family = u"ＭＳ 明朝";
    c.SetFont(f);
    // A character no font has is drawn as the font's missing-glyph box, which
    // stands for no character of its own: the text says which one it was.
    c.FillText(10, 50, 390, 90, u"寸法\uE000", 1.0);
  }), "");
  const std::string pdf = t.Write("text.pdf", bytes);
  const std::optional<std::string> text = testing::RunOutput("pdftotext " + testing::Quoted(pdf) + " -");
  ASSERT_TRUE(text);
  EXPECT_NE(text->find("図面 Plan-7"), std::string::npos) << *text;
  EXPECT_NE(text->find("寸法\uE000"), std::string::npos) << *text;
  const std::optional<std::string> fonts = testing::RunOutput("pdffonts " + testing::Quoted(pdf));
  ASSERT_TRUE(fonts);
  EXPECT_NE(fonts->find("IPA"), std::string::npos) << *fonts;
}

// Bitmaps are carried as images in both; plain figures never fall back to
// pixels (Cairo rasterises what a page cannot express).
TEST(VectorTargetTest, BitmapsAreImagesAndFiguresStayVectors) {
  REQUIRE_PAGE_TOOLS();
  TempDir t;
  // Red, with a blue bottom-right quarter.
  Bitmap picture(8, 8, 0xFFFF0000);
  for (int y = 4; y < 8; ++y) {
    for (int x = 4; x < 8; ++x) picture.at(x, y) = 0xFF0000FF;
  }
  for (OutputType type : {OutputType::Svg, OutputType::Pdf}) {
    SCOPED_TRACE(OutputTypeName(type));
    for (bool withBitmap : {false, true}) {
      std::vector<uint8_t> bytes;
      auto target = Page(type, bytes, 200, 100, VectorPage{100, 50, 2});
      ASSERT_TRUE(target);
      ASSERT_EQ(target->Paint([&](Canvas& c) {
        c.Clear(0x00000000);  // transparent
        c.SetStroke(0xFF000000, 2, DashStyle::DashDot);
        c.StrokeLine(0, 0, 200, 100, 0.5);
        c.SetFillLinearGradient(0, 0, 1, 1, {{0, 0xFF00FF00}, {1, 0x800000FF}});
        c.FillPolygon({{150, 10}, {190, 10}, {190, 40}}, 0.7);
        Bitmap tile(2, 2, 0xFFFFFFFF);
        tile.at(0, 0) = 0xFF000000;
        c.SetFillBitmap(tile);
        c.FillPolygon({{150, 60}, {190, 60}, {190, 90}, {150, 90}}, 1.0);
        c.SetPixel(5, 95, 0xFF000000);
        if (withBitmap) c.DrawBitmap(picture, 0, 0, 8, 8, 20, 20, 100, 80, 1.0);
      }), "");
      const std::string file = t.Write(std::string("figures.") + OutputTypeName(type), bytes);
      if (type == OutputType::Pdf) {
        const std::optional<std::string> list = testing::RunOutput("pdfimages -list " + testing::Quoted(file));
        ASSERT_TRUE(list);
        // A header of two lines, then one line an image.
        const long lines = std::count(list->begin(), list->end(), '\n');
        EXPECT_EQ(lines, withBitmap ? 3 : 2) << *list;
      } else {
        // The tile of the pattern fill, and the bitmap.
        const std::string svg = testing::ReadAll(file);
        size_t images = 0;
        for (size_t at = svg.find("<image"); at != std::string::npos; at = svg.find("<image", at + 1)) ++images;
        EXPECT_EQ(images, withBitmap ? 2u : 1u);
      }
      if (!withBitmap) continue;
      const Bitmap b = Rasterise(type, file, 200, 100, t);
      ASSERT_EQ(b.width, 200);
      EXPECT_TRUE(Near(b.at(40, 35), 0xFFFF0000));  // in the red part
      EXPECT_TRUE(Near(b.at(80, 65), 0xFF0000FF));  // in the blue quarter
    }
  }
}

// Pages and pictures are the same bytes every time they are made (batches
// compare files); a file output is written whole or not at all.
TEST(VectorTargetTest, RepeatableBytesAndWholeFiles) {
  TempDir t;
  auto draw = [](const Output& out) {
    std::string error;
    auto target = MakeTarget(out, 120, 80, RenderOptions{}, error, VectorPage{60, 40, 2});
    EXPECT_TRUE(target) << error;
    if (!target) return std::string("no target");
    return target->Paint([&](Canvas& c) {
      c.Clear(0xFFFFFFFF);
      FontSpec f;
      f.sizePx = 12;
      c.SetFont(f);
      c.FillText(5, 5, 100, 20, u"A-1", 1.0);
      c.DrawBitmap(Bitmap(3, 3, 0xFF00FF00), 0, 0, 3, 3, 10, 30, 40, 60, 1.0);
    });
  };
  for (OutputType type : {OutputType::Svg, OutputType::Pdf}) {
    SCOPED_TRACE(OutputTypeName(type));
    std::vector<uint8_t> first, second;
    ASSERT_EQ(draw(Output::Memory(type, first)), "");
    ASSERT_EQ(draw(Output::Memory(type, second)), "");
    EXPECT_FALSE(first.empty());
    EXPECT_TRUE(first == second);

    const std::string file = t.Write(std::string("page") + OutputTypeExtension(type), "old");
    ASSERT_EQ(draw(Output::File(file)), "");
    const std::string written = testing::ReadAll(file);
    EXPECT_EQ(written, std::string(first.begin(), first.end()));

    const std::string nowhere = t / "missing/page.pdf";
    EXPECT_NE(draw(Output::File(nowhere, type)), "");
    EXPECT_FALSE(std::filesystem::exists(nowhere));
  }
  size_t entries = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(t.dir())) ++entries;
  EXPECT_EQ(entries, 2u);  // page.svg and page.pdf, no temporary file left
}

// WebP pictures are lossless unless a quality is asked for; sides beyond the
// format's limit are refused with zumen's own message before anything is drawn.
TEST(WebpTargetTest, LosslessByDefaultAndRefusedBeyondTheLimit) {
  std::vector<uint8_t> bytes;
  std::string error;
  RenderOptions o;
  auto target = MakeTarget(Output::Memory(OutputType::Webp, bytes), 30, 20, o, error);
  ASSERT_TRUE(target) << error;
  ASSERT_EQ(target->Paint([](Canvas& c) {
    c.Clear(0xFFFFFFFF);
    c.SetStroke(0xFFFF0000, 3, DashStyle::Solid);
    c.StrokeLine(0, 0, 30, 20, 1.0);
  }), "");
  const LoadedImage back = LoadImageMemory(bytes);
  ASSERT_TRUE(back.ok()) << back.error;
  EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "VP8L");
  EXPECT_EQ(back.bitmap.at(15, 10), 0xFFFF0000u);

  o.encoder.quality = 80;
  target = MakeTarget(Output::Memory(OutputType::Webp, bytes), 30, 20, o, error);
  ASSERT_TRUE(target) << error;
  ASSERT_EQ(target->Paint([](Canvas& c) { c.Clear(0xFFFFFFFF); }), "");
  EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "VP8 ");

  error.clear();
  EXPECT_FALSE(MakeTarget(Output::Memory(OutputType::Webp, bytes), 16384, 10, o, error));
  EXPECT_NE(error.find("at most 16383 pixels"), std::string::npos) << error;
  EXPECT_TRUE(MakeTarget(Output::Memory(OutputType::Webp, bytes), 16383, 10, o, error));
}

}  // namespace
}  // namespace zumen
