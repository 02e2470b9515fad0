#include "text.h"

#include <cstdio>
#include <ostream>

#include "arguments.h"
#include "json_line.h"
#include "sources.h"

namespace zumen_cli {

using Json = nlohmann::ordered_json;

namespace {

std::string Number(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%.6g", v);
  return b;
}

}  // namespace

std::string TextLine(const std::string& source, const zumen::Text& t) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string path;
  for (const std::string& name : t.block_path) path += (path.empty() ? "" : "/") + name;
  std::string text = t.text;
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  std::string line = source;
  line += '\t';
  line += kHex[(t.layer >> 4) & 15];
  line += '-';
  line += kHex[t.layer & 15];
  for (const double v : {t.x, t.y, t.height, t.angle}) line += '\t' + Number(v);
  line += '\t' + (path.empty() ? std::string("-") : path) + '\t' + text;
  return line;
}

int RunText(const std::vector<std::string>& operands, const TextSettings& settings, std::ostream& out,
            std::ostream& err) {
  const std::vector<Source> sources = CollectSourcesTelling(operands, settings.recursive, err);
  zumen::RenderOptions options = BaseOptions();
  options.layers = settings.layers;
  std::vector<Outcome> outcomes;
  for (const Source& s : sources) {
    const zumen::Opened opened = OpenCollected(s, settings.load);
    Json j;
    j["source"] = s.path;
    if (!opened) {
      err << "zumen: " << opened.status.message << '\n';
      outcomes.push_back(Outcome::Failed);
      j["status"] = OutcomeName(Outcome::Failed);
      j["error"] = opened.status.message;
      if (settings.json) out << JsonLine(j) << '\n';
      continue;
    }
    const auto& warnings = opened.drawing.Diagnostics();
    err << WarningLines(s.path, warnings);
    outcomes.push_back(OutcomeOf(warnings));
    const std::vector<zumen::Text> texts = opened.drawing.Texts(options);
    if (settings.json) {
      j["status"] = OutcomeName(outcomes.back());
      j["texts"] = Json::parse(zumen::TextsJson(texts));
      out << JsonLine(j) << '\n';
    } else {
      for (const zumen::Text& t : texts) out << TextLine(s.path, t) << '\n';
    }
    out << std::flush;
  }
  return ExitStatusOf(outcomes);
}

}  // namespace zumen_cli
