// Feeds arbitrary bytes to the K4 reader held in memory, then draws what was
// read on a recording canvas (images through files are left out: no
// temporary folder is given).
#include <cstddef>
#include <cstdint>
#include <span>

#include "canvas/recording_canvas.h"
#include "context/context.h"
#include "formats/k4/k4data.h"
#include "renderer_k4/graph.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zumen::TK4Data k;
  k.MemIn(std::span<const uint8_t>(data, size));
  zumen::ConversionContext ctx;
  ctx.DotW = ctx.DotH = 200;
  ctx.DispScale = 0.5;
  ctx.DispX1 = ctx.DispY1 = 0;
  ctx.DispX2 = ctx.DispY2 = 400;
  zumen::RecordingCanvas canvas(200, 200);
  zumen::TGraph gra(ctx, canvas);
  zumen::TK4DrawModes modes;
  modes.DispMode = (size & 1) != 0;  // both colour schemes
  k.GLDrawALL(gra, ctx, modes);
  return 0;
}
