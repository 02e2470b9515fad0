#pragma once
// The two ways a conversion is started: the four-argument child protocol of
// front-end programs, and the command line for people.
#include <cstdint>
#include <iosfwd>
#include <string>
#include <vector>

#include "common/clock.h"
#include "driver/converter.h"

namespace zumen {

// Runs the child protocol: args are the process arguments (args[0] the
// executable), appPath the executable's folder with "Plotvane.dat". The log
// lines go to `log` one per line; problems the protocol has no line for go to
// `err`. Always returns 0.
int RunChild(const std::vector<std::string>& args, const std::string& appPath, std::ostream& log,
             std::ostream& err);

struct ConvertOptions {
  enum class Sizing { Pixels, Dpi };
  Sizing sizing = Sizing::Dpi;
  int width = 0;    // with Sizing::Pixels
  int height = 0;
  double dpi = 150;  // with Sizing::Dpi: paper (symbols: extents) at this resolution
  uint64_t maxPixels = kDefaultMaxPixels;
  std::string appPath;  // where "Jw_win.jwf" is looked for
  const Clock* clock = nullptr;
};

enum class ConvertStatus {
  Ok = 0,           // the image was written
  Failed = 1,       // nothing was written
  PartialRead = 3,  // the drawing was read or drawn only in part; the image shows what was
};

struct ConvertResult {
  ConvertStatus status = ConvertStatus::Failed;
  std::string message;  // the error, or the warning of a partial read or drawing
  int width = 0;
  int height = 0;
};

// Converts src into dst. The destination is replaced only by a complete new
// image: the image is written to a temporary file beside it and renamed.
ConvertResult ConvertDrawing(const std::string& src, const std::string& dst, const ConvertOptions& options);

// Why src cannot be read as a drawing file (missing, or a folder); empty
// text when it is a file.
std::string MissingSource(const std::string& src);

// Checks the pixel count against the limit; an error message when it is over.
std::string CheckBitmapSize(double width, double height, uint64_t maxPixels);

// Writes the image to dst by its extension through a temporary file beside
// it; an error message on failure (dst then untouched).
std::string SaveAtomically(const PixelView& pixels, const std::string& dst);

}  // namespace zumen
