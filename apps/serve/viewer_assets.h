#pragma once
// The viewer's page, script and style sheet, built into the executable from
// apps/serve/viewer/ (see cmake/embed_files.cmake).
#include <cstddef>
#include <span>

namespace zumen_serve {

struct ViewerAsset {
  const char* path;        // "/", "/viewer.js", ...
  const char* media_type;  // "text/html; charset=utf-8", ...
  const unsigned char* data;
  size_t size;
};

std::span<const ViewerAsset> ViewerAssets();

}  // namespace zumen_serve
