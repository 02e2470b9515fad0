// The parts of K4 objects' attributes that the lowering reads: the fields of
// an attribute word, greyed layers, line types' dash patterns, and the
// object an index entry names.
#include <algorithm>

#include "formats/k4/k4data.h"

namespace zumen {

void TK4Data::SepAttr(uint16_t a, uint8_t& lg, uint8_t& ly, uint8_t& col, uint8_t& typ) {
  ly = static_cast<uint8_t>((a >> 12) & 15);
  lg = static_cast<uint8_t>((a >> 8) & 15);
  col = static_cast<uint8_t>((a >> 4) & 15);
  typ = static_cast<uint8_t>(a & 15);
}

bool TK4Data::Greyed(uint8_t lg, uint8_t ly) const {
  const auto& g = li.grp[lg & 15];
  return g.state == 1 || g.tab[ly & 15].state == 1;
}

std::vector<double> TK4Data::BasePattern(uint8_t ty) const {
  std::vector<double> pat;
  const auto& lt = prnstl.ltype[ty & 15];
  switch (lt[0]) {
    case 1: pat = {2, 2}; break;
    case 2: pat = {0.25, 0.5}; break;
    case 3: pat = {12, 1, 1, 1}; break;
    case 4: pat = {12, 1, 1, 1, 1, 1}; break;
    case 7: {
      // The entry holds at most 10 lengths, whatever its count says.
      const uint32_t n = std::min<uint32_t>(static_cast<uint32_t>(lt[1]), 10);
      for (uint32_t i = 0; i < n; ++i) pat.push_back(static_cast<uint32_t>(lt[2 + i]) * 0.01);
      break;
    }
    default: break;
  }
  return pat;
}

namespace {
// Attribute word of the object an index entry names; false when the entry
// names nothing.
template <typename T>
const T* Entry(const std::vector<T>& a, int32_t count, int32_t eno) {
  if (eno < 0 || eno >= count || static_cast<size_t>(eno) >= a.size()) return nullptr;
  return &a[static_cast<size_t>(eno)];
}
}  // namespace

const TK4ObjectHeader* TK4Data::HeaderOf(const TK4EntNo& e) const {
  const int32_t x = e.ENo;
  const auto find = [&](const auto& arr, int32_t cnt) -> const TK4ObjectHeader* {
    const auto* o = Entry(arr, cnt, x);
    return o ? &o->head : nullptr;
  };
  switch (e.INo) {
    case kK4Point: return find(pt, ptN);
    case kK4Line: return find(ln, lnN);
    case kK4LineEx: return find(lnx, lnxN);
    case kK4Circle: return find(cr, crN);
    case kK4CircleEx: return find(crx, crxN);
    case kK4Ellipse: return find(ep, epN);
    case kK4EllipseEx: return find(epx, epxN);
    case kK4Text: return find(tx, txN);
    case kK4TextEx: return find(txx, txxN);
    case kK4Polyline: return find(pl, plN);
    case kK4PolylineEx: return find(plx, plxN);
    case kK4Bezier: return find(bz, bzN);
    case kK4BezierEx: return find(bzx, bzxN);
    case kK4Polygon: return find(pg, pgN);
    case kK4PolygonGrad: return find(pgg, pggN);
    case kK4PolygonMapping: return find(pgm, pgmN);
    case kK4Bitmap: return find(bm, bmN);
    case kK4BitmapEx: return find(bmx, bmxN);
    case kK4Symbol: return find(sy, syN);
    default: return nullptr;  // groups draw nothing themselves
  }
}

}  // namespace zumen
