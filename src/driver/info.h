#pragma once
// `zumen info`: what a user wants to know about a drawing without rendering it.
#include <iosfwd>
#include <string>

namespace zumen {

// Prints the description of src to out (a JSON object with json, else one
// "key: value" line per field). Returns the exit status: 0 when the drawing
// was read to its end, 3 when it was read in part, 1 when it could not be
// read at all (error then says why).
int PrintInfo(const std::string& src, bool json, const std::string& appPath, std::ostream& out, std::string& error);

}  // namespace zumen
