#include "arguments.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace zumen_cli {

namespace {

// The drawing formats, in the order people know them; each is named by the
// library's own short name.
constexpr zumen::Format kFormats[] = {zumen::Format::Jww, zumen::Format::Jws, zumen::Format::Jwc,
                                      zumen::Format::Jwk, zumen::Format::K4};

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// A whole number within [low, high], written in plain digits.
bool WholeNumber(const std::string& text, unsigned long long low, unsigned long long high) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return false;
  char* end = nullptr;
  errno = 0;
  const unsigned long long v = std::strtoull(text.c_str(), &end, 10);
  return *end == '\0' && errno != ERANGE && v >= low && v <= high;
}

// The folder of the running executable, where "Jw_win.jwf" is looked for.
std::string ExecutableFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string() : exe.parent_path().string() + "/";
}

}  // namespace

std::string CheckDpi(const std::string& text) {
  char* end = nullptr;
  const double v = std::strtod(text.c_str(), &end);
  if (text.empty() || *end != '\0' || !std::isfinite(v) || v < 1 || v > 10000) {
    return "takes a resolution from 1 to 10000 dots per inch, not \"" + text + "\"";
  }
  return {};
}

std::string CheckPixelCount(const std::string& text) {
  if (!WholeNumber(text, 1, ~0ULL)) return "takes a whole number of pixels from 1 up, not \"" + text + "\"";
  return {};
}

std::string CheckSideLength(const std::string& text) {
  if (!WholeNumber(text, 1, 2147483647)) return "takes a whole number of pixels from 1 to 2147483647, not \"" + text + "\"";
  return {};
}

std::string CheckQuality(const std::string& text) {
  if (!WholeNumber(text, 1, 100)) return "takes a quality from 1 to 100, not \"" + text + "\"";
  return {};
}

std::string CheckJobs(const std::string& text) {
  if (!WholeNumber(text, 1, 1024)) return "takes a number of drawings to convert at once from 1 to 1024, not \"" + text + "\"";
  return {};
}

std::string CheckThreads(const std::string& text) {
  if (!WholeNumber(text, 1, 1024)) return "takes a number of threads from 1 to 1024, not \"" + text + "\"";
  return {};
}

std::string CheckOutputType(const std::string& text) {
  if (!zumen::OutputTypeFromName(text)) return "takes " + OutputTypeChoices(", ") + ", not \"" + text + "\"";
  return {};
}

std::string CheckFormat(const std::string& text) {
  if (!zumen::FormatFromName(text)) return "takes " + FormatChoices(", ") + ", not \"" + text + "\"";
  return {};
}

std::string CheckBackground(const std::string& text) {
  if (!BackgroundFromName(text)) return "takes white, black, transparent or drawing, not \"" + text + "\"";
  return {};
}

std::string CheckFit(const std::string& text) {
  if (!FitFromName(text)) return "takes paper or extents, not \"" + text + "\"";
  return {};
}

std::string CheckRasteriser(const std::string& text) {
  if (!RasteriserFromName(text)) return "takes zumen or cairo, not \"" + text + "\"";
  return {};
}

bool ParseSize(const std::string& text, int& w, int& h) {
  unsigned long long a = 0, b = 0;
  char x = 0, extra = 0;
  if (std::sscanf(text.c_str(), "%llu%c%llu%c", &a, &x, &b, &extra) != 3 || (x != 'x' && x != 'X')) return false;
  if (a < 1 || b < 1 || a > 1000000000ULL || b > 1000000000ULL) return false;
  w = static_cast<int>(a);
  h = static_cast<int>(b);
  return true;
}

std::optional<zumen::Background> BackgroundFromName(const std::string& text) {
  const std::string t = Lower(text);
  if (t == "drawing") return zumen::Background::Drawing;
  if (t == "white") return zumen::Background::White;
  if (t == "black") return zumen::Background::Black;
  if (t == "transparent") return zumen::Background::Transparent;
  return std::nullopt;
}

std::optional<zumen::Fit> FitFromName(const std::string& text) {
  const std::string t = Lower(text);
  if (t == "paper") return zumen::Fit::Paper;
  if (t == "extents") return zumen::Fit::Extents;
  return std::nullopt;
}

std::optional<std::vector<int>> ParseLayers(const std::string& text) {
  const auto hex = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::vector<int> out;
  size_t at = 0;
  while (true) {
    const size_t comma = text.find(',', at);
    const std::string item = text.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
    if (item.size() == 1 && hex(item[0]) >= 0) {
      for (int l = 0; l < 16; ++l) out.push_back(hex(item[0]) * 16 + l);
    } else if (item.size() == 3 && item[1] == '-' && hex(item[0]) >= 0 && hex(item[2]) >= 0) {
      out.push_back(hex(item[0]) * 16 + hex(item[2]));
    } else {
      return std::nullopt;
    }
    if (comma == std::string::npos) break;
    at = comma + 1;
  }
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::string CheckLayers(const std::string& text) {
  if (ParseLayers(text)) return {};
  return "takes layers separated by commas, each G-L (layer L of group G) or G (a whole group), G and L hex "
         "digits 0-F, such as 0,1-2,A-F; not \"" + text + "\"";
}

std::optional<zumen::Rasteriser> RasteriserFromName(const std::string& text) {
  const std::string t = Lower(text);
  if (t == "zumen") return zumen::Rasteriser::Zumen;
  if (t == "cairo") return zumen::Rasteriser::Cairo;
  return std::nullopt;
}

std::string OutputTypeChoices(const std::string& separator) {
  std::string out;
  for (const zumen::OutputType t : zumen::OutputTypes()) {
    if (!out.empty()) out += separator;
    out += zumen::OutputTypeName(t);
  }
  return out;
}

std::string FormatChoices(const std::string& separator) {
  std::string out;
  for (const zumen::Format f : kFormats) {
    if (!out.empty()) out += separator;
    out += Lower(zumen::FormatName(f));
  }
  return out;
}

std::string DrawingExtensions() {
  std::string out;
  for (const zumen::Format f : kFormats) {
    if (!out.empty()) out += ' ';
    out += "." + Lower(zumen::FormatName(f));
  }
  return out;
}

bool TakesQuality(zumen::OutputType t) { return t == zumen::OutputType::Jpeg || t == zumen::OutputType::Webp; }

zumen::RenderOptions BaseOptions() {
  zumen::RenderOptions o;
  const std::string app = ExecutableFolder();
  o.reference_file = zumen::ReferenceFileOf(app);
  o.reference_folder = app;
  if (const char* fonts = std::getenv("ZUMEN_FONTS_CONF")) o.fonts_config = fonts;
  return o;
}

}  // namespace zumen_cli
