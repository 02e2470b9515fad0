#pragma once
// The JWC and JWK lowering: lines, arcs, texts and points (and a drawing's
// virtual points) as the items of their scene.
#include <span>

#include "formats/jwc/jwc_data.h"
#include "formats/jwc/jwk_data.h"
#include "scene/scene.h"

namespace zumen {

// The text type of number no, or null when the table does not hold it.
const TEntJwcMojiType* JwcMojiType(std::span<const TEntJwcMojiType> table, int no);

// The scene of a drawing into s: for one read to its end (complete) the
// attribute model, layer states, extents, paper and the survey of what a
// picture of the paper shows, else s keeps its defaults for them; drawn
// always (an empty drawing shows its paper's frame).
void LowerJwc(const TJwcData& d, bool complete, scene::Scene& s);
// The scene of a symbol: its coordinates divided by its scale, its extents
// (from the origin) as its paper, the base point's mark at the origin.
void LowerJwk(const TJwkData& d, bool complete, scene::Scene& s);

}  // namespace zumen
