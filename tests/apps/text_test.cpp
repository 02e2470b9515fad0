// `zumen text` and the --layers list, run as a user runs them, and the
// list's parser in-process.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "codecs/image_io.h"
#include "command.h"
#include "support/jww_writer.h"
#include "support/temp_dir.h"

namespace zumen {
namespace {

using namespace test_apps;

// A4: a red line and the file-name macro on layer 0-1, a text placed through
// the block "door" on layer 0-3, a text on the hidden layer 1-2.
std::string Plan(const TempDir& t, const std::string& name) {
  JwwWriter w(600);
  w.head.Enthd.nZumen = 4;
  for (auto& g : w.head.EntLgrp) g.anGLay = 2;
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  w.head.EntLay[0x12].aanLay = 0;
  w.head.EntCol[2].aPrtPenColor = 0x0000FF;
  w.head.EntCol[2].anPrtPenWidth = 40;
  w.Layer(0, 3).Pen(1);
  w.BeginBlockDef(1, u"door");
  w.Text(0, 0, u"IN", 4);
  w.EndBlockDef();
  w.Layer(0, 1).Pen(2).Line(-100, -50, 100, 50);
  w.Text(10, 10, u"%f8", 5);
  w.Layer(1, 2).Text(10, -20, u"HIDDEN", 5);
  w.Layer(0, 3).Insert(1, 30, 40);
  return t.Write(name, w.Finish());
}

TEST(ZumenText, JsonIsOneObjectPerDrawingWithItsTexts) {
  TempDir t;
  const std::string a = Plan(t, "alpha.jww"), missing = t / "missing.jww";
  const Result r = Exec(t, std::string(ZUMEN_EXE) + " text " + Q(a) + " " + Q(missing) + " --json");
  EXPECT_EQ(r.status, 1) << r.err;
  std::istringstream lines(r.out);
  std::vector<nlohmann::json> drawings;
  for (std::string line; std::getline(lines, line);) drawings.push_back(nlohmann::json::parse(line));
  ASSERT_EQ(drawings.size(), 2u) << r.out;

  const nlohmann::json& j = drawings[0];
  EXPECT_EQ(j["source"], a);
  EXPECT_EQ(j["status"], "ok");
  ASSERT_EQ(j["texts"].size(), 2u) << j.dump();
  const nlohmann::json& macro = j["texts"][0];
  EXPECT_EQ(macro["text"], "alpha");
  EXPECT_EQ(macro["layer"], 1);
  EXPECT_EQ(macro["group"], 0);
  EXPECT_DOUBLE_EQ(macro["x"].get<double>(), 10);
  EXPECT_DOUBLE_EQ(macro["height"].get<double>(), 5);
  EXPECT_EQ(macro["vertical"], false);
  EXPECT_TRUE(macro["block_path"].empty());
  for (const char* k : {"min_x", "min_y", "max_x", "max_y"}) EXPECT_TRUE(macro["box"][k].is_number()) << k;
  const nlohmann::json& placed = j["texts"][1];
  EXPECT_EQ(placed["text"], "IN");
  EXPECT_EQ(placed["block_path"], nlohmann::json::array({"door"}));
  EXPECT_DOUBLE_EQ(placed["x"].get<double>(), 30);
  EXPECT_DOUBLE_EQ(placed["y"].get<double>(), 40);

  EXPECT_EQ(drawings[1]["source"], missing);
  EXPECT_EQ(drawings[1]["status"], "failed");
  EXPECT_TRUE(drawings[1]["error"].is_string());
}

TEST(ZumenText, PlainLinesAndTheLayerChoice) {
  TempDir t;
  const std::string a = Plan(t, "alpha.jww");
  Result r = Exec(t, std::string(ZUMEN_EXE) + " text " + Q(a));
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, a + "\t0-1\t10\t10\t5\t0\t-\talpha\n" + a + "\t0-3\t30\t40\t4\t0\tdoor\tIN\n");
  r = Exec(t, std::string(ZUMEN_EXE) + " text " + Q(a) + " --layers 1-2");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, a + "\t1-2\t10\t-20\t5\t0\t-\tHIDDEN\n");
  r = Exec(t, std::string(ZUMEN_EXE) + " text " + Q(a) + " --layers 1-G");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("--layers"), std::string::npos) << r.err;
}

TEST(ZumenConvert, LayersLeaveTheOthersOut) {
  TempDir t;
  const std::string a = Plan(t, "alpha.jww");
  const auto redPixels = [&](const std::string& extra) {
    const std::string png = t / "out.png";
    const Result r = Exec(t, std::string(ZUMEN_EXE) + " convert " + Q(a) + " " + Q(png) + " --size 300x212 " + extra);
    EXPECT_EQ(r.status, 0) << r.err;
    const LoadedImage img = LoadImageFile(png);
    EXPECT_TRUE(img.ok()) << img.error;
    int n = 0;
    for (const uint32_t c : img.bitmap.pixels) n += ((c >> 16) & 0xFF) > 200 && ((c >> 8) & 0xFF) < 80 && (c & 0xFF) < 80;
    return n;
  };
  EXPECT_GT(redPixels(""), 0);
  EXPECT_EQ(redPixels("--layers 0-3,1"), 0);  // layer 0-1 left out
  EXPECT_GT(redPixels("--layers 0"), 0);      // group 0, layer 0-1 among it
}

TEST(ParseLayers, ItemsAreLayersOrWholeGroups) {
  struct Case {
    const char* text;
    std::optional<std::vector<int>> layers;
  };
  std::vector<int> group1;
  for (int l = 0; l < 16; ++l) group1.push_back(16 + l);
  std::vector<int> mixed = group1;
  mixed.insert(mixed.begin(), 0x03);
  mixed.push_back(0xAF);
  const Case cases[] = {{"0-3", std::vector<int>{3}},
                        {"1", group1},
                        {"a-f,1,0-3,1-5", mixed},
                        {"F-F", std::vector<int>{255}},
                        {"", std::nullopt},
                        {"0-3,", std::nullopt},
                        {"G", std::nullopt},
                        {"0-10", std::nullopt},
                        {"16", std::nullopt},
                        {" 0-1", std::nullopt}};
  for (const Case& c : cases) {
    EXPECT_EQ(zumen_cli::ParseLayers(c.text), c.layers) << c.text;
    EXPECT_EQ(zumen_cli::CheckLayers(c.text).empty(), c.layers.has_value()) << c.text;
  }
}

}  // namespace
}  // namespace zumen
