// The entity body shared by JWW drawings and JWS symbols: clearing, counts and
// the derived block tree.
#include <cmath>
#include <unordered_map>

#include "formats/jww/records.h"

namespace zumen {

void TJwwBody::Clear() { *this = TJwwBody{}; }

size_t TJwwBody::CountOf(int kind) const {
  switch (kind) {
    case kJwwLine: return EntLine.size();
    case kJwwEnko: return EntEnko.size();
    case kJwwTen: return EntTen.size();
    case kJwwMoji: return EntMoji.size();
    case kJwwSunpo: return EntSunpo.size();
    case kJwwSolid: return EntSolid.size();
    case kJwwBlock: return EntBlock.size();
    default: return 0;
  }
}

const std::u16string& TJwwBody::NodeName(const TEntJwwBlockTree& node) const {
  static const std::u16string empty;
  if (node.defno < 0 || static_cast<size_t>(node.defno) >= EntBlockDef.size()) return empty;
  return EntBlockDef[static_cast<size_t>(node.defno)].strName;
}

namespace {

struct Matrix {
  double m1, m2, m3, m4;
};

// Rotation and scale of one insertion.
Matrix InsertionMatrix(const TEntJwwBlock& b) {
  const double c = std::cos(b.radKaitenKaku), s = std::sin(b.radKaitenKaku);
  return {c * b.dBairitsuX, -s * b.dBairitsuY, s * b.dBairitsuX, c * b.dBairitsuY};
}

}  // namespace

void TJwwBody::MakeBlockTree(int64_t workLimit) {
  EntBlockTree.clear();
  BlockTreeCut = false;
  BlockWorkCut = false;
  BlockTreeWork = 0;
  BlockInstancesCut = 0;
  EntBlockNum = 0;
  for (auto& d : EntBlockDef) {
    d.ref_flag = false;
    d.ref_no = -1;
  }
  if (EntBlock.empty()) return;

  // Insertions resolve to the first definition carrying their number.
  std::unordered_map<uint32_t, int> first_def;
  for (size_t i = 0; i < EntBlockDef.size(); ++i) first_def.emplace(EntBlockDef[i].nNumber, static_cast<int>(i));
  auto find_def = [&](uint32_t no) {
    auto it = first_def.find(no);
    return it == first_def.end() ? -1 : it->second;
  };
  auto work_of = [&](int defno) -> int64_t {
    if (defno < 0) return 0;
    const TEntJwwBlockDef& d = EntBlockDef[static_cast<size_t>(defno)];
    return static_cast<int64_t>(d.mLine.size() + d.mEnko.size() + d.mTen.size() + d.mMoji.size() +
                                d.mSunpo.size() + d.mSolid.size() + d.mBlock.size());
  };

  // Adds a node unless a limit stops the tree (which then takes no further
  // node). The size limit applies to nested insertions only: the drawing's
  // own are bounded by the file.
  bool stopped = false;
  auto place = [&](TEntJwwBlockTree& node, bool nested) {
    node.defno = find_def(node.no);
    const int64_t work = work_of(node.defno);
    if (nested && EntBlockTree.size() >= kJwwMaxBlockTreeNodes) {
      BlockTreeCut = stopped = true;
    } else if (work > workLimit - BlockTreeWork) {
      BlockWorkCut = stopped = true;
    } else {
      BlockTreeWork += work;
      if (node.defno >= 0) EntBlockDef[static_cast<size_t>(node.defno)].ref_flag = true;
      EntBlockTree.push_back(node);
    }
  };
  // Insertions from the i-th of n on were left out.
  auto left_out = [&](size_t i, size_t n) { BlockInstancesCut += static_cast<int64_t>(n - i); };

  EntBlockTree.reserve(EntBlock.size());
  for (size_t i = 0; i < EntBlock.size(); ++i) {
    const TEntJwwBlock& b = EntBlock[i];
    TEntJwwBlockTree node;
    node.att = b.att;
    node.no = b.nNumber;
    node.x = b.DPKijunTen_x;
    node.y = b.DPKijunTen_y;
    const Matrix m = InsertionMatrix(b);
    node.r1 = m.m1;
    node.r2 = m.m2;
    node.r3 = m.m3;
    node.r4 = m.m4;
    place(node, false);
    if (stopped) {
      left_out(i, EntBlock.size());
      break;
    }
  }

  // Breadth-first walk over nested insertions; nodes are appended behind the
  // walk. Depth, size and work are bounded so that a definition that places
  // itself ends the walk instead of exhausting time and memory.
  for (size_t k = 0; k < EntBlockTree.size(); ++k) {
    const TEntJwwBlockTree p = EntBlockTree[k];
    if (p.defno < 0) continue;
    const TEntJwwBlockDef& def = EntBlockDef[static_cast<size_t>(p.defno)];
    if (def.mBlock.empty()) continue;
    if (stopped) {
      left_out(0, def.mBlock.size());
      continue;
    }
    if (p.level >= kJwwMaxBlockLevel) {
      BlockTreeCut = true;
      left_out(0, def.mBlock.size());
      continue;
    }
    for (size_t i = 0; i < def.mBlock.size(); ++i) {
      const TEntJwwBlock& b = def.mBlock[i];
      TEntJwwBlockTree node;
      node.att = def.att;
      node.level = p.level + 1;
      node.parent = static_cast<int>(k);
      node.no = b.nNumber;
      node.x = p.x + p.r1 * b.DPKijunTen_x + p.r2 * b.DPKijunTen_y;
      node.y = p.y + p.r3 * b.DPKijunTen_x + p.r4 * b.DPKijunTen_y;
      const Matrix m = InsertionMatrix(b);
      node.r1 = p.r1 * m.m1 + p.r2 * m.m3;
      node.r2 = p.r1 * m.m2 + p.r2 * m.m4;
      node.r3 = p.r3 * m.m1 + p.r4 * m.m3;
      node.r4 = p.r3 * m.m2 + p.r4 * m.m4;
      place(node, true);
      if (stopped) {
        left_out(i, def.mBlock.size());
        break;
      }
    }
  }

  for (auto& d : EntBlockDef)
    if (d.ref_flag) d.ref_no = EntBlockNum++;
}

}  // namespace zumen
