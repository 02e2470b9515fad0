#include "common/files.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
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

}  // namespace
}  // namespace zumen
