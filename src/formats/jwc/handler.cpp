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

  void Lower(bool complete, scene::Scene& s) const override { LowerJwc(d_, complete, s); }

  void ExportDxf(ConversionContext& ctx, dxf::Document& out) const override { JwcExportDxf(d_, ctx, out); }

  void Describe(const scene::Scene&, DrawingInfo& info) const override {
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

  void Lower(bool complete, scene::Scene& s) const override { LowerJwk(d_, complete, s); }

  void ExportDxf(ConversionContext& ctx, dxf::Document& out) const override { JwkExportDxf(d_, ctx, out); }

  void Describe(const scene::Scene& s, DrawingInfo& info) const override {
    const auto& h = d_.Enthd;
    info.paper_width_mm = s.papx;
    info.paper_height_mm = s.papy;
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
