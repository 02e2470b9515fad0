// Every drawing family goes through the public interface: it renders to an
// image of the asked size and is described with the same fields.
#include <gtest/gtest.h>

#include "codecs/image_io.h"
#include "zumen/zumen.h"
#include "support/jwc_writer.h"
#include "support/jww_writer.h"
#include "support/k4_writer.h"
#include "support/temp_dir.h"

namespace zumen {
namespace {

using testing::TempDir;

std::vector<uint8_t> K4Drawing() {
  test::K4Writer w;
  TK4PaperSize paper;
  paper.lout = 1;
  paper.size = {{{0, 0}, {297, 420}}};
  w.Title(u"plan").Paper(paper);
  TK4ObjectLine l;
  l.p1 = {10, 10};
  l.p2 = {200, 100};
  w.Line(l);
  return w.bytes();
}

std::vector<uint8_t> JwcDrawing() {
  test::JwcFile f;
  f.psize = 3;
  f.lines.push_back({10, 10, 100, 50});
  f.arcs.push_back({});
  f.arcs.back().x = 50, f.arcs.back().y = 50, f.arcs.back().r = 20;
  return f.Build();
}

std::vector<uint8_t> JwkSymbol() {
  test::JwkFile f;
  f.lines.push_back({-5, -5, 5, 5});
  return f.Build();
}

std::vector<uint8_t> JwsSymbol() {
  JwwWriter w(600, JwwWriter::Format::kJws);
  w.att.nPenColor = 2;
  w.att.nPenStyle = 1;
  w.Line(-5, -5, 5, 5);
  return w.Finish();
}

struct Kind {
  const char* name;
  std::vector<uint8_t> (*make)();
  Format format;
  int64_t lines;  // the "line" entity count
};

int64_t Count(const DrawingInfo& i, const std::string& kind) {
  for (const auto& [k, n] : i.entities)
    if (k == kind) return n;
  return -1;
}

TEST(Families, EachRendersAndIsDescribed) {
  const Kind kinds[] = {
      {"plan.k4", K4Drawing, Format::K4, 1},
      {"plan.jwc", JwcDrawing, Format::Jwc, 1},
      {"sym.jwk", JwkSymbol, Format::Jwk, 1},
      {"sym.jws", JwsSymbol, Format::Jws, 1},
  };
  for (const Kind& f : kinds) {
    TempDir t;
    const Opened opened = Drawing::Open(t.Write(f.name, f.make()));
    ASSERT_TRUE(opened) << f.name << ": " << opened.status.message;
    RenderOptions o;
    o.width = 120;
    o.height = 90;
    const RenderResult r = Render(opened.drawing, o, Output::File(t / "out.png"));
    EXPECT_TRUE(r) << f.name << ": " << r.status.message;
    const LoadedImage img = LoadImageFile(t / "out.png");
    ASSERT_TRUE(img.ok()) << f.name;
    EXPECT_EQ(img.bitmap.width, 120);
    // Something besides the background was drawn.
    size_t ink = 0;
    for (uint32_t p : img.bitmap.pixels) ink += p != 0xFFFFFFFF ? 1 : 0;
    EXPECT_GT(ink, 10u) << f.name;

    const DrawingInfo& i = opened.drawing.Info();
    EXPECT_EQ(i.format, f.format) << f.name;
    EXPECT_EQ(Count(i, "line"), f.lines) << f.name;
    EXPECT_TRUE(i.read_ok) << f.name;
    EXPECT_TRUE(i.extents) << f.name;
  }
}

TEST(Families, K4TitleAndTurnedPaper) {
  TempDir t;
  const Opened opened = Drawing::Open(t.Write("plan.k4", K4Drawing()));
  ASSERT_TRUE(opened);
  EXPECT_EQ(opened.drawing.Info().title, "plan");
  EXPECT_EQ(opened.drawing.Info().paper_width_mm, 420);
  EXPECT_EQ(opened.drawing.Info().paper_height_mm, 297);
}

TEST(Families, K4DpiSizesTheTurnedPaper) {
  TempDir t;
  const Opened opened = Drawing::Open(t.Write("plan.k4", K4Drawing()));
  RenderOptions o;
  o.dpi = 25.4;
  const RenderResult r = Render(opened.drawing, o, Output::File(t / "out.png"));
  ASSERT_TRUE(r) << r.status.message;
  EXPECT_EQ(r.width, 420);
  EXPECT_EQ(r.height, 297);
}

}  // namespace
}  // namespace zumen
