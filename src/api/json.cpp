// The JSON forms of what the library describes: one shape for the command
// line, the Python module and any other caller.
#include <cmath>
#include <nlohmann/json.hpp>

#include "zumen/zumen.h"

namespace zumen {

namespace {

using Json = nlohmann::ordered_json;

// Numbers that are not finite have no JSON form: they become null.
Json Number(double v) { return std::isfinite(v) ? Json(v) : Json(nullptr); }

template <typename T, typename F>
Json Optional(const std::optional<T>& v, F f) {
  return v ? f(*v) : Json(nullptr);
}

}  // namespace

std::string InfoJson(const DrawingInfo& info) {
  Json j;
  j["format"] = FormatName(info.format);
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
  j["extents"] = Optional(info.extents, [](const Box& b) {
    return Json{{"min_x", Number(b.min_x)}, {"min_y", Number(b.min_y)}, {"max_x", Number(b.max_x)},
                {"max_y", Number(b.max_y)}};
  });
  j["read_ok"] = info.read_ok;
  j["error"] = info.read_ok ? Json(nullptr) : Json(info.read_error);
  // Texts of the file are UTF-8 already; a damaged one must not stop the
  // description.
  return j.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string TextsJson(const std::vector<Text>& texts) {
  Json list = Json::array();
  for (const Text& t : texts) {
    Json j;
    j["text"] = t.text;
    j["x"] = Number(t.x);
    j["y"] = Number(t.y);
    j["height"] = Number(t.height);
    j["angle"] = Number(t.angle);
    j["vertical"] = t.vertical;
    j["box"] = {{"min_x", Number(t.box.min_x)}, {"min_y", Number(t.box.min_y)}, {"max_x", Number(t.box.max_x)},
                {"max_y", Number(t.box.max_y)}};
    j["layer"] = t.layer;
    j["block_path"] = t.block_path;
    list.push_back(std::move(j));
  }
  return list.dump(-1, ' ', false, Json::error_handler_t::replace);
}

std::string LayersJson(const std::vector<Layer>& layers) {
  Json list = Json::array();
  for (const Layer& l : layers) {
    const char* state = l.state == LayerState::Hidden ? "hidden" : l.state == LayerState::DisplayOnly ? "display-only" : "normal";
    list.push_back(Json{{"number", l.number}, {"group", l.group}, {"name", l.name}, {"group_name", l.group_name},
                        {"state", state}, {"items", l.items}});
  }
  return list.dump(-1, ' ', false, Json::error_handler_t::replace);
}

}  // namespace zumen
