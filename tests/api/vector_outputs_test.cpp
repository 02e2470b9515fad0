// SVG, PDF and WebP through the public interface. A vector page is the frame
// (the paper; for symbols their extents) at 1:1, with no margin; drawn by the
// same renderer, it must show what the PNG of the same frame without margin
// shows. Other programs judge: rsvg-convert and pdftoppm rasterise the pages
// at the PNG's pixel size, pdfinfo reads the page size, dwebp and netpbm's
// decoders open the raster pictures.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <numbers>
#include <thread>

#include "codecs/image_io.h"
#include "common/cp932.h"
#include "support/jwc_writer.h"
#include "support/jww_writer.h"
#include "support/k4_writer.h"
#include "support/picture_tools.h"
#include "support/temp_dir.h"
#include "zumen/zumen.h"

namespace zumen {
namespace {

namespace fs = std::filesystem;
using testing::TempDir;

constexpr double kPt = 72 / 25.4;
constexpr double kMinInkMatch = 0.95;

bool HaveTools(std::initializer_list<const char*> tools) {
  for (const char* t : tools) {
    if (!testing::HaveTool(t)) return false;
  }
  return true;
}

#define REQUIRE_TOOLS(...)                  \
  if (!HaveTools({__VA_ARGS__}))            \
  GTEST_SKIP() << "needs " #__VA_ARGS__ " (scripts/install-deps.sh installs them)"

// ------------------------------------------------------------------ fixtures

// JWW on A4 with black pens: a frame of lines, a circle, a filled triangle,
// texts and a placed picture.
std::vector<uint8_t> JwwPlan() {
  JwwWriter w(700);
  w.Paper(4);
  for (auto& g : w.head.EntLgrp) g.anGLay = 2;
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  for (int pen = 1; pen <= 3; ++pen) w.head.EntCol[static_cast<size_t>(pen)].aPrtPenColor = 0x000000;
  w.head.EntCol[0].aPrtPenColor = 0xFFFFFF;
  w.Pen(1);
  w.Line(-130, -90, 130, -90);
  w.Line(130, -90, 130, 90);
  w.Line(130, 90, -130, 90);
  w.Line(-130, 90, -130, -90);
  w.Pen(2, 2);
  w.Circle(60, 20, 40);
  w.Pen(3);
  w.Solid(-110, -70, -40, -70, -75, -20, -75, -20);
  w.Pen(1);
  w.Text(-110, 50, u"図面 Plan-7", 8);
  w.Text(-110, 30, u"寸法 1:1", 5);
  Bitmap picture(6, 4, 0xFF000000);
  for (int x = 0; x < 6; x += 2) picture.at(x, 1) = 0xFFFFFFFF;
  std::vector<uint8_t> png;
  EXPECT_TRUE(EncodeImage(ViewOf(picture), ImageFormat::Png, png));
  w.Image(u"mark.png.gz", png);
  w.Text(20, -80, u"^@BM%temp%mark.png,60");
  return w.Finish();
}

// JWS: a symbol sized to its own extents.
std::vector<uint8_t> JwsSymbol() {
  JwwWriter w(600, JwwWriter::Format::kJws);
  w.Pen(2);
  w.Line(0, 0, 80, 0);
  w.Line(80, 0, 80, 40);
  w.Line(0, 40, 80, 40);
  w.Line(0, 0, 0, 40);
  w.Circle(40, 20, 15);
  w.Text(5, 30, u"扉 D2", 6);
  return w.Finish();
}

// JWC on A3: coordinates in units of 420 mm / 518.
std::vector<uint8_t> JwcPlan() {
  test::JwcFile f;
  f.psize = 3;
  const auto u = [](double mm) { return static_cast<float>(mm * 518.0 / 420.0); };
  for (int i = 0; i < 3; ++i) {
    const float y = u(250 - 40 * i);
    f.lines.push_back({u(30), y, u(380), y, 2, 1});
  }
  f.arcs.push_back({u(200), u(80), u(50), 10000, 0, 0, 0, 2, 1});
  f.Text(u(40), u(40), u(200), u(40), StrToAnsi(u"JWC 平面図"), 5);
  return f.Build();
}

// JWK: a symbol of lines, an arc and a text.
std::vector<uint8_t> JwkSymbol() {
  test::JwkFile k;
  k.lines.push_back({0, 0, 50, 0, 2, 1});
  k.lines.push_back({50, 0, 25, 40, 2, 1});
  k.lines.push_back({25, 40, 0, 0, 2, 1});
  k.arcs.push_back({25, 15, 10, 10000, 0, 0, 0, 2, 1});
  k.Text(5, -12, 45, -12, "K-2", 3);
  return k.Build();
}

// K4 on a 200 x 150 paper: lines, a circle and a text in black.
std::vector<uint8_t> K4Plan() {
  test::K4Writer w;
  TK4PaperSize paper;
  paper.size = {{{0, 0}, {200, 150}}};
  std::array<TK4TextStyle, 21> styles{};
  styles[1].font = u"ＭＳ 明朝";
  styles[1].hight = 10;
  styles[1].width = 10;
  w.Title(u"vector").Paper(paper).TextStyles(styles);
  for (int i = 0; i < 4; ++i) {
    TK4ObjectLine l;
    l.head.attr = test::K4Attr(0, 0, 2, 0);
    l.p1 = {20, 20.0 + 30 * i};
    l.p2 = {180, 30.0 + 30 * i};
    w.Line(l);
  }
  TK4ObjectCircle c;
  c.head.attr = test::K4Attr(0, 0, 2, 0);
  c.pos = {100, 75};
  c.r = 40;
  w.Circle(c);
  TK4ObjectText t;
  t.head.attr = test::K4Attr(0, 0, 2, 0);
  t.pos = {30, 130};
  t.style = 1;
  t.text = u"K4 立面図";
  w.Text(t);
  return w.bytes();
}

// The JWW fixture, opened from a file in t.
Drawing OpenPlan(const TempDir& t) {
  const Opened opened = Drawing::Open(t.Write("plan.jww", JwwPlan()));
  EXPECT_TRUE(opened) << opened.status.message;
  return opened.drawing;
}

struct Fixture {
  const char* name;
  std::vector<uint8_t> (*make)();
};

const Fixture kFixtures[] = {
    {"plan.jww", JwwPlan}, {"door.jws", JwsSymbol}, {"plan.jwc", JwcPlan},
    {"valve.jwk", JwkSymbol}, {"plan.k4", K4Plan},
};

// ------------------------------------------------------------------ checks

// The PNG of the frame without margin at the options' resolution: what a
// vector page shows, in pixels.
Bitmap PngWithoutMargin(const Drawing& d, RenderOptions o) {
  o.margin = 0;
  std::vector<uint8_t> bytes;
  const RenderResult r = Render(d, o, Output::Memory(OutputType::Png, bytes));
  EXPECT_TRUE(r) << r.status.message;
  LoadedImage img = LoadImageMemory(bytes);
  EXPECT_TRUE(img.ok()) << img.error;
  return std::move(img.bitmap);
}

// A picture pair that does not match goes to ink-failures/ in the build
// folder: NAME.png (zumen's) and NAME.svg.png or NAME.pdf.png (rasterised).
void KeepForLooking(const std::string& name, const Bitmap& ours, const Bitmap& theirs, OutputType type) {
  const fs::path dir = fs::path(ZUMEN_BINARY_DIR) / "ink-failures";
  std::error_code ec;
  fs::create_directories(dir, ec);
  std::string flat = name;
  for (char& c : flat) {
    if (c == '/') c = '_';
  }
  SaveImageFile(ours, (dir / (flat + ".png")).string());
  SaveImageFile(theirs, (dir / (flat + "." + OutputTypeName(type) + ".png")).string());
}

struct PageFigures {
  double svgInk = 0, pdfInk = 0;
};

// Whether the page of the named drawing is the box of what is drawn rather
// than its frame: symbols (JWS, JWK) fitted by what they draw.
bool FitsWhatIsDrawn(const std::string& name, const RenderOptions& options) {
  std::string ext = name.size() >= 4 ? name.substr(name.size() - 4) : "";
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return options.fit_drawn && (ext == ".jws" || ext == ".jwk");
}

// Converts d to SVG and PDF with the options and checks the pages: their size
// is the frame in millimetres, and rasterised at the PNG's pixel size they
// carry the PNG's ink.
PageFigures CheckPages(const Drawing& d, const RenderOptions& options, const std::string& name) {
  TempDir t;
  PageFigures figures;
  const Bitmap png = PngWithoutMargin(d, options);
  EXPECT_GT(testing::DarkPixels(png), 50) << name << ": the PNG has no ink to compare";
  const DrawingInfo& info = d.Info();
  for (OutputType type : {OutputType::Svg, OutputType::Pdf}) {
    SCOPED_TRACE(name + OutputTypeExtension(type));
    const std::string file = t / (std::string("page") + OutputTypeExtension(type));
    const RenderResult r = Render(d, options, Output::File(file));
    EXPECT_TRUE(r) << r.status.message;
    EXPECT_EQ(r.width, png.width);
    EXPECT_EQ(r.height, png.height);
    const auto size = type == OutputType::Svg ? testing::SvgPageSize(testing::ReadAll(file)) : testing::PdfPageSize(file);
    EXPECT_TRUE(size);
    if (size && FitsWhatIsDrawn(name, options)) {
      // A symbol's page is the box of what is drawn: its extents grown by
      // the texts' cells and pens, as wide as its picture at 254 dpi (a
      // tenth of a millimetre a pixel).
      RenderOptions tenth = options;
      tenth.width = tenth.height = 0;
      tenth.dpi = 254;
      int w = 0, h = 0;
      EXPECT_TRUE(PictureSize(d, tenth, w, h));
      EXPECT_GE(size->first, info.paper_width_mm * kPt - 0.01);
      EXPECT_GE(size->second, info.paper_height_mm * kPt - 0.01);
      EXPECT_NEAR(size->first, std::max(w * 0.1, 1.0) * kPt, 0.3);
      EXPECT_NEAR(size->second, std::max(h * 0.1, 1.0) * kPt, 0.3);
    } else if (size) {
      // pdfinfo prints two decimals. A page is at least 1 mm a side (a
      // symbol of one point or one straight line has no extent across).
      EXPECT_NEAR(size->first, std::max(info.paper_width_mm, 1.0) * kPt, 0.01);
      EXPECT_NEAR(size->second, std::max(info.paper_height_mm, 1.0) * kPt, 0.01);
    }
    const Bitmap theirs = type == OutputType::Svg ? testing::RasteriseSvg(file, png.width, png.height, t.dir())
                                                  : testing::RasterisePdf(file, png.width, png.height, t.dir());
    EXPECT_EQ(theirs.width, png.width);
    EXPECT_EQ(theirs.height, png.height);
    // The paper's edge is the sheet's: the frame drawn on it lies half off
    // the page, and rasterisers show such half lines each their own way.
    const double ink = testing::InkMatch(png, theirs, 1);
    EXPECT_GE(ink, kMinInkMatch);
    if (ink < kMinInkMatch) KeepForLooking(name, png, theirs, type);
    (type == OutputType::Svg ? figures.svgInk : figures.pdfInk) = ink;
  }
  return figures;
}

// ------------------------------------------------------------------ tests

TEST(VectorOutputs, EveryFamilyMakesPagesOfItsFrameWithThePngsInk) {
  REQUIRE_TOOLS("rsvg-convert", "pdftoppm", "pdfinfo");
  TempDir t;
  for (const Fixture& f : kFixtures) {
    const Opened opened = Drawing::Open(t.Write(f.name, f.make()));
    ASSERT_TRUE(opened) << f.name << ": " << opened.status.message;
    ASSERT_TRUE(opened.drawing.Info().read_ok) << f.name << ": " << opened.drawing.Info().read_error;
    RenderOptions o;
    o.dpi = 200;
    CheckPages(opened.drawing, o, f.name);
    // A pixel grid of another shape than the frame: the page is still the
    // frame, and the picture is the frame's part of the grid.
    o.width = 500;
    o.height = 500;
    TempDir pages;
    const std::string pdf = pages / "grid.pdf";
    o.fit_drawn = false;
    ASSERT_TRUE(Render(opened.drawing, o, Output::File(pdf)));
    const auto size = testing::PdfPageSize(pdf);
    ASSERT_TRUE(size);
    EXPECT_NEAR(size->first, opened.drawing.Info().paper_width_mm * kPt, 0.01) << f.name;
    EXPECT_NEAR(size->second, opened.drawing.Info().paper_height_mm * kPt, 0.01) << f.name;
  }
}

// Every drawing of the corpus, at the default resolution.
TEST(VectorOutputs, EveryCorpusDrawingMakesPagesWithThePngsInk) {
  REQUIRE_TOOLS("rsvg-convert", "pdftoppm", "pdfinfo");
  const fs::path corpus = ZUMEN_CORPUS_DIR;
  std::error_code ec;
  if (!fs::is_directory(corpus, ec)) GTEST_SKIP() << "no corpus at " << corpus;
  int drawings = 0;
  for (const auto& e : fs::recursive_directory_iterator(corpus, ec)) {
    if (!e.is_regular_file() || !FormatFromName(e.path().string())) continue;
    const Opened opened = Drawing::Open(e.path().string());
    if (!opened) continue;
    ++drawings;
    const std::string name = fs::relative(e.path(), corpus).string();
    const PageFigures f = CheckPages(opened.drawing, RenderOptions{}, name);
    std::cout << "[ ink ] " << name << ": SVG " << f.svgInk * 100 << " %, PDF " << f.pdfInk * 100 << " %\n";
  }
  EXPECT_GT(drawings, 0);
}

// The page is the paper whatever its size, and a length on the paper is that
// length on the page: a 100 mm line measures 100 mm.
TEST(VectorOutputs, PagesAreThePaperAtTrueScale) {
  REQUIRE_TOOLS("pdfinfo", "pdftoppm", "rsvg-convert");
  TempDir t;
  const struct {
    int32_t code;
    double w, h;  // mm
  } papers[] = {{0, 1189, 841}, {3, 420, 297}, {4, 297, 210}, {8, 1682, 1189}};
  for (const auto& p : papers) {
    JwwWriter w(700);
    w.Paper(p.code);
    w.head.EntCol[0].aPrtPenColor = 0xFFFFFF;
    for (auto& g : w.head.EntLgrp) g.anGLay = 2;
    for (auto& l : w.head.EntLay) l.aanLay = 2;
    w.head.EntCol[1].aPrtPenColor = 0x000000;
    w.Pen(1);
    w.Line(-50, 0, 50, 0);  // on the paper's centre line
    const Opened opened = Drawing::Open(t.Write("paper.jww", w.Finish()));
    ASSERT_TRUE(opened);
    RenderOptions o;
    o.dpi = 50;
    for (OutputType type : {OutputType::Svg, OutputType::Pdf}) {
      SCOPED_TRACE(std::to_string(p.code) + OutputTypeExtension(type));
      const std::string file = t / (std::string("paper") + OutputTypeExtension(type));
      ASSERT_TRUE(Render(opened.drawing, o, Output::File(file)));
      const auto size = type == OutputType::Svg ? testing::SvgPageSize(testing::ReadAll(file)) : testing::PdfPageSize(file);
      ASSERT_TRUE(size);
      EXPECT_NEAR(size->first, p.w * kPt, 0.01);
      EXPECT_NEAR(size->second, p.h * kPt, 0.01);
      if (type == OutputType::Svg) {
        // The SVG says its size in the paper's own unit.
        char mm[64];
        std::snprintf(mm, sizeof mm, "width=\"%.3fmm\" height=\"%.3fmm\"", p.w, p.h);
        EXPECT_NE(testing::ReadAll(file).find(mm), std::string::npos) << mm;
      }
      if (p.code != 4) continue;
      // A4 at 10 pixels a millimetre: the line spans columns 1435 to 1535.
      const Bitmap b = type == OutputType::Svg ? testing::RasteriseSvg(file, 2970, 2100, t.dir())
                                               : testing::RasterisePdf(file, 2970, 2100, t.dir());
      ASSERT_EQ(b.width, 2970);
      int first = -1, last = -1;
      for (int x = 0; x < b.width; ++x) {
        bool dark = false;
        for (int y = 1045; y <= 1055; ++y) dark = dark || (b.at(x, y) & 0xFF) < 128;
        if (dark && first < 0) first = x;
        if (dark) last = x;
      }
      EXPECT_NEAR(first, 985, 3);
      EXPECT_NEAR(last, 1985, 3);
    }
  }
}

// Text stays text in PDF: a reader finds it.
TEST(VectorOutputs, PdfTextCanBeFound) {
  REQUIRE_TOOLS("pdftotext");
  TempDir t;
  const Drawing plan = OpenPlan(t);
  ASSERT_TRUE(plan.valid());
  std::vector<uint8_t> bytes;
  ASSERT_TRUE(Render(plan, RenderOptions{}, Output::Memory(OutputType::Pdf, bytes)));
  const std::string pdf = t.Write("plan.pdf", bytes);
  const std::optional<std::string> text = testing::RunOutput("pdftotext " + testing::Quoted(pdf) + " -");
  ASSERT_TRUE(text);
  // The drawing spaces its characters; the reader may put spaces between them.
  std::string squeezed;
  for (char c : *text) {
    if (c != ' ' && c != '\n') squeezed += c;
  }
  EXPECT_NE(squeezed.find("図面Plan-7"), std::string::npos) << *text;
  EXPECT_NE(squeezed.find("寸法1:1"), std::string::npos) << *text;
}

// Memory and file outputs of every type carry the same bytes; an unknown
// type is named in the message with the types there are.
TEST(VectorOutputs, MemoryAndFileOutputsAgree) {
  TempDir t;
  const Drawing plan = OpenPlan(t);
  ASSERT_TRUE(plan.valid());
  RenderOptions o;
  o.dpi = 60;
  for (OutputType type : {OutputType::Svg, OutputType::Pdf, OutputType::Webp}) {
    SCOPED_TRACE(OutputTypeName(type));
    std::vector<uint8_t> bytes;
    const RenderResult inMemory = Render(plan, o, Output::Memory(type, bytes));
    ASSERT_TRUE(inMemory) << inMemory.status.message;
    const std::string file = t / (std::string("plan") + OutputTypeExtension(type));
    ASSERT_TRUE(Render(plan, o, Output::File(file)));
    EXPECT_TRUE(testing::ReadAll(file) == std::string(bytes.begin(), bytes.end()));
  }
  const RenderResult r = Render(plan, o, Output::File(t / "plan.xyz"));
  EXPECT_EQ(r.status.code, StatusCode::UnknownOutput);
  EXPECT_NE(r.status.message.find(".webp, .svg, .pdf or .dxf"), std::string::npos) << r.status.message;
}

// Pages made side by side in threads, after other conversions in the same
// process, are the bytes of a page made alone.
TEST(VectorOutputs, PagesAreTheSameBytesInParallel) {
  TempDir t;
  const Drawing plan = OpenPlan(t);
  ASSERT_TRUE(plan.valid());
  RenderOptions o;
  o.dpi = 60;
  for (OutputType type : {OutputType::Svg, OutputType::Pdf, OutputType::Webp}) {
    SCOPED_TRACE(OutputTypeName(type));
    std::vector<uint8_t> alone;
    ASSERT_TRUE(Render(plan, o, Output::Memory(type, alone)));
    std::vector<std::vector<uint8_t>> pages(4);
    std::vector<std::thread> threads;
    for (auto& page : pages) {
      threads.emplace_back([&plan, &o, &page, type] {
        std::vector<uint8_t> before;
        Render(plan, o, Output::Memory(OutputType::Png, before));
        Render(plan, o, Output::Memory(type, page));
      });
    }
    for (auto& th : threads) th.join();
    for (const auto& page : pages) EXPECT_TRUE(page == alone);
  }
}

// Every raster type opens in a decoder of another project at the size asked
// for; WebP is lossless unless a quality is given.
TEST(RasterOutputs, EveryTypeOpensInAnIndependentDecoder) {
  TempDir t;
  const Drawing plan = OpenPlan(t);
  ASSERT_TRUE(plan.valid());
  RenderOptions o;
  o.width = 321;
  o.height = 207;
  std::vector<uint8_t> png;
  ASSERT_TRUE(Render(plan, o, Output::Memory(OutputType::Png, png)));
  const LoadedImage pngPixels = LoadImageMemory(png);
  ASSERT_TRUE(pngPixels.ok());
  for (const char* ext : {".bmp", ".png", ".jpg", ".gif", ".tif", ".webp"}) {
    SCOPED_TRACE(ext);
    const std::string file = t / (std::string("plan") + ext);
    const RenderResult r = Render(plan, o, Output::File(file));
    ASSERT_TRUE(r) << r.status.message;
    const std::string decoder = testing::DecoderFor(file);
    if (!testing::HaveTool(decoder)) {
      ADD_FAILURE() << decoder << " is missing (scripts/install-deps.sh installs it)";
      continue;
    }
    EXPECT_EQ(testing::DecodedSize(file, t.dir()), std::make_pair(321, 207));
  }
  const LoadedImage webp = LoadImageFile(t / "plan.webp");
  ASSERT_TRUE(webp.ok()) << webp.error;
  EXPECT_EQ(webp.bitmap.pixels, pngPixels.bitmap.pixels);

  o.encoder.quality = 40;
  std::vector<uint8_t> lossy;
  ASSERT_TRUE(Render(plan, o, Output::Memory(OutputType::Webp, lossy)));
  EXPECT_EQ(std::string(lossy.begin() + 12, lossy.begin() + 16), "VP8 ");
  if (testing::HaveTool("dwebp")) {
    EXPECT_EQ(testing::DecodedSize(t.Write("lossy.webp", lossy), t.dir()), std::make_pair(321, 207));
  }
}

// WebP's sides are limited to 16383 pixels: a larger picture is refused with
// zumen's message and no file is left.
TEST(RasterOutputs, WebpBeyondItsLimitIsRefused) {
  TempDir t;
  const Drawing plan = OpenPlan(t);
  ASSERT_TRUE(plan.valid());
  RenderOptions o;
  o.width = 16384;
  o.height = 100;
  const std::string file = t / "wide.webp";
  const RenderResult r = Render(plan, o, Output::File(file));
  EXPECT_EQ(r.status.code, StatusCode::TooLarge);
  EXPECT_NE(r.status.message.find("16383"), std::string::npos) << r.status.message;
  EXPECT_FALSE(fs::exists(file));
}

}  // namespace
}  // namespace zumen
