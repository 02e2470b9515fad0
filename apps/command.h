#pragma once
// The command line of zumen. `zumen` and `zumen-serve` share it: `zumen`
// checks a `serve` command line and hands it to `zumen-serve`, which holds the
// service and the HTTP library, so that the other commands start without
// loading them.
#include <functional>

#include "serve/serve_command.h"

// Runs the service with the checked arguments (argv: the whole command line).
using ServeRunner = std::function<int(const zumen_serve::ServeArgs&, char** argv)>;

// Runs the command line; returns the exit status.
int RunZumen(int argc, char** argv, const ServeRunner& runServe);
