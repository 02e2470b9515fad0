#pragma once
// The DXF pass of JWC drawings and JWK symbols, beside their drawing pass:
// lines, arcs, texts, points and virtual points in millimetres of the drawing
// (JWC: drawing coordinates times the layer group's scale; JWK: the symbol's
// own units, which the drawing pass divides by the symbol's scale).
#include "context/context.h"
#include "dxf/document.h"
#include "formats/jwc/jwc_data.h"
#include "formats/jwc/jwk_data.h"

namespace zumen {

void JwcExportDxf(const TJwcData& d, ConversionContext& ctx, dxf::Document& doc);
void JwkExportDxf(const TJwkData& d, ConversionContext& ctx, dxf::Document& doc);

}  // namespace zumen
