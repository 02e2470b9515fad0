#include "driver/dxf_export.h"

#include <filesystem>

namespace zumen {

std::string BuildDxf(const LoadedDrawing& d, ConversionContext& ctx, const std::string& destination,
                     std::vector<DxfImageCopy>& copies) {
  dxf::Document doc;
  // A drawing read only in part exports what was read, as its picture shows it.
  if (d.handler) d.handler->ExportDxf(ctx, doc);
  doc.extents = dxf::EstimateExtents(doc);
  namespace fs = std::filesystem;
  std::error_code ec;
  for (dxf::ImageDef& img : doc.images) {
    if (destination.empty()) {
      img.file = fs::absolute(img.source, ec).string();
      continue;
    }
    const fs::path dst(destination);
    const std::string name = dst.stem().string() + "_" + fs::path(img.source).filename().string();
    copies.push_back({img.source, (dst.parent_path() / name).string()});
    img.file = name;
  }
  return dxf::Write(doc);
}

}  // namespace zumen
