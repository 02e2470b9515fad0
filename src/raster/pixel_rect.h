#pragma once
// A rectangle of whole pixels.

namespace zumen {

// Pixels [x0, x1) × [y0, y1).
struct PixelRect {
  int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
  bool empty() const { return x0 >= x1 || y0 >= y1; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

}  // namespace zumen
