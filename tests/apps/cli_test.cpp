// The pieces of `zumen` in-process: which drawings a batch takes, how its
// pictures are named, how outcomes become exit statuses and words, and how
// the command line fills the library's options.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/convert_command.h"
#include "cli/conversion.h"
#include "cli/json_line.h"
#include "cli/sources.h"
#include "support/temp_dir.h"

namespace zumen_cli {
namespace {

using zumen::testing::TempDir;

std::vector<std::string> Paths(const std::vector<Source>& sources, const std::string& root) {
  std::vector<std::string> out;
  for (const Source& s : sources) {
    const std::string path = s.path == "-" ? s.path : std::filesystem::path(s.path).lexically_relative(root).string();
    out.push_back(path + " dir=" + s.dir +
                  (s.named ? " named" : ""));
  }
  return out;
}

TEST(CollectSources, FoldersGiveTheirDrawingsSortedAndRecursionMirrorsSubfolders) {
  TempDir t;
  for (const char* sub : {"plans/b", "plans/a/deep", "empty", "plans/b.jww"}) std::filesystem::create_directories(t / sub);
  for (const char* f : {"plans/z.jww", "plans/m.JWC", "plans/notes.txt", "plans/y.k4", "plans/b/q.jws", "plans/a/deep/r.jwk",
                        "plans/a/readme", "loose.dat"}) {
    t.Write(f, std::string("x"));
  }
  const std::string root = t.dir();
  std::vector<std::string> empty;
  // Without recursion: the drawings directly in the folder (by extension, any
  // letter case); a folder named like a drawing is still a folder.
  EXPECT_EQ(Paths(CollectSources({t / "plans"}, false, empty), root),
            (std::vector<std::string>{"plans/m.JWC dir=", "plans/y.k4 dir=", "plans/z.jww dir="}));
  EXPECT_TRUE(empty.empty());
  // With recursion: subfolders too, each drawing with its folder under the one given.
  EXPECT_EQ(Paths(CollectSources({t / "plans"}, true, empty), root),
            (std::vector<std::string>{"plans/a/deep/r.jwk dir=a/deep", "plans/b/q.jws dir=b", "plans/m.JWC dir=",
                                      "plans/y.k4 dir=", "plans/z.jww dir="}));
  // Files named are taken whatever their extension, missing ones too (to fail
  // later with their own message); a file reached twice is taken once; an
  // empty folder is told.
  empty.clear();
  EXPECT_EQ(Paths(CollectSources({t / "loose.dat", t / "missing.jww", t / "plans/z.jww", t / "plans", t / "empty",
                                  t / "plans/../plans/z.jww", "-"},
                                 false, empty),
                  root),
            (std::vector<std::string>{"loose.dat dir= named", "missing.jww dir= named", "plans/z.jww dir= named",
                                      "plans/m.JWC dir=", "plans/y.k4 dir=", "- dir= named"}));
  EXPECT_EQ(empty, std::vector<std::string>{t / "empty"});
}

TEST(NamePattern, NamesThePicturesUnderTheFolder) {
  const Source deep{"plans/sub/one/Plan.v2.JWW", "sub/one", false, ""};
  const Source top{"plan.jwc", "", true, ""};
  struct Case {
    const char* pattern;
    const Source* source;
    zumen::OutputType type;
    const char* path;
  } cases[] = {
      {NamePattern::kDefault, &deep, zumen::OutputType::Png, "out/sub/one/Plan.v2.png"},
      {NamePattern::kDefault, &top, zumen::OutputType::Png, "out/plan.png"},
      {NamePattern::kDefault, &top, zumen::OutputType::Jpeg, "out/plan.jpg"},
      {"{stem}", &deep, zumen::OutputType::Pdf, "out/Plan.v2.pdf"},                     // flat
      {"{dir}/{stem}.{ext}", &deep, zumen::OutputType::Png, "out/sub/one/Plan.v2.JWW.png"},
      {"{stem}_{ext}", &top, zumen::OutputType::Svg, "out/plan_jwc.svg"},
      {"{stem}.jpeg", &top, zumen::OutputType::Jpeg, "out/plan.jpeg"},                  // its own extension stands
      {"{stem}.png", &top, zumen::OutputType::Jpeg, "out/plan.png.jpg"},                // another type's does not
      {"pictures/{dir}/{stem}", &deep, zumen::OutputType::Tiff, "out/pictures/sub/one/Plan.v2.tif"},
      {"{dir}", &top, zumen::OutputType::Png, "out/plan.png"},                          // nothing left: the stem
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pattern);
    EXPECT_EQ(NamePattern::Check(c.pattern), "");
    EXPECT_EQ(NamePattern(c.pattern).OutputPath("out/", *c.source, c.type), c.path);
  }
  EXPECT_EQ(NamePattern().OutputPath("out", top, zumen::OutputType::Png), "out/plan.png");
}

TEST(NamePattern, RefusesPatternsThatLeaveTheFolderOrNameNothing) {
  for (const char* bad : {"{name}", "{stem", "x{}", "", "/abs/{stem}", "../{stem}", "a/../../{stem}", "{stem}/"}) {
    EXPECT_NE(NamePattern::Check(bad), "") << bad;
  }
}

TEST(FindCollisions, TwoSourcesForOnePictureAreFound) {
  const std::vector<Source> sources{{"a/plan.jww", "", true, ""}, {"b/plan.jww", "", true, ""}, {"plan.jwc", "", true, ""},
                                    {"other.jww", "", true, ""}};
  const NamePattern flat;
  std::vector<std::string> outputs;
  for (const Source& s : sources) outputs.push_back(flat.OutputPath("out", s, zumen::OutputType::Png));
  const auto found = FindCollisions(sources, outputs);
  ASSERT_EQ(found.size(), 2u);
  EXPECT_EQ(found[0].first, "a/plan.jww");
  EXPECT_EQ(found[0].second, "b/plan.jww");
  EXPECT_EQ(found[1].second, "plan.jwc");
  EXPECT_EQ(found[1].output, "out/plan.png");
  const NamePattern apart("{stem}.{ext}");
  outputs.clear();
  for (const Source& s : sources) outputs.push_back(apart.OutputPath("out", s, zumen::OutputType::Png));
  EXPECT_EQ(FindCollisions(sources, outputs).size(), 1u);  // a/ and b/ still meet
}

TEST(Outcomes, OnlyAPartialReadOrCutDrawingMakesStatusThree) {
  using zumen::Diagnostic;
  EXPECT_EQ(OutcomeOf({}), Outcome::Ok);
  EXPECT_EQ(OutcomeOf({Diagnostic{"image-missing", 2, "m"}, Diagnostic{"font-fallback", 1, "f"}}), Outcome::Ok);
  EXPECT_EQ(OutcomeOf({Diagnostic{"image-missing", 2, "m"}, Diagnostic{"read-partial", 1, "r"}}), Outcome::Partial);
  EXPECT_EQ(OutcomeOf({Diagnostic{"block-instances-cut", 3, "c"}}), Outcome::Partial);
  struct Case {
    std::vector<Outcome> outcomes;
    int status;
  } cases[] = {
      {{}, 0},
      {{Outcome::Ok, Outcome::Ok}, 0},
      {{Outcome::Ok, Outcome::Partial}, 3},
      {{Outcome::Partial, Outcome::Failed, Outcome::Ok}, 1},
      {{Outcome::Failed, Outcome::Partial}, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(ExitStatusOf(c.outcomes), c.status);
  EXPECT_EQ(WarningLines("p.jww", {Diagnostic{"image-missing", 2, "2 placed images not found"}}),
            "zumen: warning: \"p.jww\": image-missing (2): 2 placed images not found\n");
  EXPECT_EQ(FailureAbout("p.jww", "cannot read \"p.jww\": no such file"), "cannot read \"p.jww\": no such file");
  EXPECT_EQ(FailureAbout("p.jww", "a bitmap of 9 x 9 pixels is too large"), "\"p.jww\": a bitmap of 9 x 9 pixels is too large");
}

// Each output option reaches its field of the library's options, and
// nothing else moves.
TEST(ConvertSettings, EachOptionFillsItsField) {
  ConvertArgs base;
  base.operands = {"a.jww", "a.png"};
  ConvertSettings plain;
  std::ostringstream err;
  ASSERT_FALSE(MakeSettings(base, plain, err));
  const zumen::RenderOptions defaults;
  EXPECT_EQ(plain.render.background, defaults.background);
  EXPECT_EQ(plain.render.frame, defaults.frame);
  EXPECT_EQ(plain.render.fit, defaults.fit);
  EXPECT_EQ(plain.render.monochrome, defaults.monochrome);
  EXPECT_EQ(plain.render.encoder.quality, defaults.encoder.quality);
  EXPECT_EQ(plain.render.dpi, 150);
  EXPECT_FALSE(plain.load.format);
  EXPECT_FALSE(plain.output);

  struct Case {
    const char* name;
    void (*set)(ConvertArgs&);
    bool (*check)(const ConvertSettings&);
  } cases[] = {
      {"--background black", [](ConvertArgs& a) { a.background = "black"; },
       [](const ConvertSettings& s) { return s.render.background == zumen::Background::Black; }},
      {"--background transparent", [](ConvertArgs& a) { a.background = "Transparent"; },
       [](const ConvertSettings& s) { return s.render.background == zumen::Background::Transparent; }},
      {"--background white", [](ConvertArgs& a) { a.background = "white"; },
       [](const ConvertSettings& s) { return s.render.background == zumen::Background::White; }},
      {"--no-frame", [](ConvertArgs& a) { a.no_frame = true; }, [](const ConvertSettings& s) { return !s.render.frame; }},
      {"--fit extents", [](ConvertArgs& a) { a.fit = "extents"; },
       [](const ConvertSettings& s) { return s.render.fit == zumen::Fit::Extents; }},
      {"--monochrome", [](ConvertArgs& a) { a.monochrome = true; }, [](const ConvertSettings& s) { return s.render.monochrome; }},
      {"--rasteriser cairo", [](ConvertArgs& a) { a.rasteriser = "Cairo"; },
       [](const ConvertSettings& s) { return s.render.rasteriser == zumen::Rasteriser::Cairo; }},
      {"--rasteriser zumen", [](ConvertArgs& a) { a.rasteriser = "zumen"; },
       [](const ConvertSettings& s) { return s.render.rasteriser == zumen::Rasteriser::Zumen; }},
      {"--quality 40", [](ConvertArgs& a) { a.quality = 40; },
       [](const ConvertSettings& s) { return s.render.encoder.quality == 40; }},
      {"--size 30x20", [](ConvertArgs& a) { a.size = "30x20"; },
       [](const ConvertSettings& s) { return s.render.width == 30 && s.render.height == 20; }},
      {"--dpi 72", [](ConvertArgs& a) { a.dpi = 72; }, [](const ConvertSettings& s) { return s.render.dpi == 72; }},
      {"--max-pixels 99", [](ConvertArgs& a) { a.max_pixels = 99; },
       [](const ConvertSettings& s) { return s.render.max_pixels == 99; }},
      {"--max-side 99", [](ConvertArgs& a) { a.max_side = 99; },
       [](const ConvertSettings& s) { return s.render.max_side == 99u; }},
      {"--from k4", [](ConvertArgs& a) { a.from = "k4"; },
       [](const ConvertSettings& s) { return s.load.format == zumen::Format::K4; }},
      {"--format tiff", [](ConvertArgs& a) { a.format = "tiff"; },
       [](const ConvertSettings& s) { return s.output == zumen::OutputType::Tiff; }},
  };
  for (const Case& c : cases) {
    ConvertArgs a = base;
    c.set(a);
    ConvertSettings s;
    ASSERT_FALSE(MakeSettings(a, s, err)) << c.name;
    EXPECT_TRUE(c.check(s)) << c.name;
  }
}

JobResult Finished(Outcome o, const std::string& error = "") {
  JobResult r;
  r.outcome = o;
  r.error = error;
  if (o == Outcome::Partial) r.warnings.push_back({"read-partial", 1, "read only in part (cut)"});
  return r;
}

// Away from a terminal: one line per drawing as it finishes, its warnings
// before it, and at the end every failure and the count.
TEST(JsonLine, BytesThatAreNotUtf8BecomeSurrogateEscapesAndTheRestStays) {
  struct Case {
    std::string in, out;
  } cases[] = {
      {"plan.jww", R"("plan.jww")"},
      {"\xE5\x9B\xB3\xE9\x9D\xA2.jww", "\"\xE5\x9B\xB3\xE9\x9D\xA2.jww\""},   // 図面: UTF-8 as it is
      {"plan\xFF.jww", R"("plan\udcff.jww")"},                          // a byte of no sequence
      {"\x90\x7D\x96\xCA.jww", R"("\udc90}\udc96\udcca.jww")"},         // code page 932
      {"a\xE5\x9B", R"("a\udce5\udc9b")"},                             // cut short
      {"\xC0\xAF", R"("\udcc0\udcaf")"},                                // overlong
      {"\xED\xA0\x80", R"("\udced\udca0\udc80")"},                      // a surrogate
      {"a\xEF\xBF\xBF\xFF", R"("a\uffff\udcff")"},                      // U+FFFF of its own
      {"q\"\\", R"("q\"\\")"},
  };
  for (const Case& c : cases) {
    nlohmann::ordered_json j;
    j["s"] = c.in;
    j["list"] = {c.in};
    EXPECT_EQ(JsonLine(j), R"({"s":)" + c.out + R"(,"list":[)" + c.out + "]}") << c.out;
  }
}

TEST(Reporter, OneLinePerDrawingThenTheFailuresAndTheSummary) {
  const std::vector<Job> jobs{{"a.jww", "o/a.png", true, ""}, {"b.jww", "o/b.png", true, ""}, {"c.jww", "o/c.png", true, ""}};
  BatchSettings settings;
  settings.json = true;
  std::ostringstream out, err;
  Reporter r(jobs, settings, out, err);
  size_t i = 0;
  for (size_t want = 0; want < 3; ++want) {
    ASSERT_TRUE(r.Next(i));
    EXPECT_EQ(i, want);
  }
  EXPECT_FALSE(r.Next(i));
  r.Done(2, Finished(Outcome::Failed, "\"c.jww\": not a JWW file"));
  r.Done(0, Finished(Outcome::Ok));
  r.Done(1, Finished(Outcome::Partial));
  EXPECT_EQ(r.Finish(), 1);
  const std::string text = err.str();
  EXPECT_EQ(text.rfind("[1/3] c.jww: failed: \"c.jww\": not a JWW file\n"
                       "[2/3] a.jww -> o/a.png\n"
                       "zumen: warning: \"b.jww\": read-partial (1): read only in part (cut)\n"
                       "[3/3] b.jww -> o/b.png (in part)\n"
                       "zumen: 1 of 3 drawings failed:\n"
                       "  \"c.jww\": not a JWW file\n"
                       "zumen: converted 2 of 3 drawings (1 only in part) in ",
                       0),
            0u)
      << text;
  // One JSON object per drawing, in the order they finished.
  std::istringstream lines(out.str());
  std::vector<std::string> sources;
  for (std::string line; std::getline(lines, line);) sources.push_back(nlohmann::json::parse(line)["source"]);
  EXPECT_EQ(sources, (std::vector<std::string>{"c.jww", "a.jww", "b.jww"}));
}

TEST(Reporter, TheBarIsRedrawnInPlaceWithMessagesAboveIt) {
  const std::vector<Job> jobs{{"a.jww", "o/a.png", true, ""}, {"b.jww", "o/b.png", true, ""}};
  BatchSettings settings;
  settings.progress = Progress::Bar;
  std::ostringstream out, err;
  Reporter r(jobs, settings, out, err);
  size_t i = 0;
  while (r.Next(i)) r.Done(i, Finished(i == 0 ? Outcome::Failed : Outcome::Ok, "broken"));
  EXPECT_EQ(r.Finish(), 1);
  const std::string text = err.str();
  EXPECT_EQ(text.find('\n'), text.find("zumen: \"a.jww\": broken\n") + std::string("zumen: \"a.jww\": broken").size())
      << "the first full line is the failure, printed over the bar";
  EXPECT_NE(text.find("\r[" + std::string(12, '#') + std::string(12, '.') + "] 1/2, 1 failed"), std::string::npos) << text;
  EXPECT_NE(text.find("\r[" + std::string(24, '#') + "] 2/2, 1 failed"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\033[Kzumen: 1 of 2 drawings failed:\n"), std::string::npos) << text;
  EXPECT_EQ(out.str(), "");
}

TEST(Reporter, AStoppedBatchStartsNothingMoreAndTellsWhatWasDone) {
  const std::vector<Job> jobs{{"a.jww", "o/a.png", true, ""}, {"b.jww", "o/b.png", true, ""}, {"c.jww", "o/c.png", true, ""}};
  std::ostringstream out, err;
  Reporter r(jobs, BatchSettings{}, out, err);
  size_t i = 0;
  ASSERT_TRUE(r.Next(i));
  r.Done(i, Finished(Outcome::Ok));
  ASSERT_TRUE(r.Next(i));  // in progress when the signal comes
  r.Stopped(SIGTERM);
  EXPECT_FALSE(r.Next(i));
  r.Done(i, Finished(Outcome::Ok));  // finishing after the stop is not told
  EXPECT_NE(err.str().find("zumen: stopped by SIGTERM: 1 of 3 drawings converted, 1 conversion in progress left "
                           "unwritten, 1 not started\n"),
            std::string::npos)
      << err.str();
  EXPECT_EQ(err.str().find("[2/3]"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace zumen_cli
