#pragma once
// A solid colour composited over premultiplied ARGB32 pixels through an
// 8-bit coverage, with the very arithmetic of Cairo's image compositor, so
// that a pixel drawn here has the value Cairo would give it for the same
// coverage: an opaque colour is interpolated towards the pixel (Cairo's own
// spans, products rounded with 0x7f), a translucent one is taken IN the
// coverage and then OVER the pixel (pixman, products rounded with 0x80).
#include <cstdint>

namespace zumen {

// The premultiplied pixel of argb (straight alpha) at the opacity, as Cairo
// makes it from cairo_set_source_rgba: 16-bit shorts rounded, then cut to 8 bits.
inline uint32_t SolidPixel(uint32_t argb, double opacity) {
  const double a = ((argb >> 24) & 0xFF) / 255.0 * opacity;
  const auto byteOf = [](double v) { return static_cast<uint32_t>(static_cast<uint16_t>(v * 65535.0 + 0.5)) >> 8; };
  return byteOf(a) << 24 | byteOf(((argb >> 16) & 0xFF) / 255.0 * a) << 16 |
         byteOf(((argb >> 8) & 0xFF) / 255.0 * a) << 8 | byteOf((argb & 0xFF) / 255.0 * a);
}

namespace composite_detail {

// Two channels (bits 0-7 and 16-23) times m / 255, rounded with `half`.
[[gnu::always_inline]] inline uint32_t Mul2(uint32_t x, uint32_t m, uint32_t half) {
  const uint32_t t = (x & 0xFF00FF) * m + half;
  return ((t + ((t >> 8) & 0xFF00FF)) >> 8) & 0xFF00FF;
}
// Two channels added, each saturating at 255.
[[gnu::always_inline]] inline uint32_t Add2(uint32_t a, uint32_t b) {
  uint32_t t = a + b;
  t |= 0x10000100 - ((t >> 8) & 0xFF00FF);
  return t & 0xFF00FF;
}

}  // namespace composite_detail

// Composites the premultiplied colour src over dst through coverage m (1..255).
// opaque: src's alpha is 255.
[[gnu::always_inline]] inline uint32_t CompositeSolid(uint32_t dst, uint32_t src, uint32_t m, bool opaque) {
  using composite_detail::Add2;
  using composite_detail::Mul2;
  if (opaque) {
    if (m == 255) return src;
    const uint32_t im = 255 - m;
    return Add2(Mul2(src, m, 0x7F007F), Mul2(dst, im, 0x7F007F)) |
           Add2(Mul2(src >> 8, m, 0x7F007F), Mul2(dst >> 8, im, 0x7F007F)) << 8;
  }
  uint32_t s = src;
  if (m != 255) s = Mul2(src, m, 0x800080) | Mul2(src >> 8, m, 0x800080) << 8;
  const uint32_t ia = 255 - (s >> 24);
  return Add2(Mul2(dst, ia, 0x800080), s & 0xFF00FF) | Add2(Mul2(dst >> 8, ia, 0x800080), (s >> 8) & 0xFF00FF) << 8;
}

}  // namespace zumen
