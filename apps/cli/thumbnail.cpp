#include "thumbnail.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <ostream>
#include <vector>

#include "arguments.h"
#include "conversion.h"

namespace zumen_cli {

namespace {

// The thinnest picture made: a long thin drawing gets a strip with some
// height rather than a line of single pixels.
constexpr double kMaxAspect = 8.0;
// Text less than this many pixels high cannot be read in a thumbnail.
constexpr double kThumbnailTextBarsBelowPx = 8.0;

// Width over height of what the thumbnail shows: the extents of the
// drawing's entities, else its paper (symbols: their extents).
double AspectOf(const zumen::DrawingInfo& info) {
  if (info.extents) {
    const double w = info.extents->max_x - info.extents->min_x;
    const double h = info.extents->max_y - info.extents->min_y;
    if (std::isfinite(w) && std::isfinite(h) && (w > 0 || h > 0)) {
      if (!(h > 0)) return kMaxAspect;
      if (!(w > 0)) return 1 / kMaxAspect;
      return w / h;
    }
  }
  if (info.paper_width_mm > 0 && info.paper_height_mm > 0) return info.paper_width_mm / info.paper_height_mm;
  return std::sqrt(2.0);  // an A-series sheet lying down
}

// The drawing's format from its extension, else from the signature its
// first bytes carry (a file manager recognises drawings by either).
zumen::LoadOptions LoadOptionsFor(const std::string& source) {
  zumen::LoadOptions load;
  if (zumen::FormatFromName(source)) return load;
  std::vector<uint8_t> head(64);
  std::ifstream in(source, std::ios::binary);
  in.read(reinterpret_cast<char*>(head.data()), static_cast<std::streamsize>(head.size()));
  head.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
  load.format = zumen::FormatFromSignature(head);
  return load;
}

}  // namespace

std::string CheckThumbnailSize(const std::string& text) {
  int value = 0;
  size_t used = 0;
  try {
    value = std::stoi(text, &used);
  } catch (...) {
    used = 0;
  }
  if (text.empty() || text[0] < '0' || text[0] > '9' || used != text.size() || value < 1 ||
      value > kMaxThumbnailSize) {
    return "takes a size from 1 to " + std::to_string(kMaxThumbnailSize) + " pixels, not \"" + text + "\"";
  }
  return {};
}

zumen::RenderOptions ThumbnailOptions(const zumen::Drawing& d, int size) {
  zumen::RenderOptions o = BaseOptions();
  const double aspect = std::clamp(AspectOf(d.Info()), 1 / kMaxAspect, kMaxAspect);
  const auto shortSide = [size](double ratio) { return std::max(1, static_cast<int>(std::lround(size * ratio))); };
  o.width = aspect >= 1 ? size : shortSide(aspect);
  o.height = aspect >= 1 ? shortSide(1 / aspect) : size;
  o.fit = zumen::Fit::Extents;
  o.background = zumen::Background::White;
  o.frame = false;
  // Text too small to read in a thumbnail is drawn as bars, so that fonts
  // are not loaded for it.
  o.text_bars_below_px = kThumbnailTextBarsBelowPx;
  return o;
}

int RunThumbnail(const std::string& source, const std::string& destination, int size, bool stdoutTerminal,
                 std::ostream& err) {
  const bool toStdout = destination == kStandardStream;
  if (toStdout && stdoutTerminal) {
    err << "zumen: will not write a png picture to a terminal: redirect standard output (zumen thumbnail IN - SIZE > "
           "picture.png)\n";
    return 2;
  }
  const zumen::Opened opened = zumen::Drawing::Open(source, LoadOptionsFor(source));
  if (!opened) {
    err << "zumen: " << source << ": " << opened.status.message << '\n';
    return 1;
  }
  std::vector<uint8_t> bytes;
  const zumen::RenderResult r = zumen::Render(
      opened.drawing, ThumbnailOptions(opened.drawing, size),
      toStdout ? zumen::Output::Memory(zumen::OutputType::Png, bytes) : zumen::Output::File(destination, zumen::OutputType::Png));
  if (!r) {
    err << "zumen: " << source << ": " << r.status.message << '\n';
    return 1;
  }
  if (toStdout && !WriteStandardOutput(bytes)) {
    err << "zumen: cannot write the picture to standard output\n";
    return 1;
  }
  return 0;
}

}  // namespace zumen_cli
