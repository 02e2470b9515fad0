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

void TJwwBody::MakeBlockTree() {
  EntBlockTree.clear();
  BlockTreeCut = false;
  EntBlockNum = 0;
  for (auto& d : EntBlockDef) {
    d.ref_flag = false;
    d.ref_no = -1;
  }
  if (EntBlock.empty()) return;

  // Insertions resolve to the first definition carrying their number.
  std::unordered_map<uint32_t, int> first_def;
  for (size_t i = 0; i < EntBlockDef.size(); ++i) first_def.emplace(EntBlockDef[i].nNumber, static_cast<int>(i));
  auto resolve = [&](TEntJwwBlockTree& node) {
    auto it = first_def.find(node.no);
    node.defno = it == first_def.end() ? -1 : it->second;
    if (node.defno >= 0) EntBlockDef[static_cast<size_t>(node.defno)].ref_flag = true;
  };

  EntBlockTree.reserve(EntBlock.size());
  for (const auto& b : EntBlock) {
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
    resolve(node);
    EntBlockTree.push_back(node);
  }

  // Breadth-first walk over nested insertions; nodes are appended behind the
  // walk. Depth and size are bounded so that a definition that places itself
  // ends the walk instead of exhausting memory.
  for (size_t k = 0; k < EntBlockTree.size(); ++k) {
    const TEntJwwBlockTree p = EntBlockTree[k];
    if (p.defno < 0) continue;
    const TEntJwwBlockDef& def = EntBlockDef[static_cast<size_t>(p.defno)];
    if (def.mBlock.empty()) continue;
    if (p.level >= kJwwMaxBlockLevel) {
      BlockTreeCut = true;
      continue;
    }
    for (const auto& b : def.mBlock) {
      if (EntBlockTree.size() >= kJwwMaxBlockTreeNodes) {
        BlockTreeCut = true;
        break;
      }
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
      resolve(node);
      EntBlockTree.push_back(node);
    }
    if (BlockTreeCut && EntBlockTree.size() >= kJwwMaxBlockTreeNodes) break;
  }

  for (auto& d : EntBlockDef)
    if (d.ref_flag) d.ref_no = EntBlockNum++;
}

}  // namespace zumen
