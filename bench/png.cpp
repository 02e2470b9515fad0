// PNG saving of a large line drawing (A3 at 300 dpi) under several zlib
// levels, strategies and row filters; the "bytes" counter is the file size.
// The defaults of PngSettings come from this comparison. Then the deflate
// engines alone on the same image's "up"-filtered rows (zlib, libdeflate,
// ISA-L's igzip, on one core), which chose igzip for the project's own PNG
// writer (Png: all cores). Level 1 is the fastest with the smallest files,
// but on AVX-512 processors its bytes change from one process to the next;
// level 3 is the fastest of the levels that always give the same bytes
// (corpus at A3 300 dpi: level 0 0.97x the time of level 1 with 1.82x the
// bytes, level 3 1.20x the time with 1.25x the bytes, zlib 1 1.63x with 1.32x).
#include <benchmark/benchmark.h>
#include <isa-l/igzip_lib.h>
#include <libdeflate.h>
#include <zlib.h>

#include <cmath>
#include <numbers>

#include "canvas/cairo_canvas.h"
#include "codecs/image_io.h"

namespace zumen {
namespace {

constexpr int kWidth = 4961;
constexpr int kHeight = 3508;

// A drawing-like picture: white paper, a frame, a grid of thin lines, walls of
// thicker ones, circles, dashed lines and a few coloured fills, antialiased.
const CairoCanvas& Drawing() {
  static const std::unique_ptr<CairoCanvas> canvas = [] {
    CairoCanvasOrError r = CairoCanvas::Create(kWidth, kHeight);
    CairoCanvas& c = *r.canvas;
    c.Clear(0xFFFFFFFF);
    c.SetStroke(0xFF0000FF, 1, DashStyle::Solid);
    c.StrokeRect(120, 120, kWidth - 120, kHeight - 120, 1);
    uint32_t seed = 7;
    auto next = [&seed](int range) {
      seed = seed * 1664525u + 1013904223u;
      return static_cast<double>((seed >> 8) % static_cast<uint32_t>(range));
    };
    c.SetStroke(0xFF808080, 1, DashStyle::DashDot);
    for (int x = 300; x < kWidth - 200; x += 450) c.StrokeLine(x, 200, x, kHeight - 200, 1);
    for (int y = 300; y < kHeight - 200; y += 450) c.StrokeLine(200, y, kWidth - 200, y, 1);
    for (int i = 0; i < 3000; ++i) {
      const double x = 200 + next(kWidth - 400), y = 200 + next(kHeight - 400);
      const bool horizontal = i % 2 == 0;
      const double len = 20 + next(600);
      c.SetStroke(i % 7 == 0 ? 0xFFFF0000 : 0xFF000000, 1 + next(4), i % 11 == 0 ? DashStyle::Dash : DashStyle::Solid);
      if (i % 13 == 0) {
        c.StrokeLine(x, y, x + len * 0.7, y + len * 0.5, 1);
      } else {
        c.StrokeLine(x, y, horizontal ? x + len : x, horizontal ? y : y + len, 1);
      }
    }
    c.SetStroke(0xFF000000, 2, DashStyle::Solid);
    for (int i = 0; i < 300; ++i) {
      const double cx = 300 + next(kWidth - 600), cy = 300 + next(kHeight - 600), rad = 10 + next(150);
      std::vector<FPoint> pts;
      for (int k = 0; k <= 72; ++k) {
        const double a = k * 2 * std::numbers::pi / 72;
        pts.push_back({static_cast<float>(cx + rad * std::cos(a)), static_cast<float>(cy + rad * std::sin(a))});
      }
      c.StrokePolyline(pts, 1);
    }
    for (int i = 0; i < 40; ++i) {
      const float x = static_cast<float>(300 + next(kWidth - 800)), y = static_cast<float>(300 + next(kHeight - 800));
      c.SetFillSolid(i % 2 ? 0xFFC0E0FF : 0xFFFFE0C0);
      c.FillPolygon({{x, y}, {x + 300, y}, {x + 300, y + 200}, {x, y + 200}}, 1);
    }
    return std::move(r.canvas);
  }();
  return *canvas;
}

void BM_SavePng(benchmark::State& state, PngSettings settings) {
  const PixelView view = const_cast<CairoCanvas&>(Drawing()).Pixels();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    const ImageStatus st = EncodePng(view, settings, out);
    if (!st) state.SkipWithError(st.message.c_str());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(out.size());
}

void BM_SaveOtherFormats(benchmark::State& state, ImageFormat format) {
  const PixelView view = const_cast<CairoCanvas&>(Drawing()).Pixels();
  std::vector<uint8_t> out;
  for (auto _ : state) {
    const ImageStatus st = EncodeImage(view, format, out);
    if (!st) state.SkipWithError(st.message.c_str());
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(out.size());
}

// The image as the PNG writer deflates it: RGB rows, each after its filter
// byte, "up"-filtered.
const std::vector<uint8_t>& FilteredRows() {
  static const std::vector<uint8_t> rows = [] {
    const PixelView v = const_cast<CairoCanvas&>(Drawing()).Pixels();
    const size_t rowBytes = static_cast<size_t>(v.width) * 3;
    std::vector<uint8_t> out, prev(rowBytes, 0), cur(rowBytes);
    for (int y = 0; y < v.height; ++y) {
      StraightBytes(v.row(y), v.width, true, false, cur.data());
      out.push_back(2);
      for (size_t k = 0; k < rowBytes; ++k) out.push_back(static_cast<uint8_t>(cur[k] - prev[k]));
      prev.swap(cur);
    }
    return out;
  }();
  return rows;
}

enum class Engine { Zlib, Libdeflate, Igzip };

void BM_Deflate(benchmark::State& state, Engine engine, int level) {
  const std::vector<uint8_t>& in = FilteredRows();
  std::vector<uint8_t> out(in.size() + in.size() / 8 + (1 << 20));
  size_t size = 0;
  for (auto _ : state) {
    if (engine == Engine::Zlib) {
      uLongf n = static_cast<uLongf>(out.size());
      compress2(out.data(), &n, in.data(), static_cast<uLong>(in.size()), level);
      size = n;
    } else if (engine == Engine::Libdeflate) {
      libdeflate_compressor* c = libdeflate_alloc_compressor(level);
      size = libdeflate_zlib_compress(c, in.data(), in.size(), out.data(), out.size());
      libdeflate_free_compressor(c);
    } else {
      static constexpr uint32_t kLevelBuf[] = {ISAL_DEF_LVL0_DEFAULT, ISAL_DEF_LVL1_DEFAULT, ISAL_DEF_LVL2_DEFAULT,
                                               ISAL_DEF_LVL3_DEFAULT};
      std::vector<uint8_t> levelBuf(kLevelBuf[level]);
      isal_zstream z;
      isal_deflate_init(&z);
      z.level = static_cast<uint32_t>(level);
      z.level_buf = levelBuf.data();
      z.level_buf_size = static_cast<uint32_t>(levelBuf.size());
      z.gzip_flag = IGZIP_ZLIB;
      z.end_of_stream = 1;
      z.next_in = const_cast<uint8_t*>(in.data());
      z.avail_in = static_cast<uint32_t>(in.size());
      z.next_out = out.data();
      z.avail_out = static_cast<uint32_t>(out.size());
      isal_deflate(&z);
      size = z.total_out;
    }
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["bytes"] = static_cast<double>(size);
}

BENCHMARK_CAPTURE(BM_Deflate, Zlib3, Engine::Zlib, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Deflate, Zlib6, Engine::Zlib, 6)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Deflate, Libdeflate1, Engine::Libdeflate, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Deflate, Libdeflate3, Engine::Libdeflate, 3)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Deflate, Libdeflate6, Engine::Libdeflate, 6)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Deflate, Igzip1, Engine::Igzip, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Deflate, Igzip2, Engine::Igzip, 2)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Deflate, Igzip3, Engine::Igzip, 3)->Unit(benchmark::kMillisecond);

#define PNG_CASE(name, level, strategy, filter) \
  BENCHMARK_CAPTURE(BM_SavePng, name, PngSettings{level, strategy, PngFilter::filter})->Unit(benchmark::kMillisecond)

PNG_CASE(L1_None, 1, Z_DEFAULT_STRATEGY, None);
PNG_CASE(L1_Sub, 1, Z_DEFAULT_STRATEGY, Sub);
PNG_CASE(L1_Up, 1, Z_DEFAULT_STRATEGY, Up);
PNG_CASE(L1_Paeth, 1, Z_DEFAULT_STRATEGY, Paeth);
PNG_CASE(L1_Adaptive, 1, Z_DEFAULT_STRATEGY, Adaptive);
PNG_CASE(L2_Sub, 2, Z_DEFAULT_STRATEGY, Sub);
PNG_CASE(L3_Sub, 3, Z_DEFAULT_STRATEGY, Sub);
PNG_CASE(L2_Up, 2, Z_DEFAULT_STRATEGY, Up);
PNG_CASE(L3_Up, 3, Z_DEFAULT_STRATEGY, Up);
PNG_CASE(L4_Up, 4, Z_DEFAULT_STRATEGY, Up);
PNG_CASE(L3_Adaptive, 3, Z_DEFAULT_STRATEGY, Adaptive);
PNG_CASE(L6_Adaptive_libpng_default, 6, Z_DEFAULT_STRATEGY, Adaptive);
PNG_CASE(RLE_None, 1, Z_RLE, None);
PNG_CASE(RLE_Sub, 1, Z_RLE, Sub);
PNG_CASE(RLE_Up, 1, Z_RLE, Up);
PNG_CASE(RLE_Adaptive, 1, Z_RLE, Adaptive);
PNG_CASE(Filtered_L3_Adaptive, 3, Z_FILTERED, Adaptive);
BENCHMARK_CAPTURE(BM_SavePng, Default, PngSettings{})->Unit(benchmark::kMillisecond);

BENCHMARK_CAPTURE(BM_SaveOtherFormats, Png, ImageFormat::Png)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveOtherFormats, Bmp, ImageFormat::Bmp)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveOtherFormats, Jpeg, ImageFormat::Jpeg)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveOtherFormats, Gif, ImageFormat::Gif)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_SaveOtherFormats, Tiff, ImageFormat::Tiff)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zumen
