#pragma once
// The dense JWW drawing of the speed measurements: on A3, at random
// positions, three quarters lines (a quarter of them dashed), three twentieths
// circles and the rest short Japanese texts, in eight pens.
#include <cstdint>
#include <string>
#include <vector>

namespace zumen::bench {

struct DenseCounts {
  long lines = 0, circles = 0, texts = 0;
};

// The drawing's bytes for `total` entities (0: a blank A3 page with
// its paper frame) drawn from
// the random seed. `kinds` keeps only the lines (l), circles (c) or texts (t)
// it names, each where the whole drawing has it; counts receives what was
// kept.
std::vector<uint8_t> DenseDrawing(long total, unsigned seed, const std::string& kinds = "lct",
                                  DenseCounts* counts = nullptr);

}  // namespace zumen::bench
