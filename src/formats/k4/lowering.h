#pragma once
// The K4 lowering: the drawing's objects as the items of its scene.
#include "formats/k4/k4data.h"
#include "scene/scene.h"

namespace zumen {

// The scene of a drawing into s, whose paper and extents are set already:
// drawn when it holds objects, with the paper's frame; the layer states,
// names and scales into s.model.
void LowerK4(const TK4Data& d, scene::Scene& s);

}  // namespace zumen
