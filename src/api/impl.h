#pragma once
// What a public Drawing holds: the drawing as the driver read it.
#include "driver/conversion.h"
#include "zumen/zumen.h"

namespace zumen {

struct Drawing::Impl {
  LoadedDrawing loaded;
};

}  // namespace zumen
