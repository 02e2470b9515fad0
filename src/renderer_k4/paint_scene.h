#pragma once
// The K4 renderer's walk over a scene.
#include "context/context.h"
#include "renderer/paint_scene.h"
#include "renderer_k4/graph.h"
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
// Stops early when the context's cancel question answers true.
void PaintK4Items(const scene::Scene& s, const ConversionContext& ctx, TGraph& g, bool ownColours);

// The same walk, handing every text that would be painted to the visitor
// (with the K4 renderer's text rules) and painting nothing.
void VisitK4Texts(const scene::Scene& s, const ConversionContext& ctx, TextVisitor& visitor);

}  // namespace zumen
