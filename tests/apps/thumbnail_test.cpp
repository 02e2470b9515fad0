// `zumen thumbnail IN OUT SIZE`, run as a desktop's thumbnailer runs it.
#include <gtest/gtest.h>

#include <algorithm>
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

// A JWW drawing on A4 paper whose black lines span the box (x0, y0)-(x1, y1),
// on layers that are shown, on a white background.
std::string Drawing(const TempDir& t, const std::string& name, double x0, double y0, double x1, double y1) {
  JwwWriter w(600);
  w.Paper(4);
  for (auto& g : w.head.EntLgrp) g.anGLay = 2;
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  w.head.EntCol[0].aPrtPenColor = 0xFFFFFF;
  w.head.EntCol[1].aPrtPenColor = 0x000000;
  w.head.EntCol[1].anPrtPenWidth = 30;
  w.Pen(1).Line(x0, y0, x1, y1);
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
    // Opaque white where the lines (an X from corner to corner) do not pass.
    if (c.width > 2) {
      EXPECT_EQ(png.bitmap.at(c.width / 2, 0), 0xFFFFFFFFu);
    }
  }
}

// The drawing's entities fill the picture: its ink reaches from margin to
// margin, wherever the drawing lies on (or off) its paper.
TEST(Thumbnail, TheExtentsFillThePicture) {
  TempDir t;
  struct Case {
    double x0, y0, x1, y1;
  };
  for (const Case c : {Case{-100, -50, 100, 50}, Case{5000, 7000, 5040, 7120}, Case{-10, -10, 10, 10}}) {
    SCOPED_TRACE(std::to_string(c.x0) + "," + std::to_string(c.y0));
    const std::string in = Drawing(t, "plan.jww", c.x0, c.y0, c.x1, c.y1);
    const std::string out = t / "thumbnail.png";
    ASSERT_EQ(Thumbnail(t, in, out, "200").status, 0);
    const Bitmap b = LoadImageFile(out).bitmap;
    int left = b.width, right = -1, top = b.height, bottom = -1;
    for (int y = 0; y < b.height; ++y) {
      for (int x = 0; x < b.width; ++x) {
        if (b.at(x, y) == 0xFFFFFFFFu) continue;
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
      }
    }
    ASSERT_GE(right, 0) << "no ink";
    // The margin leaves 2.5 % of each side, give or take a pixel of line width.
    const int mx = b.width / 40 + 2, my = b.height / 40 + 2;
    EXPECT_LE(left, mx);
    EXPECT_GE(right, b.width - 1 - mx);
    EXPECT_LE(top, my);
    EXPECT_GE(bottom, b.height - 1 - my);
    EXPECT_EQ(b.at(b.width / 2, 0), 0xFFFFFFFFu);
    EXPECT_EQ(b.at(0, b.height / 2), 0xFFFFFFFFu);
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
