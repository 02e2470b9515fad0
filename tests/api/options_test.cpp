// The output options on small drawings of every family, checked on the
// pixels: background, paper frame, one-colour pictures, the fit to the
// drawing's own extents and the JPEG quality.
#include <gtest/gtest.h>

#include "api/picture.h"
#include "codecs/image_io.h"
#include "support/jwc_writer.h"
#include "support/jww_writer.h"
#include "support/k4_writer.h"
#include "support/temp_dir.h"
#include "zumen/zumen.h"

namespace zumen {
namespace {

using testing::InkOf;
using testing::Picture;
using testing::TempDir;

constexpr uint32_t kWhite = 0xFFFFFFFF, kBlack = 0xFF000000;

// The file's layers and pens: every layer shown, the background (white, or
// black), and pens 1 black (white on black), 2 red and 5 green, 3 dots wide.
void Pens(JwwWriter& w, uint32_t background = 0xFFFFFF) {
  for (auto& g : w.head.EntLgrp) g.anGLay = 2;
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  w.head.EntCol[0].aPrtPenColor = background;
  const std::pair<int, uint32_t> pens[] = {{1, background ^ 0xFFFFFF}, {2, 0x0000FF}, {5, 0x00C000}};
  for (const auto& [n, colour] : pens) {
    w.head.EntCol[n].aPrtPenColor = colour;
    w.head.EntCol[n].anPrtPenWidth = 30;
  }
}

// An A3 plan on its paper: lines in three pens, a filled box and a text.
std::vector<uint8_t> Plan(uint32_t background = 0xFFFFFF) {
  JwwWriter w(600);
  w.Paper(3);
  Pens(w, background);
  w.Pen(2).Line(-150, -100, 150, 100);
  w.Pen(5).Line(-150, 100, 150, -100);
  w.Pen(1).Line(-150, 0, 150, 0);
  w.Solid(100, 60, 160, 60, 160, 100, 100, 100);
  w.Text(-100, -50, u"PLAN", 20);
  return w.Finish();
}

// The outline of a box 400 x 300 (and its diagonals) far from the origin: off
// the paper of every family.
template <class Line>
void OffPaperBox(double x, double y, Line line) {
  line(x, y, x + 400, y);
  line(x + 400, y, x + 400, y + 300);
  line(x + 400, y + 300, x, y + 300);
  line(x, y + 300, x, y);
  line(x, y, x + 400, y + 300);
}

std::vector<uint8_t> JwwOffPaper() {
  JwwWriter w(600);
  w.Paper(3);
  Pens(w);
  w.Pen(1);
  OffPaperBox(5000, 5000, [&](double a, double b, double c, double d) { w.Line(a, b, c, d); });
  return w.Finish();
}

std::vector<uint8_t> JwcOffPaper() {
  test::JwcFile f;
  f.psize = 3;
  OffPaperBox(3000, 3000, [&](double a, double b, double c, double d) {
    f.lines.push_back({float(a), float(b), float(c), float(d)});
  });
  return f.Build();
}

TK4PaperSize A3() {
  TK4PaperSize paper;
  paper.lout = 1;
  paper.size = {{{0, 0}, {297, 420}}};
  return paper;
}

std::vector<uint8_t> K4Plan() {
  test::K4Writer w;
  w.Title(u"plan").Paper(A3());
  TK4ObjectLine l;
  l.p1 = {50, 50};
  l.p2 = {350, 250};
  w.Line(l);
  return w.bytes();
}

std::vector<uint8_t> K4OffPaper() {
  test::K4Writer w;
  w.Title(u"plan").Paper(A3());
  OffPaperBox(2000, 2000, [&](double a, double b, double c, double d) {
    TK4ObjectLine l;
    l.p1 = {a, b};
    l.p2 = {c, d};
    w.Line(l);
  });
  return w.bytes();
}

std::vector<uint8_t> JwsSymbol() {
  JwwWriter w(600, JwwWriter::Format::kJws);
  Pens(w);
  w.Pen(2).Line(-5, -5, 5, 5);
  w.Pen(3).Line(-5, 5, 8, -2);
  return w.Finish();
}

// A symbol whose text stands on its top defining points, so that
// its letters rise above the extents of the points.
std::vector<uint8_t> JwsTextAbove() {
  JwwWriter w(600, JwwWriter::Format::kJws);
  Pens(w);
  w.Pen(2).Line(-5, -5, 5, 5);
  w.Pen(5).Text(-5, 5, u"TOP", 4);
  return w.Finish();
}

// A plan whose text stands on the top of its line's extents.
std::vector<uint8_t> JwwTextAbove() {
  JwwWriter w(600);
  w.Paper(3);
  Pens(w);
  w.Pen(2).Line(-100, -50, 100, 0);
  w.Pen(5).Text(-100, 0, u"TOP", 20);
  return w.Finish();
}

Drawing Open(const TempDir& t, const std::string& name, const std::vector<uint8_t>& bytes) {
  Opened o = Drawing::Open(t.Write(name, bytes));
  EXPECT_TRUE(o) << name << ": " << o.status.message;
  return o.drawing;
}

RenderOptions With(Background b) {
  RenderOptions o;
  o.background = b;
  return o;
}

TEST(Options, BackgroundColoursTheCornerAndKeepsTheInkVisible) {
  TempDir t;
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    uint32_t own;  // the drawing's own background
  } drawings[] = {{"plan.jww", Plan(), kWhite}, {"night.jww", Plan(0x000000), kBlack}, {"plan.k4", K4Plan(), kWhite}};
  const Background backgrounds[] = {Background::Drawing, Background::White, Background::Black,
                                    Background::Transparent};
  const auto bright = [](uint32_t c) { return testing::Red(c) > 200 && testing::Green(c) > 200; };
  const auto dark = [](uint32_t c) { return testing::Alpha(c) == 255 && testing::Red(c) < 60 && testing::Green(c) < 60; };
  for (const auto& d : drawings) {
    const Drawing drawing = Open(t, d.name, d.bytes);
    for (const Background b : backgrounds) {
      const uint32_t corner = b == Background::Drawing      ? d.own
                              : b == Background::White      ? kWhite
                              : b == Background::Black      ? kBlack
                                                            : 0x00000000;
      const Picture p = testing::Draw(drawing, With(b), 200, 150);
      ASSERT_TRUE(p.result) << p.result.status.message;
      EXPECT_EQ(p.At(0, 0), corner) << d.name << " " << int(b);
      EXPECT_EQ(p.At(199, 149), corner) << d.name << " " << int(b);
      // The black (or white) ink stays visible: on a background of its own
      // colour it turns to the other.
      if (corner == kWhite) {
        EXPECT_GT(p.Count(dark), 50) << d.name << " " << int(b);
      }
      if (corner == kBlack) {
        EXPECT_GT(p.Count(bright), 50) << d.name << " " << int(b);
      }
      EXPECT_GT(InkOf(p, corner).pixels, 200) << d.name << " " << int(b);
    }
  }
}

TEST(Options, TransparentWhereTheTypeHasAlphaElseWhite) {
  TempDir t;
  const Drawing d = Open(t, "plan.jww", Plan());
  const struct {
    OutputType type;
    uint32_t corner;
  } cases[] = {
      {OutputType::Png, 0x00000000},
      {OutputType::Tiff, 0x00000000},
      {OutputType::Gif, 0x00000000},
      {OutputType::Jpeg, kWhite},
      {OutputType::Bmp, kWhite},
  };
  RenderOptions o = With(Background::Transparent);
  o.width = 120;
  o.height = 90;
  for (const auto& c : cases) {
    std::vector<uint8_t> bytes;
    const RenderResult r = Render(d, o, Output::Memory(c.type, bytes));
    ASSERT_TRUE(r) << OutputTypeName(c.type) << ": " << r.status.message;
    const LoadedImage img = LoadImageMemory(bytes);
    ASSERT_TRUE(img.ok()) << OutputTypeName(c.type) << ": " << img.error;
    const uint32_t corner = img.bitmap.at(0, 0);
    if (testing::Alpha(c.corner) == 0) {
      EXPECT_EQ(testing::Alpha(corner), 0) << OutputTypeName(c.type);
    } else {
      // JPEG may shift white by a step or two.
      EXPECT_GE(testing::Red(corner), 240) << OutputTypeName(c.type);
      EXPECT_GE(testing::Blue(corner), 240) << OutputTypeName(c.type);
      EXPECT_EQ(testing::Alpha(corner), 255) << OutputTypeName(c.type);
    }
  }
}

TEST(Options, FrameIsDrawnOrLeftOutForEveryPaperFamily) {
  TempDir t;
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } drawings[] = {{"plan.jww", Plan()}, {"plan.k4", K4Plan()}, {"off.jwc", JwcOffPaper()}};
  for (const auto& d : drawings) {
    const Drawing drawing = Open(t, d.name, d.bytes);
    RenderOptions o;
    const Picture framed = testing::Draw(drawing, o, 200, 150);
    o.frame = false;
    const Picture bare = testing::Draw(drawing, o, 200, 150);
    ASSERT_TRUE(framed.result && bare.result) << d.name;
    // The frame runs round the paper: blue pixels along each edge of the picture.
    const testing::InkBox blue = testing::BoxOf(framed, testing::FrameBlue);
    EXPECT_GT(blue.pixels, 200) << d.name;
    EXPECT_LT(blue.left, 0.1) << d.name;
    EXPECT_LT(blue.top, 0.1) << d.name;
    EXPECT_GT(blue.right, 0.9) << d.name;
    EXPECT_GT(blue.bottom, 0.9) << d.name;
    EXPECT_EQ(bare.Count(testing::FrameBlue), 0) << d.name;
  }
}

TEST(Options, MonochromeDrawsEveryEntityInOneColour) {
  TempDir t;
  const auto grey = [](uint32_t c) { return testing::Red(c) == testing::Green(c) && testing::Green(c) == testing::Blue(c); };
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } drawings[] = {{"plan.jww", Plan()}, {"sym.jws", JwsSymbol()}};
  for (const auto& d : drawings) {
    const Drawing drawing = Open(t, d.name, d.bytes);
    RenderOptions o;
    const Picture colour = testing::Draw(drawing, o, 240, 170);
    ASSERT_TRUE(colour.result);
    EXPECT_GT(colour.Count([&](uint32_t c) { return !grey(c); }), 100) << d.name << ": the fixture has colours";

    o.monochrome = true;
    const Picture mono = testing::Draw(drawing, o, 240, 170);
    ASSERT_TRUE(mono.result);
    // One ink: black, with the grey steps of its smoothed edges; the frame too.
    EXPECT_EQ(mono.At(0, 0), kWhite) << d.name;
    EXPECT_EQ(mono.Count([&](uint32_t c) { return !grey(c); }), 0) << d.name;
    EXPECT_GT(mono.Count([](uint32_t c) { return c == kBlack; }), 50) << d.name;

    // On black the one colour is white.
    o.background = Background::Black;
    const Picture night = testing::Draw(drawing, o, 240, 170);
    EXPECT_EQ(night.Count([&](uint32_t c) { return !grey(c); }), 0) << d.name;
    EXPECT_GT(night.Count([](uint32_t c) { return c == kWhite; }), 50) << d.name;
    EXPECT_EQ(night.At(0, 0), kBlack) << d.name;
  }
}

TEST(Options, ExtentsFitPutsAnOffPaperDrawingAcrossThePicture) {
  TempDir t;
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    double mm;  // millimetres a drawing unit is on the paper (JWC: by its paper code)
  } drawings[] = {{"off.jww", JwwOffPaper(), 1}, {"off.jwc", JwcOffPaper(), 0.81}, {"off.k4", K4OffPaper(), 1}};
  for (const auto& d : drawings) {
    const Drawing drawing = Open(t, d.name, d.bytes);
    RenderOptions o;
    o.frame = false;
    const Picture paper = testing::Draw(drawing, o, 400, 300);
    ASSERT_TRUE(paper.result) << d.name;
    EXPECT_EQ(InkOf(paper, kWhite).pixels, 0) << d.name << ": the paper shows nothing";

    o.fit = Fit::Extents;
    const Picture fitted = testing::Draw(drawing, o, 400, 300);
    ASSERT_TRUE(fitted.result) << d.name;
    // The box's outline lies 2.5 % in from each edge (the margin).
    const testing::InkBox ink = InkOf(fitted, kWhite);
    EXPECT_LT(ink.left, 0.05) << d.name;
    EXPECT_LT(ink.top, 0.05) << d.name;
    EXPECT_GT(ink.right, 0.95) << d.name;
    EXPECT_GT(ink.bottom, 0.95) << d.name;
    EXPECT_GT(ink.pixels, 1000) << d.name;

    // With a resolution the picture is the extents' size at it: 400 x 300 mm
    // at 25.4 dots per inch (plus the margin the fit leaves none of).
    RenderOptions dpi;
    dpi.dpi = 25.4;
    dpi.fit = Fit::Extents;
    int w = 0, h = 0;
    ASSERT_TRUE(PictureSize(drawing, dpi, w, h)) << d.name;
    EXPECT_NEAR(w, 400 * d.mm, 1) << d.name;
    EXPECT_NEAR(h, 300 * d.mm, 1) << d.name;
  }
}

TEST(Options, ExtentsFitFallsBackToThePaperAndLeavesSymbolsAlone) {
  TempDir t;
  JwwWriter empty(600);
  empty.Paper(3);
  const Drawing blank = Open(t, "empty.jww", empty.Finish());
  RenderOptions paper;
  paper.dpi = 25.4;
  RenderOptions extents = paper;
  extents.fit = Fit::Extents;
  int w = 0, h = 0;
  ASSERT_TRUE(PictureSize(blank, extents, w, h));
  EXPECT_EQ(w, 420);
  EXPECT_EQ(h, 297);
  EXPECT_EQ(testing::Draw(blank, extents, 100, 80).rgba, testing::Draw(blank, paper, 100, 80).rgba);

  // A symbol's frame is its extents already.
  const Drawing sym = Open(t, "sym.jws", JwsSymbol());
  EXPECT_EQ(testing::Draw(sym, extents, 100, 80).rgba, testing::Draw(sym, paper, 100, 80).rgba);
}

// Symbols, and every drawing fitted to its extents, are fitted by what is
// drawn: a text above the defining points shows whole, at the default
// resolution too. The extents of the points alone cut its letters at the top.
TEST(Options, FitTakesTheTextCellsAboveTheDefiningPoints) {
  TempDir t;
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
    Fit fit;
  } cases[] = {
      {"sym.jws", JwsTextAbove(), Fit::Paper},
      {"sym.jws", JwsTextAbove(), Fit::Extents},
      {"plan.jww", JwwTextAbove(), Fit::Extents},
  };
  // The text's pen 5 is green in the plan's colours and magenta in the
  // default colours a symbol is drawn in.
  const auto textInk = [](uint32_t c) {
    const bool green = testing::Green(c) > 100 && testing::Red(c) < 100 && testing::Blue(c) < 100;
    const bool magenta = testing::Red(c) > 100 && testing::Blue(c) > 100 && testing::Green(c) < 100;
    return green || magenta;
  };
  for (const auto& c : cases) {
    const Drawing d = Open(t, c.name, c.bytes);
    RenderOptions o;
    o.fit = c.fit;
    o.frame = false;
    o.background = Background::White;
    RenderOptions points = o;
    points.fit_drawn = false;
    int w = 0, h = 0, pw = 0, ph = 0;
    ASSERT_TRUE(PictureSize(d, o, w, h)) << c.name;
    ASSERT_TRUE(PictureSize(d, points, pw, ph)) << c.name;
    EXPECT_GT(h, ph) << c.name << ": the picture grows by the text's height";

    const Picture drawn = testing::Draw(d, o, w, h);
    ASSERT_TRUE(drawn.result) << c.name;
    const testing::InkBox text = testing::BoxOf(drawn, textInk);
    EXPECT_GT(text.pixels, 20) << c.name;
    EXPECT_GT(text.top, 0) << c.name << ": the text is whole";
    EXPECT_GT(text.left, 0) << c.name;
    EXPECT_LT(text.right, 1) << c.name;
    EXPECT_LT(text.bottom, 1) << c.name;

    const Picture cut = testing::Draw(d, points, pw, ph);
    ASSERT_TRUE(cut.result) << c.name;
    const testing::InkBox top = testing::BoxOf(cut, textInk);
    EXPECT_LT(top.pixels, text.pixels / 2) << c.name << ": the points' extents cut the text";
  }
}

TEST(Options, JpegQualityIsHonouredAndChecked) {
  TempDir t;
  const Drawing d = Open(t, "plan.jww", Plan());
  RenderOptions o;
  o.width = 300;
  o.height = 200;
  const auto jpeg = [&](std::optional<int> q) {
    o.encoder.quality = q;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(Render(d, o, Output::Memory(OutputType::Jpeg, bytes)));
    return bytes;
  };
  const std::vector<uint8_t> low = jpeg(5), high = jpeg(95), usual = jpeg(std::nullopt);
  EXPECT_LT(low.size(), high.size());
  EXPECT_EQ(usual, jpeg(90));
  EXPECT_NE(usual, high);
  for (int bad : {0, -3, 101}) {
    o.encoder.quality = bad;
    std::vector<uint8_t> bytes;
    const RenderResult r = Render(d, o, Output::Memory(OutputType::Jpeg, bytes));
    EXPECT_EQ(r.status.code, StatusCode::InvalidArgument) << bad;
    EXPECT_TRUE(bytes.empty()) << bad;
  }
}

}  // namespace
}  // namespace zumen
