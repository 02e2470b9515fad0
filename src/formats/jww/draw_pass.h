#pragma once
// Extents, layer states and the drawing pass of JWW drawings and JWS symbols.
//
// These are free functions over the loaded model so that the model stays a
// plain container: the driver calls, in this order, the layer-state step, the
// extents, its sizing, and then the drawing pass with a renderer bound to the
// output canvas.
#include "common/box.h"
#include "context/context.h"
#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"
#include "render_jw/graph2.h"

namespace zumen {

// Copies the drawing's layer states, scales and names into ctx.GAtt: a group
// of state 0 hides its layers, state 1 makes every visible layer display-only;
// otherwise a layer of state 0 is hidden, 1 display-only and any other normal.
void JwwSetGAttLayer(const TJwwData& d, ConversionContext& ctx);
// Every layer of a symbol is normal; only the group scales come from the file.
void JwsSetGAttLayer(const TJwsData& d, ConversionContext& ctx);

// The box (ctx.MinX .. ctx.MaxY) around every entity and block instance,
// whatever the layer states. A drawing without entities leaves the box as it
// was; a symbol's box always contains its base point. Leaves ctx.LgScale at the
// scale of the group of the last block instance.
void JwwGetMinMaxZahyo(const TJwwData& d, ConversionContext& ctx);
void JwsGetMinMaxZahyo(const TJwsData& d, ConversionContext& ctx);
// Hands the extent points of every entity (a block instance as one entity)
// that the picture shows, auxiliary entities left out, to survey.
void JwwSurveyEntities(const TJwwData& d, const ConversionContext& ctx, EntitySurvey& survey);

// Draws the whole drawing: images, solids, lines, arcs, points, texts and
// dimensions, then the members of every block instance in the same order.
// Image texts naming "%temp%..." are looked up in the model's BindImageFolder,
// or in ctx.TempFolder when the model has none.
void JwwGLDrawALL(const TJwwData& d, ConversionContext& ctx, TGraph2& g);
// As for a drawing, then a red 5-pixel circle on the base point when the
// reference-point display is on.
void JwsGLDrawALL(const TJwsData& d, ConversionContext& ctx, TGraph2& g);

}  // namespace zumen
