// The two executables run as a user or a front-end runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "canvas/image_io.h"
#include "common/files.h"
#include "support/jww_writer.h"
#include "support/temp_dir.h"

namespace zumen {
namespace {

using testing::ReadAll;
using testing::TempDir;

struct Result {
  int status = -1;
  std::string out, err;
};

// Runs a shell command line, capturing standard output and standard error.
Result Exec(const TempDir& t, const std::string& command) {
  const std::string out = t / "stdout.txt", err = t / "stderr.txt";
  const int raw = std::system((command + " >" + out + " 2>" + err + " </dev/null").c_str());
  Result r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.out = ReadAll(out);
  r.err = ReadAll(err);
  return r;
}

std::string Q(const std::string& s) { return "'" + s + "'"; }

std::string Drawing(const TempDir& t, const std::string& name = "plan.jww") {
  JwwWriter w(600);
  w.head.Enthd.nZumen = 4;  // A4
  w.att.nPenColor = 2;
  w.att.nPenStyle = 1;
  w.Line(-100, -50, 100, 50);
  return t.Write(name, w.Finish());
}

TEST(ZumenCommand, ConvertWritesTheImage) {
  TempDir t;
  const std::string src = Drawing(t);
  const Result r = Exec(t, std::string(ZUMEN_EXE) + " convert " + Q(src) + " " + Q(t / "out.png") + " --size 300x200");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  const LoadedImage img = LoadImageFile(t / "out.png");
  ASSERT_TRUE(img.ok()) << img.error;
  EXPECT_EQ(img.bitmap.width, 300);
  EXPECT_EQ(img.bitmap.height, 200);
}

TEST(ZumenCommand, ExitStatusAndOneLineMessagePerProblem) {
  TempDir t;
  const std::string src = Drawing(t);
  {
    const std::string bytes = ReadAll(src);
    t.Write("cut.jww", bytes.substr(0, bytes.size() - 10));
    JwwWriter w(600);  // a block that places itself: cut at the depth limit
    w.Insert(1, 0, 0);
    w.BeginBlockDef(1, u"loop");
    w.Line(0, 0, 1, 1);
    w.Insert(1, 1, 1);
    w.EndBlockDef();
    t.Write("loop.jww", w.Finish());
  }
  struct Case {
    std::string args;
    int status;
    std::string words;
  } cases[] = {
      {"convert " + Q(t / "none.jww") + " " + Q(t / "a.png"), 1, "no such file"},
      {"convert " + Q(src) + " " + Q(t / "a.xyz"), 1, "unknown image type"},
      {"convert " + Q(src) + " " + Q(t / "a.png") + " --size 5000x5000 --max-pixels 1000", 1, "larger than the limit"},
      {"convert " + Q(src) + " " + Q(t / "a.png") + " --size 300", 2, "WIDTHxHEIGHT"},
      {"convert " + Q(src) + " " + Q(t / "a.png") + " --size 30x20 --dpi 100", 2, "excludes"},
      {"convert " + Q(t / "cut.jww") + " " + Q(t / "b.png") + " --size 30x20", 3, "warning"},
      {"convert " + Q(t / "loop.jww") + " " + Q(t / "c.png") + " --size 30x20", 3,
       "zumen: warning: \"" + t / "loop.jww" + "\" was drawn only in part: 1 block instance left out"},
      {"frobnicate", 2, ""},
  };
  for (const Case& c : cases) {
    const Result r = Exec(t, std::string(ZUMEN_EXE) + " " + c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.words), std::string::npos) << c.args << "\n" << r.err;
  }
  EXPECT_TRUE(FileExist(t / "b.png"));  // the partly read drawing is still drawn
  EXPECT_TRUE(FileExist(t / "c.png"));  // and so is the cut one
  EXPECT_FALSE(FileExist(t / "a.png"));
}

TEST(ZumenCommand, VersionHelpAndInfo) {
  TempDir t;
  Result r = Exec(t, std::string(ZUMEN_EXE) + " --version");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.rfind("zumen ", 0), 0u) << r.out;
  r = Exec(t, std::string(ZUMEN_EXE) + " --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("convert"), std::string::npos);
  r = Exec(t, std::string(ZUMEN_EXE) + " info " + Q(Drawing(t)) + " --json");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"format\": \"JWW\"", 0), 0u) << r.out;
}

TEST(ZumenChild, FrontEndProtocolBesideTheExecutable) {
  TempDir t;
  // The settings file lives beside the executable, so the test runs a copy.
  const std::string exe = t / "zumen-child";
  std::filesystem::copy_file(ZUMEN_CHILD_EXE, exe);
  std::string settings;
  for (int i = 0; i < 16; ++i) settings += "0\r\n";
  t.Write("Plotvane.dat", settings + "160\r\n120\r\n");
  const std::string src = Drawing(t), dst = t / "out.bmp";
  const Result r = Exec(t, Q(exe) + " x y " + Q(src) + " " + Q(dst));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, exe + "\nx\ny\n" + src + "\n" + dst + "\nCHECK1:OK\nCHECK4:OK\nCHECK5:OK\n");
  const LoadedImage img = LoadImageFile(dst);
  ASSERT_TRUE(img.ok()) << img.error;
  EXPECT_EQ(img.bitmap.width, 160);
  EXPECT_EQ(img.bitmap.height, 120);
}

}  // namespace
}  // namespace zumen
