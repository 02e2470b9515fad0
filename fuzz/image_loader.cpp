// Feeds arbitrary bytes to the image decoders (BMP, PNG, JPEG, GIF, TIFF,
// recognised by content), as the renderers do for placed images and K4
// bitmap fills. A decoded image must have the size it claims.
#include <cstddef>
#include <cstdint>
#include <span>

#include "codecs/image_io.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zumen::LoadedImage img = zumen::LoadImageMemory(std::span<const uint8_t>(data, size));
  if (img.ok()) {
    const auto& b = img.bitmap;
    if (b.width <= 0 || b.height <= 0 ||
        b.pixels.size() != static_cast<size_t>(b.width) * static_cast<size_t>(b.height))
      __builtin_trap();
  }
  return 0;
}
