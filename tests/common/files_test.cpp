#include "common/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/text.h"

namespace zumen {
namespace {

struct SplitCase {
  std::u16string path;
  int hi;
  int last;
  std::vector<std::u16string> parts;
};

TEST(SplitPath, Components) {
  const SplitCase cases[] = {
      {u"C:\\dir\\sub\\file.jww", 9, 3, {u"C:", u"dir", u"sub", u"file.jww"}},
      {u"\\\\server\\share\\a", 9, 3, {u"", u"server", u"share", u"a"}},
      {u"a//b/c", 9, 2, {u"a", u"b", u"c"}},
      {u"a/b/c/d/e", 2, 2, {u"a", u"b", u"e"}},  // only the tail stays in the last slot
      {u"a/b/c/", 2, 2, {u"a", u"b", u""}},
      {u"", 3, 0, {u""}},
      {u"/x", 3, 1, {u"", u"x"}},
      {u"a\\/b", 3, 2, {u"a", u"", u"b"}},  // a backslash then a slash is no doubled separator
  };
  for (const auto& c : cases) {
    std::vector<std::u16string> parts(1, u"stale");
    const int last = SplitPath(c.path, parts, c.hi);
    EXPECT_EQ(last, c.last) << std::string(c.path.begin(), c.path.end());
    ASSERT_EQ(parts.size(), static_cast<size_t>(c.hi + 1));
    for (size_t k = 0; k < parts.size(); ++k)
      EXPECT_EQ(parts[k], k < c.parts.size() ? c.parts[k] : u"") << std::string(c.path.begin(), c.path.end()) << " " << k;
  }
}

TEST(Paths, ExtensionsAndChange) {
  EXPECT_EQ(FileExtLower(u"/a/PLAN.JWW"), u".jww");
  EXPECT_EQ(FileExtLower(u"C:\\dir.d\\file"), u"");
  EXPECT_EQ(FileExtLower(u"/dir.d/file"), u"");
  EXPECT_EQ(FileExtLower(u"a.tar.GZ"), u".gz");
  EXPECT_EQ(FileExtLower(u"noext"), u"");
  EXPECT_EQ(FileExtLower(std::u16string(u"a\0.jww", 6)), u"");  // not a valid name
  EXPECT_EQ(FileExtLower("/tmp/ＤＡＴＡ.ＪＷＷ"), ".ｊｗｗ");
  EXPECT_EQ(ChangeExt(u"/a/b.jww", u".png"), u"/a/b.png");
  EXPECT_EQ(ChangeExt(u"/a.d/b", u"png"), u"/a.d/b.png");
  EXPECT_EQ(ChangeExt(u"img.bmp.gz", u""), u"img.bmp");
  EXPECT_EQ(ChangeExt(u"", u".png"), u"");
  EXPECT_EQ(ChangeExt("dir/TmpImg", ".bmp"), "dir/TmpImg.bmp");
  EXPECT_EQ(PathDelim(), u'/');
}

class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/zumen-common-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { std::system(("rm -rf '" + dir_ + "'").c_str()); }
  std::string dir_;
};

TEST_F(FilesTest, FolderAndFileLifecycle) {
  const std::string sub = dir_ + "/a/b";
  EXPECT_FALSE(DirExist(sub));
  EXPECT_TRUE(MakeDir(sub));
  EXPECT_TRUE(MakeDir(sub));  // already there
  EXPECT_TRUE(DirExist(sub));
  EXPECT_FALSE(FileExist(sub));
  const std::string f = sub + "/x.bin";
  const uint8_t data[] = {1, 0, 2, 255};
  ASSERT_TRUE(WriteFileBytes(f, data));
  EXPECT_TRUE(FileExist(f));
  EXPECT_TRUE(FileExist(Utf8ToUtf16(f)));
  EXPECT_FALSE(DirExist(f));
  EXPECT_FALSE(DelDir(sub));  // not empty
  EXPECT_FALSE(DelFile(sub));  // a folder is not a file
  EXPECT_FALSE(DelDir(f));     // a file is not a folder
  EXPECT_TRUE(DelFile(f));
  EXPECT_FALSE(DelFile(f));
  ::chmod(sub.c_str(), 0555);
  EXPECT_TRUE(DelDir(sub));  // read-only is cleared first
  EXPECT_FALSE(DirExist(sub));
  EXPECT_FALSE(MakeDir(""));
  EXPECT_FALSE(WriteFileBytes(dir_ + "/missing/x", data));
}

TEST_F(FilesTest, ReadBytesWithLimit) {
  const std::string f = dir_ + "/d.bin";
  const std::vector<uint8_t> data = {9, 8, 7, 6, 5};
  ASSERT_TRUE(WriteFileBytes(f, data));
  std::vector<uint8_t> out;
  std::string msg;
  ASSERT_TRUE(ReadFileBytes(f, 5, out, &msg));
  EXPECT_EQ(out, data);
  EXPECT_FALSE(ReadFileBytes(f, 4, out, &msg));
  EXPECT_NE(msg.find("too large"), std::string::npos);
  EXPECT_TRUE(out.empty());
  EXPECT_FALSE(ReadFileBytes(dir_, 100, out, &msg));  // a folder
  EXPECT_FALSE(ReadFileBytes(dir_ + "/none", 100, out, &msg));
  EXPECT_NE(msg.find("cannot open"), std::string::npos);
}

TEST_F(FilesTest, TextLines) {
  EXPECT_EQ(SplitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\n\nb\n"), (std::vector<std::string>{"a", "", "b"}));
  EXPECT_EQ(SplitLines("\r\n"), (std::vector<std::string>{""}));
  EXPECT_TRUE(SplitLines("").empty());
  const std::string f = dir_ + "/t.txt";
  const std::string text = "key\t\x8A\xBF\r\nline2";
  ASSERT_TRUE(WriteFileBytes(f, std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
  std::vector<std::string> lines;
  ASSERT_TRUE(ReadTextLines(f, 1 << 20, lines));
  EXPECT_EQ(lines, (std::vector<std::string>{"key\t\x8A\xBF", "line2"}));
}

// Lines read until the reader has what it needs: the rest of the file is
// never read, however large it is.
TEST_F(FilesTest, LinesAreReadOnlyAsFarAsNeeded) {
  const std::string f = dir_ + "/big.txt";
  {
    // Three short lines, then a tail of a gigabyte that is never written
    // (a sparse file costs no disk).
    const std::string head = "one\r\ntwo\nthree\n";
    ASSERT_TRUE(WriteFileBytes(f, std::span(reinterpret_cast<const uint8_t*>(head.data()), head.size())));
    ASSERT_EQ(::truncate(f.c_str(), off_t{1} << 30), 0);
  }
  std::vector<std::string> got;
  EXPECT_TRUE(ReadLinesWhile(f, 1 << 20, [&](std::string_view line) {
    got.emplace_back(line);
    return got.size() < 3;
  }));
  EXPECT_EQ(got, (std::vector<std::string>{"one", "two", "three"}));

  // Not stopped: the bound ends the reading, the line it cuts is not passed.
  got.clear();
  std::string msg;
  EXPECT_FALSE(ReadLinesWhile(f, 1 << 16, [&](std::string_view line) {
    got.emplace_back(line);
    return true;
  }, &msg));
  EXPECT_EQ(got, (std::vector<std::string>{"one", "two", "three"}));
  EXPECT_NE(msg.find("only the first 65536 bytes"), std::string::npos) << msg;
  EXPECT_FALSE(ReadLinesWhile(dir_, 100, [](std::string_view) { return true; }));  // a folder
}

TEST_F(FilesTest, LinesReadInBlocksFollowTheLineRules) {
  // A CR LF split between two blocks of the reader ends one line; a file
  // exactly as long as the bound is read whole; no line after a final end.
  const std::string text = std::string(65535, 'a') + "\r\nb\rc\r\n\nd";
  const std::string f = dir_ + "/t.txt";
  ASSERT_TRUE(WriteFileBytes(f, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
  std::vector<std::string> got;
  EXPECT_TRUE(ReadLinesWhile(f, text.size(), [&](std::string_view line) {
    got.emplace_back(line);
    return true;
  }));
  EXPECT_EQ(got, SplitLines(text));
  EXPECT_EQ(got.size(), 5u);
}

TEST(AbsolutePath, JoinsTheWorkingFolderWithoutResolvingLinks) {
  char tmpl[] = "/tmp/zumen-abs-XXXXXX";
  ASSERT_NE(mkdtemp(tmpl), nullptr);
  const std::string dir = tmpl;
  ASSERT_EQ(::mkdir((dir + "/real").c_str(), 0700), 0);
  ASSERT_EQ(::mkdir((dir + "/real/sub").c_str(), 0700), 0);
  ASSERT_EQ(::symlink((dir + "/real/sub").c_str(), (dir + "/link").c_str()), 0);
  char old[4096];
  ASSERT_NE(::getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(::chdir(dir.c_str()), 0);
  const std::string cwd = std::filesystem::current_path().string();
  struct Case {
    std::string in, out;
  } cases[] = {
      {"plan.jww", cwd + "/plan.jww"},
      {"./real//plan.jww", cwd + "/real/plan.jww"},
      {"real/sub/../plan.jww", cwd + "/real/plan.jww"},
      {"link/plan.jww", cwd + "/link/plan.jww"},         // the link's name stays
      {"link/../plan.jww", cwd + "/link/../plan.jww"},   // ".." after a link is the link target's parent
      {"/a/./b/../c.jww", "/a/c.jww"},
      {"/../x.jww", "/x.jww"},
      {"/", "/"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(AbsolutePath(c.in), c.out) << c.in;
  ASSERT_EQ(::chdir(old), 0);
  std::filesystem::remove_all(dir);
}

TEST(PathToText, DecodesEachComponentAsUtf8ElseCodePage932) {
  struct Case {
    std::string path;
    std::u16string text;
  } cases[] = {
      {"/home/\xE5\x9B\xB3\xE9\x9D\xA2/a.jww", u"/home/図面/a.jww"},
      {"/home/\x90\x7D\x96\xCA/a.jww", u"/home/図面/a.jww"},                        // Shift_JIS folder
      {"/\xE5\x9B\xB3/\x95\x5C.jww", u"/図/表.jww"},                                // 0x5C is a trail byte here
      {"/data/caf\xE9/a.jww", u"/data/caf\uFFFD/a.jww"},  // Latin-1 é: a lone lead byte in 932
      {"relative", u"relative"},
  };
  for (const Case& c : cases) EXPECT_EQ(PathToText(c.path), c.text) << c.path;
}

TEST_F(FilesTest, ModificationTimeToEvenSeconds) {
  const std::string f = dir_ + "/m.bin";
  ASSERT_TRUE(WriteFileBytes(f, std::span<const uint8_t>()));
  std::tm tm{};
  tm.tm_year = 2021 - 1900;
  tm.tm_mon = 5;
  tm.tm_mday = 7;
  tm.tm_hour = 13;
  tm.tm_min = 45;
  tm.tm_sec = 31;
  tm.tm_isdst = -1;
  const std::time_t t = std::mktime(&tm);
  struct timespec ts[2] = {{t, 0}, {t, 500000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, f.c_str(), ts, 0), 0);
  DateTime d;
  ASSERT_TRUE(FileTimeLocal(f, d));
  DateTime want;
  want.year = 2021;
  want.month = 6;
  want.day = 7;
  want.hour = 13;
  want.minute = 45;
  want.second = 30;
  EXPECT_EQ(d, want);
  EXPECT_FALSE(FileTimeLocal(dir_ + "/none", d));
}

// A placed file is found as named, beside the drawing, or by its last path
// component beside the drawing (drawings written on Windows name paths that
// do not exist here); without a drawing only as named.
TEST_F(FilesTest, PlacedFilesAreFoundBesideTheDrawing) {
  const std::string dir = dir_ + "/";
  std::ofstream(dir + "wide.png") << "x";
  std::ofstream(dir + "photo.jpeg") << "x";
  const std::string drawing = dir + "drawing.jww";
  struct Case {
    std::u16string name;
    std::string found;
  } cases[] = {
      {u"wide.png", dir + "wide.png"},
      {u"C:\\data\\wide.png", dir + "wide.png"},
      {u"..\\pics\\photo.jpeg", dir + "photo.jpeg"},
      {u"/nowhere/wide.png", dir + "wide.png"},
      {Utf8ToUtf16(dir + "wide.png"), dir + "wide.png"},
      {u"C:\\data\\missing.png", ""},
      {u"C:\\data\\", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(FindPlacedFile(c.name, drawing), c.found) << Utf16ToUtf8(c.name);
  EXPECT_EQ(FindPlacedFile(u"C:\\data\\wide.png", ""), "");
  EXPECT_EQ(FindPlacedFile(Utf8ToUtf16(dir + "wide.png"), ""), dir + "wide.png");
}

}  // namespace
}  // namespace zumen
