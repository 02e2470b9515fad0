#pragma once
// The handler of K4 drawings.
#include <memory>

#include "formats/family.h"

namespace zumen {

std::unique_ptr<DrawingHandler> MakeK4Handler();

}  // namespace zumen
