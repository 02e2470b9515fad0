#pragma once
// DXF export of a loaded drawing: its scene as a DXF document on a prepared
// context, then the file text and the images to put beside it.
#include <cstdint>
#include <string>
#include <vector>

#include "context/context.h"
#include "driver/conversion.h"
#include "dxf/document.h"

namespace zumen {

// An image file to put beside the DXF: a copy of source, or content when
// source is empty.
struct DxfImageCopy {
  std::string source;            // where zumen found the image
  std::vector<uint8_t> content;  // the image file's bytes, kept in the drawing
  std::string target;            // the path beside the DXF
};

// The DXF of the drawing. With a destination path, every image is named
// "<stem>_<name>" beside it (names made unique) and listed in copies; without
// one (a DXF in memory) images found as files are named by their absolute
// paths, and images kept in the drawing by their bare names (nothing is
// written for them).
std::string BuildDxf(const LoadedDrawing& d, const ConversionContext& ctx, const std::string& destination,
                     std::vector<DxfImageCopy>& copies);

}  // namespace zumen
