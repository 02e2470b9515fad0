#pragma once
// Drawing of JWC and JWK entities through TGraph2. A JWK symbol passes its
// scale (every coordinate and radius is divided by it); a JWC drawing passes 1.
#include <cstdint>
#include <span>

#include "context/context.h"
#include "formats/jwc/records.h"
#include "render_jw/graph2.h"

namespace zumen {

void JwcDrawLine(TGraph2& g, bool dispmode, uint32_t dcol, const TEntJwcLine& e, double scale);
void JwcDrawArc(TGraph2& g, bool dispmode, uint32_t dcol, const TEntJwcArc2& e, double scale);
// Draws the text with its text type t; nothing when t is null (a type number
// outside the stored table).
void JwcDrawMoji(TGraph2& g, uint32_t dcol, const TEntJwcMoji2& e, const TEntJwcMojiType* t, double scale);
void JwcDrawTen(TGraph2& g, uint32_t dcol, const TEntJwcTen& e, double scale);

// The text type of number no, or null when the table does not hold it.
const TEntJwcMojiType* JwcMojiType(std::span<const TEntJwcMojiType> table, int no);

// The pass over lines, arcs, texts and points of a drawing or symbol: skips
// hidden layers and, when auxiliary lines are hidden, lines and arcs of line
// type 9; calls d.GLDrawLine ... d.GLDrawTen for the rest. Visits only the
// records stored, whatever the header announced. Answers the display mode.
template <typename Data>
bool JwcDrawEntities(const Data& d, TGraph2& g, ConversionContext& ctx) {
  const TgraAttribute& att = ctx.GAtt;
  const bool dispmode = att.GetDisplayMode();
  if (dispmode) g.GLSetDT();
  const bool hojoHidden = !att.GetDispHojo();
  auto hidden = [&](int lay) { return att.GetAttrLayerState(lay) == 3; };
  constexpr int kHojo = 9;  // line type 9: auxiliary line
  for (const TEntJwcLine& e : d.EntLine)
    if (!hidden(e.lay) && !(hojoHidden && e.typ == kHojo)) d.GLDrawLine(g, ctx, dispmode, 0, e);
  for (const TEntJwcArc2& e : d.EntArc)
    if (!hidden(e.lay) && !(hojoHidden && e.typ == kHojo)) d.GLDrawArc(g, ctx, dispmode, 0, e);
  for (const TEntJwcMoji2& e : d.EntMoji)
    if (!hidden(e.lay)) d.GLDrawMoji(g, ctx, dispmode, 0, e);
  for (const TEntJwcTen& e : d.EntTen)
    if (!hidden(e.lay)) d.GLDrawTen(g, ctx, dispmode, 0, e);
  return dispmode;
}

}  // namespace zumen
