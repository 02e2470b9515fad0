#pragma once
// The Jw renderer's walk over a scene.
#include "context/context.h"
#include "render_jw/graph2.h"
#include "scene/scene.h"

namespace zumen {

// Paints the scene's items that the context shows (their layers not hidden,
// auxiliary ones only when auxiliary lines are shown), then the members of
// every placement through its transform, then the overlay.
void PaintJwItems(const scene::Scene& s, ConversionContext& ctx, TGraph2& g);

}  // namespace zumen
