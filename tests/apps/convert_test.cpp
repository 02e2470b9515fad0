// `zumen convert` and `zumen info` on many drawings, the standard streams,
// the output options and the JSON results, run as people and servers run them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/image_io.h"
#include "command.h"
#include "support/jwc_writer.h"
#include "support/jww_writer.h"
#include "support/k4_writer.h"
#include "zumen/zumen.h"

namespace zumen {
namespace {

using namespace test_apps;
namespace fs = std::filesystem;

const std::string kZumen = ZUMEN_EXE;

void MakeFolderFor(const TempDir& t, const std::string& name) {
  fs::create_directories(fs::path(t / name).parent_path());
}

// A small JWW drawing on A4 paper; `lines` sets it apart from others.
std::string Jww(const TempDir& t, const std::string& name, int lines = 1) {
  MakeFolderFor(t, name);
  JwwWriter w(600);
  w.head.Enthd.nZumen = 4;
  w.att.nPenColor = 2;
  w.att.nPenStyle = 1;
  for (int i = 0; i < lines; ++i) w.Line(-100 + 10 * i, -50, 100, 50 - 10 * i);
  return t.Write(name, w.Finish());
}

std::string Jwc(const TempDir& t, const std::string& name) {
  MakeFolderFor(t, name);
  test::JwcFile f;
  f.psize = 3;
  f.lines.push_back({10, 10, 100, 50});
  return t.Write(name, f.Build());
}

std::string K4(const TempDir& t, const std::string& name) {
  MakeFolderFor(t, name);
  test::K4Writer w;
  TK4PaperSize paper;
  paper.lout = 1;
  paper.size = {{{0, 0}, {297, 420}}};
  w.Title(u"plan").Paper(paper);
  TK4ObjectLine l;
  l.p1 = {10, 10};
  l.p2 = {200, 100};
  w.Line(l);
  return t.Write(name, w.bytes());
}

std::string Jws(const TempDir& t, const std::string& name) {
  MakeFolderFor(t, name);
  JwwWriter w(600, JwwWriter::Format::kJws);
  w.Line(-5, -5, 5, 5);
  return t.Write(name, w.Finish());
}

std::string Jwk(const TempDir& t, const std::string& name) {
  MakeFolderFor(t, name);
  test::JwkFile f;
  f.lines.push_back({-5, -5, 5, 5});
  return t.Write(name, f.Build());
}

// A JWW drawing whose last bytes are missing: read in part.
std::string Truncated(const TempDir& t, const std::string& name) {
  const std::string bytes = ReadAll(Jww(t, name, 3));
  return t.Write(name, bytes.substr(0, bytes.size() - 10));
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

size_t CountLinesStartingWith(const std::string& text, const std::string& prefix) {
  size_t n = 0;
  for (const std::string& l : Lines(text)) n += l.rfind(prefix, 0) == 0;
  return n;
}

// The files under folder with their bytes.
std::map<std::string, std::string> Files(const std::string& folder) {
  std::map<std::string, std::string> out;
  for (const std::string& e : Entries(folder)) {
    if (fs::is_regular_file(fs::path(folder) / e)) out[e] = ReadAll((fs::path(folder) / e).string());
  }
  return out;
}

// One JSON object per line, its keys in the order written.
std::vector<nlohmann::ordered_json> JsonLines(const std::string& text) {
  std::vector<nlohmann::ordered_json> out;
  for (const std::string& l : Lines(text)) out.push_back(nlohmann::ordered_json::parse(l));
  return out;
}

// A corrupt, a truncated and an empty file among good ones of three
// formats: the good ones are converted exactly as one by one, the truncated
// one is drawn as far as it was read, the others are listed at the end, and
// the exit status tells the worst.
TEST(Batch, BadFilesAmongGoodOnesNeitherStopNorSpoilTheOthers) {
  TempDir t;
  const std::vector<std::string> good{Jww(t, "src/a.jww", 2), Jwc(t, "src/b.jwc"), K4(t, "src/c.k4")};
  t.Write("src/corrupt.jww", std::string("\x1f\x8b garbage that is no drawing at all"));
  Truncated(t, "src/cut.jww");
  t.Write("src/empty.jwc", std::string());
  t.Write("src/notes.txt", std::string("not a drawing"));
  const Result r = Exec(t, kZumen + " convert " + Q(t / "src") + " -o " + Q(t / "out") + " --size 200x150 -j 3");
  EXPECT_EQ(r.status, 1) << r.err;
  std::vector<std::string> written = Entries(t / "out");
  std::sort(written.begin(), written.end());
  EXPECT_EQ(written, (std::vector<std::string>{"a.png", "b.png", "c.png", "cut.png"}));
  for (const std::string& src : good) {
    const std::string stem = fs::path(src).stem().string();
    const Result single = Exec(t, kZumen + " convert " + Q(src) + " " + Q(t / ("single-" + stem + ".png")) + " --size 200x150");
    ASSERT_EQ(single.status, 0) << single.err;
    EXPECT_EQ(ReadAll(t / ("out/" + stem + ".png")), ReadAll(t / ("single-" + stem + ".png"))) << src;
  }
  EXPECT_EQ(CountLinesStartingWith(r.err, "["), 6u) << r.err;
  EXPECT_NE(r.err.find("zumen: warning: \"" + t / "src/cut.jww" + "\": read-partial (1): read only in part"),
            std::string::npos)
      << r.err;
  const size_t list = r.err.find("zumen: 2 of 6 drawings failed:\n");
  ASSERT_NE(list, std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\n  \"" + t / "src/corrupt.jww" + "\"", list), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\n  \"" + t / "src/empty.jwc" + "\"", list), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("zumen: converted 4 of 6 drawings (1 only in part) in "), std::string::npos) << r.err;

  // Without the failing ones, the partial read decides; with good ones only, 0.
  Result partial = Exec(t, kZumen + " convert " + Q(good[0]) + " " + Q(t / "src/cut.jww") + " -o " + Q(t / "o2") + " -q");
  EXPECT_EQ(partial.status, 3) << partial.err;
  Result fine = Exec(t, kZumen + " convert " + Q(good[0]) + " " + Q(good[1]) + " -o " + Q(t / "o3") + " -q");
  EXPECT_EQ(fine.status, 0) << fine.err;
  EXPECT_EQ(fine.err, "");
}

TEST(Batch, PicturesAreNamedFromTheSourcesAndFoldersMirroredWithRecursion) {
  TempDir t;
  Jww(t, "src/top.jww");
  Jww(t, "src/sub/mid.jww", 2);
  Jwc(t, "src/sub/deeper/low.jwc");
  struct Case {
    std::string out;
    std::string args;
    std::vector<std::string> written;
  } cases[] = {
      {"o1", Q(t / "src"), {"top.png"}},
      {"o2", Q(t / "src") + " -r", {"sub", "sub/deeper", "sub/deeper/low.png", "sub/mid.png", "top.png"}},
      {"o3", Q(t / "src") + " -r --name '{stem}-{ext}' --format jpg", {"low-jwc.jpg", "mid-jww.jpg", "top-jww.jpg"}},
      {"o4", Q(t / "src") + " -r --name 'p/{dir}/{stem}.{ext}' --format tif",
       {"p", "p/sub", "p/sub/deeper", "p/sub/deeper/low.jwc.tif", "p/sub/mid.jww.tif", "p/top.jww.tif"}},
      // Files named and folders together; each file once.
      {"o5", Q(t / "src/top.jww") + " " + Q(t / "src/sub") + " " + Q(t / "src/sub/mid.jww"), {"mid.png", "top.png"}},
  };
  for (const Case& c : cases) {
    const Result r = Exec(t, kZumen + " convert " + c.args + " -o " + Q(t / c.out) + " --size 60x40");
    EXPECT_EQ(r.status, 0) << c.args << "\n" << r.err;
    std::vector<std::string> entries = Entries(t / c.out);
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries, c.written) << c.args;
  }
  // The same picture name for two drawings: nothing is converted.
  Jww(t, "src/sub/top.jww");
  const Result clash = Exec(t, kZumen + " convert " + Q(t / "src") + " -r -o " + Q(t / "o6") + " --name '{stem}'");
  EXPECT_EQ(clash.status, 2);
  EXPECT_NE(clash.err.find("would both be written to \"" + t / "o6/top.png\""), std::string::npos) << clash.err;
  EXPECT_NE(clash.err.find("--name"), std::string::npos) << clash.err;
  EXPECT_FALSE(fs::exists(t / "o6"));
}

TEST(Batch, OneWorkerAndSeveralGiveTheSameFiles) {
  TempDir t;
  for (int i = 1; i <= 5; ++i) Jww(t, "src/p" + std::to_string(i) + ".jww", i);
  Jwc(t, "src/q.jwc");
  K4(t, "src/r.k4");
  Truncated(t, "src/cut.jww");
  const Result one = Exec(t, kZumen + " convert " + Q(t / "src") + " -o " + Q(t / "one") + " -j 1 --json");
  const Result four = Exec(t, kZumen + " convert " + Q(t / "src") + " -o " + Q(t / "four") + " -j 4 --json");
  EXPECT_EQ(one.status, 3) << one.err;
  EXPECT_EQ(four.status, 3) << four.err;
  const auto a = Files(t / "one"), b = Files(t / "four");
  EXPECT_EQ(a.size(), 8u);
  EXPECT_TRUE(a == b);
  EXPECT_EQ(JsonLines(one.out).size(), 8u);
  EXPECT_EQ(JsonLines(four.out).size(), 8u);
}

TEST(Batch, ProgressIsOneLinePerDrawingAwayFromATerminalAndNoneWhenQuiet) {
  TempDir t;
  Jww(t, "src/a.jww");
  Jww(t, "src/b.jww", 2);
  Jwc(t, "src/c.jwc");
  Result r = Exec(t, kZumen + " convert " + Q(t / "src") + " -o " + Q(t / "out") + " --size 60x40");
  EXPECT_EQ(r.status, 0);
  const std::vector<std::string> lines = Lines(r.err);
  ASSERT_EQ(lines.size(), 4u) << r.err;
  std::set<std::string> told;
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(lines[i].rfind("[" + std::to_string(i + 1) + "/3] " + t / "src/", 0), 0u) << lines[i];
    told.insert(lines[i].substr(lines[i].find("] ") + 2));
  }
  EXPECT_EQ(told, (std::set<std::string>{t / "src/a.jww -> " + t / "out/a.png", t / "src/b.jww -> " + t / "out/b.png",
                                         t / "src/c.jwc -> " + t / "out/c.png"}));
  EXPECT_EQ(lines[3].rfind("zumen: converted 3 of 3 drawings in ", 0), 0u) << lines[3];
  EXPECT_EQ(r.err.find('\r'), std::string::npos);
  r = Exec(t, kZumen + " convert " + Q(t / "src") + " -o " + Q(t / "out") + " --size 60x40 -q");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "");
}

// On a terminal (a pseudo-terminal made by script(1), where it is installed)
// a bar is redrawn in place.
TEST(Batch, OnATerminalABarIsRedrawnInPlace) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "script(1) is not installed";
  TempDir t;
  Jww(t, "src/a.jww");
  Jww(t, "src/b.jww", 2);
  const std::string command = kZumen + " convert " + Q(t / "src") + " -o " + Q(t / "out") + " --size 60x40";
  const Result r = Exec(t, "script -q -e -c " + Q(command) + " /dev/null");
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find("\r[" + std::string(24, '#') + "] 2/2"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("[1/2] "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("zumen: converted 2 of 2 drawings in "), std::string::npos) << r.out;
}

TEST(StandardStreams, DrawingFromStandardInputPictureToStandardOutput) {
  TempDir t;
  const std::string jww = Jww(t, "a.jww", 2), jwc = Jwc(t, "b.jwc"), k4 = K4(t, "c.k4");
  for (const std::string& src : {jww, jwc, k4}) {
    SCOPED_TRACE(src);
    const std::string single = src + ".png";
    ASSERT_EQ(Exec(t, kZumen + " convert " + Q(src) + " " + Q(single)).status, 0);
    const std::string from = " --from " + fs::path(src).extension().string().substr(1);
    // Standard output alone, standard input alone, and both.
    Result r = Exec(t, kZumen + " convert " + Q(src) + " -");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == ReadAll(single));
    r = Exec(t, kZumen + " convert -" + from + " " + Q(t / "in.png"), src);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadAll(t / "in.png") == ReadAll(single));
    r = Exec(t, kZumen + " convert - -" + from, src);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(r.out == ReadAll(single));
  }
  // JWW and JWC carry a signature: no --from needed. K4 has none.
  EXPECT_TRUE(Exec(t, kZumen + " convert - -", jww).out == ReadAll(jww + ".png"));
  EXPECT_TRUE(Exec(t, kZumen + " convert - -", jwc).out == ReadAll(jwc + ".png"));
  Result r = Exec(t, kZumen + " convert - -", k4);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("name it with --from jww|jws|jwc|jwk|k4"), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  // --format chooses the type on standard output.
  r = Exec(t, kZumen + " convert - - --format jpg --quality 50", jww);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.substr(0, 3), "\xFF\xD8\xFF");
  // info reads standard input too.
  r = Exec(t, kZumen + " info --json - --from k4", k4);
  EXPECT_EQ(r.status, 0) << r.err;
  const nlohmann::json j = nlohmann::json::parse(r.out);
  EXPECT_EQ(j["source"], "-");
  EXPECT_EQ(j["format"], "K4");
}

TEST(StandardStreams, APictureIsNotWrittenToATerminal) {
  if (std::system("command -v script >/dev/null 2>&1") != 0) GTEST_SKIP() << "script(1) is not installed";
  TempDir t;
  const std::string command = kZumen + " convert " + Q(Jww(t, "a.jww")) + " -";
  const Result r = Exec(t, "script -q -e -c " + Q(command) + " /dev/null");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("zumen: will not write a png picture to a terminal"), std::string::npos) << r.out;
  EXPECT_LT(r.out.size(), 200u);
}

// What people get wrong is refused with a message that tells what to do,
// before anything is read or written.
TEST(ConvertUsage, MistakesAreRefusedWithTheCommandToUse) {
  TempDir t;
  const std::string a = Q(Jww(t, "a.jww")), b = Q(Jww(t, "b.jww"));
  fs::create_directories(t / "dir");
  const std::string out = Q(t / "out");
  struct Case {
    std::string args;
    std::string words;
  } cases[] = {
      {"convert " + a + " " + b, "is a drawing, not a picture to write; to convert both drawings, name a folder"},
      {"convert " + a, "convert needs the picture to write: zumen convert SRC DST, or zumen convert SRC... -o DIR"},
      {"convert " + a + " " + b + " " + Q(t / "c.png"), "to convert several drawings, name a folder for the pictures"},
      {"convert " + a + " " + Q(t / "dir"), "is a folder; to write the picture into it use -o"},
      {"convert " + a + " " + Q(t / "new/"), "is a folder; to write the picture into it use -o"},
      {"convert " + a + " " + Q(t / "a.png") + " -r", "-r and --name go with a folder for the pictures (-o DIR)"},
      {"convert " + a + " " + Q(t / "a.png") + " --name x", "-r and --name go with a folder"},
      {"convert " + a + " " + Q(t / "a.png") + " --format jpg", "--format jpg and the extension of"},
      {"convert " + a + " " + Q(t / "a.png") + " --quality 50", "--quality applies to JPEG and WebP pictures, not png"},
      {"convert " + a + " -o " + out + " --quality 50", "--quality applies to JPEG and WebP pictures, not png"},
      {"convert " + a + " - --json", "--json and the picture cannot both go to standard output"},
      {"convert - " + a + " -o " + out, "standard input (-) is read by a single conversion only"},
      {"convert " + a + " -o " + a, "-o names a folder for the pictures"},
      {"convert " + a + " -o -", "-o names a folder for the pictures"},
      {"convert " + a + " -o " + out + " --name '{name}'", "--name knows {dir}, {stem} and {ext}, not \"{name}\""},
      {"convert " + a + " -o " + out + " --name '../{stem}'", "--name may not climb out of the output folder"},
      {"convert " + a + " -o " + out + " -j 0", "--jobs: takes a number of drawings to convert at once from 1 to 1024"},
      {"convert " + a + " -o " + out + " --format xyz", "--format: takes bmp, png, jpg, gif, tif, webp, svg, pdf"},
      {"convert " + a + " -o " + out + " --from dwg", "--from: takes jww, jws, jwc, jwk, k4, not \"dwg\""},
      {"convert " + a + " -o " + out + " --background pink", "--background: takes white, black, transparent or drawing"},
      {"convert " + a + " -o " + out + " --fit page", "--fit: takes paper or extents, not \"page\""},
      {"convert " + a + " -o " + out + " --rasteriser skia", "--rasteriser: takes zumen or cairo, not \"skia\""},
      {"convert " + a + " -o " + out + " --quality 101", "--quality: takes a quality from 1 to 100"},
      {"info " + a + " --from xyz", "--from: takes jww"},
  };
  for (const Case& c : cases) {
    const Result r = Exec(t, kZumen + " " + c.args);
    EXPECT_EQ(r.status, 2) << c.args << "\n" << r.err;
    EXPECT_NE(r.err.find(c.words), std::string::npos) << c.args << "\n" << r.err;
    EXPECT_LT(r.err.size(), 300u) << c.args << "\n" << r.err;
  }
  std::vector<std::string> entries = Entries(t.dir());
  std::sort(entries.begin(), entries.end());
  EXPECT_EQ(entries, (std::vector<std::string>{"a.jww", "b.jww", "dir", "stderr.txt", "stdout.txt"}));
  EXPECT_FALSE(fs::exists(t / "out"));
  EXPECT_FALSE(fs::exists(t / "a.png"));
  EXPECT_FALSE(fs::exists(t / "c.png"));
  // The type of DST names the type as before: an unknown one fails with 1.
  const Result r = Exec(t, kZumen + " convert " + a + " " + Q(t / "a.xyz"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("unknown image type of \"" + t / "a.xyz" + "\" (use bmp, png, jpg"), std::string::npos) << r.err;
  // An unknown extension with --format is that type.
  EXPECT_EQ(Exec(t, kZumen + " convert " + a + " " + Q(t / "a.xyz") + " --format bmp").status, 0);
  EXPECT_EQ(ReadAll(t / "a.xyz").substr(0, 2), "BM");
}

// A drawing named with a picture's extension is read as what --from says;
// its picture would then replace it, and is refused.
TEST(Batch, ADrawingIsNeverOverwrittenByItsOwnPicture) {
  TempDir t;
  const std::string bytes = ReadAll(Jww(t, "d/plan.png"));
  Result r = Exec(t, kZumen + " convert " + Q(t / "d/plan.png") + " --from jww -o " + Q(t / "d") + " -q");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("the picture would overwrite the drawing \"" + t / "d/plan.png" + "\""), std::string::npos) << r.err;
  r = Exec(t, kZumen + " convert " + Q(t / "d/plan.png") + " " + Q(t / "d/../d/plan.png") + " --from jww");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("the picture would overwrite the drawing"), std::string::npos) << r.err;
  EXPECT_TRUE(ReadAll(t / "d/plan.png") == bytes);
  EXPECT_EQ(Entries(t / "d"), std::vector<std::string>{"plan.png"});
}

// Every output option reaches the library: the command's picture is the
// library's own with that option set (and, where the library draws it
// already, differs from the default picture).
TEST(OutputOptions, EachFlagGivesTheLibrarysPictureWithThatOption) {
  TempDir t;
  const std::string src = Jww(t, "a.jww", 3);
  const Opened opened = Drawing::Open(src);
  ASSERT_TRUE(opened) << opened.status.message;
  RenderOptions base;
  base.width = 120;
  base.height = 90;
  ASSERT_TRUE(Render(opened.drawing, base, Output::File(t / "default.png")));
  struct Case {
    std::string flags;
    std::string ext;
    void (*set)(RenderOptions&);
    bool differs;  // from the default picture
  } cases[] = {
      {"--no-frame", ".png", [](RenderOptions& o) { o.frame = false; }, true},
      // The test drawing asks for a black background (its pen 0 is black).
      {"--background white", ".png", [](RenderOptions& o) { o.background = Background::White; }, true},
      {"--background transparent", ".png", [](RenderOptions& o) { o.background = Background::Transparent; }, true},
      {"--background black", ".png", [](RenderOptions& o) { o.background = Background::Black; }, false},
      {"--fit extents", ".png", [](RenderOptions& o) { o.fit = Fit::Extents; }, false},
      {"--fit paper", ".png", [](RenderOptions&) {}, false},
      {"--monochrome", ".png", [](RenderOptions& o) { o.monochrome = true; }, false},
      {"--rasteriser cairo", ".png", [](RenderOptions& o) { o.rasteriser = Rasteriser::Cairo; }, true},
      {"--rasteriser zumen", ".png", [](RenderOptions&) {}, false},
      {"--quality 30", ".jpg", [](RenderOptions& o) { o.encoder.quality = 30; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.flags);
    const std::string cli = t / ("cli" + c.ext), lib = t / ("lib" + c.ext);
    const Result r = Exec(t, kZumen + " convert " + Q(src) + " " + Q(cli) + " --size 120x90 " + c.flags);
    ASSERT_EQ(r.status, 0) << r.err;
    RenderOptions o = base;
    c.set(o);
    ASSERT_TRUE(Render(opened.drawing, o, Output::File(lib)));
    EXPECT_TRUE(ReadAll(cli) == ReadAll(lib));
    if (c.differs) {
      EXPECT_FALSE(ReadAll(cli) == ReadAll(t / "default.png"));
    }
  }
}

TEST(JsonResults, ConvertPrintsOneObjectPerDrawing) {
  TempDir t;
  const std::string good = Jww(t, "src/a.jww", 2);
  Truncated(t, "src/cut.jww");
  t.Write("src/empty.jww", std::string());
  const Result r = Exec(t, kZumen + " convert " + Q(t / "src") + " -o " + Q(t / "out") + " --size 64x48 --json");
  EXPECT_EQ(r.status, 1);
  std::map<std::string, nlohmann::ordered_json> by;
  for (const nlohmann::ordered_json& j : JsonLines(r.out)) by[j["source"]] = j;
  ASSERT_EQ(by.size(), 3u) << r.out;
  const std::vector<std::string> keys{"source",  "destination", "status",  "exit_status", "error",   "format",  "type",
                                      "width",   "height",      "read_ms", "draw_ms",     "save_ms", "warnings"};
  for (const auto& [source, j] : by) {
    std::vector<std::string> have;
    for (auto it = j.begin(); it != j.end(); ++it) have.push_back(it.key());
    EXPECT_EQ(have, keys) << source;
  }
  const nlohmann::ordered_json& a = by[good];
  EXPECT_EQ(a["destination"], t / "out/a.png");
  EXPECT_EQ(a["status"], "ok");
  EXPECT_EQ(a["exit_status"], 0);
  EXPECT_TRUE(a["error"].is_null());
  EXPECT_EQ(a["format"], "JWW");
  EXPECT_EQ(a["type"], "png");
  EXPECT_EQ(a["width"], 64);
  EXPECT_EQ(a["height"], 48);
  EXPECT_GE(a["draw_ms"].get<double>(), 0);
  EXPECT_EQ(a["warnings"], nlohmann::ordered_json::array());
  const nlohmann::ordered_json& cut = by[t / "src/cut.jww"];
  EXPECT_EQ(cut["status"], "partial");
  EXPECT_EQ(cut["exit_status"], 3);
  ASSERT_EQ(cut["warnings"].size(), 1u);
  EXPECT_EQ(cut["warnings"][0]["code"], "read-partial");
  EXPECT_EQ(cut["warnings"][0]["count"], 1);
  EXPECT_NE(cut["warnings"][0]["message"].get<std::string>().find("read only in part"), std::string::npos);
  const nlohmann::ordered_json& empty = by[t / "src/empty.jww"];
  EXPECT_EQ(empty["status"], "failed");
  EXPECT_EQ(empty["exit_status"], 1);
  EXPECT_TRUE(empty["error"].is_string());
  EXPECT_TRUE(empty["width"].is_null());
  // One drawing, one picture: the same object.
  const Result one = Exec(t, kZumen + " convert " + Q(good) + " " + Q(t / "one.gif") + " --size 64x48 --json");
  EXPECT_EQ(one.status, 0) << one.err;
  const auto objects = JsonLines(one.out);
  ASSERT_EQ(objects.size(), 1u);
  EXPECT_EQ(objects[0]["destination"], t / "one.gif");
  EXPECT_EQ(objects[0]["type"], "gif");
  // A DXF drawing has no pixel size.
  const Result dxf = Exec(t, kZumen + " convert " + Q(good) + " " + Q(t / "one.dxf") + " --json");
  EXPECT_EQ(dxf.status, 0) << dxf.err;
  const auto drawing = JsonLines(dxf.out);
  ASSERT_EQ(drawing.size(), 1u);
  EXPECT_EQ(drawing[0]["type"], "dxf");
  EXPECT_TRUE(drawing[0]["width"].is_null());
  EXPECT_TRUE(drawing[0]["height"].is_null());
}

// `info` of a folder lists every drawing, each format with the same fields.
TEST(JsonResults, InfoOfAFolderDescribesEveryDrawingWithTheSameFields) {
  TempDir t;
  Jww(t, "src/a.jww");
  Jws(t, "src/b.jws");
  Jwc(t, "src/c.jwc");
  Jwk(t, "src/d.jwk");
  K4(t, "src/sub/e.k4");
  Truncated(t, "src/sub/f.jww");
  Result r = Exec(t, kZumen + " info --json -r " + Q(t / "src"));
  EXPECT_EQ(r.status, 3) << r.err;
  const auto objects = JsonLines(r.out);
  ASSERT_EQ(objects.size(), 6u) << r.out;
  std::vector<std::string> formats;
  std::vector<std::string> firstKeys;
  for (const nlohmann::ordered_json& j : objects) {
    std::vector<std::string> keys;
    for (auto it = j.begin(); it != j.end(); ++it) keys.push_back(it.key());
    if (firstKeys.empty()) firstKeys = keys;
    EXPECT_EQ(keys, firstKeys) << j.dump();
    formats.push_back(j["format"]);
  }
  EXPECT_EQ(formats, (std::vector<std::string>{"JWW", "JWS", "JWC", "JWK", "K4", "JWW"}));
  for (const char* key : {"source", "status", "format", "version", "paper", "objects", "entities", "blocks", "images",
                          "extents", "read_ok", "error", "warnings"}) {
    EXPECT_NE(std::find(firstKeys.begin(), firstKeys.end(), key), firstKeys.end()) << key;
  }
  EXPECT_EQ(objects[5]["status"], "partial");
  EXPECT_EQ(objects[5]["warnings"][0]["code"], "read-partial");
  EXPECT_NE(r.err.find("zumen: warning: \"" + t / "src/sub/f.jww" + "\": read-partial (1)"), std::string::npos) << r.err;
  // Without -r only the folder itself; for people, blocks of lines.
  r = Exec(t, kZumen + " info " + Q(t / "src") + " " + Q(t / "missing.jww"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(CountLinesStartingWith(r.out, "source: "), 4u) << r.out;
  EXPECT_EQ(CountLinesStartingWith(r.out, "status: ok"), 4u) << r.out;
  EXPECT_EQ(CountLinesStartingWith(r.out, "format: "), 4u) << r.out;
  EXPECT_EQ(r.out.find("exit_status"), std::string::npos);
  EXPECT_NE(r.err.find("no such file"), std::string::npos) << r.err;
}

bool AllPicturesWhole(const std::string& folder, int width, int height, std::string& why) {
  for (const std::string& e : Entries(folder)) {
    const std::string path = (fs::path(folder) / e).string();
    if (fs::is_directory(path)) continue;
    if (fs::path(e).filename().string()[0] == '.') {
      why = "temporary file left: " + e;
      return false;
    }
    const LoadedImage img = LoadImageFile(path);
    if (!img.ok() || img.bitmap.width != width || img.bitmap.height != height) {
      why = e + ": " + (img.ok() ? "wrong size" : img.error);
      return false;
    }
  }
  return true;
}

// SIGINT or SIGTERM in the middle of a batch with two workers: no new
// drawing starts, the summary is told, the process ends by the signal, and
// what is left are whole pictures only: no partial file, no private folder.
TEST(Batch, StoppedBySignalLeavesWholePicturesOnly) {
  for (const int sig : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(strsignal(sig));
    bool caught = false;
    for (int attempt = 0; attempt < 5 && !caught; ++attempt) {
      TempDir t;
      for (const char* sub : {"tmp", "out", "src"}) fs::create_directories(t / sub);
      const std::string first = DrawingWithImage(t);
      for (int i = 1; i <= 5; ++i) fs::copy_file(first, t / ("src/plan" + std::to_string(i) + ".jww"));
      Running p({kZumen, "convert", t / "src", "-o", t / "out", "-j", "2", "--format", "bmp", "--dpi", "200"}, t / "tmp",
                RLIM_INFINITY, t / "err.txt");
      caught = p.StopWhen([&] { return HasEntryStartingWith(t / "out", ".zumen-"); });
      const int status = caught ? p.SignalAndWait(sig) : p.Wait();
      if (!caught) continue;
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == sig) << SignalName(status);
      std::string why;
      EXPECT_TRUE(AllPicturesWhole(t / "out", 3307, 2339, why)) << why;
      EXPECT_LT(Entries(t / "out").size(), 6u);  // stopped before the end
      EXPECT_EQ(Entries(t / "tmp"), std::vector<std::string>{});
      const std::string err = ReadAll(t / "err.txt");
      EXPECT_NE(err.find(std::string("zumen: stopped by ") + (sig == SIGINT ? "SIGINT" : "SIGTERM") + ": "),
                std::string::npos)
          << err;
    }
    EXPECT_TRUE(caught) << "the batch was never stopped while it wrote";
  }
}

}  // namespace
}  // namespace zumen
