#pragma once
// The texts a picture of a drawing shows, as the painters place them.
#include <vector>

#include "driver/conversion.h"
#include "zumen/zumen.h"

namespace zumen {

// Every text the painter of the drawing's scene would draw with these
// options (their layer selection, auxiliary lines, reference file), in
// painting order: macros expanded for clock's moment (null: now), control
// sequences applied, base line, sizes and cells placed through the block
// placements.
std::vector<Text> CollectTexts(const LoadedDrawing& d, const RenderOptions& options, const Clock* clock = nullptr);

}  // namespace zumen
