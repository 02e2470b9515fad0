// Builds a dense JWW drawing for speed measurements: on A3, at random
// positions, 150,000 lines (a quarter of them dashed), 30,000 circles and
// 20,000 short Japanese texts (with the default count; the count scales all
// three). The drawing is made fresh by the benchmark script, never committed.
//
//   make_dense OUT.jww [ENTITIES] [SEED] [KINDS]
// ENTITIES 0: a blank A3 drawing. KINDS (default lct) keeps only the lines
// (l), circles (c) or texts (t) named, each where the whole drawing has it,
// to measure one kind at a time.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

#include "support/jww_writer.h"

int main(int argc, char** argv) {
  if (argc < 2 || argc > 5) {
    std::fprintf(stderr, "usage: make_dense OUT.jww [ENTITIES] [SEED] [KINDS]\n");
    return 2;
  }
  const long total = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 200000;
  const unsigned seed = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : 1;
  if (total < 0 || total > 10'000'000) {
    std::fprintf(stderr, "make_dense: ENTITIES takes 0 to 10000000\n");
    return 2;
  }
  const std::string kinds = argc > 4 ? argv[4] : "lct";
  const auto keep = [&kinds](char k) { return kinds.find(k) != std::string::npos; };
  const long lines = total * 3 / 4, circles = total * 3 / 20, texts = total - lines - circles;

  zumen::JwwWriter w(700);
  w.Paper(3);  // A3, 420 x 297 mm around the origin at 1:1
  // Every layer shown; print pens 1-8 in colours of their own (0x00BBGGRR)
  // and widths (steps of 0.042 mm); line type 2 dashed, 0.35 mm per bit.
  for (auto& g : w.head.EntLgrp) g.anGLay = 2;
  for (auto& l : w.head.EntLay) l.aanLay = 2;
  const int32_t colours[9] = {0xFFFFFF, 0xC0C000, 0x000000, 0x00C000, 0x00C0C0, 0xC000C0, 0xFF0000, 0x808000, 0x8000FF};
  const int32_t widths[9] = {0, 4, 6, 5, 5, 5, 5, 5, 5};
  for (size_t i = 0; i < 9; ++i) {
    w.head.EntCol[i].aPrtPenColor = colours[i];
    w.head.EntCol[i].anPrtPenWidth = widths[i];
    w.head.EntCol[i].adPrtTenHankei = 0.5;
  }
  w.head.EntLtp1[0].alLType = static_cast<int32_t>(0xFFFFFF00u);
  w.head.EntLtp1[0].anPrtTokushuSenPich = 10;
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> x(-205, 205), y(-143, 143), len(-15, 15), radius(0.5, 12);
  std::uniform_int_distribution<int> pen(1, 8), pick(0, 3), glyph(0, 9);
  const char16_t* const words[] = {u"居間", u"台所", u"寝室", u"浴室", u"玄関", u"廊下", u"和室", u"納戸", u"階段", u"洗面所"};

  for (long i = 0; i < lines; ++i) {
    w.Pen(static_cast<uint16_t>(pen(rng)), pick(rng) == 0 ? 2 : 1);
    const double x1 = x(rng), y1 = y(rng);
    const double x2 = x1 + len(rng), y2 = y1 + len(rng);
    if (keep('l')) w.Line(x1, y1, x2, y2);
  }
  for (long i = 0; i < circles; ++i) {
    w.Pen(static_cast<uint16_t>(pen(rng)), 1);
    const double cx = x(rng), cy = y(rng), r = radius(rng);
    if (keep('c')) w.Circle(cx, cy, r);
  }
  for (long i = 0; i < texts; ++i) {
    w.Pen(static_cast<uint16_t>(pen(rng)), 1);
    const double tx = x(rng), ty = y(rng);
    const char16_t* word = words[glyph(rng)];
    if (keep('t')) w.Text(tx, ty, word, 2.5);
  }
  const std::vector<uint8_t> bytes = w.Finish();
  std::ofstream out(argv[1], std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) {
    std::fprintf(stderr, "make_dense: cannot write %s\n", argv[1]);
    return 1;
  }
  std::printf("%s: %ld lines, %ld circles, %ld texts, %zu bytes\n", argv[1], keep('l') ? lines : 0,
              keep('c') ? circles : 0, keep('t') ? texts : 0, bytes.size());
  return 0;
}
