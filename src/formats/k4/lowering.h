#pragma once
// The K4 lowering: the drawing's objects as the items of its scene.
#include "formats/k4/k4data.h"
#include "scene/scene.h"

namespace zumen {

// The scene of a drawing into s: for one read to its end (complete) its
// title, paper, extents (the paper's for a drawing without objects) and the
// survey of what a picture of the paper shows, else s keeps its defaults for
// them; drawn when it holds objects, with the paper's frame; the layer
// states, names and scales into s.model.
void LowerK4(const TK4Data& d, bool complete, scene::Scene& s);

}  // namespace zumen
