#include "formats/jwc/jwk_data.h"

#include <array>
#include <cmath>

#include "context/context.h"
#include "formats/jwc/codec.h"
#include "formats/jwc/extents.h"

namespace zumen {

namespace {

constexpr std::u16string_view kJwkId = u"jw_cad(c)sym........";
constexpr size_t kBlockSize = 200;

}  // namespace

void TJwkData::DataInit() {
  lineN = arcN = tenN = mojiN = 0;
  Enthd = TEntJwkHeader{};
  EntLine.clear();
  EntArc.clear();
  EntTen.clear();
  EntMoji.clear();
  ErrorMessage.clear();
  // Types 1..10 from the built-in table in tenths of a millimetre; 0 and 11 stay zero.
  EntMjtp.assign(kJwcMojiTypeCount, {});
  for (size_t i = 0; i < JwcDefaultMojiType.size(); ++i) {
    const JwcMojiTypeRow& r = JwcDefaultMojiType[i];
    TEntJwcMojiType& t = EntMjtp[i + 1];
    t.penNo = static_cast<uint16_t>(r.penNo);
    t.width = static_cast<uint16_t>(std::lround(r.width * 10));
    t.height = static_cast<uint16_t>(std::lround(r.height * 10));
    t.dist = static_cast<uint16_t>(std::lround(r.dist * 10));
  }
}

void TJwkData::DataFree() {
  DataInit();
  EntMjtp.clear();
}

bool TJwkData::FileCheck(const std::string& FName) {
  std::vector<uint8_t> head;
  return JwcReadPrefix(FName, 20, head) && FileCheck(head);
}

bool TJwkData::FileCheck(std::span<const uint8_t> data) { return JwcCheckId(data, kJwkId); }

bool TJwkData::FileHeaderIn(const std::string& FName) { return JwcFileHeaderIn(*this, FName, 2 * kBlockSize); }

bool TJwkData::HeaderIn(ByteReader& rd) {
  if (!JwcReadIdBlock(rd, Enthd.jwID, Enthd.comment1, Enthd.comment2)) {
    ErrorMessage = "File I/O Error";
    return false;
  }
  std::array<uint8_t, kBlockSize> block{};
  if (JwcReadBlock(rd, block) == 0) {
    ErrorMessage = "File I/O Error";
    return false;
  }
  TEntJwkHeader& h = Enthd;
  h.para = JwcSplitParams(block, 9);
  const auto& v = h.para;
  h.lineCount = JwcParamInt(v[0]);
  h.arcCount = JwcParamInt(v[1]);
  h.tenCount = JwcParamInt(v[2]);
  h.mojiCount = JwcParamInt(v[3]);
  h.org_x = JwcParamFloat(v[4]);
  h.org_y = JwcParamFloat(v[5]);
  h.dispScale = JwcParamFloat(v[6]);
  h.strSpace = JwcParamInt(v[7]);
  h.scale = JwcParamFloat(v[8]);
  // Not greater than 1e-14 (zero and negative included): drawn at scale 1.
  // An infinite scale would shrink everything to the origin; it counts as 1 too.
  if (!(h.scale > 1e-14) || !std::isfinite(h.scale)) h.scale = 1;
  return true;
}

bool TJwkData::FileIn(const std::string& FName) { return JwcFileIn(*this, FName); }

bool TJwkData::FileIn(std::span<const uint8_t> data) { return JwcFileIn(*this, data); }

bool TJwkData::BodyIn(ByteReader& rd) {
  const TEntJwkHeader& h = Enthd;
  if (h.lineCount < 0 || h.arcCount < 0 || h.tenCount < 0 || h.mojiCount < 0) {
    ErrorMessage = "File Header Error";
    return false;
  }
  if (!JwcReadRecords(rd, h.lineCount, kJwcLineSize, EntLine, lineN,
                      [](auto r) { return JwcDecodeLine(r, 1); }))
    return false;
  if (!JwcReadRecords(rd, h.arcCount, kJwcArcSize, EntArc, arcN,
                      [](auto r) { return JwcDecodeArc(r, 1); }))
    return false;
  if (!JwcReadRecords(rd, h.tenCount, kJwcTenSize, EntTen, tenN,
                      [](auto r) { return JwcDecodeTen(r, 1); }))
    return false;
  if (!JwcReadRecords(rd, h.mojiCount, kJwcMojiSize, EntMoji, mojiN,
                      [](auto r) { return JwcDecodeMoji(r, 1, false); }))
    return false;
  if (h.strSpace > 0) {
    JwcStringArea area;
    if (!area.Read(rd, static_cast<size_t>(h.strSpace))) return false;
    for (TEntJwcMoji2& m : EntMoji) m.s = area.TextAt(m.p);
  }
  return true;
}

void TJwkData::SetGAttLayer(TgraAttribute& att) const {
  att.SetDefaultLayer();
  for (int i = 0; i < 256; ++i) att.SetAttrLayer(i, 1, 1.0 / Enthd.scale);
}

ExtentBox TJwkData::GetMinMaxZahyo() const {
  ExtentBox box;
  BoxStart(box, 0, 0, 1);
  JwcWidenExtents(box, false, JwcExtentInput{EntLine, EntArc, EntMoji, EntTen, {}}, Enthd.scale);
  return box;
}

}  // namespace zumen
