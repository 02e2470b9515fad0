#include <gtest/gtest.h>

#include "driver/reference.h"
#include "driver/settings.h"
#include "support/temp_dir.h"

namespace zumen {
namespace {

using testing::TempDir;

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

TEST(GetRefFileName, FindsTheKeyInAnyCaseAndStopsAtEnd) {
  struct Case {
    std::string jwf;
    std::u16string name;
  } cases[] = {
      {"X=1\r\n  ref_file = /data/Ref.txt  \r\n", u"/data/Ref.txt"},
      {"REF_FILE=refs.txt\n", u"refs.txt"},
      {"END\nREF_FILE=refs.txt\n", u""},
      {"other\n", u""},
  };
  for (const Case& c : cases) {
    TempDir t;
    t.Write("Jw_win.jwf", c.jwf);
    ConversionContext ctx;
    GetRefFileName(ctx, t.dir());
    EXPECT_EQ(ctx.RefFileName, c.name) << c.jwf;
  }
}

TEST(RefFileOpen, KeepsUsableLinesOnly) {
  TempDir t;
  t.Write("refs.txt",
          "%%A\tx\ty\r\n"     // the second tab is a control character: value "xy"
          "%%B C\tblank\r\n"  // blank in the key
          "AB\tno prefix\r\n"
          "no tab\r\n"
          "\tempty key\r\n"
          "%%D\t\x93\xfa\x96\x7b\r\n");  // 日本 in code page 932
  ConversionContext ctx;
  ctx.RefFileName = u"refs.txt";
  RefFileOpen(ctx, t.dir());
  ASSERT_EQ(ctx.RefList.size(), 2u);
  EXPECT_EQ(ctx.RefList[0].s1, u"%%A");
  EXPECT_EQ(ctx.RefList[0].s2, u"xy");
  EXPECT_EQ(ctx.RefList[1].s1, u"%%D");
  EXPECT_EQ(ctx.RefList[1].s2, u"日本");
}

TEST(RefFileOpen, NameWithoutFolderIsLookedForBesideTheDrawingThenTheProgram) {
  TempDir app, drawings;
  app.Write("REFS.TXT", "%%W\tapp\n");
  drawings.Write("refs.txt", "%%W\tdrawing\n");
  ConversionContext ctx;
  ctx.RefFileName = u"REFS.TXT";
  RefFileOpen(ctx, app.dir());
  ASSERT_EQ(ctx.RefList.size(), 1u);
  EXPECT_EQ(ctx.RefList[0].s2, u"app");
  // After a drawing is read its folder is searched; a name written in another
  // letter case still finds the file.
  const std::string folder = drawings.dir();
  ctx.CurFileName = std::u16string(folder.begin(), folder.end()) + u"plan.jww";
  RefFileOpen(ctx, app.dir());
  ASSERT_EQ(ctx.RefList.size(), 1u);
  EXPECT_EQ(ctx.RefList[0].s2, u"drawing");
}

TEST(RefFileOpen, MissingFileEmptiesTheList) {
  TempDir t;
  ConversionContext ctx;
  ctx.RefList.push_back({u"%%old", u"v"});
  ctx.RefFileName = u"none.txt";
  RefFileOpen(ctx, t.dir());
  EXPECT_TRUE(ctx.RefList.empty());
}

}  // namespace
}  // namespace zumen
