#pragma once
// The handlers of JWW drawings and JWS symbols.
#include <memory>

#include "formats/family.h"

namespace zumen {

std::unique_ptr<DrawingHandler> MakeJwwHandler();
std::unique_ptr<DrawingHandler> MakeJwsHandler();

}  // namespace zumen
