#include "support/picture_tools.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "codecs/image_io.h"

namespace zumen::testing {

namespace {

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

// Width and height from a netpbm header (P1 ... P7).
std::optional<std::pair<int, int>> PnmSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  if (!(in >> magic) || magic.size() != 2 || magic[0] != 'P') return std::nullopt;
  if (magic[1] == '7') {  // PAM: keyword lines
    std::string key;
    int w = -1, h = -1;
    while (in >> key && key != "ENDHDR") {
      if (key == "WIDTH") in >> w;
      else if (key == "HEIGHT") in >> h;
    }
    if (w <= 0 || h <= 0) return std::nullopt;
    return std::make_pair(w, h);
  }
  int values[2];
  for (int& v : values) {
    in >> std::ws;
    while (in.peek() == '#') {
      std::string comment;
      std::getline(in, comment);
      in >> std::ws;
    }
    if (!(in >> v)) return std::nullopt;
  }
  return std::make_pair(values[0], values[1]);
}

double Luminance(uint32_t argb) {
  const double a = (argb >> 24) / 255.0;
  auto over = [a](uint32_t c) { return c * a + 255 * (1 - a); };
  return 0.299 * over((argb >> 16) & 0xFF) + 0.587 * over((argb >> 8) & 0xFF) + 0.114 * over(argb & 0xFF);
}

bool Dark(uint32_t argb) { return Luminance(argb) < 192; }

Bitmap LoadPng(const std::string& path) {
  LoadedImage img = LoadImageFile(path);
  return img.ok() ? std::move(img.bitmap) : Bitmap();
}

}  // namespace

bool HaveTool(const std::string& name) {
  const char* path = std::getenv("PATH");
  if (!path) return false;
  std::stringstream dirs(path);
  std::string dir;
  while (std::getline(dirs, dir, ':')) {
    if (!dir.empty() && ::access((dir + "/" + name).c_str(), X_OK) == 0) return true;
  }
  return false;
}

std::string Quoted(const std::string& path) {
  std::string out = "'";
  for (char c : path) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

bool RunQuiet(const std::string& command) {
  const int rc = std::system(("{ " + command + "; } >/dev/null 2>&1").c_str());
  return rc != -1 && WIFEXITED(rc) && WEXITSTATUS(rc) == 0;
}

std::optional<std::string> RunOutput(const std::string& command) {
  std::FILE* p = ::popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return std::nullopt;
  std::string out;
  char buf[4096];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  const int rc = ::pclose(p);
  if (rc == -1 || !WIFEXITED(rc) || WEXITSTATUS(rc) != 0) return std::nullopt;
  return out;
}

Bitmap RasteriseSvg(const std::string& svg, int width, int height, const std::string& workDir) {
  const std::string png = workDir + "/rsvg.png";
  std::filesystem::remove(png);
  if (!RunQuiet("rsvg-convert -w " + std::to_string(width) + " -h " + std::to_string(height) + " -f png -o " +
                Quoted(png) + " " + Quoted(svg)))
    return {};
  return LoadPng(png);
}

Bitmap RasterisePdf(const std::string& pdf, int width, int height, const std::string& workDir) {
  const std::string prefix = workDir + "/poppler";
  std::filesystem::remove(prefix + ".png");
  if (!RunQuiet("pdftoppm -png -singlefile -f 1 -l 1 -scale-to-x " + std::to_string(width) + " -scale-to-y " +
                std::to_string(height) + " " + Quoted(pdf) + " " + Quoted(prefix)))
    return {};
  return LoadPng(prefix + ".png");
}

std::optional<std::pair<double, double>> PdfPageSize(const std::string& pdf) {
  const std::optional<std::string> out = RunOutput("pdfinfo " + Quoted(pdf));
  if (!out) return std::nullopt;
  const size_t at = out->find("Page size:");
  if (at == std::string::npos) return std::nullopt;
  double w = 0, h = 0;
  if (std::sscanf(out->c_str() + at, "Page size: %lf x %lf pts", &w, &h) != 2) return std::nullopt;
  return std::make_pair(w, h);
}

std::optional<std::pair<double, double>> SvgPageSize(const std::string& svgText) {
  const size_t root = svgText.find("<svg");
  if (root == std::string::npos) return std::nullopt;
  const size_t end = svgText.find('>', root);
  const std::string tag = svgText.substr(root, end == std::string::npos ? std::string::npos : end - root);
  auto attribute = [&tag](const char* name) -> std::optional<double> {
    const std::string key = std::string(" ") + name + "=\"";
    const size_t at = tag.find(key);
    if (at == std::string::npos) return std::nullopt;
    const char* p = tag.c_str() + at + key.size();
    char* after = nullptr;
    const double v = std::strtod(p, &after);
    if (after == p) return std::nullopt;
    const char* close = tag.c_str() + tag.find('"', at + key.size());
    const std::string unit(static_cast<const char*>(after), close);
    if (unit == "pt") return v;
    if (unit == "mm") return v * 72 / 25.4;
    if (unit.empty() || unit == "px") return v * 72 / 96;
    return std::nullopt;
  };
  const std::optional<double> w = attribute("width"), h = attribute("height");
  if (!w || !h) return std::nullopt;
  return std::make_pair(*w, *h);
}

std::string DecoderFor(const std::string& image) {
  const size_t dot = image.find_last_of('.');
  const std::string ext = dot == std::string::npos ? std::string() : Lower(image.substr(dot));
  if (ext == ".webp") return "dwebp";
  if (ext == ".png") return "pngtopnm";
  if (ext == ".bmp") return "bmptopnm";
  if (ext == ".jpg" || ext == ".jpeg") return "jpegtopnm";
  if (ext == ".gif") return "giftopnm";
  if (ext == ".tif" || ext == ".tiff") return "tifftopnm";
  return {};
}

std::optional<std::pair<int, int>> DecodedSize(const std::string& image, const std::string& workDir) {
  const std::string decoder = DecoderFor(image);
  if (decoder.empty()) return std::nullopt;
  const std::string pnm = workDir + "/decoded.pnm";
  std::filesystem::remove(pnm);
  const std::string command = decoder == "dwebp" ? "dwebp -quiet " + Quoted(image) + " -pam -o " + Quoted(pnm)
                                                 : decoder + " " + Quoted(image) + " > " + Quoted(pnm);
  if (!RunQuiet(command)) return std::nullopt;
  return PnmSize(pnm);
}

double InkMatch(const Bitmap& ours, const Bitmap& theirs, int edge) {
  if (ours.width != theirs.width || ours.height != theirs.height) return 0;
  long dark = 0, matched = 0;
  for (int y = edge; y < ours.height - edge; ++y) {
    for (int x = edge; x < ours.width - edge; ++x) {
      if (!Dark(ours.at(x, y))) continue;
      ++dark;
      bool found = false;
      for (int dy = -1; dy <= 1 && !found; ++dy) {
        for (int dx = -1; dx <= 1 && !found; ++dx) {
          const int tx = x + dx, ty = y + dy;
          found = tx >= 0 && ty >= 0 && tx < theirs.width && ty < theirs.height && Dark(theirs.at(tx, ty));
        }
      }
      if (found) ++matched;
    }
  }
  return dark == 0 ? 1.0 : static_cast<double>(matched) / dark;
}

long DarkPixels(const Bitmap& b) {
  long n = 0;
  for (uint32_t p : b.pixels) n += Dark(p) ? 1 : 0;
  return n;
}

}  // namespace zumen::testing
