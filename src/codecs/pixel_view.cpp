#include "codecs/pixel_view.h"

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define ZUMEN_ROWS_SSSE3 1
#endif

namespace zumen {

namespace {

// The "up"-filtered R, G, B bytes of pixels [from, width) of an opaque row:
// each byte minus the same byte of the row above (above null: zeros above
// the image). The channels are subtracted in place in the 32-bit pixels,
// byte by byte, and then picked out. True when any byte is not zero (the
// row differs from the one above).
bool UpFilterRgbPlain(const uint32_t* cur, const uint32_t* above, int from, int width, uint8_t* out) {
  uint32_t changed = 0;
  for (int x = from; x < width; ++x) {
    const uint32_t c = cur[x], a = above ? above[x] : 0;
    uint8_t* o = out + static_cast<size_t>(x) * 3;
    o[0] = static_cast<uint8_t>((c >> 16) - (a >> 16));
    o[1] = static_cast<uint8_t>((c >> 8) - (a >> 8));
    o[2] = static_cast<uint8_t>(c - a);
    changed |= (c ^ a) & 0xFFFFFF;
  }
  return changed != 0;
}

#ifdef ZUMEN_ROWS_SSSE3
__attribute__((target("ssse3"))) bool UpFilterRgbSsse3(const uint32_t* cur, const uint32_t* above, int width,
                                                       uint8_t* out) {
  // Pixels are B, G, R, A in memory: four of them give twelve bytes R, G, B.
  const __m128i pick = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
  const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
  __m128i changed = _mm_setzero_si128();
  int x = 0;
  // Each store writes 16 bytes for 12: it stays inside the row while at
  // least six pixels are left.
  for (; x + 6 <= width; x += 4) {
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(cur + x));
    const __m128i a = above ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(above + x)) : _mm_setzero_si128();
    const __m128i d = _mm_sub_epi8(c, a);
    changed = _mm_or_si128(changed, _mm_and_si128(d, colour));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + static_cast<size_t>(x) * 3), _mm_shuffle_epi8(d, pick));
  }
  const bool rest = UpFilterRgbPlain(cur, above, x, width, out);
  return rest || _mm_movemask_epi8(_mm_cmpeq_epi8(changed, _mm_setzero_si128())) != 0xFFFF;
}
#endif

}  // namespace

bool RowOpaque(const uint32_t* px, int width) {
  uint32_t all = 0xFFFFFFFF;
  for (int x = 0; x < width; ++x) all &= px[x];
  return (all >> 24) == 0xFF;
}

bool UpFilterRgb(const uint32_t* cur, const uint32_t* above, int width, uint8_t* out) {
#ifdef ZUMEN_ROWS_SSSE3
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (ssse3) return UpFilterRgbSsse3(cur, above, width, out);
#endif
  return UpFilterRgbPlain(cur, above, 0, width, out);
}

}  // namespace zumen
