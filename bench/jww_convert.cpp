// Conversion of the largest JWW drawing of the corpus at 300 dpi on A3
// (4961 x 3508 pixels), split into its three steps: reading (with the
// attribute set-up, layer states and extents), drawing onto the bitmap, and
// saving it as PNG. Nothing is registered when the corpus is absent. The
// corpus folder is ZUMEN_CORPUS_DIR from the environment, else the shared
// corpus beside the source tree.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "canvas/cairo_canvas.h"
#include "codecs/image_io.h"
#include "common/files.h"
#include "driver/conversion.h"
#include "driver/sizing.h"

namespace zumen {
namespace {

namespace fs = std::filesystem;

std::string LargestDrawing() {
  const char* env = std::getenv("ZUMEN_CORPUS_DIR");
  const fs::path dir = env ? fs::path(env) : fs::path(__FILE__).parent_path().parent_path().parent_path() / "shared/corpus";
  std::error_code ec;
  if (!fs::is_directory(dir / "jww", ec)) return {};
  std::string best;
  uintmax_t bestSize = 0;
  for (const auto& e : fs::recursive_directory_iterator(dir / "jww", ec)) {
    if (!e.is_regular_file(ec) || FamilyOfPath(e.path().string()) != Family::Jww) continue;
    const uintmax_t size = e.file_size(ec);
    if (!ec && size > bestSize) {
      bestSize = size;
      best = e.path().string();
    }
  }
  return best;
}

// A3 at 300 dpi.
void A3Size(int& w, int& h) {
  double sx = 0, sy = 0;
  DotSizeAtDpi(420, 297, 300, sx, sy);
  w = static_cast<int>(sx);
  h = static_cast<int>(sy);
}

std::unique_ptr<LoadedDrawing> Loaded(const std::string& src, benchmark::State& state) {
  auto d = std::make_unique<LoadedDrawing>();
  std::vector<uint8_t> bytes;
  if (!ReadFileBytes(src, size_t{1} << 30, bytes) || !LoadDrawing(Family::Jww, bytes, src, LoadOptions{}, *d) ||
      !d->read) {
    state.SkipWithError(("cannot read " + src + ": " + d->error).c_str());
  }
  return d;
}

// The drawing drawn on a Cairo canvas of w x h pixels.
std::unique_ptr<CairoCanvas> Drawn(const LoadedDrawing& d, int w, int h) {
  CairoCanvasOrError made = CairoCanvas::Create(w, h);
  if (!made.canvas) return nullptr;
  ConversionContext ctx;
  const RenderOptions options;
  SetUpContext(d, options, ctx);
  DiagnosticSink diag;
  DrawOnCanvas(d, ctx, options, *made.canvas, diag);
  return std::move(made.canvas);
}

void BM_JwwRead(benchmark::State& state, const std::string& src) {
  for (auto _ : state) {
    const auto d = Loaded(src, state);
    if (!d->read) break;
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(fs::file_size(src)));
}

void BM_JwwDraw(benchmark::State& state, const std::string& src) {
  const auto d = Loaded(src, state);
  int w = 0, h = 0;
  A3Size(w, h);
  for (auto _ : state) {
    auto canvas = Drawn(*d, w, h);
    if (!canvas) {
      state.SkipWithError("cannot create the canvas");
      break;
    }
    benchmark::DoNotOptimize(canvas.get());
  }
  state.counters["pixels"] = static_cast<double>(w) * h;
}

void BM_JwwSave(benchmark::State& state, const std::string& src) {
  const auto d = Loaded(src, state);
  int w = 0, h = 0;
  A3Size(w, h);
  const auto canvas = Drawn(*d, w, h);
  if (!canvas) {
    state.SkipWithError("cannot create the canvas");
    return;
  }
  const std::string out = (fs::temp_directory_path() / "zumen_bench_jww_convert.png").string();
  for (auto _ : state) {
    const ImageStatus st = SaveImageFile(canvas->Pixels(), out);
    if (!st.ok) {
      state.SkipWithError(st.message.c_str());
      break;
    }
  }
  std::error_code ec;
  state.counters["bytes"] = static_cast<double>(fs::file_size(out, ec));
  fs::remove(out, ec);
}

const bool registered = [] {
  const std::string src = LargestDrawing();
  if (src.empty()) {
    std::fprintf(stderr, "jww_convert: no JWW corpus found, nothing to measure\n");
    return false;
  }
  benchmark::RegisterBenchmark("JwwConvert/read", BM_JwwRead, src)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("JwwConvert/draw", BM_JwwDraw, src)->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("JwwConvert/save", BM_JwwSave, src)->Unit(benchmark::kMillisecond);
  return true;
}();

}  // namespace
}  // namespace zumen
