#pragma once
// JSON objects as lines of text, whatever bytes their strings hold.
#include <nlohmann/json.hpp>
#include <string>

namespace zumen_cli {

// j in one line. Strings that are UTF-8 appear as they are; a byte that is
// not part of UTF-8 (a file name in another encoding, say) appears as the
// escape "\udcXX" of a lone low surrogate, XX its value (80 to ff), as
// Python's "surrogateescape" reads and writes file names: json.loads and
// os.fsencode give the bytes back. Never throws for a string's content.
std::string JsonLine(const nlohmann::ordered_json& j);

}  // namespace zumen_cli
