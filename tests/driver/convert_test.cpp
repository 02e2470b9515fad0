// Conversions from the command line's entry point: errors, partial reads,
// sizing and the replacement of an existing destination.
#include <gtest/gtest.h>

#include <sstream>

#include "canvas/image_io.h"
#include "common/files.h"
#include "driver/info.h"
#include "driver/run.h"
#include "support/jww_writer.h"
#include "support/temp_dir.h"

namespace zumen {
namespace {

using testing::TempDir;

std::vector<uint8_t> Drawing() {
  JwwWriter w(600);
  w.head.Enthd.nZumen = 3;  // A3
  w.Line(-100, -50, 100, 50);
  w.Line(-100, 50, 100, -50);
  return w.Finish();
}

// A drawing whose block places itself `copies` times beside `lines` lines:
// once, the tree reaches its depth limit; more often, its work limit.
std::vector<uint8_t> SelfPlacingBlock(int copies, int lines) {
  JwwWriter w(600);
  w.head.Enthd.nZumen = 3;
  w.Line(-100, -50, 100, 50);
  w.Insert(1, 0, 0);
  w.BeginBlockDef(1, u"loop");
  for (int i = 0; i < copies; ++i) w.Insert(1, 5, 5, 0.5, 0.5);
  for (int i = 0; i < lines; ++i) w.Line(i, 0, i, 10);
  w.EndBlockDef();
  return w.Finish();
}

ConvertOptions Pixels(int w, int h) {
  ConvertOptions o;
  o.sizing = ConvertOptions::Sizing::Pixels;
  o.width = w;
  o.height = h;
  return o;
}

TEST(ConvertDrawing, WritesTheImageAtTheAskedSize) {
  TempDir t;
  const std::string src = t.Write("plan.jww", Drawing());
  const ConvertResult r = ConvertDrawing(src, t / "out.png", Pixels(300, 200));
  ASSERT_EQ(r.status, ConvertStatus::Ok) << r.message;
  const LoadedImage img = LoadImageFile(t / "out.png");
  ASSERT_TRUE(img.ok());
  EXPECT_EQ(img.bitmap.width, 300);
  EXPECT_EQ(img.bitmap.height, 200);
}

TEST(ConvertDrawing, DpiSizesThePaper) {
  TempDir t;
  const std::string src = t.Write("plan.jww", Drawing());
  ConvertOptions o;
  o.dpi = 30;
  const ConvertResult r = ConvertDrawing(src, t / "out.png", o);
  ASSERT_EQ(r.status, ConvertStatus::Ok) << r.message;
  EXPECT_EQ(r.width, 496);   // 420 / 25.4 * 30 = 496.1
  EXPECT_EQ(r.height, 351);  // 297 / 25.4 * 30 = 350.8
}

TEST(ConvertDrawing, FailuresExplainThemselvesAndWriteNothing) {
  TempDir t;
  const std::string good = t.Write("plan.jww", Drawing());
  const std::string bad = t.Write("bad.jww", "JwwData. but nothing else");
  const std::string dxf = t.Write("plan.dxf", "0\n");
  struct Case {
    std::string src, dst;
    ConvertOptions options;
    std::string words;
  } cases[] = {
      {t / "none.jww", t / "a.png", Pixels(10, 10), "no such file"},
      {dxf, t / "a.png", Pixels(10, 10), "not a drawing zumen reads"},
      {good, t / "a.webm", Pixels(10, 10), "unknown image type"},
      {bad, t / "a.png", Pixels(10, 10), "not a JWW file"},
      {good, t / "no/such/folder/a.png", Pixels(10, 10), "cannot write"},
      {good, t / "a.png", [] { auto o = Pixels(2000, 2000); o.maxPixels = 1000000; return o; }(), "larger than the limit"},
  };
  for (const Case& c : cases) {
    const ConvertResult r = ConvertDrawing(c.src, c.dst, c.options);
    EXPECT_EQ(r.status, ConvertStatus::Failed) << c.words;
    EXPECT_NE(r.message.find(c.words), std::string::npos) << r.message;
    EXPECT_FALSE(FileExist(c.dst)) << c.words;
  }
}

TEST(ConvertDrawing, FailureLeavesAnExistingDestinationAlone) {
  TempDir t;
  const std::string dst = t.Write("out.png", "precious");
  const std::string bad = t.Write("bad.jww", "garbage");
  EXPECT_EQ(ConvertDrawing(bad, dst, Pixels(10, 10)).status, ConvertStatus::Failed);
  EXPECT_EQ(testing::ReadAll(dst), "precious");
  const std::string good = t.Write("plan.jww", Drawing());
  EXPECT_EQ(ConvertDrawing(good, dst, Pixels(10, 10)).status, ConvertStatus::Ok);
  EXPECT_TRUE(LoadImageFile(dst).ok());
  // No temporary file is left beside the destination.
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(t.dir())) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 3u);
}

TEST(ConvertDrawing, PartlyReadDrawingIsDrawnWithAWarning) {
  TempDir t;
  std::vector<uint8_t> bytes = Drawing();
  bytes.resize(bytes.size() - 20);  // cut inside the last line
  const std::string src = t.Write("cut.jww", bytes);
  const ConvertResult r = ConvertDrawing(src, t / "out.png", Pixels(100, 80));
  EXPECT_EQ(r.status, ConvertStatus::PartialRead);
  EXPECT_NE(r.message.find("read only in part"), std::string::npos) << r.message;
  EXPECT_TRUE(LoadImageFile(t / "out.png").ok());
}

TEST(ConvertDrawing, DrawingCutAtTheBlockTreeLimitsIsDrawnWithAWarning) {
  TempDir t;
  const std::string src = t.Write("loop.jww", SelfPlacingBlock(1, 3));
  const ConvertResult r = ConvertDrawing(src, t / "out.png", Pixels(100, 80));
  EXPECT_EQ(r.status, ConvertStatus::PartialRead);
  EXPECT_NE(r.message.find("was drawn only in part: 1 block instance left out (blocks nested deeper than 32"),
            std::string::npos)
      << r.message;
  EXPECT_TRUE(LoadImageFile(t / "out.png").ok());

  // Read only in part and cut: both are told.
  std::vector<uint8_t> bytes = SelfPlacingBlock(1, 3);
  bytes.resize(bytes.size() - 10);
  const std::string cut = t.Write("cut.jww", bytes);
  const ConvertResult rc = ConvertDrawing(cut, t / "cut.png", Pixels(100, 80));
  EXPECT_EQ(rc.status, ConvertStatus::PartialRead);
  EXPECT_NE(rc.message.find("read only in part"), std::string::npos) << rc.message;
  EXPECT_NE(rc.message.find("drawn only in part"), std::string::npos) << rc.message;
}

TEST(PrintInfo, ReportsTheBlockTreeWorkAndWhatWasCut) {
  TempDir t;
  struct Case {
    std::vector<uint8_t> bytes;
    std::vector<std::string> parts;
  } cases[] = {
      {Drawing(), {"block_tree_nodes: 0\n", "block_tree_work: 0\n", "block_instances_cut: 0\n"}},
      // A block of 4 lines placed once.
      {SelfPlacingBlock(0, 4), {"block_tree_nodes: 1\n", "block_tree_work: 4\n", "block_instances_cut: 0\n"}},
      // 202 members a node: the tree stops at its 496th node (the first inside node 247), whose
      // work would pass 100000; left out are that node, its sibling and the two inside each of the
      // last 247 nodes.
      {SelfPlacingBlock(2, 200), {"block_tree_nodes: 495\n", "block_tree_work: 99990\n",
                                  "block_instances_cut: 496\n"}},
  };
  for (const Case& c : cases) {
    const std::string src = t.Write("plan.jww", c.bytes);
    std::ostringstream out;
    std::string error;
    ASSERT_EQ(PrintInfo(src, false, t.dir(), out, error), 0) << error;
    for (const std::string& part : c.parts) EXPECT_NE(out.str().find(part), std::string::npos) << part << " in " << out.str();
  }
  std::ostringstream json;
  std::string error;
  ASSERT_EQ(PrintInfo(t.Write("loop.jww", SelfPlacingBlock(2, 200)), true, t.dir(), json, error), 0) << error;
  EXPECT_NE(json.str().find("\"block_instances_cut\": 496"), std::string::npos) << json.str();
}

TEST(PrintInfo, JsonDescribesTheDrawing) {
  TempDir t;
  const std::string src = t.Write("plan.jww", Drawing());
  std::ostringstream out;
  std::string error;
  ASSERT_EQ(PrintInfo(src, true, t.dir(), out, error), 0) << error;
  const std::string j = out.str();
  for (const char* part : {"\"format\": \"JWW\"", "\"version\": 600", "\"code\": 3", "\"width_mm\": 420",
                           "\"objects_announced\": 2", "\"objects_read\": 2", "\"line\": 2", "\"read_ok\": true",
                           "\"error\": null", "\"extents\": {\"MinX\": -100"}) {
    EXPECT_NE(j.find(part), std::string::npos) << part << " in " << j;
  }
}

}  // namespace
}  // namespace zumen
