#include "driver/conversion.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "codecs/image_io.h"
#include "common/files.h"
#include "common/text.h"
#include "driver/reference.h"
#include "driver/texts.h"
#include "renderer/paint_scene.h"
#include "renderer_k4/paint_scene.h"
#include "formats/jwc/handler.h"
#include "formats/jww/handler.h"
#include "formats/k4/handler.h"

namespace zumen {

std::unique_ptr<DrawingHandler> MakeHandler(Family f) {
  switch (f) {
    case Family::Jww: return MakeJwwHandler();
    case Family::Jws: return MakeJwsHandler();
    case Family::Jwc: return MakeJwcHandler();
    case Family::Jwk: return MakeJwkHandler();
    case Family::K4: return MakeK4Handler();
    default: return nullptr;
  }
}

Family FamilyOf(Format f) {
  switch (f) {
    case Format::Jww: return Family::Jww;
    case Format::Jws: return Family::Jws;
    case Format::Jwc: return Family::Jwc;
    case Format::Jwk: return Family::Jwk;
    case Format::K4: return Family::K4;
  }
  return Family::None;
}

Format FormatOf(Family f) {
  switch (f) {
    case Family::Jws: return Format::Jws;
    case Family::Jwc: return Format::Jwc;
    case Family::Jwk: return Format::Jwk;
    case Family::K4: return Format::K4;
    default: return Format::Jww;
  }
}

Family FamilyOfPath(const std::string& path) {
  const std::string ext = FileExtLower(std::string_view(path));
  if (ext == ".k4") return Family::K4;
  if (ext == ".jww") return Family::Jww;
  if (ext == ".jws") return Family::Jws;
  if (ext == ".jwc") return Family::Jwc;
  if (ext == ".jwk") return Family::Jwk;
  return Family::None;
}

const char* FamilyName(Family f) {
  switch (f) {
    case Family::K4: return "K4";
    case Family::Jww: return "JWW";
    case Family::Jws: return "JWS";
    case Family::Jwc: return "JWC";
    case Family::Jwk: return "JWK";
    default: return "unknown";
  }
}

LoadedDrawing::~LoadedDrawing() = default;

std::string OwnLayerName(const std::u16string& name, char16_t open, char16_t close) {
  std::u16string_view v = name;
  if (v.size() >= 4 && v[0] == open && v[2] == close && v[3] == u' ') v.remove_prefix(4);
  return Utf16ToUtf8(v);
}

namespace {

// Reads the image files the scene's image texts place (those not among the
// drawing's own images), found as named, beside the drawing or by their last
// path component there: a drawing is read whole when it is opened, and no
// picture of it reads a file. Names of types zumen does not read are left
// for the picture to refuse.
void LoadPlacedImages(scene::Scene& s, const std::string& drawingPath) {
  const auto load = [&](const std::vector<scene::Item>& items) {
    for (const scene::Item& item : items) {
      const auto* image = scene::GetIf<scene::Image>(item);
      if (!image || s.images.count(image->file) != 0) continue;
      const std::u16string ext = FileExtLower(image->file);
      static constexpr std::u16string_view kRead[] = {u".bmp", u".png", u".tif", u".tiff", u".jpg", u".jpeg", u".gif"};
      if (std::find(std::begin(kRead), std::end(kRead), ext) == std::end(kRead)) continue;
      const std::string path = FindPlacedFile(image->file, drawingPath);
      if (path.empty()) continue;  // missing
      scene::ImageSource& src = s.images[image->file];
      src.path = path;
      auto bytes = std::make_shared<std::vector<uint8_t>>();
      src.error = ReadImageFile(path, *bytes);
      if (src.error.empty()) src.bytes = std::move(bytes);
    }
  };
  load(s.items);
  for (const scene::Definition& def : s.definitions) load(def.items);
}

// The attribute model's start-up state: display mode, white paper, the
// default pens, line types and layers, the grey of display-only layers.
TgraAttribute StartModel() {
  TgraAttribute a;
  a.SetDisplayMode(true);
  a.SetBackColor(0);
  a.SetDefaultColor();
  a.SetDefaultLayer();
  a.SetDefaultWidth();
  a.SetDefaultTenR();
  a.SetDefaultLtype();
  a.SetDispHojo(1);
  a.SetDispKijun(1);
  a.SetGrayColor(0xFF808080);
  a.SetAll1Color(false);
  return a;
}

// Lowers the drawing into its scene once: every picture, export and query
// reads it.
void BuildScene(const DrawingHandler& handler, LoadedDrawing& d) {
  auto s = std::make_shared<scene::Scene>();
  s->model = StartModel();
  handler.Lower(d.read, *s);
  // Every family hands its layers' states and names to the model; the
  // scene's layers show them.
  for (int n = 0; n < TgraAttribute::kLayerCount; ++n) {
    scene::LayerDef& l = s->layers[static_cast<size_t>(n)];
    const TjwvLayer& m = s->model.jwvLay[static_cast<size_t>(n)];
    l.state = s->model.GetAttrLayerState(n);
    if (l.name.empty()) l.name = m.nam;
    if (l.groupName.empty()) l.groupName = m.gna;
  }
  LoadPlacedImages(*s, d.read ? d.absolutePath : std::string());
  d.scene = std::move(s);
  // What every render of the drawing knows of it.
  DrawingFacts& f = d.facts;
  f = DrawingFacts{};
  f.CurTitle = d.scene->title;
  f.Images = &d.scene->images;
  if (d.read) {
    f.CurFilePath = d.absolutePath;
    f.CurFileName = PathToText(d.absolutePath);
    if (d.haveFileTime) f.FileTime = d.fileTime;
  }
}

// The 256 layers with their names and states, and the items the scene
// paints on each (a definition's members once for each placement).
void DescribeLayers(const scene::Scene& s, std::vector<Layer>& out) {
  out.assign(TgraAttribute::kLayerCount, Layer{});
  for (int n = 0; n < TgraAttribute::kLayerCount; ++n) {
    Layer& l = out[static_cast<size_t>(n)];
    const scene::LayerDef& def = s.layers[static_cast<size_t>(n)];
    l.number = n;
    l.group = n / 16;
    l.name = OwnLayerName(def.name, u'(', u')');
    l.group_name = OwnLayerName(def.groupName, u'[', u']');
    l.state = def.state == 3 ? LayerState::Hidden : def.state == 2 ? LayerState::DisplayOnly : LayerState::Normal;
  }
  const auto count = [&](const std::vector<scene::Item>& items) {
    for (const scene::Item& item : items) {
      const scene::Head& h = scene::HeadOf(item);
      if (h.layer >= 0 && h.layer < TgraAttribute::kLayerCount && !(h.flags & scene::kNotDrawn))
        ++out[static_cast<size_t>(h.layer)].items;
    }
  };
  count(s.items);
  for (const scene::Placement& p : s.placements)
    if (p.definition >= 0 && static_cast<size_t>(p.definition) < s.definitions.size())
      count(s.definitions[static_cast<size_t>(p.definition)].items);
}

// What the drawing holds, with its extents, for Info().
void Describe(const DrawingHandler& handler, LoadedDrawing& d) {
  DrawingInfo& info = d.info;
  info = DrawingInfo{};
  info.format = FormatOf(d.family);
  handler.Describe(*d.scene, info);
  DescribeLayers(*d.scene, d.layers);
  info.read_ok = d.read;
  info.read_error = d.read ? std::string() : d.error;
  const ExtentBox& e = d.scene->extents;
  if (d.read) info.extents = Box{e.minx, e.miny, e.maxx, e.maxy};
  d.diagnostics.clear();
  if (!d.read) {
    d.diagnostics.push_back(
        {"read-partial", 1, "read only in part (" + d.error + "); the image shows what was read"});
  }
  handler.Diagnostics(d.diagnostics);
}

}  // namespace

Status LoadDrawing(Family family, std::span<const uint8_t> bytes, const std::string& path,
                   const LoadOptions& options, LoadedDrawing& out) {
  out.family = family;
  out.path = path;
  if (!path.empty()) out.absolutePath = AbsolutePath(path);
  // The handler holds the model only while the drawing is read and lowered.
  const std::unique_ptr<DrawingHandler> handler = MakeHandler(family);
  if (!handler) return Status::Error(StatusCode::UnknownFormat, "not a drawing format zumen reads");
  out.checked = handler->Check(bytes);
  if (!out.checked) {
    out.error = std::string("not a ") + FamilyName(family) + " file (its signature or version is wrong)";
    return Status::Error(StatusCode::BadSignature, out.error);
  }
  ReadLimits limits;
  limits.maxEmbeddedImageBytes = options.max_embedded_image_bytes;
  limits.maxBlockWork = options.max_block_work;
  std::string error;
  out.read = handler->Read(bytes, limits, error);
  if (!out.read) out.error = error.empty() ? "File I/O Error" : error;
  if (!path.empty()) out.haveFileTime = FileTimeLocal(path, out.fileTime);
  BuildScene(*handler, out);
  Describe(*handler, out);
  return {};
}

void EmptyDrawing(Family family, LoadedDrawing& out) {
  out.family = family;
  const std::unique_ptr<DrawingHandler> handler = MakeHandler(family);
  out.checked = false;
  out.read = false;
  out.error = "nothing was read";
  out.info = DrawingInfo{};
  out.info.format = FormatOf(family);
  BuildScene(*handler, out);
  DescribeLayers(*out.scene, out.layers);
}

void SelectLayers(TgraAttribute& a, const std::vector<int>& shown) {
  std::vector<bool> in(TgraAttribute::kLayerCount, false);
  for (int n : shown)
    if (n >= 0 && n < TgraAttribute::kLayerCount) in[static_cast<size_t>(n)] = true;
  for (int n = 0; n < TgraAttribute::kLayerCount && n < a.jwvLayN; ++n) {
    TjwvLayer& l = a.jwvLay[static_cast<size_t>(n)];
    // A display-only layer keeps its grey; a hidden one named is drawn normally.
    if (!in[static_cast<size_t>(n)]) l.sta = 3;
    else if (l.sta == 3) l.sta = 1;
  }
}

void SetUpContext(const LoadedDrawing& d, const RenderOptions& options, ConversionContext& ctx, const Clock* clock) {
  if (clock) ctx.clock = clock;
  const scene::Scene& s = *d.scene;
  TgraAttribute& a = ctx.GAtt;
  a = s.model;
  a.SetDispHojo(options.auxiliary_lines ? 1 : 0);
  ctx.Facts = &d.facts;
  if (options.layers) SelectLayers(a, *options.layers);
  ctx.Cancel = options.cancelled ? &options.cancelled : nullptr;
  ctx.RefFileName = Utf8ToUtf16(options.reference_file);
  RefFileOpen(ctx, options.reference_folder);
  // The background: the drawing's own (white, or black for a JWW drawing that
  // asks for it), or the one chosen; on one the drawing was not made for, ink
  // of nearly its colour turns to the foreground colour.
  const int own = a.GetBackColorNo();
  int chosen = own;
  if (options.background == Background::White) chosen = 0;
  if (options.background == Background::Black) chosen = 1;
  a.SetBackColor(chosen);
  ctx.SwapInk = chosen != own;
  // One colour: the foreground (black, white on black); on a transparent
  // picture black, the ink of the page it will lie on.
  a.SetAll1Color(options.monochrome,
                 options.background == Background::Transparent ? 0xFF000000u : a.GetForeColor());
  ctx.KeepMasks = options.monochrome;
  ctx.TextBarsBelowPx = std::isfinite(options.text_bars_below_px) ? options.text_bars_below_px : 0;
}

DrawModes ModesOf(const RenderOptions& options) {
  DrawModes m;
  m.frame = options.frame;
  m.auxiliaryLines = options.auxiliary_lines;
  switch (options.background) {
    case Background::White: m.background = 0xFFFFFFFF; break;
    case Background::Black: m.background = 0xFF000000; break;
    case Background::Transparent: m.background = 0x00000000; break;
    default: break;
  }
  return m;
}

namespace {

// Pens wider than this many millimetres of paper are damaged values: they
// do not widen the drawn box.
constexpr double kWidestPen = 10;

// Half the widest pen of the lines and arcs the drawing shows on its own
// layers, in drawing units. A Jw pen in display mode is its width in
// millimetres of paper wide, which are the drawing units of the painter;
// otherwise, and for K4 drawings, pens are a pixel wide, which the margin
// takes.
double HalfWidestPen(const scene::Scene& s) {
  if (s.painter != scene::Painter::Jw || !s.model.GetDisplayMode()) return 0;
  double widest = 0;
  const auto scan = [&](const std::vector<scene::Item>& items) {
    for (const scene::Item& item : items) {
      const scene::JwPen* pen = nullptr;
      if (const auto* l = scene::GetIf<scene::Line>(item)) pen = &l->pen;
      else if (const auto* a = scene::GetIf<scene::Arc>(item)) pen = &a->pen;
      if (!pen || !(pen->wid > widest) || !(pen->wid <= kWidestPen)) continue;
      const scene::Head& h = scene::HeadOf(item);
      if ((h.flags & scene::kNotDrawn) || h.layer < 0 || s.model.GetAttrLayerState(h.layer) == 3) continue;
      widest = pen->wid;
    }
  };
  scan(s.items);
  for (const scene::Definition& def : s.definitions) scan(def.items);
  return widest / 2;
}

// The drawing's reach, found on first need: the texts as a picture with the
// default options shows them (the drawing's own layers), laid out now.
const LoadedDrawing::Reach& ReachOf(const LoadedDrawing& d) {
  std::call_once(d.reachOnce, [&d] {
    LoadedDrawing::Reach r;
    for (const Text& t : CollectTexts(d, RenderOptions{})) {
      if (!r.texts) BoxStart(r.textBox, t.box.min_x, t.box.min_y, 1);
      else BoxAdd(r.textBox, t.box.min_x, t.box.min_y, 1);
      BoxAdd(r.textBox, t.box.max_x, t.box.max_y, 1);
      r.texts = true;
    }
    r.halfPen = HalfWidestPen(*d.scene);
    d.reach = r;
  });
  return d.reach;
}

}  // namespace

FrameBox FittedFrame(const LoadedDrawing& d, Fit fit, bool drawn) {
  const scene::Scene& s = *d.scene;
  FrameBox f{s.frame.x1, s.frame.y1, s.frame.x2, s.frame.y2};
  if (fit == Fit::Extents && d.read && s.surveyAny) {
    const ExtentBox& b = s.surveyBox;
    f = {b.minx, b.miny, b.maxx, b.maxy};
  }
  // Symbols (drawings without a paper) are fitted by their extents, which
  // grow to what is drawn as those of Fit::Extents do.
  if (!drawn || !d.read || !s.drawn || (fit != Fit::Extents && s.paperFrame)) return f;
  const LoadedDrawing::Reach& r = ReachOf(d);
  if (r.texts) {
    f.x1 = std::min(f.x1, r.textBox.minx);
    f.y1 = std::min(f.y1, r.textBox.miny);
    f.x2 = std::max(f.x2, r.textBox.maxx);
    f.y2 = std::max(f.y2, r.textBox.maxy);
  }
  f.x1 -= r.halfPen;
  f.y1 -= r.halfPen;
  f.x2 += r.halfPen;
  f.y2 += r.halfPen;
  return f;
}

RenderOptions OptionsForOutput(const RenderOptions& options, std::optional<OutputType> type) {
  RenderOptions o = options;
  // BMP and JPEG pictures have no transparency: they get white.
  if (o.background == Background::Transparent && (type == OutputType::Bmp || type == OutputType::Jpeg))
    o.background = Background::White;
  return o;
}

Status PictureSizeOf(const LoadedDrawing& d, const RenderOptions& options, int& width, int& height) {
  double sx, sy;
  if (options.width > 0 && options.height > 0) {
    sx = options.width;
    sy = options.height;
  } else {
    if (!std::isfinite(options.dpi) || options.dpi <= 0) {
      return Status::Error(StatusCode::InvalidArgument, "the resolution must be a positive number of dots per inch");
    }
    // The fitted frame at the resolution when it is not the paper: the
    // extents, and a symbol's drawn box.
    if (options.fit == Fit::Extents || (options.fit_drawn && !d.scene->paperFrame)) {
      const FrameBox f = FittedFrame(d, options.fit, options.fit_drawn);
      DotSizeAtDpi(std::fabs(f.x2 - f.x1), std::fabs(f.y2 - f.y1), options.dpi, sx, sy);
    } else {
      DotSizeAtDpi(d.scene->papx, d.scene->papy, options.dpi, sx, sy);
    }
  }
  if (std::string e = CheckBitmapSize(sx, sy, options.max_pixels, options.max_side); !e.empty()) {
    return Status::Error(StatusCode::TooLarge, e);
  }
  width = static_cast<int>(sx);
  height = static_cast<int>(sy);
  return {};
}

namespace {

// Entities wholly more than half the paper beyond the paper's edge: a picture
// of the paper does not show them.
void ReportFarOffPaper(const LoadedDrawing& d, DiagnosticSink& diag) {
  const scene::Scene& s = *d.scene;
  const scene::Frame& p = s.frame;
  const int64_t n = s.surveyOutside;
  if (n <= 0) return;
  const ExtentBox& b = s.surveyBox;
  char example[200];
  std::snprintf(example, sizeof example, "the entities reach from (%.6g, %.6g) to (%.6g, %.6g), the paper from "
                "(%.6g, %.6g) to (%.6g, %.6g)", b.minx, b.miny, b.maxx, b.maxy, p.x1, p.y1, p.x2, p.y2);
  diag.Add("entities-off-paper", example, n);
}

}  // namespace

void DrawScene(const scene::Scene& s, const ConversionContext& ctx, const DeviceView& view, Canvas& canvas,
               const DrawModes& modes, DiagnosticSink& diag) {
  if (!s.drawn) return;
  // The K4 renderer keeps its own pens and dash pattern around the shared
  // core.
  std::optional<TGraph> k4;
  std::optional<TGraph2> jw;
  if (s.painter == scene::Painter::K4) {
    k4.emplace(ctx, canvas, &diag);
    k4->G2.View = view;
  } else {
    jw.emplace(ctx, canvas, TextRules{}, &diag);
    jw->View = view;
  }
  canvas.BeginScene();
  const uint32_t background = modes.background.value_or(ctx.GAtt.GetBackColor());
  if (k4) k4->GCls(background);
  else jw->GCls(background);
  if (modes.frame && s.paperFrame) {
    const uint32_t blue = ctx.InkColour(0xFF0000FF);
    const scene::Frame& f = *s.paperFrame;
    if (k4) {
      k4->GPenSet(blue, 1, 1);
      k4->GLBox(f.x1, f.y1, f.x2, f.y2);
    } else {
      jw->GPenSet(blue, 1, 1);
      jw->GLBox(f.x1, f.y1, f.x2, f.y2);
    }
  }
  if (k4) PaintK4Items(s, ctx, *k4, modes.ownColours);
  else PaintJwItems(s, ctx, *jw);
  canvas.EndScene();
}

DeviceView DrawOnCanvas(const LoadedDrawing& d, const ConversionContext& ctx, const RenderOptions& options,
                        Canvas& canvas, DiagnosticSink& diag) {
  const DrawModes modes = ModesOf(options);
  // A drawing without entities is not drawn at all; its picture is then the
  // background (white unless asked otherwise), never transparent by accident.
  canvas.Clear(modes.background.value_or(0xFFFFFFFF));
  const DeviceView view = FitView(FittedFrame(d, options.fit, options.fit_drawn), canvas.Width(), canvas.Height(), options.margin);
  canvas.SetDiagnostics(&diag);
  DrawScene(*d.scene, ctx, view, canvas, modes, diag);
  canvas.SetDiagnostics(nullptr);
  if (options.fit == Fit::Paper && d.read) ReportFarOffPaper(d, diag);
  return view;
}

}  // namespace zumen
