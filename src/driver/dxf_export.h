#pragma once
// DXF export of a loaded drawing: the family's DXF pass on a prepared
// context, then the file text and the images to put beside it.
#include <string>
#include <vector>

#include "context/context.h"
#include "driver/conversion.h"
#include "dxf/document.h"

namespace zumen {

// An image file to copy beside the DXF.
struct DxfImageCopy {
  std::string source;  // where zumen found the image
  std::string target;  // the path beside the DXF
};

// The DXF of the drawing. With a destination path, every image is named
// "<stem>_<name>" beside it and listed in copies; without one (a DXF in
// memory) the images are named by the absolute paths where they were found.
std::string BuildDxf(const LoadedDrawing& d, ConversionContext& ctx, const std::string& destination,
                     std::vector<DxfImageCopy>& copies);

}  // namespace zumen
