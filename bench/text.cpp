// Text drawing: 20,000 characters (kanji, kana and Latin letters mixed, as in
// a dense drawing) laid out by TGraph2 and drawn on the Cairo canvas, in
// horizontal and in vertical writing. The first iteration pays for the font
// look-up; later ones show the cost per glyph with warm caches. A separate
// case measures one engine's cold start (configuration, look-up, first glyphs).
#include <benchmark/benchmark.h>

#include <string>

#include "canvas/cairo_canvas.h"
#include "renderer/graph2.h"

namespace zumen {
namespace {

constexpr int kChars = 20000;
constexpr int kPerText = 20;

const std::u16string kSample = u"平面図立面図断面図ＡＢＣ設計株式会社あいうえお1234ABCDxyz寸法φ";

std::u16string Piece(int i) {
  std::u16string s;
  for (int k = 0; k < kPerText; ++k) s += kSample[(i * 7 + k) % kSample.size()];
  return s;
}

void DrawTexts(TGraph2& g, const std::u16string& font, bool vertical) {
  // 1000 texts of 20 characters, 2.5 mm high, on a 400 x 300 mm sheet.
  for (int i = 0; i < kChars / kPerText; ++i) {
    const double x = 5 + (i % 40) * 9.7, y = 295 - (i / 40) * 11.5;
    if (vertical)
      g.GLAText3(x, y, x, y - 10, 2.5, 2.5, 0, 0, u"@" + font, Piece(i));
    else
      g.GLAText3(x, y, x + 10, y, 2.5, 2.5, 0, 0, font, Piece(i));
  }
}

void Setup(TGraph2& g) {
  g.View.DispScale = 2000.0 / 400;  // 2000 x 1500 pixels
  g.View.DispX2 = 400;
  g.View.DispY2 = 300;
  g.View.DotW = 2000;
  g.View.DotH = 1500;
}

void BM_Text20000(benchmark::State& state) {
  ConversionContext ctx;
  auto made = CairoCanvas::Create(2000, 1500);
  if (!made.canvas) {
    state.SkipWithError(made.error.c_str());
    return;
  }
  TGraph2 g(ctx, *made.canvas);
  Setup(g);
  const bool vertical = state.range(0) != 0;
  for (auto _ : state) {
    g.GCls(0xFFFFFFFF);
    DrawTexts(g, u"ＭＳ ゴシック", vertical);
  }
  state.SetItemsProcessed(state.iterations() * kChars);
  state.SetLabel(vertical ? "vertical" : "horizontal");
}
BENCHMARK(BM_Text20000)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_TextColdStart(benchmark::State& state) {
  ConversionContext ctx;
  for (auto _ : state) {
    auto made = CairoCanvas::Create(200, 200);
    TGraph2 g(ctx, *made.canvas);
    Setup(g);
    g.GLAText3(5, 5, 15, 5, 2.5, 2.5, 0, 0, u"ＭＳ 明朝", u"図面ABC");
  }
}
BENCHMARK(BM_TextColdStart)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zumen
