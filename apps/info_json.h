#pragma once
// A drawing's description as JSON, and as "key: value" lines for people.
#include <nlohmann/json.hpp>
#include <string>

#include "zumen/zumen.h"

namespace zumen_cli {

// The library's description (zumen::InfoJson) as an object to add fields to.
nlohmann::ordered_json InfoJson(const zumen::DrawingInfo& info);
// One "key: value" line per leaf, nested keys joined by '.', null as "none".
std::string TextLines(const nlohmann::ordered_json& j);

}  // namespace zumen_cli
