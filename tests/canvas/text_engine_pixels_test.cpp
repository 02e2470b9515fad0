// Glyphs on the Cairo canvas: they land inside their cells, upright, at the
// size asked for, with the IPA fonts that the Windows names map to.
#include <gtest/gtest.h>

#include <algorithm>
#include <numbers>
#include <thread>
#include <vector>

#include "canvas/cairo_canvas.h"

namespace zumen {
namespace {

// The box of the pixels that differ from white, and ink counts.
struct Ink {
  int x1 = 1 << 30, y1 = 1 << 30, x2 = -1, y2 = -1;
  long count = 0;
  bool Empty() const { return x2 < 0; }
  int Width() const { return x2 - x1 + 1; }
  int Height() const { return y2 - y1 + 1; }
};

bool Inked(uint32_t px) { return (px & 0xFF) < 0x80; }  // blue channel dark: black ink

Ink InkOf(CairoCanvas& c, int x0 = 0, int y0 = 0, int x1 = -1, int y1 = -1) {
  const PixelView v = c.Pixels();
  if (x1 < 0) x1 = v.width;
  if (y1 < 0) y1 = v.height;
  Ink ink;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      if (Inked(v.row(y)[x])) {
        ink.x1 = std::min(ink.x1, x);
        ink.x2 = std::max(ink.x2, x);
        ink.y1 = std::min(ink.y1, y);
        ink.y2 = std::max(ink.y2, y);
        ++ink.count;
      }
  return ink;
}

std::unique_ptr<CairoCanvas> Blank(int w = 300, int h = 300) {
  auto made = CairoCanvas::Create(w, h);
  EXPECT_TRUE(made.canvas) << made.error;
  made.canvas->Clear(0xFFFFFFFF);
  made.canvas->SetFillSolid(0xFF000000);
  return std::move(made.canvas);
}

void Text(CairoCanvas& c, const std::u16string& family, double size, double left, double top,
          const std::u16string& s, bool bold = false, bool underline = false) {
  FontSpec f;
  f.family = family;
  f.sizePx = size;
  f.bold = bold;
  f.underline = underline;
  c.SetFont(f);
  c.FillText(left, top, left + 2 * size, top + 2 * size, s, 1.0);
}

struct CellCase {
  std::u16string family, text;
  double cellWidth;     // in em: full-width 1, half-width 0.5
  double minHeight;     // least ink height, in em
};

TEST(TextEnginePixels, GlyphsFillTheirCellsUpright) {
  const CellCase cases[] = {
      {u"ＭＳ ゴシック", u"上", 1, 0.75},
      {u"ＭＳ 明朝", u"上", 1, 0.75},
      {u"ＭＳ Ｐゴシック", u"上", 1, 0.75},
      {u"ＭＳ ゴシック", u"L", 0.5, 0.6},
      {u"Arial", u"L", 0.5, 0.6},
      {u"", u"上", 1, 0.75},
  };
  for (const auto& c : cases) {
    for (double size : {40.0, 100.0}) {
      auto cv = Blank();
      Text(*cv, c.family, size, 50, 60, c.text);
      const Ink ink = InkOf(*cv);
      const auto where = testing::PrintToString(c.text) + " size " + std::to_string(size);
      ASSERT_FALSE(ink.Empty()) << where;
      // Inside the cell (a pixel of antialiasing allowed).
      EXPECT_GE(ink.x1, 50 - 1) << where;
      EXPECT_LE(ink.x2, 50 + c.cellWidth * size + 1) << where;
      EXPECT_GE(ink.y1, 60 - 1) << where;
      EXPECT_LE(ink.y2, 60 + size + 1) << where;
      // At the size asked for: the ink spans most of the em height.
      EXPECT_GE(ink.Height(), c.minHeight * size) << where;
      // Upright: both glyphs have their long bar at the bottom.
      const int quarter = ink.Height() / 4;
      const Ink top = InkOf(*cv, 0, ink.y1, 300, ink.y1 + quarter);
      const Ink bottom = InkOf(*cv, 0, ink.y2 + 1 - quarter, 300, ink.y2 + 1);
      EXPECT_GT(bottom.Width(), 2 * top.Width()) << where;
    }
  }
}

TEST(TextEnginePixels, LatinAndJapaneseShareTheBaseline) {
  auto cv = Blank(400, 200);
  Text(*cv, u"ＭＳ ゴシック", 100, 20, 40, u"上L");
  const Ink kanji = InkOf(*cv, 0, 0, 120, 200);
  const Ink latin = InkOf(*cv, 120, 0, 400, 200);
  ASSERT_FALSE(kanji.Empty());
  ASSERT_FALSE(latin.Empty());
  EXPECT_NEAR(kanji.y2, latin.y2, 3);
  // The Latin letter starts in the second cell, right after the full-width one.
  EXPECT_GE(latin.x1, 120);
  EXPECT_LE(latin.x2, 170 + 1);
}

TEST(TextEnginePixels, StylesAddInk) {
  auto plain = Blank();
  Text(*plain, u"ＭＳ ゴシック", 80, 20, 20, u"上");
  auto bold = Blank();
  Text(*bold, u"ＭＳ ゴシック", 80, 20, 20, u"上", true);
  auto under = Blank();
  Text(*under, u"ＭＳ ゴシック", 80, 20, 20, u"上", false, true);
  const Ink p = InkOf(*plain), b = InkOf(*bold), u = InkOf(*under);
  EXPECT_GT(b.count, p.count * 11 / 10);
  EXPECT_GT(u.y2, p.y2);          // the underline lies below the glyph
  EXPECT_LE(u.y2, 20 + 80 + 1);   // and inside the cell
}

TEST(TextEnginePixels, TransformedText) {
  // The canvas transform turns the text: a quarter turn clockwise on screen
  // makes the glyph's bottom bar a column on the left.
  auto cv = Blank();
  cv->SetTransform(Matrix::Translate(-100, -100).Then(Matrix::Rotate(std::numbers::pi / 2)).Then(
      Matrix::Translate(100, 100)));
  Text(*cv, u"ＭＳ ゴシック", 100, 100, 100, u"上");
  const Ink ink = InkOf(*cv);
  ASSERT_FALSE(ink.Empty());
  EXPECT_GE(ink.x1, 0 - 1);
  EXPECT_LE(ink.x2, 100 + 1);
  EXPECT_GE(ink.y1, 100 - 1);
  EXPECT_LE(ink.y2, 200 + 1);
  const int quarter = ink.Width() / 4;
  const Ink left = InkOf(*cv, ink.x1, 0, ink.x1 + quarter, 300);
  const Ink right = InkOf(*cv, ink.x2 + 1 - quarter, 0, ink.x2 + 1, 300);
  EXPECT_GT(left.Height(), 2 * right.Height());
}

TEST(TextEnginePixels, CanvasesInParallelThreadsDrawAlike) {
  // Each canvas has its own engine; conversions in parallel threads must not
  // disturb one another's font look-ups and glyph caches.
  const auto draw = [](std::vector<uint32_t>& out) {
    auto cv = Blank(200, 100);
    for (int i = 0; i < 20; ++i) Text(*cv, i % 2 ? u"ＭＳ 明朝" : u"MS PGothic", 20 + i, 5 * i, 10, u"図面Ab");
    const PixelView v = cv->Pixels();
    for (int y = 0; y < v.height; ++y) out.insert(out.end(), v.row(y), v.row(y) + v.width);
  };
  std::vector<uint32_t> alone;
  draw(alone);
  std::vector<std::vector<uint32_t>> results(4);
  std::vector<std::thread> threads;
  for (auto& r : results) threads.emplace_back(draw, std::ref(r));
  for (auto& t : threads) t.join();
  for (const auto& r : results) EXPECT_TRUE(r == alone);
}

}  // namespace
}  // namespace zumen
