#include "driver/converter.h"

#include <filesystem>
#include <sstream>

#include "canvas/cairo_canvas.h"
#include "common/cleanup.h"
#include "common/files.h"
#include "common/text.h"
#include "driver/file_pens.h"
#include "driver/json.h"
#include "driver/reference.h"
#include "formats/jwc/jwc_data.h"
#include "formats/jwc/jwk_data.h"
#include "formats/jww/draw_pass.h"
#include "formats/k4/k4data.h"
#include "render_k4/graph.h"
#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"
#include "render_jw/graph2.h"

namespace zumen {

namespace {

// Creates a folder private to this conversion under the system's temporary
// directory, registered for removal should a signal stop the process; empty
// text when none can be made.
std::string MakePrivateFolder(RemovedOnSignal& guard) {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  const std::string folder = MakeFolderRemovedOnSignal((base / "zumen-XXXXXX").string(), guard);
  return folder.empty() ? folder : folder + "/";
}

void RemovePrivateFolder(const std::string& folder) {
  if (folder.empty()) return;
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
}

// What the block tree of a drawing leaves out, for LoadResult::cut.
std::string BlockTreeCutText(const TJwwBody& b, int64_t workLimit) {
  if (b.BlockInstancesCut == 0) return {};
  std::string why;
  if (b.BlockTreeCut)
    why = "blocks nested deeper than " + std::to_string(kJwwMaxBlockLevel) + " levels or more than " +
          std::to_string(kJwwMaxBlockTreeNodes) + " block instances";
  if (b.BlockWorkCut) {
    if (!why.empty()) why += "; ";
    why += "more than " + std::to_string(workLimit) + " members to draw through block instances";
  }
  return std::to_string(b.BlockInstancesCut) + " block instance" + (b.BlockInstancesCut == 1 ? "" : "s") +
         " left out (" + why + ")";
}

}  // namespace

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

struct Converter::Drawings {
  TJwwData JWW1;
  TJwsData JWS;
  TJwcData JWC;
  TJwkData JWK;
  TK4Data K4;

  // Empties every drawing object, deleting the images extracted for the JWW drawing.
  void FreeAll() {
    K4.DataFree();
    JWW1.BindImageDeleteGzFile();
    JWW1.BindImageDeleteNonGzFile();
    JWW1.DataFree();
    JWW1.BindImageInit();
    JWS.DataFree();
    JWS.BindImageInit();
    JWC.DataFree();
    JWK.DataFree();
  }
};

Converter::Converter(std::string appPath, const Clock* clock) : appPath_(std::move(appPath)), d_(std::make_unique<Drawings>()) {
  if (!appPath_.empty() && appPath_.back() != '/') appPath_ += '/';
  if (clock) ctx_.clock = clock;
  // Start-up state of the attribute model.
  TgraAttribute& a = ctx_.GAtt;
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
  ctx_.CurFileTime = ctx_.clock->Now();
  GetRefFileName(ctx_, appPath_);
  RefFileOpen(ctx_, appPath_);
  ctx_.TempFolder = MakePrivateFolder(tempFolderGuard_);
  d_->JWW1.BindImageExp = true;
  d_->JWW1.BindImageExr = true;
  d_->JWW1.BindImageFolder = ctx_.TempFolder;
  d_->JWS.BindImageFolder = ctx_.TempFolder;
  d_->JWS.BindImageExp = false;
  d_->JWS.BindImageExr = false;
}

Converter::~Converter() {
  d_->FreeAll();
  RemovePrivateFolder(ctx_.TempFolder);
  tempFolderGuard_.Release();
}

bool Converter::CanRead(Family f) {
  return f == Family::K4 || f == Family::Jww || f == Family::Jws || f == Family::Jwc || f == Family::Jwk;
}

LoadResult Converter::Load(Family f, const std::string& src) {
  LoadResult r;
  Drawings& d = *d_;
  switch (f) {
    case Family::K4: r.checked = d.K4.FileCheck(src); break;
    case Family::Jww: r.checked = TJwwData::FileCheck(src); break;
    case Family::Jws: r.checked = TJwsData::FileCheck(src); break;
    case Family::Jwc: r.checked = TJwcData::FileCheck(src); break;
    case Family::Jwk: r.checked = TJwkData::FileCheck(src); break;
    default:
      r.error = std::string("reading ") + FamilyName(f) + " drawings is not supported yet";
      return r;
  }
  if (!r.checked) {
    r.error = std::string("not a ") + FamilyName(f) + " file (its signature or version is wrong)";
    return r;
  }
  d.FreeAll();
  switch (f) {
    case Family::K4:
      r.read = d.K4.FileIn(src);
      if (!r.read) r.error = d.K4.LastError();
      break;
    case Family::Jww:
      r.read = d.JWW1.FileIn(src);
      if (!r.read) r.error = d.JWW1.LastError();
      r.cut = BlockTreeCutText(d.JWW1.Body, d.JWW1.BlockTreeWorkLimit);
      break;
    case Family::Jws:
      r.read = d.JWS.FileIn(src);
      if (!r.read) r.error = d.JWS.LastError();
      r.cut = BlockTreeCutText(d.JWS.Body, d.JWS.BlockTreeWorkLimit);
      break;
    case Family::Jwc:
      r.read = d.JWC.FileIn(src);
      if (!r.read) r.error = d.JWC.ErrorMessage;
      break;
    case Family::Jwk:
      r.read = d.JWK.FileIn(src);
      if (!r.read) r.error = d.JWK.ErrorMessage;
      break;
    default: break;
  }
  if (!r.read) {
    if (r.error.empty()) r.error = "File I/O Error";
    return r;
  }
  // The full path, whatever folder the program was started in, so that the
  // file-name macros and the files looked for beside the drawing do not
  // depend on it.
  ctx_.CurFilePath = AbsolutePath(src);
  ctx_.CurFileName = PathToText(ctx_.CurFilePath);
  FileTimeLocal(src, ctx_.CurFileTime);
  TgraAttribute& att = ctx_.GAtt;
  switch (f) {
    case Family::K4: {
      ctx_.CurTitle = d.K4.Title;
      ctx_.papx = std::abs(d.K4.psz.size[1].X - d.K4.psz.size[0].X);
      ctx_.papy = std::abs(d.K4.psz.size[1].Y - d.K4.psz.size[0].Y);
      if (d.K4.psz.lout == 1) std::swap(ctx_.papx, ctx_.papy);
      ctx_.MinX = 0;
      ctx_.MinY = 0;
      ctx_.MaxX = ctx_.papx;
      ctx_.MaxY = ctx_.papy;
      break;
    }
    case Family::Jww: {
      RefFileOpen(ctx_, appPath_);
      d.JWW1.BindImageExplode();
      JwwFileColorSet(d.JWW1, att);
      JwwFileLtypeSet(d.JWW1, att);
      JwwSetGAttLayer(d.JWW1, ctx_);
      JwwGetMinMaxZahyo(d.JWW1, ctx_);
      const PaperSize p = PaperSizeOfCode(d.JWW1.Enthd.nZumen);
      ctx_.papx = p.width;
      ctx_.papy = p.height;
      break;
    }
    case Family::Jws:
      RefFileOpen(ctx_, appPath_);
      DefaultFileColorSet(att);
      DefaultFileLtypeSet(att);
      JwsSetGAttLayer(d.JWS, ctx_);
      JwsGetMinMaxZahyo(d.JWS, ctx_);
      ctx_.papx = std::abs(ctx_.MaxX - ctx_.MinX);
      ctx_.papy = std::abs(ctx_.MaxY - ctx_.MinY);
      break;
    case Family::Jwc: {
      RefFileOpen(ctx_, appPath_);
      DefaultFileColorSet(att);
      DefaultFileLtypeSet(att);
      d.JWC.SetGAttLayer(ctx_);
      d.JWC.GetMinMaxZahyo(ctx_);
      const PaperSize p = PaperSizeOfCode(d.JWC.Enthd.psize);
      ctx_.papx = p.width;
      ctx_.papy = p.height;
      break;
    }
    case Family::Jwk:
      RefFileOpen(ctx_, appPath_);
      DefaultFileColorSet(att);
      DefaultFileLtypeSet(att);
      d.JWK.SetGAttLayer(ctx_);
      d.JWK.GetMinMaxZahyo(ctx_);
      ctx_.papx = std::abs(ctx_.MaxX - ctx_.MinX);
      ctx_.papy = std::abs(ctx_.MaxY - ctx_.MinY);
      break;
    default: break;
  }
  return r;
}

namespace {

class CairoImage final : public RenderedImage {
 public:
  explicit CairoImage(std::unique_ptr<CairoCanvas> c) : canvas_(std::move(c)) {}
  PixelView Pixels() const override { return canvas_->Pixels(); }
  CairoCanvas& canvas() { return *canvas_; }

 private:
  std::unique_ptr<CairoCanvas> canvas_;
};

}  // namespace

void Converter::DrawOn(Family f, Canvas& canvas) {
  Drawings& d = *d_;
  if (f == Family::K4) {
    if (d.K4.EntN <= 0) return;
    TGraph gk(ctx_, canvas);
    canvas.BeginScene();
    gk.GCls(0xFFFFFFFF);
    gk.GPenSet(0xFF0000FF, 1, 1);
    gk.GLBox(0, 0, ctx_.papx, ctx_.papy);
    d.K4.GLDrawALL(gk, ctx_);
    canvas.EndScene();
    return;
  }
  TGraph2 g(ctx_, canvas);
  auto frame = [&](double x1, double y1, double x2, double y2) {
    g.GPenSet(0xFF0000FF, 1, 1);
    g.GLBox(x1, y1, x2, y2);
  };
  switch (f) {
    case Family::Jww:
      if (d.JWW1.Enthd.n1 <= 0) return;
      canvas.BeginScene();
      g.GCls(ctx_.GAtt.GetBackColor());
      frame(-ctx_.papx / 2, -ctx_.papy / 2, ctx_.papx / 2, ctx_.papy / 2);
      JwwGLDrawALL(d.JWW1, ctx_, g);
      canvas.EndScene();
      break;
    case Family::Jws:
      if (d.JWS.Enthd.n1 <= 0) return;
      canvas.BeginScene();
      g.GCls(ctx_.GAtt.GetBackColor());
      JwsGLDrawALL(d.JWS, ctx_, g);
      canvas.EndScene();
      break;
    case Family::Jwc:
      canvas.BeginScene();
      g.GCls(ctx_.GAtt.GetBackColor());
      frame(0, 0, ctx_.papx, ctx_.papy);
      d.JWC.GLDrawALL(g, ctx_);
      canvas.EndScene();
      break;
    case Family::Jwk:
      canvas.BeginScene();
      g.GCls(ctx_.GAtt.GetBackColor());
      d.JWK.GLDrawALL(g, ctx_);
      canvas.EndScene();
      break;
    default: break;
  }
}

std::unique_ptr<RenderedImage> Converter::Draw(Family f, int width, int height, std::string& error) {
  CairoCanvasOrError made = CairoCanvas::Create(width, height);
  if (!made.canvas) {
    error = "cannot create a bitmap of " + std::to_string(width) + " x " + std::to_string(height) +
            " pixels: " + made.error;
    return nullptr;
  }
  std::unique_ptr<CairoCanvas> canvas = std::move(made.canvas);
  // A drawing without entities is not drawn at all; its picture is then
  // white rather than transparent (which BMP and JPEG would show as black).
  canvas->Clear(0xFFFFFFFF);
  FitFrame(ctx_, f, width, height);
  DrawOn(f, *canvas);
  return std::make_unique<CairoImage>(std::move(canvas));
}

namespace {

void DescribeBody(JsonWriter& w, const TJwwBody& b, int64_t announced) {
  w.Int("objects_announced", announced).Int("objects_read", b.ObjectsRead);
  w.Begin("entities")
      .Int("line", static_cast<int64_t>(b.EntLineN()))
      .Int("arc", static_cast<int64_t>(b.EntEnkoN()))
      .Int("point", static_cast<int64_t>(b.EntTenN()))
      .Int("text", static_cast<int64_t>(b.EntMojiN()))
      .Int("dimension", static_cast<int64_t>(b.EntSunpoN()))
      .Int("solid", static_cast<int64_t>(b.EntSolidN()))
      .Int("block", static_cast<int64_t>(b.EntBlockN()))
      .End();
  w.Int("block_definitions", static_cast<int64_t>(b.EntBlockDefN()));
  w.Int("block_tree_nodes", static_cast<int64_t>(b.EntBlockTreeN()));
  w.Int("block_tree_work", b.BlockTreeWork);
  w.Int("block_instances_cut", b.BlockInstancesCut);
}

}  // namespace

std::string Converter::Describe(Family f, const LoadResult& load, bool text) const {
  const Drawings& d = *d_;
  JsonWriter w(text);
  w.Begin();
  w.Str("format", FamilyName(f));
  switch (f) {
    case Family::K4: {
      w.Str("title", Utf16ToUtf8(d.K4.Title));
      w.Begin("paper").Num("width_mm", ctx_.papx).Num("height_mm", ctx_.papy).Int("layout", d.K4.psz.lout).End();
      w.Int("objects", d.K4.EntN);
      w.Begin("entities");
      for (const auto& [kind, n] : d.K4.KindCounts()) w.Int(kind, n);
      w.End();
      break;
    }
    case Family::Jww: {
      const auto& h = d.JWW1.Enthd;
      const PaperSize p = PaperSizeOfCode(h.nZumen);
      w.Int("version", h.jwVer);
      w.Begin("paper").Int("code", h.nZumen).Num("width_mm", p.width).Num("height_mm", p.height).End();
      DescribeBody(w, d.JWW1.Body, h.n1);
      w.Int("embedded_images", static_cast<int64_t>(d.JWW1.BindImageN()));
      break;
    }
    case Family::Jws: {
      const auto& h = d.JWS.Enthd;
      w.Int("version", h.jwVer);
      w.Begin("base_point").Num("x", h.BasePoint_x).Num("y", h.BasePoint_y).End();
      DescribeBody(w, d.JWS.Body, h.n1);
      w.Int("embedded_images", 0);
      break;
    }
    case Family::Jwc: {
      const auto& h = d.JWC.Enthd;
      const PaperSize p = PaperSizeOfCode(h.psize);
      w.Begin("paper").Int("code", h.psize).Num("width_mm", p.width).Num("height_mm", p.height).End();
      w.Begin("announced").Int("line", h.lineCount).Int("arc", h.arcCount).Int("text", h.mojiCount)
          .Int("point", h.tenCount).Int("virtual_point", h.vtenCount).End();
      w.Begin("entities").Int("line", d.JWC.lineN).Int("arc", d.JWC.arcN).Int("text", d.JWC.mojiN)
          .Int("point", d.JWC.tenN).Int("virtual_point", d.JWC.VtenDrawCount()).End();
      break;
    }
    case Family::Jwk: {
      const auto& h = d.JWK.Enthd;
      w.Num("scale", h.scale);
      w.Begin("announced").Int("line", h.lineCount).Int("arc", h.arcCount).Int("text", h.mojiCount)
          .Int("point", h.tenCount).End();
      w.Begin("entities").Int("line", d.JWK.lineN).Int("arc", d.JWK.arcN).Int("text", d.JWK.mojiN)
          .Int("point", d.JWK.tenN).End();
      break;
    }
    default: break;
  }
  if (load.read) {
    w.Begin("extents").Num("MinX", ctx_.MinX).Num("MinY", ctx_.MinY).Num("MaxX", ctx_.MaxX).Num("MaxY", ctx_.MaxY).End();
  }
  w.Bool("read_ok", load.read);
  if (load.read) {
    w.Null("error");
  } else {
    w.Str("error", load.error);
  }
  w.End();
  return w.str();
}

}  // namespace zumen
