#include "request_options.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <set>
#include <sstream>

#include "cli/arguments.h"
#include "cli/convert_command.h"

namespace zumen_serve {

namespace {

// Parameters each endpoint takes.
const std::set<std::string> kDrawingParams{"name", "from", "timeout"};
const std::set<std::string> kTextParams{"name", "from", "layers", "timeout"};
const std::set<std::string> kConvertParams{"name",  "from",       "format",  "size",   "dpi",    "fit",    "background",
                                           "frame", "monochrome", "quality", "layers", "timeout"};

std::optional<bool> Flag(const std::string& v) {
  if (v == "1" || v == "true" || v == "yes" || v == "on") return true;
  if (v == "0" || v == "false" || v == "no" || v == "off") return false;
  return std::nullopt;
}

}  // namespace

bool ParseLayers(const std::string& text, std::vector<int>& layers) {
  layers.clear();
  if (text.empty()) return true;
  std::set<int> seen;
  std::stringstream parts(text);
  for (std::string part; std::getline(parts, part, ',');) {
    const size_t dash = part.find('-');
    int low = 0, high = 0;
    const auto number = [](const std::string& s, int& v) {
      const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
      return !s.empty() && ec == std::errc() && end == s.data() + s.size() && v >= 0 && v <= 255;
    };
    if (dash == std::string::npos) {
      if (!number(part, low)) return false;
      high = low;
    } else if (!number(part.substr(0, dash), low) || !number(part.substr(dash + 1), high) || high < low) {
      return false;
    }
    for (int n = low; n <= high; ++n) seen.insert(n);
  }
  if (!text.empty() && text.back() == ',') return false;
  layers.assign(seen.begin(), seen.end());
  return true;
}

std::string SafeStem(const std::string& name) {
  std::string base = name.substr(name.find_last_of("/\\") == std::string::npos ? 0 : name.find_last_of("/\\") + 1);
  if (const size_t dot = base.rfind('.'); dot != std::string::npos && dot > 0) base.resize(dot);
  for (char& c : base) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '"' || c == '\\' || c == ';') c = '_';
  }
  if (base.empty() || base == "." || base == "..") return "drawing";
  return base;
}

const char* MediaType(zumen::OutputType t) {
  switch (t) {
    case zumen::OutputType::Bmp: return "image/bmp";
    case zumen::OutputType::Png: return "image/png";
    case zumen::OutputType::Jpeg: return "image/jpeg";
    case zumen::OutputType::Gif: return "image/gif";
    case zumen::OutputType::Tiff: return "image/tiff";
    case zumen::OutputType::Webp: return "image/webp";
    case zumen::OutputType::Svg: return "image/svg+xml";
    case zumen::OutputType::Pdf: return "application/pdf";
    case zumen::OutputType::Dxf: return "image/vnd.dxf";
  }
  return "application/octet-stream";
}

std::string MakeRequestSettings(const std::multimap<std::string, std::string>& params, const std::string& which,
                                const ServiceLimits& limits, RequestSettings& s) {
  const std::set<std::string>& known = which == "convert" ? kConvertParams : which == "text" ? kTextParams : kDrawingParams;
  for (const auto& [key, value] : params) {
    if (!known.count(key)) return "unknown parameter \"" + key + "\" for /v1/" + which;
    if (params.count(key) > 1) return "parameter \"" + key + "\" is given more than once";
  }
  const auto get = [&](const char* key) -> std::optional<std::string> {
    const auto it = params.find(key);
    if (it == params.end()) return std::nullopt;
    return it->second;
  };
  // Each value is checked by the command line's own check of the option
  // of the same meaning, so the messages are the command's too.
  const auto check = [&](const char* key, std::string (*fn)(const std::string&)) -> std::string {
    const auto v = get(key);
    if (!v) return {};
    const std::string why = fn(*v);
    return why.empty() ? why : std::string(key) + ": " + why;
  };
  zumen_cli::ConvertArgs a;
  a.max_pixels = limits.max_pixels;
  a.max_side = limits.max_side;
  a.threads = limits.threads;
  for (const auto& [key, fn] : std::initializer_list<std::pair<const char*, std::string (*)(const std::string&)>>{
           {"format", zumen_cli::CheckOutputType},
           {"from", zumen_cli::CheckFormat},
           {"dpi", zumen_cli::CheckDpi},
           {"background", zumen_cli::CheckBackground},
           {"fit", zumen_cli::CheckFit},
           {"quality", zumen_cli::CheckQuality}}) {
    if (std::string why = check(key, fn); !why.empty()) return why;
  }
  if (const auto t = get("timeout")) {
    char* end = nullptr;
    const double v = std::strtod(t->c_str(), &end);
    if (t->empty() || *end != '\0' || !std::isfinite(v) || v < 0.1 || v > 86400) {
      return "timeout: takes seconds from 0.1 up (at most the service's own budget), not \"" + *t + "\"";
    }
    s.timeout = v;
  }
  a.format = get("format").value_or("png");
  a.from = get("from");
  a.size = get("size");
  if (const auto dpi = get("dpi")) a.dpi = std::stod(*dpi);
  if (a.size && a.dpi) return "size and dpi exclude each other: give one";
  a.background = get("background");
  a.fit = get("fit");
  if (const auto q = get("quality")) a.quality = std::stoi(*q);
  for (const auto& [key, target] : {std::pair<const char*, bool*>{"frame", &a.no_frame}, {"monochrome", &a.monochrome}}) {
    if (const auto v = get(key)) {
      const std::optional<bool> on = Flag(*v);
      if (!on) return std::string(key) + ": takes true or false, not \"" + *v + "\"";
      *target = std::string(key) == "frame" ? !*on : *on;
    }
  }
  std::ostringstream err;
  if (zumen_cli::MakeSettings(a, s.convert, err)) {
    std::string why = err.str();
    if (const size_t p = why.find("--size"); p != std::string::npos) why.replace(p, 6, "size");
    if (why.rfind("zumen: ", 0) == 0) why.erase(0, 7);
    while (!why.empty() && why.back() == '\n') why.pop_back();
    return why;
  }
  if (a.quality && !zumen_cli::TakesQuality(*s.convert.output)) {
    return std::string("quality applies to JPEG and WebP pictures, not ") + zumen::OutputTypeName(*s.convert.output);
  }
  if (const auto layers = get("layers")) {
    std::vector<int> numbers;
    if (!ParseLayers(*layers, numbers)) {
      return "layers: takes layer numbers 0 to 255 and ranges separated by commas (such as 0-15,32), not \"" + *layers +
             "\"";
    }
    s.convert.render.layers = std::move(numbers);
  }
  // The name tells the format by its extension and names the answer; it
  // never names a file on the server: the drawing is opened from memory and
  // its name is not given to the library.
  if (const auto name = get("name")) {
    s.stem = SafeStem(*name);
    if (!s.convert.load.format) s.convert.load.format = zumen::FormatFromName(*name);
  }
  return {};
}

}  // namespace zumen_serve
