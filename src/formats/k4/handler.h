#pragma once
// The handler of K4 drawings.
#include <memory>

#include "context/handler.h"

namespace zumen {

std::unique_ptr<DrawingHandler> MakeK4Handler();

}  // namespace zumen
