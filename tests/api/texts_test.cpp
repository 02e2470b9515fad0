// The drawing queries and the picture controls that read the scene: the
// texts as drawn (macros expanded, placed through blocks, hidden layers left
// out) for every family, the layers with their item counts, the layer
// selection of pictures and cancellation.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "api/impl.h"
#include "api/picture.h"
#include "support/jwc_writer.h"
#include "support/jww_writer.h"
#include "support/k4_writer.h"
#include "support/temp_dir.h"
#include "zumen/zumen.h"

namespace zumen {
namespace {

using testing::Picture;
using testing::TempDir;

constexpr int kHiddenLayer = 0x12;

// Every layer shown but layer 1-2; pens 2 red and 5 green, 3 dots wide.
void JwwLayers(JwwWriter& w) {
  for (auto& g : w.head.EntLgrp) g.anGLay = 2;
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  w.head.EntLay[kHiddenLayer].aanLay = 0;
  w.head.EntLay[0x03].aStrLayName = u"doors";
  w.head.EntLgrp[0].aStrGLayName = u"ground";
  w.head.EntCol[2].aPrtPenColor = 0x0000FF;
  w.head.EntCol[5].aPrtPenColor = 0x00C000;
  w.head.EntCol[2].anPrtPenWidth = w.head.EntCol[5].anPrtPenWidth = 30;
}

// A plan with a file-name macro text, a text on a hidden layer, a named
// block placed on its own and inside another named block, and an unnamed
// block; a red line on layer 0-1, a green one on 0-2 and one on the hidden
// layer.
std::vector<uint8_t> JwwPlan() {
  JwwWriter w(600);
  w.Paper(3);
  JwwLayers(w);
  w.Layer(0, 3).Pen(2);
  w.BeginBlockDef(1, u"door");
  w.Line(0, 0, 10, 0);
  w.Text(1, 2, u"IN", 4);
  w.EndBlockDef();
  w.BeginBlockDef(2, u"");
  w.Text(0, 0, u"ANON", 4);
  w.EndBlockDef();
  w.BeginBlockDef(3, u"outer");
  w.Insert(1, 20, 0);
  w.EndBlockDef();
  w.Layer(0, 1).Pen(2).Line(-150, -100, 150, 100);
  w.Text(10, 10, u"%f8", 5);
  w.Layer(0, 2).Pen(5).Line(-150, 100, 150, -100);
  w.Layer(1, 2).Pen(2).Line(-150, 0, 150, 0);
  w.Text(10, -20, u"HIDDEN", 5);
  w.Layer(0, 3);
  w.Insert(1, 100, 50);
  w.Insert(2, -100, 50);
  w.Insert(3, 0, -50);
  return w.Finish();
}

// JWC: a file-name macro on layer 0-1 and a plain text on the hidden layer 1-2.
std::vector<uint8_t> JwcPlan() {
  test::JwcFile f;
  f.lDisp[kHiddenLayer] = 0;
  f.layerNames[1] = "notes";
  f.Text(10, 10, 40, 10, "%f8", 1, 0x01);
  f.Text(10, 30, 60, 30, "HIDDEN", 1, kHiddenLayer);
  return f.Build();
}

// K4: the title macro on layer 0-1 and a text on the hidden layer 1-2.
std::vector<uint8_t> K4Plan() {
  test::K4Writer w;
  TK4LayerInfo li;
  li.grp[1].tab[2].state = 0;
  TK4PaperSize paper;
  paper.size = {{{0, 0}, {420, 297}}};
  std::array<TK4TextStyle, 21> styles{};
  styles[1].hight = 5;
  styles[1].width = 5;
  styles[1].penno = 1;
  w.Title(u"plan").Layers(li).Paper(paper).TextStyles(styles);
  TK4ObjectText t;
  t.pos = {10, 10};
  t.style = 1;
  t.text = u"%mm";
  t.head.attr = 0x1000;  // group 0, layer 1
  w.Text(t);
  t.pos = {10, 30};
  t.text = u"HIDDEN";
  t.head.attr = 0x2100;  // group 1, layer 2
  w.Text(t);
  return w.bytes();
}

Drawing OpenAs(const TempDir& dir, const std::string& name, const std::vector<uint8_t>& bytes) {
  const Opened o = Drawing::Open(dir.Write(name, bytes));
  EXPECT_TRUE(o) << o.status.message;
  return o.drawing;
}

const Text* Find(const std::vector<Text>& texts, const std::string& s) {
  const auto it = std::find_if(texts.begin(), texts.end(), [&](const Text& t) { return t.text == s; });
  return it == texts.end() ? nullptr : &*it;
}

TEST(Texts, MacrosExpandedAndHiddenLayersLeftOutInEveryFamily) {
  struct Case {
    const char* file;
    std::vector<uint8_t> (*make)();
  };
  const Case cases[] = {{"plan.jww", JwwPlan}, {"plan.jwc", JwcPlan}, {"plan.k4", K4Plan}};
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    const Drawing d = OpenAs(dir, c.file, c.make());
    const std::vector<Text> texts = d.Texts();
    const Text* macro = Find(texts, "plan");
    ASSERT_NE(macro, nullptr);
    EXPECT_EQ(macro->layer, 0x01);
    EXPECT_EQ(macro->group, 0);
    EXPECT_NEAR(macro->x, 10, 1e-6);
    EXPECT_NEAR(macro->y, 10, 1e-6);
    EXPECT_NEAR(macro->angle, 0, 1e-9);
    EXPECT_GT(macro->height, 0);
    EXPECT_TRUE(macro->block_path.empty());
    // The cells of four half-width characters (as wide as half the height,
    // no spacing) from the insertion point along the base line.
    EXPECT_NEAR(macro->box.min_x, 10, 1e-6);
    EXPECT_NEAR(macro->box.min_y, 10, 1e-6);
    EXPECT_NEAR(macro->box.max_x - macro->box.min_x, 2 * macro->height, 1e-6);
    EXPECT_NEAR(macro->box.max_y - macro->box.min_y, macro->height, 1e-6);
    EXPECT_EQ(Find(texts, "HIDDEN"), nullptr);
    EXPECT_EQ(Find(texts, "%f8"), nullptr);

    // Named, the hidden layer's texts are listed, and only the named layers'.
    RenderOptions o;
    o.layers = std::vector<int>{kHiddenLayer};
    const std::vector<Text> chosen = d.Texts(o);
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0].text, "HIDDEN");
    EXPECT_EQ(chosen[0].layer, kHiddenLayer);
    EXPECT_EQ(chosen[0].group, 1);
  }
}

TEST(Texts, TextsInBlocksCarryTheirPlacementAndBlockPath) {
  TempDir dir;
  const Drawing d = OpenAs(dir, "plan.jww", JwwPlan());
  const std::vector<Text> texts = d.Texts();
  std::vector<const Text*> in;
  for (const Text& t : texts)
    if (t.text == "IN") in.push_back(&t);
  ASSERT_EQ(in.size(), 2u);
  struct Expected {
    std::vector<std::string> path;
    double x, y;
  };
  const Expected expected[] = {{{"door"}, 101, 52}, {{"outer", "door"}, 21, -48}};
  for (const Expected& e : expected) {
    const auto it = std::find_if(in.begin(), in.end(), [&](const Text* t) { return t->block_path == e.path; });
    ASSERT_NE(it, in.end()) << e.path.back();
    EXPECT_NEAR((*it)->x, e.x, 1e-6);
    EXPECT_NEAR((*it)->y, e.y, 1e-6);
    EXPECT_EQ((*it)->layer, 0x03);
    EXPECT_EQ((*it)->layer_name, "doors");
    EXPECT_EQ((*it)->group_name, "ground");
  }
  const Text* anon = Find(texts, "ANON");
  ASSERT_NE(anon, nullptr);
  EXPECT_EQ(anon->block_path, std::vector<std::string>{"#2"});
}

// A vertical text of three full-width characters, and a block with a text
// placed as it is, mirrored and turned.
std::vector<uint8_t> JwwTurnedTexts() {
  JwwWriter w(600);
  w.Paper(3);
  JwwLayers(w);
  w.Layer(0, 1).Pen(5);
  w.BeginBlockDef(1, u"sign");
  w.Text(0, 0, u"AB", 4);
  w.EndBlockDef();
  w.att.sFlg = 0x20;  // written top to bottom
  w.Text(-50, 40, u"縦書き", 5, 270);
  w.att.sFlg = 0;
  w.Insert(1, 50, 0);
  w.Insert(1, 50, -40, -1, 1);
  w.Insert(1, -50, -40, 1, 1, std::numbers::pi / 2);
  return w.Finish();
}

TEST(Texts, VerticalMirroredAndTurnedTextsAsDrawn) {
  TempDir dir;
  const Drawing d = OpenAs(dir, "turned.jww", JwwTurnedTexts());
  const std::vector<Text> texts = d.Texts();
  ASSERT_EQ(texts.size(), 4u);

  // The vertical text runs down from its insertion point, one square cell
  // of the full-width characters under another.
  const Text* vertical = Find(texts, "縦書き");
  ASSERT_NE(vertical, nullptr);
  EXPECT_TRUE(vertical->vertical);
  EXPECT_NEAR(vertical->height, 5, 1e-9);
  EXPECT_NEAR(vertical->angle, 270, 1e-9);
  EXPECT_NEAR(vertical->box.max_y, 40, 1e-6);
  EXPECT_NEAR(vertical->box.max_y - vertical->box.min_y, 3 * 5, 1e-6);
  EXPECT_NEAR(vertical->box.max_x - vertical->box.min_x, 5, 1e-6);

  // The block's text through each placement. A mirrored text still reads
  // left to right: it starts where the mirror puts the end of its line.
  struct Expected {
    double x, y, angle;
    Box box;
  };
  const Expected placements[] = {
      {50, 0, 0, {50, 0, 54, 4}},
      {42, -40, 0, {42, -40, 46, -36}},
      {-50, -40, 90, {-54, -40, -50, -36}},
  };
  for (const Expected& e : placements) {
    SCOPED_TRACE(std::to_string(e.x) + ", " + std::to_string(e.y));
    const auto it = std::find_if(texts.begin(), texts.end(), [&](const Text& t) {
      return t.text == "AB" && std::fabs(t.x - e.x) < 1e-6 && std::fabs(t.y - e.y) < 1e-6;
    });
    ASSERT_NE(it, texts.end());
    EXPECT_FALSE(it->vertical);
    EXPECT_NEAR(it->angle, e.angle, 1e-6);
    EXPECT_NEAR(it->box.min_x, e.box.min_x, 1e-6);
    EXPECT_NEAR(it->box.min_y, e.box.min_y, 1e-6);
    EXPECT_NEAR(it->box.max_x, e.box.max_x, 1e-6);
    EXPECT_NEAR(it->box.max_y, e.box.max_y, 1e-6);
    EXPECT_EQ(it->block_path, std::vector<std::string>{"sign"});
  }
}

TEST(Layers, NamesStatesAndItemsCountedPerPlacement) {
  TempDir dir;
  const Drawing d = OpenAs(dir, "plan.jww", JwwPlan());
  const std::vector<Layer>& layers = d.Layers();
  ASSERT_EQ(layers.size(), 256u);
  for (int n = 0; n < 256; ++n) {
    EXPECT_EQ(layers[static_cast<size_t>(n)].number, n);
    EXPECT_EQ(layers[static_cast<size_t>(n)].group, n / 16);
  }
  EXPECT_EQ(layers[1].items, 2);  // a line and the macro text
  EXPECT_EQ(layers[2].items, 1);
  EXPECT_EQ(layers[kHiddenLayer].items, 2);
  EXPECT_EQ(layers[kHiddenLayer].state, LayerState::Hidden);
  EXPECT_EQ(layers[1].state, LayerState::Normal);
  // "door" (a line and a text) placed twice, "ANON" once.
  EXPECT_EQ(layers[3].items, 5);
  EXPECT_EQ(layers[3].name, "doors");
  EXPECT_EQ(layers[3].group_name, "ground");
  EXPECT_EQ(layers[4].name, "");
  EXPECT_EQ(layers[4].items, 0);
}

TEST(LayerSelection, RemovesTheInkOfLayersLeftOut) {
  TempDir dir;
  const Drawing d = OpenAs(dir, "plan.jww", JwwPlan());
  const auto red = [](uint32_t c) { return testing::Red(c) > 200 && testing::Green(c) < 80 && testing::Blue(c) < 80; };
  const auto green = [](uint32_t c) { return testing::Green(c) > 150 && testing::Red(c) < 80 && testing::Blue(c) < 80; };
  struct Case {
    std::optional<std::vector<int>> layers;
    bool red, green;
  };
  // The hidden layer's line is red too: shown once it is named.
  const Case cases[] = {{std::nullopt, true, true},
                        {std::vector<int>{2}, false, true},
                        {std::vector<int>{1, 2}, true, true},
                        {std::vector<int>{kHiddenLayer}, true, false},
                        {std::vector<int>{}, false, false}};
  RenderOptions base;
  base.frame = false;
  const Picture all = testing::Draw(d, base, 300, 212);
  ASSERT_TRUE(all.result) << all.result.status.message;
  const int redAll = all.Count(red);
  for (const Case& c : cases) {
    RenderOptions o = base;
    o.layers = c.layers;
    const Picture p = testing::Draw(d, o, 300, 212);
    ASSERT_TRUE(p.result) << p.result.status.message;
    EXPECT_EQ(p.Count(red) > 0, c.red);
    EXPECT_EQ(p.Count(green) > 0, c.green);
    if (c.layers && c.layers->size() == 1 && (*c.layers)[0] == kHiddenLayer) {
      EXPECT_NE(p.Count(red), redAll);
    }
  }
  RenderOptions bad;
  bad.layers = std::vector<int>{256};
  EXPECT_EQ(testing::Draw(d, bad, 30, 20).result.status.code, StatusCode::InvalidArgument);
}

TEST(Cancel, ACancelledRenderAnswersCancelledAndWritesNoFile) {
  TempDir dir;
  const Drawing d = OpenAs(dir, "plan.jww", JwwPlan());
  Banding bands;  // a picture of several bands
  bands.max_bitmap_bytes = 1;
  bands.band_bytes = 1;
  struct Case {
    const char* name;
    bool banded;
  };
  const Case cases[] = {{"a.png", false}, {"b.png", true}, {"c.svg", false}, {"d.pdf", false}, {"e.dxf", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Lets the render start, then asks to stop.
    std::atomic<int> asked{0};
    RenderOptions o;
    o.width = 200;
    o.height = 140;
    o.cancelled = [&asked] { return asked++ > 0; };
    const std::string path = dir / c.name;
    const RenderResult r = c.banded ? RenderWith(d, o, Output::File(path), bands) : Render(d, o, Output::File(path));
    EXPECT_EQ(r.status.code, StatusCode::Cancelled);
    EXPECT_GT(asked.load(), 1);
    EXPECT_FALSE(std::filesystem::exists(path));
  }
  // Nothing else was left behind (temporary files) but the drawing.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.dir())) ++files;
  EXPECT_EQ(files, 1);

  RenderOptions never;
  never.cancelled = [] { return false; };
  never.width = 200;
  never.height = 140;
  EXPECT_TRUE(Render(d, never, Output::File(dir / "f.png")));
  EXPECT_TRUE(std::filesystem::exists(dir / "f.png"));
}

}  // namespace
}  // namespace zumen
