#pragma once
// An in-memory raster of 32-bit ARGB pixels (alpha in the top byte, not
// premultiplied), row by row from the top.
#include <cstdint>
#include <vector>

namespace zumen {

struct Bitmap {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> pixels;  // width * height entries

  Bitmap() = default;
  Bitmap(int w, int h, uint32_t fill = 0xFFFFFFFF)
      : width(w), height(h), pixels(static_cast<size_t>(w) * static_cast<size_t>(h), fill) {}

  bool empty() const { return width <= 0 || height <= 0; }
  uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
  uint32_t& at(int x, int y) { return pixels[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)]; }
};

}  // namespace zumen
