// zumen: converts CAD drawings to images from the command line.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "info_json.h"
#include "zumen/zumen.h"

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

// The folder of the running executable, where "Jw_win.jwf" is looked for.
std::string ExecutableFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string() + "/";
}

// Options every command shares: fonts and the reference texts.
zumen::RenderOptions BaseOptions() {
  zumen::RenderOptions o;
  const std::string app = ExecutableFolder();
  o.reference_file = zumen::ReferenceFileOf(app);
  o.reference_folder = app;
  if (const char* fonts = std::getenv("ZUMEN_FONTS_CONF")) o.fonts_config = fonts;
  return o;
}

int Convert(const std::string& src, const std::string& dst, const zumen::RenderOptions& options) {
  const zumen::Opened opened = zumen::Drawing::Open(src);
  if (!opened) {
    std::cerr << "zumen: " << opened.status.message << '\n';
    return 1;
  }
  const zumen::RenderResult r = zumen::Render(opened.drawing, options, zumen::Output::File(dst));
  if (!r) {
    std::cerr << "zumen: " << r.status.message << '\n';
    return 1;
  }
  // A drawing read or drawn only in part is still drawn; one line tells what is missing.
  std::string warning;
  for (const zumen::Diagnostic& d : opened.drawing.Diagnostics()) {
    if (!warning.empty()) warning += "; ";
    warning += "\"" + src + "\" was " + d.message;
  }
  if (warning.empty()) return 0;
  std::cerr << "zumen: warning: " << warning << '\n';
  return 3;
}

int Info(const std::string& src, bool json) {
  const zumen::Opened opened = zumen::Drawing::Open(src);
  if (!opened) {
    std::cerr << "zumen: " << opened.status.message << '\n';
    return 1;
  }
  const zumen::DrawingInfo& info = opened.drawing.Info();
  const auto j = zumen_cli::InfoJson(info);
  if (json) std::cout << j.dump() << '\n';
  else std::cout << zumen_cli::TextLines(j);
  if (!info.read_ok) {
    std::cerr << "zumen: \"" << src << "\" was read only in part: " << info.read_error << '\n';
    return 3;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  zumen::InstallSignalCleanup();
  CLI::App app{"zumen: turns Japanese CAD drawings (JWW, JWS, JWC, JWK, K4) into images (BMP, PNG, JPEG, GIF, TIFF) "
                "and DXF drawings."};
  app.set_version_flag("--version", std::string("zumen ") + zumen::Version());
  app.require_subcommand(1);

  std::string src, dst, size;
  double dpi = 0;
  unsigned long long maxPixels = zumen::RenderOptions{}.max_pixels;
  auto* convert = app.add_subcommand("convert", "Convert a drawing into an image or a DXF drawing; the type follows DST's extension.");
  convert->add_option("SRC", src, "Drawing to read (.jww .jws .jwc .jwk .k4)")->required();
  convert->add_option("DST", dst, "Image or DXF to write (.png .bmp .jpg .jpeg .gif .tif .tiff .dxf); "
                    "a DXF's images are written beside it")->required();
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

  if (*convert) {
    zumen::RenderOptions options = BaseOptions();
    options.max_pixels = maxPixels;
    if (*sizeOpt) {
      if (!ParseSize(size, options.width, options.height)) {
        std::cerr << "zumen: --size takes WIDTHxHEIGHT in pixels, such as 1600x1131\n";
        return 2;
      }
    } else {
      options.dpi = *dpiOpt ? dpi : 150;
    }
    return Convert(src, dst, options);
  }
  if (*info) return Info(infoSrc, json);
  return 2;
}
