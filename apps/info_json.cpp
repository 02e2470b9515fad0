#include "info_json.h"

namespace zumen_cli {

namespace {

using Json = nlohmann::ordered_json;

void Flatten(const Json& j, const std::string& prefix, std::string& out) {
  if (j.is_object()) {
    for (const auto& [k, v] : j.items()) Flatten(v, prefix.empty() ? k : prefix + "." + k, out);
    return;
  }
  out += prefix + ": ";
  if (j.is_null()) out += "none";
  else if (j.is_string()) out += j.get<std::string>();
  else out += j.dump();
  out += '\n';
}

}  // namespace

Json InfoJson(const zumen::DrawingInfo& info) { return Json::parse(zumen::InfoJson(info)); }

std::string TextLines(const Json& j) {
  std::string out;
  Flatten(j, "", out);
  return out;
}

}  // namespace zumen_cli
