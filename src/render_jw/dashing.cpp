// TGraph2 dashing: line types are cut into pieces in drawing units so that
// dashes keep their length on paper whatever the output resolution.
#include <cmath>

#include "render_jw/graph2.h"

namespace zumen {

void TGraph2::GLSetDT() {
  LastLay = -1;
  LastTyp = -1;
  LastX = 0;
  LastY = 0;
  LastSeg = 0;
  LastLen = 0;
}

}  // namespace zumen
