#pragma once
// The DXF pass of JWW drawings and JWS symbols: a second reader of the loaded
// model beside the drawing pass. Every entity becomes DXF entities in
// millimetres of the drawing (drawing coordinates times the scale of the
// entity's layer group), block definitions become BLOCKs placed by INSERTs,
// dimensions DIMENSIONs with a block of their parts, image texts IMAGEs.
#include "context/context.h"
#include "dxf/document.h"
#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"

namespace zumen {

// ctx is prepared for the drawing (pens, line types, layer states).
void JwwExportDxf(const TJwwData& d, ConversionContext& ctx, dxf::Document& doc);
// A symbol: its entities around its base point, which becomes $INSBASE.
void JwsExportDxf(const TJwsData& d, ConversionContext& ctx, dxf::Document& doc);

}  // namespace zumen
