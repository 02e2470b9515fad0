#include "driver/run.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ostream>
#include <random>

#include "canvas/cairo_canvas.h"
#include "canvas/image_io.h"
#include "common/cleanup.h"
#include "common/files.h"
#include "common/text.h"

namespace zumen {

namespace {

// Writes bytes as a new file at path, which stays registered for removal
// should a signal stop the process until `guard` is released. A file that
// could not be written in full is removed. errno tells why it failed.
bool WriteNewFile(const std::string& path, int flags, std::span<const uint8_t> bytes, RemovedOnSignal& guard) {
  const int fd = CreateFileRemovedOnSignal(path, O_WRONLY | flags, guard);
  if (fd < 0) return false;
  if (WriteAllAndClose(fd, bytes)) return true;
  const int saved = errno;
  DelFile(path);
  errno = saved;
  return false;
}

}  // namespace

std::string MissingSource(const std::string& src) {
  if (DirExist(src)) return "cannot read \"" + src + "\": it is a folder, not a drawing";
  if (!FileExist(src)) return "cannot read \"" + src + "\": no such file";
  return {};
}

std::string CheckBitmapSize(double width, double height, uint64_t maxPixels) {
  const double pixels = width * height;
  char buf[200];
  if (!(pixels <= static_cast<double>(maxPixels)) || width > 1e9 || height > 1e9) {
    std::snprintf(buf, sizeof buf, "a bitmap of %.0f x %.0f pixels is larger than the limit of %llu pixels", width,
                  height, static_cast<unsigned long long>(maxPixels));
    return buf;
  }
  if (width > CairoCanvas::kMaxSide || height > CairoCanvas::kMaxSide) {
    std::snprintf(buf, sizeof buf, "a bitmap of %.0f x %.0f pixels is too large: a side may have at most %d pixels",
                  width, height, CairoCanvas::kMaxSide);
    return buf;
  }
  return {};
}

std::string SaveAtomically(const PixelView& pixels, const std::string& dst) {
  const auto format = FormatFromExtension(dst);
  if (!format) return "unknown image type of \"" + dst + "\" (use .bmp, .png, .jpg, .jpeg, .gif, .tif or .tiff)";
  std::vector<uint8_t> bytes;
  ImageStatus st = EncodeImage(pixels, *format, bytes);
  if (!st) return st.message;
  const size_t slash = dst.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : dst.substr(0, slash + 1);
  const std::string tmp = folder + ".zumen-" + std::to_string(::getpid()) + "-" +
                          std::to_string(std::random_device{}()) + ".tmp";
  RemovedOnSignal guard;
  if (!WriteNewFile(tmp, O_EXCL, bytes, guard)) return "cannot write \"" + dst + "\"";
  if (std::rename(tmp.c_str(), dst.c_str()) != 0) {
    DelFile(tmp);
    return "cannot write \"" + dst + "\"";
  }
  return {};
}

ConvertResult ConvertDrawing(const std::string& src, const std::string& dst, const ConvertOptions& options) {
  ConvertResult res;
  if (std::string e = MissingSource(src); !e.empty()) {
    res.message = e;
    return res;
  }
  const Family family = FamilyOfPath(src);
  if (family == Family::None) {
    res.message = "\"" + src + "\" is not a drawing zumen reads (use .jww, .jws, .jwc, .jwk or .k4)";
    return res;
  }
  if (!FormatFromExtension(dst)) {
    res.message = "unknown image type of \"" + dst + "\" (use .bmp, .png, .jpg, .jpeg, .gif, .tif or .tiff)";
    return res;
  }
  if (!Converter::CanRead(family)) {
    res.message = std::string("reading ") + FamilyName(family) + " drawings is not supported yet";
    return res;
  }
  Converter conv(options.appPath, options.clock);
  const LoadResult load = conv.Load(family, src);
  if (!load.checked) {
    res.message = "\"" + src + "\": " + load.error;
    return res;
  }
  ConversionContext& ctx = conv.Context();
  double sx, sy;
  if (options.sizing == ConvertOptions::Sizing::Pixels) {
    sx = options.width;
    sy = options.height;
  } else {
    DotSizeAtDpi(ctx.papx, ctx.papy, options.dpi, sx, sy);
  }
  if (std::string e = CheckBitmapSize(sx, sy, options.maxPixels); !e.empty()) {
    res.message = e;
    return res;
  }
  std::string error;
  auto image = conv.Draw(family, static_cast<int>(sx), static_cast<int>(sy), error);
  if (!image) {
    res.message = error;
    return res;
  }
  if (std::string e = SaveAtomically(image->Pixels(), dst); !e.empty()) {
    res.message = e;
    return res;
  }
  res.width = static_cast<int>(sx);
  res.height = static_cast<int>(sy);
  res.status = ConvertStatus::Ok;
  if (!load.read) {
    res.status = ConvertStatus::PartialRead;
    res.message = "\"" + src + "\" was read only in part (" + load.error + "); the image shows what was read";
  }
  if (!load.cut.empty()) {
    res.status = ConvertStatus::PartialRead;
    if (!res.message.empty()) res.message += "; ";
    res.message += "\"" + src + "\" was drawn only in part: " + load.cut;
  }
  return res;
}

int RunChild(const std::vector<std::string>& args, const std::string& appPath, std::ostream& log, std::ostream& err) {
  std::string app = appPath;
  if (!app.empty() && app.back() != '/') app += '/';
  Settings settings;
  const bool haveSettings = DatFileOpen(app + kSettingsFileName, app, settings);
  for (const std::string& a : args) log << a << '\n';
  if (args.size() != 5) return 0;
  const std::string& src = args[3];
  const std::string& dst = args[4];
  const bool ok1 = haveSettings;
  log << (ok1 ? "CHECK1:OK" : "CHECK1:NG") << '\n';
  const bool ok4 = FileExist(src);
  log << (ok4 ? "CHECK4:OK" : "CHECK4:NG") << '\n';
  const bool ok5 = !FileExist(dst);
  log << (ok5 ? "CHECK5:OK" : "CHECK5:NG") << '\n';
  log.flush();
  if (!dst.empty() && FileExist(dst)) DelFile(dst);
  if (!(ok1 && ok4 && ok5)) return 0;

  // Proc: convert src into dst.
  if (!FileExist(src)) return 0;
  const Family family = FamilyOfPath(src);
  if (family == Family::None) return 0;
  Converter conv(app);
  const LoadResult load = conv.Load(family, src);
  if (!load.read && !load.error.empty()) err << "zumen-child: " << src << ": " << load.error << '\n';
  if (!load.cut.empty()) err << "zumen-child: " << src << ": drawn only in part: " << load.cut << '\n';
  ConversionContext& ctx = conv.Context();
  double sx, sy;
  GetDotSize(family, settings, ctx.papx, ctx.papy, sx, sy);
  if (std::string e = CheckBitmapSize(sx, sy, kDefaultMaxPixels); !e.empty()) {
    err << "zumen-child: " << e << '\n';
    return 0;
  }
  std::string error;
  auto image = conv.Draw(family, static_cast<int>(sx), static_cast<int>(sy), error);
  if (!image) {
    err << "zumen-child: " << error << '\n';
    return 0;
  }
  // The destination is written directly; a signal that stops the process
  // before it is complete removes it.
  std::vector<uint8_t> bytes;
  if (const ImageStatus st = EncodeImageFor(image->Pixels(), dst, bytes); !st) {
    err << "zumen-child: " << st.message << '\n';
    return 0;
  }
  RemovedOnSignal guard;
  if (!WriteNewFile(dst, O_TRUNC, bytes, guard)) {
    err << "zumen-child: cannot write " << dst << ": " << std::strerror(errno) << '\n';
  }
  return 0;
}

}  // namespace zumen
