#pragma once
// Extents of JWW drawings and JWS symbols, and the survey of what a picture
// of them shows.
#include "common/box.h"
#include "context/context.h"
#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"

namespace zumen {

// The box (ctx.MinX .. ctx.MaxY) around every entity and block instance,
// whatever the layer states. A drawing without entities leaves the box as it
// was; a symbol's box always contains its base point. Leaves ctx.LgScale at the
// scale of the group of the last block instance.
void JwwGetMinMaxZahyo(const TJwwData& d, ConversionContext& ctx);
void JwsGetMinMaxZahyo(const TJwsData& d, ConversionContext& ctx);
// Hands the extent points of every entity (a block instance as one entity)
// that the picture shows, auxiliary entities left out, to survey.
void JwwSurveyEntities(const TJwwData& d, const ConversionContext& ctx, EntitySurvey& survey);

}  // namespace zumen
