#pragma once
// The query parameters of a conversion request, checked and turned into the
// settings `zumen convert` would use for the same options: they go through
// the command line's own ConvertArgs and MakeSettings, so that the service and
// the command give the same bytes for the same options.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "cli/conversion.h"

namespace zumen_serve {

// What the service itself fixes for every request: the limits on pictures
// and the threads one picture may use.
struct ServiceLimits {
  unsigned long long max_pixels = 0;  // 0: the library's default
  unsigned long long max_side = 0;    // 0: the library's default
  int threads = 1;
};

struct RequestSettings {
  zumen_cli::ConvertSettings convert;  // render, load (format), output type
  std::string stem = "drawing";        // for the answer's file name
  std::optional<double> timeout;       // a shorter time budget asked for, in seconds
};

// Checks the parameters and fills the settings; on a bad parameter answers
// the message (one line, naming the parameter), else empty. `which` names the
// endpoint: "convert" takes every picture option, "info" and "text" only the
// drawing's name and format (and "text" the layers).
std::string MakeRequestSettings(const std::multimap<std::string, std::string>& params, const std::string& which,
                                const ServiceLimits& limits, RequestSettings& settings);

// "0-15,32,40": layer numbers 0..255, single or as ranges; empty text is no
// layer at all. False for anything else.
bool ParseLayers(const std::string& text, std::vector<int>& layers);

// The picture type's media type ("image/png", ...).
const char* MediaType(zumen::OutputType t);

// A file name's stem made safe for a Content-Disposition header: the last
// part of a path, its extension dropped, control characters, quotes and
// backslashes replaced; "drawing" when nothing is left.
std::string SafeStem(const std::string& name);

}  // namespace zumen_serve
