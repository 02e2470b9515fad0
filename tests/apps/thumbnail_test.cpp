// `zumen thumbnail IN OUT SIZE`, run as a desktop's thumbnailer runs it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "codecs/image_io.h"
#include "command.h"
#include "support/jww_writer.h"
#include "zumen/zumen.h"

namespace zumen {
namespace {

using namespace test_apps;
namespace fs = std::filesystem;

const std::string kZumen = ZUMEN_EXE;

// A JWW drawing on A4 paper whose lines span the box (x0, y0)-(x1, y1).
std::string Drawing(const TempDir& t, const std::string& name, double x0, double y0, double x1, double y1) {
  JwwWriter w(600);
  w.head.Enthd.nZumen = 4;
  w.att.nPenColor = 2;
  w.att.nPenStyle = 1;
  w.Line(x0, y0, x1, y1);
  w.Line(x0, y1, x1, y0);
  return t.Write(name, w.Finish());
}

Result Thumbnail(const TempDir& t, const std::string& in, const std::string& out, const std::string& size) {
  return Exec(t, Q(kZumen) + " thumbnail " + Q(in) + " " + Q(out) + " " + size);
}

bool IsPng(const std::string& path) { return ReadAll(path).rfind("\x89PNG\r\n\x1a\n", 0) == 0; }

TEST(Thumbnail, LongSideIsTheSizeAndTheOtherFollowsTheExtents) {
  TempDir t;
  struct Case {
    double x0, y0, x1, y1;
    std::string size;
    int width, height;
  };
  const std::vector<Case> cases = {
      {-100, -50, 100, 50, "256", 256, 128},   // wide: 2 to 1
      {-100, -50, 100, 50, "37", 37, 19},      // half a pixel rounds up
      {-30, -90, 30, 90, "256", 85, 256},      // tall: 1 to 3
      {-50, -50, 50, 50, "128", 128, 128},     // square
      {-100, 0, 100, 0.001, "64", 64, 8},      // a line: the picture stays 1 to 8 at most
      {-100, -50, 100, 50, "1", 1, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x1 - c.x0) + "x" + std::to_string(c.y1 - c.y0) + " at " + c.size);
    const std::string in = Drawing(t, "plan.jww", c.x0, c.y0, c.x1, c.y1);
    const std::string out = t / "thumbnail.png";
    const Result r = Thumbnail(t, in, out, c.size);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
    const LoadedImage png = LoadImageFile(out);
    ASSERT_TRUE(png.ok()) << png.error;
    EXPECT_TRUE(IsPng(out));
    EXPECT_EQ(png.bitmap.width, c.width);
    EXPECT_EQ(png.bitmap.height, c.height);
    EXPECT_EQ(png.bitmap.at(0, 0), 0xFFFFFFFFu);  // opaque white
  }
}

TEST(Thumbnail, WritesPngWhateverTheNamesSay) {
  TempDir t;
  const std::string in = Drawing(t, "plan.jww", -100, -50, 100, 50);
  fs::copy_file(in, t / "plan with no extension");
  for (const auto& [source, out] : std::vector<std::pair<std::string, std::string>>{
           {in, t / "thumbnail.jpg"}, {t / "plan with no extension", t / "thumbnail"}}) {
    SCOPED_TRACE(source + " -> " + out);
    const Result r = Thumbnail(t, source, out, "128");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(IsPng(out));
    EXPECT_EQ(LoadImageFile(out).bitmap.width, 128);
  }
}

TEST(Thumbnail, FailuresAndUsageMistakes) {
  TempDir t;
  const std::string in = Drawing(t, "plan.jww", -100, -50, 100, 50);
  const std::string out = t / "thumbnail.png";
  {
    const Result r = Thumbnail(t, t / "missing.jww", out, "128");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.jww"), std::string::npos) << r.err;
  }
  {
    t.Write("broken.jww", "JwwData. but nothing after it");
    const Result r = Thumbnail(t, t / "broken.jww", out, "128");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("broken.jww"), std::string::npos) << r.err;
  }
  {
    const Result r = Thumbnail(t, in, t / "no such folder/thumbnail.png", "128");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("no such folder"), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(out));
  for (const std::string size : {"0", "-5", "abc", "12px", "4097", "99999999999", "''"}) {
    SCOPED_TRACE(size);
    const Result r = Thumbnail(t, in, out, size);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("SIZE"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(out));
  }
  EXPECT_EQ(Exec(t, Q(kZumen) + " thumbnail " + Q(in) + " " + Q(out)).status, 2);
  EXPECT_EQ(Exec(t, Q(kZumen) + " thumbnail " + Q(in) + " " + Q(out) + " 64 128").status, 2);
  EXPECT_EQ(Thumbnail(t, in, out, "4096").status, 0);
}

}  // namespace
}  // namespace zumen
