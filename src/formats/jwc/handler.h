#pragma once
// The handlers of JWC drawings and JWK symbols.
#include <memory>

#include "formats/family.h"

namespace zumen {

std::unique_ptr<DrawingHandler> MakeJwcHandler();
std::unique_ptr<DrawingHandler> MakeJwkHandler();

}  // namespace zumen
