// Drawing alone (no reading, no encoding) of the dense drawing of
// tools/dense_drawing.h at A3 300 dpi (4961 x 3508): all of it, and each kind
// of entity by itself, so that the cost of lines, circles and texts shows
// separately. The entity count is 200,000 unless ZUMEN_DENSE_ENTITIES says
// otherwise.
//
// CairoAlone/... is the floor under the drawing of lines and circles: the very
// strokes zumen asks for (recorded once), given straight to Cairo with nothing
// of zumen in between; "merged" strokes each run of one pen as one path, and
// "fast-aa" uses Cairo's coarser antialiasing. Both of those would change the
// pictures; they show what such a change would buy.
#include <benchmark/benchmark.h>
#include <cairo.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "canvas/cairo_canvas.h"
#include "canvas/recording_canvas.h"
#include "driver/conversion.h"
#include "driver/sizing.h"
#include "tools/dense_drawing.h"

namespace zumen {
namespace {

bool LoadDense(const std::string& kinds, LoadedDrawing& d, int& w, int& h, benchmark::State& state) {
  const char* env = std::getenv("ZUMEN_DENSE_ENTITIES");
  const long total = env ? std::strtol(env, nullptr, 10) : 200000;
  const std::vector<uint8_t> bytes = bench::DenseDrawing(total, 1, kinds);
  if (!LoadDrawing(Family::Jww, bytes, "dense.jww", LoadOptions{}, d) || !d.read) {
    state.SkipWithError(("cannot read the dense drawing: " + d.error).c_str());
    return false;
  }
  double sx = 0, sy = 0;
  DotSizeAtDpi(420, 297, 300, sx, sy);
  w = static_cast<int>(sx);
  h = static_cast<int>(sy);
  return true;
}

void BM_DenseDraw(benchmark::State& state, const std::string& kinds) {
  LoadedDrawing d;
  int w = 0, h = 0;
  if (!LoadDense(kinds, d, w, h, state)) return;
  CairoCanvasOrError made = CairoCanvas::Create(w, h);
  if (!made.canvas) {
    state.SkipWithError(made.error.c_str());
    return;
  }
  const RenderOptions options;
  for (auto _ : state) {
    ConversionContext ctx;
    SetUpContext(d, options, ctx);
    DiagnosticSink diag;
    DrawOnCanvas(d, ctx, options, *made.canvas, diag);
    benchmark::DoNotOptimize(made.canvas->Pixels().data);
  }
}

enum class Alone { AsAsked, Merged, FastAntialias };

void BM_CairoAlone(benchmark::State& state, Alone how) {
  LoadedDrawing d;
  int w = 0, h = 0;
  if (!LoadDense("lc", d, w, h, state)) return;
  RecordingCanvas rec(w, h);
  {
    const RenderOptions options;
    ConversionContext ctx;
    SetUpContext(d, options, ctx);
    DiagnosticSink diag;
    DrawOnCanvas(d, ctx, options, rec, diag);
  }
  // The strokes (lines, and the polylines that circles are) in device pixels.
  struct Stroke {
    std::vector<std::pair<double, double>> pts;
    double width;
    uint32_t argb;
  };
  std::vector<Stroke> strokes;
  for (const CanvasCall& c : rec.Calls()) {
    Stroke s{{}, 0, 0};
    const CanvasState* st = nullptr;
    if (const RecLine* l = std::get_if<RecLine>(&c)) {
      st = &l->st;
      s.pts = {{l->x1, l->y1}, {l->x2, l->y2}};
    } else if (const RecPolyline* p = std::get_if<RecPolyline>(&c)) {
      st = &p->st;
      for (const FPoint& q : p->pts) s.pts.emplace_back(q.X, q.Y);
    } else {
      continue;
    }
    for (auto& [x, y] : s.pts) st->transform.Apply(x, y, x, y);
    s.width = st->strokeWidth;
    s.argb = st->strokeColor;
    strokes.push_back(std::move(s));
  }
  state.counters["strokes"] = static_cast<double>(strokes.size());
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h);
  for (auto _ : state) {
    cairo_t* cr = cairo_create(surface);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    if (how == Alone::FastAntialias) cairo_set_antialias(cr, CAIRO_ANTIALIAS_FAST);
    for (size_t i = 0; i < strokes.size(); ++i) {
      const Stroke& s = strokes[i];
      const bool samePen = i > 0 && strokes[i - 1].argb == s.argb && strokes[i - 1].width == s.width;
      if (how != Alone::Merged || !samePen) {
        if (how == Alone::Merged && i > 0) cairo_stroke(cr);
        cairo_set_source_rgba(cr, ((s.argb >> 16) & 0xFF) / 255.0, ((s.argb >> 8) & 0xFF) / 255.0, (s.argb & 0xFF) / 255.0,
                              (s.argb >> 24) / 255.0);
        cairo_set_line_width(cr, s.width);
      }
      cairo_move_to(cr, s.pts[0].first, s.pts[0].second);
      for (size_t k = 1; k < s.pts.size(); ++k) cairo_line_to(cr, s.pts[k].first, s.pts[k].second);
      if (how != Alone::Merged) cairo_stroke(cr);
    }
    cairo_stroke(cr);
    cairo_destroy(cr);
    cairo_surface_flush(surface);
  }
  cairo_surface_destroy(surface);
}

const bool registered = [] {
  for (const auto& [name, how] : {std::pair{"CairoAlone/as-asked", Alone::AsAsked},
                                  std::pair{"CairoAlone/merged", Alone::Merged},
                                  std::pair{"CairoAlone/fast-aa", Alone::FastAntialias}}) {
    benchmark::RegisterBenchmark(name, BM_CairoAlone, how)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(3);
  }
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
