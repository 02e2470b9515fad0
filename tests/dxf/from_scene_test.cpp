// The DXF export read straight from the scene: the document of a drawing of
// every family, its structure checked in memory (blocks with their inserts,
// dimensions with their blocks, layers, the drawing's millimetres).
#include "dxf/from_scene.h"

#include <gtest/gtest.h>

#include <numbers>
#include <span>
#include <string>

#include "driver/conversion.h"
#include "dxf/document.h"
#include "formats/k4/k4types.h"
#include "support/jwc_writer.h"
#include "support/jww_writer.h"
#include "support/k4_writer.h"

namespace zumen {
namespace {

// The DXF document of a drawing, with the picture options' defaults.
struct Exported {
  LoadedDrawing loaded;
  dxf::Document doc;
};

void Export(Family family, std::span<const uint8_t> bytes, Exported& out) {
  ASSERT_TRUE(LoadDrawing(family, bytes, "drawing", LoadOptions{}, out.loaded));
  ASSERT_TRUE(out.loaded.read) << out.loaded.error;
  ConversionContext ctx;
  SetUpContext(out.loaded, RenderOptions{}, ctx);
  ExportSceneDxf(*out.loaded.scene, ctx, out.doc);
}

template <typename T>
std::vector<const T*> All(const std::vector<dxf::Entity>& entities) {
  std::vector<const T*> out;
  for (const dxf::Entity& e : entities)
    if (const T* t = std::get_if<T>(&e)) out.push_back(t);
  return out;
}

TEST(DxfFromScene, JwwBlocksInsertsAndDimensionsInDrawingMillimetres) {
  JwwWriter w(700);
  for (auto& g : w.head.EntLgrp) {
    g.anGLay = 2;
    g.adScale = 1;
  }
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  w.head.EntLgrp[1].adScale = 50;  // group 1 at 1:50
  w.head.EntLay[0 * 16 + 6].aanLayProtect = 1;
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
  w.Insert(2, 100, 100, -1, 1, 0.25);
  w.Layer(1, 2);
  w.Insert(3, 1, 2);
  w.Dimension(0, -10, 100, -10, u"100");
  w.Layer(0, 6);
  w.Line(0, 0, 1, 1);
  Exported x;
  ASSERT_NO_FATAL_FAILURE(Export(Family::Jww, w.Finish(), x));
  const dxf::Document& doc = x.doc;

  const dxf::Block* door = doc.FindBlock("扉_1_");
  const dxf::Block* outer = doc.FindBlock("outer");
  const dxf::Block* loop = doc.FindBlock("loop");
  ASSERT_TRUE(door && outer && loop);
  EXPECT_EQ(All<dxf::Line>(door->entities).size(), 1u);
  // outer places the door and loop; loop's insert of outer would close the circle.
  const auto nested = All<dxf::Insert>(outer->entities);
  ASSERT_EQ(nested.size(), 2u);
  EXPECT_EQ(nested[0]->block, "扉_1_");
  EXPECT_DOUBLE_EQ(nested[0]->sx, 2);
  EXPECT_NEAR(nested[0]->rotationDeg, 0.5 * 180 / std::numbers::pi, 1e-12);
  EXPECT_EQ(nested[1]->block, "loop");
  EXPECT_TRUE(All<dxf::Insert>(loop->entities).empty());

  // The drawing's instances after its entities, in millimetres of their group.
  const auto inserts = All<dxf::Insert>(doc.entities);
  ASSERT_EQ(inserts.size(), 2u);
  EXPECT_EQ(inserts[0]->block, "outer");
  EXPECT_DOUBLE_EQ(inserts[0]->sx, -1);
  EXPECT_EQ(inserts[1]->block, "loop");
  EXPECT_DOUBLE_EQ(inserts[1]->at.x, 50);
  EXPECT_DOUBLE_EQ(inserts[1]->at.y, 100);
  EXPECT_TRUE(std::holds_alternative<dxf::Insert>(doc.entities.back()));

  // The dimension: drawn by an anonymous block of its parts, measured at 1:50.
  const auto dims = All<dxf::Dimension>(doc.entities);
  ASSERT_EQ(dims.size(), 1u);
  const dxf::Block* parts = doc.FindBlock(dims[0]->block);
  ASSERT_NE(parts, nullptr);
  EXPECT_TRUE(parts->anonymous);
  EXPECT_EQ(All<dxf::Line>(parts->entities).size(), 1u);
  EXPECT_EQ(All<dxf::Text>(parts->entities).size(), 1u);
  EXPECT_DOUBLE_EQ(dims[0]->measurement, 5000);
  EXPECT_EQ(dims[0]->text, "100");

  // A layer locked against editing is locked in the DXF.
  const dxf::Layer* locked = doc.FindLayer("0-6");
  ASSERT_NE(locked, nullptr);
  EXPECT_TRUE(locked->locked);
}

// Symbols and JWC drawings: coordinates as millimetres of the drawing.
TEST(DxfFromScene, SymbolsAndJwcDrawingsInDrawingMillimetres) {
  struct Case {
    const char* name;
    Family family;
    std::vector<uint8_t> bytes;
    double lineEndX;      // the line from (0, 0) to (10, 0) ends here
    dxf::Point insbase;  // the base point
  };
  JwwWriter jws(700, JwwWriter::Format::kJws);
  jws.jws.BasePoint_x = 5;
  jws.jws.BasePoint_y = 6;
  for (auto& g : jws.head.EntLgrp) g.adScale = 20;
  jws.Line(0, 0, 10, 0);
  test::JwcFile jwc;
  jwc.groupScale.fill(50);
  jwc.lines.push_back({0, 0, 10, 0});
  test::JwkFile jwk;
  jwk.scale = "2";  // the symbol's coordinates are millimetres of the drawing already
  jwk.lines.push_back({0, 0, 10, 0});
  const Case cases[] = {
      {"JWS", Family::Jws, jws.Finish(), 200, {100, 120}},
      {"JWC", Family::Jwc, jwc.Build(), 500, {0, 0}},
      {"JWK", Family::Jwk, jwk.Build(), 10, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Exported x;
    ASSERT_NO_FATAL_FAILURE(Export(c.family, c.bytes, x));
    const auto lines = All<dxf::Line>(x.doc.entities);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_DOUBLE_EQ(lines[0]->b.x, c.lineEndX);
    EXPECT_DOUBLE_EQ(x.doc.insbase.x, c.insbase.x);
    EXPECT_DOUBLE_EQ(x.doc.insbase.y, c.insbase.y);
    EXPECT_TRUE(x.doc.blocks.empty());
  }
}

TEST(DxfFromScene, K4LayersMarksAndTexts) {
  test::K4Writer w;
  w.Title(u"k4");
  TK4LayerInfo li;
  li.grp[0].text = u"基本";
  li.grp[0].tab[1].text = u"線";
  li.grp[0].tab[2].state = 0;  // hidden
  li.grp[1].state = 1;         // greyed
  li.grp[1].scale = 0.5;
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
  l.head.attr = 0x2000;  // group 0, layer 2
  w.Line(l);
  TK4ObjectSymbol s;
  s.head.attr = 0x0100;  // group 1, layer 0
  s.sym.pos = {50, 50};
  s.sym.style = 13;
  s.sym.param = {3, 0.5};
  w.Symbol(s);
  TK4ObjectText t;
  t.pos = {0, 30};
  t.style = 1;
  t.text = u"平面図";
  w.Text(t);
  t.style = 30;  // no such style: nothing written
  w.Text(t);
  Exported x;
  ASSERT_NO_FATAL_FAILURE(Export(Family::K4, w.bytes(), x));
  const dxf::Document& doc = x.doc;

  const dxf::Layer* named = doc.FindLayer("基本-線");
  const dxf::Layer* hidden = doc.FindLayer("基本-2");
  const dxf::Layer* greyed = doc.FindLayer("1-0");
  ASSERT_TRUE(named && hidden && greyed);
  EXPECT_FALSE(named->off || named->locked);
  EXPECT_TRUE(hidden->off);
  EXPECT_TRUE(greyed->locked);
  // Lines at their stored coordinates, whatever the group's scale.
  const auto lines = All<dxf::Line>(doc.entities);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_DOUBLE_EQ(lines[0]->b.x, 100);
  EXPECT_EQ(lines[1]->p.layer, "基本-2");
  // The symbol's mark: a block placed at the symbol, scaled from paper.
  const auto inserts = All<dxf::Insert>(doc.entities);
  ASSERT_EQ(inserts.size(), 1u);
  EXPECT_NE(doc.FindBlock(inserts[0]->block), nullptr);
  EXPECT_DOUBLE_EQ(inserts[0]->at.x, 50);
  EXPECT_DOUBLE_EQ(inserts[0]->sx, 2);
  EXPECT_EQ(inserts[0]->p.layer, "1-0");
  const auto texts = All<dxf::Text>(doc.entities);
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_EQ(texts[0]->text, "平面図");
}

}  // namespace
}  // namespace zumen
