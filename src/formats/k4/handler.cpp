#include "formats/k4/handler.h"

#include <cmath>
#include <tuple>
#include <utility>

#include "common/diagnostics.h"
#include "common/text.h"
#include "formats/k4/dxf_pass.h"
#include "formats/k4/k4data.h"
#include "formats/k4/lowering.h"

namespace zumen {

namespace {

// The paper's width and height from its corner points, turned for a landscape layout.
std::pair<double, double> PaperOf(const TK4Data& d) {
  double w = std::abs(d.psz.size[1].X - d.psz.size[0].X);
  double h = std::abs(d.psz.size[1].Y - d.psz.size[0].Y);
  if (d.psz.lout == 1) std::swap(w, h);
  return {w, h};
}

class K4Handler final : public DrawingHandler {
 public:
  bool Check(std::span<const uint8_t> bytes) const override { return TK4Data::FileCheckBytes(bytes); }

  bool Read(std::span<const uint8_t> bytes, const ReadLimits&, std::string& error) override {
    if (d_.MemIn(bytes)) return true;
    error = d_.LastError();
    return false;
  }

  void ExportDxf(ConversionContext& ctx, dxf::Document& out) const override { K4ExportDxf(d_, ctx, out); }

  void Lower(bool complete, scene::Scene& s) const override { LowerK4(d_, complete, s); }

  void Describe(const scene::Scene&, DrawingInfo& info) const override {
    info.title = Utf16ToUtf8(d_.Title);
    std::tie(info.paper_width_mm, info.paper_height_mm) = PaperOf(d_);
    info.objects_read = d_.EntN;
    for (const auto& [kind, n] : d_.KindCounts()) info.entities.emplace_back(kind, n);
    info.images = d_.bmN + d_.bmxN;
  }

  void Diagnostics(std::vector<Diagnostic>& out) const override {
    DiagnosticSink sink;
    for (const TK4ObjectText& o : d_.tx) CountUndecodableText(sink, o.text);
    for (const TK4ObjectTextEx& o : d_.txx) CountUndecodableText(sink, o.text);
    for (Diagnostic& d : sink.List()) out.push_back(std::move(d));
  }

 private:
  TK4Data d_;
};

}  // namespace

std::unique_ptr<DrawingHandler> MakeK4Handler() { return std::make_unique<K4Handler>(); }

}  // namespace zumen
