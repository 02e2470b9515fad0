// zumen: converts CAD drawings to images from the command line.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "common/cleanup.h"
#include "driver/app_path.h"
#include "driver/info.h"
#include "driver/run.h"

namespace {

bool ParseSize(const std::string& text, int& w, int& h) {
  unsigned long long a = 0, b = 0;
  char x = 0, extra = 0;
  if (std::sscanf(text.c_str(), "%llu%c%llu%c", &a, &x, &b, &extra) != 3 || (x != 'x' && x != 'X')) return false;
  if (a < 1 || b < 1 || a > 1000000000ULL || b > 1000000000ULL) return false;
  w = static_cast<int>(a);
  h = static_cast<int>(b);
  return true;
}

// A resolution in dots per inch: a finite number from 1 to 10000.
std::string CheckDpi(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v) || v < 1 || v > 10000) {
    return "takes a resolution from 1 to 10000 dots per inch, not \"" + text + "\"";
  }
  return {};
}

// A pixel count: a whole number from 1 up.
std::string CheckPixelCount(const std::string& text) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  if (text.empty() || text[0] < '0' || text[0] > '9' || *end != '\0' || errno == ERANGE || v == 0) {
    return "takes a whole number of pixels from 1 up, not \"" + text + "\"";
  }
  return {};
}

}  // namespace

int main(int argc, char** argv) {
  zumen::RemoveCreatedFilesOnSignals();
  CLI::App app{"zumen: turns Japanese CAD drawings (JWW, JWS, JWC, JWK, K4) into images (BMP, PNG, JPEG, GIF, TIFF)."};
  app.set_version_flag("--version", std::string("zumen ") + ZUMEN_VERSION);
  app.require_subcommand(1);

  std::string src, dst, size;
  double dpi = 0;
  unsigned long long maxPixels = zumen::kDefaultMaxPixels;
  auto* convert = app.add_subcommand("convert", "Convert a drawing into an image; the image type follows DST's extension.");
  convert->add_option("SRC", src, "Drawing to read (.jww .jws .jwc .jwk .k4)")->required();
  convert->add_option("DST", dst, "Image to write (.png .bmp .jpg .jpeg .gif .tif .tiff)")->required();
  auto* sizeOpt = convert->add_option("--size", size, "Bitmap size in pixels, WIDTHxHEIGHT (e.g. 1600x1131)");
  auto* dpiOpt = convert->add_option("--dpi", dpi, "Paper size at this resolution (default 150); symbols: their extents")
                     ->check(CLI::Validator(CheckDpi, "1-10000"));
  sizeOpt->excludes(dpiOpt);
  convert->add_option("--max-pixels", maxPixels, "Refuse bitmaps with more pixels than this (default 268435456)")
      ->check(CLI::Validator(CheckPixelCount, "POSITIVE"));

  std::string infoSrc;
  bool json = false;
  auto* info = app.add_subcommand("info", "Describe a drawing without rendering it.");
  info->add_option("SRC", infoSrc, "Drawing to read")->required();
  info->add_flag("--json", json, "Print a JSON object");

  // The first word that is not an option names the subcommand.
  if (argc > 1 && argv[1][0] != '-' && argv[1] != convert->get_name() && argv[1] != info->get_name()) {
    std::cerr << "zumen: unknown subcommand \"" << argv[1] << "\" (use convert or info; see --help)\n";
    return 2;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  const std::string appPath = zumen::ExecutableFolder(argc > 0 ? argv[0] : nullptr);
  if (*convert) {
    zumen::ConvertOptions options;
    options.appPath = appPath;
    options.maxPixels = maxPixels;
    if (*sizeOpt) {
      options.sizing = zumen::ConvertOptions::Sizing::Pixels;
      if (!ParseSize(size, options.width, options.height)) {
        std::cerr << "zumen: --size takes WIDTHxHEIGHT in pixels, such as 1600x1131\n";
        return 2;
      }
    } else {
      options.sizing = zumen::ConvertOptions::Sizing::Dpi;
      options.dpi = *dpiOpt ? dpi : 150;
    }
    const zumen::ConvertResult r = zumen::ConvertDrawing(src, dst, options);
    if (r.status == zumen::ConvertStatus::Failed) {
      std::cerr << "zumen: " << r.message << '\n';
      return 1;
    }
    if (r.status == zumen::ConvertStatus::PartialRead) {
      std::cerr << "zumen: warning: " << r.message << '\n';
      return 3;
    }
    return 0;
  }
  if (*info) {
    std::string error;
    const int status = zumen::PrintInfo(infoSrc, json, appPath, std::cout, error);
    if (status != 0) std::cerr << "zumen: " << error << '\n';
    return status;
  }
  return 2;
}
