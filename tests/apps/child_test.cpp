// The four-argument child protocol, run in-process with the settings file in
// a temporary folder standing for the executable's folder.
#include <gtest/gtest.h>

#include <sstream>

#include "codecs/image_io.h"
#include "common/files.h"
#include "child/protocol.h"
#include "zumen/zumen.h"
#include "support/jww_writer.h"
#include "support/temp_dir.h"

namespace zumen {
namespace {

using testing::TempDir;

// Settings with an explicit pixel size (line 16 = 0, lines 17 and 18 the size).
std::string SettingsText(const std::string& w, const std::string& h, int cb3 = 0) {
  std::string s;
  for (int i = 0; i < 15; ++i) s += "0\r\n";
  return s + std::to_string(cb3) + "\r\n" + w + "\r\n" + h + "\r\n";
}

std::vector<uint8_t> SmallDrawing() {
  JwwWriter w(600);
  w.head.Enthd.nZumen = 3;
  w.Line(-100, -50, 100, 50);
  return w.Finish();
}

// A symbol whose text stands on its top defining points, its letters above
// the points' extents.
std::vector<uint8_t> SymbolTextAbove() {
  JwwWriter w(600, JwwWriter::Format::kJws);
  w.Line(-5, -5, 5, 5);
  w.Text(-5, 5, u"TOP", 4);
  return w.Finish();
}

struct ChildRun {
  std::vector<std::string> lines;
  std::string err;
};

ChildRun RunWith(const TempDir& app, std::vector<std::string> args) {
  std::ostringstream log, err;
  EXPECT_EQ(zumen_child::RunChild(args, app.dir(), log, err), 0);
  ChildRun r;
  std::istringstream in(log.str());
  for (std::string line; std::getline(in, line);) r.lines.push_back(line);
  r.err = err.str();
  return r;
}

TEST(Child, FourArgumentsLogTheChecksAndWriteTheImageInEveryFormat) {
  for (const char* ext : {".png", ".bmp", ".jpg", ".jpeg", ".gif", ".tif", ".tiff", ".PNG"}) {
    TempDir app, work;
    app.Write("Plotvane.dat", SettingsText("320", "200"));
    const std::string src = work.Write("plan.jww", SmallDrawing());
    const std::string dst = work / (std::string("out") + ext);
    const ChildRun r = RunWith(app, {app / "zumen-child", "a", "b", src, dst});
    const std::vector<std::string> want = {app / "zumen-child", "a", "b", src, dst, "CHECK1:OK", "CHECK4:OK", "CHECK5:OK"};
    EXPECT_EQ(r.lines, want) << ext;
    const LoadedImage img = LoadImageFile(dst);
    ASSERT_TRUE(img.ok()) << ext << ": " << img.error;
    EXPECT_EQ(img.bitmap.width, 320) << ext;
    EXPECT_EQ(img.bitmap.height, 200) << ext;
  }
}

TEST(Child, APictureWithASideBeyond65535PixelsIsRefusedWithItsLogLine) {
  TempDir app, work;
  app.Write("Plotvane.dat", SettingsText("70000", "100"));
  const std::string src = work.Write("plan.jww", SmallDrawing());
  const std::string dst = work / "out.png";
  const ChildRun r = RunWith(app, {"exe", "a", "b", src, dst});
  const std::vector<std::string> want = {"exe", "a", "b", src, dst, "CHECK1:OK", "CHECK4:OK", "CHECK5:OK"};
  EXPECT_EQ(r.lines, want);
  EXPECT_EQ(r.err, "zumen-child: a bitmap of 70000 x 100 pixels is too large: a side may have at most 65535 pixels\n");
  EXPECT_FALSE(FileExist(dst));
}

TEST(Child, CutBlockTreeIsToldOnStandardErrorOnly) {
  TempDir app, work;
  app.Write("Plotvane.dat", SettingsText("100", "100"));
  JwwWriter w(600);
  w.Insert(1, 0, 0);
  w.BeginBlockDef(1, u"loop");
  w.Line(0, 0, 1, 1);
  w.Insert(1, 1, 1);
  w.EndBlockDef();
  const std::string src = work.Write("loop.jww", w.Finish());
  const std::string dst = work / "out.png";
  const ChildRun r = RunWith(app, {"exe", "a", "b", src, dst});
  const std::vector<std::string> want = {"exe", "a", "b", src, dst, "CHECK1:OK", "CHECK4:OK", "CHECK5:OK"};
  EXPECT_EQ(r.lines, want);
  EXPECT_EQ(r.err, "zumen-child: " + src +
                       ": drawn only in part: 1 block instance left out (blocks nested deeper than 32 levels or "
                       "more than 1048576 block instances)\n");
  EXPECT_TRUE(LoadImageFile(dst).ok());
}

TEST(Child, ExistingDestinationIsRemovedAndNotReplaced) {
  TempDir app, work;
  app.Write("Plotvane.dat", SettingsText("100", "100"));
  const std::string src = work.Write("plan.jww", SmallDrawing());
  const std::string dst = work.Write("out.png", "old");
  const ChildRun r = RunWith(app, {"exe", "1", "2", src, dst});
  ASSERT_EQ(r.lines.size(), 8u);
  EXPECT_EQ(r.lines.back(), "CHECK5:NG");
  EXPECT_FALSE(FileExist(dst));
}

TEST(Child, OtherArgumentCountsTouchNoFile) {
  TempDir app, work;
  app.Write("Plotvane.dat", SettingsText("100", "100"));
  const std::string src = work.Write("plan.jww", SmallDrawing());
  const std::string dst = work.Write("out.png", "old");
  for (const std::vector<std::string>& args : {std::vector<std::string>{"exe", "1", src, dst},
                                               std::vector<std::string>{"exe", "1", "2", src, dst, "extra"}}) {
    const ChildRun r = RunWith(app, args);
    EXPECT_EQ(r.lines, args);
    EXPECT_EQ(testing::ReadAll(dst), "old");
  }
}

TEST(Child, MissingSettingsOrSourceConvertsNothing) {
  TempDir app, work;
  const std::string src = work.Write("plan.jww", SmallDrawing());
  ChildRun r = RunWith(app, {"exe", "1", "2", src, work / "a.png"});
  EXPECT_EQ(r.lines[5], "CHECK1:NG");
  EXPECT_FALSE(FileExist(work / "a.png"));
  app.Write("Plotvane.dat", SettingsText("100", "100"));
  r = RunWith(app, {"exe", "1", "2", work / "none.jww", work / "a.png"});
  EXPECT_EQ(r.lines[6], "CHECK4:NG");
  EXPECT_FALSE(FileExist(work / "a.png"));
}

TEST(Child, EveryDrawingExtensionGivesAnImageEvenWhenUnreadable) {
  for (const char* ext : {".jww", ".JWW", ".jws", ".jwc", ".jwk", ".k4"}) {
    TempDir app, work;
    app.Write("Plotvane.dat", SettingsText("64", "48"));
    const std::string src = work.Write(std::string("bad") + ext, "not a drawing");
    const std::string dst = work / "out.png";
    RunWith(app, {"exe", "1", "2", src, dst});
    const LoadedImage img = LoadImageFile(dst);
    ASSERT_TRUE(img.ok()) << ext << ": " << img.error;
    EXPECT_EQ(img.bitmap.width, 64) << ext;
    EXPECT_EQ(img.bitmap.height, 48) << ext;
  }
}

TEST(Child, DrawingWithoutEntitiesGivesAWhitePicture) {
  TempDir app, work;
  app.Write("Plotvane.dat", SettingsText("40", "30"));
  JwwWriter w(600);
  const std::string src = work.Write("empty.jww", w.Finish());
  RunWith(app, {"exe", "1", "2", src, work / "out.jpg"});
  const LoadedImage img = LoadImageFile(work / "out.jpg");
  ASSERT_TRUE(img.ok()) << img.error;
  EXPECT_EQ(img.bitmap.at(20, 15) & 0xFFFFFF, 0xFFFFFFu);
}

TEST(Child, OtherSourceExtensionWritesNothing) {
  TempDir app, work;
  app.Write("Plotvane.dat", SettingsText("64", "48"));
  const std::string src = work.Write("plan.dxf", "0\nSECTION\n");
  const ChildRun r = RunWith(app, {"exe", "1", "2", src, work / "out.png"});
  EXPECT_EQ(r.lines.back(), "CHECK5:OK");
  EXPECT_FALSE(FileExist(work / "out.png"));
}

TEST(Child, ResolutionChoiceSizesTheJwwPaper) {
  TempDir app, work;
  app.Write("Plotvane.dat", SettingsText("100", "100", 1));  // 36 dpi
  const std::string src = work.Write("plan.jww", SmallDrawing());  // A3
  RunWith(app, {"exe", "1", "2", src, work / "out.png"});
  const LoadedImage img = LoadImageFile(work / "out.png");
  ASSERT_TRUE(img.ok()) << img.error;
  EXPECT_EQ(img.bitmap.width, 595);   // 420 / 25.4 * 36 = 595.3
  EXPECT_EQ(img.bitmap.height, 421);  // 297 / 25.4 * 36 = 420.9
}

// The highest resolution the settings offer: A3 at 1200 dpi is drawn in
// bands, in memory far below its bitmap of 1.1 GB.
TEST(Child, HighestResolutionChoiceGivesItsPicture) {
  TempDir app, work;
  app.Write("Plotvane.dat", SettingsText("100", "100", 18));  // 1200 dpi
  const std::string src = work.Write("plan.jww", SmallDrawing());  // A3
  const ChildRun r = RunWith(app, {"exe", "1", "2", src, work / "out.png"});
  EXPECT_EQ(r.err, "");
  std::vector<uint8_t> png;
  ASSERT_TRUE(ReadFileBytes(work / "out.png", size_t{1} << 30, png));
  ASSERT_GT(png.size(), 24u);
  const auto be32 = [&png](size_t at) {
    return (uint32_t{png[at]} << 24) | (uint32_t{png[at + 1]} << 16) | (uint32_t{png[at + 2]} << 8) | png[at + 3];
  };
  EXPECT_EQ(be32(16), 19843u);  // 420 / 25.4 * 1200 = 19842.5
  EXPECT_EQ(be32(20), 14031u);  // 297 / 25.4 * 1200 = 14031.5
}

// The child frames a symbol by its defining points' extents, as it always
// did; the library's pictures take the drawn box (the text above them).
TEST(Child, SymbolsKeepTheExtentsOfTheirDefiningPoints) {
  TempDir app, work;
  app.Write("Plotvane.dat", SettingsText("200", "150"));
  const std::string src = work.Write("sym.jws", SymbolTextAbove());
  RunWith(app, {"exe", "1", "2", src, work / "child.png"});
  const LoadedImage child = LoadImageFile(work / "child.png");
  ASSERT_TRUE(child.ok()) << child.error;

  const Opened opened = Drawing::Open(src);
  ASSERT_TRUE(opened) << opened.status.message;
  const auto render = [&](bool drawn, const std::string& name) {
    RenderOptions o;
    o.width = 200;
    o.height = 150;
    o.fit_drawn = drawn;
    EXPECT_TRUE(Render(opened.drawing, o, Output::File(work / name)));
    return LoadImageFile(work / name);
  };
  const LoadedImage points = render(false, "points.png"), drawn = render(true, "drawn.png");
  ASSERT_TRUE(points.ok()) << points.error;
  ASSERT_TRUE(drawn.ok()) << drawn.error;
  EXPECT_EQ(child.bitmap.pixels, points.bitmap.pixels);
  EXPECT_NE(child.bitmap.pixels, drawn.bitmap.pixels);
}

TEST(Child, BitmapTooLargeIsRefusedWithAMessage) {
  TempDir app, work;
  app.Write("Plotvane.dat", SettingsText("100000", "100000"));
  const std::string src = work.Write("plan.jww", SmallDrawing());
  const ChildRun r = RunWith(app, {"exe", "1", "2", src, work / "out.png"});
  EXPECT_NE(r.err.find("larger than the limit"), std::string::npos) << r.err;
  EXPECT_FALSE(FileExist(work / "out.png"));
}

}  // namespace
}  // namespace zumen
