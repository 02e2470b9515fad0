#pragma once
// The JWW and JWS lowering: the drawing's entities, block definitions and
// block tree as the items and placements of its scene.
#include <array>
#include <string>

#include "formats/jww/records.h"
#include "scene/scene.h"

namespace zumen {

// Auxiliary entity: pen colour 9; for lines and arcs also pen style 9.
inline bool JwwIsAux(const TEntJwwAttr& a, bool lineLike) {
  return a.nPenColor == 9 || (lineLike && a.nPenStyle == 9);
}

// Font style of a text record: 0 normal below 10000, 2 for 10000 to 19999,
// 1 for 20000 to 29999, 3 from 30000.
int32_t JwwMojiFtyp(uint32_t nMojiShu);

// Text of a dimension value len. f holds the value flags (decimals, rounding,
// grouping, units, full-width), g the prefix flags (radius, diameter).
std::u16string SunpoValueText(double len, uint32_t f, uint32_t g);

class TJwwData;
class TJwsData;

// The scene of a drawing or symbol into s: for one read to its end
// (complete) the attribute model with the file's pens, line types and layer
// states, the extents (the defining points of every entity and block
// instance, whatever the layer states; a symbol's always contain its base
// point), the paper (a symbol's is its extents) and the survey of what a
// picture of the paper shows; else s keeps its defaults for them. Then the
// items, definitions and placements, whether it is drawn (not when it
// announces no entity), the paper's frame (drawings) or the base point's
// mark (symbols).
void LowerJww(const TJwwData& d, bool complete, scene::Scene& s);
void LowerJws(const TJwsData& d, bool complete, scene::Scene& s);

// Lowers the entity lists of a drawing or symbol into s (whose model holds
// the drawing's pens, line types and layer states already).
void LowerJwwBody(const TJwwBody& body, const std::array<TEntJwwLayerGroup, 16>& groups, scene::Scene& s);

}  // namespace zumen
