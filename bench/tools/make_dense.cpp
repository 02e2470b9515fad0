// Builds the dense JWW drawing for speed measurements (see dense_drawing.h):
// with the default count 150,000 lines (a quarter of them dashed), 30,000
// circles and 20,000 short Japanese texts on A3. The drawing is made fresh by
// the benchmark script, never committed.
//
//   make_dense OUT.jww [ENTITIES] [SEED] [KINDS]
// ENTITIES 0: a blank A3 page with its paper frame. KINDS (default lct) keeps only the lines
// (l), circles (c) or texts (t) named, each where the whole drawing has it,
// to measure one kind at a time.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "dense_drawing.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 5 || argv[1][0] == '-') {
    std::fprintf(stderr, "usage: make_dense OUT.jww [ENTITIES] [SEED] [KINDS]\n");
    return 2;
  }
  const long total = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 200000;
  const unsigned seed = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : 1;
  if (total < 0 || total > 10'000'000) {
    std::fprintf(stderr, "make_dense: ENTITIES takes 0 to 10000000\n");
    return 2;
  }
  zumen::bench::DenseCounts n;
  const std::vector<uint8_t> bytes = zumen::bench::DenseDrawing(total, seed, argc > 4 ? argv[4] : "lct", &n);
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "make_dense: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %ld lines, %ld circles, %ld texts, %zu bytes\n", argv[1], n.lines, n.circles, n.texts,
              bytes.size());
  return 0;
}
