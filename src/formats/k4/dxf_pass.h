#pragma once
// The DXF pass of K4 drawings: lines, circles, ellipses, polylines, Bezier
// curves (SPLINE), fills (HATCH: solid, dot pattern, gradient), points, texts
// and symbols and end marks (blocks of their marks), in millimetres of the
// drawing.
#include "context/context.h"
#include "dxf/document.h"
#include "formats/k4/k4data.h"

namespace zumen {

void K4ExportDxf(const TK4Data& d, ConversionContext& ctx, dxf::Document& doc);

}  // namespace zumen
