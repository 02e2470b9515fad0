#include "info_json.h"

#include <cmath>

namespace zumen_cli {

namespace {

using Json = nlohmann::ordered_json;

// Numbers that are not finite have no JSON form: they become null.
Json Number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

template <typename T, typename F>
Json Optional(const std::optional<T>& v, F f) {
  return v ? f(*v) : Json(nullptr);
}

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

Json InfoJson(const zumen::DrawingInfo& info) {
  Json j;
  j["format"] = zumen::FormatName(info.format);
  j["version"] = Optional(info.version, [](int v) { return Json(v); });
  j["title"] = info.title.empty() ? Json(nullptr) : Json(info.title);
  j["paper"] = {{"code", Optional(info.paper_code, [](int v) { return Json(v); })},
                {"width_mm", Number(info.paper_width_mm)},
                {"height_mm", Number(info.paper_height_mm)}};
  j["objects"] = {{"announced", info.objects_announced < 0 ? Json(nullptr) : Json(info.objects_announced)},
                  {"read", info.objects_read}};
  Json entities = Json::object();
  for (const auto& [kind, n] : info.entities) entities[kind] = n;
  j["entities"] = entities;
  j["blocks"] = {{"definitions", info.block_definitions},
                 {"instances", info.block_instances},
                 {"tree_nodes", info.block_tree_nodes},
                 {"work", info.block_tree_work},
                 {"instances_cut", info.block_instances_cut}};
  j["images"] = info.images;
  j["scale"] = Optional(info.scale, [](double v) { return Number(v); });
  j["base_point"] = Optional(info.base_point, [](const std::pair<double, double>& p) {
    return Json{{"x", Number(p.first)}, {"y", Number(p.second)}};
  });
  j["extents"] = Optional(info.extents, [](const zumen::Box& b) {
    return Json{{"min_x", Number(b.min_x)}, {"min_y", Number(b.min_y)}, {"max_x", Number(b.max_x)},
                {"max_y", Number(b.max_y)}};
  });
  j["read_ok"] = info.read_ok;
  j["error"] = info.read_ok ? Json(nullptr) : Json(info.read_error);
  return j;
}

std::string TextLines(const Json& j) {
  std::string out;
  Flatten(j, "", out);
  return out;
}

}  // namespace zumen_cli
