#include "formats/jww/file_pens.h"

#include <algorithm>

#include "formats/jww/jws_data.h"
#include "formats/jww/jww_data.h"

namespace zumen {

namespace {

// Millimetres per width step of pens 1-8.
double PenWidthUnit(const TEntJwwHeader& h) {
  if (h.nMaxDrawWid >= -100 && h.nMaxDrawWid <= -1) return -1.0 / h.nMaxDrawWid;
  if (h.nMaxDrawWid < -100) return 0.01;
  if (h.jwVer > 420 && h.nPrtDpi > 0) return h.nPrtDpi == 1 ? 0.085 : 0.042;
  return 0.042;
}

// Millimetres per pattern bit and pitch step.
double PatternUnit(const TEntJwwHeader& h) {
  if (h.nMaxDrawWid >= 0 && h.jwVer > 420 && h.nPrtDpi > 0) return h.nPrtDpi == 1 ? 0.085 : 0.042;
  return 0.035;
}

void SetRuns(TgraAttribute& att, int index, double amp, int32_t pattern, double step) {
  double el[32];
  const int n = PatternRuns(static_cast<uint32_t>(pattern), step, el);
  att.SetAttrTypamp_(index, amp);
  att.SetAttrTypseg_(index, n);  // before the elements, so that every run is stored
  for (int k = 0; k < n; ++k) att.SetAttrTyppa1_(index, k, el[k]);
  att.SetAttrTypPit_(index);
}

}  // namespace

int PatternRuns(uint32_t pattern, double step, double (&out)[32]) {
  int n = 0;
  int bit = 31;
  while (bit >= 0) {
    const bool set = (pattern >> bit) & 1u;
    int len = 0;
    while (bit >= 0 && static_cast<bool>((pattern >> bit) & 1u) == set) {
      ++len;
      --bit;
    }
    out[n++] = (set ? 1.0 : -1.0) * len * step;
  }
  return n;
}

void JwwFileColorSet(const TJwwData& jw, TgraAttribute& att) {
  const double w = PenWidthUnit(jw.Enthd);
  for (int jn = 1; jn <= 8; ++jn) {
    const auto& c = jw.EntCol[static_cast<size_t>(jn)];
    att.SetAttrCol(jn, RefToColor(c.aPrtPenColor), c.anPrtPenWidth * w, c.adPrtTenHankei);
  }
  for (int i = 1; i <= 256; ++i) {
    const auto& c = jw.EntColS[static_cast<size_t>(i)];
    att.SetAttrCol(100 + i, RefToColor(c.aPrtPenColor), c.anPrtPenWidth * 0.01, c.adPrtTenHankei);
  }
  const uint32_t bg = static_cast<uint32_t>(jw.EntCol[0].aPrtPenColor);
  const uint32_t lo = bg & 0xFF, mid = (bg >> 8) & 0xFF, hi = (bg >> 16) & 0xFF;
  if (lo <= 20 && mid <= 20 && hi <= 20) {
    att.SetBackColor(1);
  } else if (lo >= 235 && mid >= 235 && hi >= 235) {
    att.SetBackColor(0);
  }
}

void JwwFileLtypeSet(const TJwwData& jw, TgraAttribute& att) {
  const double e = PatternUnit(jw.Enthd);
  att.SetAttrTypamp_(0, 0);
  att.SetAttrTypseg_(0, 0);
  att.SetAttrTypPit_(0);
  for (int i = 0; i < 8; ++i) {
    const auto& t = jw.EntLtp1[static_cast<size_t>(i)];
    SetRuns(att, 1 + i, 0, t.alLType, e * t.anPrtTokushuSenPich);
  }
  for (int i = 0; i < 5; ++i) {
    const auto& t = jw.EntLtp2[static_cast<size_t>(i)];
    SetRuns(att, 9 + i, e * t.anPrtRandSenWide, t.alLType, e * t.anPrtTokushuSenPich);
  }
  for (int i = 0; i < 4; ++i) {
    const auto& t = jw.EntLtp3[static_cast<size_t>(i)];
    SetRuns(att, 14 + i, 0, t.alLType, e * t.anPrtTokushuSenPich);
  }
  for (int i = 1; i <= 32; ++i) {
    const auto& t = jw.EntLtpS[static_cast<size_t>(i)];
    const int index = 17 + i;
    const int seg = std::clamp(t.anUDLTypeSegment, 0, 10);
    att.SetAttrTypamp_(index, 0);
    att.SetAttrTypseg_(index, seg);
    for (int k = 0; k < seg; ++k) {
      const double len = t.aadUDLTypePitch[static_cast<size_t>(k + 1)];
      att.SetAttrTyppa1_(index, k, k % 2 == 0 ? len : -len);
    }
    att.SetAttrTypPit_(index);
  }
}

namespace {

// Layer state stored in the attribute model for group state g and layer state l.
int32_t JwwLayerState(int32_t g, int32_t l) {
  if (g == 0 || l == 0) return 3;
  if (g == 1 || l == 1) return 2;
  return 1;
}

}  // namespace

void JwwSetGAttLayer(const TJwwData& d, TgraAttribute& att) {
  att.SetDefaultLayer();
  for (int n = 0; n < 256; ++n) {
    const TEntJwwLayerGroup& grp = d.EntLgrp[n / 16];
    // A zero or negative group scale would give an infinite layer scale; the
    // model then keeps its default of 1.
    const double sc = grp.adScale > 0 ? 1.0 / grp.adScale : 1.0;
    att.SetAttrLayer(n, JwwLayerState(grp.anGLay, d.EntLay[n].aanLay), sc, grp.aStrGLayName, d.EntLay[n].aStrLayName);
  }
}

void JwsSetGAttLayer(const TJwsData& d, TgraAttribute& att) {
  att.SetDefaultLayer();
  for (int n = 0; n < 256; ++n) {
    const double s = d.EntLgrp[n / 16].adScale;
    att.SetAttrLayer(n, 1, s > 0 ? 1.0 / s : 1.0);
  }
}

}  // namespace zumen
