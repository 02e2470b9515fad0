#pragma once
// `zumen text`: the texts drawings show, for people or as JSON.
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "conversion.h"

namespace zumen_cli {

struct TextSettings {
  bool recursive = false;
  bool json = false;
  zumen::LoadOptions load;                // load.format: --from, for sources named by the user
  std::optional<std::vector<int>> layers;  // --layers: the layers whose texts are listed
};

// One text as a line of tab-separated fields: source, layer as "G-L" (hex),
// x, y, height, angle, block path ("/" between the names, "-" for none) and
// the text (control characters as spaces).
std::string TextLine(const std::string& source, const zumen::Text& t);

// Lists the texts of the drawings the operands name (files, folders, "-"):
// one line per text, or one JSON object per drawing on a line, {"source",
// "status", "texts": [...]} (with "error" instead of texts when it could not
// be read). Failures and warnings go to err. Returns the exit status: 1 if
// any drawing could not be read, else 3 if any was read only in part, else 0.
int RunText(const std::vector<std::string>& operands, const TextSettings& settings, std::ostream& out,
            std::ostream& err);

}  // namespace zumen_cli
