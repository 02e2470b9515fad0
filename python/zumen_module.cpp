// The extension module `zumen._zumen`, which the package `zumen` re-exports:
// drawings opened, described and rendered through the public interface,
// pictures as numpy arrays or files.
//
//   import zumen
//   d = zumen.open("plan.jww")
//   d.info["title"]
//   pixels = d.render(dpi=150)        # numpy uint8 array, height x width x 4 (RGBA)
//   d.save("plan.png", width=1600, height=1131)
//   zumen.convert("plan.jww", "plan.pdf", monochrome=True)
//
// Reading and rendering run without the GIL, so threads convert in parallel.
// Failures raise zumen.Error with zumen's own message. The package sets the
// font rules it carries as the default fonts_config (_set_default_fonts_config).
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "zumen/zumen.h"

namespace py = pybind11;

namespace {

// The fonts_config every call starts from; empty: the library looks for one.
std::string g_defaultFontsConfig;

// A failure reported by the library; becomes zumen.Error, or ValueError for
// an option out of its range.
class ZumenError : public std::runtime_error {
 public:
  ZumenError(const std::string& message, bool invalidArgument)
      : std::runtime_error(message), invalidArgument_(invalidArgument) {}
  bool invalidArgument() const { return invalidArgument_; }

 private:
  bool invalidArgument_;
};

void Check(const zumen::Status& s) {
  if (!s) throw ZumenError(s.message, s.code == zumen::StatusCode::InvalidArgument);
}

// Text from the library as a Python str. Messages name files, and a file
// name need not be UTF-8: its other bytes become the lone surrogates of
// Python's "surrogateescape", as os.fsdecode gives them.
py::str Text(const std::string& s) {
  PyObject* o = PyUnicode_DecodeUTF8(s.data(), static_cast<Py_ssize_t>(s.size()), "surrogateescape");
  if (!o) throw py::error_already_set();
  return py::reinterpret_steal<py::str>(o);
}

std::string Lower(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

zumen::Format FormatNamed(const std::string& name) {
  const std::optional<zumen::Format> f = zumen::FormatFromName(name);
  if (!f) throw py::value_error("format: takes jww, jws, jwc, jwk or k4, not \"" + name + "\"");
  return *f;
}

zumen::OutputType OutputTypeNamed(const std::string& name) {
  const std::optional<zumen::OutputType> t = zumen::OutputTypeFromName(name);
  if (!t) throw py::value_error("format: not a picture type zumen writes: \"" + name + "\"");
  return *t;
}

zumen::LoadOptions LoadOptionsOf(const std::optional<std::string>& format, const std::string& name = {}) {
  zumen::LoadOptions o;
  if (format) o.format = FormatNamed(*format);
  o.name = name;
  return o;
}

zumen::Background BackgroundNamed(const std::string& name) {
  const std::string n = Lower(name);
  if (n == "drawing") return zumen::Background::Drawing;
  if (n == "white") return zumen::Background::White;
  if (n == "black") return zumen::Background::Black;
  if (n == "transparent") return zumen::Background::Transparent;
  throw py::value_error("background: takes drawing, white, black or transparent, not \"" + name + "\"");
}

zumen::Fit FitNamed(const std::string& name) {
  const std::string n = Lower(name);
  if (n == "paper") return zumen::Fit::Paper;
  if (n == "extents") return zumen::Fit::Extents;
  throw py::value_error("fit: takes paper or extents, not \"" + name + "\"");
}

zumen::Rasteriser RasteriserNamed(const std::string& name) {
  const std::string n = Lower(name);
  if (n == "zumen") return zumen::Rasteriser::Zumen;
  if (n == "cairo") return zumen::Rasteriser::Cairo;
  throw py::value_error("rasteriser: takes zumen or cairo, not \"" + name + "\"");
}

// Sets one rendering option from a keyword argument.
void SetOption(zumen::RenderOptions& o, const std::string& k, const py::handle& value) {
  if (k == "dpi") {
    o.dpi = py::cast<double>(value);
  } else if (k == "width") {
    o.width = py::cast<int>(value);
  } else if (k == "height") {
    o.height = py::cast<int>(value);
  } else if (k == "size") {
    const auto wh = py::cast<std::pair<int, int>>(value);
    if (wh.first < 1 || wh.second < 1) {
      throw py::value_error("size: takes (width, height) of at least 1 pixel each, not (" + std::to_string(wh.first) +
                            ", " + std::to_string(wh.second) + ")");
    }
    o.width = wh.first;
    o.height = wh.second;
  } else if (k == "max_pixels") {
    o.max_pixels = py::cast<uint64_t>(value);
  } else if (k == "max_side") {
    o.max_side = py::cast<uint32_t>(value);
  } else if (k == "margin") {
    o.margin = py::cast<double>(value);
  } else if (k == "background") {
    o.background = BackgroundNamed(py::cast<std::string>(value));
  } else if (k == "frame") {
    o.frame = py::cast<bool>(value);
  } else if (k == "fit") {
    o.fit = FitNamed(py::cast<std::string>(value));
  } else if (k == "monochrome") {
    o.monochrome = py::cast<bool>(value);
  } else if (k == "auxiliary_lines") {
    o.auxiliary_lines = py::cast<bool>(value);
  } else if (k == "fonts_config") {
    o.fonts_config = py::cast<std::filesystem::path>(value).string();
  } else if (k == "reference_file") {
    o.reference_file = py::cast<std::filesystem::path>(value).string();
  } else if (k == "reference_folder") {
    o.reference_folder = py::cast<std::filesystem::path>(value).string();
  } else if (k == "quality") {
    if (!value.is_none()) o.encoder.quality = py::cast<int>(value);
  } else if (k == "threads") {
    o.threads = py::cast<int>(value);
  } else if (k == "rasteriser") {
    o.rasteriser = RasteriserNamed(py::cast<std::string>(value));
  } else if (k == "layers") {
    if (value.is_none()) {
      o.layers.reset();
    } else {
      o.layers = py::cast<std::vector<int>>(value);
      for (const int n : *o.layers) {
        if (n < 0 || n > 255) throw py::value_error("layers: takes layer numbers from 0 to 255, not " + std::to_string(n));
      }
    }
  } else {
    throw py::type_error("unexpected keyword argument '" + k + "'");
  }
}

// The rendering options from keyword arguments; an unknown keyword is a
// TypeError, as for any Python function.
zumen::RenderOptions RenderOptionsOf(const py::kwargs& kw) {
  zumen::RenderOptions o;
  o.fonts_config = g_defaultFontsConfig;
  for (const auto& [key, value] : kw) {
    const std::string k = py::cast<std::string>(key);
    try {
      SetOption(o, k, value);
    } catch (const py::cast_error&) {
      throw py::type_error(k + ": a value of the wrong type (" +
                           py::cast<std::string>(py::type::handle_of(value).attr("__name__")) + ")");
    }
  }
  return o;
}

py::list DiagnosticsOf(const std::vector<zumen::Diagnostic>& ds) {
  py::list out;
  for (const zumen::Diagnostic& d : ds) {
    py::dict e;
    e["code"] = d.code;
    e["count"] = d.count;
    e["message"] = Text(d.message);
    out.append(std::move(e));
  }
  return out;
}

// The description in the shape `zumen info --json` has.
py::dict InfoOf(const zumen::DrawingInfo& i) {
  return py::module_::import("json").attr("loads")(Text(zumen::InfoJson(i)));
}

// The library's JSON of a list as Python lists of dicts.
py::list ListOf(const std::string& json) { return py::module_::import("json").attr("loads")(Text(json)); }

py::dict ResultOf(const zumen::RenderResult& r) {
  py::dict d;
  d["width"] = r.width;
  d["height"] = r.height;
  d["diagnostics"] = DiagnosticsOf(r.diagnostics);
  d["draw_ms"] = r.draw_ms;
  d["save_ms"] = r.save_ms;
  return d;
}

// Renders with the GIL released; raises on failure.
zumen::RenderResult RenderReleased(const zumen::Drawing& d, const zumen::RenderOptions& o, const zumen::Output& out) {
  zumen::RenderResult r;
  {
    py::gil_scoped_release released;
    r = zumen::Render(d, o, out);
  }
  Check(r.status);
  return r;
}

zumen::Drawing Open(const std::filesystem::path& path, const std::optional<std::string>& format) {
  const zumen::LoadOptions o = LoadOptionsOf(format);
  zumen::Opened opened;
  {
    py::gil_scoped_release released;
    opened = zumen::Drawing::Open(path.string(), o);
  }
  Check(opened.status);
  return std::move(opened.drawing);
}

zumen::Drawing OpenBytes(const py::bytes& data, const std::optional<std::string>& format, const std::string& name) {
  const zumen::LoadOptions o = LoadOptionsOf(format, name);
  const std::string_view bytes = data;
  zumen::Opened opened;
  {
    py::gil_scoped_release released;
    opened = zumen::Drawing::OpenBytes(
        std::span<const uint8_t>(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), o);
  }
  Check(opened.status);
  return std::move(opened.drawing);
}

py::array_t<uint8_t> RenderToArray(const zumen::Drawing& d, const py::kwargs& kw) {
  const zumen::RenderOptions o = RenderOptionsOf(kw);
  int w = 0, h = 0;
  Check(zumen::PictureSize(d, o, w, h));
  py::array_t<uint8_t> pixels({static_cast<py::ssize_t>(h), static_cast<py::ssize_t>(w), py::ssize_t{4}});
  RenderReleased(d, o, zumen::Output::Pixels(pixels.mutable_data(), w, h, static_cast<size_t>(w) * 4));
  return pixels;
}

zumen::Output FileOutput(const std::filesystem::path& path, const std::optional<std::string>& format) {
  return format ? zumen::Output::File(path.string(), OutputTypeNamed(*format)) : zumen::Output::File(path.string());
}

const char* const kOptionsDoc =
    "Options (keywords): dpi (150), width and height or size=(w, h) in pixels, max_pixels, max_side (65535),\n"
    "margin (0.05),\n"
    "background ('drawing', 'white', 'black', 'transparent'), frame (True), fit ('paper', 'extents'),\n"
    "monochrome (False), auxiliary_lines (True), fonts_config, reference_file, reference_folder,\n"
    "quality (JPEG and WebP, 1-100), threads (0: one for each core),\n"
    "rasteriser ('zumen', 'cairo': what draws thin strokes of raster pictures),\n"
    "layers (layer numbers 0-255 to draw; None: the drawing's own choice).";

std::string Doc(const std::string& text) { return text + "\n\n" + kOptionsDoc; }

}  // namespace

PYBIND11_MODULE(_zumen, m) {
  m.doc() =
      "zumen: turns Japanese CAD drawings (JWW, JWS, JWC, JWK, K4) into pictures.\n\n"
      "    d = zumen.open('plan.jww')\n"
      "    d.info['title']\n"
      "    pixels = d.render(dpi=150)   # numpy uint8 array, height x width x 4 (RGBA)\n"
      "    d.save('plan.png', size=(1600, 1131))\n"
      "    zumen.convert('plan.jww', 'plan.pdf', monochrome=True)\n\n"
      "Failures raise zumen.Error; reading and rendering release the GIL.";
  m.attr("__version__") = zumen::Version();
  static py::exception<ZumenError> error(m, "Error", PyExc_RuntimeError);
  py::register_exception_translator([](std::exception_ptr p) {
    try {
      if (p) std::rethrow_exception(p);
    } catch (const ZumenError& e) {
      const py::str message = Text(e.what());
      PyErr_SetObject(e.invalidArgument() ? PyExc_ValueError : error.ptr(), message.ptr());
    }
  });

  py::class_<zumen::Drawing>(m, "Drawing", "An opened drawing; read-only, safe to render from several threads.")
      .def_property_readonly(
          "format", [](const zumen::Drawing& d) { return std::string(zumen::FormatName(d.format())); },
          "'JWW', 'JWS', 'JWC', 'JWK' or 'K4'.")
      .def_property_readonly(
          "info", [](const zumen::Drawing& d) { return InfoOf(d.Info()); },
          "What the drawing holds, as a dict of the fields `zumen info --json` prints: format, version, title,\n"
          "paper {code, width_mm, height_mm}, objects {announced, read}, entities, blocks, images, scale,\n"
          "base_point {x, y}, extents {min_x, min_y, max_x, max_y}, read_ok, error.")
      .def_property_readonly(
          "diagnostics", [](const zumen::Drawing& d) { return DiagnosticsOf(d.Diagnostics()); },
          "What reading found that cannot be honoured: a list of dicts with code, count and message.")
      .def_property_readonly(
          "layers", [](const zumen::Drawing& d) { return ListOf(zumen::LayersJson(d.Layers())); },
          "The layers, in order of their numbers: dicts with number, group, name, group_name,\n"
          "state ('normal', 'display-only', 'hidden') and items.")
      .def(
          "texts",
          [](const zumen::Drawing& d, const py::kwargs& kw) {
            const zumen::RenderOptions o = RenderOptionsOf(kw);
            std::string json;
            {
              py::gil_scoped_release released;
              json = zumen::TextsJson(d.Texts(o));
            }
            return ListOf(json);
          },
          "Every text the drawing shows, in drawing order, as dicts: text (as drawn: macros expanded),\n"
          "x, y, height, angle, vertical, box {min_x, min_y, max_x, max_y}, layer, group, layer_name,\n"
          "group_name, block_path.\n"
          "Keywords: reference_file and reference_folder for reference texts, layers to choose the layers\n"
          "(texts of hidden layers are left out otherwise).")
      .def(
          "picture_size",
          [](const zumen::Drawing& d, const py::kwargs& kw) {
            int w = 0, h = 0;
            Check(zumen::PictureSize(d, RenderOptionsOf(kw), w, h));
            return std::make_pair(w, h);
          },
          Doc("(width, height) in pixels of the picture render() would make.").c_str())
      .def("render", &RenderToArray,
           Doc("The picture as a numpy uint8 array, height x width x 4 (RGBA, not premultiplied).").c_str())
      .def(
          "save",
          [](const zumen::Drawing& d, const std::filesystem::path& path, const std::optional<std::string>& format,
             const py::kwargs& kw) {
            return ResultOf(RenderReleased(d, RenderOptionsOf(kw), FileOutput(path, format)));
          },
          py::arg("path"), py::arg("format") = py::none(),
          Doc("Writes the picture to path (type: format, else the extension): bmp, png, jpg, gif, tif, webp,\n"
              "svg, pdf. Returns a dict with width, height and diagnostics.")
              .c_str())
      .def(
          "encode",
          [](const zumen::Drawing& d, const std::string& format, const py::kwargs& kw) {
            std::vector<uint8_t> bytes;
            RenderReleased(d, RenderOptionsOf(kw), zumen::Output::Memory(OutputTypeNamed(format), bytes));
            return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
          },
          py::arg("format"), Doc("The picture encoded as the type named ('png', 'webp', 'pdf', ...), as bytes.").c_str())
      .def("__repr__", [](const zumen::Drawing& d) {
        return Text("<zumen.Drawing " + std::string(zumen::FormatName(d.format())) + " \"" + d.Info().title + "\">");
      });

  m.def("open", &Open, py::arg("path"), py::arg("format") = py::none(),
        "Opens a drawing file; its format comes from format ('jww', ... 'k4') or the extension.");
  m.def("open_bytes", &OpenBytes, py::arg("data"), py::arg("format") = py::none(), py::arg("name") = "",
        "Opens a drawing held in bytes; its format comes from format, name's extension or the signature.");
  m.def(
      "convert",
      [](const std::filesystem::path& source, const std::filesystem::path& destination,
         const std::optional<std::string>& format, const std::optional<std::string>& source_format,
         const py::kwargs& kw) {
        const zumen::RenderOptions o = RenderOptionsOf(kw);
        const zumen::Output out = FileOutput(destination, format);
        return ResultOf(RenderReleased(Open(source, source_format), o, out));
      },
      py::arg("source"), py::arg("destination"), py::arg("format") = py::none(), py::arg("source_format") = py::none(),
      Doc("Converts a drawing file into a picture file (type: format, else the destination's extension).\n"
          "Returns a dict with width, height and diagnostics.")
          .c_str());
  m.attr("formats") = py::make_tuple("jww", "jws", "jwc", "jwk", "k4");
  py::list types;
  for (const zumen::OutputType t : zumen::OutputTypes()) types.append(zumen::OutputTypeName(t));
  m.attr("output_types") = py::tuple(types);
  m.def(
      "output_type_of",
      [](const std::string& nameOrPath) -> std::optional<std::string> {
        const std::optional<zumen::OutputType> t = zumen::OutputTypeFromName(nameOrPath);
        if (!t) return std::nullopt;
        return std::string(zumen::OutputTypeName(*t));
      },
      py::arg("name"),
      "The picture type a name ('jpeg', '.TIF') or a path's extension names, as in output_types; None if none.\n"
      "Its file extension is '.' and the name.");
  m.def(
      "format_of",
      [](const std::string& nameOrPath) -> std::optional<std::string> {
        const std::optional<zumen::Format> f = zumen::FormatFromName(nameOrPath);
        if (!f) return std::nullopt;
        return Lower(zumen::FormatName(*f));
      },
      py::arg("name"),
      "The drawing format a name ('JWW') or a path's extension names, as in formats; None if none.");
  m.def(
      "_check_options",
      [](const py::kwargs& kw) {
        // The library checks the options before it looks at a drawing, so an
        // empty one shows whether they are in range.
        int w = 0, h = 0;
        const zumen::Status s = zumen::PictureSize(zumen::Drawing::Empty(zumen::Format::Jww), RenderOptionsOf(kw), w, h);
        if (s.code == zumen::StatusCode::InvalidArgument) Check(s);
      },
      "Raises TypeError or ValueError, as render() would, when the options are wrong; else nothing.");
  m.def(
      "_set_default_fonts_config", [](const std::string& path) { g_defaultFontsConfig = path; }, py::arg("path"),
      "Sets the fonts_config used when a call names none (the package sets the font rules it carries).");
}
