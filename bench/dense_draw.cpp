// Drawing alone (no reading, no encoding) of the dense drawing of
// tools/dense_drawing.h at A3 300 dpi (4961 x 3508): all of it, and each kind
// of entity by itself, so that the cost of lines, circles and texts shows
// separately. The entity count is 200,000 unless ZUMEN_DENSE_ENTITIES says
// otherwise.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "canvas/cairo_canvas.h"
#include "driver/conversion.h"
#include "driver/sizing.h"
#include "tools/dense_drawing.h"

namespace zumen {
namespace {

void BM_DenseDraw(benchmark::State& state, const std::string& kinds) {
  const char* env = std::getenv("ZUMEN_DENSE_ENTITIES");
  const long total = env ? std::strtol(env, nullptr, 10) : 200000;
  const std::vector<uint8_t> bytes = bench::DenseDrawing(total, 1, kinds);
  LoadedDrawing d;
  if (!LoadDrawing(Family::Jww, bytes, "dense.jww", LoadOptions{}, d) || !d.read) {
    state.SkipWithError(("cannot read the dense drawing: " + d.error).c_str());
    return;
  }
  double sx = 0, sy = 0;
  DotSizeAtDpi(420, 297, 300, sx, sy);
  const int w = static_cast<int>(sx), h = static_cast<int>(sy);
  CairoCanvasOrError made = CairoCanvas::Create(w, h);
  if (!made.canvas) {
    state.SkipWithError(made.error.c_str());
    return;
  }
  const RenderOptions options;
  for (auto _ : state) {
    ConversionContext ctx;
    SetUpContext(d, options, ctx);
    DrawOnCanvas(d, ctx, options, *made.canvas);
    benchmark::DoNotOptimize(made.canvas->Pixels().data);
  }
}

const bool registered = [] {
  for (const char* kinds : {"lct", "l", "c", "t"}) {
    benchmark::RegisterBenchmark((std::string("DenseDraw/") + kinds).c_str(), BM_DenseDraw, std::string(kinds))
        ->Unit(benchmark::kMillisecond)
        ->Iterations(1)
        ->Repetitions(3);
  }
  return true;
}();

}  // namespace
}  // namespace zumen
