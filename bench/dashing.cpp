// Dashed lines and arcs of the Jw renderer on a large Cairo bitmap.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <numbers>

#include "canvas/cairo_canvas.h"
#include "context/context.h"
#include "renderer/graph2.h"

namespace zumen {
namespace {

// A 4000 x 3000 canvas showing (0, 0)-(400, 300) at 10 pixels per unit.
struct Scene {
  Scene() {
    canvas = CairoCanvas::Create(4000, 3000).canvas;
    ctx.GAtt.SetDisplayMode(true);
    g = std::make_unique<TGraph2>(ctx, *canvas);
    g->View.DispX2 = 400;
    g->View.DispY2 = 300;
    g->View.DispScale = 10;
    g->View.DotW = 4000;
    g->View.DotH = 3000;
    canvas->BeginScene();
    g->GCls(0xFFFFFFFF);
    g->GLPenSet(0, 2, 1, 0.18);
  }
  ConversionContext ctx;
  std::unique_ptr<CairoCanvas> canvas;
  std::unique_ptr<TGraph2> g;
};

// Jw line types 2 (dashed), 5 (chain), 9 (dotted), 11 (zigzag), 34 (long chain).
constexpr int kTypes[] = {2, 5, 9, 11, 34};

void BM_DashedLines(benchmark::State& state) {
  Scene s;
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (int i = 0; i < count; ++i) {
      const double t = i * 0.61803398875;
      const double x1 = std::fmod(t * 97, 420) - 10, y1 = std::fmod(t * 53, 320) - 10;
      const double x2 = std::fmod(t * 71 + 150, 420) - 10, y2 = std::fmod(t * 29 + 90, 320) - 10;
      s.g->GLSetDT();
      benchmark::DoNotOptimize(s.g->GLLineDT(0, kTypes[i % 5], x1, y1, x2, y2));
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_DashedLines)->Arg(1000)->Unit(benchmark::kMillisecond);

void BM_DashedArcs(benchmark::State& state) {
  Scene s;
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    for (int i = 0; i < count; ++i) {
      const double t = i * 0.61803398875;
      const double cx = std::fmod(t * 97, 400), cy = std::fmod(t * 53, 300);
      const double r = 2 + std::fmod(t * 31, 60);
      s.g->GLSetDT();
      benchmark::DoNotOptimize(s.g->GLEllipseArcDT(0, kTypes[i % 5], cx, cy, r, 0.5 + std::fmod(t, 1.0), t,
                                                   0, 1.5 * std::numbers::pi));
    }
  }
  state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_DashedArcs)->Arg(300)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zumen
