#pragma once
// zumen: turns Japanese CAD drawings (JWW, JWS, JWC, JWK, K4) into pictures.
//
// This header is the whole public interface of the library:
//
//   zumen::Opened opened = zumen::Drawing::Open("plan.jww");
//   if (!opened) { std::cerr << opened.status.message << '\n'; return 1; }
//   zumen::RenderOptions options;
//   options.dpi = 300;
//   zumen::RenderResult r = zumen::Render(opened.drawing, options, zumen::Output::File("plan.png"));
//   if (!r) std::cerr << r.status.message << '\n';
//
// A Drawing is read-only once opened: any number of threads may render the
// same drawing or different drawings at the same time. Nothing here throws;
// failures come back as a Status.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// What the shared library exports: everything declared here, nothing else.
#ifndef ZUMEN_API
#if defined(__GNUC__) || defined(__clang__)
#define ZUMEN_API __attribute__((visibility("default")))
#else
#define ZUMEN_API
#endif
#endif

namespace zumen {

// ---------------------------------------------------------------- status

enum class StatusCode {
  Ok = 0,
  NotFound,         // the source does not exist
  NotAFile,         // the source is a folder (or another thing that is not a file)
  UnknownFormat,    // no drawing format zumen reads goes by that name or signature
  BadSignature,     // the file fails its format's check
  TooLarge,         // a limit refused the input or the picture
  UnknownOutput,    // no image type goes by that name
  WriteFailed,      // the picture could not be written
  InvalidArgument,  // an option out of its range
  Internal,         // a fault inside zumen
  Cancelled,        // RenderOptions::cancelled asked to stop
};

struct Status {
  StatusCode code = StatusCode::Ok;
  std::string message;  // one line for people; empty when Ok

  bool ok() const { return code == StatusCode::Ok; }
  explicit operator bool() const { return ok(); }
  static Status Error(StatusCode c, std::string m) { return {c, std::move(m)}; }
};

// ---------------------------------------------------------------- formats

// Drawing formats.
enum class Format { Jww, Jws, Jwc, Jwk, K4 };

// "JWW", "JWS", "JWC", "JWK", "K4".
ZUMEN_API const char* FormatName(Format f);
// The format an extension names (".jww" ... ".k4", any letter case; the text
// may be a whole path), or a short name ("jww", "k4"); nothing for others.
ZUMEN_API std::optional<Format> FormatFromName(std::string_view pathOrName);
// The format whose signature the first bytes carry (JWW, JWS, JWC; JWK and
// K4 files have no signature of their own and are not recognised).
ZUMEN_API std::optional<Format> FormatFromSignature(std::span<const uint8_t> bytes);
// Whether the format holds a symbol (JWS, JWK): its picture is sized to its
// own extents rather than to a paper.
ZUMEN_API bool IsSymbol(Format f);

// Output types: raster pictures (BMP ... WebP), vector pages (SVG, PDF) sized
// to the paper at its true size, and drawings for other programs.
enum class OutputType { Bmp, Png, Jpeg, Gif, Tiff, Webp, Svg, Pdf, Dxf };
// Whether the type is a vector page rather than a raster picture (false for
// DXF, which is neither).
ZUMEN_API bool IsVector(OutputType t);
// Every output type, in the order of the enumeration (for front-ends that
// list the choices).
ZUMEN_API std::span<const OutputType> OutputTypes();
// DXF ("dxf", ".dxf"): an AutoCAD 2013 DXF drawing in millimetres of the
// drawing, not a picture (Render answers width and height 0 and ignores the
// size options). The images the drawing places are written beside a DXF file
// as "<stem>_<name>"; a DXF in memory names them where zumen found them.

// The type an extension names (".png" ... in any letter case; the text may
// be a whole path) or a short name ("png", "jpg", "tif"); nothing for others.
ZUMEN_API std::optional<OutputType> OutputTypeFromName(std::string_view pathOrName);
// The usual extension, with its dot (".png"), and the short name ("png").
ZUMEN_API const char* OutputTypeExtension(OutputType t);
ZUMEN_API const char* OutputTypeName(OutputType t);

// ---------------------------------------------------------------- options

// Limits that keep a damaged or hostile file from taking unbounded time or
// memory; each is a setting, the defaults suit any real drawing.
struct LoadOptions {
  // The format; when empty it comes from the path's extension, or, for bytes,
  // from the name below or the signature.
  std::optional<Format> format;
  // For drawings opened from bytes: the path the drawing stands for (used by
  // the file-name text macros and to find the reference file); may be empty.
  std::string name;
  // Largest drawing file read.
  uint64_t max_file_bytes = uint64_t{1} << 30;
  // Largest inflated copy of one image embedded in a drawing.
  uint64_t max_embedded_image_bytes = uint64_t{256} << 20;
  // Most members drawn through block instances, summed over the block tree
  // (an instance counts every member of its definition). A damaged drawing
  // whose block places itself would otherwise cost hours; a drawing that
  // needs more is drawn in part, with a warning.
  uint64_t max_block_work = 100'000;
  // Not used: a drawing and the images it carries or places are read into
  // memory when it is opened, and no file is written for them. Kept so that
  // programs that set it still build.
  std::string temp_folder;
};

// The colour under the drawing: the drawing's own choice (white, or black for
// a JWW drawing that asks for it), white, black, or none (where the picture
// type has transparency).
enum class Background { Drawing, White, Black, Transparent };

// What the frame fitted into the picture is: the paper (symbols: their
// extents), or the extents of the drawing's own entities (for drawings that
// lie off their paper, and for previews).
enum class Fit { Paper, Extents };

// What draws the thin strokes (up to 4 pixels wide) of raster pictures:
// zumen's own rasteriser, which gives each pixel the exact share of it the
// stroke covers and draws dense drawings several times faster, or Cairo,
// which draws everything else in either case. The two pictures differ by a
// few levels along the edges of strokes. SVG and PDF pages are Cairo's.
enum class Rasteriser { Zumen, Cairo };

struct EncoderOptions {
  // JPEG and WebP quality, 1..100. Empty: JPEG at 90, WebP lossless.
  std::optional<int> quality;
};

struct RenderOptions {
  // Picture size: width x height pixels when both are above 0; else (both 0)
  // the paper (for symbols: their extents) at dpi dots per inch. One without
  // the other, or a negative one, is refused with InvalidArgument.
  int width = 0;
  int height = 0;
  double dpi = 150;
  // Pictures with more pixels than this are refused. Large raster pictures
  // are drawn in bands, so memory does not grow with them; the default takes
  // A0 at 1200 dpi.
  uint64_t max_pixels = uint64_t{1} << 32;
  // Pictures with a side longer than this many pixels are refused at once:
  // 65,535 is the most JPEG and GIF hold and more than any viewer shows (A0
  // at 1200 dpi is 56,160 pixels long); a longer side mostly comes from a
  // damaged coordinate. PNG and TIFF hold up to 2^31 - 1.
  uint32_t max_side = 65535;
  // Room around the fitted frame, as a share of its size (0.05: 2.5 % on each
  // side); a finite number of 0 or more.
  double margin = 0.05;
  Background background = Background::Drawing;
  // The blue frame of the paper.
  bool frame = true;
  Fit fit = Fit::Paper;
  // Whether the frame fitted for symbols (JWS, JWK) and with Fit::Extents is
  // the box of what is drawn: the extents grown by the cells of the texts and
  // by half the widest pen, so that no text or thick line is cut at the
  // picture's edge. false: the extents of the defining points alone (the
  // framing zumen-child keeps).
  bool fit_drawn = true;
  // Every entity in one colour (black, or white on a black background), for printing.
  bool monochrome = false;
  // Auxiliary lines (construction lines) of the drawing.
  bool auxiliary_lines = true;
  // Characters that would be drawn less than this many pixels high are drawn
  // as a bar of their colour across the middle of their cell, without fonts:
  // for previews and thumbnails, where such text cannot be read anyway and
  // starting the font machinery would cost more than the rest. 0: every
  // character is drawn with its font.
  double text_bars_below_px = 0;
  // A fontconfig file that maps the Windows font names drawings use to
  // installed fonts; empty: the one installed with zumen.
  std::string fonts_config;
  // The reference-text file for "%%" texts: a path, or a bare name looked up in
  // the drawing's folder (or in reference_folder when the drawing has none or
  // was not read); empty: none.
  std::string reference_file;
  std::string reference_folder;
  EncoderOptions encoder;
  // Threads that draw and encode one raster picture: its tiles of 256 x 256
  // pixels are drawn side by side and its PNG or TIFF data deflated in
  // parallel; the picture is the same whatever the number. 0: one for each
  // core; a batch converting several drawings at once gives each its share
  // of the cores.
  int threads = 0;
  // What draws the thin strokes of raster pictures (see Rasteriser).
  Rasteriser rasteriser = Rasteriser::Zumen;
  // The layers drawn, by number (layer group x 16 + layer, 0..255). Empty:
  // the drawing's own choice, its hidden layers left out. Given: exactly
  // these layers are drawn, hidden ones among them; display-only layers keep
  // their grey. Applies to pictures, pages and DXF alike.
  std::optional<std::vector<int>> layers;
  // Asked now and then while a picture is drawn and encoded (it must be
  // cheap and safe to call from the rendering threads); when it answers
  // true, Render stops, writes nothing and answers StatusCode::Cancelled.
  // For time budgets and callers that went away.
  std::function<bool()> cancelled;
};

// The reference file that a front-end's "Jw_win.jwf" in folder names
// (its REF_FILE line); empty when there is none.
ZUMEN_API std::string ReferenceFileOf(const std::string& folder);

// ---------------------------------------------------------------- diagnostics

// Something a drawing had that could not be honoured, with a stable code (see
// the README for the list) and how often it occurred.
struct Diagnostic {
  std::string code;     // e.g. "read-partial", "block-instances-cut", "image-missing"
  int64_t count = 0;
  std::string message;  // one line for people
};

// ---------------------------------------------------------------- drawings

struct Box {
  double min_x = 0, min_y = 0, max_x = 0, max_y = 0;
};

// What a drawing holds; the same fields for every format. A field a format
// does not have is empty.
struct DrawingInfo {
  Format format = Format::Jww;
  std::optional<int> version;        // the file's version number
  std::string title;                 // UTF-8
  std::optional<int> paper_code;     // paper size code of the file
  double paper_width_mm = 0;         // the frame the picture fits: the paper,
  double paper_height_mm = 0;        // for symbols their extents
  int64_t objects_announced = -1;    // what the file says it holds (-1: it does not say)
  int64_t objects_read = 0;
  // Entities read, by kind ("line", "arc", "text", ...), in a fixed order.
  std::vector<std::pair<std::string, int64_t>> entities;
  int64_t block_definitions = 0;
  int64_t block_instances = 0;
  int64_t block_tree_nodes = 0;
  // Members drawn through block instances, and the block instances left out
  // by the limits (max_block_work, nesting deeper than 32 levels).
  int64_t block_tree_work = 0;
  int64_t block_instances_cut = 0;
  int64_t images = 0;                // embedded or placed images
  std::optional<double> scale;       // a symbol's scale
  std::optional<std::pair<double, double>> base_point;  // a symbol's base point
  std::optional<Box> extents;        // of the entities, when the file was read
  bool read_ok = false;              // read to its end
  std::string read_error;            // why not
};

// How a drawing shows a layer: normally, in grey (display only), or not at all.
enum class LayerState { Normal, DisplayOnly, Hidden };

// A layer of the drawing (JWW, JWS, JWC, JWK and K4 drawings have 16 layer
// groups of 16 layers each).
struct Layer {
  int number = 0;          // layer group x 16 + layer, 0..255
  int group = 0;           // 0..15
  std::string name;        // UTF-8; empty when the drawing names none
  std::string group_name;  // UTF-8; empty when the drawing names none
  LayerState state = LayerState::Normal;
  int64_t items = 0;       // entities on it (block members counted once for each placement)
};

// A text as the drawing shows it.
struct Text {
  std::string text;  // as drawn, UTF-8: macros expanded (file name, date, scale, reference texts), control sequences applied
  double x = 0, y = 0;  // the start of its base line, in drawing units
  double height = 0;    // of its characters, in drawing units
  double angle = 0;     // of its base line, degrees counter-clockwise
  bool vertical = false;  // written top to bottom
  Box box;           // the cells it is drawn in, in drawing units
  int layer = 0;     // its layer's number (group x 16 + layer)
  int group = 0;     // its layer group, 0..15
  std::string layer_name;  // UTF-8; empty when the drawing names none
  std::string group_name;  // UTF-8; empty when the drawing names none
  // The blocks it is placed through, outermost first (their names, or "#n"
  // for a block without a name); empty for a text of the drawing itself.
  std::vector<std::string> block_path;
};

class Drawing;

// A drawing, or the status of why there is none.
struct Opened;

class ZUMEN_API Drawing {
 public:
  // Opens a drawing file; the format comes from options.format or the extension.
  static Opened Open(const std::string& path, const LoadOptions& options = {});
  // Opens a drawing held in memory (the bytes are copied).
  static Opened OpenBytes(std::span<const uint8_t> bytes, const LoadOptions& options = {});
  // A drawing of the format with nothing in it: what a front-end's converter
  // draws for a file it could not read.
  static Drawing Empty(Format f);

  Drawing();  // no drawing: valid() is false
  ~Drawing();
  Drawing(const Drawing&);
  Drawing& operator=(const Drawing&);
  Drawing(Drawing&&) noexcept;
  Drawing& operator=(Drawing&&) noexcept;

  bool valid() const { return impl_ != nullptr; }
  Format format() const;
  const DrawingInfo& Info() const;
  // What reading found that cannot be honoured (a partial read, texts that
  // did not decode, blocks left out or missing, ...).
  const std::vector<Diagnostic>& Diagnostics() const;
  // The layers, all 256 of them, in order of their numbers.
  const std::vector<Layer>& Layers() const;
  // Every text the drawing shows, in drawing order: what a search index of
  // drawings needs. Macros are expanded for this moment, with the reference
  // file of options (its other fields are not used); texts of hidden layers
  // are left out unless options.layers names them.
  std::vector<Text> Texts(const RenderOptions& options = {}) const;

  // The library's own view of the drawing.
  struct Impl;
  const Impl& impl() const { return *impl_; }
  explicit Drawing(std::shared_ptr<const Impl> impl);

 private:
  std::shared_ptr<const Impl> impl_;  // shared by copies: the drawing is read-only
};

// The description as one JSON object in UTF-8, the fields `zumen info
// --json` prints besides source, status and warnings: format, version,
// title, paper {code, width_mm, height_mm}, objects {announced, read},
// entities {kind: count}, blocks {definitions, instances, tree_nodes, work,
// instances_cut}, images, scale, base_point {x, y}, extents {min_x, min_y,
// max_x, max_y}, read_ok, error; null where the format has no such field.
ZUMEN_API std::string InfoJson(const DrawingInfo& info);
// The texts as one JSON array in UTF-8, one object per text: {"text", "x",
// "y", "height", "angle", "vertical", "box": {min_x, min_y, max_x, max_y},
// "layer", "group", "layer_name", "group_name", "block_path": [...]}.
ZUMEN_API std::string TextsJson(const std::vector<Text>& texts);
// The layers as one JSON array in UTF-8: {"number", "group", "name",
// "group_name", "state": "normal" | "display-only" | "hidden", "items"}.
ZUMEN_API std::string LayersJson(const std::vector<Layer>& layers);

struct Opened {
  Drawing drawing;  // valid() only when status is Ok
  Status status;
  explicit operator bool() const { return status.ok(); }
};

// ---------------------------------------------------------------- rendering

// Where Render puts the picture.
class ZUMEN_API Output {
 public:
  // A file; the type follows the extension unless given. An existing file is
  // replaced only by a complete picture.
  static Output File(std::string path, std::optional<OutputType> type = {});
  // An encoded picture in memory (bytes is replaced).
  static Output Memory(OutputType type, std::vector<uint8_t>& bytes);
  // The caller's buffer of width x height pixels, 4 bytes each (R, G, B, A,
  // not premultiplied), rows stride bytes apart: the picture is drawn at the
  // buffer's size, ignoring the size options.
  static Output Pixels(uint8_t* rgba, int width, int height, size_t stride);

  enum class Kind { File, Memory, Pixels };
  Kind kind() const { return kind_; }
  const std::string& path() const { return path_; }
  std::optional<OutputType> type() const { return type_; }
  std::vector<uint8_t>* bytes() const { return bytes_; }
  uint8_t* pixels() const { return pixels_; }
  int width() const { return width_; }
  int height() const { return height_; }
  size_t stride() const { return stride_; }

 private:
  Output() = default;
  Kind kind_ = Kind::File;
  std::string path_;
  std::optional<OutputType> type_;
  std::vector<uint8_t>* bytes_ = nullptr;
  uint8_t* pixels_ = nullptr;
  int width_ = 0, height_ = 0;
  size_t stride_ = 0;
};

struct RenderResult {
  Status status;
  int width = 0;   // pixels of the picture (vector pages: the pixels the renderer drew in)
  int height = 0;
  double draw_ms = 0;  // drawing, and encoding with writing
  double save_ms = 0;
  // Where the drawing lies in the picture: the window of drawing
  // coordinates it shows (left, bottom, right, top edges) and the pixels
  // per drawing unit. A point (x, y) lands at column (x - window.min_x) *
  // scale and row (window.max_y - y) * scale. Zero for DXF.
  Box window;
  double scale = 0;
  // What drawing found that could not be honoured (missing images, fonts
  // that fell back, entities far outside the paper, ...), besides the
  // drawing's own Diagnostics().
  std::vector<Diagnostic> diagnostics;
  explicit operator bool() const { return status.ok(); }
};

// The pixel size Render gives the drawing with these options (the size
// options alone: an Output::Pixels buffer sets its own).
ZUMEN_API Status PictureSize(const Drawing& d, const RenderOptions& options, int& width, int& height);

// Draws the drawing and delivers the picture.
ZUMEN_API RenderResult Render(const Drawing& d, const RenderOptions& options, const Output& output);

// ---------------------------------------------------------------- processes

// Removes, when the process is stopped by SIGINT, SIGTERM, SIGHUP or SIGQUIT,
// the temporary files and folders zumen made and the partial pictures it was
// writing; then ends the process by the same signal. Call once at start.
ZUMEN_API void InstallSignalCleanup();

// The library's version, "MAJOR.MINOR.PATCH".
ZUMEN_API const char* Version();

}  // namespace zumen
