#pragma once
// `zumen serve`: the conversion service and its viewer, over HTTP.
#include <iosfwd>
#include <optional>
#include <string>

namespace zumen_serve {

// The command line of `zumen serve` as given, each value already checked on
// its own.
struct ServeArgs {
  std::string listen = "127.0.0.1:8080";
  std::optional<int> jobs;  // default: the number of cores
  int queue = 16;
  std::string max_upload = "64M";
  double timeout = 60;
  unsigned long long max_pixels = 100'000'000;
  unsigned long long max_side = 0;  // 0: the library's default
};

// Checks of the values, worded to follow the option's name.
std::string CheckListen(const std::string& text);
std::string CheckQueue(const std::string& text);
std::string CheckByteSize(const std::string& text);
std::string CheckTimeout(const std::string& text);

// HOST:PORT, [IPV6]:PORT; the port 0 to 65535 (0: any free port).
bool ParseListen(const std::string& text, std::string& host, int& port);
// A number of bytes: digits with an optional k, M or G (powers of 1024,
// "KiB", "MB" and the like taken alike), at least 1.
bool ParseByteSize(const std::string& text, unsigned long long& bytes);

// Serves until SIGTERM or SIGINT, then stops taking requests, lets the running
// ones finish (for at most the time budget, then cancels them) and returns
// 0. Returns 1 when it cannot listen. Tells where it listens on err.
int RunServe(const ServeArgs& args, std::ostream& err);

}  // namespace zumen_serve
