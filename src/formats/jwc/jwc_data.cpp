#include "formats/jwc/jwc_data.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "context/context.h"
#include "formats/jwc/codec.h"
#include "formats/jwc/extents.h"

namespace zumen {

namespace {

constexpr std::u16string_view kJwcId = u"jw_cad(c)data.......";
constexpr size_t kBlockSize = 200;

}  // namespace

void TJwcData::DataInit() {
  lineN = arcN = mojiN = tenN = 0;
  Enthd = TEntJwcHeader{};
  EntVten.clear();
  EntMjtp.clear();
  EntLgrp.clear();
  EntLay.clear();
  EntLine.clear();
  EntArc.clear();
  EntMoji.clear();
  EntTen.clear();
  ErrorMessage.clear();
}

bool TJwcData::FileCheck(const std::string& FName) {
  std::vector<uint8_t> head;
  return JwcReadPrefix(FName, 20, head) && FileCheck(head);
}

bool TJwcData::FileCheck(std::span<const uint8_t> data) { return JwcCheckId(data, kJwcId); }

bool TJwcData::FileHeaderIn(const std::string& FName) { return JwcFileHeaderIn(*this, FName, 4 * kBlockSize); }

bool TJwcData::HeaderIn(ByteReader& rd) {
  if (!JwcReadIdBlock(rd, Enthd.jwID, Enthd.comment1, Enthd.comment2)) {
    ErrorMessage = "File Header Error";
    return false;
  }
  std::array<uint8_t, kBlockSize> block{};
  Enthd.scaleF = Enthd.jwID.size() >= 23 && Enthd.jwID[22] == u'f';

  TEntJwcHeader& h = Enthd;
  for (int k = 1; k <= 3; ++k) {
    if (JwcReadBlock(rd, block) == 0) {
      ErrorMessage = "File Header Error";
      return false;
    }
    static constexpr size_t kCounts[] = {0, 32, 28, 22};
    h.para = JwcSplitParams(block, kCounts[k]);
    const auto& v = h.para;
    auto I = [&](size_t i) { return JwcParamInt(v[i]); };
    auto R = [&](size_t i) { return JwcParamFloat(v[i]); };
    if (k == 1) {
      h.lineCount = I(0), h.arcCount = I(1), h.mojiCount = I(2), h.tenCount = I(3);
      h.vtenCount = I(4), h.curFno = I(5), h.curMfno = I(6), h.curMlcol = I(7);
      h.curMpcol = I(8), h.wLayScale = R(9), h.wLayNo = I(10), h.psize = I(11);
      h.lcol = I(12), h.ltyp = I(13), h.plotOrgX = R(14), h.plotOrgY = R(15);
      h.lpitch1 = R(16), h.lpitch2 = R(17), h.drawtime = I(18);
      for (size_t i = 0; i < 6; ++i) h.penWidth[i] = I(19 + i);
      h.gridX = R(25), h.gridY = R(26), h.gridOrgX = R(27), h.gridOrgY = R(28);
      h.gridScale = R(29), h.drawWidth = I(30), h.flgPthin = I(31);
    } else if (k == 2) {
      h.mvDist = R(0), h.mtDist = R(1), h.arLen = R(2), h.arAng = R(3);
      h.locMR = I(4), h.flgMconma = I(5), h.flgMzeros = I(6), h.typLside = I(7);
      h.mvUnit = I(8), h.mvKeta = I(9);
      h.sOfsetXL = R(10), h.sOfsetXM = R(11), h.sOfsetXR = R(12);
      h.sOfsetYD = R(13), h.sOfsetYM = R(14), h.sOfsetYT = R(15);
      h.s1len = I(16), h.sOrgXm = I(17), h.sOrgYm = I(18), h.dlinDistB = R(19);
      for (size_t i = 0; i < 5; ++i) h.dlinDist[i] = R(20 + i);
      h.svScrnOX = R(25), h.svScrnOY = R(26), h.svScrnScl = R(27);
    } else {
      h.sBufAdr1 = JwcParamAddress(v[0]), h.sBufAdr2 = JwcParamAddress(v[1]);
      float* sub[] = {&h.subZm0X, &h.subZm0Y, &h.subZm0S, &h.subZm1X, &h.subZm1Y,
                      &h.subZm1S, &h.subZm2X, &h.subZm2Y, &h.subZm2S, &h.subZm3X,
                      &h.subZm3Y, &h.subZm3S, &h.subZm4X, &h.subZm4Y, &h.subZm4S};
      for (size_t i = 0; i < 15; ++i) *sub[i] = R(2 + i);
      h.hiIdo = R(17), h.hiHi = R(18), h.hiTaka = R(19), h.flgHok = I(20), h.flg25Dm = I(21);
    }
  }
  if (h.drawWidth == 0) h.drawWidth = 518;
  h.dataUnit = JwcDataUnit(h.psize, h.drawWidth);
  return true;
}

bool TJwcData::FileIn(const std::string& FName) { return JwcFileIn(*this, FName); }

bool TJwcData::FileIn(std::span<const uint8_t> data) { return JwcFileIn(*this, data); }

bool TJwcData::BodyIn(ByteReader& rd) {
  const TEntJwcHeader& h = Enthd;
  if (h.lineCount < 0 || h.arcCount < 0 || h.mojiCount < 0 || h.tenCount < 0) {
    ErrorMessage = "File Header Error";
    return false;
  }
  EntVten.assign(kVtenEntries, {});
  EntMjtp.assign(kJwcMojiTypeCount, {});
  EntLgrp.assign(kGroups, {});
  EntLay.assign(kLayers, {});
  const float unit = h.dataUnit;

  // The tables up to the group flags: a file that ends early leaves zeros.
  std::array<uint8_t, 4 * kVtenEntries> buf{};
  std::span<uint8_t> b(buf);
  JwcReadBlock(rd, b.first(4 * kVtenEntries));
  for (int i = 0; i < kVtenEntries; ++i) EntVten[i].x = JwcF32(b, 4 * i) * unit;
  JwcReadBlock(rd, b.first(4 * kVtenEntries));
  for (int i = 0; i < kVtenEntries; ++i) EntVten[i].y = JwcF32(b, 4 * i) * unit;
  JwcReadBlock(rd, b.first(kVtenEntries));
  for (int i = 0; i < kVtenEntries; ++i) EntVten[i].lay = b[i];

  // Text types 0..10: a column of pens, then widths, heights and spacings.
  constexpr int kTypesStored = 11;
  JwcReadBlock(rd, b.first(8 * kTypesStored));
  auto u16 = [&](int i) { return JwcU16(b, 2 * static_cast<size_t>(i)); };
  for (int i = 0; i < kTypesStored; ++i) {
    EntMjtp[i].penNo = u16(i);
    EntMjtp[i].width = u16(kTypesStored + i);
    EntMjtp[i].height = u16(2 * kTypesStored + i);
    EntMjtp[i].dist = u16(3 * kTypesStored + i);
  }

  if (h.scaleF) {
    JwcReadBlock(rd, b.first(4 * kGroups));
    for (int g = 0; g < kGroups; ++g) EntLgrp[g].scale = JwcF32(b, 4 * g);
  } else {
    JwcReadBlock(rd, b.first(2 * kGroups));
    for (int g = 0; g < kGroups; ++g) EntLgrp[g].scale = u16(g);
  }
  JwcReadBlock(rd, b.first(kGroups));
  for (int g = 0; g < kGroups; ++g) EntLgrp[g].srchF = b[g];
  JwcReadBlock(rd, b.first(kLayers));
  for (int i = 0; i < kLayers; ++i) EntLay[i].srchF = b[i];
  JwcReadBlock(rd, b.first(kGroups));
  for (int g = 0; g < kGroups; ++g) EntLgrp[g].dispF = b[g];
  JwcReadBlock(rd, b.first(kLayers));
  for (int i = 0; i < kLayers; ++i) EntLay[i].dispF = b[i];
  JwcReadBlock(rd, b.first(kGroups));
  for (int g = 0; g < kGroups; ++g) EntLgrp[g].w_lay = b[g];

  // The records: from here a read that finds no bytes ends the file.
  if (!JwcReadRecords(rd, h.lineCount, kJwcLineSize, EntLine, lineN,
                      [&](auto r) { return JwcDecodeLine(r, unit); }))
    return false;
  if (!JwcReadRecords(rd, h.arcCount, kJwcArcSize, EntArc, arcN,
                      [&](auto r) { return JwcDecodeArc(r, unit); }))
    return false;
  if (!JwcReadRecords(rd, h.mojiCount, kJwcMojiSize, EntMoji, mojiN,
                      [&](auto r) { return JwcDecodeMoji(r, unit, true); }))
    return false;

  const int64_t areaSize = int64_t{h.sBufAdr2} - h.sBufAdr1;
  if (areaSize > 0) {
    JwcStringArea area;
    if (!area.Read(rd, static_cast<size_t>(areaSize))) return false;
    for (TEntJwcMoji2& m : EntMoji) m.s = area.TextAt(int64_t{m.p} - h.sBufAdr1);
  }

  if (!JwcReadRecords(rd, h.tenCount, kJwcTenSize, EntTen, tenN,
                      [&](auto r) { return JwcDecodeTen(r, unit); }))
    return false;

  std::array<uint8_t, 16> name{};
  for (int i = 0; i < kLayers; ++i) {
    if (JwcReadBlock(rd, std::span<uint8_t>(name).first(8)) == 0) return false;
    EntLay[i].name = JwcDecodeText(std::span<const uint8_t>(name).first(8));
  }
  for (int g = 0; g < kGroups; ++g) {
    if (JwcReadBlock(rd, name) == 0) return false;
    EntLgrp[g].name = JwcDecodeText(name);
  }
  return true;
}

int TJwcData::VtenDrawCount() const {
  const int stored = static_cast<int>(EntVten.size()) - 1;
  if (stored <= 0 || Enthd.vtenCount <= 0) return 0;
  return std::min(Enthd.vtenCount, stored);
}

void TJwcData::SetGAttLayer(TgraAttribute& att) const {
  att.SetDefaultLayer();
  // Without a layer table (the read ended before it) the defaults stay.
  if (EntLay.size() < kLayers || EntLgrp.size() < kGroups) return;
  for (int i = 0; i < kLayers; ++i) {
    const TEntJwcLayerGroup& g = EntLgrp[i / 16];
    const TEntJwcLayer& l = EntLay[i];
    int32_t st;
    if ((g.dispF & 1) == 0 || (l.dispF & 1) == 0) {
      st = 3;
    } else if ((g.srchF & 1) != 0 && (l.srchF & 1) != 0) {
      st = 1;
    } else {
      st = 2;
    }
    // A group scale of 0 (or one that is not a number) would give an
    // infinite layer scale; it is passed as 0, which the model reads as 1.
    const double scale = g.scale;
    const double sc = (scale > 0 && std::isfinite(scale)) ? 1.0 / scale : 0.0;
    att.SetAttrLayer(i, st, sc, g.name, l.name);
  }
}

JwcExtentInput TJwcData::ExtentInput() const {
  JwcExtentInput in{EntLine, EntArc, EntMoji, EntTen, {}};
  if (const int nv = VtenDrawCount(); nv > 0) in.vtens = std::span(EntVten).subspan(1, static_cast<size_t>(nv));
  return in;
}

void TJwcData::GetMinMaxZahyo(ExtentBox& box) const { JwcWidenExtents(box, true, ExtentInput(), 1.0); }

}  // namespace zumen
