// Conversions through the public interface: errors, partial reads, sizing
// and the replacement of an existing destination.
#include <gtest/gtest.h>

#include "codecs/image_io.h"
#include "common/files.h"
#include "support/jww_writer.h"
#include "support/temp_dir.h"
#include "zumen/zumen.h"

namespace zumen {
namespace {

using testing::TempDir;

// Opens src and renders it into dst: the status of whichever failed.
struct Converted {
  Status status;
  RenderResult render;
  DrawingInfo info;
};
Converted Convert(const std::string& src, const std::string& dst, const RenderOptions& options) {
  Converted c;
  const Opened opened = Drawing::Open(src);
  c.status = opened.status;
  if (!opened) return c;
  c.info = opened.drawing.Info();
  c.render = Render(opened.drawing, options, Output::File(dst));
  c.status = c.render.status;
  return c;
}

std::vector<uint8_t> Plan() {
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

RenderOptions Pixels(int w, int h) {
  RenderOptions o;
  o.width = w;
  o.height = h;
  return o;
}

TEST(Render, WritesTheImageAtTheAskedSize) {
  TempDir t;
  const std::string src = t.Write("plan.jww", Plan());
  const Converted r = Convert(src, t / "out.png", Pixels(300, 200));
  ASSERT_TRUE(r.status) << r.status.message;
  const LoadedImage img = LoadImageFile(t / "out.png");
  ASSERT_TRUE(img.ok());
  EXPECT_EQ(img.bitmap.width, 300);
  EXPECT_EQ(img.bitmap.height, 200);
}

TEST(Render, DpiSizesThePaper) {
  TempDir t;
  const std::string src = t.Write("plan.jww", Plan());
  RenderOptions o;
  o.dpi = 30;
  const Converted r = Convert(src, t / "out.png", o);
  ASSERT_TRUE(r.status) << r.status.message;
  EXPECT_EQ(r.render.width, 496);   // 420 / 25.4 * 30 = 496.1
  EXPECT_EQ(r.render.height, 351);  // 297 / 25.4 * 30 = 350.8
}

TEST(Render, FailuresExplainThemselvesAndWriteNothing) {
  TempDir t;
  const std::string good = t.Write("plan.jww", Plan());
  const std::string bad = t.Write("bad.jww", "JwwData. but nothing else");
  const std::string dxf = t.Write("plan.dxf", "0\n");
  std::filesystem::create_symlink(t / "loop.jww", t / "loop.jww");
  struct Case {
    std::string src, dst;
    RenderOptions options;
    StatusCode code;
    std::string words;
  } cases[] = {
      {t / "none.jww", t / "a.png", Pixels(10, 10), StatusCode::NotFound, "no such file"},
      {t.dir(), t / "a.png", Pixels(10, 10), StatusCode::NotAFile, "it is a folder"},
      {t / "loop.jww", t / "a.png", Pixels(10, 10), StatusCode::NotFound, "Too many levels of symbolic links"},
      {dxf, t / "a.png", Pixels(10, 10), StatusCode::UnknownFormat, "not a drawing zumen reads"},
      {good, t / "a.webm", Pixels(10, 10), StatusCode::UnknownOutput, "unknown image type"},
      {bad, t / "a.png", Pixels(10, 10), StatusCode::BadSignature, "not a JWW file"},
      {good, t / "no/such/folder/a.png", Pixels(10, 10), StatusCode::WriteFailed, "cannot write"},
      {good, t / "a.png", [] { auto o = Pixels(2000, 2000); o.max_pixels = 1000000; return o; }(),
       StatusCode::TooLarge, "larger than the limit"},
      {good, t / "a.png", Pixels(70000, 10), StatusCode::TooLarge, "a side may have at most 65535 pixels"},
  };
  for (const Case& c : cases) {
    const Converted r = Convert(c.src, c.dst, c.options);
    EXPECT_EQ(r.status.code, c.code) << c.words;
    EXPECT_NE(r.status.message.find(c.words), std::string::npos) << r.status.message;
    EXPECT_FALSE(FileExist(c.dst)) << c.words;
  }
}

TEST(Render, FailureLeavesAnExistingDestinationAlone) {
  TempDir t;
  const std::string dst = t.Write("out.png", "precious");
  const std::string bad = t.Write("bad.jww", "garbage");
  EXPECT_FALSE(Convert(bad, dst, Pixels(10, 10)).status);
  EXPECT_EQ(testing::ReadAll(dst), "precious");
  const std::string good = t.Write("plan.jww", Plan());
  EXPECT_TRUE(Convert(good, dst, Pixels(10, 10)).status);
  EXPECT_TRUE(LoadImageFile(dst).ok());
  // No temporary file is left beside the destination.
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(t.dir())) files += e.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 3u);
}

TEST(Render, PartlyReadDrawingIsDrawn) {
  TempDir t;
  std::vector<uint8_t> bytes = Plan();
  bytes.resize(bytes.size() - 20);  // cut inside the last line
  const std::string src = t.Write("cut.jww", bytes);
  const Converted r = Convert(src, t / "out.png", Pixels(100, 80));
  EXPECT_TRUE(r.status) << r.status.message;
  EXPECT_FALSE(r.info.read_ok);
  EXPECT_EQ(r.info.read_error, "File I/O Error");
  EXPECT_TRUE(LoadImageFile(t / "out.png").ok());
}

TEST(Render, DrawingCutAtTheBlockTreeLimitsIsDrawnWithAWarning) {
  TempDir t;
  const Opened opened = Drawing::Open(t.Write("loop.jww", SelfPlacingBlock(1, 3)));
  ASSERT_TRUE(opened) << opened.status.message;
  ASSERT_EQ(opened.drawing.Diagnostics().size(), 1u);
  const Diagnostic& d = opened.drawing.Diagnostics()[0];
  EXPECT_EQ(d.code, "block-instances-cut");
  EXPECT_EQ(d.count, 1);
  EXPECT_EQ(d.message.rfind("drawn only in part: 1 block instance left out (blocks nested deeper than 32", 0), 0u)
      << d.message;
  EXPECT_TRUE(Render(opened.drawing, Pixels(100, 80), Output::File(t / "out.png")));
  EXPECT_TRUE(LoadImageFile(t / "out.png").ok());

  // Read only in part and cut: both are told.
  std::vector<uint8_t> bytes = SelfPlacingBlock(1, 3);
  bytes.resize(bytes.size() - 10);
  const Opened cut = Drawing::Open(t.Write("cut.jww", bytes));
  ASSERT_TRUE(cut);
  EXPECT_FALSE(cut.drawing.Info().read_ok);
  ASSERT_EQ(cut.drawing.Diagnostics().size(), 2u);
  EXPECT_EQ(cut.drawing.Diagnostics()[0].code, "read-partial");
  EXPECT_EQ(cut.drawing.Diagnostics()[1].code, "block-instances-cut");
}

TEST(Info, ReportsTheBlockTreeWorkAndWhatWasCut) {
  TempDir t;
  struct Case {
    std::vector<uint8_t> bytes;
    int64_t nodes, work, cut;
  } cases[] = {
      {Plan(), 0, 0, 0},
      // A block of 4 lines placed once.
      {SelfPlacingBlock(0, 4), 1, 4, 0},
      // 202 members a node: the tree stops at its 496th node (the first inside node 247), whose
      // work would pass 100000; left out are that node, its sibling and the two inside each of the
      // last 247 nodes.
      {SelfPlacingBlock(2, 200), 495, 99990, 496},
  };
  for (const Case& c : cases) {
    const Opened opened = Drawing::Open(t.Write("plan.jww", c.bytes));
    ASSERT_TRUE(opened) << opened.status.message;
    const DrawingInfo& i = opened.drawing.Info();
    EXPECT_EQ(i.block_tree_nodes, c.nodes);
    EXPECT_EQ(i.block_tree_work, c.work);
    EXPECT_EQ(i.block_instances_cut, c.cut);
  }
  // The limit is a load option.
  LoadOptions small;
  small.max_block_work = 1000;
  const Opened opened = Drawing::Open(t.Write("loop.jww", SelfPlacingBlock(2, 200)), small);
  ASSERT_TRUE(opened);
  EXPECT_LE(opened.drawing.Info().block_tree_work, 1000);
  EXPECT_GT(opened.drawing.Info().block_instances_cut, 0);
}

TEST(Info, DescribesTheDrawing) {
  TempDir t;
  const Opened opened = Drawing::Open(t.Write("plan.jww", Plan()));
  ASSERT_TRUE(opened) << opened.status.message;
  const DrawingInfo& i = opened.drawing.Info();
  EXPECT_EQ(i.format, Format::Jww);
  EXPECT_EQ(i.version, 600);
  EXPECT_EQ(i.paper_code, 3);
  EXPECT_EQ(i.paper_width_mm, 420);
  EXPECT_EQ(i.objects_announced, 2);
  EXPECT_EQ(i.objects_read, 2);
  ASSERT_FALSE(i.entities.empty());
  EXPECT_EQ(i.entities[0], (std::pair<std::string, int64_t>("line", 2)));
  EXPECT_TRUE(i.read_ok);
  ASSERT_TRUE(i.extents);
  EXPECT_EQ(i.extents->min_x, -100);
}

}  // namespace
}  // namespace zumen
