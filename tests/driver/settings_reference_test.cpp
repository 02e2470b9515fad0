#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "common/text.h"
#include "api/impl.h"
#include "driver/conversion.h"
#include "zumen/zumen.h"
#include "driver/reference.h"
#include "support/jww_writer.h"
#include "support/temp_dir.h"

namespace zumen {
namespace {

using testing::TempDir;

// Makes the file `size` bytes long without writing the tail (a sparse file).
void GrowTo(const std::string& path, off_t size) { ASSERT_EQ(::truncate(path.c_str(), size), 0); }

TEST(GetRefFileName, ALongTailAfterTheNameIsNotRead) {
  TempDir t;
  t.Write("Jw_win.jwf", "X=1\r\nREF_FILE=refs.txt\r\n");
  GrowTo(t / "Jw_win.jwf", off_t{1} << 32);
  ConversionContext ctx;
  GetRefFileName(ctx, t.dir());
  EXPECT_EQ(ctx.RefFileName, u"refs.txt");
}

TEST(RefFileOpen, AHugeFileGivesTheEntriesBeforeTheBound) {
  TempDir t;
  t.Write("refs.txt", "%%A\tfirst\r\n%%B\tsecond\r\n");
  GrowTo(t / "refs.txt", off_t{1} << 32);
  ConversionContext ctx;
  ctx.RefFileName = u"refs.txt";
  RefFileOpen(ctx, t.dir());
  ASSERT_EQ(ctx.RefList.size(), 2u);
  EXPECT_EQ(ctx.RefList[1].s2, u"second");
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
  ctx.CurFilePath = drawings.dir() + "plan.jww";
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

// A drawing whose texts use the file-name macros and a reference text.
std::vector<uint8_t> MacroDrawing() {
  JwwWriter w(600);
  w.Text(0, 0, u"%F %%A");
  return w.Finish();
}

// The current file is the drawing's full path as the system gave it: the same
// whatever the working folder, with links kept, and shown as text from its
// UTF-8 or code page 932 bytes. The reference file beside it is found.
TEST(SetUpContext, CurrentFileIsTheFullPathAndTheReferenceFileIsBesideIt) {
  TempDir app, t;
  app.Write("Jw_win.jwf", "REF_FILE=refs.txt\r\n");
  const std::string sjis = "\x90\x7D\x96\xCA";      // 図面 in code page 932
  const std::string utf8 = "\xE5\x9B\xB3\xE9\x9D\xA2";  // 図面 in UTF-8
  for (const std::string& folder : {sjis, utf8}) {
    std::filesystem::create_directory(t / folder);
    t.Write(folder + "/plan.jww", MacroDrawing());
    t.Write(folder + "/refs.txt", "%%A\tbeside\r\n");
  }
  std::filesystem::create_directory_symlink(t / sjis, t / "link");
  char old[4096];
  ASSERT_NE(::getcwd(old, sizeof old), nullptr);
  const std::u16string base = Utf8ToUtf16(std::filesystem::canonical(t.dir()).string());
  struct Case {
    std::string cwd, src;
    std::u16string name;
  } cases[] = {
      {t / sjis, "plan.jww", base + u"/図面/plan.jww"},
      {t.dir(), "./" + sjis + "/plan.jww", base + u"/図面/plan.jww"},
      {"/", t / sjis + "/plan.jww", base + u"/図面/plan.jww"},
      {t / utf8, "../" + utf8 + "/plan.jww", base + u"/図面/plan.jww"},
      {t.dir(), "link/plan.jww", base + u"/link/plan.jww"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cwd + " " + c.src);
    ASSERT_EQ(::chdir(c.cwd.c_str()), 0);
    const Opened opened = Drawing::Open(c.src);
    ASSERT_TRUE(opened) << opened.status.message;
    ASSERT_TRUE(opened.drawing.Info().read_ok) << opened.drawing.Info().read_error;
    // Rendered from another working folder: the path was taken when the drawing was opened.
    ASSERT_EQ(::chdir("/"), 0);
    RenderOptions options;
    options.reference_file = ReferenceFileOf(app.dir());
    options.reference_folder = app.dir();
    ConversionContext ctx;
    SetUpContext(opened.drawing.impl().loaded, options, ctx);
    EXPECT_EQ(ctx.CurFileName, c.name);
    EXPECT_EQ(ctx.CurFilePath.front(), '/');
    ASSERT_EQ(ctx.RefList.size(), 1u);
    EXPECT_EQ(ctx.RefList[0].s2, u"beside");
  }
  ASSERT_EQ(::chdir(old), 0);
}

}  // namespace
}  // namespace zumen
