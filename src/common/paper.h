#pragma once
// Paper sizes of the paper codes that JWW and JWC drawings carry.
#include <cstdint>

namespace zumen {

struct PaperSize {
  double width = 1189;
  double height = 841;
};

// Paper frame in millimetres of a JWW or JWC paper code; codes without a
// size of their own give A0.
PaperSize PaperSizeOfCode(int32_t code);

}  // namespace zumen
