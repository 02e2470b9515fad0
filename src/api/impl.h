#pragma once
// What a public Drawing holds: the drawing as the driver read it.
#include "driver/conversion.h"
#include "output/target.h"
#include "zumen/zumen.h"

namespace zumen {

struct Drawing::Impl {
  LoadedDrawing loaded;
};

// Render with the bands chosen (Render: the defaults); tests draw small
// pictures in bands through it.
RenderResult RenderWith(const Drawing& d, const RenderOptions& options, const Output& output, const Banding& banding);

}  // namespace zumen
