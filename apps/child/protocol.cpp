#include "protocol.h"

#include <cstdio>
#include <filesystem>
#include <ostream>

#include "settings.h"
#include "zumen/zumen.h"

namespace zumen_child {

namespace {

bool Exists(const std::string& path) {
  std::error_code ec;
  return !path.empty() && std::filesystem::exists(path, ec);
}

}  // namespace

int RunChild(const std::vector<std::string>& args, const std::string& appFolder, std::ostream& log,
             std::ostream& err) {
  std::string app = appFolder;
  if (!app.empty() && app.back() != '/') app += '/';
  const ChildSettings settings = ReadChildSettings(app);
  for (const std::string& a : args) log << a << '\n';
  if (args.size() != 5) return 0;
  const std::string& src = args[3];
  const std::string& dst = args[4];
  const bool ok1 = settings.found;
  log << (ok1 ? "CHECK1:OK" : "CHECK1:NG") << '\n';
  const bool ok4 = Exists(src);
  log << (ok4 ? "CHECK4:OK" : "CHECK4:NG") << '\n';
  const bool ok5 = !Exists(dst);
  log << (ok5 ? "CHECK5:OK" : "CHECK5:NG") << '\n';
  log.flush();
  if (Exists(dst)) std::remove(dst.c_str());
  if (!(ok1 && ok4 && ok5)) return 0;

  // The drawing's extension chooses its format; other sources give nothing.
  const std::optional<zumen::Format> format = zumen::FormatFromName(src);
  if (!format) return 0;
  zumen::LoadOptions load;
  load.format = format;
  zumen::Opened opened = zumen::Drawing::Open(src, load);
  // A file that cannot be read still gives a picture: the empty drawing's.
  zumen::Drawing drawing = opened ? opened.drawing : zumen::Drawing::Empty(*format);
  if (!opened) err << "zumen-child: " << opened.status.message << '\n';
  else if (!drawing.Info().read_ok) err << "zumen-child: " << src << ": " << drawing.Info().read_error << '\n';
  for (const zumen::Diagnostic& d : drawing.Diagnostics()) {
    if (d.code != "read-partial") err << "zumen-child: " << src << ": " << d.message << '\n';
  }

  zumen::RenderOptions options;
  // Symbols keep the frame of their defining points' extents.
  options.fit_drawn = false;
  options.reference_file = zumen::ReferenceFileOf(app);
  options.reference_folder = app;
  // A resolution choice sizes the paper; symbols always take the pixel size.
  if (settings.dpi == 0 || zumen::IsSymbol(*format)) {
    options.width = settings.width;
    options.height = settings.height;
  } else {
    options.dpi = settings.dpi;
  }
  const zumen::RenderResult r = zumen::Render(drawing, options, zumen::Output::File(dst));
  if (!r) err << "zumen-child: " << r.status.message << '\n';
  return 0;
}

}  // namespace zumen_child
