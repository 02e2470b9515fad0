#pragma once
// `zumen convert`: one drawing into one picture (SRC DST), or many into a
// folder (SRC... -o DIR).
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "conversion.h"

namespace zumen_cli {

// The command line of `zumen convert` as given, each value already checked
// on its own.
struct ConvertArgs {
  std::vector<std::string> operands;  // SRC... [DST]
  std::optional<std::string> output_dir;
  bool recursive = false;
  std::optional<std::string> name;
  std::optional<unsigned> jobs;
  std::optional<int> threads;
  bool json = false;
  bool quiet = false;
  std::optional<std::string> format;
  std::optional<std::string> from;
  std::optional<std::string> size;
  std::optional<double> dpi;
  unsigned long long max_pixels = 0;  // 0: the library's default
  unsigned long long max_side = 0;    // 0: the library's default
  std::optional<std::string> background;
  std::optional<std::string> fit;
  std::optional<std::string> rasteriser;
  bool no_frame = false;
  bool monochrome = false;
  std::optional<int> quality;
  std::optional<std::string> layers;  // --layers LIST (see ParseLayers)
  // Where the standard streams go (decides the progress bar and refuses
  // pictures on a terminal).
  bool stdin_terminal = false;
  bool stdout_terminal = false;
  bool stderr_terminal = false;
};

// The settings every conversion of the command shares (options, formats), or
// the exit status of a usage error, told on err.
std::optional<int> MakeSettings(const ConvertArgs& args, ConvertSettings& settings, std::ostream& err);

// Runs the command; the exit status: 0 done, 1 a drawing failed, 2 wrong
// usage, 3 a drawing was read or drawn only in part.
int RunConvert(const ConvertArgs& args, std::ostream& out, std::ostream& err);

}  // namespace zumen_cli
