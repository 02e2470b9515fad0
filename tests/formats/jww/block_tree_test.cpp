// The block tree derived from insertions and block definitions.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"
#include "support/jww_writer.h"

namespace zumen {
namespace {

TJwwData Read(const JwwWriter& w) {
  TJwwData d;
  EXPECT_TRUE(d.FileInBytes(w.Finish())) << d.LastError();
  return d;
}

TEST(JwwBlockTree, DefinitionsWithoutInsertionsGiveNoTree) {
  JwwWriter w(600);
  w.BeginBlockDef(1, u"unused");
  w.Line(0, 0, 1, 1);
  w.EndBlockDef();
  const TJwwData d = Read(w);
  EXPECT_EQ(d.Body.EntBlockTreeN(), 0u);
  EXPECT_EQ(d.Body.EntBlockNum, 0);
  EXPECT_FALSE(d.Body.EntBlockDef[0].ref_flag);
  EXPECT_EQ(d.Body.EntBlockDef[0].ref_no, -1);
}

TEST(JwwBlockTree, ResolvesFirstDefinitionAndUnknownNumbers) {
  JwwWriter w(600);
  w.Insert(9, 0, 0);  // no definition carries 9
  w.Insert(2, 0, 0);
  w.BeginBlockDef(1, u"one");
  w.EndBlockDef();
  w.BeginBlockDef(2, u"first two");
  w.EndBlockDef();
  w.BeginBlockDef(2, u"second two");
  w.EndBlockDef();
  const TJwwData d = Read(w);
  ASSERT_EQ(d.Body.EntBlockTreeN(), 2u);
  EXPECT_EQ(d.Body.EntBlockTree[0].defno, -1);
  EXPECT_EQ(d.Body.NodeName(d.Body.EntBlockTree[0]), u"");
  EXPECT_EQ(d.Body.EntBlockTree[1].defno, 1);
  EXPECT_EQ(d.Body.NodeName(d.Body.EntBlockTree[1]), u"first two");
  EXPECT_EQ(d.Body.EntBlockNum, 1);
  EXPECT_EQ(d.Body.EntBlockDef[1].ref_no, 0);
  EXPECT_EQ(d.Body.EntBlockDef[0].ref_no, -1);
  EXPECT_EQ(d.Body.EntBlockDef[2].ref_no, -1);
}

TEST(JwwBlockTree, NestedInsertionsComposeTransformsBreadthFirst) {
  JwwWriter w(600);
  w.Pen(2);
  w.Insert(1, 100, 0, 2, 2, std::numbers::pi / 2);  // outer, rotated a quarter turn, doubled
  w.Insert(2, 5, 5);                                // inner placed directly too
  w.Pen(6);
  w.BeginBlockDef(1, u"outer");
  w.Pen(7);
  w.Insert(2, 10, 0, 1, 3);  // inner inside outer, stretched in y
  w.EndBlockDef();
  w.BeginBlockDef(2, u"inner");
  w.Line(0, 0, 1, 1);
  w.EndBlockDef();
  const TJwwData d = Read(w);
  const auto& t = d.Body.EntBlockTree;
  ASSERT_EQ(t.size(), 3u);  // two top-level nodes, then the nested one
  EXPECT_EQ(t[2].level, 1);
  EXPECT_EQ(t[2].parent, 0);
  EXPECT_EQ(t[2].no, 2u);
  EXPECT_EQ(t[2].att.nPenColor, 6);  // the attribute of the definition, not of the nested insertion
  // (10, 0) inside outer lands at (100, 20); the matrix is outer's times inner's.
  EXPECT_NEAR(t[2].x, 100, 1e-9);
  EXPECT_NEAR(t[2].y, 20, 1e-9);
  const auto map = [&](double u, double v) {
    return std::pair(t[2].x + t[2].r1 * u + t[2].r2 * v, t[2].y + t[2].r3 * u + t[2].r4 * v);
  };
  const auto [px, py] = map(1, 1);  // inner (1, 1) -> outer (11, 3) -> drawing (100 - 6, 22)
  EXPECT_NEAR(px, 94, 1e-9);
  EXPECT_NEAR(py, 22, 1e-9);
  EXPECT_EQ(d.Body.EntBlockNum, 2);
  EXPECT_EQ(d.Body.EntBlockDef[0].ref_no, 0);
  EXPECT_EQ(d.Body.EntBlockDef[1].ref_no, 1);
}

TEST(JwwBlockTree, PlacedTwiceAtTopAndOnceNested) {
  JwwWriter w(600);
  w.Insert(1, 0, 0);
  w.Insert(1, 10, 0);
  w.Insert(2, 20, 0);
  w.BeginBlockDef(2, u"holder");
  w.Insert(1, 0, 0);
  w.EndBlockDef();
  w.BeginBlockDef(1, u"leaf");
  w.Point(0, 0);
  w.EndBlockDef();
  const TJwwData d = Read(w);
  int leaf_nodes = 0;
  for (const auto& n : d.Body.EntBlockTree) leaf_nodes += n.defno == 1;
  EXPECT_EQ(leaf_nodes, 3);
  EXPECT_EQ(d.Body.EntBlockDef[1].ref_no, 1);
  EXPECT_EQ(d.Body.EntBlockNum, 2);
}

TEST(JwwBlockTree, SelfPlacingDefinitionsAreBounded) {
  // A definition that places itself twice would double the tree at every
  // level; one that places itself once would nest forever. The work limit is
  // set beyond reach: the depth and size limits alone bound the tree.
  for (int copies : {1, 2}) {
    JwwWriter w(700);
    w.Insert(1, 0, 0);
    w.BeginBlockDef(1, u"loop");
    for (int i = 0; i < copies; ++i) w.Insert(1, 1, 0);
    w.EndBlockDef();
    TJwwData d;
    d.BlockTreeWorkLimit = std::numeric_limits<int64_t>::max();
    ASSERT_TRUE(d.FileInBytes(w.Finish())) << d.LastError();
    EXPECT_TRUE(d.Body.BlockTreeCut);
    EXPECT_FALSE(d.Body.BlockWorkCut);
    EXPECT_LE(d.Body.EntBlockTreeN(), kJwwMaxBlockTreeNodes);
    int deepest = 0;
    for (const auto& n : d.Body.EntBlockTree) deepest = std::max(deepest, n.level);
    EXPECT_LE(deepest, kJwwMaxBlockLevel);
    if (copies == 1) {
      EXPECT_EQ(d.Body.EntBlockTreeN(), static_cast<size_t>(kJwwMaxBlockLevel) + 1);
      EXPECT_EQ(d.Body.BlockInstancesCut, 1);  // the insertion inside the deepest node
    }
  }
}

// The members of a definition, nested insertions included.
int64_t Members(const TEntJwwBlockDef& def) {
  return static_cast<int64_t>(def.mLine.size() + def.mEnko.size() + def.mTen.size() + def.mMoji.size() +
                              def.mSunpo.size() + def.mSolid.size() + def.mBlock.size());
}

// Definitions that place themselves more than once double the tree at every
// level; each node draws its whole definition again, so the work, not only
// the depth and the node count, must stay bounded.
TEST(JwwBlockTree, SelfPlacingDefinitionsStayWithinTheWorkLimit) {
  struct Case {
    int copies, lines;
  };
  for (const Case c : {Case{2, 10}, Case{2, 200}, Case{3, 50}}) {
    SCOPED_TRACE(testing::Message() << c.copies << " copies, " << c.lines << " lines");
    JwwWriter w(600);
    w.Insert(1, 0, 0);
    w.BeginBlockDef(1, u"loop");
    for (int i = 0; i < c.lines; ++i) w.Line(i, 0, i, 1);
    for (int i = 0; i < c.copies; ++i) w.Insert(1, 1, 0, 0.5, 0.5);
    w.EndBlockDef();
    const TJwwData d = Read(w);
    const TJwwBody& b = d.Body;
    EXPECT_TRUE(b.BlockWorkCut);
    EXPECT_FALSE(b.BlockTreeCut);
    EXPECT_GT(b.BlockInstancesCut, 0);
    int64_t work = 0;
    for (const auto& n : b.EntBlockTree) work += Members(b.EntBlockDef[static_cast<size_t>(n.defno)]);
    EXPECT_EQ(work, b.BlockTreeWork);
    EXPECT_LE(work, kJwwBlockTreeWorkLimit);
    // The tree stops at the first node that no longer fits.
    EXPECT_GT(work + c.lines + c.copies, kJwwBlockTreeWorkLimit);
  }
}

// The kept tree is a breadth-first prefix; what it leaves out is counted at
// its edge. Two top-level instances of A (2 lines, 2 insertions of B, 4
// members), B has 3 lines: the whole tree is A A B B B B, work 4+4+4*3 = 20.
TEST(JwwBlockTree, WorkLimitKeepsABreadthFirstPrefix) {
  struct Case {
    int64_t limit;
    size_t nodes;
    int64_t work, cut;
    bool bPlaced;
  };
  for (const Case c : {Case{20, 6, 20, 0, true}, Case{19, 5, 17, 1, true}, Case{11, 3, 11, 3, true},
                       Case{10, 2, 8, 4, false}, Case{7, 1, 4, 3, false}, Case{0, 0, 0, 2, false}}) {
    SCOPED_TRACE(testing::Message() << "limit " << c.limit);
    JwwWriter w(600);
    w.Insert(1, 0, 0);
    w.Insert(1, 100, 0);
    w.BeginBlockDef(1, u"A");
    w.Line(0, 0, 1, 0);
    w.Line(0, 1, 1, 1);
    w.Insert(2, 0, 0);
    w.Insert(2, 10, 0);
    w.EndBlockDef();
    w.BeginBlockDef(2, u"B");
    for (int i = 0; i < 3; ++i) w.Line(i, 0, i, 1);
    w.EndBlockDef();
    TJwwData d;
    d.BlockTreeWorkLimit = c.limit;
    ASSERT_TRUE(d.FileInBytes(w.Finish())) << d.LastError();
    const TJwwBody& b = d.Body;
    EXPECT_EQ(b.EntBlockTreeN(), c.nodes);
    EXPECT_EQ(b.BlockTreeWork, c.work);
    EXPECT_EQ(b.BlockInstancesCut, c.cut);
    EXPECT_EQ(b.BlockWorkCut, c.cut > 0);
    for (size_t i = 0; i < b.EntBlockTreeN(); ++i) EXPECT_EQ(b.EntBlockTree[i].defno, i < 2 ? 0 : 1);
    // A definition placed only by instances left out counts as not placed.
    EXPECT_EQ(b.EntBlockDef[1].ref_flag, c.bPlaced);
    EXPECT_EQ(b.EntBlockNum, (c.nodes > 0) + c.bPlaced);
  }
}

// The limit is a setting of the drawing: it survives the reset of a new read.
// Symbols have their own.
TEST(JwwBlockTree, WorkLimitIsASettingOfDrawingsAndSymbols) {
  TJwwData d;
  d.BlockTreeWorkLimit = 5;
  d.DataInit();
  EXPECT_EQ(d.BlockTreeWorkLimit, 5);
  EXPECT_EQ(TJwwData{}.BlockTreeWorkLimit, kJwwBlockTreeWorkLimit);

  JwwWriter w(600, JwwWriter::Format::kJws);
  for (int i = 0; i < 3; ++i) w.Insert(1, i, 0);
  w.BeginBlockDef(1, u"two lines");
  w.Line(0, 0, 1, 0);
  w.Line(0, 1, 1, 1);
  w.EndBlockDef();
  TJwsData s;
  EXPECT_EQ(s.BlockTreeWorkLimit, kJwwBlockTreeWorkLimit);
  s.BlockTreeWorkLimit = 5;
  ASSERT_TRUE(s.FileInBytes(w.Finish())) << s.LastError();
  EXPECT_EQ(s.BlockTreeWorkLimit, 5);
  EXPECT_EQ(s.Body.EntBlockTreeN(), 2u);
  EXPECT_EQ(s.Body.BlockTreeWork, 4);
  EXPECT_EQ(s.Body.BlockInstancesCut, 1);
}

}  // namespace
}  // namespace zumen
