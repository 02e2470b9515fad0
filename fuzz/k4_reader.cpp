// Feeds arbitrary bytes to the K4 reader held in memory.
#include <cstddef>
#include <cstdint>
#include <span>

#include "formats/k4/k4data.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  zumen::TK4Data k;
  k.MemIn(std::span<const uint8_t>(data, size));
  // Every index entry must point into its kind's array.
  for (int32_t i = 0; i < k.EntN; ++i) {
    if (k.Ent[static_cast<size_t>(i)].ENo < 0) __builtin_trap();
  }
  return 0;
}
