#pragma once
// `zumen info`: what drawings hold, for people or as JSON.
#include <iosfwd>
#include <string>
#include <vector>

#include "conversion.h"

namespace zumen_cli {

struct InfoSettings {
  bool recursive = false;
  bool json = false;
  zumen::LoadOptions load;  // load.format: --from, for sources named by the user
};

// Describes the drawings the operands name (files, folders, "-"): as
// "key: value" lines, a blank line between drawings, or one JSON object per
// drawing on a line. Failures and warnings go to err. Returns the exit
// status: 1 if any drawing could not be read, else 3 if any was read (or
// would be drawn) only in part, else 0.
int RunInfo(const std::vector<std::string>& operands, const InfoSettings& settings, std::ostream& out,
            std::ostream& err);

// One drawing's description: source, status, exit_status, the drawing's
// fields (format, version, paper, objects, entities, blocks, images, extents,
// read_ok, error) and warnings.
nlohmann::ordered_json DescriptionJson(const std::string& source, const zumen::Opened& opened);

}  // namespace zumen_cli
