#pragma once
// The values the command line takes, checked with one message each, and the
// lists of choices the library offers.
#include <optional>
#include <string>
#include <vector>

#include "zumen/zumen.h"

namespace zumen_cli {

// Each check answers empty text for a good value, else the reason, worded to
// follow the option's name ("--dpi: takes ...").
std::string CheckDpi(const std::string& text);
std::string CheckPixelCount(const std::string& text);
std::string CheckSideLength(const std::string& text);
std::string CheckQuality(const std::string& text);
std::string CheckJobs(const std::string& text);
std::string CheckThreads(const std::string& text);
std::string CheckOutputType(const std::string& text);
std::string CheckFormat(const std::string& text);
std::string CheckBackground(const std::string& text);
std::string CheckFit(const std::string& text);
std::string CheckLayers(const std::string& text);
std::string CheckRasteriser(const std::string& text);

// WIDTHxHEIGHT in pixels.
bool ParseSize(const std::string& text, int& w, int& h);
std::optional<zumen::Background> BackgroundFromName(const std::string& text);
std::optional<zumen::Fit> FitFromName(const std::string& text);
// The layers a --layers list names, as layer numbers (group x 16 + layer):
// comma-separated items, each "G-L" (layer L of group G) or "G" (every layer
// of group G), G and L hexadecimal digits 0-F in either case. Nothing for a
// list that is empty or has an item of another form.
std::optional<std::vector<int>> ParseLayers(const std::string& text);
std::optional<zumen::Rasteriser> RasteriserFromName(const std::string& text);

// "bmp|png|jpg|..." from the library's list of output types (separator between).
std::string OutputTypeChoices(const std::string& separator = "|");
// "jww|jws|jwc|jwk|k4".
std::string FormatChoices(const std::string& separator = "|");
// ".jww .jws .jwc .jwk .k4".
std::string DrawingExtensions();

// Whether --quality means something for the type.
bool TakesQuality(zumen::OutputType t);

// Options every command shares: fonts (ZUMEN_FONTS_CONF) and the reference
// texts named beside the executable.
zumen::RenderOptions BaseOptions();

}  // namespace zumen_cli
