#pragma once
// Other programs that read zumen's pictures, for the tests: the rasterisers
// of SVG (rsvg-convert) and PDF (pdftoppm), the page-size reader of PDF
// (pdfinfo), and decoders of the raster types (dwebp, netpbm's *topnm).
// Each is a separate Debian package; a test that needs one skips when it is
// missing.
#include <optional>
#include <string>
#include <utility>

#include "codecs/bitmap.h"

namespace zumen::testing {

// Whether an executable of that name is on PATH.
bool HaveTool(const std::string& name);

// Runs a command line (its output is discarded); true when it exits with 0.
bool RunQuiet(const std::string& command);
// Runs a command line and returns its standard output; empty on failure.
std::optional<std::string> RunOutput(const std::string& command);

// A path quoted for the shell.
std::string Quoted(const std::string& path);

// Rasterises a page to exactly width x height pixels: an SVG with
// rsvg-convert, a PDF's first page with pdftoppm. Empty on failure.
Bitmap RasteriseSvg(const std::string& svg, int width, int height, const std::string& workDir);
Bitmap RasterisePdf(const std::string& pdf, int width, int height, const std::string& workDir);

// The page size of a PDF's first page in points, from pdfinfo.
std::optional<std::pair<double, double>> PdfPageSize(const std::string& pdf);
// The width and height attributes of an SVG's root element, in points
// ("pt" or "mm" units; a bare number is taken as CSS pixels at 96 per inch).
std::optional<std::pair<double, double>> SvgPageSize(const std::string& svgText);

// The pixel size that an independent decoder finds in an image file: dwebp
// for WebP, netpbm's pngtopnm, bmptopnm, jpegtopnm, giftopnm and tifftopnm
// for the others (by the file's extension). Empty when the decoder fails.
std::optional<std::pair<int, int>> DecodedSize(const std::string& image, const std::string& workDir);
// The decoder DecodedSize runs for a file's extension.
std::string DecoderFor(const std::string& image);

// The share of ours's dark pixels that have a dark pixel within one pixel in
// theirs, leaving out ours's pixels closer than `edge` to the picture's
// border; 1 when ours has none. The pictures must be of one size.
//
// A pixel is dark when its luminance over white is below three quarters of
// white's: a one-pixel line that antialiasing spreads over two pixels at half
// ink each is dark on both, whichever side of a pixel edge it falls.
double InkMatch(const Bitmap& ours, const Bitmap& theirs, int edge = 0);
// The number of dark pixels.
long DarkPixels(const Bitmap& b);

}  // namespace zumen::testing
