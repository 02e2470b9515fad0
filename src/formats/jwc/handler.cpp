#include "formats/jwc/handler.h"

#include <cmath>

#include "attributes/graattribute.h"
#include "common/diagnostics.h"
#include "common/paper.h"
#include "formats/jwc/extents.h"
#include "formats/jwc/dxf_pass.h"
#include "formats/jwc/jwc_data.h"
#include "formats/jwc/jwk_data.h"
#include "formats/jwc/lowering.h"

namespace zumen {

namespace {

// Texts that did not decode.
void TextDiagnostics(const std::vector<TEntJwcMoji2>& mojis, std::vector<Diagnostic>& out) {
  DiagnosticSink sink;
  for (const TEntJwcMoji2& e : mojis) CountUndecodableText(sink, e.s);
  for (Diagnostic& d : sink.List()) out.push_back(std::move(d));
}

class JwcHandler final : public DrawingHandler {
 public:
  bool Check(std::span<const uint8_t> bytes) const override { return TJwcData::FileCheck(bytes); }

  bool Read(std::span<const uint8_t> bytes, const ReadLimits&, std::string& error) override {
    if (d_.FileIn(bytes)) return true;
    error = d_.ErrorMessage;
    return false;
  }

  void Prepare(ConversionContext& ctx) const override {
    DefaultFileColorSet(ctx.GAtt);
    DefaultFileLtypeSet(ctx.GAtt);
    d_.SetGAttLayer(ctx);
    d_.GetMinMaxZahyo(ctx);
    const PaperSize p = PaperSizeOfCode(d_.Enthd.psize);
    ctx.papx = p.width;
    ctx.papy = p.height;
  }

  FrameBox Frame(const ConversionContext& ctx) const override { return {0, 0, ctx.papx, ctx.papy}; }

  bool Lower(scene::Scene& s) const override {
    LowerJwc(d_, s);
    return true;
  }

  void ExportDxf(ConversionContext& ctx, dxf::Document& out) const override { JwcExportDxf(d_, ctx, out); }

  void Describe(const ConversionContext&, DrawingInfo& info) const override {
    const auto& h = d_.Enthd;
    const PaperSize p = PaperSizeOfCode(h.psize);
    info.paper_code = h.psize;
    info.paper_width_mm = p.width;
    info.paper_height_mm = p.height;
    info.objects_announced =
        int64_t{h.lineCount} + h.arcCount + h.mojiCount + h.tenCount + h.vtenCount;
    info.entities = {{"line", d_.lineN},
                     {"arc", d_.arcN},
                     {"text", d_.mojiN},
                     {"point", d_.tenN},
                     {"virtual_point", d_.VtenDrawCount()}};
    info.objects_read = 0;
    for (const auto& [kind, n] : info.entities) info.objects_read += n;
  }

  void Diagnostics(std::vector<Diagnostic>& out) const override { TextDiagnostics(d_.EntMoji, out); }

  void SurveyEntities(const ConversionContext& ctx, EntitySurvey& survey) const override {
    JwcSurveyEntities(d_.ExtentInput(), ctx.GAtt, survey);
  }

 private:
  TJwcData d_;
};

class JwkHandler final : public DrawingHandler {
 public:
  bool Check(std::span<const uint8_t> bytes) const override { return TJwkData::FileCheck(bytes); }

  bool Read(std::span<const uint8_t> bytes, const ReadLimits&, std::string& error) override {
    if (d_.FileIn(bytes)) return true;
    error = d_.ErrorMessage;
    return false;
  }

  void Prepare(ConversionContext& ctx) const override {
    DefaultFileColorSet(ctx.GAtt);
    DefaultFileLtypeSet(ctx.GAtt);
    d_.SetGAttLayer(ctx);
    d_.GetMinMaxZahyo(ctx);
    ctx.papx = std::abs(ctx.MaxX - ctx.MinX);
    ctx.papy = std::abs(ctx.MaxY - ctx.MinY);
  }

  FrameBox Frame(const ConversionContext& ctx) const override { return {ctx.MinX, ctx.MinY, ctx.MaxX, ctx.MaxY}; }

  bool Lower(scene::Scene& s) const override {
    LowerJwk(d_, s);
    return true;
  }

  void ExportDxf(ConversionContext& ctx, dxf::Document& out) const override { JwkExportDxf(d_, ctx, out); }

  void Describe(const ConversionContext& ctx, DrawingInfo& info) const override {
    const auto& h = d_.Enthd;
    info.paper_width_mm = ctx.papx;
    info.paper_height_mm = ctx.papy;
    info.scale = h.scale;
    info.objects_announced = int64_t{h.lineCount} + h.arcCount + h.mojiCount + h.tenCount;
    info.entities = {{"line", d_.lineN}, {"arc", d_.arcN}, {"text", d_.mojiN}, {"point", d_.tenN}};
    info.objects_read = 0;
    for (const auto& [kind, n] : info.entities) info.objects_read += n;
  }

  void Diagnostics(std::vector<Diagnostic>& out) const override { TextDiagnostics(d_.EntMoji, out); }

 private:
  TJwkData d_;
};

}  // namespace

std::unique_ptr<DrawingHandler> MakeJwcHandler() { return std::make_unique<JwcHandler>(); }
std::unique_ptr<DrawingHandler> MakeJwkHandler() { return std::make_unique<JwkHandler>(); }

}  // namespace zumen
