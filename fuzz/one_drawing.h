#pragma once
// One fuzz input through the public door: the first byte chooses the format,
// the rest is opened as a drawing held in memory and, when it opens, drawn on
// the recording canvas at a small size with and without the frame and the
// auxiliary lines. Shared by the fuzz target and by the test that replays the
// saved crash inputs, so both run exactly the same code.
#include <cstddef>
#include <cstdint>
#include <span>

#include "api/impl.h"
#include "canvas/recording_canvas.h"
#include "context/context.h"
#include "driver/conversion.h"
#include "zumen/zumen.h"

namespace zumen::fuzz {

inline void OneDrawing(const uint8_t* data, size_t size) {
  if (size == 0) return;
  static constexpr Format kFormats[] = {Format::Jww, Format::Jws, Format::Jwc, Format::Jwk, Format::K4};
  LoadOptions load;
  load.format = kFormats[data[0] % 5];
  load.max_embedded_image_bytes = 1 << 20;
  const Opened opened = Drawing::OpenBytes(std::span<const uint8_t>(data + 1, size - 1), load);
  if (!opened) return;
  const DrawingInfo& info = opened.drawing.Info();
  if (info.objects_read < 0 || info.block_instances_cut < 0) __builtin_trap();
  RenderOptions options;
  options.width = 160;
  options.height = 120;
  options.frame = (data[0] & 8) == 0;
  options.auxiliary_lines = (data[0] & 16) == 0;
  RecordingCanvas canvas(options.width, options.height);
  ConversionContext ctx;
  const LoadedDrawing& d = opened.drawing.impl().loaded;
  SetUpContext(d, options, ctx);
  DiagnosticSink diag;
  DrawOnCanvas(d, ctx, options, canvas, diag);
}

}  // namespace zumen::fuzz
