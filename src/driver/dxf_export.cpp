#include "driver/dxf_export.h"

#include <filesystem>
#include <set>

#include "dxf/from_scene.h"

namespace zumen {

namespace {

std::string AsciiLower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// name, or name with " (2)", " (3)" ... before its extension when a name of
// that spelling (ASCII case aside, as file systems that ignore case see it)
// is taken already.
std::string UniqueName(const std::string& name, std::set<std::string>& taken) {
  namespace fs = std::filesystem;
  const fs::path p(name);
  const std::string stem = p.stem().string(), ext = p.extension().string();
  std::string candidate = name;
  for (int n = 2; !taken.insert(AsciiLower(candidate)).second; ++n)
    candidate = stem + " (" + std::to_string(n) + ")" + ext;
  return candidate;
}

}  // namespace

std::string BuildDxf(const LoadedDrawing& d, const ConversionContext& ctx, const std::string& destination,
                     std::vector<DxfImageCopy>& copies) {
  dxf::Document doc;
  // A drawing read only in part exports what was read, as its picture shows it.
  if (d.scene) ExportSceneDxf(*d.scene, ctx, doc);
  doc.extents = dxf::EstimateExtents(doc);
  namespace fs = std::filesystem;
  std::error_code ec;
  std::set<std::string> taken;
  for (dxf::ImageDef& img : doc.images) {
    const std::string bare = img.source.empty() ? img.file : fs::path(img.source).filename().string();
    if (destination.empty()) {
      img.file = img.source.empty() ? bare : fs::absolute(img.source, ec).string();
      continue;
    }
    const fs::path dst(destination);
    const std::string name = UniqueName(dst.stem().string() + "_" + bare, taken);
    copies.push_back({img.source, std::move(img.content), (dst.parent_path() / name).string()});
    img.file = name;
  }
  return dxf::Write(doc);
}

}  // namespace zumen
