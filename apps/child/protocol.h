#pragma once
// The converter that front-end programs start as a child process: four
// arguments, a settings file beside the executable, a log of the arguments
// and checks, and the picture as the only outcome.
#include <iosfwd>
#include <string>
#include <vector>

namespace zumen_child {

// Runs the protocol: args are the process arguments (args[0] the executable),
// appFolder the executable's folder with "Plotvane.dat" and "Jw_win.jwf". The
// log lines go to `log` one per line; problems the protocol has no line for
// go to `err`. Always returns 0.
int RunChild(const std::vector<std::string>& args, const std::string& appFolder, std::ostream& log,
             std::ostream& err);

}  // namespace zumen_child
