#include "child/settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/temp_dir.h"

namespace zumen_child {
namespace {

using zumen::testing::TempDir;

TEST(DatFileOpen, MissingFileKeepsTheDefaults) {
  TempDir t;
  Settings s;
  s.cb3 = 7;
  EXPECT_FALSE(DatFileOpen(t / "Plotvane.dat", t.dir(), s));
  EXPECT_EQ(s.Fm1w, 480);
  EXPECT_TRUE(s.rb1);
  EXPECT_EQ(s.cb3, 0);
  EXPECT_EQ(s.ed2, u"100");
  EXPECT_EQ(s.gstyle, u"Windows");
}

TEST(DatFileOpen, ReadsTheEighteenLinesInOrder) {
  TempDir t;
  t.Write("Plotvane.dat",
          "1\r\n2\r\n3\r\n4\r\nOn\r\nyes\r\ntrue\r\n1\r\nT\r\nmemo\r\nl1\r\nl2\r\n5\r\nDark\r\n6\r\n9\r\n640\r\n480\r\nextra\r\n");
  Settings s;
  ASSERT_TRUE(DatFileOpen(t / "Plotvane.dat", t.dir(), s));
  EXPECT_EQ(s.Fm1x, 1);
  EXPECT_EQ(s.Fm1h, 4);
  EXPECT_TRUE(s.rb1);   // "On"
  EXPECT_FALSE(s.rb2);  // "yes" is not a true word
  EXPECT_TRUE(s.rb3);
  EXPECT_TRUE(s.rb4);
  EXPECT_TRUE(s.rb5);
  EXPECT_EQ(s.ed1, u"memo");
  EXPECT_EQ(s.lb2, u"l2");
  EXPECT_EQ(s.Fidx, 5);
  EXPECT_EQ(s.gstyle, u"Dark");
  EXPECT_EQ(s.cb2, 6);
  EXPECT_EQ(s.cb3, 9);
  EXPECT_EQ(s.cb4, 0);
  EXPECT_EQ(s.ed2, u"640");
  EXPECT_EQ(s.ed3, u"480");
}

TEST(DatFileOpen, ShortFileGivesEmptyTextForTheMissingLines) {
  TempDir t;
  t.Write("Plotvane.dat", "1\n2\n3\n4\ntrue\n0\n0\n0\n0\nx\n");
  Settings s;
  ASSERT_TRUE(DatFileOpen(t / "Plotvane.dat", t.dir(), s));
  EXPECT_EQ(s.ed1, u"x");
  EXPECT_EQ(s.lb2, u"");
  EXPECT_EQ(s.Fidx, 0);
  EXPECT_EQ(s.cb3, 0);
  EXPECT_EQ(s.ed2, u"");
  EXPECT_EQ(s.ed3, u"");
}

// Makes the file `size` bytes long without writing the tail (a sparse file).
void GrowTo(const std::string& path, off_t size) { ASSERT_EQ(::truncate(path.c_str(), size), 0); }

// Only the first lines of these files matter: a long tail after them does
// not make the file unreadable.
TEST(DatFileOpen, ALongTailAfterTheEighteenLinesIsNotRead) {
  TempDir t;
  std::string text;
  for (int i = 0; i < 15; ++i) text += "1\r\n";
  text += "0\r\n640\r\n480\r\n";
  text += std::string(2 << 20, 'x');  // more than a mebibyte of tail, written
  t.Write("Plotvane.dat", text);
  Settings s;
  ASSERT_TRUE(DatFileOpen(t / "Plotvane.dat", t.dir(), s));
  EXPECT_EQ(s.Fm1x, 1);
  EXPECT_EQ(s.Fm1w, 1);
  EXPECT_TRUE(s.rb1);
  EXPECT_EQ(s.cb3, 0);
  EXPECT_EQ(s.ed2, u"640");
  EXPECT_EQ(s.ed3, u"480");
  GrowTo(t / "Plotvane.dat", off_t{1} << 32);  // and a tail of gigabytes, never written
  s = Settings{};
  ASSERT_TRUE(DatFileOpen(t / "Plotvane.dat", t.dir(), s));
  EXPECT_EQ(s.ed2, u"640");
}

Settings Sized(std::u16string w, std::u16string h, int cb3) {
  Settings s;
  s.ed2 = std::move(w);
  s.ed3 = std::move(h);
  s.cb3 = cb3;
  return s;
}

TEST(PixelSize, RoundsHalvesToEvenWithAMinimumOf10) {
  struct Case {
    std::u16string w, h;
    double sx, sy;
  } cases[] = {
      {u"100", u"100", 100, 100}, {u"5.4", u"100", 10, 100}, {u"100.5", u"101.5", 100, 102},
      {u"", u"abc", 10, 10},      {u"2,5", u"1e3", 10, 1000},
  };
  for (const Case& c : cases) {
    double sx, sy;
    PixelSize(Sized(c.w, c.h, 0), sx, sy);
    EXPECT_EQ(sx, c.sx);
    EXPECT_EQ(sy, c.sy);
  }
}

TEST(DpiOfChoice, Table) {
  EXPECT_EQ(DpiOfChoice(0), 0);
  EXPECT_EQ(DpiOfChoice(1), 36);
  EXPECT_EQ(DpiOfChoice(9), 300);
  EXPECT_EQ(DpiOfChoice(18), 1200);
  EXPECT_EQ(DpiOfChoice(-3), 300);
}

TEST(ReadChildSettings, ThePixelSizeAndTheResolutionOfTheFileBesideTheChild) {
  TempDir t;
  EXPECT_FALSE(ReadChildSettings(t.dir()).found);
  std::string text;
  for (int i = 0; i < 15; ++i) text += "0\r\n";
  text += "9\r\n1600.5\r\n5e9\r\n";
  t.Write("Plotvane.dat", text);
  const ChildSettings s = ReadChildSettings(t.dir());
  EXPECT_TRUE(s.found);
  EXPECT_EQ(s.dpi, 300);
  EXPECT_EQ(s.width, 1600);
  EXPECT_EQ(s.height, 2000000000);  // held by an int
}

}  // namespace
}  // namespace zumen_child
