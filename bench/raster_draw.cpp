// The strokes of the dense drawing of tools/dense_drawing.h (lines, a quarter
// of them dashed, and circles as 72-chord polylines; 200,000 entities unless
// ZUMEN_DENSE_ENTITIES says otherwise), recorded once and drawn at A3 300 dpi
// (4961 x 3508) on a white picture:
//   Raster/cairo          by the Cairo canvas, one stroke after another;
//   Raster/thin-stroker   by the thin-stroke rasteriser, the picture in one piece;
//   Raster/tiled/N        by the tiled canvas on N threads (recording and drawing;
//                         record_ms: the recording alone; all_threads_cpu_ms:
//                         the CPU time of all threads, where "CPU" is the
//                         calling thread's).
// Each reports, as counters, how far its picture is from Cairo's: the largest
// difference of a channel and the pixels differing by more than 32.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <variant>

#include "canvas/cairo_canvas.h"
#include "canvas/recording_canvas.h"
#include "canvas/tiled_canvas.h"
#include "driver/conversion.h"
#include "driver/sizing.h"
#include "raster/thin_stroke.h"
#include "tools/dense_drawing.h"

namespace zumen {
namespace {

struct Strokes {
  int width = 0, height = 0;
  std::vector<CanvasCall> calls;  // RecLine and RecPolyline only
  std::vector<uint32_t> cairoPixels;
  std::string error;
};

const Strokes& DenseStrokes() {
  static const Strokes s = [] {
    Strokes out;
    const char* env = std::getenv("ZUMEN_DENSE_ENTITIES");
    const long total = env ? std::strtol(env, nullptr, 10) : 200000;
    LoadedDrawing d;
    if (!LoadDrawing(Family::Jww, bench::DenseDrawing(total, 1, "lc"), "dense.jww", LoadOptions{}, d) || !d.read) {
      out.error = "cannot read the dense drawing: " + d.error;
      return out;
    }
    double sx = 0, sy = 0;
    DotSizeAtDpi(420, 297, 300, sx, sy);
    out.width = static_cast<int>(sx);
    out.height = static_cast<int>(sy);
    RecordingCanvas rec(out.width, out.height);
    const RenderOptions options;
    ConversionContext ctx;
    SetUpContext(d, options, ctx);
    DiagnosticSink diag;
    DrawOnCanvas(d, ctx, options, rec, diag);
    for (const CanvasCall& c : rec.Calls())
      if (std::holds_alternative<RecLine>(c) || std::holds_alternative<RecPolyline>(c)) out.calls.push_back(c);
    return out;
  }();
  return s;
}

// Gives the strokes to a canvas, state and all (EndScene left to the caller).
void Record(const Strokes& s, Canvas& c) {
  c.Clear(0xFFFFFFFF);
  for (const CanvasCall& call : s.calls) {
    const CanvasState& st = std::holds_alternative<RecLine>(call) ? std::get<RecLine>(call).st : std::get<RecPolyline>(call).st;
    c.SetStroke(st.strokeColor, st.strokeWidth, st.dash);
    c.SetTransform(st.transform);
    if (const RecLine* l = std::get_if<RecLine>(&call)) {
      c.StrokeLine(l->x1, l->y1, l->x2, l->y2, l->opacity);
    } else {
      const RecPolyline& p = std::get<RecPolyline>(call);
      c.StrokePolyline(p.pts, p.opacity);
    }
  }
}

// CPU time of the whole process, all threads, in milliseconds.
double ProcessCpuMs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

void Compare(benchmark::State& state, const Strokes& s, const PixelView& v) {
  if (s.cairoPixels.empty()) return;
  int worst = 0;
  long over32 = 0;
  for (int y = 0; y < s.height; ++y) {
    const uint32_t* a = s.cairoPixels.data() + static_cast<size_t>(y) * static_cast<size_t>(s.width);
    const uint32_t* b = v.row(y);
    for (int x = 0; x < s.width; ++x) {
      int d = 0;
      for (int k = 0; k < 32; k += 8)
        d = std::max(d, std::abs(static_cast<int>((a[x] >> k) & 0xFF) - static_cast<int>((b[x] >> k) & 0xFF)));
      worst = std::max(worst, d);
      over32 += d > 32;
    }
  }
  state.counters["max_diff"] = worst;
  state.counters["px_over_32"] = static_cast<double>(over32);
}

void BM_Cairo(benchmark::State& state) {
  Strokes& s = const_cast<Strokes&>(DenseStrokes());
  if (!s.error.empty()) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  CairoCanvasOrError made = CairoCanvas::Create(s.width, s.height);
  if (!made.canvas) {
    state.SkipWithError(made.error.c_str());
    return;
  }
  for (auto _ : state) {
    Record(s, *made.canvas);
    made.canvas->EndScene();
    benchmark::DoNotOptimize(made.canvas->Pixels().data);
  }
  const PixelView v = made.canvas->Pixels();
  s.cairoPixels.resize(static_cast<size_t>(s.width) * static_cast<size_t>(s.height));
  for (int y = 0; y < s.height; ++y)
    std::copy(v.row(y), v.row(y) + s.width, s.cairoPixels.begin() + static_cast<ptrdiff_t>(y) * s.width);
  state.counters["strokes"] = static_cast<double>(s.calls.size());
}

void BM_ThinStroker(benchmark::State& state) {
  const Strokes& s = DenseStrokes();
  if (!s.error.empty()) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  std::vector<uint32_t> pixels(static_cast<size_t>(s.width) * static_cast<size_t>(s.height));
  PixelTarget t;
  t.data = pixels.data();
  t.stride = s.width;
  t.width = s.width;
  t.height = s.height;
  t.clip = {0, 0, s.width, s.height};
  ThinStroker stroker;
  for (auto _ : state) {
    std::fill(pixels.begin(), pixels.end(), 0xFFFFFFFF);
    for (const CanvasCall& call : s.calls) {
      if (const RecLine* l = std::get_if<RecLine>(&call)) {
        stroker.StrokeLine(t, l->st.transform, {l->st.strokeColor, l->st.strokeWidth, l->st.dash}, l->opacity, l->x1,
                           l->y1, l->x2, l->y2);
      } else {
        const RecPolyline& p = std::get<RecPolyline>(call);
        stroker.StrokePolyline(t, p.st.transform, {p.st.strokeColor, p.st.strokeWidth, p.st.dash}, p.opacity,
                               p.pts.data(), p.pts.size());
      }
    }
    benchmark::DoNotOptimize(pixels.data());
  }
  PixelView v;
  v.width = s.width;
  v.height = s.height;
  v.data = pixels.data();
  v.stride = static_cast<size_t>(s.width);
  Compare(state, s, v);
}

void BM_Tiled(benchmark::State& state) {
  const Strokes& s = DenseStrokes();
  if (!s.error.empty()) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  TiledCanvasOrError made = TiledCanvas::Create(s.width, s.height, static_cast<int>(state.range(0)));
  if (!made.canvas) {
    state.SkipWithError(made.error.c_str());
    return;
  }
  double recordMs = 0;
  const double cpuBefore = ProcessCpuMs();
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    Record(s, *made.canvas);
    recordMs += std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    made.canvas->EndScene();
    benchmark::DoNotOptimize(made.canvas->Pixels().data);
  }
  state.counters["record_ms"] = recordMs / static_cast<double>(state.iterations());
  state.counters["all_threads_cpu_ms"] = (ProcessCpuMs() - cpuBefore) / static_cast<double>(state.iterations());
  Compare(state, s, made.canvas->Pixels());
}

BENCHMARK(BM_Cairo)->Name("Raster/cairo")->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_ThinStroker)->Name("Raster/thin-stroker")->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
BENCHMARK(BM_Tiled)->Name("Raster/tiled")->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);

}  // namespace
}  // namespace zumen
