#include "formats/jww/handler.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "common/diagnostics.h"
#include "common/paper.h"
#include "formats/jww/dxf_pass.h"
#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"
#include "formats/jww/lowering.h"

namespace zumen {

namespace {

// What JWW drawings and JWS symbols report alike.
void DescribeBody(const TJwwBody& b, int64_t announced, DrawingInfo& info) {
  info.objects_announced = announced;
  info.objects_read = b.ObjectsRead;
  info.entities = {{"line", static_cast<int64_t>(b.EntLineN())},
                   {"arc", static_cast<int64_t>(b.EntEnkoN())},
                   {"point", static_cast<int64_t>(b.EntTenN())},
                   {"text", static_cast<int64_t>(b.EntMojiN())},
                   {"dimension", static_cast<int64_t>(b.EntSunpoN())},
                   {"solid", static_cast<int64_t>(b.EntSolidN())},
                   {"block", static_cast<int64_t>(b.EntBlockN())}};
  info.block_definitions = static_cast<int64_t>(b.EntBlockDefN());
  info.block_instances = static_cast<int64_t>(b.EntBlockN());
  info.block_tree_nodes = static_cast<int64_t>(b.EntBlockTreeN());
  info.block_tree_work = b.BlockTreeWork;
  info.block_instances_cut = b.BlockInstancesCut;
}

// What the block tree leaves out; nothing when it is whole.
void BlockTreeDiagnostics(const TJwwBody& b, int64_t workLimit, std::vector<Diagnostic>& out) {
  if (b.BlockInstancesCut == 0) return;
  std::string why;
  if (b.BlockTreeCut)
    why = "blocks nested deeper than " + std::to_string(kJwwMaxBlockLevel) + " levels or more than " +
          std::to_string(kJwwMaxBlockTreeNodes) + " block instances";
  if (b.BlockWorkCut) {
    if (!why.empty()) why += "; ";
    why += "more than " + std::to_string(workLimit) + " members to draw through block instances";
  }
  out.push_back({"block-instances-cut", b.BlockInstancesCut,
                 "drawn only in part: " + std::to_string(b.BlockInstancesCut) + " block instance" +
                     (b.BlockInstancesCut == 1 ? "" : "s") + " left out (" + why + ")"});
}

// Texts that did not decode and block instances without a definition.
void BodyDiagnostics(const TJwwBody& b, std::vector<Diagnostic>& out) {
  DiagnosticSink sink;
  const auto texts = [&](const std::vector<TEntJwwMoji>& mojis, const std::vector<TEntJwwSunpo>& dims) {
    for (const TEntJwwMoji& e : mojis) CountUndecodableText(sink, e.str);
    for (const TEntJwwSunpo& e : dims) CountUndecodableText(sink, e.Moji.str);
  };
  texts(b.EntMoji, b.EntSunpo);
  for (const TEntJwwBlockDef& d : b.EntBlockDef) texts(d.mMoji, d.mSunpo);
  for (const TEntJwwBlockTree& node : b.EntBlockTree)
    if (node.defno < 0) sink.Add("block-missing-definition", "number " + std::to_string(node.no));
  for (Diagnostic& d : sink.List()) out.push_back(std::move(d));
}

// The work limit of the reader from the load options.
int64_t WorkLimit(uint64_t v) { return static_cast<int64_t>(std::min<uint64_t>(v, INT64_MAX)); }

class JwwHandler final : public DrawingHandler {
 public:
  bool Check(std::span<const uint8_t> bytes) const override { return TJwwData::FileCheckBytes(bytes); }

  bool Read(std::span<const uint8_t> bytes, const ReadLimits& limits, std::string& error) override {
    d_.BindImageExp = true;
    d_.BindImageExr = true;
    d_.BindImageMaxInflated = limits.maxEmbeddedImageBytes;
    d_.BlockTreeWorkLimit = WorkLimit(limits.maxBlockWork);
    if (!d_.FileInBytes(bytes)) {
      error = d_.LastError();
      return false;
    }
    return true;
  }

  void Describe(const scene::Scene&, DrawingInfo& info) const override {
    const auto& h = d_.Enthd;
    const PaperSize p = PaperSizeOfCode(h.nZumen);
    info.version = h.jwVer;
    info.paper_code = h.nZumen;
    info.paper_width_mm = p.width;
    info.paper_height_mm = p.height;
    DescribeBody(d_.Body, h.n1, info);
    info.images = static_cast<int64_t>(d_.BindImageN());
  }

  void Diagnostics(std::vector<Diagnostic>& out) const override {
    BlockTreeDiagnostics(d_.Body, d_.BlockTreeWorkLimit, out);
    BodyDiagnostics(d_.Body, out);
  }

  void ExportDxf(ConversionContext& ctx, dxf::Document& out) const override { JwwExportDxf(d_, ctx, out); }

  void Lower(bool complete, scene::Scene& s) const override {
    LowerJww(d_, complete, s);
    s.images = d_.EmbeddedImages();
  }

 private:
  TJwwData d_;
};

class JwsHandler final : public DrawingHandler {
 public:
  bool Check(std::span<const uint8_t> bytes) const override { return TJwsData::FileCheckBytes(bytes); }

  bool Read(std::span<const uint8_t> bytes, const ReadLimits& limits, std::string& error) override {
    // Images embedded in symbols are neither listed nor kept.
    d_.BindImageExp = false;
    d_.BindImageExr = false;
    d_.BlockTreeWorkLimit = WorkLimit(limits.maxBlockWork);
    if (!d_.FileInBytes(bytes)) {
      error = d_.LastError();
      return false;
    }
    return true;
  }

  void Describe(const scene::Scene& s, DrawingInfo& info) const override {
    const auto& h = d_.Enthd;
    info.version = h.jwVer;
    info.paper_width_mm = s.papx;
    info.paper_height_mm = s.papy;
    info.base_point = std::make_pair(h.BasePoint_x, h.BasePoint_y);
    DescribeBody(d_.Body, h.n1, info);
  }

  void Diagnostics(std::vector<Diagnostic>& out) const override {
    BlockTreeDiagnostics(d_.Body, d_.BlockTreeWorkLimit, out);
    BodyDiagnostics(d_.Body, out);
  }

  void ExportDxf(ConversionContext& ctx, dxf::Document& out) const override { JwsExportDxf(d_, ctx, out); }

  void Lower(bool complete, scene::Scene& s) const override { LowerJws(d_, complete, s); }

 private:
  TJwsData d_;
};

}  // namespace

std::unique_ptr<DrawingHandler> MakeJwwHandler() { return std::make_unique<JwwHandler>(); }
std::unique_ptr<DrawingHandler> MakeJwsHandler() { return std::make_unique<JwsHandler>(); }

}  // namespace zumen
