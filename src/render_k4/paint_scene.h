#pragma once
// The K4 renderer's walk over a scene.
#include "context/context.h"
#include "render_k4/graph.h"
#include "scene/scene.h"

namespace zumen {

// Sets the pen's dash pattern afresh at dispScale pixels per drawing unit:
// an auxiliary line is dotted a pixel wide; a pattern whose shortest element
// the pen's width would close is widened by the width.
void SetK4LinePattern(TGraph& g, const scene::K4Pen& p, double dispScale);

// Paints the scene's items that the context shows (layers not hidden,
// auxiliary lines only when auxiliary lines are shown): objects in their pen
// numbers' colours and one pixel wide, or with ownColours in their own
// colours and printed widths.
void PaintK4Items(const scene::Scene& s, ConversionContext& ctx, TGraph& g, bool ownColours);

}  // namespace zumen
