// Arbitrary bytes through the public door: opened as a drawing of the format
// the first byte chooses, then drawn on the recording canvas.
#include "one_drawing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zumen::fuzz::OneDrawing(data, size);
  return 0;
}
