// Every drawing family goes through the driver: it converts to an image of
// the asked size and `zumen info` describes it.
#include <gtest/gtest.h>

#include <sstream>

#include "canvas/image_io.h"
#include "driver/info.h"
#include "driver/run.h"
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

struct Family {
  const char* name;
  std::vector<uint8_t> (*make)();
  const char* json;  // a part of the info object
};

TEST(Families, EachConvertsAndIsDescribed) {
  const Family families[] = {
      {"plan.k4", K4Drawing, "\"title\": \"plan\", \"paper\": {\"width_mm\": 420, \"height_mm\": 297"},
      {"plan.jwc", JwcDrawing, "\"entities\": {\"line\": 1, \"arc\": 1"},
      {"sym.jwk", JwkSymbol, "\"entities\": {\"line\": 1"},
      {"sym.jws", JwsSymbol, "\"line\": 1"},
  };
  for (const Family& f : families) {
    TempDir t;
    const std::string src = t.Write(f.name, f.make());
    ConvertOptions o;
    o.sizing = ConvertOptions::Sizing::Pixels;
    o.width = 120;
    o.height = 90;
    const ConvertResult r = ConvertDrawing(src, t / "out.png", o);
    EXPECT_EQ(r.status, ConvertStatus::Ok) << f.name << ": " << r.message;
    const LoadedImage img = LoadImageFile(t / "out.png");
    ASSERT_TRUE(img.ok()) << f.name;
    EXPECT_EQ(img.bitmap.width, 120);
    // Something besides the background was drawn.
    size_t ink = 0;
    for (uint32_t p : img.bitmap.pixels) ink += p != 0xFFFFFFFF ? 1 : 0;
    EXPECT_GT(ink, 10u) << f.name;

    std::ostringstream out;
    std::string error;
    EXPECT_EQ(PrintInfo(src, true, t.dir(), out, error), 0) << f.name << ": " << error;
    EXPECT_NE(out.str().find(f.json), std::string::npos) << out.str();
    EXPECT_NE(out.str().find("\"read_ok\": true"), std::string::npos) << out.str();
  }
}

TEST(Families, K4DpiSizesTheTurnedPaper) {
  TempDir t;
  const std::string src = t.Write("plan.k4", K4Drawing());
  ConvertOptions o;
  o.dpi = 25.4;
  const ConvertResult r = ConvertDrawing(src, t / "out.png", o);
  ASSERT_EQ(r.status, ConvertStatus::Ok) << r.message;
  EXPECT_EQ(r.width, 420);
  EXPECT_EQ(r.height, 297);
}

}  // namespace
}  // namespace zumen
