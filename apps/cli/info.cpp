#include "info.h"

#include <ostream>

#include "arguments.h"
#include "info_json.h"
#include "json_line.h"
#include "sources.h"

namespace zumen_cli {

using Json = nlohmann::ordered_json;

Json DescriptionJson(const std::string& source, const zumen::Opened& opened) {
  Json j;
  j["source"] = source;
  if (!opened) {
    j["status"] = OutcomeName(Outcome::Failed);
    j["exit_status"] = ExitStatusOf(Outcome::Failed);
    j["error"] = opened.status.message;
    return j;
  }
  const std::vector<zumen::Diagnostic>& warnings = opened.drawing.Diagnostics();
  const Outcome outcome = OutcomeOf(warnings);
  j["status"] = OutcomeName(outcome);
  j["exit_status"] = ExitStatusOf(outcome);
  const Json fields = zumen_cli::InfoJson(opened.drawing.Info());
  for (const auto& [key, value] : fields.items()) j[key] = value;
  j["warnings"] = WarningsJson(warnings);
  return j;
}

int RunInfo(const std::vector<std::string>& operands, const InfoSettings& settings, std::ostream& out,
            std::ostream& err) {
  const std::vector<Source> sources = CollectSourcesTelling(operands, settings.recursive, err);
  std::vector<Outcome> outcomes;
  bool first = true;
  for (const Source& s : sources) {
    const zumen::Opened opened = OpenCollected(s, settings.load);
    const Json j = DescriptionJson(s.path, opened);
    if (!opened) {
      err << "zumen: " << opened.status.message << '\n';
      outcomes.push_back(Outcome::Failed);
      if (settings.json) out << JsonLine(j) << '\n';
      continue;
    }
    const auto& warnings = opened.drawing.Diagnostics();
    err << WarningLines(s.path, warnings);
    outcomes.push_back(OutcomeOf(warnings));
    if (settings.json) {
      out << JsonLine(j) << '\n';
    } else {
      Json shown = j;
      shown.erase("warnings");  // told on standard error, one line each
      shown.erase("exit_status");
      if (!first) out << '\n';
      out << TextLines(shown);
    }
    out << std::flush;
    first = false;
  }
  return ExitStatusOf(outcomes);
}

}  // namespace zumen_cli
