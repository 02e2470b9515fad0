#pragma once
// The Jw renderer's walk over a scene.
#include <cstdint>
#include <string>

#include "context/context.h"
#include "renderer/graph2.h"
#include "scene/scene.h"

namespace zumen {

// A text as a painter is about to draw it: the item's head, the placement it
// is drawn through (null for the drawing's own items), its base line p1-p2 and
// sizes as placed (what GLAText3 is given), and the text rules of the
// renderer that draws it, and the scale of the layer group its scale macros
// read. The references live as long as the call.
struct ShownText {
  const scene::Head& head;
  const scene::Placement* placement;
  TDPoint p1, p2;
  double height = 0, width = 0, spacing = 0;
  int32_t style = 0;
  const std::u16string& font;
  const std::u16string& text;
  double lgScale = 1;
  MacroRules rules = MacroRules::Jw;
  bool swapVerticalCells = false;
};

class TextVisitor {
 public:
  virtual ~TextVisitor() = default;
  virtual void Visit(const ShownText& t) = 0;
};

// Paints the scene's items that the context shows (their layers not hidden,
// auxiliary ones only when auxiliary lines are shown), then the members of
// every placement through its transform, then the overlay. Stops early when
// the context's cancel question answers true.
void PaintJwItems(const scene::Scene& s, const ConversionContext& ctx, TGraph2& g);

// The same walk, handing every text that would be painted to the visitor
// (in painting order) and painting nothing.
void VisitJwTexts(const scene::Scene& s, const ConversionContext& ctx, TextVisitor& visitor);

}  // namespace zumen
