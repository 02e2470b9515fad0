// Feeds arbitrary bytes to the JWC and JWK readers held in memory, then runs
// what the driver runs on a loaded drawing: layer states, extents and the
// drawing pass on a recording canvas. The first byte chooses the format.
#include <cstddef>
#include <cstdint>
#include <span>

#include "canvas/recording_canvas.h"
#include "context/context.h"
#include "formats/jwc/jwc_data.h"
#include "formats/jwc/jwk_data.h"
#include "renderer/graph2.h"

namespace {

template <typename Data>
void Run(Data& d, std::span<const uint8_t> in) {
  d.FileIn(in);
  // The arrays hold exactly the records read.
  if (d.EntLine.size() != static_cast<size_t>(d.lineN) || d.EntArc.size() != static_cast<size_t>(d.arcN) ||
      d.EntMoji.size() != static_cast<size_t>(d.mojiN) || d.EntTen.size() != static_cast<size_t>(d.tenN))
    __builtin_trap();
  zumen::ConversionContext ctx;
  ctx.GAtt.SetDisplayMode(true);
  ctx.GAtt.SetDispHojo(1);
  ctx.GAtt.SetDispKijun(1);
  d.SetGAttLayer(ctx);
  d.GetMinMaxZahyo(ctx);
  ctx.DotW = ctx.DotH = 200;
  ctx.DispX1 = 0, ctx.DispY1 = 0, ctx.DispX2 = 100, ctx.DispY2 = 100, ctx.DispScale = 2;
  zumen::RecordingCanvas canvas(200, 200);
  zumen::TGraph2 g(ctx, canvas);
  d.GLDrawALL(g, ctx);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::span<const uint8_t> in(data + 1, size - 1);
  if (data[0] & 1) {
    zumen::TJwkData k;
    Run(k, in);
  } else {
    zumen::TJwcData c;
    Run(c, in);
  }
  return 0;
}
