#pragma once
// A read-only view of 32-bit ARGB pixel rows, native-endian (in memory each
// pixel is the bytes B, G, R, A). The encoders read bitmaps and the Cairo
// surface through it, so saving the canvas needs no copy of the whole image.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "codecs/bitmap.h"

namespace zumen {

struct PixelView {
  int width = 0;
  int height = 0;
  const uint32_t* data = nullptr;
  size_t stride = 0;           // words from one row to the next
  bool premultiplied = false;  // colour channels already multiplied by alpha (Cairo)

  bool empty() const { return width <= 0 || height <= 0 || data == nullptr; }
  const uint32_t* row(int y) const { return data + static_cast<size_t>(y) * stride; }
};

inline PixelView ViewOf(const Bitmap& bmp) {
  PixelView v;
  if (bmp.empty() || bmp.pixels.size() < static_cast<size_t>(bmp.width) * static_cast<size_t>(bmp.height)) return v;
  v.width = bmp.width;
  v.height = bmp.height;
  v.data = bmp.pixels.data();
  v.stride = static_cast<size_t>(bmp.width);
  return v;
}

inline uint32_t Premultiply(uint32_t argb) {
  const uint32_t a = argb >> 24;
  if (a == 0xFF) return argb;
  if (a == 0) return 0;
  auto mul = [a](uint32_t c) { return (c * a + 127) / 255; };
  return (a << 24) | (mul((argb >> 16) & 0xFF) << 16) | (mul((argb >> 8) & 0xFF) << 8) | mul(argb & 0xFF);
}

inline uint32_t Unpremultiply(uint32_t argb) {
  const uint32_t a = argb >> 24;
  if (a == 0xFF) return argb;
  if (a == 0) return 0;
  auto div = [a](uint32_t c) {
    const uint32_t v = (c * 255 + a / 2) / a;
    return v > 255 ? 255u : v;
  };
  return (a << 24) | (div((argb >> 16) & 0xFF) << 16) | (div((argb >> 8) & 0xFF) << 8) | div(argb & 0xFF);
}

// A copy of the view as a bitmap with straight alpha.
inline Bitmap StraightBitmap(const PixelView& v) {
  if (v.empty()) return {};
  Bitmap out(v.width, v.height, 0);
  for (int y = 0; y < v.height; ++y) {
    const uint32_t* src = v.row(y);
    uint32_t* dst = out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(v.width);
    for (int x = 0; x < v.width; ++x) dst[x] = v.premultiplied ? Unpremultiply(src[x]) : src[x];
  }
  return out;
}

// Row y with straight (not premultiplied) alpha: the view's own memory when it
// already is, else a converted copy in scratch.
inline const uint32_t* StraightRow(const PixelView& v, int y, std::vector<uint32_t>& scratch) {
  const uint32_t* r = v.row(y);
  if (!v.premultiplied) return r;
  bool opaque = true;
  for (int x = 0; x < v.width && opaque; ++x) opaque = (r[x] >> 24) == 0xFF;
  if (opaque) return r;
  scratch.resize(static_cast<size_t>(v.width));
  for (int x = 0; x < v.width; ++x) scratch[static_cast<size_t>(x)] = Unpremultiply(r[x]);
  return scratch.data();
}

// One row as R, G, B (and A when alpha) bytes with straight alpha.
inline void StraightBytes(const uint32_t* src, int width, bool premultiplied, bool alpha, uint8_t* dst) {
  for (int x = 0; x < width; ++x) {
    const uint32_t p = premultiplied ? Unpremultiply(src[x]) : src[x];
    dst[0] = static_cast<uint8_t>(p >> 16);
    dst[1] = static_cast<uint8_t>(p >> 8);
    dst[2] = static_cast<uint8_t>(p);
    if (alpha) {
      dst[3] = static_cast<uint8_t>(p >> 24);
      dst += 4;
    } else {
      dst += 3;
    }
  }
}

// Whether every pixel of the row is opaque.
bool RowOpaque(const uint32_t* px, int width);

// The "up"-filtered R, G, B bytes of an opaque row (PNG's filter): each byte
// minus the same byte of the row above; with above null, zeros above, which
// gives the row's own R, G, B bytes. True when any byte is not zero.
bool UpFilterRgb(const uint32_t* cur, const uint32_t* above, int width, uint8_t* out);

inline bool IsOpaque(const PixelView& v) {
  for (int y = 0; y < v.height; ++y) {
    const uint32_t* r = v.row(y);
    uint32_t all = 0xFFFFFFFF;
    for (int x = 0; x < v.width; ++x) all &= r[x];
    if ((all >> 24) != 0xFF) return false;
  }
  return true;
}

}  // namespace zumen
