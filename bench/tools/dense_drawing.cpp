#include "dense_drawing.h"

#include <random>

#include "support/jww_writer.h"

namespace zumen::bench {

std::vector<uint8_t> DenseDrawing(long total, unsigned seed, const std::string& kinds, DenseCounts* counts) {
  const auto keep = [&kinds](char k) { return kinds.find(k) != std::string::npos; };
  const long lines = total * 3 / 4, circles = total * 3 / 20, texts = total - lines - circles;

  JwwWriter w(700);
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
  if (total == 0) {
    // The blank page: one line on a hidden layer, so that the drawing is
    // drawn (its background and the paper's frame) with nothing on it; a
    // drawing without entities is not drawn at all.
    w.head.EntLay[255].aanLay = 0;
    w.Layer(15, 15);
    w.Pen(1, 1);
    w.Line(-10, 0, 10, 0);
  }
  if (counts) *counts = {keep('l') ? lines : 0, keep('c') ? circles : 0, keep('t') ? texts : 0};
  return w.Finish();
}

}  // namespace zumen::bench
