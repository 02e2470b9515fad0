#pragma once
// Pictures rendered into a buffer of straight RGBA pixels, and what the
// option tests look at in them.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "zumen/zumen.h"

namespace zumen::testing {

struct Picture {
  int width = 0, height = 0;
  std::vector<uint8_t> rgba;
  RenderResult result;

  // The pixel at (x, y) as 0xAARRGGBB.
  uint32_t At(int x, int y) const {
    const uint8_t* p = &rgba[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4];
    return uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | uint32_t{p[1]} << 8 | p[2];
  }
  // Pixels that pass the test.
  template <class Test>
  int Count(Test test) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
      for (int x = 0; x < width; ++x) n += test(At(x, y)) ? 1 : 0;
    return n;
  }
};

inline Picture Draw(const Drawing& d, const RenderOptions& options, int width, int height) {
  Picture p;
  p.width = width;
  p.height = height;
  p.rgba.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0x55);
  p.result = Render(d, options, Output::Pixels(p.rgba.data(), width, height, static_cast<size_t>(width) * 4));
  return p;
}

inline int Red(uint32_t c) { return (c >> 16) & 0xFF; }
inline int Green(uint32_t c) { return (c >> 8) & 0xFF; }
inline int Blue(uint32_t c) { return c & 0xFF; }
inline int Alpha(uint32_t c) { return c >> 24; }
// The paper frame's blue.
inline bool FrameBlue(uint32_t c) { return Blue(c) > 200 && Red(c) < 100 && Green(c) < 100; }

// A box of pixels, as shares of the picture's size; all 0 when there are none.
struct InkBox {
  double left = 0, top = 0, right = 0, bottom = 0;
  int pixels = 0;
};
// The box of the pixels that pass the test.
template <class Test>
InkBox BoxOf(const Picture& p, Test test) {
  InkBox b;
  int x1 = p.width, y1 = p.height, x2 = -1, y2 = -1;
  for (int y = 0; y < p.height; ++y)
    for (int x = 0; x < p.width; ++x) {
      if (!test(p.At(x, y))) continue;
      ++b.pixels;
      x1 = std::min(x1, x), y1 = std::min(y1, y), x2 = std::max(x2, x), y2 = std::max(y2, y);
    }
  if (b.pixels == 0) return b;
  b.left = double(x1) / p.width, b.right = double(x2 + 1) / p.width;
  b.top = double(y1) / p.height, b.bottom = double(y2 + 1) / p.height;
  return b;
}
inline InkBox InkOf(const Picture& p, uint32_t background) {
  return BoxOf(p, [&](uint32_t c) { return c != background; });
}

}  // namespace zumen::testing
