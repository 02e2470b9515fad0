// The command line of zumen: its subcommands, their options and checks.
#include "command.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include "cli/arguments.h"
#include "cli/convert_command.h"
#include "cli/info.h"
#include "cli/text.h"
#include "cli/thumbnail.h"
#include "serve/serve_command.h"
#include "zumen/zumen.h"

namespace {

using namespace zumen_cli;

CLI::Validator Check(std::string (*check)(const std::string&)) { return CLI::Validator(check, ""); }

// A terminal that can redraw a line in place.
bool IsTerminal(int fd) {
  if (!isatty(fd)) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::string(term) != "dumb";
}

// What the command gives, once what it printed on standard output is out: a
// report that could not be written (a full disk, a closed stream) is a
// failure, not a success with nothing to show.
int Delivered(int status) {
  errno = 0;
  std::cout.flush();
  if (std::cout.good() && std::fflush(stdout) == 0) return status;
  const int e = errno;
  std::cerr << "zumen: cannot write to standard output" << (e != 0 ? std::string(": ") + std::strerror(e) : "") << '\n';
  return 1;
}

}  // namespace

// What --layers takes, for every command that has it.
constexpr const char* kLayersHelp =
    "Only these layers (hidden ones among them too): comma-separated G-L (layer L of group G) or G (every layer "
    "of group G), G and L hex digits 0-F, e.g. 0,1-2,A-F (default: the drawing's own choice)";

int RunZumen(int argc, char** argv, const ServeRunner& runServe) try {
  zumen::InstallSignalCleanup();
  const std::string types = OutputTypeChoices();
  const std::string formats = FormatChoices();
  CLI::App app{"zumen: turns Japanese CAD drawings (JWW, JWS, JWC, JWK, K4) into pictures and DXF drawings (" + OutputTypeChoices(", ") +
               ")."};
  app.set_version_flag("--version", std::string("zumen ") + zumen::Version());
  app.require_subcommand(1);

  ConvertArgs c;
  auto* convert = app.add_subcommand(
      "convert",
      "Convert drawings into pictures:\n"
      "  zumen convert SRC DST          one drawing into one picture (type: DST's extension or --format)\n"
      "  a .dxf destination gets a DXF drawing, with the images it places written beside it\n"
      "  zumen convert SRC... -o DIR    drawings, and the drawings in folders, into pictures in DIR\n"
      "  - as SRC reads the drawing from standard input, - as DST writes the picture to standard output");
  convert->footer(
      "Exit status: 0 done; 1 a drawing failed (the others are converted all the same); 2 wrong usage;\n"
      "3 a drawing was read or drawn only in part (its picture shows the rest).\n"
      "Examples:\n"
      "  zumen convert plan.jww plan.png --dpi 300\n"
      "  zumen convert plans/ -r -o pictures/ -j 4\n"
      "  zumen convert plan.jww plan.pdf --monochrome --background white\n"
      "  cat upload.jww | zumen convert - - --format webp > preview.webp");
  convert->add_option("SRC", c.operands,
                      "Drawings (" + DrawingExtensions() + "), folders of drawings (with -o), - for standard input; "
                      "without -o the second is the picture to write (- for standard output)")
      ->type_name("")
      ->required();
  convert->add_option("-o,--output-dir", c.output_dir, "Folder for the pictures (made when missing)")->type_name("DIR");
  convert->add_flag("-r,--recursive", c.recursive, "With -o: the drawings in subfolders too, mirrored under DIR");
  convert->add_option("--format", c.format, "Output type: " + types + " (default: DST's extension; with -o or -: png)")
      ->type_name("TYPE")
      ->check(Check(CheckOutputType));
  convert->add_option("--name", c.name,
                      "With -o: names of the pictures, from {dir} (the source's folder under the folder given), "
                      "{stem} (its name without extension) and {ext} (its extension); the type's extension is "
                      "added (default {dir}/{stem})")
      ->type_name("PATTERN");
  convert->add_option("-j,--jobs", c.jobs, "With -o: drawings converted at once (default: the number of cores)")
      ->type_name("N")
      ->check(Check(CheckJobs));
  convert->add_option("--threads", c.threads,
                      "Threads that draw and encode one large picture (default: the number of cores, shared among "
                      "the drawings converted at once)")
      ->type_name("N")
      ->check(Check(CheckThreads));
  convert->add_option("--from", c.from,
                      "Format of drawings named without their extension or read from standard input: " + formats +
                          " (default: the extension, or the signature where the format has one)")
      ->type_name("FORMAT")
      ->check(Check(CheckFormat));
  convert->add_flag("--json", c.json, "Print one JSON object per drawing on standard output");
  convert->add_flag("-q,--quiet", c.quiet, "With -o: no progress on standard error (warnings and failures stay)");
  auto* sizeOpt = convert->add_option("--size", c.size, "Picture size in pixels (e.g. 1600x1131)")->type_name("WxH");
  auto* dpiOpt = convert->add_option("--dpi", c.dpi, "Paper size at this resolution (default 150); symbols: their extents")
                     ->type_name("N")
                     ->check(Check(CheckDpi));
  sizeOpt->excludes(dpiOpt);
  convert->add_option("--max-pixels", c.max_pixels, "Refuse pictures with more pixels than this (default 4294967296)")
      ->type_name("N")
      ->check(Check(CheckPixelCount));
  convert->add_option("--max-side", c.max_side,
                      "Refuse pictures with a side longer than this many pixels (default 65535)")
      ->type_name("N")
      ->check(Check(CheckSideLength));
  convert->add_option("--background", c.background,
                      "white, black, transparent (where the type has transparency) or drawing (the default: "
                      "the drawing's own)")
      ->type_name("COLOUR")
      ->check(Check(CheckBackground));
  convert->add_flag("--no-frame", c.no_frame, "Leave out the blue frame of the paper");
  convert->add_option("--fit", c.fit, "What fills the picture: paper (default) or extents (the drawing's own entities)")
      ->type_name("WHAT")
      ->check(Check(CheckFit));
  convert->add_flag("--monochrome", c.monochrome, "Every entity in one colour, for printing");
  convert->add_option("--rasteriser", c.rasteriser,
                      "What draws the thin strokes of raster pictures: zumen (default: its own rasteriser, exact "
                      "coverage, faster on dense drawings) or cairo (Cairo's stroking, for comparison)")
      ->type_name("WHICH")
      ->check(Check(CheckRasteriser));
  convert->add_option("--quality", c.quality, "JPEG and WebP quality, 1-100 (default: JPEG 90, WebP lossless)")
      ->type_name("N")
      ->check(Check(CheckQuality));
  convert->add_option("--layers", c.layers, kLayersHelp)->type_name("LIST")->check(Check(CheckLayers));

  std::vector<std::string> infoSources;
  InfoSettings i;
  std::optional<std::string> infoFrom;
  auto* info = app.add_subcommand("info", "Describe drawings without rendering them.");
  info->footer("Exit status: 0 done; 1 a drawing could not be read; 2 wrong usage; 3 a drawing was read (or would be\n"
               "drawn) only in part.");
  info->add_option("SRC", infoSources, "Drawings, folders of drawings, - for standard input")->type_name("")->required();
  info->add_flag("-r,--recursive", i.recursive, "The drawings in subfolders of the folders too");
  info->add_flag("--json", i.json, "Print one JSON object per drawing, one per line");
  info->add_option("--from", infoFrom, "Format of drawings named without their extension or read from standard input: " +
                                           formats)
      ->type_name("FORMAT")
      ->check(Check(CheckFormat));

  std::vector<std::string> textSources;
  TextSettings t;
  std::optional<std::string> textFrom, textLayers;
  auto* text = app.add_subcommand("text", "List the texts drawings show, as drawn (macros expanded).");
  text->footer("Plain output: one line per text, tab-separated: source, layer (G-L), x, y, height, angle (degrees),\n"
               "block path (names joined by /, - for none), text. --json: one object per drawing on a line,\n"
               "{\"source\", \"status\", \"texts\": [...]} (see the README for the fields).\n"
               "Exit status: 0 done; 1 a drawing could not be read; 2 wrong usage; 3 a drawing was read only in part.");
  text->add_option("SRC", textSources, "Drawings, folders of drawings, - for standard input")->type_name("")->required();
  text->add_flag("-r,--recursive", t.recursive, "The drawings in subfolders of the folders too");
  text->add_flag("--json", t.json, "Print one JSON object per drawing, one per line");
  text->add_option("--layers", textLayers, kLayersHelp)->type_name("LIST")->check(Check(CheckLayers));
  text->add_option("--from", textFrom, "Format of drawings named without their extension or read from standard input: " +
                                           formats)
      ->type_name("FORMAT")
      ->check(Check(CheckFormat));

  std::string thumbSource, thumbDestination;
  std::string thumbSize;
  auto* thumbnail = app.add_subcommand(
      "thumbnail", "Make a small PNG picture of a drawing for file managers (the desktop's thumbnailer runs it).");
  thumbnail->footer(
      "The drawing's extents fill the picture, on white, without the paper's frame; the picture is SIZE pixels\n"
      "on its long side. OUT is written as PNG whatever its extension, - to standard output.\n"
      "Exit status: 0 done (a drawing read only in part shows what was read); 1 the drawing could not be read\n"
      "or the picture not written; 2 wrong usage.\n"
      "Example:\n"
      "  zumen thumbnail plan.jww plan-thumbnail.png 256");
  thumbnail->add_option("IN", thumbSource, "The drawing (" + DrawingExtensions() + ")")->type_name("")->required();
  thumbnail->add_option("OUT", thumbDestination, "The PNG picture to write (- for standard output)")->type_name("")->required();
  thumbnail->add_option("SIZE", thumbSize, "Pixels on the picture's long side, 1 to " +
                                               std::to_string(kMaxThumbnailSize))
      ->type_name("")
      ->required()
      ->check(Check(CheckThumbnailSize));
  std::optional<std::string> thumbLayers;
  thumbnail->add_option("--layers", thumbLayers, kLayersHelp)->type_name("LIST")->check(Check(CheckLayers));

  zumen_serve::ServeArgs sv;
  auto* serve = app.add_subcommand(
      "serve", "Serve conversions over HTTP, with a drawing viewer for browsers at / (see the README for the API).");
  serve->footer(
      "Endpoints: POST /v1/convert?format=png|...&size=WxH|dpi=N&fit=&background=&frame=&monochrome=&quality=&layers=,\n"
      "POST /v1/info, POST /v1/text (the drawing as the body or a multipart upload), GET /healthz, GET /metrics.\n"
      "SIGTERM or SIGINT: no new requests; running ones finish within the time budget, then zumen exits with 0.\n"
      "Exit status: 0 stopped by a signal; 1 cannot listen; 2 wrong usage.\n"
      "Example:\n"
      "  zumen serve --listen 127.0.0.1:8080 --jobs 4 --timeout 30\n"
      "  curl --data-binary @plan.jww 'http://127.0.0.1:8080/v1/convert?format=png&size=1600x1131' -o plan.png");
  serve->add_option("--listen", sv.listen, "Address and port to listen on, HOST:PORT (default 127.0.0.1:8080; port 0: any free one)")
      ->type_name("HOST:PORT")
      ->check(Check(zumen_serve::CheckListen));
  serve->add_option("--jobs", sv.jobs, "Conversions at once (default: the number of cores)")
      ->type_name("N")
      ->check(Check(CheckJobs));
  serve->add_option("--queue", sv.queue, "Requests that may wait for a conversion slot; more are refused with 503 (default 16)")
      ->type_name("N")
      ->check(Check(zumen_serve::CheckQueue));
  serve->add_option("--max-upload", sv.max_upload, "Largest request body, such as 64M (default 64M); larger ones get 413")
      ->type_name("SIZE")
      ->check(Check(zumen_serve::CheckByteSize));
  serve->add_option("--timeout", sv.timeout,
                    "Time budget of a request in seconds, waiting for a slot included (default 60); then 504")
      ->type_name("SECONDS")
      ->check(Check(zumen_serve::CheckTimeout));
  serve->add_option("--max-pixels", sv.max_pixels, "Refuse pictures with more pixels than this (default 100000000)")
      ->type_name("N")
      ->check(Check(CheckPixelCount));
  serve->add_option("--max-side", sv.max_side, "Refuse pictures with a side longer than this many pixels (default 65535)")
      ->type_name("N")
      ->check(Check(CheckSideLength));

  // The first word that is not an option names the subcommand.
  if (argc > 1 && argv[1][0] != '-' && argv[1] != convert->get_name() && argv[1] != info->get_name() &&
      argv[1] != text->get_name() && argv[1] != thumbnail->get_name() && argv[1] != serve->get_name()) {
    std::cerr << "zumen: unknown subcommand \"" << argv[1] << "\" (use convert, info, text, thumbnail or serve; see --help)\n";
    return 2;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    const int code = app.exit(e);
    return code == 0 ? 0 : 2;
  }

  if (*convert) {
    c.stdin_terminal = isatty(STDIN_FILENO);
    c.stdout_terminal = isatty(STDOUT_FILENO);
    c.stderr_terminal = IsTerminal(STDERR_FILENO);
    return Delivered(RunConvert(c, std::cout, std::cerr));
  }
  if (*info) {
    if (infoFrom) i.load.format = zumen::FormatFromName(*infoFrom);
    if (std::find(infoSources.begin(), infoSources.end(), "-") != infoSources.end() && isatty(STDIN_FILENO)) {
      std::cerr << "zumen: standard input is a terminal: pipe the drawing in (zumen info - < plan.jww)\n";
      return 2;
    }
    return Delivered(RunInfo(infoSources, i, std::cout, std::cerr));
  }
  if (*text) {
    if (textFrom) t.load.format = zumen::FormatFromName(*textFrom);
    if (textLayers) t.layers = ParseLayers(*textLayers);
    if (std::find(textSources.begin(), textSources.end(), "-") != textSources.end() && isatty(STDIN_FILENO)) {
      std::cerr << "zumen: standard input is a terminal: pipe the drawing in (zumen text - < plan.jww)\n";
      return 2;
    }
    return Delivered(RunText(textSources, t, std::cout, std::cerr));
  }
  if (*thumbnail) {
    return RunThumbnail(thumbSource, thumbDestination, std::stoi(thumbSize), isatty(STDOUT_FILENO), std::cerr,
                        thumbLayers ? ParseLayers(*thumbLayers) : std::nullopt);
  }
  if (*serve) return runServe(sv, argv);
  return 2;
} catch (const std::exception& e) {
  // A fault inside zumen ends the command in order: what it made is removed
  // as the stack unwinds, and it says so.
  std::cerr << "zumen: internal error: " << e.what() << '\n';
  return 1;
}
