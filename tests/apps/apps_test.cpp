// The two executables run as a user or a front-end runs them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <span>
#include <string>
#include <vector>

#include "codecs/image_io.h"
#include "command.h"
#include "common/files.h"
#include "support/jwc_writer.h"
#include "support/jww_writer.h"
#include "support/k4_writer.h"
#include "support/temp_dir.h"

namespace zumen {
namespace {

using namespace test_apps;

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
      {"convert " + Q(src) + " " + Q(t / "a.png") + " --size 70000x10", 1, "a side may have at most 65535 pixels"},
      {"convert " + Q(src) + " " + Q(t / "a.png") + " --size 300x300 --max-side 200", 1,
       "a side may have at most 200 pixels"},
      {"convert " + Q(src) + " " + Q(t / "a.png") + " --size 300", 2, "WIDTHxHEIGHT"},
      {"convert " + Q(src) + " " + Q(t / "a.png") + " --size 30x20 --dpi 100", 2, "excludes"},
      {"convert " + Q(t / "cut.jww") + " " + Q(t / "b.png") + " --size 30x20", 3, "warning"},
      {"convert " + Q(t / "loop.jww") + " " + Q(t / "c.png") + " --size 30x20", 3,
       "zumen: warning: \"" + t / "loop.jww" + "\": block-instances-cut (1): drawn only in part: 1 block instance left out"},
      {"frobnicate", 2, "unknown subcommand \"frobnicate\""},
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

// Edges of the command line: each ends with zumen's own one-line message
// that names the problem, and nothing is written.
TEST(ZumenCommand, CommandLineEdgesAreRefusedWithTheirOwnMessage) {
  TempDir t;
  const std::string src = Drawing(t);
  std::filesystem::create_directory(t / "folder.jww");
  const std::string out = Q(t / "a.png");
  struct Case {
    std::string args;
    int status;
    std::string words;
  } cases[] = {
      {"convert " + Q(src) + " " + out + " --dpi nan", 2, "--dpi: takes a resolution from 1 to 10000"},
      {"convert " + Q(src) + " " + out + " --dpi -nan", 2, "--dpi: takes a resolution from 1 to 10000"},
      {"convert " + Q(src) + " " + out + " --dpi inf", 2, "--dpi: takes a resolution from 1 to 10000"},
      {"convert " + Q(src) + " " + out + " --dpi 1e999", 2, "--dpi: takes a resolution from 1 to 10000"},
      {"convert " + Q(src) + " " + out + " --dpi 0.5", 2, "--dpi: takes a resolution from 1 to 10000"},
      {"convert " + Q(src) + " " + out + " --max-pixels 0", 2, "--max-pixels: takes a whole number of pixels"},
      {"convert " + Q(src) + " " + out + " --max-pixels -1", 2, "--max-pixels: takes a whole number of pixels"},
      {"convert " + Q(src) + " " + out + " --max-pixels 99999999999999999999", 2, "--max-pixels: takes a whole number"},
      {"convert " + Q(src) + " " + out + " --max-side 0", 2, "--max-side: takes a whole number of pixels from 1"},
      {"convert " + Q(src) + " " + out + " --max-side 2147483648", 2, "--max-side: takes a whole number of pixels"},
      {"convert " + Q(t / "folder.jww") + " " + out, 1, "cannot read \"" + t / "folder.jww" + "\": it is a folder"},
      {"info " + Q(t / "folder.jww"), 0, "zumen: no drawing (.jww .jws .jwc .jwk .k4) in \"" + t / "folder.jww" + "\""},
      {"conver " + Q(src) + " " + out, 2, "zumen: unknown subcommand \"conver\""},
      // Each picture type holds its own sizes (under a raised --max-side);
      // PNG, TIFF, BMP and JPEG are drawn in bands, the others in one Cairo
      // surface.
      {"convert " + Q(src) + " " + Q(t / "a.jpg") + " --size 1x100000 --max-side 2147483647", 1,
       "zumen: a JPEG picture of 1 x 100000 pixels is too large: a side may have at most 65500 pixels"},
      {"convert " + Q(src) + " " + Q(t / "a.gif") + " --size 40000x2", 1, "a side may have at most 32767 pixels"},
      {"convert " + Q(src) + " " + Q(t / "a.webp") + " --size 17000x2", 1, "a side may have at most 16383 pixels"},
  };
  for (const Case& c : cases) {
    const Result r = Exec(t, std::string(ZUMEN_EXE) + " " + c.args);
    EXPECT_EQ(r.status, c.status) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.words), std::string::npos) << c.args << "\n" << r.err;
    // One short message: no Cairo wording, no endless number.
    EXPECT_EQ(r.err.find("Cairo"), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("(typically"), std::string::npos) << r.err;
    EXPECT_LT(r.err.size(), 200u) << r.err;
  }
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
  EXPECT_NE(r.out.find("DXF"), std::string::npos) << r.out;
  r = Exec(t, std::string(ZUMEN_EXE) + " convert --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find(".dxf"), std::string::npos) << r.out;
  // A DXF destination writes a DXF drawing.
  r = Exec(t, std::string(ZUMEN_EXE) + " convert " + Q(Drawing(t)) + " " + Q(t / "plan.dxf"));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadAll(t / "plan.dxf").rfind("  0\nSECTION", 0), 0u);
  r = Exec(t, std::string(ZUMEN_EXE) + " info " + Q(Drawing(t)) + " --json");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.rfind("{\"source\":\"" + t / "plan.jww" + "\",\"status\":\"ok\",\"exit_status\":0,\"format\":\"JWW\"", 0), 0u)
      << r.out;
}

// Every number in a JSON value is finite (NaN and infinity have no JSON form).
void ExpectFiniteNumbers(const nlohmann::json& j, const std::string& where) {
  if (j.is_object()) {
    for (auto it = j.begin(); it != j.end(); ++it) ExpectFiniteNumbers(it.value(), where + "." + it.key());
  } else if (j.is_array()) {
    for (const auto& v : j) ExpectFiniteNumbers(v, where + "[]");
  } else if (j.is_number_float()) {
    EXPECT_TRUE(std::isfinite(j.get<double>())) << where;
  }
}

// File names in another encoding than UTF-8 (here code page 932's 図面, and
// a stray byte): every command with --json prints valid JSON, the bytes that
// are not UTF-8 as "\udcXX" escapes, and leaves no temporary file behind.
TEST(ZumenCommand, FileNamesThatAreNotUtf8GiveJsonWithTheirBytesEscaped) {
  TempDir t;
  std::filesystem::create_directories(t / "tmp");
  std::filesystem::create_directories(t / "in");
  const std::string plan = Drawing(t, "\x90\x7D\x96\xCA.jww");
  Drawing(t, "in/a\xFF.jww");
  Drawing(t, "in/b.jww");
  const std::string env = "TMPDIR=" + Q(t / "tmp") + " ";
  const std::string zumen = env + ZUMEN_EXE;
  struct Case {
    std::string args;
    std::vector<std::string> escaped;  // what each line's source must be, in order of the names
  } cases[] = {
      {"info --json " + Q(plan), {"\\udc90}\\udc96\\udcca.jww"}},
      {"convert " + Q(plan) + " " + Q(t / "one.png") + " --json", {"\\udc90}\\udc96\\udcca.jww"}},
      {"convert " + Q(t / "in") + " -o " + Q(t / "out") + " -j 2 --json -q", {"a\\udcff.jww", "in/b.jww"}},
  };
  for (const Case& c : cases) {
    const Result r = Exec(t, zumen + " " + c.args);
    EXPECT_EQ(r.status, 0) << c.args << "\n" << r.err;
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = r.out.find('\n', at)) != std::string::npos; at = end + 1)
      lines.push_back(r.out.substr(at, end - at));
    ASSERT_EQ(lines.size(), c.escaped.size()) << r.out;
    for (const std::string& escaped : c.escaped) {
      EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
        return l.find(escaped) != std::string::npos;
      })) << escaped << "\n" << r.out;
    }
    for (std::string line : lines) {
      // The escapes are JSON's own; the parser here refuses lone surrogates,
      // so they are read as other characters to check the rest.
      for (size_t at; (at = line.find("\\udc")) != std::string::npos;) line.replace(at, 4, "\\u00");
      EXPECT_TRUE(nlohmann::json::accept(line)) << line;
    }
  }
  EXPECT_TRUE(Entries(t / "tmp").empty());
  std::vector<std::string> out = Entries(t / "out");
  std::sort(out.begin(), out.end());
  EXPECT_EQ(out, (std::vector<std::string>{"a\xFF.png", "b.png"}));
}

// A report that cannot be written (a full disk, a closed stream) fails the
// command with a message, as a picture written there does.
TEST(ZumenCommand, AReportThatCannotBeWrittenFailsTheCommand) {
  TempDir t;
  const std::string src = Drawing(t);
  for (const std::string& args : {"info --json " + Q(src), "info " + Q(src),
                                  "convert " + Q(src) + " " + Q(t / "a.png") + " --json"}) {
    for (const char* to : {">/dev/full", ">&-"}) {
      const std::string err = t / "err.txt";
      const int raw = std::system((std::string(ZUMEN_EXE) + " " + args + " " + to + " 2>" + Q(err)).c_str());
      EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1) << args << " " << to;
      EXPECT_NE(ReadAll(err).find("zumen: cannot write to standard output"), std::string::npos) << args << " " << to;
    }
  }
}

TEST(ZumenCommand, ThumbnailToStandardOutput) {
  TempDir t;
  const std::string src = Drawing(t);
  const Result r = Exec(t, "cd " + Q(t.dir()) + " && " + ZUMEN_EXE + " thumbnail " + Q(src) + " - 64");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_FALSE(FileExist(t / "-"));
  const std::string png = r.out;
  const LoadedImage img = LoadImageMemory(std::span(reinterpret_cast<const uint8_t*>(png.data()), png.size()));
  ASSERT_TRUE(img.ok()) << img.error;
  EXPECT_EQ(img.bitmap.width, 64);
}

TEST(ZumenCommand, InfoJsonOfDamagedFilesIsJson) {
  constexpr double nan = std::numeric_limits<double>::quiet_NaN();
  constexpr double inf = std::numeric_limits<double>::infinity();
  TempDir t;
  {
    // A K4 paper record whose corners are not numbers: width and height of
    // the paper and the extents taken from them.
    test::K4Writer w;
    TK4PaperSize paper;
    paper.size = {{{0, 0}, {nan, inf}}};
    w.Title(u"broken").Paper(paper);
    t.Write("paper.k4", w.bytes());
  }
  {
    JwwWriter w(600, JwwWriter::Format::kJws);
    w.jws.BasePoint_x = nan;
    w.jws.BasePoint_y = -inf;
    w.Line(0, 0, 10, 10);
    t.Write("base.jws", w.Finish());
  }
  {
    JwwWriter w(600);
    w.Line(0, 0, inf, nan);
    t.Write("line.jww", w.Finish());
  }
  {
    test::JwcFile f;
    f.lines.push_back({0, 0, std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()});
    t.Write("line.jwc", f.Build());
  }
  struct Case {
    const char* name;
    std::vector<std::string> nulls;  // JSON pointers that must be null
  } cases[] = {
      {"paper.k4", {"/paper/width_mm", "/paper/height_mm"}},
      {"base.jws", {"/base_point/x", "/base_point/y"}},
      {"line.jww", {}},
      {"line.jwc", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Result r = Exec(t, std::string(ZUMEN_EXE) + " info --json " + Q(t / c.name));
    const nlohmann::json j = nlohmann::json::parse(r.out, nullptr, /*allow_exceptions=*/false);
    ASSERT_FALSE(j.is_discarded()) << r.out;
    ASSERT_TRUE(j.is_object()) << r.out;
    ExpectFiniteNumbers(j, "");
    for (const std::string& pointer : c.nulls) {
      EXPECT_TRUE(j.at(nlohmann::json::json_pointer(pointer)).is_null()) << pointer << " in " << r.out;
    }
  }
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

// The first log line is the running program's resolved absolute path, however
// it was started: by a path relative to the working folder or through a link.
TEST(ZumenChild, FirstLogLineIsTheExecutablesOwnPath) {
  TempDir t;
  std::filesystem::create_directory(t / "bin");
  const std::string exe = t / "bin/zumen-child";
  std::filesystem::copy_file(ZUMEN_CHILD_EXE, exe);
  std::filesystem::create_symlink(exe, t / "link-child");
  const std::string real = std::filesystem::canonical(exe).string();
  for (const std::string& start : {std::string("cd ") + Q(t.dir()) + " && ./bin/zumen-child",
                                   std::string("cd ") + Q(t / "bin") + " && ../bin/./zumen-child",
                                   Q(t / "link-child")}) {
    const Result r = Exec(t, start + " a b c");
    EXPECT_EQ(r.out, real + "\na\nb\nc\n") << start;
  }
}

// The moments at which the tests stop a conversion.
enum class Moment {
  kWritingBeside,      // the temporary file beside the destination exists
  kWritingPastLimit,   // a write past the file-size limit: SIGXFSZ from the system
};

struct StopCase {
  const char* name;
  Moment moment;
  int sig;
};

// Starts the command that `start` builds in a fresh folder (its drawing in
// src/, its image going to out/, its TMPDIR tmp/), stops it at the case's
// moment with the case's signal, and checks that the process ended by that
// signal leaving nothing in out/ or tmp/. Moments found by watching the
// folders may pass before the process is stopped; they are tried again.
void ExpectNothingLeft(const StopCase& c, const std::function<std::vector<std::string>(const TempDir&)>& start) {
  SCOPED_TRACE(c.name);
  bool caught = false;
  for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
    TempDir t;
    for (const char* sub : {"tmp", "out", "src"}) std::filesystem::create_directories(t / sub);
    const std::vector<std::string> command = start(t);
    int status = 0;
    if (c.moment == Moment::kWritingPastLimit) {
      Running p(command, t / "tmp", 8 << 20);  // the extracted image is smaller, the bitmap larger
      status = p.Wait();
      caught = true;
    } else {
      Running p(command, t / "tmp");
      caught = p.StopWhen([&] { return HasEntryStartingWith(t / "out", ".zumen-"); });
      status = caught ? p.SignalAndWait(c.sig) : p.Wait();
    }
    if (!caught) continue;
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.sig) << SignalName(status);
    EXPECT_EQ(Entries(t / "tmp"), std::vector<std::string>{});
    EXPECT_EQ(Entries(t / "out"), std::vector<std::string>{});
  }
  EXPECT_TRUE(caught) << "the process was never stopped at that moment";
}

// A signal that stops `zumen convert` leaves no partial temporary file
// beside the destination (and nothing in the temporary folder: a drawing
// with embedded images is read in memory), and the exit status shows the
// signal.
TEST(ZumenCommand, StoppedBySignalLeavesNothingBehind) {
  const StopCase cases[] = {
      {"SIGTERM while the temporary file is written", Moment::kWritingBeside, SIGTERM},
      {"SIGINT while the temporary file is written", Moment::kWritingBeside, SIGINT},
      {"SIGXFSZ in the middle of writing the temporary file", Moment::kWritingPastLimit, SIGXFSZ},
  };
  for (const StopCase& c : cases) {
    ExpectNothingLeft(c, [](const TempDir& t) {
      return std::vector<std::string>{ZUMEN_EXE, "convert", DrawingWithImage(t), t / "out/plan.bmp", "--dpi", "300"};
    });
  }
}

// zumen-child writes its destination directly: a signal that stops it while
// it writes removes the partial destination.
TEST(ZumenChild, StoppedBySignalLeavesNothingBehind) {
  const StopCase cases[] = {
      {"SIGXFSZ in the middle of writing the destination", Moment::kWritingPastLimit, SIGXFSZ},
  };
  for (const StopCase& c : cases) {
    ExpectNothingLeft(c, [](const TempDir& t) {
      const std::string exe = t / "zumen-child";
      std::filesystem::copy_file(ZUMEN_CHILD_EXE, exe);
      std::string settings;
      for (int i = 0; i < 16; ++i) settings += "0\r\n";
      t.Write("Plotvane.dat", settings + "4961\r\n3508\r\n");
      return std::vector<std::string>{exe, "x", "y", DrawingWithImage(t), t / "out/plan.bmp"};
    });
  }
}

}  // namespace
}  // namespace zumen
