// DXF export: the writer on its own, and drawings of every family exported
// through the public interface and read back with ezdxf (tests/dxf/dxf_check.py,
// run by /usr/bin/python3; the tests skip when ezdxf is not installed).
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <sstream>

#include "codecs/image_io.h"
#include "common/text.h"
#include "driver/conversion.h"
#include "driver/sizing.h"
#include "dxf/document.h"
#include "formats/jww/jww_data.h"
#include "support/jwc_writer.h"
#include "support/jww_writer.h"
#include "support/k4_writer.h"
#include "support/temp_dir.h"
#include "zumen/zumen.h"
#include "api/impl.h"

namespace zumen {
namespace {

using nlohmann::json;
using testing::TempDir;

// ---------------------------------------------------------------- writer

TEST(DxfWriter, NamesLoseWhatDxfForbids) {
  const std::pair<const char*, const char*> cases[] = {
      {"plain", "plain"},          {"a/b\\c", "a_b_c"},     {"x<y>z", "x_y_z"},   {"k:v;w", "k_v_w"},
      {"q?*|=,`\"", "q_______"}, {"  padded  ", "padded"}, {"", "fallback"},     {"   ", "fallback"},
      {"壁/柱", "壁_柱"},          {"tab\tname", "tab_name"},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(dxf::SafeName(in, "fallback"), want) << in;
  EXPECT_TRUE(dxf::SameName("Layer-a", "LAYER-A"));
  EXPECT_FALSE(dxf::SameName("壁", "柱"));
}

TEST(DxfWriter, NearestIndexColoursAndLineweights) {
  EXPECT_EQ(dxf::NearestAci(0xFF0000), 1);
  EXPECT_EQ(dxf::NearestAci(0x0000FF), 5);
  EXPECT_EQ(dxf::NearestAci(0x00FFFF), 4);
  EXPECT_EQ(dxf::NearestAci(0x000000), 7);  // black and white: the foreground
  EXPECT_EQ(dxf::NearestAci(0xFFFFFF), 7);
  EXPECT_EQ(dxf::NearestAci(0x808080), 8);
  EXPECT_EQ(dxf::NearestLineweight(0.18), 18);
  EXPECT_EQ(dxf::NearestLineweight(0.26), 25);
  EXPECT_EQ(dxf::NearestLineweight(0.0), 0);
  EXPECT_EQ(dxf::NearestLineweight(5.0), 211);
}

// Readers take a pattern as dash, gap, dash, gap ... from its start (ezdxf
// even counts the elements off in pairs): Jw patterns that join two dashes
// or begin with a gap are rewritten into that form.
TEST(DxfWriter, LineTypePatternsAlternateDashAndGap) {
  const double tiny = 1e-6;
  struct Case {
    std::vector<double> in, out;
  };
  const Case cases[] = {
      {{1, -2}, {1, -2}},                            // already so
      {{1, -2, 1}, {1, -2, 1, -4 * tiny}},           // half dashes at both ends keep their start
      {{1, 1, -2, -1}, {2, -3}},                     // neighbours of one kind joined
      {{-3, 1, -2, 1, -1}, {1, -2, 1, -4}},          // a leading gap moves to the end
      {{-3, 1, -2, 1}, {1, -2, 1, -3}},
      {{0, -1}, {0, -1}},                            // a dot
      {{2, 0, -1}, {2, -1}},                         // a dot ending a dash is in the dash
      {{5}, {5}},                                    // solid
  };
  for (const Case& c : cases) {
    const std::vector<double> got = dxf::ReaderPattern(c.in);
    ASSERT_EQ(got.size(), c.out.size()) << ::testing::PrintToString(c.in);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_NEAR(got[i], c.out[i], 1e-12) << ::testing::PrintToString(c.in);
  }
}

TEST(DxfWriter, WritesEverySectionWithUniqueHandles) {
  dxf::Document doc;
  doc.layers.push_back({"壁"});
  doc.linetypes.push_back({"JW2", "dashed", {1, -0.5}});
  dxf::Line line;
  line.p.layer = "壁";
  line.b = {10, 0};
  doc.entities.push_back(line);
  dxf::Text t;
  t.text = "caret ^ stays";
  doc.entities.push_back(t);
  const std::string s = dxf::Write(doc);
  for (const char* part : {"AC1027", "$INSUNITS", "$MEASUREMENT", "TABLES", "BLOCK_RECORD", "ENTITIES", "OBJECTS",
                           "ACAD_LAYOUT", "EOF"})
    EXPECT_NE(s.find(part), std::string::npos) << part;
  // A caret is written as DXF reads it back: "^ ".
  EXPECT_NE(s.find("caret ^  stays"), std::string::npos);
  // Handles (group 5) never repeat.
  std::istringstream in(s);
  std::string code, value;
  std::set<std::string> handles;
  while (std::getline(in, code) && std::getline(in, value)) {
    if (code == "  5" || code == "105") {
      EXPECT_TRUE(handles.insert(value).second) << value;
    }
  }
  EXPECT_GT(handles.size(), 20u);
}

// ---------------------------------------------------------------- ezdxf

#ifdef ZUMEN_PYTHON
constexpr const char* kPython = ZUMEN_PYTHON;
#else
constexpr const char* kPython = "";
#endif

struct Run {
  int status = -1;
  std::string out;
};

Run RunCheck(const std::string& args) {
  Run r;
  const std::string cmd = std::string(kPython) + " " + ZUMEN_SOURCE_DIR + "/tests/dxf/dxf_check.py " + args + " 2>/dev/null";
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, p)) > 0) r.out.append(buf, n);
  const int st = pclose(p);
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  return r;
}

bool HaveEzdxf() {
  static const bool have = [] {
    if (std::string(kPython).empty()) return false;
    return RunCheck("audit /dev/null").status != 77;
  }();
  return have;
}

#define REQUIRE_EZDXF() \
  if (!HaveEzdxf()) GTEST_SKIP() << "python3-ezdxf is not installed"

// Exports bytes of a drawing to dir/name.dxf through the public interface.
std::string Export(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes, Format f) {
  LoadOptions lo;
  lo.format = f;
  lo.name = dir / (name + "." + FormatName(f));
  Opened o = Drawing::OpenBytes(bytes, lo);
  EXPECT_TRUE(o) << o.status.message;
  const std::string path = dir / (name + ".dxf");
  const RenderResult r = Render(o.drawing, RenderOptions{}, Output::File(path));
  EXPECT_TRUE(r) << r.status.message;
  EXPECT_EQ(r.width, 0);
  return path;
}

json Dump(const std::string& dxf) {
  const Run audit = RunCheck("audit " + dxf);
  EXPECT_EQ(audit.status, 0) << audit.out;
  EXPECT_NE(audit.out.find("errors 0"), std::string::npos) << audit.out;
  const Run d = RunCheck("dump " + dxf);
  EXPECT_EQ(d.status, 0);
  return json::parse(d.out, nullptr, false);
}

const json* FindText(const json& j, const std::string& text) {
  for (const json& t : j["texts"])
    if (t["text"] == text) return &t;
  return nullptr;
}

// Whether the DXF shows the text as written: as a TEXT, or as the group of
// the TEXTs of its characters.
bool Shows(const json& j, const std::string& text) {
  if (FindText(j, text)) return true;
  for (const json& g : j["groups"])
    if (g["description"] == text) return true;
  return false;
}

const json* FindLayer(const json& j, const std::string& name) {
  for (const json& l : j["layers"])
    if (l["name"] == name) return &l;
  return nullptr;
}

TEST(DxfJww, EveryEntityKindLayersAndJapaneseText) {
  REQUIRE_EZDXF();
  TempDir dir;
  JwwWriter w(700);
  // Layer names: group 1 "平面/図", its layer 2 "壁:外"; group 0 layer 3 unnamed.
  w.head.EntLgrp[1].aStrGLayName = u"平面/図";
  w.head.EntLay[1 * 16 + 2].aStrLayName = u"壁:外";
  for (auto& g : w.head.EntLgrp) {
    g.anGLay = 2;
    g.adScale = 1;
  }
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  w.head.EntLay[0 * 16 + 5].aanLay = 0;          // hidden
  w.head.EntLay[0 * 16 + 6].aanLayProtect = 1;   // locked
  w.Layer(1, 2).Pen(2, 2);  // pen 2, line type 2 (dashed)
  w.Line(0, 0, 100, 0);
  w.Layer(0, 3).Pen(3, 1);
  w.Circle(50, 50, 20);
  w.Arc(10, 10, 5, 0, std::numbers::pi / 2);
  w.Arc(80, 80, 10, 0, std::numbers::pi, 0.5, 0.3);  // flattened and tilted
  w.Point(5, 5);
  w.Marker(20, 5, 1, 0.5, 2.0);
  w.Text(10, 100, u"図面ABC", 5);
  w.Text(10, 90, u"%SS", 4);
  w.Dimension(0, -10, 100, -10, u"100");
  w.Solid(0, 0, 10, 0, 10, 10, 0, 10);
  w.Layer(0, 5);
  w.Line(0, 200, 10, 200);
  w.Layer(0, 6);
  w.Line(0, 210, 10, 210);
  const json j = Dump(Export(dir, "all", w.Finish(), Format::Jww));
  ASSERT_FALSE(j.is_discarded());
  EXPECT_EQ(j["insunits"], 4);
  EXPECT_EQ(j["measurement"], 1);
  EXPECT_EQ(j["acadver"], "AC1027");
  for (const char* kind : {"LINE", "CIRCLE", "ARC", "ELLIPSE", "POINT", "TEXT", "DIMENSION", "SOLID", "HATCH"}) {
    EXPECT_TRUE(j["kinds"].contains(kind) || j["block_kinds"].contains(kind)) << kind;
  }
  // Layer names from the drawing, with what DXF forbids replaced.
  EXPECT_NE(FindLayer(j, "平面_図-壁_外"), nullptr);
  EXPECT_NE(FindLayer(j, "0-3"), nullptr);
  ASSERT_NE(FindLayer(j, "0-5"), nullptr);
  EXPECT_TRUE((*FindLayer(j, "0-5"))["off"]);
  ASSERT_NE(FindLayer(j, "0-6"), nullptr);
  EXPECT_TRUE((*FindLayer(j, "0-6"))["locked"]);
  // Japanese text comes back as written, with its font family.
  const json* t = FindText(j, "図面ABC");
  ASSERT_NE(t, nullptr);
  EXPECT_EQ((*t)["family"], "ＭＳ ゴシック");
  EXPECT_EQ((*t)["font"], "msgothic.ttc");
  // A scale macro expanded as zumen draws it.
  EXPECT_NE(FindText(j, "1/1"), nullptr);
  // The dashed line type of pen style 2 with its pattern.
  bool dashed = false;
  for (const json& e : j["entities"])
    if (e["type"] == "LINE" && e.value("linetype", "") == "JW2") dashed = true;
  EXPECT_TRUE(dashed);
}

// A drawing whose layer groups are all at 1:1 and whose layers are all shown.
JwwWriter PlainJww() {
  JwwWriter w(700);
  for (auto& g : w.head.EntLgrp) {
    g.anGLay = 2;
    g.adScale = 1;
  }
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  return w;
}

TEST(DxfText, FixedPitchLineIsOneTextOnZumensBaseline) {
  REQUIRE_EZDXF();
  TempDir dir;
  JwwWriter w = PlainJww();
  // 4 x 4 cells, no spacing: the glyphs of a fixed-pitch font fall into
  // zumen's cells when the line is one TEXT whose capitals are 0.75 of the
  // cell high, on the baseline 0.12 of the cell above its bottom.
  w.Text(10, 20, u"図面AB", 4);
  // Upside down in its cells: the baseline lies 0.88 of the cell up.
  TEntJwwMoji m;
  m.att = w.att;
  m.start_x = 10;
  m.start_y = 40;
  m.end_x = 22;
  m.end_y = 40;
  m.dSizeX = 4;
  m.dSizeY = -4;
  m.strFontName = u"ＭＳ 明朝";
  m.str = u"逆さ";
  w.Add(m);
  const json j = Dump(Export(dir, "fixed", w.Finish(), Format::Jww));
  ASSERT_FALSE(j.is_discarded());
  struct Case {
    const char* text;
    double x, y;
    int flags;
  };
  for (const Case& c : {Case{"図面AB", 10, 20 + 0.12 * 4, 0}, Case{"逆さ", 10, 40 + 0.88 * 4, 4}}) {
    const json* t = FindText(j, c.text);
    ASSERT_NE(t, nullptr) << c.text;
    EXPECT_NEAR((*t)["insert"][0].get<double>(), c.x, 1e-9) << c.text;
    EXPECT_NEAR((*t)["insert"][1].get<double>(), c.y, 1e-9) << c.text;
    EXPECT_NEAR((*t)["height"].get<double>(), 0.75 * 4, 1e-9) << c.text;
    EXPECT_NEAR((*t)["width"].get<double>(), 1.0, 1e-9) << c.text;
    EXPECT_EQ((*t)["halign"], 0) << c.text;  // from its insertion point, the font's own advances
    EXPECT_EQ((*t)["mirror"], c.flags) << c.text;
  }
  EXPECT_TRUE(j["groups"].empty());
}

TEST(DxfText, EveryHorizontalTextIsOneEntityWithItsWholeString) {
  REQUIRE_EZDXF();
  struct Case {
    const char* name;
    std::u16string font, text;
    double w, sp, endX, endY;
    const char* type;     // TEXT or MTEXT
    const char* content;  // what an MTEXT carries: tracking, width factor, escaped string
    const char* shown;    // its plain text
    double x, y, rotation;
  };
  const double lift = 0.12 * 4;
  const Case cases[] = {
      // Cells touching: one TEXT, whatever the family (the proportional one
      // too: its string stays whole, its glyphs set by the reader's font).
      {"fixed", u"ＭＳ ゴシック", u"図面AB", 4, 0, 20, 20, "TEXT", "", "図面AB", 10, 20 + lift, 0},
      {"proportional", u"ＭＳ Ｐゴシック", u"図面", 4, 0, 20, 20, "TEXT", "", "図面", 10, 20 + lift, 0},
      // Cells 4 wide and 1 apart: the advance 5 is 1.25 of the cell's;
      // braces are escaped in MTEXT.
      {"spaced", u"ＭＳ ゴシック", u"図{面}A", 4, 1, 20, 20, "MTEXT", "\\T1.25;図\\{面\\}A", "図{面}A", 10, 20 + lift,
       0},
      // Cells 3 wide in a 4 high line, 1.5 apart, up the page: tracking
      // 4.5 / 3 and the width factor 3 / 4; the base line starts lift left
      // of the text's start.
      {"narrow", u"ＭＳ 明朝", u"平面図", 3, 1.5, 10, 30, "MTEXT", "\\T1.5;\\W0.75;平面図", "平面図", 10 - lift, 20, 90},
  };
  for (const Case& c : cases) {
    TempDir dir;
    JwwWriter w = PlainJww();
    TEntJwwMoji m;
    m.att = w.att;
    m.start_x = 10;
    m.start_y = 20;
    m.end_x = c.endX;
    m.end_y = c.endY;
    m.dSizeX = c.w;
    m.dSizeY = 4;
    m.dKankaku = c.sp;
    m.strFontName = c.font;
    m.str = c.text;
    w.Add(m);
    const json j = Dump(Export(dir, c.name, w.Finish(), Format::Jww));
    ASSERT_FALSE(j.is_discarded()) << c.name;
    ASSERT_EQ(j["texts"].size(), 1u) << c.name;
    const json& t = j["texts"][0];
    EXPECT_EQ(t["type"], c.type) << c.name;
    EXPECT_EQ(t["text"], c.shown) << c.name;
    EXPECT_EQ(t["family"], Utf16ToUtf8(c.font)) << c.name;
    EXPECT_NEAR(t["insert"][0].get<double>(), c.x, 1e-9) << c.name;
    EXPECT_NEAR(t["insert"][1].get<double>(), c.y, 1e-9) << c.name;
    EXPECT_NEAR(t["height"].get<double>(), 0.75 * 4, 1e-9) << c.name;
    EXPECT_NEAR(std::remainder(t["rotation"].get<double>() - c.rotation, 360.0), 0, 1e-9) << c.name;
    if (std::string(c.type) == "MTEXT") {
      EXPECT_EQ(t["content"], c.content) << c.name;
      EXPECT_EQ(t["attachment"], 7) << c.name;  // bottom left: the start of the base line
      EXPECT_NEAR(t["width"].get<double>(), 0, 1e-12) << c.name;  // no wrapping
    } else {
      EXPECT_NEAR(t["width"].get<double>(), c.w / 4, 1e-9) << c.name;
      EXPECT_EQ(t["mirror"], 0) << c.name;
    }
    EXPECT_TRUE(j["groups"].empty()) << c.name;
  }
}

TEST(DxfText, VerticalTextsPlaceEveryCharacterInItsCell) {
  REQUIRE_EZDXF();
  struct Glyph {
    const char* text;
    double x, y, rotation;
    int flags;
  };
  const double lift = 0.12 * 4, hang = 0.88 * 4;
  // Vertical writing down the column: "図" stands upright across the line,
  // "。" keeps the line's direction and is mirrored in its cell.
  const Glyph glyphs[] = {{"図", 10, 16 + lift, 0, 0}, {"。", 10 + hang, 16, -90, 4}};
  TempDir dir;
  JwwWriter w = PlainJww();
  TEntJwwMoji m;
  m.att = w.att;
  m.start_x = 10;
  m.start_y = 20;
  m.end_x = 10;
  m.end_y = 12;
  m.dSizeX = m.dSizeY = 4;
  m.strFontName = u"ＭＳ ゴシック";
  m.str = u"図。";
  m.att.sFlg = 0x20;
  w.Add(m);
  const json j = Dump(Export(dir, "vertical", w.Finish(), Format::Jww));
  ASSERT_FALSE(j.is_discarded());
  for (const Glyph& g : glyphs) {
    const json* t = FindText(j, g.text);
    ASSERT_NE(t, nullptr) << g.text;
    EXPECT_NEAR((*t)["insert"][0].get<double>(), g.x, 1e-9) << g.text;
    EXPECT_NEAR((*t)["insert"][1].get<double>(), g.y, 1e-9) << g.text;
    EXPECT_NEAR(std::remainder((*t)["rotation"].get<double>() - g.rotation, 360.0), 0, 1e-9) << g.text;
    EXPECT_EQ((*t)["mirror"], g.flags) << g.text;
    // The glyphs are drawn upright by the text's own placement, not turned
    // again by a vertical ("@") font.
    EXPECT_EQ((*t)["family"], "ＭＳ ゴシック");
  }
  // The characters of one text make one group, which the text describes.
  ASSERT_EQ(j["groups"].size(), 1u);
  EXPECT_EQ(j["groups"][0]["description"], "図。");
  EXPECT_EQ(j["groups"][0]["texts"].size(), 2u);
}

TEST(DxfWriter, LongMTextComesBackWhole) {
  REQUIRE_EZDXF();
  // 150 three-byte characters and codes: the content goes out in pieces of
  // at most 250 bytes that ezdxf joins again; carets and escapes survive.
  dxf::Document doc;
  dxf::MText t;
  std::string plain;
  for (int i = 0; i < 150; ++i) plain += i % 7 == 6 ? "^" : "図";
  t.text = "\\T1.5;" + plain + "\\{x\\}";
  t.insert = {1, 2};
  t.height = 3;
  t.rotationDeg = 30;
  doc.entities.push_back(t);
  const std::string s = dxf::Write(doc);
  std::istringstream in(s);
  std::string code, value;
  int pieces = 0;
  bool inMText = false;
  while (std::getline(in, code) && std::getline(in, value)) {
    if (code == "  0") inMText = value == "MTEXT";
    if (inMText && (code == "  3" || code == "  1")) {
      ++pieces;
      EXPECT_LE(value.size(), 250u);
    }
  }
  EXPECT_GE(pieces, 2);
  TempDir dir;
  const std::string path = dir / "mtext.dxf";
  std::ofstream(path, std::ios::binary) << s;
  const json j = Dump(path);
  ASSERT_FALSE(j.is_discarded());
  ASSERT_EQ(j["texts"].size(), 1u);
  EXPECT_EQ(j["texts"][0]["text"], plain + "{x}");
  // The carets read back as written ("^ "), the codes unchanged.
  std::string written = t.text;
  for (size_t at = written.find('^'); at != std::string::npos; at = written.find('^', at + 2)) written.insert(at + 1, " ");
  EXPECT_EQ(j["texts"][0]["content"], written);
  EXPECT_NEAR(j["texts"][0]["rotation"].get<double>(), 30, 1e-9);
  EXPECT_EQ(j["texts"][0]["attachment"], 7);
}

TEST(DxfJww, LineTypePatternsAreDrawingMillimetresAtTheGroupScale) {
  REQUIRE_EZDXF();
  TempDir dir;
  JwwWriter w = PlainJww();
  for (auto& g : w.head.EntLgrp) g.adScale = 100;  // 1:100
  // User line type 31: 10 drawn, 2 gap, 1 drawn, 2 gap (paper millimetres).
  w.head.EntLtpS[1].anUDLTypeSegment = 4;
  w.head.EntLtpS[1].aadUDLTypePitch[1] = 10;
  w.head.EntLtpS[1].aadUDLTypePitch[2] = 2;
  w.head.EntLtpS[1].aadUDLTypePitch[3] = 1;
  w.head.EntLtpS[1].aadUDLTypePitch[4] = 2;
  w.Pen(2, 31);
  w.Line(0, 0, 100, 0);
  const json j = Dump(Export(dir, "lt", w.Finish(), Format::Jww));
  ASSERT_FALSE(j.is_discarded());
  bool found = false;
  for (const json& lt : j["linetypes"]) {
    if (lt["name"] != "JW31_100") continue;
    found = true;
    const std::vector<double> p = lt["pattern"];
    ASSERT_EQ(p.size(), 4u);
    EXPECT_NEAR(p[0], 1000, 1e-6);
    EXPECT_NEAR(p[1], -200, 1e-6);
    EXPECT_NEAR(p[2], 100, 1e-6);
    EXPECT_NEAR(p[3], -200, 1e-6);
  }
  EXPECT_TRUE(found);
  // Coordinates are millimetres of the drawing: a 100 mm line on paper at 1:100.
  for (const json& e : j["entities"])
    if (e["type"] == "LINE") {
      EXPECT_NEAR(e["end"][0].get<double>(), 10000, 1e-6);
    }
}

TEST(DxfJww, NestedMirroredBlocksAndCircularDefinitions) {
  REQUIRE_EZDXF();
  TempDir dir;
  JwwWriter w = PlainJww();
  w.BeginBlockDef(1, u"扉<1>");
  w.Line(0, 0, 10, 0);
  w.EndBlockDef();
  w.BeginBlockDef(2, u"outer");
  w.Insert(1, 5, 5, 2, 2, 0.5);
  w.Insert(3, 0, 0);  // 3 places 2 again: a circle
  w.EndBlockDef();
  w.BeginBlockDef(3, u"loop");
  w.Insert(2, 0, 0);
  w.EndBlockDef();
  w.Insert(2, 100, 100, -1, 1, 0.25);  // mirrored in x
  w.Insert(3, 0, 0);
  const json j = Dump(Export(dir, "blocks", w.Finish(), Format::Jww));
  ASSERT_FALSE(j.is_discarded());
  ASSERT_TRUE(j["blocks"].contains("扉_1_"));
  ASSERT_TRUE(j["blocks"].contains("outer"));
  const json& outer = j["blocks"]["outer"];
  bool nested = false;
  for (const json& m : outer)
    if (m.value("insert", "") == "扉_1_") {
      nested = true;
      EXPECT_DOUBLE_EQ(m["xscale"].get<double>(), 2.0);
      EXPECT_NEAR(m["rotation"].get<double>(), 0.5 * 180 / std::numbers::pi, 1e-9);
    }
  EXPECT_TRUE(nested);
  bool mirrored = false;
  for (const json& e : j["entities"])
    if (e["type"] == "INSERT" && e["name"] == "outer" && e["xscale"].get<double>() == -1) mirrored = true;
  EXPECT_TRUE(mirrored);
}

TEST(DxfJws, SymbolBecomesADrawingAroundItsBasePoint) {
  REQUIRE_EZDXF();
  TempDir dir;
  JwwWriter w(700, JwwWriter::Format::kJws);
  w.jws.BasePoint_x = 5;
  w.jws.BasePoint_y = 6;
  for (auto& g : w.head.EntLgrp) g.adScale = 1;
  w.Line(0, 0, 10, 10);
  w.Text(0, 0, u"記号", 2);
  const json j = Dump(Export(dir, "sym", w.Finish(), Format::Jws));
  ASSERT_FALSE(j.is_discarded());
  EXPECT_EQ(j["kinds"]["LINE"], 1);
  EXPECT_NE(FindText(j, "記号"), nullptr);
}

TEST(DxfJwc, JwcAndJwkExport) {
  REQUIRE_EZDXF();
  TempDir dir;
  test::JwcFile c;
  c.groupScale.fill(1);
  c.lines.push_back({0, 0, 100, 0, 2, 2, 0});
  c.arcs.push_back({});
  c.arcs.back().x = 50;
  c.arcs.back().y = 50;
  c.arcs.back().r = 10;
  c.tens.push_back({5, 5});
  c.Text(0, 20, 50, 20, "\x90\x7d\x96\xca", 3);  // "図面" in code page 932
  const json jc = Dump(Export(dir, "c", c.Build(), Format::Jwc));
  ASSERT_FALSE(jc.is_discarded());
  EXPECT_EQ(jc["kinds"]["LINE"], 1);
  EXPECT_TRUE(Shows(jc, "図面"));

  test::JwkFile k;
  k.scale = "2";
  k.lines.push_back({0, 0, 10, 0});
  const json jk = Dump(Export(dir, "k", k.Build(), Format::Jwk));
  ASSERT_FALSE(jk.is_discarded());
  EXPECT_EQ(jk["kinds"]["LINE"], 1);
}

TEST(DxfK4, FillsCurvesSymbolsAndTexts) {
  REQUIRE_EZDXF();
  TempDir dir;
  test::K4Writer w;
  w.Title(u"k4");
  TK4LayerInfo li;
  li.grp[0].text = u"基本";
  li.grp[0].tab[1].text = u"線";
  w.Layers(li);
  std::array<TK4TextStyle, 21> styles{};
  styles[1].font = u"ＭＳ ゴシック";
  styles[1].hight = 3;
  styles[1].width = 3;
  w.TextStyles(styles);
  TK4ObjectLine l;
  l.head.attr = 0x1000;  // group 0, layer 1
  l.p2 = {100, 0};
  w.Line(l);
  TK4ObjectBezier b;
  b.cnt = 7;
  b.pt = {{0, 0}, {10, 10}, {20, 10}, {30, 0}, {40, -10}, {50, -10}, {60, 0}};
  w.Curve(2017, b);
  TK4ObjectPolygon pg;
  pg.ptn = 2;
  pg.cnt = 3;
  pg.pt = {{0, 0}, {10, 0}, {5, 8}};
  w.Polygon(pg);
  TK4ObjectPolygonGrad gr;
  gr.cnt = 4;
  gr.pt = {{20, 0}, {30, 0}, {30, 10}, {20, 10}};
  gr.grad.col = {0x0000FF, 0xFF0000};
  gr.grad.pos = {TDPoint{20, 0}, TDPoint{30, 10}};
  w.PolygonGrad(gr);
  TK4ObjectSymbol s;
  s.sym.pos = {50, 50};
  s.sym.style = 13;
  s.sym.param = {3, 0.5};
  w.Symbol(s);
  TK4ObjectText t;
  t.pos = {0, 30};
  t.style = 1;
  t.text = u"平面図";
  w.Text(t);
  const json j = Dump(Export(dir, "k4", w.bytes(), Format::K4));
  ASSERT_FALSE(j.is_discarded());
  EXPECT_EQ(j["kinds"]["SPLINE"], 1);
  EXPECT_EQ(j["kinds"]["HATCH"], 2);
  EXPECT_EQ(j["kinds"]["INSERT"], 1);
  EXPECT_NE(FindText(j, "平面図"), nullptr);
  EXPECT_NE(FindLayer(j, "基本-線"), nullptr);
  bool gradient = false;
  for (const json& e : j["entities"])
    if (e["type"] == "HATCH" && e["gradient"]) {
      gradient = true;
      // Red to blue; readers that cannot draw gradients fill with the colour
      // halfway between.
      EXPECT_EQ(e.value("true_color", 0), 0x7F007F);
    }
  EXPECT_TRUE(gradient);
}

// Placed images and K4 bitmaps: IMAGE entities on the boxes the pictures
// show, each naming an image file written beside the DXF with the bytes of
// the image the drawing uses; images of one name get names of their own.
TEST(DxfImages, ImageEntitiesReferenceFilesBesideTheDxf) {
  REQUIRE_EZDXF();
  std::vector<uint8_t> wide, square, bmp;  // 4 x 2 and 2 x 2 pixels
  ASSERT_TRUE(EncodeImage(ViewOf(Bitmap(4, 2, 0xFF336699)), ImageFormat::Png, wide));
  ASSERT_TRUE(EncodeImage(ViewOf(Bitmap(2, 2, 0xFF993366)), ImageFormat::Png, square));
  ASSERT_TRUE(EncodeImage(ViewOf(Bitmap(2, 2, 0xFF669933)), ImageFormat::Bmp, bmp));
  struct Placed {
    std::string file;
    const std::vector<uint8_t>* bytes;
    double x, y, ux, uy, vx, vy;
  };
  struct Case {
    const char* name;
    Format format;
    std::vector<uint8_t> drawing;
    std::vector<Placed> images;
    int hatches;  // greyed bitmaps: the grey box the picture shows
  };
  const double c30 = std::cos(std::numbers::pi / 6), s30 = std::sin(std::numbers::pi / 6);
  TempDir dir;
  std::filesystem::create_directories(dir / "sub");
  dir.Write("sub/photo.png", square);
  JwwWriter jw = PlainJww();
  jw.Image(u"photo.png.gz", wide);
  jw.Text(5, 5, u"^@BM%temp%photo.png,10,5,0,0,1,30");  // the whole image in a box turned 30 degrees
  jw.Text(5, 30, u"^@BM%temp%photo.png,8");             // the same image, 8 wide
  jw.Text(5, 50, u"^@BMsub/photo.png,6");               // a file of the same name beside the drawing
  test::K4Writer k4;
  k4.Title(u"k4");
  TK4LayerInfo li;
  li.grp[1].state = 1;  // greyed
  k4.Layers(li);
  TK4ObjectBitmap bm;
  bm.typ = 2;
  bm.bmp = wide;
  bm.byt = static_cast<int32_t>(wide.size());
  bm.pos = {{{10, 10}, {18, 10}, {18, 14}, {10, 14}}};
  k4.Bitmap(bm);
  TK4ObjectBitmapEx bx;
  bx.typ = 12;
  bx.bmp = bmp;
  bx.byt = static_cast<int32_t>(bmp.size());
  bx.pos = {{{30, 0}, {30, 8}, {22, 8}, {22, 0}}};  // a quarter turn
  k4.BitmapEx(bx);
  bm.typ = 3;  // no known image type: nothing, as nothing is drawn
  k4.Bitmap(bm);
  bm.typ = 2;
  bm.head.attr = test::K4Attr(0, 1, 0, 0);
  k4.Bitmap(bm);
  const Case cases[] = {
      {"plan", Format::Jww, jw.Finish(),
       {{"plan_photo.png", &wide, 5, 5, 2.5 * c30, 2.5 * s30, -2.5 * s30, 2.5 * c30},
        {"plan_photo.png", &wide, 5, 30, 2, 0, 0, 2},
        {"plan_photo (2).png", &square, 5, 50, 3, 0, 0, 3}},
       0},
      {"k4", Format::K4, k4.bytes(),
       {{"k4_image1.png", &wide, 10, 10, 2, 0, 0, 2}, {"k4_image2.bmp", &bmp, 30, 0, 0, 4, -4, 0}},
       1},
  };
  for (const Case& c : cases) {
    const json j = Dump(Export(dir, c.name, c.drawing, c.format));
    ASSERT_FALSE(j.is_discarded()) << c.name;
    std::vector<const json*> images;
    for (const json& e : j["entities"])
      if (e["type"] == "IMAGE") images.push_back(&e);
    ASSERT_EQ(images.size(), c.images.size()) << c.name;
    for (size_t i = 0; i < images.size(); ++i) {
      const json& e = *images[i];
      const Placed& want = c.images[i];
      EXPECT_EQ(e["file"], want.file) << c.name << " " << i;
      const std::string written = testing::ReadAll(dir / want.file);
      EXPECT_EQ(written, std::string(want.bytes->begin(), want.bytes->end())) << c.name << " " << want.file;
      const double got[] = {e["insert"][0], e["insert"][1], e["u"][0], e["u"][1], e["v"][0], e["v"][1]};
      const double expected[] = {want.x, want.y, want.ux, want.uy, want.vx, want.vy};
      for (int k = 0; k < 6; ++k) EXPECT_NEAR(got[k], expected[k], 1e-9) << c.name << " " << i << " " << k;
    }
    EXPECT_EQ(j["kinds"].value("HATCH", 0), c.hatches) << c.name;
  }
}

TEST(DxfApi, MemoryOutputAndTypeNames) {
  EXPECT_EQ(OutputTypeFromName("plan.DXF"), OutputType::Dxf);
  EXPECT_EQ(OutputTypeFromName("dxf"), OutputType::Dxf);
  EXPECT_STREQ(OutputTypeExtension(OutputType::Dxf), ".dxf");
  JwwWriter w(700);
  w.Line(0, 0, 1, 1);
  const std::vector<uint8_t> bytes = w.Finish();
  LoadOptions lo;
  lo.format = Format::Jww;
  Opened o = Drawing::OpenBytes(bytes, lo);
  ASSERT_TRUE(o);
  std::vector<uint8_t> out;
  const RenderResult r = Render(o.drawing, RenderOptions{}, Output::Memory(OutputType::Dxf, out));
  ASSERT_TRUE(r) << r.status.message;
  const std::string s(out.begin(), out.end());
  EXPECT_EQ(s.rfind("  0\nSECTION", 0), 0u);
  EXPECT_NE(s.find("LINE"), std::string::npos);
}

// ---------------------------------------------------------------- round trip

// The scale of a JWW drawing's layer groups when they all share one; 0 when
// they differ (the drawing's millimetres then do not map onto its paper by
// one factor).
double UniformScale(const TJwwData& d) {
  double s = 0;
  auto use = [&](const TEntJwwAttr& a) {
    const double g = a.nGLayer < 16 && d.EntLgrp[a.nGLayer].adScale > 0 ? d.EntLgrp[a.nGLayer].adScale : 1.0;
    if (s == 0) s = g;
    else if (s != g) s = -1;
  };
  for (const auto& e : d.Body.EntLine) use(e.att);
  for (const auto& e : d.Body.EntEnko) use(e.att);
  for (const auto& e : d.Body.EntMoji) use(e.att);
  for (const auto& e : d.Body.EntSolid) use(e.att);
  for (const auto& e : d.Body.EntSunpo) use(e.att);
  for (const auto& e : d.Body.EntBlock) use(e.att);
  return s <= 0 ? (s == 0 ? 1 : 0) : s;
}

// Renders the drawing's PNG and its DXF, and answers ezdxf's picture's
// coverage of zumen's dark pixels.
double Coverage(const std::string& path, const TempDir& dir, const std::string& name) {
  Opened o = Drawing::Open(path);
  EXPECT_TRUE(o) << o.status.message;
  if (!o) return 0;
  RenderOptions ro;
  ro.width = 1600;
  ro.height = 1131;
  ro.frame = false;
  ro.background = Background::White;
  const std::string png = dir / (name + ".png"), dxfPath = dir / (name + ".dxf");
  EXPECT_TRUE(Render(o.drawing, ro, Output::File(png)));
  EXPECT_TRUE(Render(o.drawing, ro, Output::File(dxfPath)));
  const Run audit = RunCheck("audit " + dxfPath);
  EXPECT_EQ(audit.status, 0) << audit.out;
  // The window zumen drew, in paper units, and the drawing's scale.
  const LoadedDrawing& loaded = o.drawing.impl().loaded;
  const DeviceView ctx = FitView(FittedFrame(loaded, Fit::Paper, ro.fit_drawn), ro.width, ro.height, ro.margin);
  std::vector<uint8_t> bytes;
  std::ifstream f(path, std::ios::binary);
  bytes.assign(std::istreambuf_iterator<char>(f), {});
  TJwwData d;
  d.BindImageExr = false;
  d.FileInBytes(bytes);
  const double s = UniformScale(d);
  if (s == 0) return -1;
  char args[512];
  const char* keep = std::getenv("ZUMEN_DXF_PICTURES");
  const std::string out = keep ? std::string(keep) + "/" + name + ".ezdxf.png" : std::string();
  if (keep) std::filesystem::copy_file(png, std::string(keep) + "/" + name + ".zumen.png",
                                       std::filesystem::copy_options::overwrite_existing);
  std::snprintf(args, sizeof args, "coverage %s %s %.9g %.9g %.9g %.9g %.9g %s", dxfPath.c_str(), png.c_str(),
                ctx.DispX1 * s, ctx.DispY1 * s, ctx.DispX2 * s, ctx.DispY2 * s, s, out.c_str());
  const Run r = RunCheck(args);
  EXPECT_EQ(r.status, 0) << r.out;
  double share = 0;
  std::sscanf(r.out.c_str(), "coverage %lf", &share);
  std::printf("%s: %s", name.c_str(), r.out.c_str());
  if (keep) std::printf("  %s\n", args);
  return share;
}

TEST(DxfRoundTrip, CorpusDrawingsCoverZumensPicture) {
  REQUIRE_EZDXF();
  const std::filesystem::path corpus = ZUMEN_CORPUS_DIR;
  if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no corpus";
  TempDir dir;
  int n = 0;
  for (const auto& e : std::filesystem::recursive_directory_iterator(corpus)) {
    if (e.path().extension() != ".jww") continue;
    std::string name = std::filesystem::relative(e.path(), corpus).string();
    for (char& c : name)
      if (c == '/') c = '_';
    const double share = Coverage(e.path().string(), dir, name);
    if (share < 0) continue;  // layer groups of several scales
    EXPECT_GE(share, 0.95) << name;
    ++n;
  }
  EXPECT_GT(n, 0);
}

}  // namespace
}  // namespace zumen
